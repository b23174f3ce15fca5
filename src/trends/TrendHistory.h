#pragma once

#include "trends/TrendLedger.h"
#include "trends/TrendRecord.h"

#include <QFuture>
#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <memory>
#include <stop_token>

// The history of trends' file in the program folder.
inline const QString TrendHistoryFileName = QStringLiteral("trends.sqlite");

// The history of trends as the window uses it: the ledger (see TrendLedger) on a thread of its own,
// so that neither a write nor a query ever holds the window. Jobs run one at a time in the order
// given; the file is open only while there are jobs, so that the folder is free between scrapes
// (to copy, back up or mount).
//
// Nothing is lost to a write that cannot be done now (another program holds a lock on the file, the
// disk is full): the sightings wait in memory, up to a limit, and are written with the next write
// or the next try, in the order of their times. The file is set aside only when SQLite finds it
// damaged. A failure of the history never reaches the table files; each trouble is told once
// through problem(), until the history works again.
class TrendHistory final : public QObject {
    Q_OBJECT

public:
    static constexpr qsizetype DefaultWaitingLimit = 50'000;
    static constexpr int DefaultRetryMs = 60'000;

    explicit TrendHistory(QString path, QObject* parent = nullptr);
    // Waits for the jobs given, so that the last scrape's sightings are kept; an import of the
    // table under way stops (none of it is kept) and is finished at the next start. Sightings still
    // waiting are tried once more; what cannot be written is logged.
    ~TrendHistory() override;

    // Opens the ledger; until its import is done, the rows of `table` (the table of before it)
    // go into it, marked as imported.
    void open(TrendRows table);
    // Records one scrape's sightings.
    void record(const QDateTime& at, LedgerSource source, const QList<LedgerSighting>& sightings);
    QFuture<std::optional<KeywordHistory>> history(const QString& keyword, const QDateTime& since = {});
    QFuture<QList<RisingKeyword>> rising(const QDateTime& now);
    // See TrendLedger::summaries.
    QFuture<QHash<QString, KeywordSummary>> summaries(const QStringList& foldedKeywords = {});
    // See TrendLedger::keywordsSeen and TrendLedger::countries.
    QFuture<QSet<QString>> keywordsSeen(const QDateTime& since, const QString& country = {});
    QFuture<QStringList> countries();
    // Waits for the jobs given so far (for tests and the end of the program).
    void waitForJobs();
    // Opened, and no job waiting or running: the file is closed.
    bool isIdle() const { return m_openAsked && m_pending.loadAcquire() == 0; }

    // How long each try waits for a lock that another program holds, and how soon what could not
    // be written is tried again. Set before the first job.
    void setPatience(int busyTimeoutMs, int retryMs);
    // How many sightings may wait at most; beyond it the oldest scrapes are dropped (and told of).
    void setWaitingLimit(qsizetype sightings) { m_waitingLimit = sightings; }
    // The sightings that wait to be written.
    qsizetype waitingSightings() const { return m_waitingCount.loadAcquire(); }

Q_SIGNALS:
    // Something the user should know of the history: it could not be opened, was set aside, or a
    // write failed.
    void problem(const QString& text);

private:
    void tell(const QString& text);
    // Runs `job` on the ledger's thread; the last job waiting closes the ledger.
    template <typename Job> auto run(Job job);
    // On the ledger's thread: the ledger open, or false (and `m_openError` says why).
    bool ready(TrendLedger& ledger);
    // On the ledger's thread: the ledger open for a query, or false (told once).
    bool readable(TrendLedger& ledger);
    // On the ledger's thread: the table's import when it is still to be done. A ledger that cannot
    // be opened is told of when `tellUnopened` (else a write after it tells).
    void importIfPending(TrendLedger& ledger, bool tellUnopened);
    // On the ledger's thread: writes the sightings that wait; returns what went wrong.
    QString writeWaiting(TrendLedger& ledger);
    // The imported sightings of the waiting scrapes' keywords, from the table the import was given:
    // a scrape that comes before the import is done takes them along, so that the import
    // finished later ends as one done at once would have.
    QList<LedgerScrape> importedAlong() const;
    void dropBeyondLimit();
    void scheduleRetry();
    QString waitingTimes() const;

    QThreadPool m_thread; // one thread that never expires: the ledger's connection lives on it
    std::shared_ptr<TrendLedger> m_ledger;
    QAtomicInt m_pending;
    std::stop_source m_stop;
    bool m_openAsked = false;
    QTimer m_retry;
    qsizetype m_waitingLimit = DefaultWaitingLimit;
    QAtomicInteger<qsizetype> m_waitingCount;

    // Read and written on the history's thread only (and by the destructor once it has stopped).
    bool m_usable = true; // false once the ledger cannot be used at all (a newer version)
    QString m_openError;
    QList<LedgerScrape> m_waiting; // in the order of their times
    TrendRows m_importRows;        // the table for the import, while it is still to be done
    bool m_importWanted = false;
    bool m_writeTold = false; // a failure to write was told and nothing was written since
    bool m_importTold = false;
    bool m_readTold = false;
    bool m_dropTold = false;
};
