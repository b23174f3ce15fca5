#pragma once

#include "net/PageFetch.h"
#include "trends/ScrapeBackoff.h"
#include "trends/TrendLedger.h"
#include "trends/TrendTableModel.h"
#include "trends/TrendingFeed.h"
#include "util/ProgramOptions.h"

#include <QCoroTask>
#include <QDateTime>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

class Clock;
class DataFileStore;

// The hourly Hot Trends monitor: it scrapes the feed once a whole hour has passed since the last
// scrape (or when asked), folds its keywords into the table and saves the table and the time of the
// scrape. The feed is the classic hourly one, or today's trending-now feed of one or more countries,
// read in turn. One scrape runs at a time; after failed scrapes the automatic tries wait longer
// (ScrapeBackoff).
//
// A feed page may be big (up to the body limit, millions of items): reading it and folding it into
// the table run on a worker, over a copy of the table's rows, and the table takes the folded rows
// over in one step. Should the table change meanwhile (rows deleted, a sort), the fold is done again
// over the rows as they are then, so that neither the change nor the scrape is lost. The monitor's
// end stops the worker.
//
// The label texts keep the program's old wording ("scrapped") on purpose.
class HotTrendsMonitor final : public QObject {
    Q_OBJECT

public:
    HotTrendsMonitor(TrendTableModel& table, PageFetcher fetch, const Clock& clock,
                     QObject* parent = nullptr);
    // Stops a read or a fold under way: its worker ends at its next look at the stop, and the scrape
    // changes nothing.
    ~HotTrendsMonitor() override;

    // Reads the time of the last scrape ("config.dat"), then the table ("dabatase.dat") on a worker
    // thread. A table that holds a newer scrape than "config.dat" (a kill between the two saves)
    // gives the time too, so that hour is not counted twice. Until the table is there, a tick
    // scrapes nothing and a scrape waits for it.
    void load();
    bool isLoading() const;

    QDateTime lastScrapeTime() const { return m_lastScrapeTime; }
    // At least one whole hour since the last scrape; a clock set back by an hour or more counts too.
    bool hourPassed() const;
    bool isScraping() const { return m_scraping; }
    // When the next automatic try may start after failures; invalid when nothing failed.
    QDateTime nextTry() const { return m_backoff.nextTry(); }

    // The timer's tick: a scrape when an hour has passed and no failure holds the monitor back.
    QCoro::Task<> tick();
    // A scrape now, unless one is running already. A fetch that fails changes nothing; a page
    // fetched sets the time of the scrape, even when it lists no keyword. The table is saved, and
    // then the time of the scrape, before it ends.
    QCoro::Task<> scrape();

    // Where the scrape reads: the classic hourly feed (the monitor's own default), or trending now
    // for these countries, in this order, from `trendsBase`.
    void setSource(TrendSource source, const QStringList& geo = {}, const QString& trendsBase = {});

    // One item of a trending-now scrape and the country whose feed listed it.
    struct Sighting {
        QString geo;
        TrendingItem item;
    };
    // The items of the last trending-now scrape, country by country; empty after a classic one.
    const QList<Sighting>& lastSightings() const { return m_lastSightings; }

    DataFileStore& tableFile() const { return *m_tableFile; }
    DataFileStore& lastParsedFile() const { return *m_lastParsedFile; }

    // Runs on the worker at "read" (as the read of a scrape starts, and at every look at the stop
    // while it reads a page) and at "fold" (as each fold starts): a test holds the worker there.
    using WorkerGate = std::function<void(const QString& step)>;
    void setWorkerGate(WorkerGate gate) { m_workerGate = std::move(gate); }

Q_SIGNALS:
    // The text of the last-scrape label.
    void lastScrapeTextChanged(const QString& text);
    // The table was loaded with rows, or a scrape folded items into it.
    void rowCountChanged(qsizetype rows);
    // "Next try at ..." while failures hold the automatic tries back; empty otherwise.
    void nextTryTextChanged(const QString& text);
    // After a trending-now scrape: the countries whose feed could not be read, and why.
    void countriesSkipped(const QString& text);
    // A scrape's sightings, once the table it was folded into is saved: for the history of trends.
    void sightingsSaved(const QDateTime& at, LedgerSource source, const QList<LedgerSighting>& sightings);

private:
    // What a scrape read, made on a worker (HotTrendsMonitor.cpp).
    struct ScrapeRead;
    // Reads a scrape on a worker: nothing when asked to stop.
    using ReadJob = std::function<std::shared_ptr<const ScrapeRead>(std::stop_token stop)>;
    // What the worker makes of the table file.
    struct LoadedTable {
        TrendTableModel::PreparedRows table;
        std::optional<QDateTime> newest;
    };
    void loadLastParsed();
    void loadTable();
    void takeTable(std::optional<LoadedTable> loaded);
    void announceNextTry();
    QCoro::Task<> scrapeClassic();
    QCoro::Task<> scrapeTrending();
    // A scrape that fetched its feed: the time of the scrape, the read and the fold on a worker,
    // and the saves.
    QCoro::Task<> completeScrape(ReadJob read, LedgerSource source);

    TrendTableModel& m_table;
    PageFetcher m_fetch;
    const Clock& m_clock;
    DataFileStore* m_tableFile;
    DataFileStore* m_lastParsedFile;
    QDateTime m_lastScrapeTime;
    ScrapeBackoff m_backoff;
    bool m_scraping = false;
    TrendSource m_source = TrendSource::Classic;
    QStringList m_geo;
    QString m_trendsBase;
    QList<Sighting> m_lastSightings;
    std::stop_source m_stop;
    WorkerGate m_workerGate;
};
