#include "support/FakeSeams.h"

#include <QDialog>

#include <stdexcept>
#include <utility>

MsgAnswer FakeMessageBoxes::show(const QString& text, MsgKind kind, MsgButtons buttons)
{
    shown.append({text, kind, buttons});
    if (whileOpen)
        whileOpen(shown.last());
    return answers.isEmpty() ? MsgAnswer::Cancel : answers.dequeue();
}

SaveAnswer FakeSaveDialog::ask(const QString& title, const QStringList& offered, const QString& folder)
{
    titles << title;
    choices.append(offered);
    folders << folder;
    return answers.isEmpty() ? SaveAnswer{} : answers.dequeue();
}

int FakeDialogs::run(QDialog& dialog)
{
    titles << dialog.windowTitle();
    return answers.isEmpty() ? int(QDialog::Rejected) : answers.dequeue()(dialog);
}

QDateTime FakeClock::now() const
{
    if (std::exchange(failNextRead, false))
        throw std::runtime_error("the clock failed");
    return current;
}

int FakeRandom::bounded(int bound)
{
    if (std::exchange(failNextDraw, false))
        throw std::runtime_error("the random source failed");
    bounds << bound;
    return draws.isEmpty() ? 0 : draws.dequeue() % bound;
}

bool FakeLauncher::startProgram(const QString& program, const QStringList& arguments)
{
    started.append({program, arguments});
    return !startFails;
}

bool FakeLauncher::openUrl(const QUrl& url)
{
    opened.append(url);
    return !openFails;
}

FakeSeams::FakeSeams()
    : messages(new FakeMessageBoxes)
    , saveDialog(new FakeSaveDialog)
    , dialogs(new FakeDialogs)
    , clock(new FakeClock)
    , random(new FakeRandom)
    , launcher(new FakeLauncher)
    , tray(new FakeTray)
{
    m_seams.messages.reset(messages);
    m_seams.saveDialog.reset(saveDialog);
    m_seams.dialogs.reset(dialogs);
    m_seams.clock.reset(clock);
    m_seams.random.reset(random);
    m_seams.launcher.reset(launcher);
    m_seams.tray.reset(tray);
}

Seams FakeSeams::take()
{
    m_seams.intervals = intervals;
    m_seams.tableReadGate = tableLoads.passage();
    return std::move(m_seams);
}
