#include "app/AppFixture.h"
#include "net/HttpClient.h"
#include "suggest/SuggestHarvester.h"
#include "suggest/SuggestImport.h"
#include "support/ScriptedHttpServer.h"
#include "support/SuggestAnswerBody.h"
#include "support/TestRegistry.h"
#include "trends/HotTrendsMonitor.h"
#include "trends/TrendTableModel.h"
#include "util/DateTimeText.h"

#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray feed(const QList<QByteArray>& keywords)
{
    QByteArray page = "<?xml version=\"1.0\"?><feed><content type=\"html\"><ol>";
    for (const QByteArray& keyword : keywords)
        page += "<li><a href=\"http://www.google.com/search?q=k\">" + keyword + "</a></li>\n";
    return page + "</ol></content></feed>";
}

QByteArray expectedGet(const QByteArray& path, quint16 port)
{
    return "GET " + path +
           " HTTP/1.1\r\nContent-Type: text/html\r\nCache-control: no-cache\r\nPragma: no-cache\r\n"
           "Host: 127.0.0.1:" +
           QByteArray::number(port) +
           "\r\nAccept: text/html, */*\r\n"
           "User-Agent: Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 4.0)\r\n\r\n";
}

// A "config.dat" that says the last scrape was `minutesAgo` minutes before the fake clock's time.
void writeLastScrape(const AppFixture& fixture, int minutesAgo)
{
    const QDateTime when = fixture.fakes.clock->current.addSecs(-60 * minutesAgo);
    writeFile(fixture.file(u"config.dat"_s),
              "<%%LastParsed%%>" + DateTimeText(when).toUtf8() + "<%%/LastParsed%%>\r\n");
}

} // namespace

class TestWebWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void downloadPage_data();
    void downloadPage();
    void refusedWhileStopRequested();
    void stopDuringTransfer();
    void stopWithoutHarvestAbortsTheScrape_data();
    void stopWithoutHarvestAbortsTheScrape();
    void downloadsTakeTurns();
    void closeEndsEveryPendingRequest();
    void gaugeFollowsTheBytes();
    void gaugeLeavesBusyModeWhenTheBodyEnds_data();
    void gaugeLeavesBusyModeWhenTheBodyEnds();
    void scrapeFoldsTheFeed();
    void scrapeNowAsksWithinTheHour_data();
    void scrapeNowAsksWithinTheHour();
    void failedScrapeChangesNothing();
    void scrapeWithoutItemsLeavesTheCounter();
    void failedScrapesBackOff();
    void programScrapesOnItsOwn();

private:
    std::unique_ptr<AppFixture> m_fixture;
    std::unique_ptr<ScriptedHttpServer> m_server;
    std::unique_ptr<TfrmMain> m_window;
};

void TestWebWindow::init()
{
    m_fixture = std::make_unique<AppFixture>();
    m_server = std::make_unique<ScriptedHttpServer>();
    qputenv("QUILLORY_GOOGLE_HOST", m_server->hostAndPort());
}

void TestWebWindow::cleanup()
{
    m_window.reset();
    m_server.reset();
    m_fixture.reset();
    qunsetenv("QUILLORY_GOOGLE_HOST");
}

void TestWebWindow::downloadPage_data()
{
    QTest::addColumn<ScriptedHttpServer::Reply>("reply");
    QTest::addColumn<std::optional<QString>>("page");
    QTest::addColumn<QString>("status");

    const QString completed = u"Download completed!"_s;
    const QString failed = u"Connection error, check if you are connected and url exists."_s;
    QTest::newRow("lines rejoined with CR LF")
        << ScriptedHttpServer::ok("a\nb") << std::optional<QString>(u"a\r\nb\r\n"_s) << completed;
    QTest::newRow("CR LF kept") << ScriptedHttpServer::ok("a\r\n") << std::optional<QString>(u"a\r\n"_s)
                                << completed;
    QTest::newRow("empty body") << ScriptedHttpServer::ok("") << std::optional<QString>(u""_s) << completed;
    QTest::newRow("cut at a zero byte") << ScriptedHttpServer::ok(QByteArray("ab\0cd", 5))
                                        << std::optional<QString>(u"ab\r\n"_s) << completed;
    QTest::newRow("chunked") << ScriptedHttpServer::chunked({"he", "llo"})
                             << std::optional<QString>(u"hello\r\n"_s) << completed;
    QTest::newRow("not found") << ScriptedHttpServer::status(404, "missing") << std::optional<QString>()
                               << failed;
    QTest::newRow("server error") << ScriptedHttpServer::status(500) << std::optional<QString>() << failed;
}

