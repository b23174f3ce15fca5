#include "support/FailingFolder.h"
#include "support/TestFiles.h"
#include "trends/TrendHistory.h"
#include "trends/TrendLedger.h"
#include "trends/TrendRecord.h"
#include "util/DateTimeText.h"

#include <QDir>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

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
            QVERIFY2(query.exec(statement), qPrintable(statement + u": "_s + query.lastError().text()));
    }
    QSqlDatabase::removeDatabase(u"by-hand"_s);
}

// The rows a query gives on a database file, each row's values joined by "|".
QStringList Rows(const QString& path, const QString& statement)
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"reading"_s);
        db.setDatabaseName(path);
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(statement)) {
                while (query.next()) {
                    QStringList values;
                    for (int column = 0; column < query.record().count(); ++column)
                        values << query.value(column).toString();
                    rows << values.join(u'|');
                }
            } else {
                rows << u"failed: "_s + query.lastError().text();
            }
        }
    }
    QSqlDatabase::removeDatabase(u"reading"_s);
    return rows;
}

// The sightings of a history as "keyword@hours after T0", in the order they were written.
QStringList SightingsIn(const QString& path)
{
    QStringList sightings;
    for (
        const QString& row : Rows(
            path,
            u"SELECT k.keyword, s.at FROM sightings s JOIN keywords k ON k.id = s.keyword_id ORDER BY s.id"_s)) {
        const QStringList values = row.split(u'|');
        sightings << values[0] + u'@' +
                         QString::number((values[1].toLongLong() - T0.toSecsSinceEpoch()) / 3600);
    }
    return sightings;
}

// What a history holds, in no particular order: keywords with their first sighting, and sightings
// with their source.
QStringList ContentOf(const QString& path)
{
    QStringList content =
        Rows(path, u"SELECT 'keyword', keyword, folded, first_seen FROM keywords"_s) +
        Rows(path,
             u"SELECT 'sighting', k.folded, s.at, s.source, s.country, s.traffic, s.rank FROM sightings s "
             u"JOIN keywords k ON k.id = s.keyword_id"_s);
    content.sort();
    return content;
}

QList<LedgerSighting> Seen(const QStringList& keywords)
{
    QList<LedgerSighting> sightings;
    for (const QString& keyword : keywords)
        sightings.append({keyword, u"US"_s, u"200+"_s, int(sightings.size()) + 1, {}});
    return sightings;
}

// Another program's hold on the file, as real as it gets: a connection of its own that takes
// SQLite's locks as such a program does, and goes on with its own work afterwards.
class OtherProgram {
public:
    enum Hold {
        Writing,           // in the middle of a write (the history in WAL mode: readers go on)
        RollbackExclusive, // a rollback-journal file under BEGIN EXCLUSIVE: nobody else reads or writes
        WalExclusive,      // WAL with locking_mode=EXCLUSIVE: it keeps the file to itself
    };

    OtherProgram(const QString& path, Hold hold)
        : m_hold(hold)
        , m_name(u"other-program-%1"_s.arg(++made))
    {
        RunSql(path, {u"CREATE TABLE IF NOT EXISTS other_program (x)"_s});
        if (hold == RollbackExclusive)
            RunSql(path, {u"PRAGMA journal_mode = DELETE"_s});
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QStringList statements;
        if (hold == WalExclusive)
            statements << u"PRAGMA locking_mode = EXCLUSIVE"_s;
        statements << u"BEGIN EXCLUSIVE"_s << u"INSERT INTO other_program VALUES (1)"_s;
        if (hold == WalExclusive)
            statements << u"COMMIT"_s; // the file stays locked all the same
        for (const QString& statement : statements)
            QVERIFY2(run(statement), qPrintable(statement));
        m_holding = true;
    }
    ~OtherProgram()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }

    // Ends its work as it meant to: its transaction is kept, and a write after it works. False
    // when either failed (the file was taken from under it).
    bool release()
    {
        if (!m_holding)
            return true;
        m_holding = false;
        const bool ended = m_hold == WalExclusive || run(u"COMMIT"_s);
        const bool wrote = run(u"INSERT INTO other_program VALUES (2)"_s);
        QSqlDatabase::database(m_name, false).close();
        return ended && wrote;
    }

private:
    bool run(const QString& statement)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        if (query.exec(statement))
            return true;
        qWarning("other program: %s: %s", qPrintable(statement), qPrintable(query.lastError().text()));
        return false;
    }

    static inline int made = 0;
    Hold m_hold;
    QString m_name;
    bool m_holding = false;
};

} // namespace

class TestLedger : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void scrapesMakeAHistory();
    void risingKeywords();
    void feedFactsOfEachKeyword_data();
    void feedFactsOfEachKeyword();
    void keywordsSeenInAWindow_data();
    void keywordsSeenInAWindow();
    void oldTableImported();
    void bigTableImported();
    void importBesideAHistory();
    void importStateOfAnOlderHistory_data();
    void importStateOfAnOlderHistory();
    void blankKeywordsLeftOut();
    void unreadableFileSetAside_data();
    void unreadableFileSetAside();
    void lockedFileKept_data();
    void lockedFileKept();
    void writeWhileLockedFailsAndKeepsTheFile();
    void fullDiskKeepsTheFile();
    void newerLedgerLeftAlone();
    void olderSchemaBroughtUpToDate();
    void readOnlyChangesNothing_data();
    void readOnlyChangesNothing();

    void sightingsWaitAndGoInInTimeOrder_data();
    void sightingsWaitAndGoInInTimeOrder();
    void waitingSightingsWrittenWhenTheLockGoes();
    void closeTriesWaitingSightingsOnceMore_data();
    void closeTriesWaitingSightingsOnceMore();
    void waitingIsBounded();
    void damagedHistorySetAsideAndToldOnce();
    void newerHistoryToldOnceAndLeftAlone();
    void importCutShortIsFinishedAtTheNextStart();

