#include "trends/HotTrendsMonitor.h"

#include "trends/HotTrendsFeed.h"
#include "trends/TrendFiles.h"
#include "trends/TrendTableModel.h"
#include "util/Clock.h"
#include "util/DataFileStore.h"
#include "util/DateTimeText.h"
#include "util/RowFile.h"

#include <QCoroFuture>
#include <QLocale>
#include <QLoggingCategory>
#include <QPointer>
#include <QScopeGuard>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <vector>

namespace {

// Asked for with QT_LOGGING_RULES="quillory.scrape.info=true" (bench/feed_fold.sh): when a
// scrape's read and fold start and end.
Q_LOGGING_CATEGORY(lcScrape, "quillory.scrape", QtWarningMsg)

const QString LastParsedLabel = QStringLiteral("Last scrapped on:");

// A look at the stop (and the test's gate) every so many items of a page.
constexpr qsizetype ItemsBetweenLooks = 4096;

// A save of the table: the worker writes a copy of the rows, which shares their text with the table;
// a change of the table meanwhile copies no more than the rows' positions.
DataFileStore::Snapshot snapshotOf(const TrendTableModel& table)
{
    return [&table] {
        return DataFileStore::Job(
            [rows = table.rows()](const QString& path) { return WriteTrendTable(path, rows); });
    };
}

// "About 2000+ searches in US, 500+ in GB": what each country's feed said of each keyword, by
// keyword case-folded.
QHash<QString, QString> TrafficNotes(const QList<HotTrendsMonitor::Sighting>& sightings)
{
    QHash<QString, QStringList> parts;
    for (const HotTrendsMonitor::Sighting& sighting : sightings) {
        QStringList& keywordParts = parts[sighting.item.keyword.toCaseFolded()];
        const QString traffic =
            sighting.item.traffic.isEmpty() ? QStringLiteral("trending") : sighting.item.traffic;
        keywordParts << QStringLiteral("%1 in %2").arg(traffic, sighting.geo);
    }
    QHash<QString, QString> notes;
    for (auto it = parts.cbegin(); it != parts.cend(); ++it)
        notes.insert(it.key(),
                     QStringLiteral("Searches at the last scrape: ") + it.value().join(QStringLiteral(", ")));
    return notes;
}

} // namespace

// What a scrape read. The tally's keywords are views of the page or of the items kept here, which
// nothing changes once the read is done: the folds read it on workers.
struct HotTrendsMonitor::ScrapeRead {
    QString page;          // the classic feed's page
    QList<Sighting> items; // the trending-now feed's items, country by country
    FeedTally tally;
    QList<LedgerSighting> ledger;  // for the history of trends
    QHash<QString, QString> notes; // the trending-now feed's traffic (see TrafficNotes)
};

HotTrendsMonitor::HotTrendsMonitor(TrendTableModel& table, PageFetcher fetch, const Clock& clock,
                                   QObject* parent)
    : QObject(parent)
    , m_table(table)
    , m_fetch(std::move(fetch))
    , m_clock(clock)
    , m_tableFile(new DataFileStore(TrendTableFileName, snapshotOf(table), this))
    , m_lastParsedFile(new DataFileStore(
          LastParsedFileName,
          [this](const QString& path) { return WriteLastParsed(path, DateTimeText(m_lastScrapeTime)); },
          this))
    , m_lastScrapeTime(ZeroDateTime())
{
}

HotTrendsMonitor::~HotTrendsMonitor()
{
    m_stop.request_stop();
}

void HotTrendsMonitor::load()
{
    loadLastParsed();
    loadTable();
}

void HotTrendsMonitor::loadLastParsed()
{
    const QString text = ReadLastParsedText(m_lastParsedFile->path());
    if (const std::optional<QDateTime> when = ParseDateTimeText(text)) {
        m_lastScrapeTime = *when;
        Q_EMIT lastScrapeTextChanged(LastParsedLabel + text);
    }
}