void TestWebWindow::downloadPage()
{
    QFETCH(ScriptedHttpServer::Reply, reply);
    QFETCH(std::optional<QString>, page);
    QFETCH(QString, status);
    m_window = m_fixture->makeWindow();
    m_server->enqueue(reply);
    m_server->enqueue(reply);

    for (int call = 0; call < 2; ++call) {
        QCOMPARE(QCoro::waitFor(m_window->DownloadPage(m_server->url(u"/page?q=1"_s).toString())), page);
        QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(), status);
    }
    // Both requests, the second one too, ask for a fresh page.
    QCOMPARE(m_server->requests(), QList<QByteArray>(2, expectedGet("/page?q=1", m_server->port())));
}

void TestWebWindow::refusedWhileStopRequested()
{
    // Stop pressed while a harvest waits before its second phrase: until the harvest has seen it,
    // every download is refused, with no word in the status bar and no connection.
    m_fixture->fakes.random->draws.enqueue(1);
    m_window = m_fixture->makeWindow();
    m_window->harvester()->setPauseStep(std::chrono::milliseconds(5));
    ImportPhrases(*m_window->suggestTable(), {u"a"_s, u"b"_s});
    control<QTableView>(*m_window, "lvwSuggest")->selectAll();
    m_server->enqueue(ScriptedHttpServer::ok(SuggestAnswerBody({{"a1", "1"}})));
    auto harvest = m_window->suggestPage()->btnSearchClick();
    QTRY_VERIFY(
        control<QLabel>(*m_window, "MainStatusPanel")->text().startsWith(u"Preparing suggestions of: b"_s));
    control<QPushButton>(*m_window, "btnStop")->click();
    QVERIFY(m_window->stopRequested());
    control<QLabel>(*m_window, "MainStatusPanel")->setText(u"before"_s);
    // The gauge shows the harvest's phrases (one done) while it runs.
    const int gaugeBefore = control<QProgressBar>(*m_window, "MainGauge")->value();
    QCOMPARE(gaugeBefore, 1);

    QCOMPARE(QCoro::waitFor(m_window->DownloadPage(m_server->url(u"/x"_s).toString())), std::nullopt);
    QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(), u"before"_s);
    QCOMPARE(control<QProgressBar>(*m_window, "MainGauge")->value(), gaugeBefore);
    QCOMPARE(m_server->requests().size(), 1);
    QCoro::waitFor(harvest);
    QVERIFY(!m_window->stopRequested());
}

void TestWebWindow::stopDuringTransfer()
{
    m_window = m_fixture->makeWindow();
    ScriptedHttpServer::Reply reply;
    reply.then(0, "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n0123456789")
        .then(300, "0123456789")
        .thenHold();
    m_server->enqueue(reply);
    // The user stops while the body arrives: the next progress event cuts the connection.
    connect(m_server.get(), &ScriptedHttpServer::requestArrived, this,
            [this] { control<QPushButton>(*m_window, "btnStop")->click(); });
    QCOMPARE(QCoro::waitFor(m_window->DownloadPage(m_server->url(u"/slow"_s).toString())), std::nullopt);
    QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(), u"Download aborted by user."_s);
}

void TestWebWindow::stopWithoutHarvestAbortsTheScrape_data()
{
    QTest::addColumn<bool>("waitingItsTurn");
    QTest::newRow("in flight") << false;
    QTest::newRow("waiting its turn") << true;
}

