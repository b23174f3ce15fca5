#include "app/AppFixture.h"
#include "suggest/SuggestHarvester.h"
#include "support/FailingFolder.h"
#include "support/ScriptedHttpServer.h"
#include "support/TaskEnd.h"
#include "support/TestRegistry.h"
#include "trends/HotTrendsMonitor.h"
#include "trends/TrendTableModel.h"
#include "util/CrashReporter.h"

#include <QDir>
#include <QItemSelectionModel>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

#include <csignal>
#include <memory>
#include <stdexcept>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray fourRows =
    "alpha|3/5/2009|1|\r\nbeta|3/5/2009|2|\r\ngamma|3/5/2009|3|\r\ndelta|3/5/2009|4|\r\n";
const QByteArray onePhrase = "red\xc2\xa7wine|||||||||||||||||||||\r\n";

QByteArray feed(const QByteArray& keyword)
{
    return "<ol><li><a href=\"http://www.google.com/search?q=k\">" + keyword + "</a></li></ol>";
}

// The program itself, started on a data folder; what it says on stderr is kept.
class RunningProgram {
public:
    RunningProgram(const QString& home, const QByteArray& googleHost = "127.0.0.1:1")
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QUILLORY_HOME"_s, home);
        environment.insert(u"QUILLORY_GOOGLE_HOST"_s, QString::fromLatin1(googleHost));
        environment.insert(u"QUILLORY_MONITOR_TICK_MS"_s, u"50"_s);
        environment.insert(u"QUILLORY_UPDATE_URL"_s, u"http://127.0.0.1:1/liveupdate/quillory/"_s);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        m_process.setProcessEnvironment(environment);
        m_process.start(QStringLiteral(QUILLORY_EXECUTABLE), {});
    }
    ~RunningProgram()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    // Waits (running the event loop, so that a server of the test answers) until stderr says `text`.
    bool waitToSay(const QByteArray& text, int milliseconds = 15000)
    {
        QDeadlineTimer deadline(milliseconds);
        while (!(m_said += m_process.readAllStandardError()).contains(text) && !deadline.hasExpired()) {
            if (m_process.state() == QProcess::NotRunning && !m_process.bytesAvailable())
                return (m_said += m_process.readAllStandardError()).contains(text);
            QTest::qWait(20);
        }
        return m_said.contains(text);
    }
    // The exit status once it ended by itself; -1 when it did not end normally in time.
    int waitToEnd(int milliseconds = 10000)
    {
        QDeadlineTimer deadline(milliseconds);
        while (m_process.state() != QProcess::NotRunning && !deadline.hasExpired())
            QTest::qWait(20);
        m_said += m_process.readAllStandardError();
        if (m_process.state() != QProcess::NotRunning || m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }
    QByteArray said() const { return m_said; }

private:
    QProcess m_process;
    QByteArray m_said;
};

} // namespace

// What the program does when saving fails, and how it ends: on the user's close, on a signal, or
// because another program holds its folder.
class TestSavesAndEnding : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void crashReportIsOnDiskBeforeTheBox_data();
    void crashReportIsOnDiskBeforeTheBox();
    void failedReplaceNamesTheFileAndTheSystemsReason_data();
    void failedReplaceNamesTheFileAndTheSystemsReason();
    void failedSaveStaysPendingUntilItSucceeds();
    void closeAsksBeforeLosingWhatWasNotSaved_data();
    void closeAsksBeforeLosingWhatWasNotSaved();
    void unreadableTableIsKeptAsItWas();
    void busyFlagsSurviveAnError();
    void oneProgramPerFolder();
    void signalEndsTheProgramWithABoxOpen_data();
    void signalEndsTheProgramWithABoxOpen();

private:
    QString file(const QString& name) const { return m_fixture->file(name); }
    FakeMessageBoxes& messages() { return *m_fixture->fakes.messages; }

    std::unique_ptr<AppFixture> m_fixture;
};

void TestSavesAndEnding::init()
{
    m_fixture = std::make_unique<AppFixture>();
}

void TestSavesAndEnding::cleanup()
{
    m_fixture.reset();
}

void TestSavesAndEnding::crashReportIsOnDiskBeforeTheBox_data()
{
    QTest::addColumn<bool>("logWritable");
    QTest::newRow("crash.log can be written") << true;
    QTest::newRow("crash.log cannot be written") << false;
}

