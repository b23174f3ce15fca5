#pragma once

#include <QList>

#include <utility>

// `list` without the rows listed in `sortedRows` (ascending, distinct), in one pass: how the tables
// drop many scattered rows at once.
template <typename T> void RemoveSortedRows(QList<T>& list, const QList<qsizetype>& sortedRows)
{
    qsizetype next = 0;
    qsizetype kept = 0;
    for (qsizetype row = 0; row < list.size(); ++row) {
        if (next < sortedRows.size() && sortedRows[next] == row) {
            ++next;
            continue;
        }
        if (kept != row)
            list[kept] = std::move(list[row]);
        ++kept;
    }
    list.resize(kept);
}
