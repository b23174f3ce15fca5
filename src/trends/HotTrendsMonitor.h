#pragma once

#include "net/PageFetch.h"
#include "trends/ScrapeBackoff.h"

#include <QCoroTask>
#include <QDateTime>
#include <QObject>

class Clock;
class DataFileStore;
class TrendTableModel;

// The hourly Hot Trends monitor: it scrapes the feed once a whole hour has passed since the last
// scrape (or when asked), folds its keywords into the table and saves the table and the time of the
// scrape. One scrape runs at a time; after failed scrapes the automatic tries wait longer
// (ScrapeBackoff).
//
// The label texts keep the program's old wording ("scrapped") on purpose.
class HotTrendsMonitor final : public QObject {
    Q_OBJECT

public:
    HotTrendsMonitor(TrendTableModel& table, PageFetcher fetch, const Clock& clock,
                     QObject* parent = nullptr);

    // Reads the time of the last scrape ("config.dat"), then the table ("dabatase.dat"). A table that
    // holds a newer scrape than "config.dat" (a kill between the two saves) gives the time too, so
    // that hour is not counted twice.
    void load();

    QDateTime lastScrapeTime() const { return m_lastScrapeTime; }
    // At least one whole hour since the last scrape; a clock set back by an hour or more counts too.
    bool hourPassed() const;
    bool isScraping() const { return m_scraping; }
    // When the next automatic try may start after failures; invalid when nothing failed.
    QDateTime nextTry() const { return m_backoff.nextTry(); }

    // The timer's tick: a scrape when an hour has passed and no failure holds the monitor back.
    QCoro::Task<> tick();
    // A scrape now, unless one is running already. A fetch that fails changes nothing; a page
    // fetched sets the time of the scrape, even when it lists no keyword.
    QCoro::Task<> scrape();

    DataFileStore& tableFile() const { return *m_tableFile; }
    DataFileStore& lastParsedFile() const { return *m_lastParsedFile; }

Q_SIGNALS:
    // The text of the last-scrape label.
    void lastScrapeTextChanged(const QString& text);
    // The table was loaded with rows, or a scrape folded items into it.
    void rowCountChanged(qsizetype rows);
    // "Next try at ..." while failures hold the automatic tries back; empty otherwise.
    void nextTryTextChanged(const QString& text);

private:
    void loadLastParsed();
    void loadTable();
    void announceNextTry();

    TrendTableModel& m_table;
    PageFetcher m_fetch;
    const Clock& m_clock;
    DataFileStore* m_tableFile;
    DataFileStore* m_lastParsedFile;
    QDateTime m_lastScrapeTime;
    ScrapeBackoff m_backoff;
    bool m_scraping = false;
};