void TestSavesAndEnding::crashReportIsOnDiskBeforeTheBox()
{
    QFETCH(bool, logWritable);
    const auto window = m_fixture->makeWindow();
    // A folder in the log's place makes the report fail.
    if (!logWritable)
        QVERIFY(QDir(m_fixture->home()).mkdir(u"crash.log"_s));
    QByteArray logWhileOpen;
    messages().whileOpen = [&](const ShownMessage& message) {
        if (!message.text.contains(u"Something went wrong"_s))
            return;
        logWhileOpen = readFile(file(u"crash.log"_s));
        // An error while the box is open is logged, and no second box opens over the first.
        CrashReporter::report(u"a second handler"_s, u"a second error"_s);
    };

    // An error that escapes a handler.
    CrashReporter::guard(u"btnBrokenClick"_s, [] { throw std::runtime_error("the list is gone"); });

    QCOMPARE(messages().shown.size(), 1);
    const QString box = messages().shown[0].text;
    QVERIFY2(box.contains(u"the last action did not finish:\n\nthe list is gone"_s), qPrintable(box));
    QCOMPARE(box.contains(u"A report was added"_s), logWritable);
    QCOMPARE(box.contains(u"No report could be written"_s), !logWritable);
    if (logWritable) {
        QVERIFY2(logWhileOpen.contains("btnBrokenClick: the list is gone"), logWhileOpen);
        QVERIFY(readFile(file(u"crash.log"_s)).contains("a second handler: a second error"));
    }
}

void TestSavesAndEnding::failedReplaceNamesTheFileAndTheSystemsReason_data()
{
    QTest::addColumn<bool>("folderInPlace"); // else the program folder is read-only
    QTest::addColumn<QString>("reason");
    // Without root the read-only folder is one by its permissions: the system then says so.
    QTest::newRow("read-only folder")
        << false << (::geteuid() == 0 ? u"Read-only file system"_s : u"Permission denied"_s);
    QTest::newRow("a folder in the file's place") << true << u"Is a directory"_s;
}

void TestSavesAndEnding::failedReplaceNamesTheFileAndTheSystemsReason()
{
    QFETCH(bool, folderInPlace);
    QFETCH(QString, reason);
    writeFile(file(u"dabatase.dat"_s), fourRows);
    const auto window = m_fixture->makeWindow();
    std::unique_ptr<FailingFolder> readOnly;
    if (folderInPlace) {
        QVERIFY(QFile::remove(file(u"dabatase.dat"_s)));
        QVERIFY(QDir(m_fixture->home()).mkpath(u"dabatase.dat/inner"_s));
    } else {
        readOnly = std::make_unique<FailingFolder>(m_fixture->home(), FailingFolder::Kind::ReadOnly);
        QVERIFY2(readOnly->ready(), qPrintable(readOnly->error()));
    }
    messages().answers.enqueue(MsgAnswer::Ok);
    control<QPushButton>(*window, "btnDeleteAll")->click();
    QVERIFY(WaitForSaves(*window));

    // The deletion is done: the box names the file, the system's reason and what was kept.
    QCOMPARE(messages().shown.size(), 2);
    const QString what = u"Could not write \"dabatase.dat\": "_s + reason;
    QCOMPARE(messages().shown[1].text,
             what + u"\r\n\r\nThe dabatase.dat on the disk is kept as it was. The changes stay in "
                    "Quillory, which saves them again with the next change and when it closes."_s);
    QCOMPARE(messages().shown[1].kind, MsgKind::Warning);
    QCOMPARE(window->trendTable()->rowCount(), 0);
    QVERIFY(window->isUnsaved(TfrmMain::DataFile::TrendTable));
    // The log lies in the same folder: a read-only one keeps it out, and the old file in.
    if (folderInPlace)
        QVERIFY(readFile(file(u"crash.log"_s)).contains("SaveTrendTable: " + what.toUtf8()));
    else
        QCOMPARE(readFile(file(u"dabatase.dat"_s)), fourRows);
}

