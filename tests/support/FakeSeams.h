#pragma once

#include "app/Seams.h"
#include "support/Gate.h"

#include <QList>
#include <QQueue>

#include <functional>

// Recording fakes of the main window's seams. Each fake is owned by the window; the test keeps a
// raw pointer to script answers and read what was asked.

struct ShownMessage {
    QString text;
    MsgKind kind;
    MsgButtons buttons;
};

class FakeMessageBoxes final : public MessageBoxes {
public:
    MsgAnswer show(const QString& text, MsgKind kind, MsgButtons buttons) override;

    QQueue<MsgAnswer> answers; // the next answers; Cancel when none is left
    QList<ShownMessage> shown;
    // Runs while a box is "open", before it is answered.
    std::function<void(const ShownMessage&)> whileOpen;
};

class FakeSaveDialog final : public SaveDialog {
public:
    SaveAnswer ask(const QString& title, const QStringList& choices, const QString& folder) override;

    // The next answers: a path and the choice taken ({path} takes the first); a cancel when none
    // is left.
    QQueue<SaveAnswer> answers;
    QStringList titles, folders;
    QList<QStringList> choices; // the choices offered at each question
};

class FakeDialogs final : public ModalDialogs {
public:
    int run(QDialog& dialog) override;

    // The next answers: each works the dialog as a user would and returns its result. A dialog
    // with no answer left is cancelled.
    QQueue<std::function<int(QDialog&)>> answers;
    QStringList titles;
};

class FakeClock final : public Clock {
public:
    QDateTime now() const override;
    QDateTime current = QDateTime(QDate(2026, 12, 10), QTime(14, 15, 0));
    mutable bool failNextRead = false; // the next now() throws, as an unexpected error would
};

class FakeRandom final : public RandomSource {
public:
    int bounded(int bound) override;
    QQueue<int> draws; // the next draws, each taken modulo the bound; 0 when none is left
    QList<int> bounds;
    bool failNextDraw = false; // the next draw throws, as an unexpected error would
};

class FakeLauncher final : public Launcher {
public:
    bool startProgram(const QString& program, const QStringList& arguments) override;
    bool openUrl(const QUrl& url) override;

    QList<QPair<QString, QStringList>> started;
    QList<QUrl> opened;
    // Whether starting a program or opening an address fails (it is still recorded).
    bool startFails = false;
    bool openFails = false;
};

class FakeTray final : public TrayAvailability {
public:
    bool isAvailable() const override { return available; }
    bool available = true;
};

// A complete set of fakes with pointers kept for the test.
struct FakeSeams {
    FakeSeams();
    Seams take(); // hands the fakes to a window; the pointers stay valid while it lives

    FakeMessageBoxes* messages;
    FakeSaveDialog* saveDialog;
    FakeDialogs* dialogs;
    FakeClock* clock;
    FakeRandom* random;
    FakeLauncher* launcher;
    FakeTray* tray;
    // The window's timers: as in the program unless the test shortens one.
    TimerIntervals intervals;
    // The start's table loads pass here, by file name, on their worker thread.
    Gate tableLoads;

private:
    Seams m_seams;
};
