#include "support/FailingFolder.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestFiles.h"
#include "support/TrendingFeedBody.h"
#include "trends/TrendLedger.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <signal.h>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// How a command is started beside its arguments.
struct RunSetup {
    QByteArray input;
    QString outputFile;                  // stdout into this file, as a shell's "> FILE"
    QHash<QString, QString> environment; // beside the test's own
};

QProcessEnvironment CliEnvironment(const QHash<QString, QString>& extra)
{
    // A user in the US: the tables' date-times are written as there.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LC_ALL"_s, u"en_US.UTF-8"_s);
    environment.insert(u"QUILLORY_PAUSE_STEP_MS"_s, u"0"_s); // a refusal's minutes of waiting pass at once
    // Nothing the test forgot to point at its server reaches beyond this machine.
    environment.insert(u"QUILLORY_GOOGLE_HOST"_s, u"127.0.0.1:1"_s);
    for (auto it = extra.cbegin(); it != extra.cend(); ++it)
        environment.insert(it.key(), it.value());
    return environment;
}

Run RunProgram(const QString& program, const QStringList& arguments, const RunSetup& setup)
{
    QProcess cli;
    cli.setProcessEnvironment(CliEnvironment(setup.environment));
    if (!setup.outputFile.isEmpty())
        cli.setStandardOutputFile(setup.outputFile);
    cli.start(program, arguments);
    if (!setup.input.isEmpty())
        cli.write(setup.input);
    cli.closeWriteChannel();
    Run run;
    // The event loop turns meanwhile: a test's server answers the command.
    if (!QTest::qWaitFor([&cli] { return cli.state() == QProcess::NotRunning; }, 20000))
        return run;
    run.status = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
    run.out = cli.readAllStandardOutput();
    run.err = cli.readAllStandardError();
    return run;
}

Run RunCli(const QStringList& arguments, const RunSetup& setup)
{
    return RunProgram(QStringLiteral(QUILLORY_CLI), arguments, setup);
}

Run RunCli(const QStringList& arguments, const QByteArray& input = {})
{
    return RunCli(arguments, RunSetup{input, {}, {}});
}

// A quillory-cli watch running in the background; its output is read as it comes.
class Watch {
public:
    Watch(const QString& folder, const QString& every = u"1s"_s, const RunSetup& setup = {},
          const QStringList& more = {})
    {
        m_cli.setProcessEnvironment(CliEnvironment(setup.environment));
        if (!setup.outputFile.isEmpty())
            m_cli.setStandardOutputFile(setup.outputFile);
        m_cli.start(QStringLiteral(QUILLORY_CLI),
                    QStringList{u"watch"_s, u"--folder"_s, folder, u"--every"_s, every} + more);
    }
    ~Watch()
    {
        if (m_cli.state() != QProcess::NotRunning) {
            m_cli.kill();
            m_cli.waitForFinished();
        }
    }
    // The lines of its stdout so far.
    qsizetype scrapesTold()
    {
        m_out += m_cli.readAllStandardOutput();
        return m_out.count('\n');
    }
    bool waitForScrapes(qsizetype count)
    {
        return QTest::qWaitFor([this, count] { return scrapesTold() >= count; }, 20000);
    }
    // Waits until the process has ended by itself; its exit status, or -1 when it did not end in time.
    int waitForEnd()
    {
        if (!QTest::qWaitFor([this] { return m_cli.state() == QProcess::NotRunning; }, 20000))
            return -1;
        return m_cli.exitStatus() == QProcess::NormalExit ? m_cli.exitCode() : -1;
    }
    // Sends SIGTERM; the exit status, or -1 when it did not end in time.
    int terminate(int withinMs = 20000)
    {
        m_cli.terminate();
        if (!QTest::qWaitFor([this] { return m_cli.state() == QProcess::NotRunning; }, withinMs))
            return -1;
        scrapesTold();
        return m_cli.exitStatus() == QProcess::NormalExit ? m_cli.exitCode() : -1;
    }
    // Its stdout and stderr so far.
    QByteArray out()
    {
        scrapesTold();
        return m_out;
    }
    QByteArray err()
    {
        m_err += m_cli.readAllStandardError();
        return m_err;
    }
    QProcess& process() { return m_cli; }

private:
    QProcess m_cli;
    QByteArray m_out;
    QByteArray m_err;
};

void WriteSuggestSettings(const QString& folder, const QByteArray& base)
{
    writeFile(QDir(folder).filePath(u"quillory.ini"_s),
              "[Suggest]\nEngine=bing\nPauseMin=0\nPauseMax=0\n[Endpoints]\nBing=" + base + "\n");
}

const QByteArray JsonType = "application/json; charset=UTF-8";

void WriteTrendsSettings(const QString& folder, const ScriptedHttpServer& server)
{
    writeFile(QDir(folder).filePath(u"quillory.ini"_s),
              "[HotTrends]\nSource=trending\nGeo=US\n[Endpoints]\nTrends=http://" + server.hostAndPort() +
                  "\n");
}

// Every file of a folder with its bytes.
QMap<QString, QByteArray> FilesOf(const QString& folder)
{
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        files.insert(name, readFile(QDir(folder).filePath(name)));
    return files;
}

// A history of trends as the program's first version wrote it (no news tables), with alpha seen
// twice; `version` 2 adds the news tables.
void WriteOlderHistory(const QString& path, int version)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"older"_s);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QStringList statements = {
            u"PRAGMA journal_mode = WAL"_s,
            u"CREATE TABLE keywords (id INTEGER PRIMARY KEY, keyword TEXT NOT NULL, folded TEXT NOT NULL "
            u"UNIQUE, "
            u"first_seen INTEGER NOT NULL)"_s,
            u"CREATE INDEX keywords_by_first_seen ON keywords (first_seen)"_s,
            u"CREATE TABLE sightings (id INTEGER PRIMARY KEY, keyword_id INTEGER NOT NULL, at INTEGER NOT "
            u"NULL, "
            u"source INTEGER NOT NULL, country TEXT NOT NULL DEFAULT '', traffic TEXT NOT NULL DEFAULT '', "
            u"traffic_min INTEGER, rank INTEGER)"_s,
            u"CREATE INDEX sightings_by_keyword ON sightings (keyword_id, at)"_s,
            u"INSERT INTO keywords VALUES (1, 'Alpha', 'alpha', 1796119200)"_s,
            u"INSERT INTO sightings VALUES (1, 1, 1796119200, 1, 'US', '200+', 200, 1)"_s,
            u"INSERT INTO sightings VALUES (2, 1, 1796205600, 1, 'GB', '5K+', 5000, 2)"_s,
        };
        if (version >= 2)
            statements
                << u"CREATE INDEX sightings_by_time ON sightings (at)"_s
                << u"CREATE TABLE news (id INTEGER PRIMARY KEY, url TEXT NOT NULL UNIQUE, title TEXT NOT "
                   u"NULL, source TEXT NOT NULL)"_s
                << u"CREATE TABLE sighting_news (sighting_id INTEGER NOT NULL, news_id INTEGER NOT NULL, "
                   u"PRIMARY KEY (sighting_id, news_id)) WITHOUT ROWID"_s;
        statements << u"PRAGMA user_version = %1"_s.arg(version);
        QSqlQuery query(db);
        for (const QString& statement : statements)
            QVERIFY2(query.exec(statement), qPrintable(statement));
    }
    QSqlDatabase::removeDatabase(u"older"_s);
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void badUsageAndFailuresSayWhyInOneLine_data();
    void badUsageAndFailuresSayWhyInOneLine();
    void versionAndHelp();
    void trendsTable();
    void suggestTable();
    void allSuggestionsTable_data();
    void allSuggestionsTable();
    void keywordHistory();
    void historyIsReadWithoutWriting_data();
    void historyIsReadWithoutWriting();
    void trendsFetchedOnce();
    void suggestionsOfPhrases();
    void suggestionsDigDeeper();
    void watchFoldsScrapesUntilTerminated();
    void watchEndsAtOnceWhileAFeedHangs();
    void watchRefusesAFolderInUse();
    void watchStopsAtAnUnreadableTable();
    void suggestFailuresAreToldPhraseByPhrase_data();
    void suggestFailuresAreToldPhraseByPhrase();
    void suggestHarvestsEveryPhraseGiven();
    void failedWritesToStdoutEndTheCommand_data();
    void failedWritesToStdoutEndTheCommand();
    void watchEndsWhenStdoutFails();
    void watchEndsQuietlyWhenItsReaderGoesAway();
    void tableEndsQuietlyWhenItsReaderGoesAway();
    void suggestEndsQuietlyWhenItsReaderGoesAway();
    void exportsNeedNoTemporaryFolder_data();
    void exportsNeedNoTemporaryFolder();
    void suggestInputIsReadAsTheProgramReadsFiles();
    void argumentsThatAreNotUtf8AreRefused();
    void tableCellsHoldNoControlCharacters_data();
    void tableCellsHoldNoControlCharacters();
    void watchTellsEachScrapeInOneLineWithItsOffset();
    void unusableServiceAddressSendsNothing_data();
    void unusableServiceAddressSendsNothing();
    void suggestPrintsEachPhraseAndEndsInOrderOnASignal_data();
    void suggestPrintsEachPhraseAndEndsInOrderOnASignal();
    void trendsPrintsTheCountriesReadAndNamesTheOthers_data();
    void trendsPrintsTheCountriesReadAndNamesTheOthers();
    void aFolderThatDoesNotExistIsBadUsage_data();
    void aFolderThatDoesNotExistIsBadUsage();
    void createMakesTheFolder();