private:
    QString path() const { return m_dir->filePath(u"trends.sqlite"_s); }
    QStringList asideFiles() const
    {
        return QDir(m_dir->path()).entryList({u"trends.sqlite.unreadable-*"_s}, QDir::Files);
    }
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

namespace {

// Three scrapes, an hour apart; the feed gives a start for most items. The last is the newest scrape.
void recordFeedFacts(TrendLedger& ledger)
{
    const auto sighting = [](const QString& keyword, const QString& country, const QDateTime& started) {
        LedgerSighting seen{keyword, country, u"200+"_s, 1, {}};
        seen.started = started;
        return seen;
    };
    QCOMPARE(ledger.recordScrape(T0, LedgerSource::Trending,
                                 {sighting(u"Alpha"_s, u"US"_s, T0.addSecs(-1800)),
                                  sighting(u"Beta"_s, u"GB"_s, T0.addSecs(-7200))}),
             QString());
    QCOMPARE(ledger.recordScrape(T0.addSecs(3600), LedgerSource::Trending,
                                 {sighting(u"alpha"_s, u"US"_s, T0.addSecs(-1800)),
                                  sighting(u"Gamma"_s, u"US"_s, QDateTime())}),
             QString());
    QCOMPARE(ledger.recordScrape(T0.addSecs(7200), LedgerSource::Trending,
                                 {sighting(u"alpha"_s, u"GB"_s, T0.addSecs(5400)),
                                  sighting(u"Delta"_s, u"DE"_s, T0.addSecs(6000))}),
             QString());
}

} // namespace

void TestLedger::feedFactsOfEachKeyword_data()
{
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<QDateTime>("started");
    QTest::addColumn<QDateTime>("lastSeen");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QStringList>("countries");
    QTest::newRow("trending again, with a new start")
        << u"alpha"_s << T0.addSecs(5400) << T0.addSecs(7200) << true << QStringList{u"GB"_s, u"US"_s};
    QTest::newRow("ended") << u"beta"_s << T0.addSecs(-7200) << T0 << false << QStringList{u"GB"_s};
    QTest::newRow("no start given") << u"gamma"_s << QDateTime() << T0.addSecs(3600) << false
                                    << QStringList{u"US"_s};
    QTest::newRow("new in the newest scrape")
        << u"delta"_s << T0.addSecs(6000) << T0.addSecs(7200) << true << QStringList{u"DE"_s};
}

void TestLedger::feedFactsOfEachKeyword()
{
    QFETCH(QString, keyword);
    QFETCH(QDateTime, started);
    QFETCH(QDateTime, lastSeen);
    QFETCH(bool, active);
    QFETCH(QStringList, countries);
    TrendLedger ledger(path());
    QCOMPARE(ledger.open(), QString());
    recordFeedFacts(ledger);
    // The start and the status do not depend on which keywords are asked for.
    for (const QStringList& asked : {QStringList(), QStringList{keyword}}) {
        const QHash<QString, KeywordSummary> summaries = ledger.summaries(asked);
        QVERIFY(summaries.contains(keyword));
        const KeywordSummary& summary = summaries[keyword];
        QCOMPARE(summary.started, started);
        QCOMPARE(summary.lastSeen, lastSeen);
        QCOMPARE(summary.active, active);
        QCOMPARE(summary.countries, countries);
    }
    QCOMPARE(ledger.countries(), (QStringList{u"DE"_s, u"GB"_s, u"US"_s}));

    // Read again from the file, as another program reads it.
    ledger.close();
    TrendLedger reader(path());
    QCOMPARE(reader.open(TrendLedger::Access::ReadOnly), QString());
    QCOMPARE(reader.summaries({keyword}).value(keyword).started, started);
}

void TestLedger::keywordsSeenInAWindow_data()
{
    QTest::addColumn<QDateTime>("since");
    QTest::addColumn<QString>("country");
    QTest::addColumn<QStringList>("seen");
    const QStringList all{u"alpha"_s, u"beta"_s, u"delta"_s, u"gamma"_s};
    QTest::newRow("any time, every country") << QDateTime() << QString() << all;
    QTest::newRow("since the second scrape")
        << T0.addSecs(3600) << QString() << QStringList{u"alpha"_s, u"delta"_s, u"gamma"_s};
    QTest::newRow("a second after it")
        << T0.addSecs(3601) << QString() << QStringList{u"alpha"_s, u"delta"_s};
    QTest::newRow("any time in US") << QDateTime() << u"US"_s << QStringList{u"alpha"_s, u"gamma"_s};
    // Alpha was in GB only in the newest scrape, Beta only in the first.
    QTest::newRow("lately in GB") << T0.addSecs(1) << u"GB"_s << QStringList{u"alpha"_s};
    QTest::newRow("any time in GB") << QDateTime() << u"GB"_s << QStringList{u"alpha"_s, u"beta"_s};
    QTest::newRow("a country never seen") << QDateTime() << u"FR"_s << QStringList();
    QTest::newRow("after the newest scrape") << T0.addSecs(7201) << QString() << QStringList();
}

void TestLedger::keywordsSeenInAWindow()
{
    QFETCH(QDateTime, since);
    QFETCH(QString, country);
    QFETCH(QStringList, seen);
    TrendLedger ledger(path());
    QCOMPARE(ledger.open(), QString());
    recordFeedFacts(ledger);
    QStringList found = ledger.keywordsSeen(since, country).values();
    found.sort();
    QCOMPARE(found, seen);

    // The same through the history, on its own thread.
    ledger.close();
    TrendHistory history(path());
    history.open({});
    // Waited for by looking, not by waitForFinished(), which may run the job on this thread.
    const QFuture<QSet<QString>> answer = history.keywordsSeen(since, country);
    QTRY_VERIFY_WITH_TIMEOUT(answer.isFinished(), 20000);
    found = answer.result().values();
    found.sort();
    QCOMPARE(found, seen);
}

