#include "support/FakeFetch.h"
#include "support/FakeSeams.h"
#include "support/Gate.h"
#include "support/TaskEnd.h"
#include "support/TestFiles.h"
#include "support/TrendingFeedBody.h"
#include "trends/HotTrendsFeed.h"
#include "trends/HotTrendsMonitor.h"
#include "trends/TrendFiles.h"
#include "trends/TrendTableModel.h"
#include "util/DataFileStore.h"
#include "util/DateTimeText.h"

#include <QCoroFuture>
#include <QDir>
#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QtTest>

#include <atomic>
#include <climits>
#include <memory>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(TrendRows)

namespace {

QString feed(const QStringList& keywords)
{
    QString page = u"<feed><content type=\"html\"><ol>"_s;
    for (const QString& keyword : keywords)
        page += u"<li><a href=\"http://www.google.com/search?q=k\">"_s + keyword + u"</a></li>\r\n"_s;
    return page + u"</ol></content></feed>"_s;
}

// The table as folding the page's items one at a time into `before` makes it.
TrendRows foldedItemByItem(const TrendRows& before, const QString& page, const QString& dateText)
{
    TrendTableModel table;
    table.setRows(before);
    for (const QString& keyword : FeedKeywords(page))
        FoldKeywordIntoTable(keyword, dateText, table);
    return table.rows();
}

// A change of the table, as the page's buttons or a sort make it.
enum class TableChange { DeleteListedRow, DeleteAll, Reverse, AppendListedKeyword, SetCount };

void changeTable(TrendTableModel& table, TableChange change)
{
    switch (change) {
    case TableChange::DeleteListedRow:
        table.removeRowList({1});
        break;
    case TableChange::DeleteAll:
        table.clear();
        break;
    case TableChange::Reverse: {
        QList<qsizetype> order;
        for (qsizetype row = table.rowCount() - 1; row >= 0; --row)
            order << row;
        QVERIFY(table.reorder(order));
        break;
    }
    case TableChange::AppendListedKeyword:
        table.appendRow({QStringLiteral("Gamma"), QStringLiteral("3/6/2009"), QStringLiteral("7")});
        break;
    case TableChange::SetCount:
        table.setDateAndCount(0, u"3/7/2009", u"40");
        break;
    }
}

QByteArray lastParsedFile(const QString& dateTimeText)
{
    return "<%%LastParsed%%>" + dateTimeText.toUtf8() + "<%%/LastParsed%%>\r\n";
}

} // namespace

Q_DECLARE_METATYPE(TableChange)

// The hourly monitor without a window: a scripted fetch, the clock seam, a program folder of its own.
class TestMonitor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void hourRule_data();
    void hourRule();
    void foldAndSaves();
    void foldOnWorkerAsItemByItem_data();
    void foldOnWorkerAsItemByItem();
    void emptyKeywordsAreNoSightings();
    void tableChangedDuringFoldIsKept_data();
    void tableChangedDuringFoldIsKept();
    void monitorEndStopsTheRead();
    void newerTableDateIsTheLastScrape();
    void failedFetchChangesNothing_data();
    void failedFetchChangesNothing();
    void backOffSchedule();
    void refusalsWaitAMinuteAtLeast();
    void trendingReadsEachCountryInTurn();
    void trendingWithNoCountryReadBacksOff_data();
    void trendingWithNoCountryReadBacksOff();
    void oneScrapeAtATime();
    void scrapeWaitsForTheTable();
    void guardSurvivesAnError();
    void failedSaveIsToldOnceAndStaysUnsaved();
    void unreadableTableIsNeverWrittenOver();

private:
    QString file(const QString& name) const { return m_home->filePath(name); }
    // The monitor over the folder as laid out, loaded.
    HotTrendsMonitor& makeMonitor();
    void loadAndWait();

    std::unique_ptr<QTemporaryDir> m_home;
    FakeClock m_clock;
    FakeFetch m_fetch;
    std::unique_ptr<TrendTableModel> m_table;
    std::unique_ptr<HotTrendsMonitor> m_monitor;
};

void TestMonitor::init()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("QUILLORY_HOME", m_home->path().toUtf8());
    qputenv("QUILLORY_GOOGLE_HOST", "127.0.0.1:1");
    m_clock = FakeClock();
    m_fetch = FakeFetch();
}