void TestWebWindow::stopWithoutHarvestAbortsTheScrape()
{
    QFETCH(bool, waitingItsTurn);
    m_window = m_fixture->makeWindow();
    const QDateTime lastScrape = m_window->monitor()->lastScrapeTime();
    const QString lastParsed = control<QLabel>(*m_window, "lblLastParsed")->text();
    m_server->enqueue(ScriptedHttpServer::stalled("<?xml"));
    m_server->setFallback(ScriptedHttpServer::ok(feed({"foo"}))); // the answer, were the scrape sent
    std::optional<QCoro::Task<std::optional<QString>>> ahead;
    if (waitingItsTurn)
        ahead = m_window->DownloadPage(m_server->url(u"/ahead"_s).toString());
    auto scrape = StatusWhenDone(*m_window, m_window->monitor()->scrape());
    QTRY_COMPARE(m_server->requests().size(), 1);

    control<QPushButton>(*m_window, "btnStop")->click();
    QCOMPARE(QCoro::waitFor(scrape), u"Download aborted by user."_s);
    if (ahead)
        QCOMPARE(QCoro::waitFor(*ahead), std::nullopt);
    QCOMPARE(m_server->requestLines(),
             QList<QByteArray>{waitingItsTurn ? "GET /ahead HTTP/1.1"
                                              : "GET /trends/hottrends/atom/hourly HTTP/1.1"});
    QCOMPARE(m_window->trendTable()->rowCount(), 0);
    QCOMPARE(m_window->monitor()->lastScrapeTime(), lastScrape);
    QCOMPARE(control<QLabel>(*m_window, "lblLastParsed")->text(), lastParsed);
    QVERIFY(!QFile::exists(m_fixture->file(u"config.dat"_s)));
    QVERIFY(!m_window->stopRequested());
    QVERIFY(
        control<QLabel>(*m_window, "lblNextTry")->isHidden()); // the user's Stop is no failure to wait after
}

