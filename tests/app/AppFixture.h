#pragma once

#include "app/FMain.h"
#include "publisher/ui/PublisherServices.h"
#include "suggest/ui/SuggestPage.h"
#include "support/FailingFolder.h"
#include "support/FakeSeams.h"
#include "support/TestFiles.h"
#include "trends/ui/HotTrendsPage.h"

#include <QCoroTask>
#include <QLabel>
#include <QTemporaryDir>

#include <memory>
#include <optional>

// A program folder of its own (QUILLORY_HOME), US regional settings and a fresh set of fakes for
// each test; the window is made on demand so that a test can lay out its files first.
class AppFixture {
public:
    AppFixture();
    ~AppFixture();

    QString file(const QString& name) const { return m_home.filePath(name); }
    QString home() const { return m_home.path(); }
    // The main window over the fakes (once per fixture: the fakes go to the window), its tables
    // loaded.
    std::unique_ptr<TfrmMain> makeWindow();
    // The same at once, while its tables may still be loading (`fakes.tableLoads` holds them).
    std::unique_ptr<TfrmMain> makeLoadingWindow();

    FakeSeams fakes;

private:
    QTemporaryDir m_home;
};

// An installation whose executable's folder the program cannot write: a folder of the test stands in
// for the executable's, QUILLORY_HOME is unset and the per-user data folder lies under a
// XDG_DATA_HOME of the test. Lay out the installation's files, then `lock()` the folder; all is put
// back when this goes.
class ReadOnlyInstall {
public:
    ReadOnlyInstall();
    ~ReadOnlyInstall();
    ReadOnlyInstall(const ReadOnlyInstall&) = delete;
    ReadOnlyInstall& operator=(const ReadOnlyInstall&) = delete;

    QString installFile(const QString& name) const;
    QString dataFolder() const;
    QString dataFile(const QString& name) const;
    // Makes the executable's folder read-only; false (with the reason in `error`) when it cannot be.
    bool lock(QString* error);

private:
    QTemporaryDir m_root;
    QByteArray m_home;
    std::optional<QByteArray> m_dataHome;
    std::unique_ptr<FailingFolder> m_readOnly;
};

// The control of `window` with this object name. A name that no control of that type has ends the
// run: it is a fault of the test, not of the program.
template <typename Control> Control* control(const QObject& window, const char* name)
{
    auto* found = window.findChild<Control*>(QLatin1String(name));
    if (!found)
        qFatal("no %s named %s", Control::staticMetaObject.className(), name);
    return found;
}

// Waits (running the event loop) until no table of `window` loads, or until no table is written in
// the background; false when that does not come in time.
bool WaitForTables(const TfrmMain& window);
bool WaitForSaves(const TfrmMain& window);

// What MainStatusPanel says the moment `task` ends, before anything else can change it. Made
// before the task can end, it tells which of several overlapping operations wrote what.
template <typename T> QCoro::Task<QString> StatusWhenDone(const TfrmMain& window, QCoro::Task<T> task)
{
    co_await std::move(task);
    co_return control<QLabel>(window, "MainStatusPanel")->text();
}
