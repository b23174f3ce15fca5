#pragma once

#include "app/FMain.h"
#include "support/FakeSeams.h"
#include "support/TestFiles.h"

#include <QCoroTask>
#include <QLabel>
#include <QTemporaryDir>

#include <memory>

// A program folder of its own (QUILLORY_HOME), US regional settings and a fresh set of fakes for
// each test; the window is made on demand so that a test can lay out its files first.
class AppFixture {
public:
    AppFixture();
    ~AppFixture();

    QString file(const QString& name) const { return m_home.filePath(name); }
    QString home() const { return m_home.path(); }
    // The main window over the fakes (once per fixture: the fakes go to the window).
    std::unique_ptr<TfrmMain> makeWindow();

    FakeSeams fakes;

private:
    QTemporaryDir m_home;
};

// What MainStatusPanel says the moment `task` ends, before anything else can change it. Made
// before the task can end, it tells which of several overlapping operations wrote what.
template <typename T> QCoro::Task<QString> StatusWhenDone(const TfrmMain& window, QCoro::Task<T> task)
{
    co_await std::move(task);
    co_return window.MainStatusPanel->text();
}
