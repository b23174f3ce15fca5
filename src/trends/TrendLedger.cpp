#include "trends/TrendLedger.h"

#include "trends/TrendRecord.h"
#include "util/DateTimeTextReader.h"

#include <QAtomicInteger>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <vector>

namespace {

// The indexes that only speed up reading: an import into an empty history builds them after its
// rows are in, which is much faster than keeping them up to date row by row.
const QString SightingsByKeyword =
    QStringLiteral("CREATE INDEX sightings_by_keyword ON sightings (keyword_id, at)");
const QString SightingsByTime = QStringLiteral("CREATE INDEX sightings_by_time ON sightings (at)");

// The steps from one schema version to the next: step n makes version n + 1. Times are seconds
// since 1970 in UTC; a keyword is kept once, by its case-folded form.
const QStringList Migrations[] = {
    {
        QStringLiteral("CREATE TABLE keywords (id INTEGER PRIMARY KEY, keyword TEXT NOT NULL, "
                       "folded TEXT NOT NULL UNIQUE, first_seen INTEGER NOT NULL)"),
        QStringLiteral("CREATE INDEX keywords_by_first_seen ON keywords (first_seen)"),
        // source: 0 the classic feed, 1 trending now, 2 a row of a table from before the ledger.
        QStringLiteral("CREATE TABLE sightings (id INTEGER PRIMARY KEY, keyword_id INTEGER NOT NULL, "
                       "at INTEGER NOT NULL, source INTEGER NOT NULL, country TEXT NOT NULL DEFAULT '', "
                       "traffic TEXT NOT NULL DEFAULT '', traffic_min INTEGER, rank INTEGER)"),
        SightingsByKeyword,
    },
    {
        SightingsByTime,
        QStringLiteral("CREATE TABLE news (id INTEGER PRIMARY KEY, url TEXT NOT NULL UNIQUE, "
                       "title TEXT NOT NULL, source TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE sighting_news (sighting_id INTEGER NOT NULL, news_id INTEGER NOT NULL, "
                       "PRIMARY KEY (sighting_id, news_id)) WITHOUT ROWID"),
    },
    {
        // What the ledger must remember beyond its sightings: whether the table's import is done.
        // A history of before holds imported sightings when its import was done; one without any
        // either had an empty table or was cut short, and an import into it adds only what its
        // scrapes did not see.
        QStringLiteral(
            "CREATE TABLE state (name TEXT PRIMARY KEY NOT NULL, value TEXT NOT NULL) WITHOUT ROWID"),
        QStringLiteral("INSERT INTO state (name, value) SELECT 'import', CASE WHEN EXISTS (SELECT 1 FROM "
                       "sightings WHERE source = 2) THEN 'done' ELSE 'pending' END"),
        // No query looks keywords up by their first sighting; keeping the index only cost every
        // write.
        QStringLiteral("DROP INDEX keywords_by_first_seen"),
    },
    {
        // When the feed says the trend began (seconds, UTC); NULL where it did not say.
        QStringLiteral("ALTER TABLE sightings ADD COLUMN started INTEGER"),
    },
};
static_assert(std::size(Migrations) == TrendLedger::SchemaVersion);

constexpr qint64 SecondsPerDay = 24 * 60 * 60;

// SQLite's primary result codes that decide what becomes of the file.
constexpr int SqliteBusy = 5;
constexpr int SqliteLocked = 6;
constexpr int SqliteIoError = 10;
constexpr int SqliteCorrupt = 11;
constexpr int SqliteFull = 13;
constexpr int SqliteNotADatabase = 26;

LedgerFault FaultOf(const QSqlError& error)
{
    bool read = false;
    // The low byte is the primary code also when SQLite gives an extended one.
    const int code = error.nativeErrorCode().toInt(&read) & 0xff;
    if (!read)
        return LedgerFault::Other;
    switch (code) {
    case SqliteBusy:
    case SqliteLocked:
        return LedgerFault::Busy;
    case SqliteIoError:
    case SqliteFull:
        return LedgerFault::Disk;
    case SqliteCorrupt:
    case SqliteNotADatabase:
        return LedgerFault::Damaged;
    default:
        return LedgerFault::Other;
    }
}

// A statement prepared once and run many times; preparing is checked, so that a failure says
// SQLite's reason and not the driver's ("Parameter count mismatch").
class Statement {
public:
    Statement(const QSqlDatabase& db, const QString& text)
        : m_query(db)
    {
        m_prepared = m_query.prepare(text);
        if (!m_prepared)
            m_error = m_query.lastError();
    }

