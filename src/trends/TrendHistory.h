#pragma once

#include "trends/TrendLedger.h"
#include "trends/TrendRecord.h"

#include <QFuture>
#include <QObject>
#include <QThreadPool>

#include <memory>
#include <stop_token>

// The history of trends' file in the program folder.
inline const QString TrendHistoryFileName = QStringLiteral("trends.sqlite");

// The history of trends as the window uses it: the ledger (see TrendLedger) on a thread of its own,
// so that neither a write nor a query ever holds the window. Jobs run one at a time in the order
// given; the file is open only while there are jobs, so that the folder is free between scrapes
// (to copy, back up or mount). A failure of the ledger never reaches the table files; it is told once through
// problem() (a write that fails again says nothing more until one succeeds).
class TrendHistory final : public QObject {
    Q_OBJECT

public:
    explicit TrendHistory(QString path, QObject* parent = nullptr);
    // Waits for the jobs given, so that the last scrape's sightings are kept; an import of the
    // table under way stops (none of it is kept) and is done again at the next start.
    ~TrendHistory() override;

    // Opens the ledger; while it has no sightings, the rows of `table` (the table of before it)
    // become its first ones, marked as imported.
    void open(TrendRows table);
    // Records one scrape's sightings.
    void record(const QDateTime& at, LedgerSource source, const QList<LedgerSighting>& sightings);
    QFuture<std::optional<KeywordHistory>> history(const QString& keyword, const QDateTime& since = {});
    QFuture<QList<RisingKeyword>> rising(const QDateTime& now);
    // See TrendLedger::summaries.
    QFuture<QHash<QString, KeywordSummary>> summaries(const QStringList& foldedKeywords = {});
    // Waits for the jobs given so far (for tests and the end of the program).
    void waitForJobs();
    // Opened, and no job waiting or running: the file is closed.
    bool isIdle() const { return m_openAsked && m_pending.loadAcquire() == 0; }

Q_SIGNALS:
    // Something the user should know of the history: it could not be opened, was set aside, or a
    // write failed.
    void problem(const QString& text);

private:
    void tell(const QString& text);
    // Runs `job` on the ledger's thread with the ledger open; the last job waiting closes it.
    template <typename Job> auto run(Job job);

    QThreadPool m_thread; // one thread that never expires: the ledger's connection lives on it
    std::shared_ptr<TrendLedger> m_ledger;
    bool m_writeFailing = false; // read and written on the history's thread only
    QAtomicInt m_pending;
    std::stop_source m_stop;
    bool m_openAsked = false;
    bool m_usable = true; // false once the ledger could not be opened
};
