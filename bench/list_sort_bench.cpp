// Measures a column click on a big Hot Trends list as the window lives it: the list shown, a
// timer that ticks every few milliseconds, and the sort by each column both ways.
//   list_sort_bench FILE    loads the "dabatase.dat" FILE (as written by trend_table_bench
//                           generate) and sorts it by keyword, date and count, both ways
// The list shows the table through its find box's filter, as the window's does; with FIND set in
// the environment, the box holds that text throughout.
// For each sort: what the window's thread spends starting it, the worker's time, what the window's
// thread spends taking the order (the rows, the keyword index, the view), and the longest the
// event loop stood still meanwhile (how late the timer fired at worst). Goal: no stand-still over
// 100 ms at a million rows.
#include "StallMeter.h"
#include "trends/TrendFiles.h"
#include "trends/TrendTableModel.h"
#include "util/RowFilterModel.h"

#include <QApplication>
#include <QEventLoop>
#include <QTableView>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: list_sort_bench FILE\n");
        return 2;
    }
    // The generated dates are US English date-times; texts are collated as in the US.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    TrendTableModel model;
    model.setRows(ReadTrendTable(args[1]).rows);
    RowFilterModel filter(model);
    filter.setNeedle(qEnvironmentVariable("FIND"));
    while (filter.isSearching())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    QTableView view;
    view.setModel(&filter);
    view.resize(800, 600);
    view.show();
    view.selectRow(filter.rowCount() / 2); // the selection follows its row
    std::printf("rows %d, %d shown\n", model.rowCount(), filter.rowCount());

    const struct {
        int column;
        const char* name;
    } columns[] = {{TrendTableModel::KeywordColumn, "keyword (text)"},
                   {TrendTableModel::DateColumn, "date (date-time)"},
                   {TrendTableModel::CountColumn, "count (number)"}};
    double worstStill = 0;
    for (const auto& column : columns) {
        for (const bool ascending : {true, false}) {
            // One click at a time: what the last sort left to release is gone first.
            QThreadPool::globalInstance()->waitForDone();
            double takeStart = 0;
            double taking = 0;
            double still = 0;
            QEventLoop loop;
            const StallMeter stalls;
            const auto aboutToTake = QObject::connect(&model, &QAbstractItemModel::layoutAboutToBeChanged,
                                                      &model, [&] { takeStart = stalls.elapsedMs(); });
            const auto finished = QObject::connect(&model, &RowListModel::sortFinished, &model, [&] {
                taking = stalls.elapsedMs() - takeStart;
                // The tick that was due while the rows took their order counts too.
                still = stalls.longestMs();
                loop.quit();
            });
            model.sort(column.column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
            const double starting = stalls.elapsedMs();
            loop.exec();
            const double total = stalls.elapsedMs();
            QObject::disconnect(aboutToTake);
            QObject::disconnect(finished);
            worstStill = std::max(worstStill, still);
            std::printf(
                "sort by %-16s %-10s %.3f s: starting %.1f ms, worker %.3f s, taking the order %.1f ms, "
                "longest stand-still %.1f ms\n",
                column.name, ascending ? "ascending" : "descending", total / 1e3, starting,
                (total - starting - taking) / 1e3, taking, still);
        }
    }
    std::printf("longest stand-still of the window's thread: %.1f ms (goal < 100 ms)\n", worstStill);
    return 0;
}