void TestMonitor::cleanup()
{
    m_monitor.reset();
    m_table.reset();
    m_home.reset();
    qunsetenv("QUILLORY_HOME");
    qunsetenv("QUILLORY_GOOGLE_HOST");
}

HotTrendsMonitor& TestMonitor::makeMonitor()
{
    m_table = std::make_unique<TrendTableModel>();
    m_monitor = std::make_unique<HotTrendsMonitor>(*m_table, m_fetch.fetcher(), m_clock);
    loadAndWait();
    return *m_monitor;
}

void TestMonitor::loadAndWait()
{
    m_monitor->load();
    QCoro::waitFor(qCoro(m_monitor->tableFile().whenLoaded()).waitForFinished());
}

void TestMonitor::hourRule_data()
{
    QTest::addColumn<int>("minutesAgo");
    QTest::addColumn<bool>("hourPassed");
    QTest::newRow("59 minutes ago") << 59 << false;
    QTest::newRow("61 minutes ago") << 61 << true;
    QTest::newRow("clock set back two hours") << -120 << true;
}

void TestMonitor::hourRule()
{
    QFETCH(int, minutesAgo);
    QFETCH(bool, hourPassed);
    writeFile(file(u"config.dat"_s), lastParsedFile(DateTimeText(m_clock.current.addSecs(-60 * minutesAgo))));
    HotTrendsMonitor& monitor = makeMonitor();
    // "Scrap Now" asks first exactly when the tick would not scrape.
    QCOMPARE(monitor.hourPassed(), hourPassed);
    m_fetch.answers.enqueue(FakeFetch::page(feed({u"foo"_s})));
    QCoro::waitFor(monitor.tick());
    QCOMPARE(m_fetch.urls.size(), hourPassed ? 1 : 0);
    // After a scrape the next tick finds less than an hour gone.
    QCoro::waitFor(monitor.tick());
    QCOMPARE(m_fetch.urls.size(), hourPassed ? 1 : 0);
    QCOMPARE(monitor.hourPassed(), false);
}

void TestMonitor::foldAndSaves()
{
    writeFile(file(u"dabatase.dat"_s), "foo|3/5/2009|4|\r\n");
    HotTrendsMonitor& monitor = makeMonitor();
    QSignalSpy labels(&monitor, &HotTrendsMonitor::lastScrapeTextChanged);
    QSignalSpy counts(&monitor, &HotTrendsMonitor::rowCountChanged);
    QSignalSpy sightings(&monitor, &HotTrendsMonitor::sightingsSaved);
    m_fetch.answers.enqueue(FakeFetch::page(feed({u"new york"_s, u"Foo"_s, u"new york"_s})));

    QCoro::waitFor(monitor.tick()); // never scraped: the first tick scrapes
    // Every item is a sighting for the history, ranked in the feed's order, once the table is saved.
    QCOMPARE(sightings.size(), 1);
    QCOMPARE(sightings[0][0].toDateTime(), m_clock.current.toUTC());
    QCOMPARE(sightings[0][1].value<LedgerSource>(), LedgerSource::Classic);
    const auto classic = sightings[0][2].value<QList<LedgerSighting>>();
    QCOMPARE(classic.size(), 3);
    QCOMPARE(classic[1].keyword, u"Foo"_s);
    QCOMPARE(classic[2].rank, 3);
    QVERIFY(classic[2].country.isEmpty());
    QCOMPARE(m_fetch.urls, QStringList{u"http://127.0.0.1:1/trends/hottrends/atom/hourly"_s});
    const QString now = u"12/10/2026 2:15:00 PM"_s;
    QCOMPARE(m_table->rows(), (TrendRows{{u"foo"_s, now, u"5"_s}, {u"new york"_s, now, u"2"_s}}));
    QCOMPARE(monitor.lastScrapeTime(), m_clock.current);
    QCOMPARE(labels.size(), 1);
    QCOMPARE(labels[0][0].toString(), u"Last scrapped on: "_s + now);
    QCOMPARE(counts.size(), 1);
    QCOMPARE(counts[0][0].value<qsizetype>(), 2);
    QCOMPARE(readFile(file(u"dabatase.dat"_s)), "foo|12/10/2026\xc2\xa7"
                                                "2:15:00\xc2\xa7PM|5|\r\nnew\xc2\xa7york|12/10/2026\xc2\xa7"
                                                "2:15:00\xc2\xa7PM|2|\r\n");
    QCOMPARE(readFile(file(u"config.dat"_s)), lastParsedFile(now));

    // A page without items is a scrape all the same, but the counter is not written.
    m_clock.current = m_clock.current.addSecs(3600);
    m_fetch.answers.enqueue(FakeFetch::page(u"<html>No hot trends this hour</html>"_s));
    QCoro::waitFor(monitor.tick());
    QCOMPARE(counts.size(), 1);
    QCOMPARE(readFile(file(u"config.dat"_s)), lastParsedFile(u"12/10/2026 3:15:00 PM"_s));
}