void TestLedger::oldTableImported()
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    TrendRows rows;
    rows.append({u"alpha"_s, u"3/5/2009 2:15:00 PM"_s, u"4"_s});
    rows.append({u"beta"_s, u"no time"_s, u"1"_s});
    rows.append({u"Gamma"_s, u"3/7/2009 9:00:00 AM"_s, u"2"_s});
    rows.append({u""_s, u"3/7/2009 9:00:00 AM"_s, u"2"_s});
    rows.append({u"GAMMA"_s, u"3/6/2009 9:00:00 AM"_s, u"1"_s});
    TrendLedger ledger(path());
    QCOMPARE(ledger.open(), QString());
    QVERIFY(ledger.importPending());
    // A stop keeps none of it, and the import is still to be done.
    std::stop_source stop;
    stop.request_stop();
    QCOMPARE(ledger.importTable(rows, us, stop.get_token()), u"stopped"_s);
    QVERIFY(ledger.importPending());
    QCOMPARE(ledger.sightingCount(), 0);

    QCOMPARE(ledger.importTable(rows, us), QString());
    QVERIFY(!ledger.importPending());
    QCOMPARE(ledger.sightingCount(), 3);
    QCOMPARE(ledger.history(u"alpha"_s)->lastSeen,
             QDateTime(QDate(2009, 3, 5), QTime(14, 15)).toUTC()); // the tests run with TZ=UTC
    // Both rows of gamma are one keyword, with its text as last seen.
    const std::optional<KeywordHistory> gamma = ledger.history(u"gamma"_s);
    QVERIFY(gamma);
    QCOMPARE(gamma->keyword, u"Gamma"_s);
    QCOMPARE(gamma->sightings, 2);
    QCOMPARE(gamma->firstSeen, QDateTime(QDate(2009, 3, 6), QTime(9, 0)).toUTC());
    // The indexes left for after the rows are back, and so is WAL mode.
    QCOMPARE(Rows(path(),
                  u"SELECT name FROM sqlite_master WHERE type = 'index' AND name LIKE 'sightings_by_%' "
                  u"ORDER BY name"_s),
             (QStringList{u"sightings_by_keyword"_s, u"sightings_by_time"_s}));
    QCOMPARE(Rows(path(), u"PRAGMA journal_mode"_s), QStringList{u"wal"_s});
    QCOMPARE(ledger.recordScrape(T0, LedgerSource::Trending, Seen({u"delta"_s, u"alpha"_s})), QString());
    QCOMPARE(ledger.sightingCount(), 5);

    // Opened again, the ledger is no longer new: nothing is imported twice.
    ledger.close();
    TrendLedger again(path());
    QCOMPARE(again.open(), QString());
    QVERIFY(!again.createdNow());
    QVERIFY(!again.importPending());
}