    // Runs it with these values; false when it failed (error() says why).
    bool run(std::initializer_list<QVariant> values)
    {
        int index = 0;
        for (const QVariant& value : values)
            m_query.bindValue(index++, value);
        return run();
    }
    bool run()
    {
        if (!m_prepared)
            return false;
        if (m_query.exec())
            return true;
        m_error = m_query.lastError();
        return false;
    }
    // Runs a statement that returns the id of its row (RETURNING id) with these values.
    bool runForId(std::initializer_list<QVariant> values, qint64& id)
    {
        if (!run(values))
            return false;
        if (!m_query.next()) {
            m_error = m_query.lastError();
            return false;
        }
        id = m_query.value(0).toLongLong();
        m_query.finish();
        return true;
    }
    void bind(int index, const QVariant& value) { m_query.bindValue(index, value); }
    QSqlQuery& query() { return m_query; }
    const QSqlError& error() const { return m_error; }

private:
    QSqlQuery m_query;
    bool m_prepared = false;
    QSqlError m_error;
};

// Runs one statement; an invalid error when it succeeded.
QSqlError Exec(const QSqlDatabase& db, const QString& statement)
{
    QSqlQuery query(db);
    return query.exec(statement) ? QSqlError() : query.lastError();
}

// A text as SQL has it: an empty one is '' (a null QString would be NULL).
QVariant Text(const QString& text)
{
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

QVariant OptionalNumber(std::optional<qint64> value)
{
    return value ? QVariant(*value) : QVariant(QMetaType::fromType<qint64>());
}

std::optional<qint64> NumberOf(const QVariant& value)
{
    return value.isNull() ? std::nullopt : std::optional<qint64>(value.toLongLong());
}

QDateTime TimeOf(const QVariant& seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds.toLongLong(), Qt::UTC);
}

// A feed item without a keyword (empty link text, a bare "<li>") is not a keyword.
bool IsKeyword(QStringView keyword)
{
    return !keyword.trimmed().isEmpty();
}

// The statements that add one sighting, prepared once for a whole transaction.
class SightingWriter {
public:
    explicit SightingWriter(const QSqlDatabase& db)
        : m_keyword(db, QStringLiteral("INSERT INTO keywords (keyword, folded, first_seen) VALUES (?, ?, ?) "
                                       "ON CONFLICT (folded) DO UPDATE SET keyword = excluded.keyword, "
                                       "first_seen = MIN(first_seen, excluded.first_seen) RETURNING id"))
        , m_sighting(db, QStringLiteral("INSERT INTO sightings (keyword_id, at, source, country, traffic, "
                                        "traffic_min, rank, started) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"))
        , m_news(db, QStringLiteral(
                         "INSERT INTO news (url, title, source) VALUES (?, ?, ?) ON CONFLICT (url) "
                         "DO UPDATE SET title = excluded.title, source = excluded.source RETURNING id"))
        , m_link(db,
                 QStringLiteral("INSERT OR IGNORE INTO sighting_news (sighting_id, news_id) VALUES (?, ?)"))
        , m_known(db,
                  QStringLiteral("SELECT EXISTS (SELECT 1 FROM keywords k JOIN sightings s ON s.keyword_id = "
                                 "k.id WHERE k.folded = ? AND (s.source = 2 OR s.at = ?))"))
    {
    }

    // Returns what went wrong, an invalid error when nothing did.
    QSqlError add(qint64 at, LedgerSource source, const LedgerSighting& sighting)
    {
        const QString folded = sighting.keyword.toCaseFolded();
        if (source == LedgerSource::Imported) {
            // Imported once per keyword, and never beside a sighting of a scrape at that time.
            if (!m_known.run({folded, at}) || !m_known.query().next())
                return m_known.error();
            const bool known = m_known.query().value(0).toBool();
            m_known.query().finish();
            if (known)
                return {};
        }
        qint64 keywordId = 0;
        if (!m_keyword.runForId({sighting.keyword, folded, at}, keywordId))
            return m_keyword.error();
        if (!m_sighting.run(
                {keywordId, at, int(source), Text(sighting.country), Text(sighting.traffic),
                 OptionalNumber(TrafficLowerBound(sighting.traffic)),
                 sighting.rank > 0 ? QVariant(sighting.rank) : QVariant(QMetaType::fromType<int>()),
                 sighting.started.isValid() ? QVariant(sighting.started.toSecsSinceEpoch())
                                            : QVariant(QMetaType::fromType<qint64>())}))
            return m_sighting.error();
        const qint64 sightingId = m_sighting.query().lastInsertId().toLongLong();

        for (const TrendingNews& news : sighting.news) {
            if (news.url.isEmpty())
                continue;
            qint64 newsId = 0;
            if (!m_news.runForId({news.url, Text(news.title), Text(news.source)}, newsId))
                return m_news.error();
            if (!m_link.run({sightingId, newsId}))
                return m_link.error();
        }
        return {};
    }

private:
    Statement m_keyword;
    Statement m_sighting;
    Statement m_news;
    Statement m_link;
    Statement m_known;
};

// Inserts many rows with few statements: VALUES lists of up to `Rows` rows, each statement
// prepared once, so that the cost of a statement is shared by many rows.
class BulkInsert {
public:
    static constexpr int Rows = 200;

    // `head`: "INSERT INTO table (columns) VALUES"; `row`: one row's values, as "(?, ?, 2)".
    BulkInsert(const QSqlDatabase& db, const QString& head, const QString& row)
        : m_db(db)
        , m_head(head)
        , m_row(row)
        , m_full(db, statementText(Rows))
    {
    }

