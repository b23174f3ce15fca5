// Measures the start and the saves as the user feels them:
//   startup_bench suggest FILE ROWS          writes a "dbsuggest.dat" of ROWS harvested phrases
//   startup_bench window PROGRAM HOME RUNS   starts PROGRAM (the whole process, offscreen) on the data
//                                            folder HOME RUNS times and reports how soon its window
//                                            answers and its tables are in, and the longest the
//                                            event loop stood still meanwhile (min and median)
//   startup_bench save FILE RUNS             loads a "dabatase.dat" and reports how long a save holds
//                                            the user-interface thread: written there (as the close
//                                            does) and in the background, and what a change of the
//                                            table costs while a background save still reads it
// The program tells its start on stderr with QT_LOGGING_RULES=quillory.startup.info=true; a build
// that does not is measured by other lines (STARTUP_WINDOW_MARK, STARTUP_LOADED_MARK).
#include "Figures.h"
#include "suggest/SuggestFiles.h"
#include "trends/TrendFiles.h"
#include "trends/TrendTableModel.h"
#include "util/DataFileStore.h"

#include <QCoreApplication>
#include <QCoroFuture>
#include <QCoroTask>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

int writeSuggestTable(const QString& path, qsizetype count)
{
    static const QStringList words = {u"red"_s,   u"wine"_s,    u"cheap"_s, u"flights"_s, u"to"_s,
                                      u"paris"_s, u"best"_s,    u"shoes"_s, u"how"_s,     u"learn"_s,
                                      u"café"_s,  u"münchen"_s, u"near"_s,  u"me"_s,      u"deals"_s};
    QRandomGenerator random(20261210);
    const auto phrase = [&](qsizetype serial) {
        QString text;
        for (int i = 2 + random.bounded(3); i > 0; --i)
            text += words[random.bounded(int(words.size()))] + u' ';
        return text + QString::number(serial);
    };
    SuggestRows rows;
    rows.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        SuggestRecord record{phrase(i), {}};
        // Most phrases harvested: ten suggestions, and counts where the service gave them.
        if (random.bounded(4) > 0) {
            for (int k = 1; k <= SuggestPairCount; ++k) {
                record.cells[size_t(SuggestionCell(k))] = record.phrase + u' ' + words[k];
                record.cells[size_t(ResultsCell(k))] =
                    random.bounded(2) ? QString::number(random.bounded(100000000)) : u"N/A"_s;
            }
        }
        rows.append(std::move(record));
    }
    const QString error = WriteSuggestTable(path, rows);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(error));
        return 1;
    }
    std::printf("wrote %lld Suggest rows\n", static_cast<long long>(count));
    return 0;
}