private:
    QString folder() const { return m_dir->path(); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestCli::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    writeFile(m_dir->filePath(u"dabatase.dat"_s), "alpha|3/5/2009\xc2\xa7"
                                                  "2:15:00\xc2\xa7PM|4|\r\nbeta,\xc2\xa7"
                                                  "co|3/6/2009\xc2\xa7"
                                                  "2:15:00\xc2\xa7PM|9|\r\n"
                                                  "gamma|3/4/2009\xc2\xa7"
                                                  "2:15:00\xc2\xa7PM|1|\r\n");
    writeFile(m_dir->filePath(u"dbsuggest.dat"_s),
              "red\xc2\xa7wine|red\xc2\xa7wine\xc2\xa7glasses|30" + QByteArray("|").repeated(19) + "\r\n");
    // Every service on a port nothing listens to, until a test points one at its server.
    writeFile(
        m_dir->filePath(u"quillory.ini"_s),
        "[Suggest]\nEngine=bing\n[Endpoints]\nTrends=http://127.0.0.1:1\nGoogleSuggest=http://127.0.0.1:1\n"
        "Bing=http://127.0.0.1:1\nDuckDuckGo=http://127.0.0.1:1\nAmazon=http://127.0.0.1:1\n");
}

void TestCli::badUsageAndFailuresSayWhyInOneLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    const QString none = u"/no/such/folder"_s;
    QTest::newRow("no command") << QStringList{} << 2;
    QTest::newRow("unknown command") << QStringList{u"fly"_s} << 2;
    QTest::newRow("table of nothing") << QStringList{u"table"_s} << 2;
    QTest::newRow("unknown table") << QStringList{u"table"_s, u"people"_s} << 2;
    QTest::newRow("unknown format") << QStringList{u"table"_s, u"trends"_s, u"--format"_s, u"xml"_s} << 2;
    QTest::newRow("top not a number") << QStringList{u"table"_s, u"trends"_s, u"--top"_s, u"x"_s} << 2;
    QTest::newRow("unknown option") << QStringList{u"table"_s, u"trends"_s, u"--fast"_s} << 2;
    QTest::newRow("history of nothing") << QStringList{u"history"_s} << 2;
    QTest::newRow("missing folder") << QStringList{u"table"_s, u"trends"_s, u"--folder"_s, none} << 2;
    // Codes are checked as the options file checks them.
    QTest::newRow("language not a code")
        << QStringList{u"suggest"_s, u"tea"_s, u"--lang"_s, u"english"_s} << 2;
    QTest::newRow("language with a digit") << QStringList{u"suggest"_s, u"tea"_s, u"--lang"_s, u"e1"_s} << 2;
    QTest::newRow("country of three letters")
        << QStringList{u"suggest"_s, u"tea"_s, u"--country"_s, u"USA"_s} << 2;
    QTest::newRow("country not in ASCII")
        << QStringList{u"suggest"_s, u"tea"_s, u"--country"_s, u"ÄÖ"_s} << 2;
    QTest::newRow("geo not in ASCII") << QStringList{u"trends"_s, u"--geo"_s, u"ÄÖ"_s} << 2;
    QTest::newRow("geo with one bad code") << QStringList{u"watch"_s, u"--geo"_s, u"US,1X"_s} << 2;
    QTest::newRow("only empty phrases") << QStringList{u"suggest"_s, u""_s, u" \t"_s} << 2;
    QTest::newRow("no history yet") << QStringList{u"history"_s, u"alpha"_s} << 1;
}

void TestCli::badUsageAndFailuresSayWhyInOneLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    if (!arguments.contains(u"--folder"_s) && !arguments.isEmpty() && arguments[0] != u"fly"_s)
        arguments << u"--folder"_s << folder();
    const Run run = RunCli(arguments);
    QCOMPARE(run.status, status);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.startsWith("quillory-cli: ") || run.err.startsWith("Usage: "), run.err.constData());
    if (run.err.startsWith("quillory-cli: "))
        QCOMPARE(run.err.count('\n'), 1);
}

void TestCli::versionAndHelp()
{
    const Run version = RunCli({u"--version"_s});
    QCOMPARE(version.status, 0);
    QVERIFY(version.out.startsWith("quillory-cli "));
    for (const QString& command : {u"table"_s, u"history"_s}) {
        const Run help = RunCli({command, u"--help"_s});
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.contains("--folder"));
        QVERIFY(help.err.isEmpty());
    }
}

void TestCli::trendsTable()
{
    const Run run = RunCli({u"table"_s, u"trends"_s, u"--folder"_s, folder(), u"--format"_s, u"json"_s,
                            u"--sort"_s, u"count"_s, u"--top"_s, u"2"_s});
    QCOMPARE(run.status, 0);
    QJsonParseError error;
    const QJsonArray rows = QJsonDocument::fromJson(run.out, &error).array();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].toObject().value(u"keyword"_s).toString(), u"beta, co"_s);
    QCOMPARE(rows[0].toObject().value(u"count"_s).toInt(), 9);
    QCOMPARE(rows[1].toObject().value(u"keyword"_s).toString(), u"alpha"_s);

    // JSON lines: the same objects, one a line.
    const Run lines = RunCli({u"table"_s, u"trends"_s, u"--folder"_s, folder(), u"--format"_s, u"jsonl"_s});
    QCOMPARE(lines.status, 0);
    const QList<QByteArray> objects = lines.out.trimmed().split('\n');
    QCOMPARE(objects.size(), 3);
    for (const QByteArray& object : objects) {
        QJsonParseError lineError;
        QVERIFY(QJsonDocument::fromJson(object, &lineError).isObject());
        QCOMPARE(lineError.error, QJsonParseError::NoError);
    }
    QCOMPARE(QJsonDocument::fromJson(objects[1]).object().value(u"keyword"_s).toString(), u"beta, co"_s);

    // Dates in ISO 8601, as `history` writes them (the tests run with TZ=UTC).
    QCOMPARE(rows[0].toObject().value(u"date"_s).toString(), u"2009-03-06T14:15:00Z"_s);

    // CSV by default, as RFC 4180 has it; by date, newest first.
    const Run csv = RunCli({u"table"_s, u"trends"_s, u"--folder"_s, folder(), u"--sort"_s, u"date"_s});
    QCOMPARE(csv.status, 0);
    QCOMPARE(csv.out, QByteArray("Keyword,Date,Count\r\n\"beta, co\",2009-03-06T14:15:00Z,9\r\n"
                                 "alpha,2009-03-05T14:15:00Z,4\r\ngamma,2009-03-04T14:15:00Z,1\r\n"));
}

void TestCli::suggestTable()
{
    const Run run = RunCli({u"table"_s, u"suggest"_s, u"--folder"_s, folder(), u"--format"_s, u"json"_s});
    QCOMPARE(run.status, 0);
    const QJsonArray rows = QJsonDocument::fromJson(run.out).array();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].toObject().value(u"phrase"_s).toString(), u"red wine"_s);
}

void TestCli::allSuggestionsTable_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QByteArray>("out");

    // "red wine" was dug from "red": one level below; "Red Dress" is met twice and listed once.
    const QByteArray csv = "Suggestion,Phrase,Level,Position,Service\r\n"
                           "red wine,red,1,1,Bing\r\nRed Dress,red,1,2,Bing\r\n"
                           "red wine glasses,red wine,2,1,Bing\r\n";
    QTest::newRow("csv") << QStringList{} << csv;
    QTest::newRow("top 2") << QStringList{u"--top"_s, u"2"_s}
                           << QByteArray("Suggestion,Phrase,Level,Position,Service\r\n"
                                         "red wine,red,1,1,Bing\r\nRed Dress,red,1,2,Bing\r\n");
    QTest::newRow("json lines")
        << QStringList{u"--format"_s, u"jsonl"_s}
        << QByteArray("{\"suggestion\":\"red wine\",\"phrase\":\"red\",\"level\":1,\"position\":1,"
                      "\"service\":\"Bing\"}\n"
                      "{\"suggestion\":\"Red Dress\",\"phrase\":\"red\",\"level\":1,\"position\":2,"
                      "\"service\":\"Bing\"}\n"
                      "{\"suggestion\":\"red wine glasses\",\"phrase\":\"red wine\",\"level\":2,"
                      "\"position\":1,\"service\":\"Bing\"}\n");
}

