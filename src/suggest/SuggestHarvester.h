#pragma once

#include "net/PageFetch.h"
#include "suggest/SuggestAnswer.h"
#include "suggest/SuggestSource.h"
#include "suggest/SuggestTableModel.h"

#include <QCoroTask>
#include <QElapsedTimer>
#include <QObject>

#include <chrono>
#include <memory>
#include <optional>

class DataFileStore;
class QTimer;
class RandomSource;

// The Suggest harvest: fills the pairs of chosen rows of the Suggest table from a suggest service, one
// phrase at a time with a random pause of 0 to 7 seconds before each phrase but the first. It
// follows its rows by their ids, so sorting, importing or deleting meanwhile never sends a phrase's
// completions to another row, and a row deleted before its turn is passed over. Each harvested row
// is saved soon after, once for many rows close together, and the table once more at the end.
//
// The status texts keep the program's old wording on purpose.
class SuggestHarvester final : public QObject {
    Q_OBJECT

public:
    using RowId = SuggestTableModel::RowId;
    static constexpr std::chrono::milliseconds DefaultSaveDelay{2000};
    static constexpr std::chrono::milliseconds DefaultPauseStep{100};
    // A service that refuses to answer is asked again after 60 s, then 120, 240 … (at most 15
    // minutes), three times; then the harvest stops.
    static constexpr std::chrono::seconds FirstRefusalDelay{60};
    static constexpr std::chrono::seconds LongestRefusalDelay{15 * 60};
    static constexpr int MaxRetriesAfterRefusal = 3;
    static std::chrono::seconds RefusalDelay(int retries);

    SuggestHarvester(SuggestTableModel& table, DataFileStore& tableFile, PageFetcher fetch,
                     RandomSource& random, QObject* parent = nullptr);

    bool isRunning() const { return m_running; }
    bool stopRequested() const { return m_stopRequested; }
    // Ends the running harvest at its next check: before the pause, after it, or before the next
    // phrase. A fetch under way is for the fetcher to cut off. Nothing stays raised when no harvest
    // runs.
    void requestStop();

    // How long after a harvested row the table is saved.
    void setSaveDelay(std::chrono::milliseconds delay);
    // The service asked: one of today's, or (null, the default) the classic Google Suggest.
    void setSource(std::shared_ptr<const SuggestSource> source) { m_source = std::move(source); }
    // Why the service cannot be asked at all (its address in the options cannot be used), or empty:
    // while it is set, a harvest asks nothing and tells it by cannotStart.
    void setSourceProblem(const QString& problem) { m_sourceProblem = problem; }
    // The pause before each phrase but the first is drawn from these seconds (0 to 7 unless set).
    void setPauseRange(int shortest, int longest);
    // A pause of n seconds is n × 10 of these steps.
    void setPauseStep(std::chrono::milliseconds step) { m_pauseStep = step; }

    // Harvests the rows with these ids, in this order, then saves the table. Nothing while a harvest
    // runs.
    QCoro::Task<> harvest(QList<RowId> rows);

Q_SIGNALS:
    // "Preparing suggestions of: ..." before a pause, "Getting suggestion of: ..." before a fetch.
    void statusChanged(const QString& text);
    // Each turn starts with the progress gauge at 0.
    void gaugeReset();
    // "Phrase n of m" for the phrase at work; empty once the harvest has ended.
    void progressTextChanged(const QString& text);
    // The turn of the phrase at `turn` (from 0) of `count` begins.
    void turnStarted(qsizetype turn, qsizetype count);
    // The pause before the phrase begins, `seconds` long.
    void pausing(int seconds);
    // The pause under way has `seconds` left (told at each whole second, down to 1).
    void pauseLeft(int seconds);
    // A harvest of `count` phrases starts; it ends with `ended`, however it ends.
    void started(qsizetype count);
    void ended();
    // `done` of `count` phrases are done (harvested, failed or passed over); at this pace the rest
    // takes about `secondsLeft` more.
    void phrasesDone(qsizetype done, qsizetype count, qint64 secondsLeft);
    // The row's phrase is being fetched.
    void rowFetching(RowId id);
    // The row's cells have been filled (with "N/A" where the fetch gave nothing).
    void rowFilled(RowId id);
    // The row's fetch failed (its cells say "N/A"): why, in the exchange's words.
    void fetchFailed(RowId id, const QString& reason);
    // A harvest was asked for, but its service cannot be asked (setSourceProblem): nothing was done.
    void cannotStart(const QString& problem);
    // The service kept refusing: the harvest stopped before `nextPhrase`, which keeps its cells.
    void serviceRefused(const QString& service, int statusCode, const QString& nextPhrase);

private:
    struct Fetched {
        QList<SuggestPair> pairs; // empty when nothing was obtained
        bool figures = true;      // whether the source gives result figures
        QString failure;
        int statusCode = 0;
        bool refused = false;
    };

    QCoro::Task<> harvestRows(QList<RowId> rows);
    // The turn at `turn` of `count` is over.
    void turnDone(qsizetype turn, qsizetype count);
    // With `countDown`, the seconds left are told (pauseLeft).
    QCoro::Task<> pauseSeconds(int seconds, bool countDown = false);
    QCoro::Task<Fetched> fetchSuggestions(QString phrase);
    // The answer for `phrase`, asked again after each refusal; nothing when the service refused to
    // the end or the user stopped meanwhile.
    QCoro::Task<std::optional<Fetched>> fetchPatiently(QString phrase);
    QCoro::Task<> waitAfterRefusal(std::chrono::seconds delay, int statusCode);
    QString serviceName() const;
    static SuggestTableModel::HarvestNote noteOf(const Fetched& fetched);
    void saveSoon();

    SuggestTableModel& m_table;
    DataFileStore& m_tableFile;
    PageFetcher m_fetch;
    std::shared_ptr<const SuggestSource> m_source;
    QString m_sourceProblem;
    RandomSource& m_random;
    QTimer* m_saveTimer;
    std::chrono::milliseconds m_pauseStep = DefaultPauseStep;
    int m_shortestPause = 0;
    int m_longestPause = 7;
    QElapsedTimer m_elapsed;
    bool m_running = false;
    bool m_stopRequested = false;
};
