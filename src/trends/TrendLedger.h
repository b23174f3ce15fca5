#pragma once

#include "trends/TrendingFeed.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <stop_token>
#include <utility>

class QSqlError;
class TrendRows;

// What one scrape saw of one keyword.
struct LedgerSighting {
    // Not an aggregate: most places give the first fields only, the start last of all.
    LedgerSighting(QString keyword = {}, QString country = {}, QString traffic = {}, int rank = 0,
                   QList<TrendingNews> news = {}, QDateTime started = {})
        : keyword(std::move(keyword))
        , country(std::move(country))
        , traffic(std::move(traffic))
        , rank(rank)
        , news(std::move(news))
        , started(std::move(started))
    {
    }

    QString keyword;
    QString country; // empty for the classic feed
    QString traffic; // as the feed wrote it ("2000+"); empty when it gave none
    int rank = 0;    // 1 for the feed's first item
    QList<TrendingNews> news;
    QDateTime started; // when the feed says the trend began; invalid when it did not say
};

// Where a sighting came from: a scrape of either feed, or a row of the table from before the
// ledger (one sighting at the row's last-seen time).
enum class LedgerSource { Classic = 0, Trending = 1, Imported = 2 };

// The sightings of one scrape, or one imported sighting, at one time.
struct LedgerScrape {
    QDateTime at;
    LedgerSource source = LedgerSource::Trending;
    QList<LedgerSighting> sightings;
};

// Why the ledger could not do what it was asked, by SQLite's own result code. Only a damaged file
// is ever set aside: a lock or a full disk passes, and the file is what holds the history.
enum class LedgerFault {
    None,
    Busy,    // another program holds a lock on the file (SQLITE_BUSY, SQLITE_LOCKED)
    Disk,    // the disk is full, or reading or writing it failed (SQLITE_FULL, SQLITE_IOERR)
    Damaged, // not a database, or a damaged one (SQLITE_NOTADB, SQLITE_CORRUPT, a failed quick_check)
    Newer,   // written by a newer version of the program, which this one cannot read
    Other,   // anything else (a folder that cannot be written, ...): the file stays as it is
};

// What the ledger knows of one keyword.
struct KeywordHistory {
    struct Day {
        QDate day; // UTC
        qint64 sightings = 0;
        std::optional<qint64> peakTraffic; // the highest lower bound of the day's traffic
    };
    QString keyword; // as last seen
    QDateTime firstSeen;
    QDateTime lastSeen;
    qint64 sightings = 0;
    QStringList countries;
    QString peakTraffic;      // as the feed wrote the highest; empty when none was readable
    QList<Day> days;          // the days since the time asked for that have sightings, in order
    QList<TrendingNews> news; // the latest first
};

// The history of a keyword in brief, as the Hot Trends list's columns show it.
struct KeywordSummary {
    // Not an aggregate: most places give the first three only.
    KeywordSummary(QDateTime firstSeen = {}, std::optional<qint64> peakTraffic = {},
                   QStringList countries = {})
        : firstSeen(std::move(firstSeen))
        , peakTraffic(peakTraffic)
        , countries(std::move(countries))
    {
    }

    QDateTime firstSeen;
    std::optional<qint64> peakTraffic; // the highest lower bound of its traffic
    QStringList countries;             // in order
    QDateTime lastSeen;
    QDateTime started;   // when the feed said the trend began, at its latest sighting that said
    bool active = false; // the newest scrape saw it: it is still in the feed
};

// A keyword on the rise: first seen lately, or seen more in the last seven days than in the seven
// before.
struct RisingKeyword {
    QString keyword;
    QDateTime firstSeen;
    qint64 lastWeek = 0;
    qint64 weekBefore = 0;
    std::optional<qint64> peakTraffic; // over the last seven days
};

// The history of trends: every sighting of every scrape, kept in an SQLite database ("trends.sqlite")
// beside the table files, with the news items of each sighting (each address kept once).
//
// One connection, to be used on one thread only. The database is in WAL mode: a kill at any moment
// leaves it as of its last whole transaction, and one scrape is one transaction. Its schema version
// is its user_version; an older one is brought up to date step by step when it opens for writing.
//
// What fails returns SQLite's reason ("database is locked"), and fault() says what kind of failure
// it was; the caller says what could not be done.
class TrendLedger {
    Q_DECLARE_TR_FUNCTIONS(TrendLedger)

public:
    static constexpr int SchemaVersion = 4;

