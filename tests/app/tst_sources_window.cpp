#include "app/AppFixture.h"
#include "net/HttpRequest.h"
#include "suggest/SuggestHarvester.h"
#include "suggest/SuggestImport.h"
#include "support/ScriptedHttpServer.h"
#include "support/SuggestAnswerBody.h"
#include "support/TestRegistry.h"
#include "support/TrendingFeedBody.h"
#include "trends/HotTrendsMonitor.h"
#include "trends/TrendLedger.h"
#include "trends/TrendTableModel.h"

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QtTest>

using namespace Qt::StringLiterals;

// Today's services, as the window asks them: quillory.ini points each at a scripted server.
class TestSourcesWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void harvestFromEachSource_data();
    void harvestFromEachSource();
    void refusalIsAskedAgainNotFilled();
    void refusedToTheEndIsSaid();
    void trendingOfTwoCountries();
    void programFoldsTrendingSoonAfterItsStart();
    void historyStaysWholeThroughKills();

private:
    // Every service of the file at the scripted server, with these lines added.
    void writeOptions(const QByteArray& lines);
    void harvestOne(const QString& phrase);
    // The real program on the fixture's folder, its monitor ticking fast and two feed answers
    // waiting at the server.
    void startScrapingProgram(QProcess& program);
    // The sightings of the fixture's history as another reader sees them (0 when it has none yet).
    qint64 keptSightings() const;

    std::unique_ptr<AppFixture> m_fixture;
    std::unique_ptr<ScriptedHttpServer> m_server;
    std::unique_ptr<TfrmMain> m_window;
};

void TestSourcesWindow::init()
{
    m_fixture = std::make_unique<AppFixture>();
    m_server = std::make_unique<ScriptedHttpServer>();
    qputenv("QUILLORY_GOOGLE_HOST", m_server->hostAndPort());
}

void TestSourcesWindow::cleanup()
{
    m_window.reset();
    m_server.reset();
    m_fixture.reset();
    qunsetenv("QUILLORY_GOOGLE_HOST");
}

void TestSourcesWindow::writeOptions(const QByteArray& lines)
{
    const QByteArray base = "http://" + m_server->hostAndPort();
    writeFile(m_fixture->file(u"quillory.ini"_s), lines + "\n[Endpoints]\nTrends=" + base +
                                                      "\nGoogleSuggest=" + base + "\nBing=" + base +
                                                      "\nDuckDuckGo=" + base + "\nAmazon=" + base + "\n");
}

void TestSourcesWindow::harvestOne(const QString& phrase)
{
    m_window = m_fixture->makeWindow();
    ImportPhrases(*m_window->suggestTable(), {phrase});
    control<QTableView>(*m_window, "lvwSuggest")->selectAll();
    QCoro::waitFor(m_window->suggestPage()->btnSearchClick());
}

void TestSourcesWindow::harvestFromEachSource_data()
{
    QTest::addColumn<QByteArray>("engine");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("requestLine");
    QTest::addColumn<QStringList>("cells"); // the first four

    const QByteArray json = "application/json; charset=UTF-8";
    QTest::newRow("google")
        << QByteArray("google")
        << QByteArray("[\"red w\",[\"red wine\",\"redwine.example\",\"red white\"],[\"\",\"\",\"\"],[],"
                      "{\"google:suggestrelevance\":[1250,900,601],"
                      "\"google:suggesttype\":[\"QUERY\",\"NAVIGATION\",\"QUERY\"]}]")
        << json << QByteArray("GET /complete/search?client=chrome&hl=en&gl=US&oe=utf-8&q=red%20w HTTP/1.1")
        << QStringList{u"red wine"_s, u"1250"_s, u"red white"_s, u"601"_s};
    QTest::newRow("youtube")
        << QByteArray("youtube") << QByteArray("[\"red w\",[\"red wine\",\"red wings\"],[],{}]") << json
        << QByteArray("GET /complete/search?client=firefox&ds=yt&hl=en&gl=US&q=red%20w HTTP/1.1")
        << QStringList{u"red wine"_s, u""_s, u"red wings"_s, u""_s};
    QTest::newRow("bing") << QByteArray("bing") << QByteArray("[\"red w\",[\"red wine\",\"red wings\"]]")
                          << json << QByteArray("GET /osjson.aspx?query=red%20w&setlang=en-US HTTP/1.1")
                          << QStringList{u"red wine"_s, u""_s, u"red wings"_s, u""_s};
    QTest::newRow("duckduckgo") << QByteArray("duckduckgo")
                                << QByteArray("[\"red w\",[\"red wine\",\"red wings\"]]") << json
                                << QByteArray("GET /ac/?q=red%20w&type=list&kl=us-en HTTP/1.1")
                                << QStringList{u"red wine"_s, u""_s, u"red wings"_s, u""_s};
    QTest::newRow("amazon")
        << QByteArray("amazon")
        << QByteArray("{\"alias\":\"aps\",\"prefix\":\"red w\",\"suggestions\":[{\"value\":\"red "
                      "wine\"},{\"value\":\"red wings\"}]}")
        << json << QByteArray("GET /api/2017/suggestions?mid=ATVPDKIKX0DER&alias=aps&prefix=red%20w HTTP/1.1")
        << QStringList{u"red wine"_s, u""_s, u"red wings"_s, u""_s};
    QTest::newRow("classic") << QByteArray("classic")
                             << SuggestAnswerBody({{"red wine", "45,100,000 results"}})
                             << QByteArray("text/html")
                             << QByteArray("GET /complete/search?hl=en&js=true&qu=red+w HTTP/1.1")
                             << QStringList{u"red wine"_s, u"45,100,000"_s, u"N/A"_s, u"N/A"_s};
}