    // Adds one row; an invalid error unless a statement failed.
    QSqlError add(std::initializer_list<QVariant> values)
    {
        for (const QVariant& value : values)
            m_full.bind(m_values++, value);
        if (++m_held < Rows)
            return {};
        m_held = 0;
        m_values = 0;
        return m_full.run() ? QSqlError() : m_full.error();
    }
    // Writes the rows still held.
    QSqlError finish()
    {
        if (m_held == 0)
            return {};
        Statement rest(m_db, statementText(m_held));
        QSqlQuery& full = m_full.query();
        for (int index = 0; index < m_values; ++index)
            rest.bind(index, full.boundValue(index));
        m_held = 0;
        m_values = 0;
        return rest.run() ? QSqlError() : rest.error();
    }

private:
    QString statementText(int rows) const
    {
        QString text = m_head;
        text.reserve(m_head.size() + rows * (m_row.size() + 1));
        for (int row = 0; row < rows; ++row) {
            text += row == 0 ? u' ' : u',';
            text += m_row;
        }
        return text;
    }

    QSqlDatabase m_db;
    QString m_head;
    QString m_row;
    Statement m_full;
    int m_held = 0;   // rows bound to the full statement, not yet written
    int m_values = 0; // values bound
};

// Runs `write` in one transaction that holds the write lock from its start (a lock that another
// program holds is waited for as long as the busy timeout says): all of it is kept, or nothing.
template <typename Write> QSqlError InTransaction(const QSqlDatabase& db, const Write& write)
{
    if (QSqlError error = Exec(db, QStringLiteral("BEGIN IMMEDIATE")); error.isValid())
        return error;
    QSqlError error = write();
    if (!error.isValid())
        error = Exec(db, QStringLiteral("COMMIT"));
    if (error.isValid())
        (void)Exec(db, QStringLiteral("ROLLBACK")); // SQLite may have rolled it back already
    return error;
}

// An error of our own, for a stop asked for: not SQLite's.
QSqlError Stopped()
{
    return QSqlError(QString(), QStringLiteral("stopped"), QSqlError::UnknownError);
}

// Wall-clock times of this machine's zone as seconds since 1970 in UTC, as QDateTime makes them, but
// with the zone's offset looked up once an hour of wall-clock time rather than once a row: each
// look-up may read the zone's file, microseconds that a million rows add up to seconds.
class WallClockToUtc {
public:
    qint64 seconds(qint64 msecsSinceZero)
    {
        constexpr qint64 MsecsPerHour = 3'600'000;
        const qint64 hour = msecsSinceZero / MsecsPerHour - (msecsSinceZero % MsecsPerHour < 0 ? 1 : 0);
        auto offset = m_offsets.constFind(hour);
        if (offset == m_offsets.cend()) {
            const QDateTime start = local(hour * MsecsPerHour);
            const QDateTime end = local(hour * MsecsPerHour + MsecsPerHour - 1);
            const bool steady =
                start.isValid() && end.isValid() && start.offsetFromUtc() == end.offsetFromUtc();
            offset =
                m_offsets.insert(hour, steady ? std::optional<int>(start.offsetFromUtc()) : std::nullopt);
        }
        // The hour in which the clock is changed: each time on its own.
        if (!*offset)
            return local(msecsSinceZero).toSecsSinceEpoch();
        return (msecsSinceZero - ZeroToEpochMsecs) / 1000 - **offset;
    }

private:
    static constexpr qint64 MsecsPerDay = 86'400'000;
    static constexpr qint64 ZeroToEpochMsecs = 25'569 * MsecsPerDay; // 30 December 1899 to 1 January 1970

    static QDateTime local(qint64 msecsSinceZero)
    {
        const qint64 days = msecsSinceZero / MsecsPerDay - (msecsSinceZero % MsecsPerDay < 0 ? 1 : 0);
        return QDateTime(QDate(1899, 12, 30).addDays(days),
                         QTime::fromMSecsSinceStartOfDay(int(msecsSinceZero - days * MsecsPerDay)));
    }

    QHash<qint64, std::optional<int>> m_offsets;
};

// One row of a table on its way into the history. The first eight letters of its keyword are
// kept beside it as two numbers that compare as the letters do, so that sorting a million rows
// seldom has to look at the keywords themselves, which lie all over memory.
struct ImportEntry {
    QString folded;
    quint64 head[2] = {0, 0};
    qint64 at = 0;
    qsizetype row = 0;