// The most memory the process has held (VmHWM), from Linux's account of it.
std::optional<double> peakMegabytesOf(qint64 pid)
{
    QFile status(u"/proc/%1/status"_s.arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return std::nullopt;
}

int measureStart(const QString& program, const QString& home, int runs)
{
    const QByteArray windowMark = qEnvironmentVariableIsSet("STARTUP_WINDOW_MARK")
                                      ? qgetenv("STARTUP_WINDOW_MARK")
                                      : QByteArray("window shown");
    const QByteArray loadedMark = qEnvironmentVariableIsSet("STARTUP_LOADED_MARK")
                                      ? qgetenv("STARTUP_LOADED_MARK")
                                      : QByteArray("tables loaded");
    const QRegularExpression pause(u"longest pause of the event loop meanwhile (\\d+) ms"_s);
    Figures window, loaded, longestPause, peakMemory, exit, afterSaves;
    for (int run = 0; run < runs; ++run) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QUILLORY_HOME"_s, home);
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        environment.insert(u"QT_LOGGING_RULES"_s, u"quillory.startup.info=true"_s);
        // Nothing reaches beyond this machine.
        environment.insert(u"QUILLORY_GOOGLE_HOST"_s, u"127.0.0.1:1"_s);
        environment.insert(u"QUILLORY_UPDATE_URL"_s, u"http://127.0.0.1:1/liveupdate/quillory/"_s);
        process.setProcessEnvironment(environment);
        process.setReadChannel(QProcess::StandardError);
        QElapsedTimer clock;
        clock.start();
        process.start(program, {});
        QByteArray said;
        std::optional<double> windowAt, loadedAt;
        while (!loadedAt && clock.elapsed() < 120000 && process.state() != QProcess::NotRunning) {
            process.waitForReadyRead(50);
            said += process.readAllStandardError();
            const double now = clock.nsecsElapsed() / 1e6;
            if (!windowAt && said.contains(windowMark))
                windowAt = now;
            if (windowAt && said.contains(loadedMark))
                loadedAt = now;
        }
        if (loadedAt) {
            if (const std::optional<double> peak = peakMegabytesOf(process.processId()))
                peakMemory.add(*peak);
            // The close as the desktop asks for it: the Suggest table is written, then the program
            // ends. What follows the close's saves is timed from the program's word that its event
            // loop ended.
            QElapsedTimer closing;
            closing.start();
            process.terminate();
            std::optional<double> loopEndedAt;
            while (process.state() != QProcess::NotRunning && closing.elapsed() < 10000) {
                process.waitForReadyRead(1);
                said += process.readAllStandardError();
                if (!loopEndedAt && said.contains("event loop ended"))
                    loopEndedAt = closing.nsecsElapsed() / 1e6;
            }
            if (process.state() == QProcess::NotRunning) {
                exit.add(closing.nsecsElapsed() / 1e6);
                if (loopEndedAt)
                    afterSaves.add(closing.nsecsElapsed() / 1e6 - *loopEndedAt);
            }
        }
        process.kill();
        process.waitForFinished(10000);
        if (!windowAt || !loadedAt) {
            std::fprintf(stderr, "run %d: the program did not say it started:\n%s\n", run + 1,
                         said.constData());
            return 1;
        }
        window.add(*windowAt);
        loaded.add(*loadedAt);
        if (const QRegularExpressionMatch match = pause.match(QString::fromUtf8(said)); match.hasMatch())
            longestPause.add(match.captured(1).toDouble());
    }
    std::printf("start of %s, %d runs:\n", qPrintable(program), runs);
    window.print("window shown and answering, from the process start");
    loaded.print("tables loaded, from the process start");
    longestPause.print("longest pause of the event loop while loading");
    peakMemory.print("peak memory of the process, tables loaded", "MB");
    exit.print("exit on SIGTERM, the Suggest table saved");
    afterSaves.print("of that, from the end of the event loop");
    return 0;
}

int measureSave(const QString& tablePath, int runs)
{
    TrendTableModel model;
    model.setRows(ReadTrendTable(tablePath).rows);
    QTemporaryDir home;
    qputenv("QUILLORY_HOME", home.path().toUtf8());

    DataFileStore onThisThread(TrendTableFileName, DataFileStore::Writer([&](const QString& path) {
                                   return WriteTrendTable(path, model.rows());
                               }));
    DataFileStore inTheBackground(TrendTableFileName, DataFileStore::Snapshot([&] {
                                      return DataFileStore::Job([rows = model.rows()](const QString& path) {
                                          return WriteTrendTable(path, rows);
                                      });
                                  }));
    Figures before, after, written, change;
    QElapsedTimer clock;
    for (int run = 0; run < runs; ++run) {
        clock.start();
        onThisThread.save();
        before.add(clock.nsecsElapsed() / 1e6);

        clock.start();
        inTheBackground.save();
        after.add(clock.nsecsElapsed() / 1e6);
        // A scrape's change of a row while the snapshot is still being written: the table's rows
        // are copied once, the price of the snapshot.
        QElapsedTimer changing;
        changing.start();
        model.setDateAndCount(run, model.row(run).date, QString::number(run));
        change.add(changing.nsecsElapsed() / 1e6);
        QCoro::waitFor(qCoro(inTheBackground.whenWritten()).waitForFinished());
        written.add(clock.nsecsElapsed() / 1e6);
    }
    if (onThisThread.isUnsaved() || inTheBackground.isUnsaved()) {
        std::fprintf(stderr, "a save failed\n");
        return 1;
    }
    std::printf("save of a %d-row Hot Trends table, %d runs:\n", model.rowCount(), runs);
    before.print("user-interface thread held, written there");
    after.print("user-interface thread held, written in the background");
    change.print("a change of the table while that save runs");
    written.print("the background save on the disk");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == u"suggest")
        return writeSuggestTable(args[2], args[3].toLongLong());
    if (args.size() == 5 && args[1] == u"window")
        return measureStart(args[2], args[3], std::max(1, args[4].toInt()));
    if (args.size() == 4 && args[1] == u"save")
        return measureSave(args[2], std::max(1, args[3].toInt()));
    std::fprintf(stderr,
                 "usage: startup_bench suggest FILE ROWS | window PROGRAM HOME RUNS | save FILE RUNS\n");
    return 2;
}