    enum class Access {
        ReadWrite, // creates the file or brings it up to date; a damaged one is set aside
        ReadOnly,  // for readers: never creates, updates or renames anything
    };

    explicit TrendLedger(QString path);
    ~TrendLedger();
    TrendLedger(const TrendLedger&) = delete;
    TrendLedger& operator=(const TrendLedger&) = delete;

    // Opens the database. For writing, it creates or updates its tables; a file that SQLite finds
    // damaged or not a database at all is renamed aside with the time in its name
    // ("trends.sqlite.unreadable-20261211-021500") and a new one begun (notice() tells so); a file
    // locked by another program, or on a full disk, is left as it is: open fails and may be tried
    // again later. A ledger of a newer version of the program is left as it is and not used.
    // Read-only, a ledger of an older version is read as it is (version 1 has no news).
    // Returns what went wrong, empty when nothing did.
    QString open(Access access = Access::ReadWrite);
    bool isOpen() const;
    // Closes the database (open() opens it again).
    void close();
    // What open() did about a file it could not use; empty when it used the file as it was.
    QString notice() const { return m_notice; }
    // The file was made by open(): there is no history yet, not even an imported one.
    bool createdNow() const { return m_createdNow; }
    // What kind of failure the last one was (None after a success).
    LedgerFault fault() const { return m_fault; }
    // The schema version of the file open (older ones are read as they are when read-only).
    int version() const { return m_version; }
    // How long a lock held by another program is waited for before an operation fails.
    void setBusyTimeout(int milliseconds) { m_busyTimeoutMs = milliseconds; }

    // Records the sightings of one scrape at `at` (one transaction). Sightings without a keyword
    // are not sightings and are left out. Returns what went wrong, empty when nothing did.
    QString recordScrape(const QDateTime& at, LedgerSource source, const QList<LedgerSighting>& sightings);
    // Records several scrapes in one transaction, in the order of their times. An imported
    // sighting goes in only for a keyword that has none yet and no sighting at that time.
    QString recordScrapes(QList<LedgerScrape> scrapes);
    // The first start's import: one imported sighting for each row of a table of old, at its
    // last-seen time read under `locale` (rows whose time cannot be read, or without a keyword, are
    // left out). All of them or none, in one transaction that also marks the import done: a stop
    // asked for keeps none. Into a history that already holds sightings, a row goes in only when
    // its keyword has no imported sighting yet and no sighting at the row's time (a scrape made
    // it), so that an import finished late ends as one done at once would have.
    QString importTable(const TrendRows& rows, const QLocale& locale = QLocale(), std::stop_token stop = {});
    // Whether the table's import is still to be done (a new ledger, or one whose import was cut
    // short).
    bool importPending() const;
    // Whether any sighting is kept.
    bool hasSightings() const;

    // The history of `keyword` (letter case aside), its days counted from `since` on (all of them
    // when invalid); nothing when the ledger has never seen it.
    std::optional<KeywordHistory> history(const QString& keyword, const QDateTime& since = {},
                                          int newsItems = 10) const;
    // The keywords first seen in the 24 hours before `now`, and those seen more in the 7 days
    // before `now` than in the 7 days before those, the highest traffic first.
    QList<RisingKeyword> rising(const QDateTime& now) const;
    qint64 sightingCount() const;
    // The summaries of the keywords listed (case-folded), or of every keyword when the list is
    // empty, by case-folded keyword.
    QHash<QString, KeywordSummary> summaries(const QStringList& foldedKeywords = {}) const;
    // The keywords (case-folded) seen at `since` or later (at any time when invalid), in `country`
    // only when one is named.
    QSet<QString> keywordsSeen(const QDateTime& since, const QString& country = {}) const;
    // The countries of every sighting, A to Z.
    QStringList countries() const;

private:
    QString openFile(Access access, bool immutable);
    QString migrate(int from);
    QString setAside(const QString& error);
    // Notes the kind of `error` and returns SQLite's words for it.
    QString failed(const QSqlError& error) const;
    QString notOpen() const;

    QString m_path;
    QString m_connection;
    QString m_notice;
    bool m_createdNow = false;
    bool m_checked = false; // quick_check found the file whole since it was opened by this object
    int m_version = 0;
    int m_busyTimeoutMs = 5000;
    mutable LedgerFault m_fault = LedgerFault::None;
};
