#include "suggest/SuggestHarvester.h"

#include "net/ServiceAddresses.h"
#include "suggest/SuggestAnswer.h"
#include "util/DataFileStore.h"
#include "util/RandomSource.h"

#include <QCoroTimer>
#include <QPointer>
#include <QScopeGuard>
#include <QTimer>

#include <algorithm>

SuggestHarvester::SuggestHarvester(SuggestTableModel& table, DataFileStore& tableFile, PageFetcher fetch,
                                   RandomSource& random, QObject* parent)
    : QObject(parent)
    , m_table(table)
    , m_tableFile(tableFile)
    , m_fetch(std::move(fetch))
    , m_random(random)
    , m_saveTimer(new QTimer(this))
{
    m_saveTimer->setSingleShot(true);
    m_saveTimer->setInterval(DefaultSaveDelay);
    connect(m_saveTimer, &QTimer::timeout, &m_tableFile, &DataFileStore::save);
    // Whoever writes the table first saves what the timer would have saved.
    connect(&m_tableFile, &DataFileStore::writing, m_saveTimer, &QTimer::stop);
}

void SuggestHarvester::requestStop()
{
    if (m_running)
        m_stopRequested = true;
}

void SuggestHarvester::setPauseRange(int shortest, int longest)
{
    m_shortestPause = std::max(0, shortest);
    m_longestPause = std::max(m_shortestPause, longest);
}

void SuggestHarvester::setSaveDelay(std::chrono::milliseconds delay)
{
    m_saveTimer->setInterval(delay);
}

QCoro::Task<> SuggestHarvester::harvest(QList<RowId> rows)
{
    if (m_running)
        co_return;
    if (!m_sourceProblem.isEmpty()) {
        Q_EMIT cannotStart(m_sourceProblem);
        co_return;
    }
    m_stopRequested = false;
    m_running = true;
    QPointer<SuggestHarvester> self(this);
    {
        // Told last, once the next harvest may start.
        const auto hideProgress = qScopeGuard([self] {
            if (!self)
                return;
            Q_EMIT self->progressTextChanged(QString());
            Q_EMIT self->ended();
        });
        // However the harvest ends, an error included, the next one may start, and a stop request
        // ends with the harvest it stopped.
        const auto lower = qScopeGuard([self] {
            if (!self)
                return;
            self->m_running = false;
            self->m_stopRequested = false;
        });
        m_elapsed.start();
        Q_EMIT started(rows.size());
        co_await harvestRows(std::move(rows));
    }
    if (self)
        m_tableFile.save();
}

QCoro::Task<> SuggestHarvester::harvestRows(QList<RowId> rows)
{
    QPointer<SuggestHarvester> self(this);
    bool first = true;
    for (qsizetype turn = 0; turn < rows.size(); ++turn) {
        const RowId id = rows[turn];
        Q_EMIT gaugeReset();
        if (m_stopRequested)
            co_return;
        if (!m_table.recordOfId(id)) {
            turnDone(turn, rows.size());
            continue;
        }
        Q_EMIT progressTextChanged(QStringLiteral("Phrase %1 of %2").arg(turn + 1).arg(rows.size()));
        Q_EMIT turnStarted(turn, rows.size());
        if (!first) {
            Q_EMIT statusChanged(QStringLiteral("Preparing suggestions of: ") +
                                 m_table.recordOfId(id)->phrase + QStringLiteral("..."));
            const int pause = m_shortestPause + m_random.bounded(m_longestPause - m_shortestPause + 1);
            Q_EMIT pausing(pause);
            co_await pauseSeconds(pause, true);
            if (!self || m_stopRequested)
                co_return;
        }
        first = false;
        std::optional<SuggestRecord> record = m_table.recordOfId(id);
        if (!record) {
            turnDone(turn, rows.size());
            continue;
        }
        Q_EMIT statusChanged(QStringLiteral("Getting suggestion of: ") + record->phrase +
                             QStringLiteral("..."));
        m_table.setHarvestNote(id, SuggestTableModel::HarvestNote::Fetching);
        Q_EMIT rowFetching(id);
        const std::optional<Fetched> answered = co_await fetchPatiently(record->phrase);
        if (!self)
            co_return;
        if (!answered) {
            // Refused to the end, or stopped while waiting: the row keeps what it held.
            if (m_table.recordOfId(id))
                m_table.setHarvestNote(id, SuggestTableModel::HarvestNote::None);
            co_return;
        }
        const Fetched& fetched = *answered;
        record = m_table.recordOfId(id);
        if (!record) {
            turnDone(turn, rows.size());
            continue;
        }
        SuggestCells cells = record->cells;
        ApplySuggestionPairs(cells, fetched.pairs, fetched.figures);
        m_table.setCells(id, cells);
        m_table.setHarvestNote(id, noteOf(fetched), fetched.failure);
        if (noteOf(fetched) == SuggestTableModel::HarvestNote::Failed)
            Q_EMIT fetchFailed(id, fetched.failure);
        Q_EMIT rowFilled(id);
        saveSoon();
        turnDone(turn, rows.size());
    }
}