void TestCli::allSuggestionsTable()
{
    QFETCH(QStringList, options);
    QFETCH(QByteArray, out);
    const QByteArray empty = QByteArray("|").repeated(16);
    writeFile(m_dir->filePath(u"dbsuggest.dat"_s),
              "red\xc2\xa7wine|red\xc2\xa7wine\xc2\xa7glasses||red\xc2\xa7"
              "dress||" +
                  empty + "\r\n" +
                  "red|red\xc2\xa7wine||Red\xc2\xa7"
                  "Dress||N/A|" +
                  QByteArray("|").repeated(14) + "\r\n");
    const Run run = RunCli(QStringList{u"table"_s, u"suggestions"_s, u"--folder"_s, folder()} + options);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, out);
}

void TestCli::keywordHistory()
{
    {
        TrendLedger ledger(m_dir->filePath(u"trends.sqlite"_s));
        QCOMPARE(ledger.open(), QString());
        const QDateTime at(QDate(2026, 12, 1), QTime(10, 0), Qt::UTC);
        QCOMPARE(ledger.recordScrape(
                     at, LedgerSource::Trending,
                     {{u"Alpha"_s, u"US"_s, u"2000+"_s, 1, {{u"A"_s, u"https://news.example/a"_s, u"X"_s}}}}),
                 QString());
        QCOMPARE(ledger.recordScrape(at.addDays(1), LedgerSource::Trending,
                                     {{u"alpha"_s, u"GB"_s, u"5K+"_s, 2, {}}}),
                 QString());
    }
    const Run run = RunCli({u"history"_s, u"ALPHA"_s, u"--folder"_s, folder(), u"--format"_s, u"json"_s});
    QCOMPARE(run.status, 0);
    const QJsonObject history = QJsonDocument::fromJson(run.out).object();
    QCOMPARE(history.value(u"sightings"_s).toInt(), 2);
    QCOMPARE(history.value(u"countries"_s).toArray(), (QJsonArray{u"GB"_s, u"US"_s}));
    QCOMPARE(history.value(u"peakTraffic"_s).toString(), u"5K+"_s);
    QCOMPARE(history.value(u"days"_s).toArray().size(), 2);
    QCOMPARE(history.value(u"news"_s).toArray()[0].toObject().value(u"url"_s).toString(),
             u"https://news.example/a"_s);

    const Run csv = RunCli({u"history"_s, u"alpha"_s, u"--folder"_s, folder(), u"--format"_s, u"csv"_s});
    QCOMPARE(csv.out, QByteArray("Day,Sightings,Peak traffic\r\n2026-12-01,1,2000\r\n2026-12-02,1,5000\r\n"));
    const Run unknown = RunCli({u"history"_s, u"omega"_s, u"--folder"_s, folder()});
    QCOMPARE(unknown.status, 1);

    // A damaged history is told of and left as it is.
    writeFile(m_dir->filePath(u"trends.sqlite"_s), QByteArray("not a database\n").repeated(100));
    const Run damaged = RunCli({u"history"_s, u"alpha"_s, u"--folder"_s, folder()});
    QCOMPARE(damaged.status, 1);
    QCOMPARE(readFile(m_dir->filePath(u"trends.sqlite"_s)), QByteArray("not a database\n").repeated(100));
}

void TestCli::historyIsReadWithoutWriting_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("said"); // on stdout when it succeeds, on stderr when it fails
    QTest::newRow("zero-length file") << u"empty"_s << 1 << QByteArray("the history of trends in ");
    QTest::newRow("version 1, read as it is") << u"version 1"_s << 0 << QByteArray("\"sightings\": 2");
    QTest::newRow("version 2, read as it is") << u"version 2"_s << 0 << QByteArray("\"sightings\": 2");
    QTest::newRow("newer version") << u"newer"_s << 1
                                   << QByteArray(
                                          "quillory-cli: the history of trends cannot be read: the history "
                                          "of trends was written by a newer version of the program\n");
    QTest::newRow("read-only folder") << u"read-only"_s << 0 << QByteArray("\"sightings\": 1");
}

void TestCli::historyIsReadWithoutWriting()
{
    // A reading command never makes, updates or renames the history, whatever it finds.
    QFETCH(QString, kind);
    QFETCH(int, status);
    QFETCH(QByteArray, said);
    const QString file = m_dir->filePath(u"trends.sqlite"_s);
    if (kind == u"empty"_s) {
        writeFile(file, {});
    } else if (kind == u"version 1"_s) {
        WriteOlderHistory(file, 1);
    } else if (kind == u"version 2"_s) {
        WriteOlderHistory(file, 2);
    } else if (kind == u"newer"_s) {
        WriteOlderHistory(file, 99);
    } else {
        TrendLedger ledger(file);
        QCOMPARE(ledger.open(), QString());
        QCOMPARE(ledger.recordScrape(QDateTime(QDate(2026, 12, 1), QTime(10, 0), Qt::UTC),
                                     LedgerSource::Trending, {{u"Alpha"_s, u"US"_s, u"2000+"_s, 1, {}}}),
                 QString());
    }
    std::unique_ptr<FailingFolder> readOnly;
    if (kind == u"read-only"_s) {
        readOnly = std::make_unique<FailingFolder>(folder(), FailingFolder::Kind::ReadOnly);
        if (!readOnly->ready())
            QSKIP(qPrintable(readOnly->error()));
    }
    const QMap<QString, QByteArray> before = FilesOf(folder());
    const Run run = RunCli({u"history"_s, u"alpha"_s, u"--folder"_s, folder(), u"--format"_s, u"json"_s});
    QCOMPARE(run.status, status);
    if (status == 0) {
        QVERIFY2(run.out.contains(said), run.out.constData());
        QVERIFY2(run.out.contains("\"news\": [\n    ]") || run.out.contains("\"news\": []"),
                 run.out.constData());
        QVERIFY(run.err.isEmpty());
    } else {
        QVERIFY2(run.err.startsWith("quillory-cli: " + said.mid(said.startsWith("quillory-cli: ") ? 14 : 0)),
                 run.err.constData());
        QCOMPARE(run.err.count('\n'), 1);
    }
    QCOMPARE(FilesOf(folder()), before);
}

void TestCli::trendsFetchedOnce()
{
    ScriptedHttpServer server;
    writeFile(m_dir->filePath(u"quillory.ini"_s),
              "[HotTrends]\nSource=trending\nGeo=US\n[Endpoints]\nTrends=http://" + server.hostAndPort() +
                  "\n");
    server.enqueue(
        ScriptedHttpServer::ok(TrendingFeedBody({{u"alpha"_s, u"2000+"_s}}), "application/rss+xml"));
    server.enqueue(ScriptedHttpServer::ok(TrendingFeedBody({{u"beta, co"_s, u""_s}}), "application/rss+xml"));
    // --geo overrides the file's countries.
    const Run run =
        RunCli({u"trends"_s, u"--folder"_s, folder(), u"--geo"_s, u"us,gb"_s, u"--format"_s, u"json"_s});
    QCOMPARE(run.status, 0);
    QCOMPARE(server.requestLines(),
             (QList<QByteArray>{"GET /trending/rss?geo=US HTTP/1.1", "GET /trending/rss?geo=GB HTTP/1.1"}));
    const QJsonArray items = QJsonDocument::fromJson(run.out).array();
    QCOMPARE(items.size(), 2);
    QCOMPARE(items[0].toObject(), (QJsonObject{{u"keyword"_s, u"alpha"_s},
                                               {u"traffic"_s, u"2000+"_s},
                                               {u"country"_s, u"US"_s},
                                               {u"news"_s, 1}}));
    QCOMPARE(items[1].toObject().value(u"country"_s).toString(), u"GB"_s);

    // A service that fails ends the job with its reason, nothing on stdout.
    server.enqueue(ScriptedHttpServer::status(503));
    const Run failed = RunCli({u"trends"_s, u"--folder"_s, folder(), u"--format"_s, u"csv"_s});
    QCOMPARE(failed.status, 1);
    QVERIFY(failed.out.isEmpty());
    QVERIFY2(failed.err.startsWith("quillory-cli: the trends of US could not be fetched: "),
             failed.err.constData());
    QCOMPARE(failed.err.count('\n'), 1);
}

