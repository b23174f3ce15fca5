#include "trends/TrendHistory.h"

#include <QtConcurrentRun>

TrendHistory::TrendHistory(QString path, QObject* parent)
    : QObject(parent)
    , m_ledger(std::make_shared<TrendLedger>(std::move(path)))
{
    m_thread.setMaxThreadCount(1);
    m_thread.setExpiryTimeout(-1);
}

TrendHistory::~TrendHistory()
{
    m_stop.request_stop();
    m_thread.waitForDone();
}

void TrendHistory::tell(const QString& text)
{
    // From the ledger's thread to this object's.
    QMetaObject::invokeMethod(
        this, [this, text] { Q_EMIT problem(text); }, Qt::QueuedConnection);
}

template <typename Job> auto TrendHistory::run(Job job)
{
    m_pending.ref();
    return QtConcurrent::run(&m_thread, [this, job = std::move(job)] {
        // The ledger is opened again (in a millisecond) for a job after a pause.
        if (!m_ledger->isOpen() && m_usable) {
            if (const QString error = m_ledger->open(); !error.isEmpty()) {
                m_usable = false;
                tell(tr("The history of trends is not kept: %1").arg(error));
            } else if (!m_ledger->notice().isEmpty()) {
                tell(m_ledger->notice());
            }
        }
        // The last job closes the file before it counts itself done: idle means closed.
        const auto closeWhenLast = qScopeGuard([this] {
            if (m_pending.loadAcquire() == 1)
                m_ledger->close();
            m_pending.deref();
        });
        return job(*m_ledger);
    });
}

void TrendHistory::open(TrendRows table)
{
    m_openAsked = true;
    (void)run([this, table = std::move(table)](TrendLedger& ledger) {
        // A ledger without sightings is new, or its import was cut short (by the end of the
        // program, which does not wait for it): the table's keywords go in now.
        if (!ledger.isOpen() || ledger.hasSightings() || table.isEmpty())
            return;
        const QString error = ledger.importTable(table, QLocale(), m_stop.get_token());
        if (!error.isEmpty() && !m_stop.stop_requested())
            tell(tr("The keywords of the table could not be added to the history of trends: %1").arg(error));
    });
}

void TrendHistory::record(const QDateTime& at, LedgerSource source, const QList<LedgerSighting>& sightings)
{
    (void)run([this, at, source, sightings](TrendLedger& ledger) {
        if (!ledger.isOpen())
            return; // told when it was opened
        const QString error = ledger.recordScrape(at, source, sightings);
        if (!error.isEmpty() && !m_writeFailing)
            tell(tr("The scrape could not be added to the history of trends: %1").arg(error));
        m_writeFailing = !error.isEmpty();
    });
}

QFuture<std::optional<KeywordHistory>> TrendHistory::history(const QString& keyword, const QDateTime& since)
{
    return run([keyword, since](TrendLedger& ledger) { return ledger.history(keyword, since); });
}

QFuture<QList<RisingKeyword>> TrendHistory::rising(const QDateTime& now)
{
    return run([now](TrendLedger& ledger) { return ledger.rising(now); });
}

QFuture<QHash<QString, KeywordSummary>> TrendHistory::summaries(const QStringList& foldedKeywords)
{
    return run([foldedKeywords](TrendLedger& ledger) { return ledger.summaries(foldedKeywords); });
}

void TrendHistory::waitForJobs()
{
    m_thread.waitForDone();
}