bool HotTrendsMonitor::isLoading() const
{
    return m_tableFile->isLoading();
}

void HotTrendsMonitor::loadTable()
{
    // Everything that reads every row is done by the worker, so that taking the table over costs
    // the user-interface thread nothing.
    m_tableFile->loadInBackground<LoadedTable>(
        [locale = QLocale()](const QString& path) {
            TrendTableRead read = ReadTrendTable(path);
            LoadedTable loaded;
            loaded.newest = NewestDateTime(read.rows, locale);
            loaded.table = TrendTableModel::prepareRows(std::move(read.rows));
            return TableRead<LoadedTable>{std::move(loaded), read.error};
        },
        [this](std::optional<LoadedTable> loaded) { takeTable(std::move(loaded)); });
}

void HotTrendsMonitor::takeTable(std::optional<LoadedTable> loaded)
{
    if (!loaded)
        return;
    m_table.setRows(std::move(loaded->table));
    // The counter is written per row loaded: a file without rows leaves it as it was.
    if (m_table.rowCount() > 0)
        Q_EMIT rowCountChanged(m_table.rowCount());
    if (loaded->newest && *loaded->newest > m_lastScrapeTime) {
        m_lastScrapeTime = *loaded->newest;
        Q_EMIT lastScrapeTextChanged(LastParsedLabel + DateTimeText(*loaded->newest));
    }
}

bool HotTrendsMonitor::hourPassed() const
{
    return WholeHoursBetween(m_lastScrapeTime, m_clock.now()) >= 1;
}

QCoro::Task<> HotTrendsMonitor::tick()
{
    // The hour may count from the table's newest scrape, known once the table is there.
    if (isLoading())
        co_return;
    if (hourPassed() && m_backoff.allows(m_clock.now()))
        co_await scrape();
}

QCoro::Task<> HotTrendsMonitor::scrape()
{
    // One scrape at a time: a tick or a click while one runs starts nothing.
    if (m_scraping)
        co_return;
    m_scraping = true;
    QPointer<HotTrendsMonitor> self(this);
    // Lowered however the scrape ends, an error included, or the monitor would stop for good.
    const auto lower = qScopeGuard([self] {
        if (self)
            self->m_scraping = false;
    });
    // A scrape folds into the whole table, never into one still loading.
    if (isLoading()) {
        co_await m_tableFile->whenLoaded();
        if (!self)
            co_return;
    }
    if (m_source == TrendSource::Trending)
        co_await scrapeTrending();
    else
        co_await scrapeClassic();
}

void HotTrendsMonitor::setSource(TrendSource source, const QStringList& geo, const QString& trendsBase)
{
    m_source = source;
    m_geo = geo;
    m_trendsBase = trendsBase;
}

QCoro::Task<> HotTrendsMonitor::scrapeClassic()
{
    QPointer<HotTrendsMonitor> self(this);
    // The fetcher is kept in this frame: the monitor may go while the page is on its way.
    const PageFetcher fetch = m_fetch;
    PageFetch fetched = co_await fetch(HotTrendsFeedUrl(), FetchStyle::Classic);
    if (!self)
        co_return;
    if (!fetched.page) {
        // Only the feed's own failures make the monitor wait longer; the user's Stop does not.
        if (fetched.refused) {
            m_backoff.refused(m_clock.now());
            announceNextTry();
        } else if (!fetched.stopped()) {
            m_backoff.failed(m_clock.now());
            announceNextTry();
        }
        co_return;
    }
    // The page's text is read on; the bytes it was made of go now.
    QString page = std::move(*fetched.page);
    fetched = PageFetch();
    // Made here and handed on by name: a lambda made in the co_await's own expression would be a
    // temporary that the compiler's coroutines do not always destroy once.
    ReadJob job = [page = std::move(page),
                   gate = m_workerGate](std::stop_token stop) -> std::shared_ptr<const ScrapeRead> {
        auto read = std::make_shared<ScrapeRead>();
        read->page = page;
        // Each keyword's text is made once, and shared by its sightings.
        std::vector<QString> texts;
        qsizetype rank = 0;
        const bool whole = ReadFeedItems(
            read->page,
            [&](QStringView link) {
                if (gate && rank % ItemsBetweenLooks == 0)
                    gate(QStringLiteral("read"));
                ++rank;
                const qsizetype keyword = read->tally.add(link);
                if (size_t(keyword) == texts.size())
                    texts.push_back(read->tally.keyword(keyword).toString());
                // Every item is a sighting, ranked by its place in the feed and spelt as it is
                // there; an item whose link text is empty names no keyword.
                if (link.isEmpty())
                    return;
                const QString& text = texts[size_t(keyword)];
                read->ledger.append(
                    {link == text ? text : CleanCellText(link.toString()), {}, {}, int(rank), {}});
            },
            stop);
        return whole ? read : nullptr;
    };
    co_await completeScrape(std::move(job), LedgerSource::Classic);
}