void TestMonitor::foldOnWorkerAsItemByItem_data()
{
    QTest::addColumn<TrendRows>("before");
    QTest::addColumn<QString>("page");

    const TrendRows known = {{u"foo"_s, u"3/5/2009"_s, u"4"_s}, {u"New York"_s, u"3/5/2009"_s, u"1"_s}};
    QTest::newRow("new keyword") << TrendRows{} << feed({u"foo"_s});
    QTest::newRow("known keywords count up, letter case aside")
        << known << feed({u"new york"_s, u"FOO"_s, u"bar"_s});
    QTest::newRow("listed twice counts two") << known << feed({u"foo"_s, u"bar"_s, u"foo"_s, u"Bar"_s});
    QTest::newRow("empty link text") << known << feed({u""_s, u"foo"_s, u""_s});
    QTest::newRow("taken unchanged") << TrendRows{} << feed({u" a &amp; b "_s});
    QTest::newRow("what a cell cannot hold") << known << feed({u"a|b"_s, u"a b"_s, u"x\ty"_s, u"x\ny"_s});
    QTest::newRow("damaged counts count as 0")
        << TrendRows{{u"foo"_s, u""_s, u""_s}, {u"bar"_s, u"d"_s, u"x1"_s}}
        << feed({u"foo"_s, u"bar"_s, u"bar"_s});
    QTest::newRow("count at the largest number")
        << TrendRows{{u"foo"_s, u"d"_s, QString::number(LLONG_MAX - 1)}}
        << feed({u"foo"_s, u"foo"_s, u"foo"_s});
    QTest::newRow("first of repeated rows")
        << TrendRows{{u"foo"_s, u"d"_s, u"2"_s}, {u"Foo"_s, u"d"_s, u"5"_s}} << feed({u"fOO"_s});
    QTest::newRow("no items") << known << u"<html>No hot trends this hour</html>"_s;
    QTest::newRow("upper-case item alone") << known << u"<LI><a href=\"u\">up</a></LI>"_s;
    QTest::newRow("upper-case item first")
        << known << u"<LI><a href=\"u\">up</a></LI><li><a href=\"l\">foo</a></li>"_s;
    QTest::newRow("item without link") << known << u"<li>plain</li><li><a href=\"l\">next</a></li>"_s;
    QTest::newRow("bare item starts") << known << u"<li>"_s.repeated(10000);
    QStringList many;
    for (int i = 0; i < 20000; ++i)
        many << u"keyword %1"_s.arg(i % 9000);
    QTest::newRow("thousands of items") << known << feed(many);
}

void TestMonitor::foldOnWorkerAsItemByItem()
{
    // The monitor folds on a worker what the page's items, folded one by one, make of the table.
    QFETCH(TrendRows, before);
    QFETCH(QString, page);
    if (!before.isEmpty())
        QCOMPARE(WriteTrendTable(file(u"dabatase.dat"_s), before), QString());
    HotTrendsMonitor& monitor = makeMonitor();
    QSignalSpy counts(&monitor, &HotTrendsMonitor::rowCountChanged);
    QSignalSpy resets(m_table.get(), &QAbstractItemModel::modelReset);
    m_fetch.answers.enqueue(FakeFetch::page(page));

    QCoro::waitFor(monitor.scrape());
    const QString now = DateTimeText(m_clock.current);
    const TrendRows expected = foldedItemByItem(before, page, now);
    QCOMPARE(m_table->rows(), expected);
    // The index finds each keyword's first row, the rows added included.
    for (qsizetype row = 0; row < expected.size(); ++row)
        QVERIFY(m_table->knownKeywords().find(expected.keyword(row)) <= row);
    // Taken over as changed cells and rows added: the list keeps its place.
    QCOMPARE(resets.size(), 0);
    QCOMPARE(counts.size(), FeedKeywords(page).isEmpty() ? 0 : 1);
    QCOMPARE(monitor.lastScrapeTime(), m_clock.current);
    QCOMPARE(ReadTrendTable(file(u"dabatase.dat"_s)).rows, expected);
    QCOMPARE(readFile(file(u"config.dat"_s)), lastParsedFile(now));
}