    ImportEntry(QString keyword, qint64 time, qsizetype index)
        : folded(std::move(keyword))
        , at(time)
        , row(index)
    {
        const qsizetype letters = std::min<qsizetype>(folded.size(), 8);
        for (qsizetype i = 0; i < letters; ++i)
            head[i / 4] |= quint64(folded[i].unicode()) << (48 - 16 * (i % 4));
    }
};

bool ImportOrder(const ImportEntry& a, const ImportEntry& b)
{
    if (a.head[0] != b.head[0])
        return a.head[0] < b.head[0];
    if (a.head[1] != b.head[1])
        return a.head[1] < b.head[1];
    const int order = QStringView(a.folded).compare(QStringView(b.folded));
    return order != 0 ? order < 0 : a.at < b.at;
}

// The rows of a table that go into the history, in import order (nothing more once a stop is
// asked for).
std::vector<ImportEntry> SortedEntries(const TrendRows& rows, const QLocale& locale,
                                       const std::stop_token& stop)
{
    const DateTimeTextReader reader(locale);
    WallClockToUtc utc;
    std::vector<ImportEntry> entries;
    entries.reserve(size_t(rows.size()));
    for (qsizetype row = 0; row < rows.size(); ++row) {
        if (row % 4096 == 0 && stop.stop_requested())
            return entries;
        const QStringView keyword = rows.keyword(row);
        if (!IsKeyword(keyword))
            continue;
        const std::optional<qint64> seen = reader.msecsSinceZero(rows.date(row));
        if (!seen)
            continue;
        entries.emplace_back(keyword.toString().toCaseFolded(), utc.seconds(*seen), row);
    }
    std::sort(entries.begin(), entries.end(), ImportOrder);
    return entries;
}

// Larger page cache for the time of an import, so that its pages stay in memory until the commit;
// the cache it had comes back after.
class BiggerCache {
public:
    explicit BiggerCache(const QSqlDatabase& db)
        : m_db(db)
    {
        QSqlQuery query(db);
        if (query.exec(QStringLiteral("PRAGMA cache_size")) && query.next())
            m_before = query.value(0).toLongLong();
        // In KiB when negative: 256 MiB.
        (void)Exec(db, QStringLiteral("PRAGMA cache_size = -262144"));
    }
    ~BiggerCache() { (void)Exec(m_db, QStringLiteral("PRAGMA cache_size = %1").arg(m_before)); }
    BiggerCache(const BiggerCache&) = delete;
    BiggerCache& operator=(const BiggerCache&) = delete;

private:
    QSqlDatabase m_db;
    qint64 m_before = -2000;
};

// For an import into an empty history: its rows are written once, straight into the file, under a
// rollback journal, which has to keep only the few pages the file had; in WAL mode every page
// would be written twice (to the log, then into the file). WAL mode comes back after. Another
// connection to the file (a reader) keeps it in WAL mode, which only takes longer.
class RollbackJournal {
public:
    explicit RollbackJournal(const QSqlDatabase& db)
        : m_db(db)
    {
        QSqlQuery query(db);
        m_switched = query.exec(QStringLiteral("PRAGMA journal_mode = DELETE")) && query.next() &&
                     query.value(0).toString() == QLatin1String("delete");
    }
    ~RollbackJournal()
    {
        // Should this fail, the next open sets WAL mode again.
        if (m_switched)
            (void)Exec(m_db, QStringLiteral("PRAGMA journal_mode = WAL"));
    }
    RollbackJournal(const RollbackJournal&) = delete;
    RollbackJournal& operator=(const RollbackJournal&) = delete;

private:
    QSqlDatabase m_db;
    bool m_switched = false;
};

// Into an empty history: the keywords with ids of their own in folded order, their sightings, and
// then the indexes.
QSqlError ImportIntoEmpty(const QSqlDatabase& db, const TrendRows& rows,
                          const std::vector<ImportEntry>& entries, const std::stop_token& stop)
{
    for (const QString& index :
         {QStringLiteral("sightings_by_keyword"), QStringLiteral("sightings_by_time")}) {
        if (QSqlError error = Exec(db, QStringLiteral("DROP INDEX IF EXISTS %1").arg(index)); error.isValid())
            return error;
    }
    // The keywords table is empty and takes them in order: their ids are 1, 2, 3...
    BulkInsert keywords(db, QStringLiteral("INSERT INTO keywords (keyword, folded, first_seen) VALUES"),
                        QStringLiteral("(?,?,?)"));
    BulkInsert later(db, QStringLiteral("INSERT INTO sightings (keyword_id, at, source) VALUES"),
                     QStringLiteral("(?,?,2)"));
    qint64 id = 0;
    for (size_t first = 0; first < entries.size();) {
        if (stop.stop_requested())
            return Stopped();
        // One keyword: its rows by time, the last one giving its text as last seen.
        size_t end = first + 1;
        while (end < entries.size() && entries[end].folded == entries[first].folded)
            ++end;
        ++id;
        const ImportEntry& last = entries[end - 1];
        if (QSqlError error =
                keywords.add({rows.keyword(last.row).toString(), last.folded, entries[first].at});
            error.isValid())
            return error;
        // A keyword's first sighting is at its first-seen time, and comes from the keywords below;
        // only a keyword in several rows (its letter case differing) has more.
        for (size_t entry = first + 1; entry < end; ++entry) {
            if (QSqlError error = later.add({id, entries[entry].at}); error.isValid())
                return error;
        }
        first = end;
    }
    if (QSqlError error = keywords.finish(); error.isValid())
        return error;
    if (QSqlError error = Exec(db, QStringLiteral("INSERT INTO sightings (keyword_id, at, source) SELECT id, "
                                                  "first_seen, 2 FROM keywords ORDER BY id"));
        error.isValid())
        return error;
    if (QSqlError error = later.finish(); error.isValid())
        return error;
    for (const QString& index : {SightingsByKeyword, SightingsByTime}) {
        if (stop.stop_requested())
            return Stopped();
        if (QSqlError error = Exec(db, index); error.isValid())
            return error;
    }
    return {};
}

// Into a history that already holds sightings: the rows go through a table of their own, which
// drops those the history has (a keyword imported already, or seen at the row's time by a
// scrape), and then join the history's keywords.
QSqlError ImportBeside(const QSqlDatabase& db, const TrendRows& rows, const std::vector<ImportEntry>& entries,
                       const std::stop_token& stop)
{
    const QStringList statements[] = {
        {QStringLiteral("DROP TABLE IF EXISTS temp.import_rows"),
         QStringLiteral(
             "CREATE TEMP TABLE import_rows (folded TEXT NOT NULL, at INTEGER NOT NULL, keyword TEXT "
             "NOT NULL, PRIMARY KEY (folded, at)) WITHOUT ROWID")},
        {QStringLiteral(
             "DELETE FROM temp.import_rows WHERE EXISTS (SELECT 1 FROM keywords k JOIN sightings s ON "
             "s.keyword_id = k.id WHERE k.folded = import_rows.folded AND (s.source = 2 OR s.at = "
             "import_rows.at))"),
         QStringLiteral(
             "INSERT INTO keywords (keyword, folded, first_seen) SELECT (SELECT j.keyword FROM "
             "temp.import_rows j WHERE j.folded = i.folded ORDER BY j.at DESC LIMIT 1), i.folded, "
             "MIN(i.at) FROM temp.import_rows i WHERE true GROUP BY i.folded ON CONFLICT (folded) DO "
             "UPDATE SET first_seen = MIN(first_seen, excluded.first_seen)"),
         QStringLiteral(
             "INSERT INTO sightings (keyword_id, at, source) SELECT k.id, i.at, 2 FROM temp.import_rows "
             "i JOIN keywords k ON k.folded = i.folded"),
         QStringLiteral("DROP TABLE temp.import_rows")},
    };
    for (const QString& statement : statements[0]) {
        if (QSqlError error = Exec(db, statement); error.isValid())
            return error;
    }
    BulkInsert insert(db,
                      QStringLiteral("INSERT OR IGNORE INTO temp.import_rows (folded, at, keyword) VALUES"),
                      QStringLiteral("(?,?,?)"));
    for (size_t entry = 0; entry < entries.size(); ++entry) {
        if (entry % 4096 == 0 && stop.stop_requested())
            return Stopped();
        const ImportEntry& row = entries[entry];
        if (QSqlError error = insert.add({row.folded, row.at, rows.keyword(row.row).toString()});
            error.isValid())
            return error;
    }
    if (QSqlError error = insert.finish(); error.isValid())
        return error;
    for (const QString& statement : statements[1]) {
        if (stop.stop_requested())
            return Stopped();
        if (QSqlError error = Exec(db, statement); error.isValid())
            return error;
    }
    return {};
}

} // namespace

