#include "support/FailingFolder.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestFiles.h"
#include "support/TrendingFeedBody.h"
#include "trends/TrendLedger.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Run RunCli(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess cli;
    // A user in the US: the tables' date-times are written as there.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"LC_ALL"_s, u"en_US.UTF-8"_s);
    environment.insert(u"QUILLORY_PAUSE_STEP_MS"_s, u"0"_s); // a refusal's minutes of waiting pass at once
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(QUILLORY_CLI), arguments);
    if (!input.isEmpty())
        cli.write(input);
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

// A quillory-cli watch running in the background; its output is read as it comes.
class Watch {
public:
    Watch(const QString& folder, const QString& every = u"1s"_s)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"LC_ALL"_s, u"en_US.UTF-8"_s);
        m_cli.setProcessEnvironment(environment);
        m_cli.start(QStringLiteral(QUILLORY_CLI), {u"watch"_s, u"--folder"_s, folder, u"--every"_s, every});
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
    // Sends SIGTERM; the exit status, or -1 when it did not end in time.
    int terminate(int withinMs = 20000)
    {
        m_cli.terminate();
        if (!QTest::qWaitFor([this] { return m_cli.state() == QProcess::NotRunning; }, withinMs))
            return -1;
        scrapesTold();
        return m_cli.exitStatus() == QProcess::NormalExit ? m_cli.exitCode() : -1;
    }
    QByteArray err() { return m_cli.readAllStandardError(); }
    QProcess& process() { return m_cli; }

private:
    QProcess m_cli;
    QByteArray m_out;
};

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
    QTest::newRow("missing folder") << QStringList{u"table"_s, u"trends"_s, u"--folder"_s, none} << 1;
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

    // CSV by default, as RFC 4180 has it; by date, newest first.
    const Run csv = RunCli({u"table"_s, u"trends"_s, u"--folder"_s, folder(), u"--sort"_s, u"date"_s});
    QCOMPARE(csv.status, 0);
    QCOMPARE(csv.out, QByteArray("Keyword,Date,Count\r\n\"beta, co\",3/6/2009 2:15:00 PM,9\r\n"
                                 "alpha,3/5/2009 2:15:00 PM,4\r\ngamma,3/4/2009 2:15:00 PM,1\r\n"));
}

void TestCli::suggestTable()
{
    const Run run = RunCli({u"table"_s, u"suggest"_s, u"--folder"_s, folder(), u"--format"_s, u"json"_s});
    QCOMPARE(run.status, 0);
    const QJsonArray rows = QJsonDocument::fromJson(run.out).array();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].toObject().value(u"phrase"_s).toString(), u"red wine"_s);
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
    QVERIFY(failed.err.startsWith("quillory-cli: the trends could not be fetched: US: "));
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
    QVERIFY(refused.err.contains("refused"));
    const QJsonArray rows = QJsonDocument::fromJson(refused.out).array();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[1].toObject().value(u"phrase"_s).toString(), u"cafe a"_s);
    QCOMPARE(
        rows[0].toObject().value(u"suggestions"_s).toArray()[0].toObject().value(u"suggestion"_s).toString(),
        u"cafe near me"_s);
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

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