void TestSavesAndEnding::failedSaveStaysPendingUntilItSucceeds()
{
    FailingFolder disk(m_fixture->home(), FailingFolder::Kind::Full);
    if (!disk.ready())
        QSKIP(qPrintable(disk.error()));
    writeFile(file(u"dabatase.dat"_s), fourRows);
    const auto window = m_fixture->makeWindow();
    disk.fillUp();

    const auto deleteFirstRow = [&] {
        messages().answers.enqueue(MsgAnswer::Ok);
        control<QTableView>(*window, "lvwItems")->selectRow(0);
        control<QPushButton>(*window, "btnDelete")->click();
        QVERIFY(WaitForSaves(*window));
    };
    deleteFirstRow();
    QCOMPARE(messages().shown.size(), 2);
    QVERIFY2(
        messages().shown[1].text.contains(u"Could not write \"dabatase.dat\": No space left on device"_s),
        qPrintable(messages().shown[1].text));
    QVERIFY(window->isUnsaved(TfrmMain::DataFile::TrendTable));
    QCOMPARE(readFile(file(u"dabatase.dat"_s)), fourRows);

    // The next change tries again; the user, told once, is not told again.
    deleteFirstRow();
    QCOMPARE(messages().shown.size(), 3);
    QVERIFY(window->isUnsaved(TfrmMain::DataFile::TrendTable));

    // With room again, the close saves what is pending without asking more than its question.
    disk.release();
    messages().answers.enqueue(MsgAnswer::Ok);
    window->close();
    QVERIFY(window->isClosing());
    QCOMPARE(messages().shown.size(), 4);
    QCOMPARE(readFile(file(u"dabatase.dat"_s)), "gamma|3/5/2009|3|\r\ndelta|3/5/2009|4|\r\n");
    QVERIFY(!window->isUnsaved(TfrmMain::DataFile::TrendTable));
}

void TestSavesAndEnding::closeAsksBeforeLosingWhatWasNotSaved_data()
{
    QTest::addColumn<MsgAnswer>("answer");
    QTest::newRow("stay open") << MsgAnswer::Cancel;
    QTest::newRow("close anyway") << MsgAnswer::Ok;
}

void TestSavesAndEnding::closeAsksBeforeLosingWhatWasNotSaved()
{
    QFETCH(MsgAnswer, answer);
    writeFile(file(u"dabatase.dat"_s), fourRows);
    writeFile(file(u"dbsuggest.dat"_s), onePhrase);
    const auto window = m_fixture->makeWindow();
    window->show();
    FailingFolder folder(m_fixture->home(), FailingFolder::Kind::ReadOnly);
    QVERIFY2(folder.ready(), qPrintable(folder.error()));
    messages().answers.enqueue(MsgAnswer::Ok);
    control<QPushButton>(*window, "btnDeleteAll")->click(); // fails, and the table stays unsaved
    QVERIFY(WaitForSaves(*window));

    messages().answers << MsgAnswer::Ok << answer;
    window->close();

    QCOMPARE(messages().shown.size(), 4);
    const ShownMessage& question = messages().shown[3];
    QCOMPARE(question.kind, MsgKind::Warning);
    QCOMPARE(question.buttons, MsgButtons::OkCancel);
    QVERIFY2(question.text.contains(u"\"dbsuggest.dat\""_s) &&
                 question.text.contains(u"\"dabatase.dat\""_s) && question.text.contains(u"Close anyway?"_s),
             qPrintable(question.text));
    const bool closed = answer == MsgAnswer::Ok;
    QCOMPARE(window->isClosing(), closed);
    QCOMPARE(window->isVisible(), !closed);
    if (!closed)
        QVERIFY(!window->stopRequested()); // kept open, the next download is not refused
    QCOMPARE(readFile(file(u"dabatase.dat"_s)), fourRows);
}

void TestSavesAndEnding::unreadableTableIsKeptAsItWas()
{
    // A table file that is there but cannot be read is never written over, so nothing in it is lost.
    QVERIFY(QDir(m_fixture->home()).mkdir(u"dbsuggest.dat"_s));
    const auto window = m_fixture->makeWindow();
    QCOMPARE(messages().shown.size(), 1);
    QVERIFY2(messages().shown[0].text.contains(u"Could not read \"dbsuggest.dat\""_s),
             qPrintable(messages().shown[0].text));

    messages().answers << MsgAnswer::Ok << MsgAnswer::Cancel;
    window->close();
    QCOMPARE(messages().shown.size(), 3);
    QVERIFY2(messages().shown[2].text.contains(u"\"dbsuggest.dat\": it could not be read at the start"_s),
             qPrintable(messages().shown[2].text));
    QVERIFY(QFileInfo(file(u"dbsuggest.dat"_s)).isDir());
}