void TestSourcesWindow::harvestFromEachSource()
{
    QFETCH(QByteArray, engine);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, requestLine);
    QFETCH(QStringList, cells);
    writeOptions("[Suggest]\nEngine=" + engine + "\nLanguage=en\nCountry=US\n");
    m_server->enqueue(ScriptedHttpServer::ok(answer, contentType));
    harvestOne(u"red w"_s);

    QCOMPARE(m_server->requestLines(), QList<QByteArray>{requestLine});
    const SuggestCells& got = m_window->suggestTable()->record(0).cells;
    QCOMPARE((QStringList{got[0], got[1], got[2], got[3]}), cells);
    QCOMPARE(got[4], u"N/A"_s); // no third pair
    const QByteArray request = m_server->requests().value(0);
    // Today's services get a browser's request; the classic one stays as it always was.
    const bool classic = engine == "classic";
    QCOMPARE(request.contains("\r\nUser-Agent: " + ModernUserAgent + "\r\n"), !classic);
    QCOMPARE(request.contains("\r\nAccept-Encoding: identity\r\n"), !classic);
    QCOMPARE(request.contains("\r\nAccept-Language: en-US, en;q=0.9\r\n"), !classic);
}

void TestSourcesWindow::refusalIsAskedAgainNotFilled()
{
    writeOptions("[Suggest]\nEngine=bing\n");
    m_server->enqueue(ScriptedHttpServer::status(429, "slow down"));
    m_server->enqueue(ScriptedHttpServer::ok("[\"red\",[\"red wine\"]]", "application/json"));
    m_window = m_fixture->makeWindow();
    m_window->harvester()->setPauseStep(std::chrono::milliseconds(0));
    ImportPhrases(*m_window->suggestTable(), {u"red"_s});
    control<QTableView>(*m_window, "lvwSuggest")->selectAll();
    QStringList cellsWhileWaiting;
    connect(m_window->harvester(), &SuggestHarvester::statusChanged, this, [&](const QString& text) {
        if (text.contains(u"Trying again in 60 s"_s))
            cellsWhileWaiting << m_window->suggestTable()->record(0).cells[0];
    });
    QCoro::waitFor(m_window->suggestPage()->btnSearchClick());

    QCOMPARE(m_server->requests().size(), 2);
    QCOMPARE(cellsWhileWaiting, QStringList{u""_s}); // never "N/A" for the refused phrase
    QCOMPARE(m_window->suggestTable()->record(0).cells[0], u"red wine"_s);
}

void TestSourcesWindow::refusedToTheEndIsSaid()
{
    writeOptions("[Suggest]\nEngine=google\n");
    m_server->setFallback(
        ScriptedHttpServer::status(503, "<html>Our systems have detected unusual traffic</html>"));
    m_window = m_fixture->makeWindow();
    m_window->harvester()->setPauseStep(std::chrono::milliseconds(0));
    ImportPhrases(*m_window->suggestTable(), {u"red"_s, u"blue"_s});
    control<QTableView>(*m_window, "lvwSuggest")->selectAll();
    QCoro::waitFor(m_window->suggestPage()->btnSearchClick());

    QCOMPARE(m_server->requests().size(), 4);
    QCOMPARE(m_fixture->fakes.messages->shown.size(), 1);
    QCOMPARE(m_fixture->fakes.messages->shown[0].text,
             u"Google refused to answer (HTTP 503) four times in a row, so the harvest stopped.\r\n"
             "The next phrase is \"red\". Try again later."_s);
    QCOMPARE(m_window->suggestTable()->record(0).cells[0], u""_s);
    QCOMPARE(m_window->suggestTable()->record(1).cells[0], u""_s);
}