TrendLedger::TrendLedger(QString path)
    : m_path(std::move(path))
{
    static QAtomicInteger<quint64> made;
    m_connection = QStringLiteral("trend-ledger-%1").arg(made.fetchAndAddRelaxed(1));
}

TrendLedger::~TrendLedger()
{
    close();
}

void TrendLedger::close()
{
    if (!QSqlDatabase::contains(m_connection))
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

bool TrendLedger::isOpen() const
{
    return QSqlDatabase::contains(m_connection) && QSqlDatabase::database(m_connection, false).isOpen();
}

QString TrendLedger::failed(const QSqlError& error) const
{
    m_fault = FaultOf(error);
    if (m_fault == LedgerFault::Damaged)
        const_cast<TrendLedger*>(this)->m_checked = false; // the next open looks at the whole file
    // SQLite's own words ("database is locked"); the driver's ("Unable to fetch row") say nothing.
    const QString words = error.databaseText().trimmed();
    return words.isEmpty() ? error.text().trimmed() : words;
}

QString TrendLedger::notOpen() const
{
    m_fault = LedgerFault::Other;
    return tr("the history of trends is not open");
}

QString TrendLedger::open(Access access)
{
    m_notice.clear();
    m_fault = LedgerFault::None;
    const bool existed = QFile::exists(m_path);
    // A reader leaves nothing behind: SQLite would make the log and shared-memory files beside a
    // history in WAL mode, and leave them. With no log there, no program has the history open for
    // writing, and it is read as a file that does not change; with one, it is read as its writer
    // shares it.
    const bool quiet = access == Access::ReadOnly && !QFile::exists(m_path + QStringLiteral("-wal"));
    QString error = openFile(access, quiet);
    if (!error.isEmpty() && access == Access::ReadOnly && !quiet && existed &&
        m_fault == LedgerFault::Other) {
        // The shared-memory file cannot be opened (a read-only folder): nobody can write there
        // either.
        error = openFile(access, true);
    }
    m_createdNow = error.isEmpty() && !existed;
    if (error.isEmpty())
        return {};
    close();
    if (access == Access::ReadOnly || !existed || m_fault != LedgerFault::Damaged)
        return error;
    return setAside(error);
}

QString TrendLedger::setAside(const QString& error)
{
    // SQLite says the file is damaged or no database at all: it is kept for the user, under
    // another name, and a new history begins.
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_path + QStringLiteral(".unreadable-") + stamp;
    for (int n = 2; QFile::exists(aside); ++n)
        aside = m_path + QStringLiteral(".unreadable-%1-%2").arg(stamp).arg(n);
    for (const QString& suffix :
         {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")}) {
        QFile file(m_path + suffix);
        if (file.exists() && !file.rename(aside + suffix)) {
            m_fault = LedgerFault::Damaged;
            return tr("%1; it could not be renamed aside: %2").arg(error, file.errorString());
        }
    }
    m_notice = tr("The history of trends could not be read (%1); it was renamed %2 and a new one begun.")
                   .arg(error, aside.section(u'/', -1));
    const QString again = openFile(Access::ReadWrite, false);
    m_createdNow = again.isEmpty();
    if (!again.isEmpty())
        close();
    return again;
}

QString TrendLedger::openFile(Access access, bool immutable)
{
    close();
    m_version = 0;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    QStringList options{QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs)};
    if (access == Access::ReadOnly)
        options << QStringLiteral("QSQLITE_OPEN_READONLY");
    if (immutable) {
        options << QStringLiteral("QSQLITE_OPEN_URI");
        db.setDatabaseName(QUrl::fromLocalFile(m_path).toString(QUrl::FullyEncoded) +
                           QStringLiteral("?immutable=1"));
    } else {
        db.setDatabaseName(m_path);
    }
    db.setConnectOptions(options.join(u';'));
    if (!db.open())
        return failed(db.lastError());
    QSqlQuery version(db);
    if (!version.exec(QStringLiteral("PRAGMA user_version")) || !version.next())
        return failed(version.lastError());
    const int found = version.value(0).toInt();
    version.finish();
    if (found > SchemaVersion) {
        m_fault = LedgerFault::Newer;
        return tr("the history of trends was written by a newer version of the program");
    }
    m_version = found;
    if (access == Access::ReadOnly)
        return {};
    for (const QString& pragma :
         {QStringLiteral("PRAGMA journal_mode = WAL"), QStringLiteral("PRAGMA synchronous = NORMAL")}) {
        if (const QSqlError error = Exec(db, pragma); error.isValid())
            return failed(error);
    }
    if (!m_checked && found > 0) {
        // Damage beyond the first pages shows only when they are read: the whole file is looked at
        // once, when this object first opens it, rather than failing scrape after scrape later.
        QSqlQuery check(db);
        if (!check.exec(QStringLiteral("PRAGMA quick_check(1)")) || !check.next())
            return failed(check.lastError());
        const QString verdict = check.value(0).toString();
        check.finish();
        if (verdict != QLatin1String("ok")) {
            m_fault = LedgerFault::Damaged;
            return tr("the file is damaged (%1)").arg(verdict);
        }
    }
    m_checked = true;
    if (QString error = migrate(found); !error.isEmpty())
        return error;
    m_version = SchemaVersion;
    return {};
}

QString TrendLedger::migrate(int from)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    for (int version = from; version < SchemaVersion; ++version) {
        const QSqlError error = InTransaction(db, [&] {
            for (const QString& statement : Migrations[version]) {
                if (QSqlError failed = Exec(db, statement); failed.isValid())
                    return failed;
            }
            return Exec(db, QStringLiteral("PRAGMA user_version = %1").arg(version + 1));
        });
        if (error.isValid())
            return failed(error);
    }
    return {};
}

