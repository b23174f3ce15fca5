#include "trends/HotTrendsMonitor.h"

#include "trends/HotTrendsFeed.h"
#include "trends/TrendFiles.h"
#include "trends/TrendTableModel.h"
#include "util/Clock.h"
#include "util/DataFileStore.h"
#include "util/DateTimeText.h"

#include <QCoroFuture>
#include <QLocale>
#include <QPointer>
#include <QScopeGuard>

namespace {

const QString LastParsedLabel = QStringLiteral("Last scrapped on:");

// A save of the table: the worker writes a copy of the rows, which shares their text with the table;
// a change of the table meanwhile copies no more than the rows' positions.
DataFileStore::Snapshot snapshotOf(const TrendTableModel& table)
{
    return [&table] {
        return DataFileStore::Job(
            [rows = table.rows()](const QString& path) { return WriteTrendTable(path, rows); });
    };
}

} // namespace

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
    const PageFetch fetched = co_await fetch(HotTrendsFeedUrl(), FetchStyle::Classic);
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
    m_lastSightings.clear();
    const QStringList keywords = FeedKeywords(*fetched.page);
    QList<LedgerSighting> sightings;
    for (const QString& keyword : keywords)
        sightings.append({keyword, {}, {}, int(sightings.size()) + 1, {}});
    co_await completeScrape(
        [&](const QString& when) {
            for (const QString& keyword : keywords)
                FoldKeywordIntoTable(keyword, when, m_table);
            return int(keywords.size());
        },
        LedgerSource::Classic, std::move(sightings));
}

QCoro::Task<> HotTrendsMonitor::scrapeTrending()
{
    QPointer<HotTrendsMonitor> self(this);
    const PageFetcher fetch = m_fetch;
    const QStringList geos = m_geo.isEmpty() ? QStringList{QStringLiteral("US")} : m_geo;
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
        const std::optional<QList<TrendingItem>> items =
            fetched.failure.isEmpty() ? ReadTrendingFeed(fetched.body) : std::nullopt;
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
        m_lastSightings = sightings;
        noteTraffic(sightings);
        // Each country's items ranked from 1, in the feed's order.
        QList<LedgerSighting> ledgerSightings;
        QHash<QString, int> ranks;
        for (const Sighting& sighting : sightings)
            ledgerSightings.append({sighting.item.keyword, sighting.geo, sighting.item.traffic,
                                    ++ranks[sighting.geo], sighting.item.news});
        co_await completeScrape(
            [&](const QString& when) {
                for (const Sighting& sighting : sightings)
                    FoldKeywordIntoTable(sighting.item.keyword, when, m_table);
                return int(sightings.size());
            },
            LedgerSource::Trending, std::move(ledgerSightings));
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

QCoro::Task<> HotTrendsMonitor::completeScrape(std::function<int(const QString& dateText)> fold,
                                               LedgerSource source, QList<LedgerSighting> sightings)
{
    m_backoff.succeeded();
    announceNextTry();

    m_lastScrapeTime = m_clock.now();
    const QString when = DateTimeText(m_lastScrapeTime);
    Q_EMIT lastScrapeTextChanged(LastParsedLabel + QStringLiteral(" ") + when);
    // The counter is written per item folded: a page without items leaves it as it was.
    if (fold(when) > 0)
        Q_EMIT rowCountChanged(m_table.rowCount());
    m_tableFile->save();
    // The time of the scrape follows the table onto the disk: a kill in between leaves an older
    // time, which the table's newest date then corrects.
    QPointer<HotTrendsMonitor> self(this);
    co_await m_tableFile->whenWritten();
    if (!self)
        co_return;
    m_lastParsedFile->save();
    Q_EMIT sightingsSaved(m_lastScrapeTime.toUTC(), source, sightings);
}

void HotTrendsMonitor::noteTraffic(const QList<Sighting>& sightings)
{
    // "About 2000+ searches in US, 500+ in GB": what each country's feed said at the last scrape.
    QHash<QString, QStringList> parts;
    for (const Sighting& sighting : sightings) {
        QStringList& keywordParts = parts[sighting.item.keyword.toCaseFolded()];
        const QString traffic =
            sighting.item.traffic.isEmpty() ? QStringLiteral("trending") : sighting.item.traffic;
        keywordParts << QStringLiteral("%1 in %2").arg(traffic, sighting.geo);
    }
    QHash<QString, QString> notes;
    for (auto it = parts.cbegin(); it != parts.cend(); ++it)
        notes.insert(it.key(),
                     QStringLiteral("Searches at the last scrape: ") + it.value().join(QStringLiteral(", ")));
    m_table.setLastScrapeNotes(std::move(notes));
}

void HotTrendsMonitor::announceNextTry()
{
    const QDateTime next = m_backoff.nextTry();
    Q_EMIT nextTryTextChanged(next.isValid()
                                  ? QStringLiteral("Next try at %1")
                                        .arg(QLocale().toString(next.time(), StoredTimeFormat(QLocale())))
                                  : QString());
}