void TestMonitor::emptyKeywordsAreNoSightings()
{
    HotTrendsMonitor& monitor = makeMonitor();
    QSignalSpy sightings(&monitor, &HotTrendsMonitor::sightingsSaved);
    m_fetch.answers.enqueue(
        FakeFetch::page(feed({u""_s, u"foo"_s, u""_s, u"Foo"_s}) + u"<li>"_s.repeated(50)));
    QCoro::waitFor(monitor.scrape());

    // Each item is ranked by its place in the feed; an item with no keyword is no sighting.
    QCOMPARE(sightings.size(), 1);
    const auto classic = sightings[0][2].value<QList<LedgerSighting>>();
    QCOMPARE(classic.size(), 2);
    QCOMPARE(classic[0].keyword, u"foo"_s);
    QCOMPARE(classic[0].rank, 2);
    QCOMPARE(classic[1].keyword, u"Foo"_s);
    QCOMPARE(classic[1].rank, 4);
    // The table has them all: the empty keyword is a row, as the fold has always made it.
    QCOMPARE(m_table->rows(), (TrendRows{{u""_s, DateTimeText(m_clock.current), u"52"_s},
                                         {u"foo"_s, DateTimeText(m_clock.current), u"2"_s}}));
}

void TestMonitor::tableChangedDuringFoldIsKept_data()
{
    QTest::addColumn<TableChange>("change");
    QTest::newRow("a listed row deleted") << TableChange::DeleteListedRow;
    QTest::newRow("every row deleted") << TableChange::DeleteAll;
    QTest::newRow("rows in a new order") << TableChange::Reverse;
    QTest::newRow("a listed keyword added") << TableChange::AppendListedKeyword;
    QTest::newRow("a count changed") << TableChange::SetCount;
}

void TestMonitor::tableChangedDuringFoldIsKept()
{
    // A change of the table while the worker folds is neither lost nor folded over: the fold is
    // done again over the rows as they are then.
    QFETCH(TableChange, change);
    const TrendRows before = {{u"alpha"_s, u"3/5/2009"_s, u"4"_s},
                              {u"beta"_s, u"3/5/2009"_s, u"2"_s},
                              {u"delta"_s, u"3/5/2009"_s, u"9"_s}};
    QCOMPARE(WriteTrendTable(file(u"dabatase.dat"_s), before), QString());
    HotTrendsMonitor& monitor = makeMonitor();
    Gate gate;
    gate.hold(u"fold"_s);
    auto folds = std::make_shared<std::atomic<int>>(0);
    monitor.setWorkerGate([folds, pass = gate.passage()](const QString& step) {
        if (step == u"fold")
            ++*folds;
        pass(step);
    });
    const QString page = feed({u"Beta"_s, u"gamma"_s, u"alpha"_s, u"gamma"_s});
    m_fetch.answers.enqueue(FakeFetch::page(page));

    auto scraping = monitor.scrape();
    QTRY_COMPARE_WITH_TIMEOUT(gate.waitingAt(u"fold"_s), 1, 60000);
    changeTable(*m_table, change);
    TrendTableModel expected;
    expected.setRows(before);
    changeTable(expected, change);
    gate.release(u"fold"_s);
    QCoro::waitFor(scraping);

    const QString now = DateTimeText(m_clock.current);
    QCOMPARE(m_table->rows(), foldedItemByItem(expected.rows(), page, now));
    QCOMPARE(folds->load(), 2);
    QCOMPARE(ReadTrendTable(file(u"dabatase.dat"_s)).rows, m_table->rows());
}