void TestSavesAndEnding::busyFlagsSurviveAnError()
{
    ScriptedHttpServer server;
    qputenv("QUILLORY_GOOGLE_HOST", server.hostAndPort());
    server.setFallback(ScriptedHttpServer::ok(feed("foo")));
    writeFile(file(u"dbsuggest.dat"_s), onePhrase + QByteArray(onePhrase).replace("red", "blue"));
    const auto window = m_fixture->makeWindow();
    FakeSeams& fakes = m_fixture->fakes;

    // An error inside a scrape, after its download.
    fakes.clock->failNextRead = true;
    QVERIFY(EndsInAnError(window->monitor()->scrape()));
    QVERIFY(!window->monitor()->isScraping());
    QCoro::waitFor(window->monitor()->scrape());
    QCOMPARE(window->trendTable()->rowCount(), 1);

    // An error inside a harvest, at the pause before its second phrase.
    control<QTableView>(*window, "lvwSuggest")->selectAll();
    fakes.random->failNextDraw = true;
    QVERIFY(EndsInAnError(window->suggestPage()->btnSearchClick()));
    QVERIFY(!window->harvester()->isRunning());
    QCoro::waitFor(window->suggestPage()->btnSearchClick());
    QCOMPARE(fakes.messages->shown.size(), 0); // no "You can't start a new search ..."
}

void TestSavesAndEnding::oneProgramPerFolder()
{
    writeFile(file(u"dbsuggest.dat"_s), onePhrase);
    RunningProgram first(m_fixture->home());
    QVERIFY(first.waitToSay("data folder"));

    RunningProgram second(m_fixture->home());
    QCOMPARE(second.waitToEnd(), 1);
    QVERIFY2(second.said().contains("Quillory is already running with the data folder"), second.said());
    QVERIFY(!second.said().contains(": data folder")); // it never got as far as starting

    // The lock of a program that died is taken over.
    first.signal(SIGKILL);
    QCOMPARE(first.waitToEnd(), -1);
    RunningProgram third(m_fixture->home());
    QVERIFY2(third.waitToSay("data folder"), third.said());
    third.signal(SIGTERM);
    QCOMPARE(third.waitToEnd(), 0);
    QCOMPARE(readFile(file(u"dbsuggest.dat"_s)), onePhrase);
}

void TestSavesAndEnding::signalEndsTheProgramWithABoxOpen_data()
{
    QTest::addColumn<bool>("whileLoading");
    QTest::newRow("a table that cannot be read, while loading") << true;
    QTest::newRow("a save that fails, while running") << false;
}

void TestSavesAndEnding::signalEndsTheProgramWithABoxOpen()
{
    QFETCH(bool, whileLoading);
    ScriptedHttpServer server;
    server.setFallback(ScriptedHttpServer::ok(feed("foo")));
    writeFile(file(u"dbsuggest.dat"_s), onePhrase);
    std::unique_ptr<FailingFolder> folder;
    if (whileLoading) {
        QVERIFY(QDir(m_fixture->home()).mkdir(u"dabatase.dat"_s));
    } else {
        folder = std::make_unique<FailingFolder>(m_fixture->home(), FailingFolder::Kind::ReadOnly);
        QVERIFY2(folder->ready(), qPrintable(folder->error()));
    }
    RunningProgram program(m_fixture->home(), server.hostAndPort());
    // The box is open once the report is logged: at the load, or when the first scrape is saved.
    QVERIFY2(program.waitToSay(whileLoading ? "LoadTrendTable: Could not read"
                                            : "SaveTrendTable: Could not write"),
             program.said());

    program.signal(SIGTERM);
    QCOMPARE(program.waitToEnd(), 0);
    QCOMPARE(readFile(file(u"dbsuggest.dat"_s)), onePhrase);
    if (!whileLoading) // the close's saves were tried, and logged as they failed
        QVERIFY2(program.said().contains("FormClose: Could not write \"dbsuggest.dat\""), program.said());
}

QUILLORY_REGISTER_TEST(TestSavesAndEnding);
#include "tst_saves_and_ending.moc"