QCoro::Task<> HotTrendsMonitor::scrapeTrending()
{
    QPointer<HotTrendsMonitor> self(this);
    const PageFetcher fetch = m_fetch;
    const QStringList geos = m_geo.isEmpty() ? QStringList{QStringLiteral("US")} : m_geo;
    const std::stop_token stop = m_stop.get_token();
    QList<Sighting> sightings;
    QStringList skipped;
    bool anyRead = false;
    bool refused = false;
    for (const QString& geo : geos) {
        const PageFetch fetched = co_await fetch(TrendingFeedUrl(m_trendsBase, geo), FetchStyle::Modern);
        if (!self || fetched.stopped())
            co_return;
        if (fetched.refused) {
            // The service asks us to slow down: the countries left wait for the next try.
            refused = true;
            skipped << QStringLiteral("%1 (refused, HTTP %2)").arg(geo).arg(fetched.statusCode);
            break;
        }
        std::optional<QList<TrendingItem>> items;
        if (fetched.failure.isEmpty()) {
            // A big feed is read on a worker.
            QFuture<std::optional<QList<TrendingItem>>> reading =
                QtConcurrent::run(QThreadPool::globalInstance(),
                                  [body = fetched.body, stop] { return ReadTrendingFeed(body, stop); });
            items = co_await reading;
            if (!self)
                co_return;
        }
        if (!items) {
            skipped << QStringLiteral("%1 (%2)").arg(geo, fetched.failure.isEmpty()
                                                              ? QStringLiteral("the feed could not be read")
                                                              : fetched.failure);
            continue;
        }
        anyRead = true;
        for (const TrendingItem& item : *items)
            sightings.append({geo, item});
    }
    if (anyRead) {
        ReadJob job = [sightings,
                       gate = m_workerGate](std::stop_token stop) -> std::shared_ptr<const ScrapeRead> {
            if (gate)
                gate(QStringLiteral("read"));
            auto read = std::make_shared<ScrapeRead>();
            read->items = sightings;
            // Each country's items ranked from 1, in the feed's order.
            QHash<QString, int> ranks;
            for (qsizetype i = 0; i < read->items.size(); ++i) {
                if (i % ItemsBetweenLooks == 0 && stop.stop_requested())
                    return nullptr;
                const Sighting& sighting = read->items.at(i);
                read->tally.add(sighting.item.keyword);
                read->ledger.append({sighting.item.keyword, sighting.geo, sighting.item.traffic,
                                     ++ranks[sighting.geo], sighting.item.news, sighting.item.published});
            }
            read->notes = TrafficNotes(read->items);
            return read;
        };
        co_await completeScrape(std::move(job), LedgerSource::Trending);
        if (!self)
            co_return;
    }
    if (refused) {
        m_backoff.refused(m_clock.now());
        announceNextTry();
    } else if (!anyRead) {
        m_backoff.failed(m_clock.now());
        announceNextTry();
    }
    if (!skipped.isEmpty())
        Q_EMIT countriesSkipped(QStringLiteral("Trends not read for: ") + skipped.join(QStringLiteral(", ")));
}

