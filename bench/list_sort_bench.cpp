// Measures the sort of a big Hot Trends table by each of its columns, as a column click does it:
// the new order (sort keys computed once per row), then the model taking that order.
//   list_sort_bench FILE    loads the "dabatase.dat" FILE (as written by trend_table_bench
//                           generate) and sorts it by keyword, date and count, both ways
// Goal for the date column: under 0.5 s for a million rows of distinct date-times.
#include "trends/TrendFiles.h"
#include "trends/TrendTableModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: list_sort_bench FILE\n");
        return 2;
    }
    // The generated dates are US English date-times; texts are collated as in the US.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    TrendTableModel model;
    model.setRows(ReadTrendTable(args[1]).rows);
    std::printf("rows %d\n", model.rowCount());

    const struct {
        int column;
        const char* name;
    } columns[] = {{TrendTableModel::KeywordColumn, "keyword (text)"},
                   {TrendTableModel::DateColumn, "date (date-time)"},
                   {TrendTableModel::CountColumn, "count (number)"}};
    for (const auto& column : columns) {
        for (const bool ascending : {true, false}) {
            QElapsedTimer timer;
            timer.start();
            const QList<qsizetype> order = SortedRowOrder(
                model.rowCount(), [&](qsizetype row) { return &model.cellText(row, column.column); },
                model.columnSortKind(column.column), ascending);
            const double orderSeconds = timer.nsecsElapsed() / 1e9;
            model.reorder(order);
            const double totalSeconds = timer.nsecsElapsed() / 1e9;
            std::printf(
                "sort by %-16s %-10s %.3f s (order %.3f s, taking it with the keyword index %.3f s)%s\n",
                column.name, ascending ? "ascending" : "descending", totalSeconds, orderSeconds,
                totalSeconds - orderSeconds,
                column.column == TrendTableModel::DateColumn ? "  goal < 0.5 s" : "");
        }
    }
    return 0;
}
