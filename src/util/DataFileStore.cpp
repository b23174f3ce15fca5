#include "util/DataFileStore.h"

#include "util/ProgramFolder.h"

#include <QThread>
#include <QThreadPool>

#include <algorithm>

DataFileStore::DataFileStore(QString fileName, Writer writer, QObject* parent)
    : QObject(parent)
    , m_fileName(std::move(fileName))
    , m_writer(std::move(writer))
{
}

DataFileStore::DataFileStore(QString fileName, Snapshot snapshot, QObject* parent)
    : QObject(parent)
    , m_fileName(std::move(fileName))
    , m_snapshot(std::move(snapshot))
{
}

DataFileStore::~DataFileStore()
{
    if (m_saveWatcher)
        m_saveWatcher->waitForFinished();
}

QThreadPool* DataFileStore::threads()
{
    // Threads of their own, enough for every file to load and save at once: a load held up (a big
    // file on a slow disk) never keeps a save of another file waiting for a thread. Never freed, so
    // that the program's end does not wait on a read that nobody needs any more.
    static QThreadPool* const pool = [] {
        auto* threads = new QThreadPool;
        threads->setMaxThreadCount(std::max(6, QThread::idealThreadCount()));
        return threads;
    }();
    return pool;
}

void DataFileStore::whenFinished(const QFuture<void>& future, const std::function<void()>& then)
{
    if (!future.isValid() || future.isFinished()) {
        then();
        return;
    }
    auto* watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [watcher, then] {
        watcher->deleteLater();
        then();
    });
    watcher->setFuture(future);
}

QString DataFileStore::path() const
{
    return ProgramFile(m_fileName);
}

void DataFileStore::markUnreadable(const QString& reason)
{
    m_unreadable = true;
    Q_EMIT readFailed(QStringLiteral("Could not read \"%1\": %2. Quillory leaves the file as it is.")
                          .arg(m_fileName, reason));
}

void DataFileStore::setLoading(bool loading)
{
    m_loading = loading;
    if (!loading && m_loaded) {
        m_loaded->finish();
        m_loaded.reset();
    }
    Q_EMIT loadingChanged(loading);
}

QFuture<void> DataFileStore::whenLoaded() const
{
    if (!m_loading)
        return QtFuture::makeReadyFuture();
    if (!m_loaded) {
        m_loaded.emplace();
        m_loaded->start();
    }
    return m_loaded->future();
}

QString DataFileStore::noteWrite(const QString& error)
{
    m_unsaved = !error.isEmpty();
    return m_unsaved ? WriteErrorText(path(), error) : QString();
}

QString DataFileStore::write()
{
    QString error;
    if (m_unreadable) {
        error = QStringLiteral("it could not be read at the start, so it is kept as it was");
    } else if (m_loading) {
        return {};
    } else {
        // The write under way ends first: never two writes of the file at once, nor an older
        // snapshot after a newer one. This write supersedes what it wrote and what waited.
        if (m_saveWatcher) {
            m_saveWatcher->waitForFinished();
            delete m_saveWatcher;
            m_saveWatcher = nullptr;
        }
        m_savePending = false;
        Q_EMIT writing();
        error = m_writer ? m_writer(path()) : m_snapshot()(path());
    }
    const QString what = noteWrite(error);
    settleWrites();
    return what;
}

void DataFileStore::save()
{
    // Nothing of a table that is still loading can have changed: the file holds all of it.
    if (m_loading && !m_unreadable)
        return;
    if (!m_snapshot || m_unreadable) {
        const bool failedBefore = m_unsaved;
        const QString what = write();
        if (!what.isEmpty())
            Q_EMIT saveFailed(what, failedBefore);
        return;
    }
    Q_EMIT writing();
    m_savePending = true;
    startPendingSave();
}

void DataFileStore::startPendingSave()
{
    if (!m_savePending || m_saveWatcher)
        return;
    m_savePending = false;
    // The snapshot is taken now rather than when the save was asked for, so that it is the latest.
    Job job = m_snapshot();
    m_saveWatcher = new QFutureWatcher<QString>(this);
    connect(m_saveWatcher, &QFutureWatcherBase::finished, this, [this, watcher = m_saveWatcher] {
        if (watcher == m_saveWatcher)
            finishSave(watcher->result());
    });
    m_saveWatcher->setFuture(QtConcurrent::run(threads(), [job = std::move(job), file = path()] {
        try {
            return job(file);
        } catch (const std::exception& error) {
            return QString::fromLocal8Bit(error.what());
        } catch (...) {
            return QStringLiteral("an unknown error");
        }
    }));
}

void DataFileStore::finishSave(const QString& error)
{
    m_saveWatcher->deleteLater();
    m_saveWatcher = nullptr;
    const bool failedBefore = m_unsaved;
    const QString what = noteWrite(error);
    startPendingSave();
    settleWrites();
    if (!what.isEmpty())
        Q_EMIT saveFailed(what, failedBefore);
}

void DataFileStore::settleWrites()
{
    if (isSaving() || !m_written)
        return;
    m_written->finish();
    m_written.reset();
}

QFuture<void> DataFileStore::whenWritten() const
{
    if (!isSaving())
        return QtFuture::makeReadyFuture();
    if (!m_written) {
        m_written.emplace();
        m_written->start();
    }
    return m_written->future();
}