void TestCli::suggestionsOfPhrases()
{
    ScriptedHttpServer server;
    writeFile(
        m_dir->filePath(u"quillory.ini"_s),
        "[Suggest]\nEngine=bing\nLanguage=en\nCountry=US\nPauseMin=0\nPauseMax=0\n[Endpoints]\nBing=http://" +
            server.hostAndPort() + "\n");
    const QByteArray json = "application/json; charset=UTF-8";
    server.enqueue(ScriptedHttpServer::ok("[\"red wine\",[\"red wine glasses\",\"red wine, dry\"]]", json));
    server.enqueue(ScriptedHttpServer::ok("[\"tea\",[\"tea pot\"]]", json));
    const QByteArray before = readFile(m_dir->filePath(u"dbsuggest.dat"_s));
    // Phrases from stdin, one a line; the folder's table stays as it was.
    const Run run =
        RunCli({u"suggest"_s, u"-"_s, u"--folder"_s, folder(), u"--format"_s, u"csv"_s}, "red wine\n\ntea\n");
    QCOMPARE(run.status, 0);
    QVERIFY(run.err.isEmpty()); // no progress when stderr is not a terminal
    QCOMPARE(server.requestLines(),
             (QList<QByteArray>{"GET /osjson.aspx?query=red%20wine&setlang=en-US HTTP/1.1",
                                "GET /osjson.aspx?query=tea&setlang=en-US HTTP/1.1"}));
    // The export's own lines: the pairs the service gave, "N/A" where it gave none.
    const QList<QByteArray> lines = run.out.split('\n');
    QCOMPARE(lines.value(0), QByteArray("Keyword Phrase,Suggestion,Results\r"));
    QCOMPARE(lines.value(1), QByteArray("red wine,red wine glasses,\r"));
    QCOMPARE(lines.value(2), QByteArray("red wine,\"red wine, dry\",\r"));
    QVERIFY(lines.contains("tea,tea pot,\r"));
    QCOMPARE(readFile(m_dir->filePath(u"dbsuggest.dat"_s)), before);

    // Expanded first, at most --limit phrases; a refusing service fails the job with what it did.
    server.enqueue(ScriptedHttpServer::ok("[\"cafe\",[\"cafe near me\"]]", json));
    for (int ask = 0; ask < 4; ++ask) // the first ask and three more after waits
        server.enqueue(ScriptedHttpServer::status(429));
    const Run refused = RunCli({u"suggest"_s, u"cafe"_s, u"--folder"_s, folder(), u"--expand"_s,
                                u"alphabet"_s, u"--limit"_s, u"3"_s, u"--format"_s, u"json"_s});
    QCOMPARE(refused.status, 1);
    // The phrase refused, and the one never asked after it, each carry why.
    QCOMPARE(refused.err,
             QByteArray("quillory-cli: \"cafe a\": Bing refused to answer (HTTP 429)\n"
                        "quillory-cli: 1 more phrase was not asked: Bing refused to answer (HTTP 429)\n"));
    const QJsonArray rows = QJsonDocument::fromJson(refused.out).array();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(
        rows[0].toObject().value(u"suggestions"_s).toArray()[0].toObject().value(u"suggestion"_s).toString(),
        u"cafe near me"_s);
    QVERIFY(!rows[0].toObject().contains(u"error"_s));
    QCOMPARE(rows[1].toObject().value(u"phrase"_s).toString(), u"cafe a"_s);
    QCOMPARE(rows[1].toObject().value(u"error"_s).toString(), u"Bing refused to answer (HTTP 429)"_s);
    QCOMPARE(rows[2].toObject().value(u"error"_s).toString(),
             u"not asked: Bing refused to answer (HTTP 429)"_s);
}

void TestCli::suggestionsDigDeeper()
{
    ScriptedHttpServer server;
    writeFile(m_dir->filePath(u"quillory.ini"_s),
              "[Suggest]\nEngine=bing\nPauseMin=0\nPauseMax=0\n[Endpoints]\nBing=http://" +
                  server.hostAndPort() + "\n");
    const QByteArray json = "application/json; charset=UTF-8";
    server.enqueue(ScriptedHttpServer::ok("[\"tea\",[\"tea pot\",\"Tea\",\"tea cup\"]]", json));
    server.enqueue(ScriptedHttpServer::ok("[\"tea pot\",[\"tea pot set\"]]", json));
    server.enqueue(ScriptedHttpServer::ok("[\"tea cup\",[]]", json));
    // Two levels: the suggestions become phrases (the seed itself not again) and are harvested too.
    const Run run = RunCli(
        {u"suggest"_s, u"tea"_s, u"--folder"_s, folder(), u"--depth"_s, u"2"_s, u"--format"_s, u"jsonl"_s});
    QCOMPARE(run.status, 0);
    QCOMPARE(server.requestLines().size(), 3);
    const QList<QByteArray> lines = run.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 3);
    const QJsonObject second = QJsonDocument::fromJson(lines[1]).object();
    QCOMPARE(second.value(u"phrase"_s).toString(), u"tea pot"_s);
    QCOMPARE(second.value(u"suggestions"_s).toArray()[0].toObject().value(u"suggestion"_s).toString(),
             u"tea pot set"_s);
    QCOMPARE(QJsonDocument::fromJson(lines[2]).object().value(u"phrase"_s).toString(), u"tea cup"_s);

    // The limit counts the phrases of every level.
    server.enqueue(ScriptedHttpServer::ok("[\"tea\",[\"tea pot\",\"tea cup\"]]", json));
    server.enqueue(ScriptedHttpServer::ok("[\"tea pot\",[\"tea pot set\"]]", json));
    const Run limited = RunCli({u"suggest"_s, u"tea"_s, u"--folder"_s, folder(), u"--depth"_s, u"3"_s,
                                u"--limit"_s, u"2"_s, u"--format"_s, u"jsonl"_s});
    QCOMPARE(limited.status, 0);
    QCOMPARE(limited.out.trimmed().split('\n').size(), 2);
    QCOMPARE(server.requestLines().size(), 5);

    const Run tooDeep = RunCli({u"suggest"_s, u"tea"_s, u"--folder"_s, folder(), u"--depth"_s, u"4"_s});
    QCOMPARE(tooDeep.status, 2);
}

void TestCli::watchFoldsScrapesUntilTerminated()
{
    ScriptedHttpServer server;
    WriteTrendsSettings(folder(), server);
    server.setFallback(ScriptedHttpServer::ok(
        TrendingFeedBody({{u"alpha"_s, u"2000+"_s}, {u"delta"_s, u"500+"_s}}), "application/rss+xml"));
    Watch watch(folder());
    QVERIFY(watch.waitForScrapes(2));
    QCOMPARE(watch.terminate(), 0);
    const qsizetype scrapes = watch.scrapesTold();
    QVERIFY(!QFileInfo::exists(m_dir->filePath(u"quillory.lock"_s)));

    // Every scrape is in the table file: alpha counted on from the table's 4, delta new.
    const Run table = RunCli({u"table"_s, u"trends"_s, u"--folder"_s, folder(), u"--format"_s, u"json"_s});
    QHash<QString, int> counts;
    for (const QJsonValue& row : QJsonDocument::fromJson(table.out).array())
        counts.insert(row[u"keyword"_s].toString(), row[u"count"_s].toInt());
    QCOMPARE(counts.value(u"alpha"_s), 4 + scrapes);
    QCOMPARE(counts.value(u"delta"_s), scrapes);
    QCOMPARE(counts.value(u"gamma"_s), 1);
    QVERIFY(readFile(m_dir->filePath(u"config.dat"_s)).startsWith("<%%LastParsed%%>"));
    // ... and in the history: the table's row imported first, then a sighting a scrape.
    const Run history = RunCli({u"history"_s, u"alpha"_s, u"--folder"_s, folder(), u"--format"_s, u"json"_s});
    QCOMPARE(history.status, 0);
    QCOMPARE(QJsonDocument::fromJson(history.out).object().value(u"sightings"_s).toInt(), 1 + scrapes);

    // A second watch goes on from the time of the last scrape: nothing is due within the hour.
    const int asked = int(server.requestLines().size());
    Watch later(folder(), u"60m"_s);
    QTest::qWait(1500);
    QCOMPARE(later.terminate(), 0);
    QCOMPARE(later.scrapesTold(), 0);
    QCOMPARE(server.requestLines().size(), asked);
}