void TestLedger::bigTableImported()
{
    // A table big enough to be written under a rollback journal: WAL mode comes back after.
    TrendRows rows;
    for (int n = 0; n < 60'000; ++n)
        rows.append(
            {u"keyword %1"_s.arg(59'999 - n), DateTimeText(T0.addSecs(-n * 60).toLocalTime()), u"1"_s});
    rows.append({u"KEYWORD 7"_s, DateTimeText(T0.addSecs(3600).toLocalTime()), u"1"_s});
    TrendLedger ledger(path());
    QCOMPARE(ledger.open(), QString());
    QCOMPARE(ledger.importTable(rows), QString());
    QCOMPARE(ledger.sightingCount(), 60'001);
    const std::optional<KeywordHistory> seven = ledger.history(u"keyword 7"_s);
    QVERIFY(seven);
    QCOMPARE(seven->keyword, u"KEYWORD 7"_s);
    QCOMPARE(seven->sightings, 2);
    QCOMPARE(seven->firstSeen, T0.addSecs(-59'992 * 60));
    QCOMPARE(ledger.history(u"keyword 59999"_s)->lastSeen, T0);
    QCOMPARE(Rows(path(), u"PRAGMA journal_mode"_s), QStringList{u"wal"_s});
    QCOMPARE(Rows(path(), u"PRAGMA integrity_check"_s), QStringList{u"ok"_s});
    QVERIFY(!ledger.importPending());
}

void TestLedger::importBesideAHistory()
{
    // The import done late, after scrapes: what they saw is not imported again, nor a keyword that
    // already has its imported sighting.
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const auto when = [&](int hours) { return DateTimeText(T0.addSecs(hours * 3600).toLocalTime(), us); };
    TrendLedger ledger(path());
    QCOMPARE(ledger.open(), QString());
    QCOMPARE(ledger.recordScrape(T0.addSecs(3600), LedgerSource::Trending, Seen({u"Alpha"_s})), QString());
    QCOMPARE(ledger.recordScrapes({{T0, LedgerSource::Imported, Seen({u"beta"_s})}}), QString());
    TrendRows rows;
    rows.append({u"alpha"_s, when(1), u"1"_s}); // the row the scrape of 1 h changed
    rows.append({u"beta"_s, when(5), u"3"_s});
    rows.append({u"Gamma"_s, when(2), u"2"_s});
    rows.append({u"gamma"_s, when(3), u"1"_s});
    rows.append({u"delta"_s, when(1), u"1"_s});
    QVERIFY(ledger.importPending());
    QCOMPARE(ledger.importTable(rows, us), QString());
    QVERIFY(!ledger.importPending());
    QCOMPARE(SightingsIn(path()),
             (QStringList{u"Alpha@1"_s, u"beta@0"_s, u"delta@1"_s, u"gamma@2"_s, u"gamma@3"_s}));
    QCOMPARE(ledger.history(u"gamma"_s)->firstSeen, T0.addSecs(2 * 3600));
}

namespace {

const QStringList FirstVersion = {
    u"CREATE TABLE keywords (id INTEGER PRIMARY KEY, keyword TEXT NOT NULL, folded TEXT NOT NULL UNIQUE, "
    u"first_seen INTEGER NOT NULL)"_s,
    u"CREATE INDEX keywords_by_first_seen ON keywords (first_seen)"_s,
    u"CREATE TABLE sightings (id INTEGER PRIMARY KEY, keyword_id INTEGER NOT NULL, at INTEGER NOT NULL, "
    u"source "
    u"INTEGER NOT NULL, country TEXT NOT NULL DEFAULT '', traffic TEXT NOT NULL DEFAULT '', traffic_min "
    u"INTEGER, "
    u"rank INTEGER)"_s,
    u"CREATE INDEX sightings_by_keyword ON sightings (keyword_id, at)"_s,
};
const QStringList SecondVersion = {
    u"CREATE INDEX sightings_by_time ON sightings (at)"_s,
    u"CREATE TABLE news (id INTEGER PRIMARY KEY, url TEXT NOT NULL UNIQUE, title TEXT NOT NULL, source TEXT "
    u"NOT "
    u"NULL)"_s,
    u"CREATE TABLE sighting_news (sighting_id INTEGER NOT NULL, news_id INTEGER NOT NULL, PRIMARY KEY "
    u"(sighting_id, news_id)) WITHOUT ROWID"_s,
};

// A history as an earlier version of the program wrote it, with alpha's sightings from `sources`
// at T0, T0 + 1 h...
QStringList OlderHistory(int version, const QList<int>& sources)
{
    QStringList statements = FirstVersion;
    if (version >= 2)
        statements += SecondVersion;
    if (!sources.isEmpty())
        statements << u"INSERT INTO keywords VALUES (1, 'Alpha', 'alpha', %1)"_s.arg(T0.toSecsSinceEpoch());
    for (qsizetype n = 0; n < sources.size(); ++n)
        statements << u"INSERT INTO sightings VALUES (%1, 1, %2, %3, 'US', '200+', 200, 1)"_s.arg(n + 1)
                          .arg(T0.toSecsSinceEpoch() + n * 3600)
                          .arg(sources[n]);
    statements << u"PRAGMA user_version = %1"_s.arg(version);
    return statements;
}

} // namespace

void TestLedger::importStateOfAnOlderHistory_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QList<int>>("sources");
    QTest::addColumn<bool>("pending");
    QTest::newRow("version 2, imported") << 2 << QList<int>{2, 1} << false;
    QTest::newRow("version 2, scrapes only (import cut short)") << 2 << QList<int>{1, 1} << true;
    QTest::newRow("version 2, empty") << 2 << QList<int>{} << true;
    QTest::newRow("version 1, imported") << 1 << QList<int>{2} << false;
}

void TestLedger::importStateOfAnOlderHistory()
{
    QFETCH(int, version);
    QFETCH(QList<int>, sources);
    QFETCH(bool, pending);
    RunSql(path(), OlderHistory(version, sources));
    TrendLedger ledger(path());
    QCOMPARE(ledger.open(), QString());
    QCOMPARE(ledger.version(), TrendLedger::SchemaVersion);
    QCOMPARE(ledger.importPending(), pending);
    // A cut-short import adds what the scrapes did not see, and only that.
    TrendRows rows;
    rows.append({u"alpha"_s, DateTimeText(T0.addSecs(3600).toLocalTime()), u"2"_s});
    rows.append({u"beta"_s, DateTimeText(T0.toLocalTime()), u"1"_s});
    const qint64 before = ledger.sightingCount();
    if (pending) {
        QCOMPARE(ledger.importTable(rows), QString());
        QCOMPARE(ledger.sightingCount(), before + (sources.size() >= 2 ? 1 : 2));
    }
    QVERIFY(!ledger.importPending() || !pending);
}

void TestLedger::blankKeywordsLeftOut()
{
    // A feed item without link text gives a null keyword, a bare "<li>" an empty one: neither is a
    // keyword, and the rest of the scrape is kept.
    TrendLedger ledger(path());
    QCOMPARE(ledger.open(), QString());
    QCOMPARE(ledger.recordScrape(T0, LedgerSource::Classic,
                                 {{QString(), {}, {}, 1, {}},
                                  {u"alpha"_s, {}, {}, 2, {}},
                                  {u""_s, {}, {}, 3, {}},
                                  {u"  "_s, {}, {}, 4, {}},
                                  {u"beta"_s, {}, {}, 5, {}}}),
             QString());
    QCOMPARE(SightingsIn(path()), (QStringList{u"alpha@0"_s, u"beta@0"_s}));
    QCOMPARE(Rows(path(), u"SELECT COUNT(*) FROM keywords"_s), QStringList{u"2"_s});
}

void TestLedger::unreadableFileSetAside_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("not a database") << QByteArray("this is no database, only text\n").repeated(200);
    QByteArray header("SQLite format 3");
    header.append('\0');
    QTest::newRow("cut after its header") << header + QByteArray(84, '\x01');

    // A real history with a page in its middle overwritten: its first pages read well, so only a
    // look at the whole file finds it.
    QTemporaryDir dir;
    const QString file = dir.filePath(u"trends.sqlite"_s);
    {
        TrendLedger ledger(file);
        QCOMPARE(ledger.open(), QString());
        for (int hour = 0; hour < 40; ++hour) {
            QStringList keywords;
            for (int n = 0; n < 50; ++n)
                keywords << u"keyword %1 of hour %2"_s.arg(n).arg(hour);
            QCOMPARE(ledger.recordScrape(T0.addSecs(hour * 3600), LedgerSource::Trending, Seen(keywords)),
                     QString());
        }
    }
    const QStringList root = Rows(file, u"SELECT rootpage FROM sqlite_master WHERE name = 'sightings'"_s);
    QCOMPARE(root.size(), 1);
    QByteArray damaged = readFile(file);
    const qsizetype page = root[0].toLongLong() - 1;
    QVERIFY(damaged.size() > (page + 1) * 4096);
    damaged.replace(page * 4096, 4096, QByteArray(4096, '\xab'));
    QTest::newRow("a page damaged") << damaged;
}

void TestLedger::unreadableFileSetAside()
{
    QFETCH(QByteArray, bytes);
    writeFile(path(), bytes);
    TrendLedger ledger(path());
    QCOMPARE(ledger.open(), QString());
    QVERIFY2(ledger.notice().contains(u"; it was renamed trends.sqlite.unreadable-"_s),
             qPrintable(ledger.notice()));
    QVERIFY(ledger.createdNow());
    const QStringList aside = asideFiles();
    QCOMPARE(aside.size(), 1);
    QVERIFY(ledger.notice().contains(aside[0]));
    QCOMPARE(readFile(m_dir->filePath(aside[0])), bytes);
    QCOMPARE(ledger.recordScrape(T0, LedgerSource::Classic, {{u"alpha"_s, {}, {}, 1, {}}}), QString());
    QCOMPARE(ledger.sightingCount(), 1);
}

void TestLedger::lockedFileKept_data()
{
    QTest::addColumn<int>("hold");
    QTest::newRow("rollback journal, BEGIN EXCLUSIVE") << int(OtherProgram::RollbackExclusive);
    QTest::newRow("WAL, locking_mode=EXCLUSIVE") << int(OtherProgram::WalExclusive);
}

void TestLedger::lockedFileKept()
{
    // Another program holds the file: it is waited for, then left as it is; it is not damaged.
    QFETCH(int, hold);
    {
        TrendLedger ledger(path());
        QCOMPARE(ledger.open(), QString());
        QCOMPARE(ledger.recordScrape(T0, LedgerSource::Trending, Seen({u"alpha"_s})), QString());
    }
    OtherProgram other(path(), OtherProgram::Hold(hold));
    TrendLedger ledger(path());
    ledger.setBusyTimeout(50);
    QCOMPARE(ledger.open(), u"database is locked"_s); // SQLite's words, not the driver's
    QCOMPARE(ledger.fault(), LedgerFault::Busy);
    QVERIFY(!ledger.isOpen());
    QVERIFY(ledger.notice().isEmpty());
    QCOMPARE(asideFiles(), QStringList());
    // The other program's work goes on, on the same file.
    QVERIFY(other.release());
    QCOMPARE(ledger.open(), QString());
    QCOMPARE(ledger.sightingCount(), 1);
    QCOMPARE(Rows(path(), u"SELECT COUNT(*) FROM other_program"_s), QStringList{u"2"_s});
}

void TestLedger::writeWhileLockedFailsAndKeepsTheFile()
{
    TrendLedger ledger(path());
    ledger.setBusyTimeout(50);
    QCOMPARE(ledger.open(), QString());
    QCOMPARE(ledger.recordScrape(T0, LedgerSource::Trending, Seen({u"alpha"_s})), QString());
    OtherProgram other(path(), OtherProgram::Writing);
    QCOMPARE(ledger.recordScrape(T0.addSecs(3600), LedgerSource::Trending, Seen({u"beta"_s})),
             u"database is locked"_s);
    QCOMPARE(ledger.fault(), LedgerFault::Busy);
    QVERIFY(other.release());
    QCOMPARE(ledger.recordScrape(T0.addSecs(7200), LedgerSource::Trending, Seen({u"gamma"_s})), QString());
    QCOMPARE(ledger.fault(), LedgerFault::None);
    QCOMPARE(SightingsIn(path()), (QStringList{u"alpha@0"_s, u"gamma@2"_s}));
    QCOMPARE(asideFiles(), QStringList());
}

void TestLedger::fullDiskKeepsTheFile()
{
    const QString folder = m_dir->filePath(u"disk"_s);
    QVERIFY(QDir().mkpath(folder));
    FailingFolder disk(folder, FailingFolder::Kind::Full);
    if (!disk.ready())
        QSKIP(qPrintable(disk.error()));
    const QString file = QDir(folder).filePath(u"trends.sqlite"_s);
    const auto aside = [&] { return QDir(folder).entryList({u"trends.sqlite.unreadable-*"_s}, QDir::Files); };
    {
        TrendLedger ledger(file);
        QCOMPARE(ledger.open(), QString());
        QCOMPARE(ledger.recordScrape(T0, LedgerSource::Trending, Seen({u"alpha"_s})), QString());
    }
    const QByteArray before = readFile(file);

    // Full at the start: the file cannot get its log beside it, and stays as it is.
    disk.fillUp();
    TrendLedger ledger(file);
    QVERIFY(!ledger.open().isEmpty());
    QCOMPARE(ledger.fault(), LedgerFault::Disk);
    QCOMPARE(aside(), QStringList());
    QCOMPARE(readFile(file), before);

    // Full during a write: the write fails whole, and the file stays.
    disk.release();
    QCOMPARE(ledger.open(), QString());
    disk.fillUp();
    QStringList many;
    for (int n = 0; n < 5000; ++n)
        many << u"a keyword long enough to fill the last pages of the disk, number %1"_s.arg(n);
    QCOMPARE(ledger.recordScrape(T0.addSecs(3600), LedgerSource::Trending, Seen(many)),
             u"database or disk is full"_s);
    QCOMPARE(ledger.fault(), LedgerFault::Disk);
    disk.release();
    QCOMPARE(ledger.recordScrape(T0.addSecs(7200), LedgerSource::Trending, Seen({u"gamma"_s})), QString());
    QCOMPARE(ledger.sightingCount(), 2);
    QCOMPARE(aside(), QStringList());
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

namespace {

// Every file of a folder with its bytes.
QMap<QString, QByteArray> FilesOf(const QString& folder)
{
    QMap<QString, QByteArray> files;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden))
        files.insert(name, readFile(QDir(folder).filePath(name)));
    return files;
}

} // namespace

void TestLedger::readOnlyChangesNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("version");
    QTest::addColumn<qint64>("sightings");
    QTest::newRow("zero-length file") << u"empty"_s << QString() << 0 << qint64(-1);
    QTest::newRow("version 1: read without news") << u"first version"_s << QString() << 1 << qint64(2);
    QTest::newRow("newer version") << u"newer"_s
                                   << u"the history of trends was written by a newer version of the program"_s
                                   << 0 << qint64(-1);
    QTest::newRow("read-only folder")
        << u"read-only folder"_s << QString() << TrendLedger::SchemaVersion << qint64(1);
}

void TestLedger::readOnlyChangesNothing()
{
    QFETCH(QString, kind);
    QFETCH(QString, error);
    QFETCH(int, version);
    QFETCH(qint64, sightings);
    const QString folder = m_dir->filePath(u"history"_s);
    QVERIFY(QDir().mkpath(folder));
    const QString file = QDir(folder).filePath(u"trends.sqlite"_s);
    if (kind == u"empty"_s) {
        writeFile(file, {});
    } else if (kind == u"first version"_s) {
        RunSql(file, OlderHistory(1, {1, 1}));
    } else if (kind == u"newer"_s) {
        RunSql(file, {u"CREATE TABLE later (x)"_s, u"PRAGMA user_version = 99"_s});
    } else {
        TrendLedger ledger(file);
        QCOMPARE(ledger.open(), QString());
        QCOMPARE(ledger.recordScrape(T0, LedgerSource::Trending,
                                     {{u"Alpha"_s, u"US"_s, u"200+"_s, 1, {news(u"a"_s)}}}),
                 QString());
    }
    std::unique_ptr<FailingFolder> readOnly;
    if (kind == u"read-only folder"_s) {
        readOnly = std::make_unique<FailingFolder>(folder, FailingFolder::Kind::ReadOnly);
        if (!readOnly->ready())
            QSKIP(qPrintable(readOnly->error()));
    }
    const QMap<QString, QByteArray> before = FilesOf(folder);

    TrendLedger ledger(file);
    QCOMPARE(ledger.open(TrendLedger::Access::ReadOnly), error);
    if (error.isEmpty()) {
        QCOMPARE(ledger.version(), version);
        const std::optional<KeywordHistory> history = ledger.history(u"alpha"_s);
        QCOMPARE(history.has_value(), sightings >= 0);
        if (history) {
            QCOMPARE(history->sightings, sightings);
            QCOMPARE(history->news.isEmpty(), version < 2);
        }
        // A reader does not write.
        QVERIFY(!ledger.recordScrape(T0, LedgerSource::Trending, Seen({u"beta"_s})).isEmpty());
    }
    ledger.close();
    QCOMPARE(FilesOf(folder), before);
}

// ---- The history as the window and the watch use it --------------------------------------------

namespace {

// What keeps the history from writing: another program's lock, or a full disk.
class Obstacle {
public:
    enum Kind { Writing, RollbackExclusive, WalExclusive, FullDisk };

    Obstacle(Kind kind, const QString& file, FailingFolder* disk)
        : m_disk(disk)
    {
        if (kind == FullDisk)
            disk->fillUp();
        else
            m_other = std::make_unique<OtherProgram>(file, OtherProgram::Hold(kind));
    }
    bool release()
    {
        if (m_disk)
            m_disk->release();
        return !m_other || m_other->release();
    }

private:
    FailingFolder* m_disk = nullptr;
    std::unique_ptr<OtherProgram> m_other;
};

} // namespace

void TestLedger::sightingsWaitAndGoInInTimeOrder_data()
{
    QTest::addColumn<int>("obstacle");
    QTest::addColumn<QString>("reason");
    QTest::newRow("another program writing") << int(Obstacle::Writing) << u"database is locked"_s;
    QTest::newRow("rollback journal, BEGIN EXCLUSIVE")
        << int(Obstacle::RollbackExclusive) << u"database is locked"_s;
    QTest::newRow("WAL, locking_mode=EXCLUSIVE") << int(Obstacle::WalExclusive) << u"database is locked"_s;
    QTest::newRow("full disk") << int(Obstacle::FullDisk)
                               << QString(); // SQLite's words depend on where it fails
}

void TestLedger::sightingsWaitAndGoInInTimeOrder()
{
    QFETCH(int, obstacle);
    QFETCH(QString, reason);
    const QString folder = m_dir->filePath(u"history"_s);
    QVERIFY(QDir().mkpath(folder));
    std::unique_ptr<FailingFolder> disk;
    if (obstacle == Obstacle::FullDisk) {
        disk = std::make_unique<FailingFolder>(folder, FailingFolder::Kind::Full);
        if (!disk->ready())
            QSKIP(qPrintable(disk->error()));
    }
    const QString file = QDir(folder).filePath(u"trends.sqlite"_s);
    TrendHistory history(file);
    history.setPatience(100, 3600 * 1000); // no try but the next scrape's
    QSignalSpy told(&history, &TrendHistory::problem);
    history.open({});
    history.record(T0, LedgerSource::Trending, Seen({u"alpha"_s}));
    history.waitForJobs();
    QCOMPARE(history.waitingSightings(), 0);

    Obstacle hindrance(Obstacle::Kind(obstacle), file, disk.get());
    history.record(T0.addSecs(3600), LedgerSource::Trending, Seen({u"beta"_s, u"gamma"_s}));
    history.waitForJobs();
    QCOMPARE(history.waitingSightings(), 2);
    history.record(T0.addSecs(2 * 3600), LedgerSource::Trending, Seen({u"delta"_s}));
    history.waitForJobs();
    QCOMPARE(history.waitingSightings(), 3);
    // Told once, in the program's words with SQLite's reason after them.
    QTRY_COMPARE(told.size(), 1);
    const QString text = told[0][0].toString();
    const QString program =
        u"The sightings of the scrape of %1 could not be kept in the history of trends: "_s.arg(
            QLocale().toString(QTime(11, 0), QLocale::ShortFormat));
    QVERIFY2(text.startsWith(program), qPrintable(text));
    QVERIFY2(text.endsWith(u". They wait and are written at the next chance."_s), qPrintable(text));
    if (!reason.isEmpty())
        QCOMPARE(text.mid(program.size()).section(u'.', 0, 0), reason);
    QVERIFY2(!text.contains(u"Unable to"_s) && !text.contains(u"Parameter"_s), qPrintable(text));

    QVERIFY(hindrance.release());
    history.record(T0.addSecs(3 * 3600), LedgerSource::Trending, Seen({u"epsilon"_s}));
    history.waitForJobs();
    QCOMPARE(history.waitingSightings(), 0);
    QCOMPARE(SightingsIn(file),
             (QStringList{u"alpha@0"_s, u"beta@1"_s, u"gamma@1"_s, u"delta@2"_s, u"epsilon@3"_s}));
    QCOMPARE(QDir(folder).entryList({u"*.unreadable-*"_s}), QStringList());
    QTest::qWait(0); // a message still on its way would show now
    QCOMPARE(told.size(), 1);
}

void TestLedger::waitingSightingsWrittenWhenTheLockGoes()
{
    TrendHistory history(path());
    history.setPatience(50, 20); // tried again soon
    QSignalSpy told(&history, &TrendHistory::problem);
    history.open({});
    history.waitForJobs();
    auto other = std::make_unique<OtherProgram>(path(), OtherProgram::WalExclusive);
    history.record(T0, LedgerSource::Trending, Seen({u"alpha"_s}));
    QTRY_COMPARE(told.size(), 1);
    QCOMPARE(history.waitingSightings(), 1);
    QVERIFY(other->release());
    other.reset();
    // No scrape comes: the sightings go in at a later try of their own.
    QTRY_COMPARE_WITH_TIMEOUT(history.waitingSightings(), 0, 60000);
    history.waitForJobs();
    QCOMPARE(SightingsIn(path()), QStringList{u"alpha@0"_s});
}

void TestLedger::closeTriesWaitingSightingsOnceMore_data()
{
    QTest::addColumn<bool>("lockGone");
    QTest::newRow("the lock gone by the close") << true;
    QTest::newRow("the lock still held at the close") << false;
}

void TestLedger::closeTriesWaitingSightingsOnceMore()
{
    QFETCH(bool, lockGone);
    qputenv("QUILLORY_HOME", QFile::encodeName(m_dir->path())); // where the log goes
    const auto home = qScopeGuard([] { qunsetenv("QUILLORY_HOME"); });
    auto history = std::make_unique<TrendHistory>(path());
    history->setPatience(50, 3600 * 1000);
    history->open({});
    history->record(T0, LedgerSource::Trending, Seen({u"alpha"_s}));
    history->waitForJobs();
    OtherProgram other(path(), OtherProgram::WalExclusive);
    history->record(T0.addSecs(3600), LedgerSource::Trending, Seen({u"beta"_s, u"gamma"_s}));
    history->waitForJobs();
    QCOMPARE(history->waitingSightings(), 2);
    if (lockGone)
        QVERIFY(other.release());
    history.reset(); // the end of the program
    QVERIFY(other.release());
    const QByteArray log = readFile(m_dir->filePath(u"crash.log"_s));
    if (lockGone) {
        QCOMPARE(SightingsIn(path()), (QStringList{u"alpha@0"_s, u"beta@1"_s, u"gamma@1"_s}));
        QVERIFY2(!log.contains("could not be written"), log.constData());
    } else {
        QCOMPARE(SightingsIn(path()), QStringList{u"alpha@0"_s});
        const QString told =
            u"TrendHistory: 2 sighting(s) of the scrapes of %1 could not be written to the history of "
            u"trends: database is locked"_s.arg(QLocale().toString(QTime(11, 0), QLocale::ShortFormat));
        QVERIFY2(log.contains(told.toUtf8()), log.constData());
    }
}

void TestLedger::waitingIsBounded()
{
    TrendHistory history(path());
    history.setPatience(50, 3600 * 1000);
    history.setWaitingLimit(3);
    QSignalSpy told(&history, &TrendHistory::problem);
    history.open({});
    history.waitForJobs();
    auto other = std::make_unique<OtherProgram>(path(), OtherProgram::WalExclusive);
    for (int hour = 1; hour <= 3; ++hour) {
        history.record(T0.addSecs(hour * 3600), LedgerSource::Trending,
                       Seen({u"first of %1"_s.arg(hour), u"second of %1"_s.arg(hour)}));
    }
    history.waitForJobs();
    // The newest scrapes wait; the oldest go, and the user is told.
    QCOMPARE(history.waitingSightings(), 2);
    QTRY_COMPARE(told.size(), 2);
    QVERIFY2(told[1][0].toString().contains(u"could wait no longer"_s), qPrintable(told[1][0].toString()));
    QVERIFY(other->release());
    other.reset();
    history.record(T0.addSecs(4 * 3600), LedgerSource::Trending, Seen({u"last"_s}));
    history.waitForJobs();
    QCOMPARE(SightingsIn(path()), (QStringList{u"first of 3@3"_s, u"second of 3@3"_s, u"last@4"_s}));
}

void TestLedger::damagedHistorySetAsideAndToldOnce()
{
    writeFile(path(), QByteArray("no history in here\n").repeated(300));
    TrendHistory history(path());
    QSignalSpy told(&history, &TrendHistory::problem);
    history.open({});
    history.record(T0, LedgerSource::Trending, Seen({u"alpha"_s}));
    (void)history.summaries();
    history.waitForJobs();
    history.record(T0.addSecs(3600), LedgerSource::Trending, Seen({u"beta"_s}));
    history.waitForJobs();
    QTRY_COMPARE(told.size(), 1);
    const QStringList aside = asideFiles();
    QCOMPARE(aside.size(), 1);
    QVERIFY2(told[0][0].toString().contains(u"it was renamed "_s + aside[0] + u" and a new one begun"_s),
             qPrintable(told[0][0].toString()));
    QCOMPARE(SightingsIn(path()), (QStringList{u"alpha@0"_s, u"beta@1"_s}));
    QTest::qWait(0);
    QCOMPARE(told.size(), 1);
}

void TestLedger::newerHistoryToldOnceAndLeftAlone()
{
    RunSql(path(), {u"CREATE TABLE later (x)"_s, u"PRAGMA user_version = 99"_s});
    const QByteArray before = readFile(path());
    qputenv("QUILLORY_HOME", QFile::encodeName(m_dir->path()));
    const auto home = qScopeGuard([] { qunsetenv("QUILLORY_HOME"); });
    {
        TrendHistory history(path());
        history.setWaitingLimit(2);
        QSignalSpy told(&history, &TrendHistory::problem);
        TrendRows table;
        table.append({u"alpha"_s, DateTimeText(T0.toLocalTime()), u"1"_s});
        history.open(table);
        for (int hour = 0; hour < 4; ++hour)
            history.record(T0.addSecs(hour * 3600), LedgerSource::Trending, Seen({u"alpha"_s, u"beta"_s}));
        (void)history.summaries();
        history.waitForJobs();
        QCOMPARE(history.waitingSightings(), 0);
        QTRY_COMPARE(told.size(), 1);
        QCOMPARE(told[0][0].toString(),
                 u"The history of trends is not kept: the history of trends was written by a "
                 u"newer version of the program"_s);
        QTest::qWait(0);
        QCOMPARE(told.size(), 1);
    }
    QCOMPARE(readFile(path()), before);
    QCOMPARE(asideFiles(), QStringList());
    QVERIFY(!readFile(m_dir->filePath(u"crash.log"_s)).contains("could not be written"));
}

void TestLedger::importCutShortIsFinishedAtTheNextStart()
{
    // The first start imports the table; the program ends during the import, after a scrape was
    // kept. The next start finishes the import, and the history is what one import done at once
    // and that scrape make.
    const QLocale locale;
    TrendRows table;
    for (int n = 0; n < 300; ++n)
        table.append({u"keyword %1"_s.arg(n), DateTimeText(T0.addSecs(-n * 60).toLocalTime()), u"1"_s});
    const QList<LedgerSighting> scrape = Seen({u"keyword 7"_s, u"Keyword 8"_s, u"new one"_s});
    const QDateTime scrapedAt = T0.addSecs(3600);
    // What the scrape made of the table meanwhile: two rows seen again, one new.
    TrendRows scraped = table;
    scraped.setDateAndCount(7, DateTimeText(scrapedAt.toLocalTime()), u"2"_s);
    scraped.setDateAndCount(8, DateTimeText(scrapedAt.toLocalTime()), u"2"_s);
    scraped.append({u"new one"_s, DateTimeText(scrapedAt.toLocalTime()), u"1"_s});

    const QString reference = m_dir->filePath(u"reference.sqlite"_s);
    {
        TrendLedger ledger(reference);
        QCOMPARE(ledger.open(), QString());
        QCOMPARE(ledger.importTable(table, locale), QString());
        QCOMPARE(ledger.recordScrape(scrapedAt, LedgerSource::Trending, scrape), QString());
    }

    {
        // The file is held while the program starts, so that the import cannot begin before the
        // scrape comes and the end of the program stops it.
        auto other = std::make_unique<OtherProgram>(path(), OtherProgram::WalExclusive);
        TrendHistory history(path());
        history.setPatience(50, 3600 * 1000);
        history.open(table);
        history.record(scrapedAt, LedgerSource::Trending, scrape);
        history.waitForJobs();
        QCOMPARE(history.waitingSightings(), 3);
        QVERIFY(other->release());
        other.reset();
    } // the close writes the scrape; the import is still to be done
    {
        TrendLedger ledger(path());
        QCOMPARE(ledger.open(), QString());
        QVERIFY(ledger.importPending());
        QVERIFY(ledger.hasSightings());
    }
    {
        TrendHistory history(path());
        history.open(scraped);
        history.waitForJobs();
    }
    QCOMPARE(ContentOf(path()), ContentOf(reference));
}

QTEST_GUILESS_MAIN(TestLedger)
#include "tst_ledger.moc"