QString TrendLedger::recordScrape(const QDateTime& at, LedgerSource source,
                                  const QList<LedgerSighting>& sightings)
{
    return recordScrapes({{at, source, sightings}});
}

QString TrendLedger::recordScrapes(QList<LedgerScrape> scrapes)
{
    if (!isOpen() || m_version < SchemaVersion)
        return notOpen();
    m_fault = LedgerFault::None;
    // Scrapes that waited go in before later ones, as if they had been written at their time.
    std::stable_sort(scrapes.begin(), scrapes.end(),
                     [](const LedgerScrape& a, const LedgerScrape& b) { return a.at < b.at; });
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const QSqlError error = InTransaction(db, [&] {
        SightingWriter writer(db);
        for (const LedgerScrape& scrape : scrapes) {
            for (const LedgerSighting& sighting : scrape.sightings) {
                if (!IsKeyword(sighting.keyword))
                    continue;
                if (QSqlError failed = writer.add(scrape.at.toSecsSinceEpoch(), scrape.source, sighting);
                    failed.isValid())
                    return failed;
            }
        }
        return QSqlError();
    });
    return error.isValid() ? failed(error) : QString();
}

bool TrendLedger::importPending() const
{
    if (!isOpen() || m_version < SchemaVersion)
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    return query.exec(QStringLiteral("SELECT value FROM state WHERE name = 'import'")) && query.next() &&
           query.value(0).toString() == QLatin1String("pending");
}