void TestWebWindow::downloadsTakeTurns()
{
    m_window = m_fixture->makeWindow();
    ScriptedHttpServer::Reply slow;
    slow.then(0, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nfi").then(200, "rst");
    m_server->enqueue(slow);
    m_server->enqueue(ScriptedHttpServer::ok("second"));

    auto first = m_window->DownloadPage(m_server->url(u"/1"_s).toString());
    auto second = m_window->DownloadPage(m_server->url(u"/2"_s).toString());
    QCOMPARE(QCoro::waitFor(second), std::optional<QString>(u"second\r\n"_s));
    QCOMPARE(QCoro::waitFor(first), std::optional<QString>(u"first\r\n"_s));
    // The second request went out only after the first one had ended.
    QCOMPARE(m_server->requestLines(), (QList<QByteArray>{"GET /1 HTTP/1.1", "GET /2 HTTP/1.1"}));
}

void TestWebWindow::closeEndsEveryPendingRequest()
{
    m_window = m_fixture->makeWindow();
    m_server->enqueue(ScriptedHttpServer::stalled("<?xml"));
    m_server->enqueue(ScriptedHttpServer::stalled("<?xml"));
    m_server->setFallback(ScriptedHttpServer::ok("late")); // the answer, were a waiting request sent
    // On each client one request in flight and one waiting its turn.
    auto scrape = StatusWhenDone(*m_window, m_window->monitor()->scrape());
    auto download = m_window->DownloadPage(m_server->url(u"/waiting2"_s).toString());
    auto news = control<HttpClient>(*m_window, "IdHTTP1")->get(m_server->url(u"/news"_s));
    auto newsWaiting = control<HttpClient>(*m_window, "IdHTTP1")->get(m_server->url(u"/waiting1"_s));
    QTRY_COMPARE(m_server->requests().size(), 2);

    m_fixture->fakes.messages->answers.enqueue(MsgAnswer::Ok);
    QVERIFY(m_window->close());
    QCOMPARE(QCoro::waitFor(scrape), u"Download aborted by user."_s);
    QCOMPARE(QCoro::waitFor(download), std::nullopt);
    QVERIFY(!QCoro::waitFor(news).ok);
    QVERIFY(!QCoro::waitFor(newsWaiting).ok);
    QCOMPARE(m_window->trendTable()->rowCount(), 0);
    QList<QByteArray> sent = m_server->requestLines();
    std::sort(sent.begin(), sent.end());
    QCOMPARE(sent, (QList<QByteArray>{"GET /news HTTP/1.1", "GET /trends/hottrends/atom/hourly HTTP/1.1"}));
}

void TestWebWindow::gaugeFollowsTheBytes()
{
    m_window = m_fixture->makeWindow();
    QList<int> positions;
    connect(control<QProgressBar>(*m_window, "MainGauge"), &QProgressBar::valueChanged, this,
            [&](int value) { positions << value; });
    ScriptedHttpServer::Reply reply;
    reply.then(0, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n0123").then(100, "456789");
    m_server->enqueue(reply);
    QVERIFY(QCoro::waitFor(m_window->DownloadPage(m_server->url(u"/"_s).toString())));
    QCOMPARE(control<QProgressBar>(*m_window, "MainGauge")->maximum(), 10);
    QCOMPARE(control<QProgressBar>(*m_window, "MainGauge")->value(), 10);
    QVERIFY2(positions.contains(4), qPrintable(QString::number(positions.size())));
}

void TestWebWindow::gaugeLeavesBusyModeWhenTheBodyEnds_data()
{
    QTest::addColumn<ScriptedHttpServer::Reply>("reply");
    QTest::addColumn<bool>("stop");

    QTest::newRow("zero length") << ScriptedHttpServer::ok("") << false;
    QTest::newRow("no length") << ScriptedHttpServer::untilClose("abc") << false;
    ScriptedHttpServer::Reply held;
    held.then(0, "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\nabc").thenHold();
    QTest::newRow("stopped within a body without length") << held << true;
}

void TestWebWindow::gaugeLeavesBusyModeWhenTheBodyEnds()
{
    QFETCH(ScriptedHttpServer::Reply, reply);
    QFETCH(bool, stop);
    m_window = m_fixture->makeWindow();
    QProgressBar* gauge = control<QProgressBar>(*m_window, "MainGauge");
    if (stop) {
        connect(control<HttpClient>(*m_window, "IdHTTP2"), &HttpClient::work, this, [this] {
            QTimer::singleShot(0, m_window.get(), [this] { m_window->suggestPage()->btnStopClick(); });
        });
    }
    m_server->enqueue(reply);
    QCoro::waitFor(m_window->DownloadPage(m_server->url(u"/"_s).toString()));
    QVERIFY2(gauge->maximum() > gauge->minimum(), "the gauge still shows a transfer in progress");
    if (!stop)
        QCOMPARE(gauge->value(), gauge->maximum()); // a whole body: full
}

void TestWebWindow::scrapeFoldsTheFeed()
{
    writeFile(m_fixture->file(u"dabatase.dat"_s), "foo|3/5/2009|4|\r\n");
    m_window = m_fixture->makeWindow();
    m_fixture->fakes.clock->current = QDateTime(QDate(2026, 12, 10), QTime(14, 15, 0));
    m_server->enqueue(ScriptedHttpServer::ok(feed({"new york", "Foo", "new york"})));

    QCoro::waitFor(m_window->hotTrendsPage()->bsSkinButton2Click()); // never scraped: no question
    QVERIFY(m_fixture->fakes.messages->shown.isEmpty());
    QCOMPARE(m_server->requests(),
             QList<QByteArray>{expectedGet("/trends/hottrends/atom/hourly", m_server->port())});
    const QString now = u"12/10/2026 2:15:00 PM"_s;
    QCOMPARE(m_window->trendTable()->rows(),
             (TrendRows{{u"foo"_s, now, u"5"_s}, {u"new york"_s, now, u"2"_s}}));
    QCOMPARE(control<QLabel>(*m_window, "lblLastParsed")->text(), u"Last scrapped on: "_s + now);
    QCOMPARE(control<QLabel>(*m_window, "panSecondary")->text(), u"2 items"_s);
    QCOMPARE(m_window->monitor()->lastScrapeTime(), m_fixture->fakes.clock->current);
    QCOMPARE(readFile(m_fixture->file(u"dabatase.dat"_s)),
             "foo|12/10/2026\xc2\xa7"
             "2:15:00\xc2\xa7PM|5|\r\nnew\xc2\xa7york|12/10/2026\xc2\xa7"
             "2:15:00\xc2\xa7PM|2|\r\n");
    QCOMPARE(readFile(m_fixture->file(u"config.dat"_s)),
             "<%%LastParsed%%>12/10/2026 2:15:00 PM<%%/LastParsed%%>\r\n");
}

void TestWebWindow::scrapeNowAsksWithinTheHour_data()
{
    QTest::addColumn<int>("minutesAgo");
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("scraped");
    QTest::newRow("59 minutes, cancel") << 59 << MsgAnswer::Cancel << true << false;
    QTest::newRow("59 minutes, ok") << 59 << MsgAnswer::Ok << true << true;
    QTest::newRow("61 minutes") << 61 << MsgAnswer::Cancel << false << true;
}

void TestWebWindow::scrapeNowAsksWithinTheHour()
{
    QFETCH(int, minutesAgo);
    QFETCH(MsgAnswer, answer);
    QFETCH(bool, asked);
    QFETCH(bool, scraped);
    writeLastScrape(*m_fixture, minutesAgo);
    m_window = m_fixture->makeWindow();
    m_fixture->fakes.messages->answers.enqueue(answer);
    m_server->enqueue(ScriptedHttpServer::ok(feed({"foo"})));

    QCoro::waitFor(m_window->hotTrendsPage()->bsSkinButton2Click());
    QCOMPARE(m_fixture->fakes.messages->shown.size(), asked ? 1 : 0);
    if (asked) {
        QCOMPARE(m_fixture->fakes.messages->shown[0].text,
                 u"Sorry it's not recommended that you scrap until 1 hour was elapsed.\r\n"
                 "If you force it the values can be distorsioned.\r\nAre you sure to scrap now?"_s);
        QCOMPARE(m_fixture->fakes.messages->shown[0].kind, MsgKind::Warning);
        QCOMPARE(m_fixture->fakes.messages->shown[0].buttons, MsgButtons::OkCancel);
    }
    QCOMPARE(m_server->requests().size(), scraped ? 1 : 0);
    QCOMPARE(m_window->trendTable()->rowCount(), scraped ? 1 : 0);
}

void TestWebWindow::scrapeWithoutItemsLeavesTheCounter()
{
    writeFile(m_fixture->file(u"dabatase.dat"_s), "foo|3/5/2009|4|\r\n");
    m_window = m_fixture->makeWindow();
    control<QLabel>(*m_window, "panSecondary")
        ->setText(u"7 keywords"_s); // the Suggest table was worked on last
    m_server->enqueue(ScriptedHttpServer::ok("<html><body>No hot trends this hour</body></html>"));
    QCoro::waitFor(m_window->hotTrendsPage()->bsSkinButton2Click());
    QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(), u"Download completed!"_s);
    QCOMPARE(control<QLabel>(*m_window, "panSecondary")->text(), u"7 keywords"_s);

    m_server->enqueue(ScriptedHttpServer::ok(feed({"foo", "bar"})));
    m_fixture->fakes.messages->answers.enqueue(MsgAnswer::Ok); // within the hour: asked first
    QCoro::waitFor(m_window->hotTrendsPage()->bsSkinButton2Click());
    QCOMPARE(control<QLabel>(*m_window, "panSecondary")->text(), u"2 items"_s);
}

void TestWebWindow::failedScrapeChangesNothing()
{
    writeFile(m_fixture->file(u"dabatase.dat"_s), "foo|3/5/2009|4|\r\n");
    writeFile(m_fixture->file(u"config.dat"_s), "<%%LastParsed%%>3/5/2009<%%/LastParsed%%>\r\n");
    m_window = m_fixture->makeWindow();
    m_server->enqueue(ScriptedHttpServer::status(500));
    QCoro::waitFor(m_window->tmrTimer());
    QCOMPARE(m_server->requests().size(), 1);
    QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(),
             u"Connection error, check if you are connected and url exists."_s);
    QCOMPARE(control<QLabel>(*m_window, "lblLastParsed")->text(), u"Last scrapped on:3/5/2009"_s);
    QCOMPARE(readFile(m_fixture->file(u"config.dat"_s)), "<%%LastParsed%%>3/5/2009<%%/LastParsed%%>\r\n");
    QCOMPARE(readFile(m_fixture->file(u"dabatase.dat"_s)), "foo|3/5/2009|4|\r\n");
    // The tick five seconds later tries again.
    m_server->enqueue(ScriptedHttpServer::ok(feed({"foo"})));
    m_fixture->fakes.clock->current = m_fixture->fakes.clock->current.addSecs(5);
    QCoro::waitFor(m_window->tmrTimer());
    QCOMPARE(m_window->trendTable()->row(0).count, u"5"_s);
}

