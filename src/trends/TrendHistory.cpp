#include "trends/TrendHistory.h"

#include "util/CrashReporter.h"
#include "util/DateTimeTextReader.h"

#include <QSet>
#include <QtConcurrentRun>

#include <algorithm>

namespace {

qsizetype SightingsOf(const QList<LedgerScrape>& scrapes)
{
    qsizetype count = 0;
    for (const LedgerScrape& scrape : scrapes)
        count += scrape.sightings.size();
    return count;
}

QString ClockTime(const QDateTime& at)
{
    return QLocale().toString(at.toLocalTime().time(), QLocale::ShortFormat);
}

} // namespace

template <typename Job> auto TrendHistory::run(Job job)
{
    m_pending.ref();
    return QtConcurrent::run(&m_thread, [this, job = std::move(job)] {
        // The last job closes the file before it counts itself done: idle means closed.
        const auto closeWhenLast = qScopeGuard([this] {
            if (m_pending.loadAcquire() == 1)
                m_ledger->close();
            m_pending.deref();
        });
        return job(*m_ledger);
    });
}

TrendHistory::TrendHistory(QString path, QObject* parent)
    : QObject(parent)
    , m_ledger(std::make_shared<TrendLedger>(std::move(path)))
{
    m_thread.setMaxThreadCount(1);
    m_thread.setExpiryTimeout(-1);
    m_retry.setSingleShot(true);
    m_retry.setInterval(DefaultRetryMs);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        (void)run([this](TrendLedger& ledger) {
            importIfPending(ledger, m_waiting.isEmpty());
            (void)writeWaiting(ledger);
        });
    });
}

TrendHistory::~TrendHistory()
{
    m_retry.stop();
    m_stop.request_stop();
    m_thread.waitForDone();
    if (m_waiting.isEmpty())
        return;
    // One more try for what waits (a lock may have gone since); what still cannot be written is
    // logged, as nobody is left to tell.
    QtConcurrent::run(&m_thread, [this] {
        const qsizetype count = SightingsOf(m_waiting);
        const QString times = waitingTimes();
        const QString error = writeWaiting(*m_ledger);
        m_ledger->close();
        if (!m_waiting.isEmpty()) {
            CrashReporter::log(
                QStringLiteral("TrendHistory"),
                tr("%n sighting(s) of the scrapes of %1 could not be written to the history of trends: %2",
                   nullptr, int(count))
                    .arg(times, error));
        }
    }).waitForFinished();
}

void TrendHistory::setPatience(int busyTimeoutMs, int retryMs)
{
    m_ledger->setBusyTimeout(busyTimeoutMs);
    m_retry.setInterval(retryMs);
}

void TrendHistory::tell(const QString& text)
{
    // From the ledger's thread to this object's.
    QMetaObject::invokeMethod(
        this, [this, text] { Q_EMIT problem(text); }, Qt::QueuedConnection);
}

void TrendHistory::scheduleRetry()
{
    if (!m_usable)
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_retry.isActive())
                m_retry.start();
        },
        Qt::QueuedConnection);
}

bool TrendHistory::ready(TrendLedger& ledger)
{
    if (ledger.isOpen())
        return true;
    if (!m_usable)
        return false;
    // The ledger is opened again (in a millisecond) for a job after a pause.
    m_openError = ledger.open();
    if (!ledger.notice().isEmpty())
        tell(ledger.notice()); // set aside: told once, with the file's new name
    if (m_openError.isEmpty()) {
        m_readTold = false;
        return true;
    }
    if (ledger.fault() == LedgerFault::Newer || ledger.fault() == LedgerFault::Damaged) {
        // Not ours to change (a newer version), or damaged and not even renamed aside: left alone
        // for the rest of the run.
        m_usable = false;
        tell(tr("The history of trends is not kept: %1").arg(m_openError));
    }
    return false;
}

void TrendHistory::open(TrendRows table)
{
    m_openAsked = true;
    (void)run([this, table = std::move(table)](TrendLedger& ledger) {
        m_importRows = table;
        m_importWanted = true;
        importIfPending(ledger, true);
    });
}

void TrendHistory::importIfPending(TrendLedger& ledger, bool tellUnopened)
{
    if (!m_importWanted || m_stop.stop_requested())
        return;
    QString error;
    if (!ready(ledger)) {
        error = m_openError;
        if (!tellUnopened)
            return; // the write that follows tells it, and tries again
    } else if (!ledger.importPending()) {
        m_importWanted = false;
        m_importRows = {};
        return;
    } else {
        error = ledger.importTable(m_importRows, QLocale(), m_stop.get_token());
        if (error.isEmpty()) {
            m_importWanted = false;
            m_importRows = {};
            m_importTold = false;
            return;
        }
        if (m_stop.stop_requested())
            return; // the close stopped it: it is finished at the next start
    }
    if (!m_usable)
        return;
    if (!m_importTold)
        tell(tr("The keywords of the table could not be added to the history of trends: %1. They are added "
                "at the next chance.")
                 .arg(error));
    m_importTold = true;
    scheduleRetry();
}

void TrendHistory::record(const QDateTime& at, LedgerSource source, const QList<LedgerSighting>& sightings)
{
    (void)run([this, at, source, sightings](TrendLedger& ledger) {
        // In the order of their times, whatever order they came in.
        const auto later = std::upper_bound(
            m_waiting.begin(), m_waiting.end(), at,
            [](const QDateTime& time, const LedgerScrape& scrape) { return time < scrape.at; });
        m_waiting.insert(later, {at, source, sightings});
        dropBeyondLimit();
        m_waitingCount.storeRelease(SightingsOf(m_waiting));
        // The table's import goes first, so that a scrape after it is written after it.
        importIfPending(ledger, false);
        (void)writeWaiting(ledger);
    });
}

