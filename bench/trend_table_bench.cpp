// Measures the Hot Trends table files at scale:
//   trend_table_bench generate FILE [ROWS]   writes a "dabatase.dat" of ROWS rows (default 1,000,000)
//   trend_table_bench load-save FILE         loads it into the table model with its keyword index,
//                                            finds the newest date-time of its rows, saves it
//                                            again, and reports the times and peak memory
//   trend_table_bench scrape FILE            loads it, folds a 100-item feed (half of it known
//                                            keywords) into it and saves, timing the update and the save
//   trend_table_bench find FILE              loads it and times the find box's search for a few
//                                            texts (min and median of 5 runs each; goal < 100 ms)
#include "TrendKeywords.h"
#include "trends/HotTrendsFeed.h"
#include "trends/TrendFiles.h"
#include "trends/TrendTableModel.h"
#include "util/DateTimeText.h"
#include "util/RowFilter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

// Date-times of a table grown over years: every scrape has its own time, so every row its own
// date-time (a row keeps the time of the last scrape that listed it). Newest first, about a minute
// and a half apart, with the seconds varying; then in the random order of the rows.
QStringList scrapeTimes(qsizetype count, QRandomGenerator& random)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QDateTime newest(QDate(2026, 12, 10), QTime(14, 15, 37));
    QStringList times;
    times.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        times << DateTimeText(newest.addSecs(-(90 * i + random.bounded(60))), us);
    std::shuffle(times.begin(), times.end(), random);
    return times;
}

TrendRows makeRows(qsizetype count)
{
    QRandomGenerator random(20261210);
    const QStringList dates = scrapeTimes(count, random);
    TrendRows rows;
    rows.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        // Every keyword distinct, as in a grown table.
        rows.append({TrendKeyword(random, i), dates[i], QString::number(1 + random.bounded(500))});
    }
    return rows;
}

// CPU time of the process so far, every thread.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

int generate(const QString& path, qsizetype count)
{
    const QString error = WriteTrendTable(path, makeRows(count));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), qPrintable(error));
        return 1;
    }
    std::printf("wrote %lld rows, %.1f MB\n", static_cast<long long>(count), QFileInfo(path).size() / 1e6);
    return 0;
}

int loadAndSave(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    const double cpuStart = cpuSeconds();
    TrendTableModel model;
    TrendTableRead read = ReadTrendTable(path);
    const double readSeconds = timer.nsecsElapsed() / 1e9;
    model.setRows(std::move(read.rows));
    const double loadSeconds = timer.nsecsElapsed() / 1e9;
    const double loadCpu = cpuSeconds() - cpuStart;

    timer.restart();
    const std::optional<QDateTime> newest =
        NewestDateTime(model.rows(), QLocale(QLocale::English, QLocale::UnitedStates));
    const double newestSeconds = timer.nsecsElapsed() / 1e9;

    timer.restart();
    const QString error = WriteTrendTable(path + QStringLiteral(".saved"), model.rows());
    const double saveSeconds = timer.nsecsElapsed() / 1e9;
    if (!error.isEmpty()) {
        std::fprintf(stderr, "cannot save: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("rows %d, distinct keywords %lld\n", model.rowCount(),
                static_cast<long long>(model.knownKeywords().size()));
    std::printf(
        "load into the table with its keyword index: %.3f s CPU, %.3f s (reading %.3f s, index %.3f s)\n",
        loadCpu, loadSeconds, readSeconds, loadSeconds - readSeconds);
    std::printf("newest date-time of the rows (%s): %.3f s\n",
                newest ? qPrintable(newest->toString(Qt::ISODate)) : "none", newestSeconds);
    std::printf("save: %.3f s\n", saveSeconds);
    std::printf("peak memory: %.0f MB\n", peakMegabytes());
    return 0;
}

int scrape(const QString& path)
{
    TrendTableModel model;
    model.setRows(ReadTrendTable(path).rows);
    QString page = u"<feed><ol>"_s;
    for (int i = 0; i < 100; ++i) {
        const QString keyword =
            i % 2 ? model.row(i * 9973).keyword.toUpper() : u"fresh keyword "_s + QString::number(i);
        page += u"<li><a href=\"http://www.google.com/search?q=x\">"_s + keyword + u"</a></li>\n"_s;
    }
    page += u"</ol></feed>"_s;

    QElapsedTimer timer;
    timer.start();
    const int items = FoldFeedIntoTable(page, u"12/10/2026 2:15:00 PM"_s, model);
    const double updateSeconds = timer.nsecsElapsed() / 1e9;
    timer.restart();
    const QString error = WriteTrendTable(path + u".scraped"_s, model.rows());
    const double saveSeconds = timer.nsecsElapsed() / 1e9;
    if (!error.isEmpty() || items != 100) {
        std::fprintf(stderr, "scrape failed: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("one scrape of %d items into %d rows: table update %.2f ms, save %.3f s\n", items,
                model.rowCount(), updateSeconds * 1000, saveSeconds);
    return 0;
}

int find(const QString& path)
{
    const TrendRows rows = ReadTrendTable(path).rows;
    std::printf("find in %lld rows:\n", static_cast<long long>(rows.size()));
    for (const QString& needle : {u"tay"_s, u"ZOE"_s, u"münchen 12"_s, u"no such text"_s, u"12/10/2026"_s}) {
        QList<double> times;
        qsizetype found = 0;
        for (int run = 0; run < 5; ++run) {
            QElapsedTimer timer;
            timer.start();
            found = MatchingRows(rows, needle).size();
            times << timer.nsecsElapsed() / 1e6;
        }
        std::sort(times.begin(), times.end());
        std::printf("  %-14s %8lld rows, min %6.1f ms, median %6.1f ms\n", qPrintable(u'"' + needle + u'"'),
                    static_cast<long long>(found), times.first(), times[times.size() / 2]);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args[1] == QLatin1String("generate"))
        return generate(args[2], args.size() > 3 ? args[3].toLongLong() : 1000000);
    if (args.size() == 3 && args[1] == QLatin1String("load-save"))
        return loadAndSave(args[2]);
    if (args.size() == 3 && args[1] == QLatin1String("scrape"))
        return scrape(args[2]);
    if (args.size() == 3 && args[1] == QLatin1String("find"))
        return find(args[2]);
    std::fprintf(stderr, "usage: trend_table_bench generate FILE [ROWS] | load-save FILE | scrape FILE\n");
    return 2;
}