void TestWebWindow::failedScrapesBackOff()
{
    // The schedule itself is the monitor's; here its label, and "Scrap Now", which never waits.
    m_window = m_fixture->makeWindow();
    FakeClock& clock = *m_fixture->fakes.clock;
    const QDateTime start = clock.current;
    m_server->enqueue(ScriptedHttpServer::status(500));
    QCoro::waitFor(m_window->tmrTimer());
    QVERIFY(!control<QLabel>(*m_window, "lblNextTry")->isHidden());
    QCOMPARE(control<QLabel>(*m_window, "lblNextTry")->text(),
             u"Next try at "_s + start.addSecs(5).toString(u"h:mm:ss AP"_s));
    clock.current = start.addSecs(4);
    QCoro::waitFor(m_window->tmrTimer());
    QCOMPARE(m_server->requests().size(), 1);

    m_server->enqueue(ScriptedHttpServer::ok(feed({"foo"})));
    QCoro::waitFor(m_window->hotTrendsPage()->bsSkinButton2Click());
    QCOMPARE(m_fixture->fakes.messages->shown.size(), 0);
    QCOMPARE(m_server->requests().size(), 2);
    QVERIFY(control<QLabel>(*m_window, "lblNextTry")->isHidden());
}

void TestWebWindow::programScrapesOnItsOwn()
{
    // The program itself, on a fresh folder, scrapes at its first tick.
    m_server->enqueue(ScriptedHttpServer::ok(feed({"first keyword", "second"})));
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QUILLORY_HOME"_s, m_fixture->home());
    environment.insert(u"QUILLORY_GOOGLE_HOST"_s, QString::fromUtf8(m_server->hostAndPort()));
    environment.insert(u"QUILLORY_MONITOR_TICK_MS"_s, u"50"_s);
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUILLORY_EXECUTABLE), {});
    QVERIFY(program.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_fixture->file(u"config.dat"_s)), 10000);
    program.terminate();
    QVERIFY(program.waitForFinished(10000));

    QCOMPARE(m_server->requests(),
             QList<QByteArray>{expectedGet("/trends/hottrends/atom/hourly", m_server->port())});
    const QList<QByteArray> lines = readFile(m_fixture->file(u"dabatase.dat"_s)).split('\n');
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[0].startsWith("first\xc2\xa7keyword|"));
    QVERIFY(lines[0].endsWith("|1|\r"));
    QVERIFY(readFile(m_fixture->file(u"config.dat"_s)).startsWith("<%%LastParsed%%>"));
}

QUILLORY_REGISTER_TEST(TestWebWindow);
#include "tst_web_window.moc"