void TestCli::watchEndsAtOnceWhileAFeedHangs()
{
    ScriptedHttpServer server;
    WriteTrendsSettings(folder(), server);
    server.enqueue(ScriptedHttpServer::stalled());
    const QByteArray before = readFile(m_dir->filePath(u"dabatase.dat"_s));
    Watch watch(folder());
    QVERIFY(QTest::qWaitFor([&server] { return !server.requestLines().isEmpty(); }, 20000));
    // The page on its way is given up: the scrape changes nothing.
    QCOMPARE(watch.terminate(5000), 0);
    QCOMPARE(watch.scrapesTold(), 0);
    QCOMPARE(readFile(m_dir->filePath(u"dabatase.dat"_s)), before);
    QVERIFY(!QFileInfo::exists(m_dir->filePath(u"config.dat"_s)));
}

void TestCli::watchRefusesAFolderInUse()
{
    ScriptedHttpServer server;
    WriteTrendsSettings(folder(), server);
    server.setFallback(
        ScriptedHttpServer::ok(TrendingFeedBody({{u"alpha"_s, u""_s}}), "application/rss+xml"));
    Watch first(folder(), u"60m"_s);
    QVERIFY(first.waitForScrapes(1));
    const Run second = RunCli({u"watch"_s, u"--folder"_s, folder()});
    QCOMPARE(second.status, 1);
    QVERIFY(second.out.isEmpty());
    QVERIFY2(second.err.contains("is in use by Quillory"), second.err.constData());
    QCOMPARE(second.err.count('\n'), 1);
    first.process().kill();
    first.process().waitForFinished();
    // The lock of a watch that was killed is taken over.
    Watch next(folder(), u"60m"_s);
    QTest::qWait(500);
    QCOMPARE(next.terminate(), 0);
}

void TestCli::watchStopsAtAnUnreadableTable()
{
    ScriptedHttpServer server;
    WriteTrendsSettings(folder(), server);
    QFile::remove(m_dir->filePath(u"dabatase.dat"_s));
    QVERIFY(QDir(folder()).mkdir(u"dabatase.dat"_s)); // there, but not a file that can be read
    const Run run = RunCli({u"watch"_s, u"--folder"_s, folder(), u"--every"_s, u"1s"_s});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.contains("dabatase.dat"), run.err.constData());
    QVERIFY(server.requestLines().isEmpty());
    QVERIFY(QFileInfo(m_dir->filePath(u"dabatase.dat"_s)).isDir());
}

void TestCli::suggestFailuresAreToldPhraseByPhrase_data()
{
    QTest::addColumn<QString>("service"); // how the service fails "red wine"
    QTest::addColumn<QString>("reason");  // what the line and the "error" say of it
    QTest::addColumn<bool>("teaAnswered");
    QTest::newRow("connection refused") << u"closed port"_s << u"refused"_s << false;
    QTest::newRow("untrusted certificate") << u"tls"_s << u"certificate"_s << false;
    QTest::newRow("not found") << u"404"_s << u"404"_s << true;
    QTest::newRow("unreadable answer") << u"html"_s << u"could not be read"_s << true;
}

void TestCli::suggestFailuresAreToldPhraseByPhrase()
{
    QFETCH(QString, service);
    QFETCH(QString, reason);
    QFETCH(bool, teaAnswered);
    ScriptedHttpServer plain;
    ScriptedHttpServer tls(ScriptedHttpServer::Transport::Tls);
    QByteArray base = "http://" + plain.hostAndPort();
    if (service == u"tls"_s) {
        base = "https://" + tls.hostAndPort();
    } else if (service == u"closed port"_s) {
        QTcpServer gone;
        QVERIFY(gone.listen(QHostAddress::LocalHost));
        base = "http://127.0.0.1:" + QByteArray::number(gone.serverPort());
    }
    WriteSuggestSettings(folder(), base);
    const auto script = [&] {
        plain.enqueue(service == u"404"_s ? ScriptedHttpServer::status(404)
                                          : ScriptedHttpServer::ok("<html>busy</html>", "text/html"));
        plain.enqueue(ScriptedHttpServer::ok("[\"tea\",[\"tea pot\"]]", JsonType));
    };

    script();
    const Run json =
        RunCli({u"suggest"_s, u"red wine"_s, u"tea"_s, u"--folder"_s, folder(), u"--format"_s, u"json"_s});
    QCOMPARE(json.status, 1);
    // One line for each phrase that failed, with the phrase and the reason.
    const QList<QByteArray> lines = json.err.trimmed().split('\n');
    QCOMPARE(lines.size(), teaAnswered ? 1 : 2);
    QVERIFY2(lines[0].startsWith("quillory-cli: \"red wine\": "), json.err.constData());
    QVERIFY2(QString::fromUtf8(lines[0]).contains(reason, Qt::CaseInsensitive), json.err.constData());
    // The failed phrase carries its error and no pair made up for it.
    const QJsonArray rows = QJsonDocument::fromJson(json.out).array();
    QCOMPARE(rows.size(), 2);
    const QJsonObject redWine = rows[0].toObject();
    QCOMPARE(redWine.value(u"phrase"_s).toString(), u"red wine"_s);
    QVERIFY(redWine.value(u"error"_s).toString().contains(reason, Qt::CaseInsensitive));
    QCOMPARE(redWine.value(u"suggestions"_s).toArray(), QJsonArray());
    const QJsonObject tea = rows[1].toObject();
    QCOMPARE(tea.contains(u"error"_s), !teaAnswered);
    if (teaAnswered)
        QCOMPARE(tea.value(u"suggestions"_s).toArray()[0][u"suggestion"_s].toString(), u"tea pot"_s);

    // CSV has no place for an error: the failed phrase has no line.
    script();
    const Run csv =
        RunCli({u"suggest"_s, u"red wine"_s, u"tea"_s, u"--folder"_s, folder(), u"--format"_s, u"csv"_s});
    QCOMPARE(csv.status, 1);
    QCOMPARE(csv.err.count('\n'), teaAnswered ? 1 : 2);
    QVERIFY(!csv.out.contains("red wine"));
    QVERIFY(csv.out.startsWith("Keyword Phrase,Suggestion,Results\r\n"));
    QCOMPARE(csv.out.contains("\r\ntea,tea pot,\r\n"), teaAnswered);
}

void TestCli::suggestHarvestsEveryPhraseGiven()
{
    ScriptedHttpServer server;
    WriteSuggestSettings(folder(), "http://" + server.hostAndPort());
    server.setFallback(ScriptedHttpServer::ok("[\"x\",[\"x y\"]]", JsonType));
    // The limit is for what the command adds; five phrases given are five harvested.
    const Run given = RunCli(
        {u"suggest"_s, u"-"_s, u"--folder"_s, folder(), u"--limit"_s, u"2"_s, u"--format"_s, u"jsonl"_s},
        "one\ntwo\nthree\nfour\nfive\n");
    QCOMPARE(given.status, 0);
    QCOMPARE(server.requestLines().size(), 5);
    QCOMPARE(given.out.count('\n'), 5);

    // Each phrase given, and what room the limit leaves after them for their expansion.
    const Run expanded = RunCli({u"suggest"_s, u"tea"_s, u"cafe"_s, u"--folder"_s, folder(), u"--expand"_s,
                                 u"alphabet"_s, u"--limit"_s, u"3"_s, u"--format"_s, u"jsonl"_s});
    QCOMPARE(expanded.status, 0);
    QCOMPARE(server.requestLines().mid(5),
             (QList<QByteArray>{"GET /osjson.aspx?query=tea&setlang=en-US HTTP/1.1",
                                "GET /osjson.aspx?query=tea%20a&setlang=en-US HTTP/1.1",
                                "GET /osjson.aspx?query=cafe&setlang=en-US HTTP/1.1"}));
}

void TestCli::failedWritesToStdoutEndTheCommand_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("reply"); // what the service answers, if the command asks
    const QByteArray feed = TrendingFeedBody({{u"alpha"_s, u"2000+"_s}});
    QTest::newRow("version") << QStringList{u"--version"_s} << QByteArray();
    QTest::newRow("table as csv") << QStringList{u"table"_s, u"trends"_s} << QByteArray();
    QTest::newRow("table as json lines")
        << QStringList{u"table"_s, u"suggest"_s, u"--format"_s, u"jsonl"_s} << QByteArray();
    QTest::newRow("trends") << QStringList{u"trends"_s} << feed;
    QTest::newRow("suggest") << QStringList{u"suggest"_s, u"tea"_s, u"--format"_s, u"json"_s}
                             << QByteArray("[\"tea\",[\"tea pot\"]]");
}