void SuggestHarvester::turnDone(qsizetype turn, qsizetype count)
{
    const qsizetype done = turn + 1;
    // The pace so far, pauses included, for the rest.
    const qint64 secondsLeft = m_elapsed.elapsed() * (count - done) / done / 1000;
    Q_EMIT phrasesDone(done, count, secondsLeft);
}

QCoro::Task<> SuggestHarvester::pauseSeconds(int seconds, bool countDown)
{
    QPointer<SuggestHarvester> self(this);
    for (int step = 0; step < seconds * 10 && self; ++step) {
        if (countDown && step % 10 == 0)
            Q_EMIT pauseLeft(seconds - step / 10);
        co_await QCoro::sleepFor(m_pauseStep);
    }
}

QCoro::Task<std::optional<SuggestHarvester::Fetched>> SuggestHarvester::fetchPatiently(QString phrase)
{
    QPointer<SuggestHarvester> self(this);
    for (int retries = 0;; ++retries) {
        Fetched fetched = co_await fetchSuggestions(phrase);
        if (!self)
            co_return std::nullopt;
        if (!fetched.refused)
            co_return fetched;
        if (retries == MaxRetriesAfterRefusal) {
            Q_EMIT serviceRefused(serviceName(), fetched.statusCode, phrase);
            co_return std::nullopt;
        }
        co_await waitAfterRefusal(RefusalDelay(retries), fetched.statusCode);
        if (!self || m_stopRequested)
            co_return std::nullopt;
        Q_EMIT statusChanged(QStringLiteral("Getting suggestion of: ") + phrase + QStringLiteral("..."));
    }
}

QCoro::Task<> SuggestHarvester::waitAfterRefusal(std::chrono::seconds delay, int statusCode)
{
    QPointer<SuggestHarvester> self(this);
    for (auto left = delay; left.count() > 0 && self && !m_stopRequested; --left) {
        Q_EMIT statusChanged(QStringLiteral("%1 refused to answer (HTTP %2). Trying again in %3 s...")
                                 .arg(serviceName())
                                 .arg(statusCode)
                                 .arg(left.count()));
        co_await pauseSeconds(1);
    }
}

std::chrono::seconds SuggestHarvester::RefusalDelay(int retries)
{
    return std::min(FirstRefusalDelay * (1 << std::min(retries, 10)), LongestRefusalDelay);
}

QString SuggestHarvester::serviceName() const
{
    return m_source ? m_source->name() : QStringLiteral("Google Suggest");
}

QCoro::Task<SuggestHarvester::Fetched> SuggestHarvester::fetchSuggestions(QString phrase)
{
    // The fetcher and the source are kept in this frame: the harvester may go while the answer is on
    // its way.
    const PageFetcher fetch = m_fetch;
    const std::shared_ptr<const SuggestSource> source = m_source;
    if (!source) {
        const PageFetch fetched =
            co_await fetch(SuggestQueryUrl(GoogleWebHost(), phrase), FetchStyle::Classic);
        co_return Fetched{fetched.page ? SuggestPairs(SuggestPairText(*fetched.page)) : QList<SuggestPair>(),
                          true, fetched.failure, fetched.statusCode, fetched.refused};
    }
    const PageFetch fetched = co_await fetch(source->requestUrl(phrase), FetchStyle::Modern);
    Fetched result{{}, source->hasFigures(), fetched.failure, fetched.statusCode, fetched.refused};
    if (fetched.failure.isEmpty()) {
        if (std::optional<QList<SuggestPair>> pairs =
                source->readReply({fetched.statusCode, fetched.body, fetched.contentType}))
            result.pairs = std::move(*pairs);
        else
            result.failure = QStringLiteral("The answer of %1 could not be read").arg(source->name());
    }
    co_return result;
}

SuggestTableModel::HarvestNote SuggestHarvester::noteOf(const Fetched& fetched)
{
    using Note = SuggestTableModel::HarvestNote;
    if (fetched.failure == PageFetchStopped)
        return Note::Stopped;
    if (!fetched.failure.isEmpty())
        return Note::Failed;
    return fetched.pairs.isEmpty() ? Note::NoSuggestions : Note::Filled;
}

void SuggestHarvester::saveSoon()
{
    if (!m_saveTimer->isActive())
        m_saveTimer->start();
}
