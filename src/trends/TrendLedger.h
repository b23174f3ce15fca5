#pragma once

#include "trends/TrendingFeed.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>
#include <stop_token>

class TrendRows;

// What one scrape saw of one keyword.
struct LedgerSighting {
    QString keyword;
    QString country; // empty for the classic feed
    QString traffic; // as the feed wrote it ("2000+"); empty when it gave none
    int rank = 0;    // 1 for the feed's first item
    QList<TrendingNews> news;
};

// Where a sighting came from: a scrape of either feed, or a row of the table from before the
// ledger (one sighting at the row's last-seen time).
enum class LedgerSource { Classic = 0, Trending = 1, Imported = 2 };

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
    QDateTime firstSeen;
    std::optional<qint64> peakTraffic; // the highest lower bound of its traffic
    QStringList countries;             // in order
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
// is its user_version; an older one is brought up to date step by step when it opens.
class TrendLedger {
public:
    static constexpr int SchemaVersion = 2;

    explicit TrendLedger(QString path);
    ~TrendLedger();
    TrendLedger(const TrendLedger&) = delete;
    TrendLedger& operator=(const TrendLedger&) = delete;

    // Opens the database, creating or updating its tables. A file that is not a readable ledger
    // (damaged, locked by another program) is renamed aside with the time in its name
    // ("trends.sqlite.unreadable-20261211-021500") and a new one started; a ledger of a newer
    // version of the program is left as it is and not used. Returns what went wrong, empty when
    // nothing did; notice() then tells what was done about it.
    // `setAside` false: a file that cannot be used is only told of, never renamed (for readers that
    // must not change the folder).
    QString open(bool setAside = true);
    bool isOpen() const;
    // Closes the database (open() opens it again).
    void close();
    // What open() did about a file it could not use; empty when it used the file as it was.
    QString notice() const { return m_notice; }
    // The file was made by open(): there is no history yet, not even an imported one.
    bool createdNow() const { return m_createdNow; }

    // Records the sightings of one scrape at `at` (one transaction). Returns what went wrong,
    // empty when nothing did.
    QString recordScrape(const QDateTime& at, LedgerSource source, const QList<LedgerSighting>& sightings);
    // One imported sighting for each row of a table of old, at its last-seen time read under
    // `locale` (rows whose time cannot be read are left out). All of them or none: a stop asked
    // for keeps none.
    QString importTable(const TrendRows& rows, const QLocale& locale = QLocale(), std::stop_token stop = {});
    // Whether any sighting is kept (a new ledger, or one whose import was cut short, has none).
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

private:
    QString exec(const QString& statement) const;
    QString migrate(int from);
    QString openFile();

    QString m_path;
    QString m_connection;
    QString m_notice;
    bool m_createdNow = false;
};