QString TrendHistory::waitingTimes() const
{
    if (m_waiting.isEmpty())
        return {};
    const QString first = ClockTime(m_waiting.first().at);
    const QString last = ClockTime(m_waiting.last().at);
    return first == last ? first : tr("%1 to %2").arg(first, last);
}

void TrendHistory::dropBeyondLimit()
{
    qsizetype count = SightingsOf(m_waiting);
    qsizetype dropped = 0;
    QDateTime from;
    QDateTime to;
    // The newest scrape always stays.
    while (count > m_waitingLimit && m_waiting.size() > 1) {
        const LedgerScrape oldest = m_waiting.takeFirst();
        count -= oldest.sightings.size();
        dropped += oldest.sightings.size();
        if (!from.isValid())
            from = oldest.at;
        to = oldest.at;
    }
    if (dropped == 0)
        return;
    const QString times = from == to ? ClockTime(from) : tr("%1 to %2").arg(ClockTime(from), ClockTime(to));
    if (!m_dropTold)
        tell(tr("%n sighting(s) of the scrapes of %1 could wait no longer for the history of trends and were "
                "dropped.",
                nullptr, int(dropped))
                 .arg(times));
    m_dropTold = true;
}

QList<LedgerScrape> TrendHistory::importedAlong() const
{
    QSet<QString> keywords;
    for (const LedgerScrape& scrape : m_waiting) {
        for (const LedgerSighting& sighting : scrape.sightings)
            keywords.insert(sighting.keyword.toCaseFolded());
    }
    QList<LedgerScrape> imported;
    const DateTimeTextReader reader;
    for (qsizetype row = 0; row < m_importRows.size(); ++row) {
        const QString keyword = m_importRows.keyword(row).toString();
        if (!keywords.contains(keyword.toCaseFolded()))
            continue;
        if (const std::optional<QDateTime> seen = reader.read(m_importRows.date(row)))
            imported.append({seen->toUTC(), LedgerSource::Imported, {{keyword, {}, {}, 0, {}}}});
    }
    return imported;
}

QString TrendHistory::writeWaiting(TrendLedger& ledger)
{
    if (m_waiting.isEmpty())
        return {};
    QString error;
    if (!ready(ledger)) {
        error = m_openError;
    } else {
        QList<LedgerScrape> scrapes = m_waiting;
        if (m_importWanted && ledger.importPending())
            scrapes += importedAlong();
        error = ledger.recordScrapes(scrapes);
        if (error.isEmpty()) {
            m_waiting.clear();
            m_waitingCount.storeRelease(0);
            m_writeTold = false;
            m_dropTold = false;
            return {};
        }
        // A file found damaged now is looked at whole when it is opened next, and set aside.
        if (ledger.fault() == LedgerFault::Damaged)
            ledger.close();
    }
    if (!m_usable) {
        // A history that is not kept at all (told once when it was found so): nothing waits for it.
        m_waiting.clear();
        m_waitingCount.storeRelease(0);
        return error;
    }
    if (!m_writeTold) {
        const QString what =
            m_waiting.size() == 1
                ? tr("The sightings of the scrape of %1 could not be kept in the history of trends")
                : tr("The sightings of the scrapes of %1 could not be kept in the history of trends");
        tell(
            tr("%1: %2. They wait and are written at the next chance.").arg(what.arg(waitingTimes()), error));
    }
    m_writeTold = true;
    scheduleRetry();
    return error;
}

bool TrendHistory::readable(TrendLedger& ledger)
{
    if (ready(ledger))
        return true;
    if (!m_readTold && m_usable)
        tell(tr("The history of trends could not be read: %1").arg(m_openError));
    m_readTold = true;
    return false;
}

QFuture<std::optional<KeywordHistory>> TrendHistory::history(const QString& keyword, const QDateTime& since)
{
    return run([this, keyword, since](TrendLedger& ledger) -> std::optional<KeywordHistory> {
        if (!readable(ledger))
            return std::nullopt;
        return ledger.history(keyword, since);
    });
}

QFuture<QList<RisingKeyword>> TrendHistory::rising(const QDateTime& now)
{
    return run([this, now](TrendLedger& ledger) {
        if (!readable(ledger))
            return QList<RisingKeyword>();
        return ledger.rising(now);
    });
}

QFuture<QHash<QString, KeywordSummary>> TrendHistory::summaries(const QStringList& foldedKeywords)
{
    return run([this, foldedKeywords](TrendLedger& ledger) {
        if (!readable(ledger))
            return QHash<QString, KeywordSummary>();
        return ledger.summaries(foldedKeywords);
    });
}

QFuture<QSet<QString>> TrendHistory::keywordsSeen(const QDateTime& since, const QString& country)
{
    return run([this, since, country](TrendLedger& ledger) {
        if (!readable(ledger))
            return QSet<QString>();
        return ledger.keywordsSeen(since, country);
    });
}

QFuture<QStringList> TrendHistory::countries()
{
    return run([this](TrendLedger& ledger) {
        if (!readable(ledger))
            return QStringList();
        return ledger.countries();
    });
}

void TrendHistory::waitForJobs()
{
    m_thread.waitForDone();
}
