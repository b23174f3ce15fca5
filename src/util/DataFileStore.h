#pragma once

#include "util/CrashReporter.h"
#include "util/TextFile.h"

#include <QFileInfo>
#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <QPromise>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>
#include <functional>
#include <optional>

class QThreadPool;

// One data file of the program folder. It is written whole through its writer; a file whose last
// write failed stays marked unsaved until a write succeeds, and a file that was there at the start
// but could not be read is never written over, so that nothing in it is lost. Failures are told in
// words that name the file; whoever shows them to the user listens to the signals.
//
// A big table is read and written on worker threads. The worker reads into rows of its own, which
// the user-interface thread takes over when they are complete; a save takes a snapshot of the rows
// on the user-interface thread and writes that. One write of the file runs at a time: saves asked
// for meanwhile end in one more write, of the latest snapshot.
class DataFileStore final : public QObject {
    Q_OBJECT

public:
    // Writes the file at `path` on the calling thread; an empty text on success, else the reason.
    using Writer = std::function<QString(const QString& path)>;
    // Writes a snapshot to `path` on a worker thread; it touches nothing but the snapshot it holds.
    using Job = std::function<QString(const QString& path)>;
    // Takes the snapshot on the user-interface thread and returns the job that writes it.
    using Snapshot = std::function<Job()>;
    // Runs on the worker thread before the file is read: a test holds the load there.
    using ReadGate = std::function<void(const QString& fileName)>;

    DataFileStore(QString fileName, Writer writer, QObject* parent = nullptr);
    // Saves in the background.
    DataFileStore(QString fileName, Snapshot snapshot, QObject* parent = nullptr);
    // Waits for a write under way: the folder may go right after.
    ~DataFileStore() override;

    const QString& fileName() const { return m_fileName; }
    QString path() const;
    bool isUnsaved() const { return m_unsaved; }
    bool isUnreadable() const { return m_unreadable; }
    bool isLoading() const { return m_loading; }
    // A background write runs or waits its turn.
    bool isSaving() const { return m_saveWatcher || m_savePending; }

    // Reads the file through `read` on a worker thread; `take` gets the rows on this object's
    // thread, not before `after` has finished (tables read side by side come in the order of the
    // start), and gets nothing at once when there is no file. A file that is there but cannot be read gives
    // what could be read, is kept as it is from then on, and readFailed says so. Until `take` has run
    // the file is loading: saves leave it alone, since nothing of a table that is not there yet can
    // have changed. `read` sees nothing but the path and what it holds itself.
    template <typename Loaded>
    void loadInBackground(std::function<TableRead<Loaded>(const QString& path)> read,
                          std::function<void(std::optional<Loaded>)> take, QFuture<void> after = {})
    {
        const QString file = path();
        if (!QFileInfo::exists(file)) {
            take(std::nullopt);
            return;
        }
        setLoading(true);
        auto* watcher = new QFutureWatcher<TableRead<Loaded>>(this);
        const auto handOver = [this, watcher, take = std::move(take)] {
            TableRead<Loaded> result = watcher->future().takeResult();
            watcher->deleteLater();
            // A report's box may open here: the table stays loading until its rows are in.
            if (!result.error.isEmpty())
                markUnreadable(result.error);
            CrashReporter::guard(QStringLiteral("Load ") + m_fileName, [&] { take(std::move(result.rows)); });
            setLoading(false);
        };
        connect(watcher, &QFutureWatcherBase::finished, this,
                [this, handOver, after] { whenFinished(after, handOver); });
        watcher->setFuture(QtConcurrent::run(
            threads(), [read = std::move(read), gate = m_readGate, file, name = m_fileName] {
                if (gate)
                    gate(name);
                // Whatever fails, the table comes in (empty) and the file is kept as it is.
                TableRead<Loaded> failed;
                try {
                    return read(file);
                } catch (const std::exception& error) {
                    failed.error = QString::fromLocal8Bit(error.what());
                } catch (...) {
                    failed.error = QStringLiteral("an unknown error");
                }
                return failed;
            }));
    }
    void setReadGate(ReadGate gate) { m_readGate = std::move(gate); }
    // Finished once the file is loaded (at once when it is not loading).
    QFuture<void> whenLoaded() const;

    // Writes the file now, after any background write under way: an empty text, or what failed,
    // naming the file. A failure leaves it unsaved. A table still loading is left as it is.
    [[nodiscard]] QString write();
    // Writes the file (in the background when it saves there); a failure is told by saveFailed.
    void save();
    // Finished once nothing is left to write (at once when nothing is).
    QFuture<void> whenWritten() const;

Q_SIGNALS:
    // The file is about to be written: a write planned for later is no longer needed.
    void writing();
    // `what` names the file and the reason; `again` when its previous write had failed as well.
    void saveFailed(const QString& what, bool again);
    void readFailed(const QString& what);
    void loadingChanged(bool loading);

private:
    static QThreadPool* threads();
    // Runs `then` on this object's thread once `future` has finished, at once when it has.
    void whenFinished(const QFuture<void>& future, const std::function<void()>& then);
    void markUnreadable(const QString& reason);
    void setLoading(bool loading);
    void startPendingSave();
    void finishSave(const QString& error);
    // A failed write's report, or nothing.
    QString noteWrite(const QString& error);
    void settleWrites();

    QString m_fileName;
    Writer m_writer;
    Snapshot m_snapshot;
    ReadGate m_readGate;
    bool m_unsaved = false;
    bool m_unreadable = false;
    bool m_loading = false;
    bool m_savePending = false;
    QFutureWatcher<QString>* m_saveWatcher = nullptr;
    mutable std::optional<QPromise<void>> m_loaded;
    mutable std::optional<QPromise<void>> m_written;
};