void TestMonitor::monitorEndStopsTheRead()
{
    // The window's close ends the monitor while its worker reads a page of many items: the worker
    // stops at its next look, and the scrape changes nothing.
    writeFile(file(u"dabatase.dat"_s), "foo|3/5/2009|4|\r\n");
    writeFile(file(u"config.dat"_s), lastParsedFile(u"3/5/2009"_s));
    HotTrendsMonitor& monitor = makeMonitor();
    Gate gate;
    gate.hold(u"read"_s);
    auto looks = std::make_shared<std::atomic<int>>(0);
    monitor.setWorkerGate([looks, pass = gate.passage()](const QString& step) {
        if (step == u"read")
            ++*looks;
        pass(step);
    });
    // Read to its end, the page would be looked in at every 4096 items: 25 times.
    m_fetch.answers.enqueue(FakeFetch::page(feed(QStringList(100000, u"foo"_s))));

    auto scraping = monitor.scrape();
    QTRY_COMPARE_WITH_TIMEOUT(gate.waitingAt(u"read"_s), 1, 60000);
    m_monitor.reset();
    gate.release(u"read"_s);
    QCoro::waitFor(scraping);
    QThreadPool::globalInstance()->waitForDone();

    QCOMPARE(looks->load(), 1);
    QCOMPARE(m_table->rows(), (TrendRows{{u"foo"_s, u"3/5/2009"_s, u"4"_s}}));
    QCOMPARE(readFile(file(u"dabatase.dat"_s)), "foo|3/5/2009|4|\r\n");
    QCOMPARE(readFile(file(u"config.dat"_s)), lastParsedFile(u"3/5/2009"_s));
}

void TestMonitor::newerTableDateIsTheLastScrape()
{
    // Killed between the two saves: the table holds a scrape that "config.dat" does not.
    writeFile(file(u"config.dat"_s), lastParsedFile(u"3/5/2009"_s));
    writeFile(file(u"dabatase.dat"_s), "foo|3/5/2009\xc2\xa7"
                                       "2:15:00\xc2\xa7PM|4|\r\nbar|3/4/2009|1|\r\n");
    m_table = std::make_unique<TrendTableModel>();
    m_monitor = std::make_unique<HotTrendsMonitor>(*m_table, m_fetch.fetcher(), m_clock);
    QSignalSpy labels(m_monitor.get(), &HotTrendsMonitor::lastScrapeTextChanged);
    QSignalSpy counts(m_monitor.get(), &HotTrendsMonitor::rowCountChanged);
    loadAndWait();
    QCOMPARE(m_monitor->lastScrapeTime(), QDateTime(QDate(2009, 3, 5), QTime(14, 15)));
    QCOMPARE(labels.size(), 2);
    QCOMPARE(labels[0][0].toString(), u"Last scrapped on:3/5/2009"_s);
    QCOMPARE(labels[1][0].toString(), u"Last scrapped on:3/5/2009 2:15:00 PM"_s);
    QCOMPARE(counts.size(), 1);
    QCOMPARE(counts[0][0].value<qsizetype>(), 2);
}

void TestMonitor::failedFetchChangesNothing_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("backsOff");
    QTest::newRow("the feed failed") << "The server answered 500 Internal Server Error" << true;
    QTest::newRow("the user stopped") << PageFetchStopped << false;
}

void TestMonitor::failedFetchChangesNothing()
{
    QFETCH(QString, failure);
    QFETCH(bool, backsOff);
    writeFile(file(u"dabatase.dat"_s), "foo|3/5/2009|4|\r\n");
    writeFile(file(u"config.dat"_s), lastParsedFile(u"3/5/2009"_s));
    HotTrendsMonitor& monitor = makeMonitor();
    QSignalSpy labels(&monitor, &HotTrendsMonitor::lastScrapeTextChanged);
    QSignalSpy nextTries(&monitor, &HotTrendsMonitor::nextTryTextChanged);
    m_fetch.answers.enqueue(FakeFetch::failure(failure));

    QCoro::waitFor(monitor.tick());
    QCOMPARE(m_fetch.urls.size(), 1);
    QCOMPARE(labels.size(), 0);
    QCOMPARE(monitor.lastScrapeTime(), QDateTime(QDate(2009, 3, 5), QTime(0, 0)));
    QCOMPARE(readFile(file(u"config.dat"_s)), lastParsedFile(u"3/5/2009"_s));
    QCOMPARE(readFile(file(u"dabatase.dat"_s)), "foo|3/5/2009|4|\r\n");
    QCOMPARE(nextTries.size(), backsOff ? 1 : 0);
    QCOMPARE(monitor.nextTry().isValid(), backsOff);
}