void TestCli::failedWritesToStdoutEndTheCommand()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, reply);
    ScriptedHttpServer server;
    writeFile(m_dir->filePath(u"quillory.ini"_s),
              "[HotTrends]\nSource=trending\nGeo=US\n[Suggest]\nEngine=bing\n[Endpoints]\nTrends=http://" +
                  server.hostAndPort() + "\nBing=http://" + server.hostAndPort() + "\n");
    if (!reply.isEmpty())
        server.enqueue(
            ScriptedHttpServer::ok(reply, reply.startsWith('[') ? JsonType : "application/rss+xml"));
    if (arguments[0] != u"--version"_s)
        arguments << u"--folder"_s << folder();
    // A full disk: the output is lost, and the command says so.
    const Run run = RunCli(arguments, RunSetup{{}, u"/dev/full"_s, {}});
    QCOMPARE(run.status, 1);
    QVERIFY2(run.err.startsWith("quillory-cli: standard output could not be written: "), run.err.constData());
    QCOMPARE(run.err.count('\n'), 1);
}

void TestCli::watchEndsWhenStdoutFails()
{
    ScriptedHttpServer server;
    WriteTrendsSettings(folder(), server);
    server.setFallback(
        ScriptedHttpServer::ok(TrendingFeedBody({{u"alpha"_s, u""_s}}), "application/rss+xml"));
    // An hour between scrapes: only the failed write can end it.
    Watch watch(folder(), u"60m"_s, RunSetup{{}, u"/dev/full"_s, {}});
    QCOMPARE(watch.waitForEnd(), 1);
    const QList<QByteArray> lines = watch.err().trimmed().split('\n');
    QCOMPARE(lines.size(), 2); // "watching ...", then the failed write
    QVERIFY2(lines[1].startsWith("quillory-cli: standard output could not be written: "),
             lines[1].constData());
    // The scrape whose line was lost is saved all the same.
    QVERIFY(readFile(m_dir->filePath(u"dabatase.dat"_s)).startsWith("alpha|"));
    QVERIFY(!QFileInfo::exists(m_dir->filePath(u"quillory.lock"_s)));
}

// quillory-cli with these arguments, its stdout piped into `head` as a shell runs
// `quillory-cli ... | head ...`; the command's own exit status is written to the file `statusFile`.
Run RunIntoHead(const QStringList& arguments, const QString& head, const QString& statusFile,
                const RunSetup& setup = {})
{
    const QString script =
        u"status=$1; shift; { \"$0\" \"$@\"; echo $? > \"$status\"; } | head %1"_s.arg(head);
    return RunProgram(u"/bin/sh"_s,
                      QStringList{u"-c"_s, script, QStringLiteral(QUILLORY_CLI), statusFile} + arguments,
                      setup);
}

void TestCli::watchEndsQuietlyWhenItsReaderGoesAway()
{
    ScriptedHttpServer server;
    WriteTrendsSettings(folder(), server);
    server.setFallback(
        ScriptedHttpServer::ok(TrendingFeedBody({{u"alpha"_s, u""_s}}), "application/rss+xml"));
    // `head` goes once it has its line, and the next scrape is an hour away: the watch ends as its
    // reader goes.
    const QString status = m_dir->filePath(u"status"_s);
    const Run run =
        RunIntoHead({u"watch"_s, u"--folder"_s, folder(), u"--every"_s, u"60m"_s}, u"-n 1"_s, status);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out.count('\n'), 1);
    QCOMPARE(readFile(status), QByteArray("1\n"));
    QCOMPARE(run.err.count('\n'), 1); // "watching ...", and nothing of the pipe
    QVERIFY(!QFileInfo::exists(m_dir->filePath(u"quillory.lock"_s)));
}

void TestCli::tableEndsQuietlyWhenItsReaderGoesAway()
{
    // Far more than a pipe holds.
    QByteArray rows;
    for (int row = 0; row < 100000; ++row)
        rows += "keyword\xc2\xa7" + QByteArray::number(row) +
                "|3/5/2009\xc2\xa7"
                "2:15:00\xc2\xa7PM|4|\r\n";
    writeFile(m_dir->filePath(u"dabatase.dat"_s), rows);
    const QString status = m_dir->filePath(u"status"_s);
    const Run run = RunIntoHead({u"table"_s, u"trends"_s, u"--folder"_s, folder(), u"--format"_s, u"json"_s},
                                u"-c 100"_s, status);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out.size(), 100);
    QCOMPARE(readFile(status), QByteArray("1\n"));
    QCOMPARE(run.err, QByteArray());
}

void TestCli::suggestEndsQuietlyWhenItsReaderGoesAway()
{
    ScriptedHttpServer server;
    WriteSuggestSettings(folder(), "http://" + server.hostAndPort());
    server.setFallback(ScriptedHttpServer::ok("[\"x\",[\"x y\"]]", JsonType));
    // `head` goes once it has the first phrase, while the harvest waits an hour before the second:
    // the harvest ends as its reader goes.
    const QString status = m_dir->filePath(u"status"_s);
    const Run run =
        RunIntoHead({u"suggest"_s, u"one"_s, u"two"_s, u"--folder"_s, folder(), u"--pause"_s, u"3600-3600"_s,
                     u"--format"_s, u"jsonl"_s},
                    u"-n 1"_s, status, RunSetup{{}, {}, {{u"QUILLORY_PAUSE_STEP_MS"_s, u"100"_s}}});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out.count('\n'), 1);
    QVERIFY(run.out.startsWith("{\"phrase\":\"one\""));
    QCOMPARE(readFile(status), QByteArray("1\n"));
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(server.requestLines().size(), 1);
}

void TestCli::exportsNeedNoTemporaryFolder_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("trends as csv") << QStringList{u"table"_s, u"trends"_s};
    QTest::newRow("trends as json") << QStringList{u"table"_s, u"trends"_s, u"--format"_s, u"json"_s};
    QTest::newRow("trends as json lines") << QStringList{u"table"_s, u"trends"_s, u"--format"_s, u"jsonl"_s};
    QTest::newRow("suggest as csv") << QStringList{u"table"_s, u"suggest"_s};
}

void TestCli::exportsNeedNoTemporaryFolder()
{
    QFETCH(QStringList, arguments);
    arguments << u"--folder"_s << folder();
    const Run expected = RunCli(arguments);
    QCOMPARE(expected.status, 0);
    // The export goes to stdout as it is made: no temporary file, which a kill would leave behind.
    // The system's temporary folder is a file, where nothing can be made.
    const QString notAFolder = m_dir->filePath(u"temporary"_s);
    writeFile(notAFolder, "a file\n");
    const Run run = RunCli(arguments, RunSetup{{}, {}, {{u"TMPDIR"_s, notAFolder}}});
    QCOMPARE(run.status, 0);
    QCOMPARE(run.out, expected.out);
    QVERIFY(run.err.isEmpty());
}

void TestCli::suggestInputIsReadAsTheProgramReadsFiles()
{
    ScriptedHttpServer server;
    WriteSuggestSettings(folder(), "http://" + server.hostAndPort());
    server.setFallback(ScriptedHttpServer::ok("[\"x\",[]]", JsonType));
    // A line that is not UTF-8 is Windows-1252; blank lines and phrases ask for nothing.
    const Run run =
        RunCli({u"suggest"_s, u""_s, u"-"_s, u"\t"_s, u"--folder"_s, folder(), u"--format"_s, u"jsonl"_s},
               "caf\xe9\r\n\x01\n  \nna\xc3\xafve\n");
    QCOMPARE(run.status, 0);
    QCOMPARE(server.requestLines(),
             (QList<QByteArray>{"GET /osjson.aspx?query=caf%C3%A9&setlang=en-US HTTP/1.1",
                                "GET /osjson.aspx?query=na%C3%AFve&setlang=en-US HTTP/1.1"}));
    QCOMPARE(run.err, QByteArray("quillory-cli: left out 2 empty phrases (phrase 1, 3)\n"));
}

void TestCli::argumentsThatAreNotUtf8AreRefused()
{
    ScriptedHttpServer server;
    WriteSuggestSettings(folder(), "http://" + server.hostAndPort());
    // QProcess passes its arguments as UTF-8: a shell gives the bytes as they are.
    const Run run = RunProgram(u"/bin/sh"_s,
                               {u"-c"_s, u"exec \"$0\" suggest \"$(printf 'caf\\351')\" --folder \"$1\""_s,
                                QStringLiteral(QUILLORY_CLI), folder()},
                               {});
    QCOMPARE(run.status, 2);
    QCOMPARE(run.err, QByteArray("quillory-cli: argument 2 is not valid UTF-8 (see quillory-cli --help)\n"));
    QVERIFY(server.requestLines().isEmpty());
}

