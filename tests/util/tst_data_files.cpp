#include "support/Gate.h"
#include "support/TestFiles.h"
#include "util/DataFileStore.h"

#include <QCoroFuture>
#include <QCoroTask>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace {

const QString TableFile = u"table.dat"_s;
// Where the writer waits; the load waits under the file's name.
const QString Writing = u"writing"_s;

// What the writes of a store did: the rows each one wrote, in order, and how many ran at once.
struct Writes {
    std::mutex mutex;
    QList<QStringList> written;
    std::atomic<int> running{0};
    std::atomic<int> mostAtOnce{0};

    QList<QStringList> list()
    {
        const std::lock_guard lock(mutex);
        return written;
    }
};

// The job of a snapshot of `rows`: counted from its start, held at `gate`, then written one row a
// line.
DataFileStore::Job countedJob(QStringList rows, std::shared_ptr<Writes> writes,
                              std::function<void(const QString&)> gate)
{
    return [rows, writes, gate](const QString& path) {
        const int now = ++writes->running;
        int most = writes->mostAtOnce;
        while (now > most && !writes->mostAtOnce.compare_exchange_weak(most, now)) {
        }
        gate(Writing);
        const QString error = WriteTextFileAtomic(path, rows.join(u'\n'));
        {
            const std::lock_guard lock(writes->mutex);
            writes->written.append(rows);
        }
        --writes->running;
        return error;
    };
}

TableRead<QStringList> readLines(const QString& path)
{
    TableRead<QStringList> read;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        read.rows = QString::fromUtf8(file.readAll()).split(u'\n');
    else
        read.error = file.errorString();
    return read;
}

} // namespace

// A data file saved in the background and read on a worker: a table of text rows whose writer
// waits at a gate that the test holds.
class TestDataFiles : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void savesDuringAWriteEndInOneWriteOfTheLatest();
    void writeWaitsForTheSaveUnderWay();
    void failedSaveIsToldOnTheUserInterfaceThread();
    void tableStillLoadingIsNeverWritten_data();
    void tableStillLoadingIsNeverWritten();

private:
    QString path() const { return m_home->filePath(TableFile); }
    void waitForWrites() { QCoro::waitFor(qCoro(m_store->whenWritten()).waitForFinished()); }

    std::unique_ptr<QTemporaryDir> m_home;
    Gate m_gate;
    std::shared_ptr<Writes> m_writes;
    QStringList m_rows;
    int m_snapshots = 0;
    std::unique_ptr<DataFileStore> m_store;
};

void TestDataFiles::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("QUILLORY_HOME", m_home->path().toUtf8());
    m_writes = std::make_shared<Writes>();
    m_rows.clear();
    m_snapshots = 0;
    m_store = std::make_unique<DataFileStore>(TableFile, DataFileStore::Snapshot([this] {
                                                  ++m_snapshots;
                                                  return countedJob(m_rows, m_writes, m_gate.passage());
                                              }));
}

void TestDataFiles::cleanup()
{
    m_gate.releaseAll();
    m_store.reset();
    m_home.reset();
    qunsetenv("QUILLORY_HOME");
}

void TestDataFiles::savesDuringAWriteEndInOneWriteOfTheLatest()
{
    m_rows = {u"a"_s};
    m_gate.hold(Writing);
    m_store->save();
    QTRY_COMPARE(m_gate.waitingAt(Writing), 1);

    // The table changes on while its snapshot is written; the saves asked for meanwhile wait.
    m_rows[0] = u"A"_s;
    m_store->save();
    m_rows << u"b"_s;
    m_store->save();
    QCOMPARE(m_snapshots, 1);
    QVERIFY(m_store->isSaving());

    m_gate.release(Writing);
    waitForWrites();
    QCOMPARE(m_writes->list(), (QList<QStringList>{{u"a"_s}, {u"A"_s, u"b"_s}}));
    QCOMPARE(m_writes->mostAtOnce.load(), 1);
    QCOMPARE(readFile(path()), "A\nb");
    QVERIFY(!m_store->isSaving());
    QVERIFY(!m_store->isUnsaved());
}

void TestDataFiles::writeWaitsForTheSaveUnderWay()
{
    m_rows = {u"a"_s};
    m_gate.hold(Writing);
    m_store->save();
    QTRY_COMPARE(m_gate.waitingAt(Writing), 1);
    m_rows << u"b"_s;
    m_store->save();

    // The close's write: it blocks this thread, so the held write is let go from another.
    std::thread releaser([this] {
        std::this_thread::sleep_for(50ms);
        m_gate.release(Writing);
    });
    const QString error = m_store->write();
    releaser.join();

    QCOMPARE(error, QString());
    // The save that waited is the write's own: nothing is written twice, nor at once.
    QCOMPARE(m_writes->list(), (QList<QStringList>{{u"a"_s}, {u"a"_s, u"b"_s}}));
    QCOMPARE(m_writes->mostAtOnce.load(), 1);
    QVERIFY(!m_store->isSaving());
    QCOMPARE(readFile(path()), "a\nb");
}

void TestDataFiles::failedSaveIsToldOnTheUserInterfaceThread()
{
    QVERIFY(QDir(m_home->path()).mkdir(TableFile));
    QList<bool> again;
    connect(m_store.get(), &DataFileStore::saveFailed, this, [&](const QString& what, bool twice) {
        QCOMPARE(QThread::currentThread(), thread());
        QVERIFY2(what.startsWith(u"Could not write \"table.dat\": "_s), qPrintable(what));
        again << twice;
    });
    m_rows = {u"a"_s};
    m_store->save();
    waitForWrites();
    m_store->save();
    waitForWrites();
    QCOMPARE(again, (QList<bool>{false, true}));
    QVERIFY(m_store->isUnsaved());

    QVERIFY(QDir(m_home->path()).rmdir(TableFile));
    m_store->save();
    waitForWrites();
    QCOMPARE(again.size(), 2);
    QVERIFY(!m_store->isUnsaved());
    QCOMPARE(readFile(path()), "a");
}

void TestDataFiles::tableStillLoadingIsNeverWritten_data()
{
    QTest::addColumn<bool>("closing");
    QTest::newRow("a save") << false;
    QTest::newRow("the close's write") << true;
}

void TestDataFiles::tableStillLoadingIsNeverWritten()
{
    QFETCH(bool, closing);
    writeFile(path(), "x\ny");
    m_gate.hold(TableFile);
    m_store->setReadGate(m_gate.passage());
    m_store->loadInBackground<QStringList>(
        &readLines, [this](std::optional<QStringList> rows) { m_rows = rows.value_or(QStringList()); });
    QVERIFY(m_store->isLoading());
    QTRY_COMPARE(m_gate.waitingAt(TableFile), 1);

    // The rows are not there yet: an empty table must not take the file's place.
    if (closing)
        QCOMPARE(m_store->write(), QString());
    else
        m_store->save();
    QVERIFY(!m_store->isSaving());
    QCOMPARE(m_snapshots, 0);
    QCOMPARE(readFile(path()), "x\ny");

    m_gate.release(TableFile);
    QCoro::waitFor(qCoro(m_store->whenLoaded()).waitForFinished());
    QVERIFY(!m_store->isLoading());
    QCOMPARE(m_rows, (QStringList{u"x"_s, u"y"_s}));
    m_rows << u"z"_s;
    m_store->save();
    waitForWrites();
    QCOMPARE(readFile(path()), "x\ny\nz");
}

QTEST_GUILESS_MAIN(TestDataFiles)
#include "tst_data_files.moc"
