#pragma once

#include "util/Launcher.h"

#include <QDateTime>
#include <QString>

#include <memory>

class QDialog;

// What the main window must not do for real in a test: modal boxes and dialogs, reading the clock,
// drawing random numbers, starting programs, asking for the tray. The program gets the Qt versions
// (SystemSeams.cpp); tests get recording fakes with scripted answers.

enum class MsgKind { Warning, Information };
enum class MsgButtons { Ok, OkCancel };
enum class MsgAnswer { Ok, Cancel };

// The main window's message-box component: a modal box centred on the screen, its caption and icon
// from the kind, OK the default button; Escape or closing the box answers Cancel.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual MsgAnswer show(const QString& text, MsgKind kind, MsgButtons buttons) = 0;
};

// The save-file dialog: the chosen path, or an empty text when the user cancels.
class SaveDialog {
public:
    virtual ~SaveDialog() = default;
    virtual QString ask(const QString& title, const QString& filter, const QString& folder) = 0;
};

// Runs a modal window (the add-keywords dialog, the about box, the news window) and gives its
// result. Tests answer from a script instead, working the dialog's own controls.
class ModalDialogs {
public:
    virtual ~ModalDialogs() = default;
    virtual int run(QDialog& dialog) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0; // local time
};

class RandomSource {
public:
    virtual ~RandomSource() = default;
    // A whole number drawn uniformly from 0 to bound - 1.
    virtual int bounded(int bound) = 0;
};

class TrayAvailability {
public:
    virtual ~TrayAvailability() = default;
    virtual bool isAvailable() const = 0;
};

struct Seams {
    std::unique_ptr<MessageBoxes> messages;
    std::unique_ptr<SaveDialog> saveDialog;
    std::unique_ptr<ModalDialogs> dialogs;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<RandomSource> random;
    std::unique_ptr<Launcher> launcher;
    std::unique_ptr<TrayAvailability> tray;

    // The real ones.
    static Seams system();
};