void TestMonitor::backOffSchedule()
{
    HotTrendsMonitor& monitor = makeMonitor();
    QSignalSpy nextTries(&monitor, &HotTrendsMonitor::nextTryTextChanged);
    const auto tickAt = [&](const QDateTime& when) {
        m_clock.current = when;
        const qsizetype before = m_fetch.urls.size();
        QCoro::waitFor(monitor.tick());
        return m_fetch.urls.size() > before;
    };

    // Each failure doubles the wait before the next automatic try, up to a quarter of an hour.
    QDateTime now = m_clock.current;
    for (const int seconds : {5, 10, 20, 40, 80, 160, 320, 640, 900, 900}) {
        QVERIFY2(tickAt(now), qPrintable(QString::number(seconds)));
        QCOMPARE(nextTries.last()[0].toString(),
                 u"Next try at "_s + now.addSecs(seconds).toString(u"h:mm:ss AP"_s));
        QVERIFY(!tickAt(now.addSecs(seconds - 1)));
        now = now.addSecs(seconds);
    }

    // A scrape asked for does not wait.
    QCoro::waitFor(monitor.scrape());
    QCOMPARE(m_fetch.urls.size(), 11);

    // A success ends the waiting; the next failure waits five seconds again.
    m_fetch.answers.enqueue(FakeFetch::page(feed({u"foo"_s})));
    QVERIFY(tickAt(now.addSecs(900)));
    QCOMPARE(nextTries.last()[0].toString(), QString());
    QVERIFY(!monitor.nextTry().isValid());
    QVERIFY(tickAt(now.addSecs(900 + 3600)));
    QCOMPARE(nextTries.last()[0].toString(),
             u"Next try at "_s + now.addSecs(900 + 3600 + 5).toString(u"h:mm:ss AP"_s));
}

void TestMonitor::refusalsWaitAMinuteAtLeast()
{
    HotTrendsMonitor& monitor = makeMonitor();
    QSignalSpy nextTries(&monitor, &HotTrendsMonitor::nextTryTextChanged);
    QDateTime now = m_clock.current;
    // A refusal waits a minute, then twice as long each time; an ordinary failure after it keeps
    // doubling from there.
    for (const auto& [refused, seconds] :
         {std::pair{true, 60}, {true, 120}, {false, 240}, {true, 480}, {true, 900}}) {
        PageFetch fetched = FakeFetch::failure(u"The server answered 429 Too Many Requests"_s);
        fetched.refused = refused;
        fetched.statusCode = 429;
        m_fetch.answers.enqueue(fetched);
        m_clock.current = now;
        QCoro::waitFor(monitor.tick());
        QCOMPARE(nextTries.last()[0].toString(),
                 u"Next try at "_s + now.addSecs(seconds).toString(u"h:mm:ss AP"_s));
        now = now.addSecs(seconds);
    }
    QCOMPARE(m_fetch.urls.size(), 5);
}

namespace {

PageFetch modernPage(const QByteArray& body)
{
    PageFetch fetched;
    fetched.body = body;
    fetched.contentType = "application/rss+xml; charset=utf-8";
    fetched.statusCode = 200;
    return fetched;
}

PageFetch refusedFetch()
{
    PageFetch fetched = FakeFetch::failure(u"The server answered 429 Too Many Requests"_s);
    fetched.statusCode = 429;
    fetched.refused = true;
    return fetched;
}

} // namespace