void TestSourcesWindow::trendingOfTwoCountries()
{
    writeOptions("[HotTrends]\nSource=trending\nGeo=US,GB\n");
    m_server->enqueue(
        ScriptedHttpServer::ok(TrendingFeedBody({{u"first"_s, u"2000+"_s}}), "application/rss+xml"));
    m_server->enqueue(ScriptedHttpServer::ok(TrendingFeedBody({{u"second"_s, u"200+"_s}, {u"日本"_s, u""_s}}),
                                             "application/rss+xml"));
    m_window = m_fixture->makeWindow();
    QCoro::waitFor(m_window->tmrTimer());

    QCOMPARE(m_server->requestLines(),
             (QList<QByteArray>{"GET /trending/rss?geo=US HTTP/1.1", "GET /trending/rss?geo=GB HTTP/1.1"}));
    QCOMPARE(m_window->trendTable()->rowCount(), 3);
    QCOMPARE(m_window->trendTable()->row(2).keyword, u"日本"_s);
    QCOMPARE(control<QLabel>(*m_window, "panSecondary")->text(), u"3 items"_s);
    QCOMPARE(m_window->trendTable()->index(0, 0).data(Qt::ToolTipRole).toString(),
             u"Searches at the last scrape: 2000+ in US"_s);
}

void TestSourcesWindow::startScrapingProgram(QProcess& program)
{
    // The answers of the two countries' feeds of its first scrape.
    m_server->enqueue(
        ScriptedHttpServer::ok(TrendingFeedBody({{u"first"_s, u"2000+"_s}}), "application/rss+xml"));
    m_server->enqueue(
        ScriptedHttpServer::ok(TrendingFeedBody({{u"second"_s, u"200+"_s}}), "application/rss+xml"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QUILLORY_HOME"_s, m_fixture->home());
    environment.insert(u"QUILLORY_MONITOR_TICK_MS"_s, u"20"_s);
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUILLORY_EXECUTABLE), {});
}

qint64 TestSourcesWindow::keptSightings() const
{
    qint64 count = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"reader"_s);
        db.setDatabaseName(m_fixture->file(u"trends.sqlite"_s));
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        QSqlQuery query(db);
        if (db.open() && query.exec(u"SELECT COUNT(*) FROM sightings"_s) && query.next())
            count = query.value(0).toLongLong();
    }
    QSqlDatabase::removeDatabase(u"reader"_s);
    return count;
}

void TestSourcesWindow::programFoldsTrendingSoonAfterItsStart()
{
    writeOptions("[HotTrends]\nSource=trending\nGeo=US,GB\n");
    QProcess program;
    startScrapingProgram(program);
    QVERIFY(program.waitForStarted());
    const auto table = [this] { return readFile(m_fixture->file(u"dabatase.dat"_s)); };
    QTRY_VERIFY_WITH_TIMEOUT(table().contains("first|") && table().contains("second|"), 10000);
    program.terminate();
    QVERIFY(program.waitForFinished(10000));
}

void TestSourcesWindow::historyStaysWholeThroughKills()
{
    // The real program, started again and again, scrapes two countries at its start (one sighting
    // each, one transaction) and is killed at a random moment: the history is always whole, and
    // holds whole scrapes only.
    writeOptions("[HotTrends]\nSource=trending\nGeo=US,GB\n");
    // Half the kills come at a random moment of the start, the others a random moment after a scrape
    // was seen kept, so that both are tested however fast the machine is.
    QRandomGenerator random(20261211);
    qint64 sightings = 0;
    for (int run = 0; run < 8; ++run) {
        // Never scraped (no time of a last scrape, no table whose newest date would give one): it
        // scrapes at once.
        QFile::remove(m_fixture->file(u"config.dat"_s));
        QFile::remove(m_fixture->file(u"dabatase.dat"_s));
        QProcess program;
        startScrapingProgram(program);
        QVERIFY(program.waitForStarted());
        if (run % 2 == 1)
            QTRY_VERIFY_WITH_TIMEOUT(keptSightings() > sightings, 60000);
        QTest::qWait(int(random.bounded(0, 300)));
        program.kill();
        QVERIFY(program.waitForFinished(10000));

        TrendLedger ledger(m_fixture->file(u"trends.sqlite"_s));
        if (!QFile::exists(m_fixture->file(u"trends.sqlite"_s)))
            continue; // killed before the history began
        QCOMPARE(ledger.open(), QString());
        QCOMPARE(ledger.notice(), QString());
        QCOMPARE(ledger.sightingCount() % 2, 0);
        sightings = ledger.sightingCount();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"check"_s);
            db.setDatabaseName(m_fixture->file(u"trends.sqlite"_s));
            QVERIFY(db.open());
            QSqlQuery check(db);
            QVERIFY(check.exec(u"PRAGMA integrity_check"_s) && check.next());
            QCOMPARE(check.value(0).toString(), u"ok"_s);
        }
        QSqlDatabase::removeDatabase(u"check"_s);
    }
    QVERIFY2(sightings > 0, "no scrape was ever kept: the kills came too soon to test anything");
}

QUILLORY_REGISTER_TEST(TestSourcesWindow);
#include "tst_sources_window.moc"