void TestCli::tableCellsHoldNoControlCharacters_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QString>("text"); // the first cell as the table holds it
    const QByteArray date = "|3/5/2009\xc2\xa7"
                            "2:15:00\xc2\xa7PM|4|\r\n";
    QTest::newRow("NUL") << u"trends"_s << QByteArray("be\0ta", 5) + date << u"be ta"_s;
    QTest::newRow("DEL") << u"trends"_s << "be\x7fta" + date << u"be ta"_s;
    QTest::newRow("C1 in UTF-8") << u"trends"_s << "be\xc2\x85ta" + date << u"be ta"_s;
    QTest::newRow("NUL in Windows-1252") << u"trends"_s << QByteArray("caf\xe9\0s", 6) + date << u"café s"_s;
    QTest::newRow("NUL in a phrase") << u"suggest"_s << QByteArray("red\0wine|a|1|\r\n", 15) << u"red wine"_s;
}

void TestCli::tableCellsHoldNoControlCharacters()
{
    QFETCH(QString, table);
    QFETCH(QByteArray, line);
    QFETCH(QString, text);
    writeFile(m_dir->filePath(table == u"trends"_s ? u"dabatase.dat"_s : u"dbsuggest.dat"_s), line);
    const Run run = RunCli({u"table"_s, table, u"--folder"_s, folder(), u"--format"_s, u"json"_s});
    QCOMPARE(run.status, 0);
    const QJsonObject row = QJsonDocument::fromJson(run.out).array()[0].toObject();
    QCOMPARE(row.value(table == u"trends"_s ? u"keyword"_s : u"phrase"_s).toString(), text);
}

void TestCli::watchTellsEachScrapeInOneLineWithItsOffset()
{
    ScriptedHttpServer server;
    WriteTrendsSettings(folder(), server);
    server.enqueue(ScriptedHttpServer::ok(TrendingFeedBody({{u"alpha"_s, u""_s}}), "application/rss+xml"));
    server.setFallback(ScriptedHttpServer::status(503));
    // A user five and a half hours east of UTC.
    Watch watch(folder(), u"1s"_s, RunSetup{{}, {}, {{u"TZ"_s, u"XST-5:30"_s}}});
    QVERIFY(watch.waitForScrapes(1));
    QVERIFY(QTest::qWaitFor([&watch] { return watch.err().contains("the scrape failed"); }, 20000));
    QCOMPARE(watch.terminate(), 0);
    const QString time = u"\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\+05:30"_s;
    const QRegularExpression scraped(u"^%1 scraped 1 keywords from US; 3 rows in the table$"_s.arg(time));
    const QString out = QString::fromUtf8(watch.out().trimmed());
    QVERIFY2(scraped.match(out).hasMatch(), qPrintable(out));
    // The failed scrape is one line, with the time of the next try as the time of the line.
    const QStringList lines = QString::fromUtf8(watch.err().trimmed()).split(u'\n');
    QCOMPARE(lines.size(), 2);
    const QRegularExpression failed(
        u"^quillory-cli: %1 the scrape failed: .*US.*503.*; next try at %1$"_s.arg(time));
    QVERIFY2(failed.match(lines[1]).hasMatch(), qPrintable(lines[1]));
}

void TestCli::unusableServiceAddressSendsNothing_data()
{
    QTest::addColumn<QByteArray>("settings"); // "ADDRESS" stands for the test's server
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("told"); // the start of stderr; empty: the command goes on
    const QByteArray trending = "[HotTrends]\nSource=trending\nGeo=US\n[Endpoints]\n";
    QTest::newRow("trends, a query glued to the address")
        << trending + "Trends=ADDRESS/feed?geo=1\n"
        << QStringList{u"trends"_s} << QByteArray("quillory-cli: quillory.ini: [Endpoints] Trends=http://");
    QTest::newRow("watch, a port out of range")
        << trending + "Trends=http://127.0.0.1:99999\n"
        << QStringList{u"watch"_s, u"--every"_s, u"1s"_s}
        << QByteArray("quillory-cli: quillory.ini: [Endpoints] Trends=http://127.0.0.1:99999 is not used: ");
    QTest::newRow("suggest, ftp") << QByteArray("[Endpoints]\nBing=ftp://ADDRESS\n")
                                  << QStringList{u"suggest"_s, u"red"_s, u"--engine"_s, u"bing"_s}
                                  << QByteArray("quillory-cli: quillory.ini: [Endpoints] Bing=ftp://");
    QByteArray utf16("\xFF\xFE");
    for (const char c : QByteArray("[Endpoints]\r\nGoogleSuggest=ADDRESS\r\n"))
        utf16 += QByteArray(1, c) + '\0';
    QTest::newRow("suggest, a UTF-16 file") << utf16 << QStringList{u"suggest"_s, u"red"_s}
                                            << QByteArray("quillory-cli: quillory.ini: it is not UTF-8 text");
    QTest::newRow("table, which asks no service") << QByteArray("[Endpoints]\nTrends=file:///etc\n")
                                                  << QStringList{u"table"_s, u"trends"_s} << QByteArray();
}

void TestCli::unusableServiceAddressSendsNothing()
{
    QFETCH(QByteArray, settings);
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, told);
    ScriptedHttpServer server;
    writeFile(m_dir->filePath(u"quillory.ini"_s),
              settings.replace("ADDRESS", "http://" + server.hostAndPort()));
    const Run run = RunCli(arguments + QStringList{u"--folder"_s, folder()});
    if (told.isEmpty()) {
        QCOMPARE(run.status, 0);
        return;
    }
    QCOMPARE(run.status, 2);
    QVERIFY2(run.err.startsWith(told) && run.err.count('\n') == 1, run.err.constData());
    QVERIFY(run.out.isEmpty());
    QCOMPARE(server.requests().size(), 0);
    QCOMPARE(server.connectionCount(), 0);
}

void TestCli::suggestPrintsEachPhraseAndEndsInOrderOnASignal_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("signal");
    QTest::addColumn<int>("answered"); // phrases answered before the signal
    QTest::addColumn<bool>("pausing"); // the signal comes in the pause before the next phrase, not
                                       // while its fetch is on its way
    QTest::newRow("json, SIGTERM") << u"json"_s << SIGTERM << 7 << false;
    QTest::newRow("json lines, SIGINT") << u"jsonl"_s << SIGINT << 7 << false;
    QTest::newRow("csv, SIGTERM") << u"csv"_s << SIGTERM << 7 << false;
    QTest::newRow("table, SIGINT") << u"table"_s << SIGINT << 7 << false;
    QTest::newRow("json, SIGINT in a pause") << u"json"_s << SIGINT << 1 << true;
    QTest::newRow("one phrase, SIGTERM") << u"jsonl"_s << SIGTERM << 1 << false;
}