void TestMonitor::trendingReadsEachCountryInTurn()
{
    writeFile(file(u"dabatase.dat"_s), "Alpha|3/5/2009|4|\r\n");
    HotTrendsMonitor& monitor = makeMonitor();
    monitor.setSource(TrendSource::Trending, {u"US"_s, u"XX"_s, u"GB"_s}, u"https://trends.example"_s);
    QSignalSpy skipped(&monitor, &HotTrendsMonitor::countriesSkipped);
    QSignalSpy sightings(&monitor, &HotTrendsMonitor::sightingsSaved);
    m_fetch.answers << modernPage(TrendingFeedBody({{u"alpha"_s, u"2000+"_s}, {u"beta & co"_s, u""_s}}))
                    << FakeFetch::failure(u"The server answered 400 Bad Request"_s)
                    << modernPage(TrendingFeedBody({{u"gamma"_s, u"5K+"_s}, {u"alpha"_s, u"100+"_s}}));
    QCoro::waitFor(monitor.scrape());

    QCOMPARE(m_fetch.urls, (QStringList{u"https://trends.example/trending/rss?geo=US"_s,
                                        u"https://trends.example/trending/rss?geo=XX"_s,
                                        u"https://trends.example/trending/rss?geo=GB"_s}));
    QCOMPARE(m_fetch.styles, QList<FetchStyle>(3, FetchStyle::Modern));
    // Each item folds as a classic item does: a known keyword (letter case aside) counts once more.
    const QString now = DateTimeText(m_clock.current).replace(u' ', u'§');
    QCOMPARE(readFile(file(u"dabatase.dat"_s)),
             (u"Alpha|%1|6|\r\nbeta§&§co|%1|1|\r\ngamma|%1|1|\r\n"_s.arg(now).toUtf8()));
    QCOMPARE(monitor.lastScrapeTime(), m_clock.current);
    QVERIFY(!monitor.nextTry().isValid());
    QCOMPARE(skipped.size(), 1);
    QCOMPARE(skipped[0][0].toString(), u"Trends not read for: XX (The server answered 400 Bad Request)"_s);
    QCOMPARE(monitor.lastSightings().size(), 4);
    QCOMPARE(monitor.lastSightings()[2].geo, u"GB"_s);
    QCOMPARE(monitor.lastSightings()[2].item.traffic, u"5K+"_s);
    QCOMPARE(monitor.lastSightings()[0].item.news.value(0).source, u"Example News"_s);
    // For the history: each country's items ranked from 1, with their traffic and news.
    QCOMPARE(sightings.size(), 1);
    QCOMPARE(sightings[0][1].value<LedgerSource>(), LedgerSource::Trending);
    const auto trending = sightings[0][2].value<QList<LedgerSighting>>();
    QCOMPARE(trending.size(), 4);
    QCOMPARE(trending[3].keyword, u"alpha"_s);
    QCOMPARE(trending[3].country, u"GB"_s);
    QCOMPARE(trending[3].traffic, u"100+"_s);
    QCOMPARE(trending[3].rank, 2);
    QCOMPARE(trending[0].news, monitor.lastSightings()[0].item.news);
    // The keyword's tooltip tells what the countries' feeds said.
    const QModelIndex alpha = m_table->index(0, TrendTableModel::KeywordColumn);
    QCOMPARE(alpha.data(Qt::ToolTipRole).toString(),
             u"Searches at the last scrape: 2000+ in US, 100+ in GB"_s);
    QCOMPARE(m_table->index(1, 0).data(Qt::ToolTipRole).toString(),
             u"Searches at the last scrape: trending in US"_s);
}

void TestMonitor::trendingWithNoCountryReadBacksOff_data()
{
    QTest::addColumn<bool>("refused");
    QTest::addColumn<int>("wait");
    QTest::newRow("every country failed") << false << 5;
    QTest::newRow("refused at the first") << true << 60;
}

void TestMonitor::trendingWithNoCountryReadBacksOff()
{
    QFETCH(bool, refused);
    QFETCH(int, wait);
    HotTrendsMonitor& monitor = makeMonitor();
    monitor.setSource(TrendSource::Trending, {u"US"_s, u"GB"_s}, u"https://trends.example"_s);
    const QDateTime before = monitor.lastScrapeTime();
    if (refused)
        m_fetch.answers << refusedFetch();
    else
        m_fetch.answers << modernPage("<html>not a feed</html>") << FakeFetch::failure(u"timed out"_s);
    QCoro::waitFor(monitor.tick());
    QCOMPARE(m_fetch.urls.size(), refused ? 1 : 2); // a refusal leaves the other countries for later
    QCOMPARE(monitor.lastScrapeTime(), before);
    QCOMPARE(m_table->rowCount(), 0);
    QCOMPARE(monitor.nextTry(), m_clock.current.addSecs(wait));
}

void TestMonitor::oneScrapeAtATime()
{
    HotTrendsMonitor& monitor = makeMonitor();
    m_fetch.held = true;
    m_fetch.answers << FakeFetch::page(feed({u"foo"_s})) << FakeFetch::page(feed({u"foo"_s}));
    auto first = monitor.scrape();
    QVERIFY(monitor.isScraping());
    // A tick and a click while the scrape runs start nothing.
    QCoro::waitFor(monitor.tick());
    QCoro::waitFor(monitor.scrape());
    m_fetch.held = false;
    QCoro::waitFor(first);
    QVERIFY(!monitor.isScraping());
    QCOMPARE(m_fetch.urls.size(), 1);
    QCOMPARE(m_table->row(0).count, u"1"_s);
}