QString TrendLedger::importTable(const TrendRows& rows, const QLocale& locale, std::stop_token stop)
{
    if (!isOpen() || m_version < SchemaVersion)
        return notOpen();
    m_fault = LedgerFault::None;
    // The rows by case-folded keyword, then time: each keyword's rows side by side, and the
    // keywords' index filled in its own order.
    const std::vector<ImportEntry> entries = SortedEntries(rows, locale, stop);
    if (stop.stop_requested())
        return failed(Stopped());

    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    // Worth it for a big table only: switching the journal costs a few writes of its own.
    constexpr size_t BigTable = 50'000;
    std::optional<BiggerCache> cache;
    std::optional<RollbackJournal> journal;
    if (entries.size() >= BigTable) {
        cache.emplace(db);
        if (!hasSightings())
            journal.emplace(db);
    }
    const QSqlError error = InTransaction(db, [&] {
        QSqlQuery empty(db);
        if (!empty.exec(QStringLiteral("SELECT NOT EXISTS (SELECT 1 FROM keywords)")) || !empty.next())
            return empty.lastError();
        const bool intoEmpty = empty.value(0).toBool();
        empty.finish();
        if (QSqlError failed =
                intoEmpty ? ImportIntoEmpty(db, rows, entries, stop) : ImportBeside(db, rows, entries, stop);
            failed.isValid())
            return failed;
        return Exec(db, QStringLiteral("UPDATE state SET value = 'done' WHERE name = 'import'"));
    });
    return error.isValid() ? failed(error) : QString();
}

std::optional<KeywordHistory> TrendLedger::history(const QString& keyword, const QDateTime& since,
                                                   int newsItems) const
{
    if (!isOpen() || m_version < 1)
        return std::nullopt;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    if (!query.prepare(QStringLiteral("SELECT id, keyword FROM keywords WHERE folded = ?")))
        return std::nullopt;
    query.addBindValue(keyword.toCaseFolded());
    if (!query.exec() || !query.next())
        return std::nullopt;
    const qint64 id = query.value(0).toLongLong();
    KeywordHistory history;
    history.keyword = query.value(1).toString();

    const auto run = [&](const QString& statement, const QVariantList& values) {
        query.finish();
        if (!query.prepare(statement))
            return false;
        for (const QVariant& value : values)
            query.addBindValue(value);
        return query.exec();
    };
    if (run(QStringLiteral("SELECT MIN(at), MAX(at), COUNT(*) FROM sightings WHERE keyword_id = ?"), {id}) &&
        query.next()) {
        history.firstSeen = TimeOf(query.value(0));
        history.lastSeen = TimeOf(query.value(1));
        history.sightings = query.value(2).toLongLong();
    }
    if (run(QStringLiteral("SELECT DISTINCT country FROM sightings WHERE keyword_id = ? AND country <> '' "
                           "ORDER BY country"),
            {id})) {
        while (query.next())
            history.countries << query.value(0).toString();
    }
    if (run(QStringLiteral("SELECT traffic FROM sightings WHERE keyword_id = ? AND traffic_min IS NOT NULL "
                           "ORDER BY traffic_min DESC LIMIT 1"),
            {id}) &&
        query.next())
        history.peakTraffic = query.value(0).toString();
    const qint64 from = since.isValid() ? since.toSecsSinceEpoch() : std::numeric_limits<qint64>::min();
    if (run(QStringLiteral(
                "SELECT at / %1, COUNT(*), MAX(traffic_min) FROM sightings WHERE keyword_id = ? AND at >= ? "
                "GROUP BY at / %1 ORDER BY 1")
                .arg(SecondsPerDay),
            {id, from})) {
        while (query.next()) {
            const QDate day = QDate(1970, 1, 1).addDays(query.value(0).toLongLong());
            history.days.append({day, query.value(1).toLongLong(), NumberOf(query.value(2))});
        }
    }
    // A history of the first version, read as it is, has no news.
    if (m_version >= 2 &&
        run(QStringLiteral(
                "SELECT n.title, n.url, n.source FROM sighting_news l JOIN sightings s ON s.id = "
                "l.sighting_id JOIN news n ON n.id = l.news_id WHERE s.keyword_id = ? GROUP BY n.id "
                "ORDER BY MAX(s.at) DESC, n.id DESC LIMIT ?"),
            {id, newsItems})) {
        while (query.next())
            history.news.append(
                {query.value(0).toString(), query.value(1).toString(), query.value(2).toString()});
    }
    return history;
}