QCoro::Task<> HotTrendsMonitor::completeScrape(ReadJob readJob, LedgerSource source)
{
    m_backoff.succeeded();
    announceNextTry();

    // The time of the scrape is the time its feed was read; it becomes the last scrape's time once
    // the fold is in the table, so that a close before then leaves the hour to be scraped again.
    const QDateTime scrapeTime = m_clock.now();
    const QString when = DateTimeText(scrapeTime);
    Q_EMIT lastScrapeTextChanged(LastParsedLabel + QStringLiteral(" ") + when);

    QPointer<HotTrendsMonitor> self(this);
    QThreadPool* const workers = QThreadPool::globalInstance();
    const std::stop_token stop = m_stop.get_token();
    qCInfo(lcScrape, "reading the feed");
    QFuture<std::shared_ptr<const ScrapeRead>> reading =
        QtConcurrent::run(workers, [readJob = std::move(readJob), stop] { return readJob(stop); });
    std::shared_ptr<const ScrapeRead> read = co_await reading;
    reading = {};
    if (!self || !read) {
        qCInfo(lcScrape, "scrape stopped while reading");
        co_return;
    }
    // What the read leaves behind (a page, a list per item) is let go of on a worker: the guard
    // takes the frame's reference with it.
    const auto release = qScopeGuard([&read, workers] { workers->start([gone = std::move(read)] {}); });
    qCInfo(lcScrape, "folding %lld items, %lld keywords", static_cast<long long>(read->tally.itemCount()),
           static_cast<long long>(read->tally.size()));

    std::shared_ptr<TrendTableModel::FoldedRows> folded;
    for (;;) {
        const quint64 version = m_table.rowsVersion();
        QFuture<std::shared_ptr<TrendTableModel::FoldedRows>> folding = QtConcurrent::run(
            workers,
            [read, rows = m_table.rows(), when, stop,
             gate = m_workerGate]() -> std::shared_ptr<TrendTableModel::FoldedRows> {
                if (gate)
                    gate(QStringLiteral("fold"));
                std::optional<TrendTableModel::FoldedRows> done =
                    FoldTallyIntoRows(read->tally, rows, when, stop);
                return done ? std::make_shared<TrendTableModel::FoldedRows>(std::move(*done)) : nullptr;
            });
        folded = co_await folding;
        if (!self || !folded) {
            qCInfo(lcScrape, "scrape stopped while folding");
            co_return;
        }
        // Rows deleted or sorted meanwhile: the fold is done again over the rows as they are now.
        if (m_table.rowsVersion() == version)
            break;
        qCInfo(lcScrape, "the table changed during the fold: folding again");
    }
    m_lastScrapeTime = scrapeTime;
    m_lastSightings = read->items;
    if (source == LedgerSource::Trending)
        m_table.setLastScrapeNotes(read->notes);
    m_table.takeFoldedRows(std::move(*folded));
    folded.reset();
    qCInfo(lcScrape, "folded into %d rows", m_table.rowCount());
    // The counter is written per item folded: a page without items leaves it as it was.
    if (read->tally.itemCount() > 0)
        Q_EMIT rowCountChanged(m_table.rowCount());
    m_tableFile->save();
    // The time of the scrape follows the table onto the disk: a kill in between leaves an older
    // time, which the table's newest date then corrects.
    co_await m_tableFile->whenWritten();
    if (!self)
        co_return;
    m_lastParsedFile->save();
    Q_EMIT sightingsSaved(scrapeTime.toUTC(), source, read->ledger);
}

void HotTrendsMonitor::announceNextTry()
{
    const QDateTime next = m_backoff.nextTry();
    Q_EMIT nextTryTextChanged(next.isValid()
                                  ? QStringLiteral("Next try at %1")
                                        .arg(QLocale().toString(next.time(), StoredTimeFormat(QLocale())))
                                  : QString());
}