void TestMonitor::scrapeWaitsForTheTable()
{
    writeFile(file(u"dabatase.dat"_s), "foo|3/5/2009|4|\r\n");
    Gate loads;
    loads.hold(u"dabatase.dat"_s);
    m_table = std::make_unique<TrendTableModel>();
    m_monitor = std::make_unique<HotTrendsMonitor>(*m_table, m_fetch.fetcher(), m_clock);
    m_monitor->tableFile().setReadGate(loads.passage());
    m_monitor->load();
    QVERIFY(m_monitor->isLoading());
    m_fetch.answers << FakeFetch::page(feed({u"foo"_s}));

    // The tick passes over a table still loading; a scrape waits for it, and is the one running.
    QCoro::waitFor(m_monitor->tick());
    auto scraping = m_monitor->scrape();
    QVERIFY(m_monitor->isScraping());
    QTRY_COMPARE(loads.waitingAt(u"dabatase.dat"_s), 1);
    QVERIFY(m_fetch.urls.isEmpty());

    loads.release(u"dabatase.dat"_s);
    QCoro::waitFor(scraping);
    QCOMPARE(m_fetch.urls.size(), 1);
    // Folded into the table as read: one more appearance of the row that was there.
    QCOMPARE(m_table->rows(), (TrendRows{{u"foo"_s, u"12/10/2026 2:15:00 PM"_s, u"5"_s}}));
}

void TestMonitor::guardSurvivesAnError()
{
    HotTrendsMonitor& monitor = makeMonitor();
    m_fetch.answers << FakeFetch::page(feed({u"foo"_s})) << FakeFetch::page(feed({u"foo"_s}));
    // An error inside a scrape, after its download.
    m_clock.failNextRead = true;
    QVERIFY(EndsInAnError(monitor.scrape()));
    QVERIFY(!monitor.isScraping());
    QCoro::waitFor(monitor.scrape());
    QCOMPARE(m_fetch.urls.size(), 2);
    QCOMPARE(m_table->rowCount(), 1);
}

void TestMonitor::failedSaveIsToldOnceAndStaysUnsaved()
{
    HotTrendsMonitor& monitor = makeMonitor();
    QVERIFY(QDir(m_home->path()).mkdir(u"dabatase.dat"_s));
    QSignalSpy failures(&monitor.tableFile(), &DataFileStore::saveFailed);
    m_fetch.answers << FakeFetch::page(feed({u"foo"_s})) << FakeFetch::page(feed({u"bar"_s}));

    QCoro::waitFor(monitor.scrape());
    QCOMPARE(failures.size(), 1);
    QVERIFY2(failures[0][0].toString().startsWith(u"Could not write \"dabatase.dat\": "_s),
             qPrintable(failures[0][0].toString()));
    QCOMPARE(failures[0][1].toBool(), false); // the first failure: the user is told
    QVERIFY(monitor.tableFile().isUnsaved());
    QVERIFY(!monitor.lastParsedFile().isUnsaved()); // the time is saved all the same

    QCoro::waitFor(monitor.scrape());
    QCOMPARE(failures.size(), 2);
    QCOMPARE(failures[1][1].toBool(), true); // failing again: the log alone

    QVERIFY(QDir(m_home->path()).rmdir(u"dabatase.dat"_s));
    QCOMPARE(monitor.tableFile().write(), QString());
    QVERIFY(!monitor.tableFile().isUnsaved());
    QVERIFY(readFile(file(u"dabatase.dat"_s)).startsWith("foo|"));
}

void TestMonitor::unreadableTableIsNeverWrittenOver()
{
    QVERIFY(QDir(m_home->path()).mkdir(u"dabatase.dat"_s));
    m_table = std::make_unique<TrendTableModel>();
    m_monitor = std::make_unique<HotTrendsMonitor>(*m_table, m_fetch.fetcher(), m_clock);
    QSignalSpy unreadable(&m_monitor->tableFile(), &DataFileStore::readFailed);
    loadAndWait();
    QCOMPARE(unreadable.size(), 1);
    QVERIFY2(unreadable[0][0].toString().startsWith(u"Could not read \"dabatase.dat\": "_s),
             qPrintable(unreadable[0][0].toString()));
    QVERIFY(m_monitor->tableFile().isUnreadable());

    QCOMPARE(
        m_monitor->tableFile().write(),
        u"Could not write \"dabatase.dat\": it could not be read at the start, so it is kept as it was"_s);
    QVERIFY(m_monitor->tableFile().isUnsaved());
    QVERIFY(QFileInfo(file(u"dabatase.dat"_s)).isDir());
}

QTEST_GUILESS_MAIN(TestMonitor)
#include "tst_monitor.moc"