QList<RisingKeyword> TrendLedger::rising(const QDateTime& now) const
{
    QList<RisingKeyword> rising;
    if (!isOpen() || m_version < 1)
        return rising;
    const qint64 end = now.toSecsSinceEpoch();
    const qint64 week = end - 7 * SecondsPerDay;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    const bool prepared = query.prepare(QStringLiteral(
        "SELECT k.keyword, k.first_seen, SUM(s.at >= :week) AS last_week, SUM(s.at < :week) AS week_before, "
        "MAX(CASE WHEN s.at >= :week THEN s.traffic_min END) AS peak FROM sightings s JOIN keywords k ON "
        "k.id = "
        "s.keyword_id WHERE s.at >= :twoWeeks AND s.at <= :end GROUP BY s.keyword_id "
        "HAVING k.first_seen >= :day OR last_week > week_before ORDER BY peak IS NULL, peak DESC, last_week "
        "DESC, "
        "k.keyword"));
    query.bindValue(QStringLiteral(":week"), week);
    query.bindValue(QStringLiteral(":twoWeeks"), week - 7 * SecondsPerDay);
    query.bindValue(QStringLiteral(":end"), end);
    query.bindValue(QStringLiteral(":day"), end - SecondsPerDay);
    if (!prepared || !query.exec())
        return rising;
    while (query.next()) {
        rising.append({query.value(0).toString(), TimeOf(query.value(1)), query.value(2).toLongLong(),
                       query.value(3).toLongLong(), NumberOf(query.value(4))});
    }
    return rising;
}

bool TrendLedger::hasSightings() const
{
    if (!isOpen() || m_version < 1)
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    return query.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM sightings)")) && query.next() &&
           query.value(0).toBool();
}

qint64 TrendLedger::sightingCount() const
{
    if (!isOpen() || m_version < 1)
        return 0;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    return query.exec(QStringLiteral("SELECT COUNT(*) FROM sightings")) && query.next()
               ? query.value(0).toLongLong()
               : 0;
}

QHash<QString, KeywordSummary> TrendLedger::summaries(const QStringList& foldedKeywords) const
{
    QHash<QString, KeywordSummary> found;
    if (!isOpen() || m_version < 1)
        return found;
    // A keyword is still in the feed when the newest scrape saw it; its start is the one the feed
    // gave at its latest sighting that had one (a history of before has none).
    const QString started = m_version >= 4 ? QStringLiteral("(SELECT s2.started FROM sightings s2 WHERE "
                                                            "s2.keyword_id = k.id AND s2.started IS NOT NULL "
                                                            "ORDER BY s2.at DESC LIMIT 1)")
                                           : QStringLiteral("NULL");
    const QString all = QStringLiteral("SELECT k.folded, k.first_seen, MAX(s.traffic_min), "
                                       "GROUP_CONCAT(DISTINCT NULLIF(s.country, '')), MAX(s.at), %2, "
                                       "MAX(s.at) >= (SELECT MAX(at) FROM sightings WHERE source <> 2) FROM "
                                       "keywords k JOIN sightings s ON s.keyword_id = k.id %1 GROUP BY k.id")
                            .arg(QStringLiteral("%1"), started);
    const auto read = [&](QSqlQuery& query) {
        while (query.next()) {
            QStringList countries = query.value(3).toString().split(u',', Qt::SkipEmptyParts);
            countries.sort();
            KeywordSummary summary{TimeOf(query.value(1)), NumberOf(query.value(2)), countries};
            summary.lastSeen = TimeOf(query.value(4));
            if (!query.value(5).isNull())
                summary.started = TimeOf(query.value(5));
            summary.active = query.value(6).toBool();
            found.insert(query.value(0).toString(), summary);
        }
    };
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (foldedKeywords.isEmpty()) {
        if (query.exec(all.arg(QString())))
            read(query);
        return found;
    }
    // A few hundred keywords at a time: SQLite takes so many values in one statement.
    constexpr qsizetype PerQuery = 500;
    for (qsizetype first = 0; first < foldedKeywords.size(); first += PerQuery) {
        const QStringList part = foldedKeywords.mid(first, PerQuery);
        QStringList marks(part.size(), QStringLiteral("?"));
        if (!query.prepare(all.arg(QStringLiteral("WHERE k.folded IN (%1)").arg(marks.join(u',')))))
            return found;
        for (const QString& keyword : part)
            query.addBindValue(keyword);
        if (query.exec())
            read(query);
    }
    return found;
}

QSet<QString> TrendLedger::keywordsSeen(const QDateTime& since, const QString& country) const
{
    QSet<QString> seen;
    if (!isOpen() || m_version < 1)
        return seen;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    const QString text = QStringLiteral("SELECT DISTINCT k.folded FROM sightings s JOIN keywords k ON k.id = "
                                        "s.keyword_id WHERE s.at >= ?%1")
                             .arg(country.isEmpty() ? QString() : QStringLiteral(" AND s.country = ?"));
    if (!query.prepare(text))
        return seen;
    query.addBindValue(since.isValid() ? since.toSecsSinceEpoch() : std::numeric_limits<qint64>::min());
    if (!country.isEmpty())
        query.addBindValue(country);
    if (!query.exec())
        return seen;
    while (query.next())
        seen.insert(query.value(0).toString());
    return seen;
}

QStringList TrendLedger::countries() const
{
    QStringList found;
    if (!isOpen() || m_version < 1)
        return found;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(
            QStringLiteral("SELECT DISTINCT country FROM sightings WHERE country <> '' ORDER BY country")))
        return found;
    while (query.next())
        found << query.value(0).toString();
    return found;
}
