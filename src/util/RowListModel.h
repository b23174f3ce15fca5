#pragma once

#include "util/ListSort.h"

#include <QAbstractTableModel>
#include <QList>

#include <algorithm>
#include <functional>

// A table model over a list of rows held in memory, every cell shown as text (number columns
// aligned to the right): rows removed by a list of positions in one pass, rows put in a new order
// (a sort) with the view's selection following its rows, and the sort of QAbstractItemModel done
// with each column's own comparison.
class RowListModel : public QAbstractTableModel {
public:
    RowListModel(int columnCount, QObject* parent);

    int rowCount(const QModelIndex& parent = {}) const final;
    int columnCount(const QModelIndex& parent = {}) const final;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The text of a cell as shown (row and column in range), as the model keeps it.
    virtual const QString& cellText(qsizetype row, int column) const = 0;
    // How a column compares its cells.
    virtual SortKind columnSortKind(int column) const = 0;

    // Sorts the rows by `column` (stable; the collation and date-time format of the default
    // locale). The rows are not kept sorted: rows added later go to the end.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Puts row order[i] at position i. Refused (false) unless `order` holds every row exactly once.
    bool reorder(const QList<qsizetype>& order);

protected:
    virtual qsizetype storedRowCount() const = 0;
    virtual QString columnCaption(int column) const = 0;
    // Moves the stored rows into the new order (see reorder); the list is known to be valid.
    virtual void permuteRows(const QList<qsizetype>& order) = 0;

    // Removes the listed rows (any order; repeated and out-of-range rows are ignored).
    // `removeRun(first, count)` drops consecutive rows; `removeSorted(rows)` drops many scattered
    // rows (ascending, distinct) in one pass. Both only change the stored rows.
    void removeListedRows(QList<qsizetype> rows, const std::function<void(qsizetype, qsizetype)>& removeRun,
                          const std::function<void(const QList<qsizetype>&)>& removeSorted);

private:
    // Numbers to the right; other columns as the view aligns them (no value).
    QVariant columnAlignment(int column) const;

    int m_columnCount;
};

// Helpers for the stored rows of a RowListModel.

// `list` without the rows listed in `sortedRows` (ascending, distinct), in one pass.
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

// `list` in the order given as for RowListModel::reorder.
template <typename T> void PermuteRows(QList<T>& list, const QList<qsizetype>& order)
{
    QList<T> sorted;
    sorted.reserve(list.size());
    T* rows = list.data();
    // The rows of a big table are taken far apart in memory: each is fetched a few turns ahead, so
    // that the waits for memory overlap.
    constexpr qsizetype Ahead = 8;
    const qsizetype count = order.size();
    for (qsizetype i = 0; i < count; ++i) {
        if (i + Ahead < count)
            __builtin_prefetch(rows + order[i + Ahead]);
        sorted.append(std::move(rows[order[i]]));
    }
    list = std::move(sorted);
}
