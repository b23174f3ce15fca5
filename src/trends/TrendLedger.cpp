#include "trends/TrendLedger.h"

#include "trends/TrendRecord.h"
#include "util/DateTimeTextReader.h"

#include <QAtomicInteger>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <initializer_list>
#include <iterator>
#include <limits>

namespace {

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
        QStringLiteral("CREATE INDEX sightings_by_keyword ON sightings (keyword_id, at)"),
    },
    {
        QStringLiteral("CREATE INDEX sightings_by_time ON sightings (at)"),
        QStringLiteral("CREATE TABLE news (id INTEGER PRIMARY KEY, url TEXT NOT NULL UNIQUE, "
                       "title TEXT NOT NULL, source TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE sighting_news (sighting_id INTEGER NOT NULL, news_id INTEGER NOT NULL, "
                       "PRIMARY KEY (sighting_id, news_id)) WITHOUT ROWID"),
    },
};
static_assert(std::size(Migrations) == TrendLedger::SchemaVersion);

constexpr qint64 SecondsPerDay = 24 * 60 * 60;

QString ErrorOf(const QSqlQuery& query)
{
    return query.lastError().text();
}

// Runs a statement that returns the id of its row (RETURNING id) with these values; false when it
// failed (ErrorOf says why).
bool RowIdOf(QSqlQuery& query, std::initializer_list<QVariant> values, qint64& id)
{
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec() || !query.next())
        return false;
    id = query.value(0).toLongLong();
    query.finish();
    return true;
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

// The statements that add one sighting, prepared once for a whole transaction.
class SightingWriter {
public:
    explicit SightingWriter(const QSqlDatabase& db)
        : m_keyword(db)
        , m_sighting(db)
        , m_news(db)
        , m_link(db)
    {
        m_keyword.prepare(QStringLiteral("INSERT INTO keywords (keyword, folded, first_seen) VALUES (?, ?, "
                                         "?) ON CONFLICT (folded) DO UPDATE "
                                         "SET keyword = excluded.keyword, first_seen = MIN(first_seen, "
                                         "excluded.first_seen) RETURNING id"));
        m_sighting.prepare(QStringLiteral("INSERT INTO sightings (keyword_id, at, source, country, traffic, "
                                          "traffic_min, rank) VALUES (?, ?, ?, ?, ?, ?, ?)"));
        m_news.prepare(
            QStringLiteral("INSERT INTO news (url, title, source) VALUES (?, ?, ?) ON CONFLICT (url) "
                           "DO UPDATE SET title = excluded.title, source = excluded.source RETURNING id"));
        m_link.prepare(
            QStringLiteral("INSERT OR IGNORE INTO sighting_news (sighting_id, news_id) VALUES (?, ?)"));
    }

    // Returns what went wrong, empty when nothing did.
    QString add(qint64 at, LedgerSource source, const LedgerSighting& sighting)
    {
        qint64 keywordId = 0;
        if (!RowIdOf(m_keyword, {sighting.keyword, sighting.keyword.toCaseFolded(), at}, keywordId))
            return ErrorOf(m_keyword);

        m_sighting.addBindValue(keywordId);
        m_sighting.addBindValue(at);
        m_sighting.addBindValue(int(source));
        m_sighting.addBindValue(Text(sighting.country));
        m_sighting.addBindValue(Text(sighting.traffic));
        m_sighting.addBindValue(OptionalNumber(TrafficLowerBound(sighting.traffic)));
        m_sighting.addBindValue(sighting.rank > 0 ? QVariant(sighting.rank)
                                                  : QVariant(QMetaType::fromType<int>()));
        if (!m_sighting.exec())
            return ErrorOf(m_sighting);
        const qint64 sightingId = m_sighting.lastInsertId().toLongLong();

        for (const TrendingNews& news : sighting.news) {
            if (news.url.isEmpty())
                continue;
            qint64 newsId = 0;
            if (!RowIdOf(m_news, {news.url, Text(news.title), Text(news.source)}, newsId))
                return ErrorOf(m_news);
            m_link.addBindValue(sightingId);
            m_link.addBindValue(newsId);
            if (!m_link.exec())
                return ErrorOf(m_link);
        }
        return {};
    }

private:
    QSqlQuery m_keyword;
    QSqlQuery m_sighting;
    QSqlQuery m_news;
    QSqlQuery m_link;
};

// Runs `write` in one transaction: all of it is kept, or nothing.
template <typename Write> QString InTransaction(QSqlDatabase db, const Write& write)
{
    if (!db.transaction())
        return db.lastError().text();
    QString error = write();
    if (error.isEmpty() && !db.commit())
        error = db.lastError().text();
    if (!error.isEmpty())
        db.rollback();
    return error;
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

QString TrendLedger::exec(const QString& statement) const
{
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    return query.exec(statement) ? QString() : ErrorOf(query);
}

QString TrendLedger::open(bool setAside)
{
    m_notice.clear();
    const bool existed = QFile::exists(m_path);
    QString error = openFile();
    m_createdNow = error.isEmpty() && !existed;
    if (error.isEmpty() || !existed)
        return error;
    if (!setAside) {
        close();
        return error.startsWith(QLatin1String("newer:")) ? error.mid(6) : error;
    }
    if (error.startsWith(QLatin1String("newer:"))) {
        close();
        return error.mid(6);
    }
    // What cannot be read is kept for the user, under another name, and a new ledger begins.
    close();
    const QString aside = m_path + QStringLiteral(".unreadable-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")}) {
        if (QFile::exists(m_path + suffix) && !QFile::rename(m_path + suffix, aside + suffix))
            return QStringLiteral("%1 (it could not be renamed aside either)").arg(error);
    }
    m_notice =
        QStringLiteral("The history of trends could not be read (%1); it was renamed %2 and a new one begun.")
            .arg(error, aside.section(u'/', -1));
    error = openFile();
    m_createdNow = error.isEmpty();
    return error;
}

