#include "support/TestFiles.h"
#include "trends/TrendLedger.h"
#include "trends/TrendRecord.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

const QDateTime T0(QDate(2026, 12, 1), QTime(10, 0), Qt::UTC);

TrendingNews news(const QString& name, const QString& title = {})
{
    return {title.isEmpty() ? name + u" title"_s : title, u"https://news.example/"_s + name,
            name + u" desk"_s};
}

QStringList keywordsOf(const QList<RisingKeyword>& rising)
{
    QStringList keywords;
    for (const RisingKeyword& keyword : rising)
        keywords << keyword.keyword;
    return keywords;
}

// Runs SQL on a database file outside the ledger, as another program would.
void RunSql(const QString& path, const QStringList& statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"by-hand"_s);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery query(db);
        for (const QString& statement : statements)
            QVERIFY2(query.exec(statement), qPrintable(statement));
    }
    QSqlDatabase::removeDatabase(u"by-hand"_s);
}

} // namespace

class TestLedger : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void scrapesMakeAHistory();
    void risingKeywords();
    void oldTableImported();
    void unreadableFileSetAside_data();
    void unreadableFileSetAside();
    void newerLedgerLeftAlone();
    void olderSchemaBroughtUpToDate();

private:
    QString path() const { return m_dir->filePath(u"trends.sqlite"_s); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestLedger::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestLedger::scrapesMakeAHistory()
{
    TrendLedger ledger(path());
    QCOMPARE(ledger.open(), QString());
    QVERIFY(ledger.createdNow());
    QCOMPARE(ledger.recordScrape(T0, LedgerSource::Trending,
                                 {{u"Taylor Swift"_s, u"US"_s, u"2000+"_s, 1, {news(u"a"_s), news(u"b"_s)}},
                                  {u"Eclipse"_s, u"GB"_s, u"20K+"_s, 2, {news(u"b"_s, u"b retitled"_s)}}}),
             QString());
    QCOMPARE(ledger.recordScrape(T0.addSecs(3600), LedgerSource::Trending,
                                 {{u"taylor swift"_s, u"GB"_s, u"1,000,000+"_s, 1, {news(u"c"_s)}}}),
             QString());
    QCOMPARE(ledger.recordScrape(T0.addDays(2), LedgerSource::Classic, {{u"Taylor Swift"_s, {}, {}, 3, {}}}),
             QString());
    QCOMPARE(ledger.sightingCount(), 4);

    const std::optional<KeywordHistory> history = ledger.history(u"TAYLOR SWIFT"_s);
    QVERIFY(history);
    QCOMPARE(history->keyword, u"Taylor Swift"_s);
    QCOMPARE(history->firstSeen, T0);
    QCOMPARE(history->lastSeen, T0.addDays(2));
    QCOMPARE(history->sightings, 3);
    QCOMPARE(history->countries, (QStringList{u"GB"_s, u"US"_s}));
    QCOMPARE(history->peakTraffic, u"1,000,000+"_s);
    QCOMPARE(history->days.size(), 2);
    QCOMPARE(history->days[0].day, T0.date());
    QCOMPARE(history->days[0].sightings, 2);
    QCOMPARE(history->days[0].peakTraffic, std::optional<qint64>(1000000));
    QCOMPARE(history->days[1].day, T0.date().addDays(2));
    QCOMPARE(history->days[1].peakTraffic, std::nullopt);
    // The latest news first; an address is kept once, with its latest title.
    QCOMPARE(history->news.size(), 3);
    QCOMPARE(history->news[0], news(u"c"_s));
    QCOMPARE(history->news[1], news(u"b"_s, u"b retitled"_s));
    QCOMPARE(history->news[2], news(u"a"_s));

    QCOMPARE(ledger.history(u"taylor swift"_s, T0.addDays(1))->days.size(), 1);

    // In brief, for the list's columns: all keywords, or those asked for.
    const QHash<QString, KeywordSummary> all = ledger.summaries();
    QCOMPARE(all.keys().size(), 2);
    QCOMPARE(all[u"taylor swift"_s].firstSeen, T0);
    QCOMPARE(all[u"taylor swift"_s].peakTraffic, std::optional<qint64>(1000000));
    QCOMPARE(all[u"taylor swift"_s].countries, (QStringList{u"GB"_s, u"US"_s}));
    QCOMPARE(ledger.summaries({u"eclipse"_s, u"never seen"_s}).keys(), QStringList{u"eclipse"_s});
    QVERIFY(!ledger.history(u"never seen"_s));
}

void TestLedger::risingKeywords()
{
    TrendLedger ledger(path());
    QCOMPARE(ledger.open(), QString());
    const QDateTime now = T0.addDays(20);
    const auto seen = [&](const QString& keyword, qint64 hoursBefore, const QString& traffic = {}) {
        QCOMPARE(ledger.recordScrape(now.addSecs(-hoursBefore * 3600), LedgerSource::Trending,
                                     {{keyword, u"US"_s, traffic, 1, {}}}),
                 QString());
    };
    seen(u"steady"_s, 10 * 24); // once in the week before, once in the last
    seen(u"steady"_s, 2 * 24);
    seen(u"growing"_s, 10 * 24);
    seen(u"growing"_s, 3 * 24, u"500+"_s);
    seen(u"growing"_s, 2 * 24);
    seen(u"new today"_s, 3, u"2000+"_s);
    seen(u"fading"_s, 9 * 24);
    seen(u"fading"_s, 8 * 24);
    seen(u"fading"_s, 5 * 24);
    seen(u"long ago"_s, 40 * 24);
    const QList<RisingKeyword> rising = ledger.rising(now);
    QCOMPARE(keywordsOf(rising), (QStringList{u"new today"_s, u"growing"_s}));
    QCOMPARE(rising[1].lastWeek, 2);
    QCOMPARE(rising[1].weekBefore, 1);
    QCOMPARE(rising[0].firstSeen, now.addSecs(-3 * 3600));
}

void TestLedger::oldTableImported()
{
    TrendRows rows;
    rows.append({u"alpha"_s, u"3/5/2009 2:15:00 PM"_s, u"4"_s});
    rows.append({u"beta"_s, u"no time"_s, u"1"_s});
    TrendLedger ledger(path());
    QCOMPARE(ledger.open(), QString());
    QCOMPARE(ledger.importTable(rows, QLocale(QLocale::English, QLocale::UnitedStates)), QString());
    QCOMPARE(ledger.sightingCount(), 1);
    QCOMPARE(ledger.history(u"alpha"_s)->lastSeen,
             QDateTime(QDate(2009, 3, 5), QTime(14, 15)).toUTC()); // the tests run with TZ=UTC
    // Opened again, the ledger is no longer new: nothing is imported twice.
    TrendLedger again(path());
    QCOMPARE(again.open(), QString());
    QVERIFY(!again.createdNow());
}

void TestLedger::unreadableFileSetAside_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("not a database") << QByteArray("this is no database, only text\n").repeated(200);
    QByteArray header("SQLite format 3");
    header.append('\0');
    QTest::newRow("cut after its header") << header + QByteArray(84, '\x01');
}