void TestCli::suggestPrintsEachPhraseAndEndsInOrderOnASignal()
{
    QFETCH(QString, format);
    QFETCH(int, signal);
    QFETCH(int, answered);
    QFETCH(bool, pausing);
    ScriptedHttpServer server;
    WriteSuggestSettings(folder(), "http://" + server.hostAndPort());
    // Ten phrases: the first ones answered, then the next one's fetch stays on its way until the
    // signal, or its pause lasts until the signal.
    QStringList phrases;
    for (int phrase = 1; phrase <= 10; ++phrase) {
        phrases << u"phrase %1"_s.arg(phrase);
        if (phrase <= answered)
            server.enqueue(ScriptedHttpServer::ok(
                u"[\"phrase %1\",[\"phrase %1 more\"]]"_s.arg(phrase).toUtf8(), JsonType));
    }
    server.setFallback(ScriptedHttpServer::stalled());
    QProcess cli;
    QStringList options{u"--folder"_s, folder(), u"--format"_s, format};
    if (pausing) {
        // The pause of the program's own steps, an hour long.
        cli.setProcessEnvironment(CliEnvironment({{u"QUILLORY_PAUSE_STEP_MS"_s, u"100"_s}}));
        options << u"--pause"_s << u"3600-3600"_s;
    } else {
        cli.setProcessEnvironment(CliEnvironment({}));
    }
    cli.start(QStringLiteral(QUILLORY_CLI), QStringList{u"suggest"_s} + phrases + options);
    QByteArray out;
    // Each phrase is out as soon as it is harvested.
    const QByteArray last = u"phrase %1 more"_s.arg(answered).toUtf8();
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     out += cli.readAllStandardOutput();
                     return out.contains(last);
                 },
                 20000),
             out.constData());
    if (!pausing)
        QVERIFY(QTest::qWaitFor([&] { return server.requestLines().size() == answered + 1; }, 20000));
    QCOMPARE(::kill(pid_t(cli.processId()), signal), 0);
    QVERIFY(QTest::qWaitFor([&cli] { return cli.state() == QProcess::NotRunning; }, 20000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 128 + signal);
    QCOMPARE(server.requestLines().size(), pausing ? answered : answered + 1);
    out += cli.readAllStandardOutput();
    // One line says how far it went.
    QCOMPARE(cli.readAllStandardError(),
             u"quillory-cli: stopped by %1 after %2; %3 more were not asked\n"_s
                 .arg(signal == SIGINT ? u"SIGINT"_s : u"SIGTERM"_s,
                      answered == 1 ? u"1 phrase"_s : u"%1 phrases"_s.arg(answered))
                 .arg(10 - answered)
                 .toUtf8());

    // What was printed is whole: the phrases answered, each with its suggestion, and no more.
    QStringList printed;
    if (format == u"json"_s) {
        QJsonParseError error;
        const QJsonArray rows = QJsonDocument::fromJson(out, &error).array();
        QCOMPARE(error.error, QJsonParseError::NoError);
        for (const QJsonValue& row : rows)
            printed << row[u"phrase"_s].toString() + u" > "_s +
                           row[u"suggestions"_s][0][u"suggestion"_s].toString();
    } else if (format == u"jsonl"_s) {
        QVERIFY(out.endsWith('\n'));
        for (const QByteArray& line : out.trimmed().split('\n')) {
            QJsonParseError error;
            const QJsonObject row = QJsonDocument::fromJson(line, &error).object();
            QCOMPARE(error.error, QJsonParseError::NoError);
            printed << row[u"phrase"_s].toString() + u" > "_s +
                           row[u"suggestions"_s][0][u"suggestion"_s].toString();
        }
    } else if (format == u"csv"_s) {
        QVERIFY(out.startsWith("Keyword Phrase,Suggestion,Results\r\n"));
        QVERIFY(out.endsWith("\r\n"));
        for (const QByteArray& line : out.trimmed().split('\n').mid(1)) {
            const QList<QByteArray> fields = line.trimmed().split(',');
            QCOMPARE(fields.size(), 3);
            if (fields[1] != "N/A") // where the service gave no more
                printed << QString::fromUtf8(fields[0] + " > " + fields[1]);
        }
    } else {
        QVERIFY(out.endsWith('\n'));
        const QList<QByteArray> lines = out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2 * answered);
        for (qsizetype line = 0; line < lines.size(); line += 2)
            printed << QString::fromUtf8(lines[line] + " > " + lines[line + 1].trimmed().split('\t')[0]);
    }
    QStringList expected;
    for (int phrase = 1; phrase <= answered; ++phrase)
        expected << u"phrase %1 > phrase %1 more"_s.arg(phrase);
    QCOMPARE(printed, expected);
}

void TestCli::trendsPrintsTheCountriesReadAndNamesTheOthers_data()
{
    QTest::addColumn<QString>("geo");
    QTest::addColumn<QStringList>("failing"); // "DE 404": DE answers 404; "GB html": a page, no feed
    QTest::addColumn<QString>("format");
    QTest::newRow("the last not found, json") << u"US,GB,DE"_s << QStringList{u"DE 404"_s} << u"json"_s;
    QTest::newRow("the middle unreadable, csv") << u"US,GB,DE"_s << QStringList{u"GB html"_s} << u"csv"_s;
    QTest::newRow("two failing, json lines")
        << u"US,GB,DE"_s << QStringList{u"US 404"_s, u"DE 503"_s} << u"jsonl"_s;
    QTest::newRow("the first failing, table") << u"DE,US"_s << QStringList{u"DE 500"_s} << u"table"_s;
}

void TestCli::trendsPrintsTheCountriesReadAndNamesTheOthers()
{
    QFETCH(QString, geo);
    QFETCH(QStringList, failing);
    QFETCH(QString, format);
    ScriptedHttpServer server;
    WriteTrendsSettings(folder(), server);
    QStringList read;
    QHash<QString, QString> reasons;
    for (const QString& country : geo.split(u',')) {
        const auto failure = std::find_if(failing.cbegin(), failing.cend(), [&country](const QString& entry) {
            return entry.startsWith(country);
        });
        if (failure == failing.cend()) {
            server.enqueue(ScriptedHttpServer::ok(TrendingFeedBody({{u"kw-"_s + country, u"100+"_s}}),
                                                  "application/rss+xml"));
            read << country;
            continue;
        }
        const QString how = failure->section(u' ', 1);
        if (how == u"html"_s) {
            server.enqueue(ScriptedHttpServer::ok("<html>busy</html>", "text/html"));
            reasons.insert(country, u"could not be read"_s);
        } else {
            server.enqueue(ScriptedHttpServer::status(how.toInt()));
            reasons.insert(country, how);
        }
    }
    const Run run = RunCli({u"trends"_s, u"--folder"_s, folder(), u"--geo"_s, geo, u"--format"_s, format});
    QCOMPARE(run.status, 1);
    QCOMPARE(server.requestLines().size(), geo.count(u',') + 1);
    // Every country read is printed, in its order.
    QStringList printed;
    const QString out = QString::fromUtf8(run.out);
    for (const QRegularExpressionMatch& match : QRegularExpression(u"kw-([A-Z]{2})"_s).globalMatch(out))
        printed << match.captured(1);
    QCOMPARE(printed, read);
    if (format == u"json"_s) {
        QJsonParseError error;
        QCOMPARE(QJsonDocument::fromJson(run.out, &error).array().size(), read.size());
        QCOMPARE(error.error, QJsonParseError::NoError);
    } else if (format == u"csv"_s) {
        QVERIFY(run.out.startsWith("Keyword,Traffic,Country,News\r\n"));
    }
    // Each country that failed is one line, with its reason.
    const QStringList lines = QString::fromUtf8(run.err).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), reasons.size());
    for (const QString& line : lines) {
        const QString country = line.section(u' ', 4, 4);
        QVERIFY2(line.startsWith(u"quillory-cli: the trends of %1 could not be fetched: "_s.arg(country)),
                 qPrintable(line));
        QVERIFY2(reasons.contains(country), qPrintable(line));
        QVERIFY2(line.contains(reasons.take(country), Qt::CaseInsensitive), qPrintable(line));
    }
}

void TestCli::aFolderThatDoesNotExistIsBadUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("aFile"); // the name is a file's
    // The classic services: on this machine's closed port, should the folder be taken.
    QTest::newRow("trends") << QStringList{u"trends"_s, u"--source"_s, u"classic"_s} << false;
    QTest::newRow("suggest") << QStringList{u"suggest"_s, u"tea"_s, u"--engine"_s, u"classic"_s} << false;
    QTest::newRow("watch") << QStringList{u"watch"_s, u"--source"_s, u"classic"_s} << false;
    QTest::newRow("table") << QStringList{u"table"_s, u"trends"_s} << false;
    QTest::newRow("history") << QStringList{u"history"_s, u"alpha"_s} << false;
    QTest::newRow("a file, not a folder") << QStringList{u"table"_s, u"trends"_s} << true;
    QTest::newRow("a file, even with --create") << QStringList{u"watch"_s, u"--create"_s} << true;
}

void TestCli::aFolderThatDoesNotExistIsBadUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, aFile);
    const QString missing = m_dir->filePath(u"elsewhere/trends"_s);
    if (aFile) {
        QVERIFY(QDir(folder()).mkdir(u"elsewhere"_s));
        writeFile(missing, "not a folder\n");
    }
    const Run run = RunCli(arguments + QStringList{u"--folder"_s, missing});
    QCOMPARE(run.status, 2);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY2(run.err.startsWith("quillory-cli: "), run.err.constData());
    QVERIFY2(run.err.contains(missing.toUtf8()), run.err.constData());
    // Nothing was made in its place.
    QCOMPARE(QFileInfo(missing).isFile(), aFile);
    QCOMPARE(QFileInfo::exists(missing), aFile);
}

void TestCli::createMakesTheFolder()
{
    // Made, with the folders above it, and read as the empty folder it is.
    const QString made = m_dir->filePath(u"new/data"_s);
    const Run table = RunCli({u"table"_s, u"trends"_s, u"--folder"_s, made, u"--create"_s});
    QCOMPARE(table.status, 0);
    QCOMPARE(table.out, QByteArray("Keyword,Date,Count\r\n"));
    QVERIFY(QFileInfo(made).isDir());

    // A watch into a new folder (the classic feed, on this machine's closed port).
    const QString watched = m_dir->filePath(u"watched"_s);
    Watch watch(watched, u"60m"_s, {}, {u"--create"_s, u"--source"_s, u"classic"_s});
    QVERIFY(QTest::qWaitFor([&watch] { return watch.err().contains("the scrape failed"); }, 20000));
    QCOMPARE(watch.terminate(), 0);
    QVERIFY(QFileInfo(watched).isDir());
    QVERIFY(!QFileInfo::exists(QDir(watched).filePath(u"quillory.lock"_s)));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