QString TrendLedger::openFile()
{
    close();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open())
        return db.lastError().text();
    QSqlQuery version(db);
    if (!version.exec(QStringLiteral("PRAGMA user_version")) || !version.next())
        return ErrorOf(version);
    const int found = version.value(0).toInt();
    version.finish();
    if (found > SchemaVersion)
        return QStringLiteral("newer:the history of trends was written by a newer version of the program");
    for (const QString& pragma :
         {QStringLiteral("PRAGMA journal_mode = WAL"), QStringLiteral("PRAGMA synchronous = NORMAL")}) {
        if (QString error = exec(pragma); !error.isEmpty())
            return error;
    }
    return migrate(found);
}

QString TrendLedger::migrate(int from)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    for (int version = from; version < SchemaVersion; ++version) {
        const QString error = InTransaction(db, [&] {
            for (const QString& statement : Migrations[version]) {
                if (QString failed = exec(statement); !failed.isEmpty())
                    return failed;
            }
            return exec(QStringLiteral("PRAGMA user_version = %1").arg(version + 1));
        });
        if (!error.isEmpty())
            return error;
    }
    return {};
}

QString TrendLedger::recordScrape(const QDateTime& at, LedgerSource source,
                                  const QList<LedgerSighting>& sightings)
{
    if (!isOpen())
        return QStringLiteral("the history of trends is not open");
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    return InTransaction(db, [&] {
        SightingWriter writer(db);
        for (const LedgerSighting& sighting : sightings) {
            if (QString error = writer.add(at.toSecsSinceEpoch(), source, sighting); !error.isEmpty())
                return error;
        }
        return QString();
    });
}

QString TrendLedger::importTable(const TrendRows& rows, const QLocale& locale, std::stop_token stop)
{
    if (!isOpen())
        return QStringLiteral("the history of trends is not open");
    const DateTimeTextReader reader(locale);
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    return InTransaction(db, [&] {
        SightingWriter writer(db);
        for (qsizetype row = 0; row < rows.size(); ++row) {
            if (row % 1024 == 0 && stop.stop_requested())
                return QStringLiteral("stopped");
            const std::optional<QDateTime> seen = reader.read(rows.date(row));
            if (!seen)
                continue;
            const QString error = writer.add(seen->toSecsSinceEpoch(), LedgerSource::Imported,
                                             {rows.keyword(row).toString(), {}, {}, 0, {}});
            if (!error.isEmpty())
                return error;
        }
        return QString();
    });
}

std::optional<KeywordHistory> TrendLedger::history(const QString& keyword, const QDateTime& since,
                                                   int newsItems) const
{
    if (!isOpen())
        return std::nullopt;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT id, keyword FROM keywords WHERE folded = ?"));
    query.addBindValue(keyword.toCaseFolded());
    if (!query.exec() || !query.next())
        return std::nullopt;
    const qint64 id = query.value(0).toLongLong();
    KeywordHistory history;
    history.keyword = query.value(1).toString();

    const auto run = [&](const QString& statement, const QVariantList& values) {
        query.finish();
        query.prepare(statement);
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
    if (run(QStringLiteral(
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
    if (!isOpen())
        return rising;
    const qint64 end = now.toSecsSinceEpoch();
    const qint64 week = end - 7 * SecondsPerDay;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral(
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
    if (!query.exec())
        return rising;
    while (query.next()) {
        rising.append({query.value(0).toString(), TimeOf(query.value(1)), query.value(2).toLongLong(),
                       query.value(3).toLongLong(), NumberOf(query.value(4))});
    }
    return rising;
}

bool TrendLedger::hasSightings() const
{
    if (!isOpen())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    return query.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM sightings)")) && query.next() &&
           query.value(0).toBool();
}

qint64 TrendLedger::sightingCount() const
{
    if (!isOpen())
        return 0;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    return query.exec(QStringLiteral("SELECT COUNT(*) FROM sightings")) && query.next()
               ? query.value(0).toLongLong()
               : 0;
}

QHash<QString, KeywordSummary> TrendLedger::summaries(const QStringList& foldedKeywords) const
{
    QHash<QString, KeywordSummary> found;
    if (!isOpen())
        return found;
    const QString all = QStringLiteral("SELECT k.folded, k.first_seen, MAX(s.traffic_min), "
                                       "GROUP_CONCAT(DISTINCT NULLIF(s.country, '')) FROM "
                                       "keywords k JOIN sightings s ON s.keyword_id = k.id %1 GROUP BY k.id");
    const auto read = [&](QSqlQuery& query) {
        while (query.next()) {
            QStringList countries = query.value(3).toString().split(u',', Qt::SkipEmptyParts);
            countries.sort();
            found.insert(query.value(0).toString(),
                         {TimeOf(query.value(1)), NumberOf(query.value(2)), countries});
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
        query.prepare(all.arg(QStringLiteral("WHERE k.folded IN (%1)").arg(marks.join(u','))));
        for (const QString& keyword : part)
            query.addBindValue(keyword);
        if (query.exec())
            read(query);
    }
    return found;
}