void TestLedger::unreadableFileSetAside()
{
    QFETCH(QByteArray, bytes);
    writeFile(path(), bytes);
    TrendLedger ledger(path());
    QCOMPARE(ledger.open(), QString());
    QVERIFY(ledger.notice().contains(u"renamed trends.sqlite.unreadable-"_s));
    QVERIFY(ledger.createdNow());
    const QStringList aside = QDir(m_dir->path()).entryList({u"trends.sqlite.unreadable-*"_s});
    QCOMPARE(aside.size(), 1);
    QCOMPARE(readFile(m_dir->filePath(aside[0])), bytes);
    QCOMPARE(ledger.recordScrape(T0, LedgerSource::Classic, {{u"alpha"_s, {}, {}, 1, {}}}), QString());
    QCOMPARE(ledger.sightingCount(), 1);
}

void TestLedger::newerLedgerLeftAlone()
{
    RunSql(path(), {u"CREATE TABLE later (x)"_s, u"PRAGMA user_version = 99"_s});
    const QByteArray before = readFile(path());
    TrendLedger ledger(path());
    QVERIFY(ledger.open().contains(u"newer version"_s));
    QVERIFY(!ledger.isOpen());
    QVERIFY(!ledger.recordScrape(T0, LedgerSource::Classic, {{u"alpha"_s, {}, {}, 1, {}}}).isEmpty());
    QCOMPARE(readFile(path()), before);
}

void TestLedger::olderSchemaBroughtUpToDate()
{
    // A ledger of the first version: sightings, no news.
    RunSql(path(),
           {u"CREATE TABLE keywords (id INTEGER PRIMARY KEY, keyword TEXT NOT NULL, folded TEXT NOT NULL "
            u"UNIQUE, first_seen INTEGER NOT NULL)"_s,
            u"CREATE INDEX keywords_by_first_seen ON keywords (first_seen)"_s,
            u"CREATE TABLE sightings (id INTEGER PRIMARY KEY, keyword_id INTEGER NOT NULL, at INTEGER NOT "
            u"NULL, source INTEGER NOT NULL, country TEXT NOT NULL DEFAULT '', traffic TEXT NOT NULL "
            u"DEFAULT '', traffic_min INTEGER, rank INTEGER)"_s,
            u"CREATE INDEX sightings_by_keyword ON sightings (keyword_id, at)"_s,
            u"INSERT INTO keywords VALUES (1, 'Alpha', 'alpha', %1)"_s.arg(T0.toSecsSinceEpoch()),
            u"INSERT INTO sightings VALUES (1, 1, %1, 1, 'US', '200+', 200, 1)"_s.arg(T0.toSecsSinceEpoch()),
            u"PRAGMA user_version = 1"_s});
    TrendLedger ledger(path());
    QCOMPARE(ledger.open(), QString());
    QVERIFY(!ledger.createdNow());
    QCOMPARE(ledger.recordScrape(T0.addDays(1), LedgerSource::Trending,
                                 {{u"alpha"_s, u"GB"_s, u"5K+"_s, 1, {news(u"a"_s)}}}),
             QString());
    const std::optional<KeywordHistory> history = ledger.history(u"ALPHA"_s);
    QVERIFY(history);
    QCOMPARE(history->sightings, 2);
    QCOMPARE(history->firstSeen, T0);
    QCOMPARE(history->peakTraffic, u"5K+"_s);
    QCOMPARE(history->news, QList<TrendingNews>{news(u"a"_s)});
}

QTEST_GUILESS_MAIN(TestLedger)
#include "tst_ledger.moc"
