#pragma once

#include "util/ListSort.h"

#include <QAbstractTableModel>
#include <QList>

#include <algorithm>
#include <functional>
#include <stop_token>

class QThreadPool;
template <typename T> class QFutureWatcher;

// A table model over a list of rows held in memory, every cell shown as text (number columns
// aligned to the right): rows removed by a list of positions in one pass, rows put in a new order
// (a sort) with the view's selection following its rows, and the sort of QAbstractItemModel done
// with each column's own comparison.
//
// Sorts and threads: a sort of a million rows takes longer than the window may stand still, so
// sort() only starts it. It copies the texts of the column (the copies share the model's strings,
// so this is quick, and nothing done to the table later reaches them) and hands them to a worker
// of the thread pool, which works out the new order; a queued signal brings the order back to this
// thread, where the rows take it. The rule: the rows change on this thread only; workers compute
// over their own copy and never read the model. One sort is under way at a time: a newer sort()
// supersedes it and its result is dropped. Every change of the rows meanwhile counts (rows
// inserted, removed, moved or reset, a cell of the sorting column set): an order worked out before
// such a change is dropped and the same sort starts again over the rows as they are now, so no
// change is lost and no row takes a stale place.
class RowListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    RowListModel(int columnCount, QObject* parent);
    ~RowListModel() override;

    int rowCount(const QModelIndex& parent = {}) const final;
    int columnCount(const QModelIndex& parent = {}) const final;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The text of a cell as shown (row and column in range), as the model keeps it.
    virtual const QString& cellText(qsizetype row, int column) const = 0;
    // How a column compares its cells.
    virtual SortKind columnSortKind(int column) const = 0;

    // Starts sorting the rows by `column` (stable; the collation and date-time format of the
    // default locale) and returns; sortFinished() follows once the rows are in order. The rows are
    // not kept sorted: rows added later go to the end.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // From sort() until the rows took the order of the last sort asked for. The caption of the
    // sorting column says so meanwhile.
    bool isSorting() const { return m_sorting; }
    // Where sorts are worked out: the global pool unless set.
    void setSortThreadPool(QThreadPool* pool) { m_sortPool = pool; }

    // Puts row order[i] at position i. Refused (false) unless `order` holds every row exactly once.
    bool reorder(const QList<qsizetype>& order);

Q_SIGNALS:
    void sortStarted(int column, Qt::SortOrder order);
    void sortFinished(int column, Qt::SortOrder order);

protected:
    virtual qsizetype storedRowCount() const = 0;
    virtual QString columnCaption(int column) const = 0;
    // Moves the stored rows into the new order (see reorder); `newRowOf` is its inverse (row r goes
    // to position newRowOf[r]); both are known to be valid.
    virtual void permuteRows(const QList<qsizetype>& order, const QList<qsizetype>& newRowOf) = 0;

    // Removes the listed rows (any order; repeated and out-of-range rows are ignored).
    // `removeRun(first, count)` drops consecutive rows; `removeSorted(rows)` drops many scattered
    // rows (ascending, distinct) in one pass. Both only change the stored rows.
    void removeListedRows(QList<qsizetype> rows, const std::function<void(qsizetype, qsizetype)>& removeRun,
                          const std::function<void(const QList<qsizetype>&)>& removeSorted);

private:
    struct SortOutcome;

    // Numbers to the right; other columns as the view aligns them (no value).
    QVariant columnAlignment(int column) const;
    // Hands the sort asked for to a worker, over the texts of the column as they are now; a sort
    // still under way is dropped.
    void startSortJob();
    void takeSortOutcome();
    void applyOrder(const QList<qsizetype>& order, const QList<qsizetype>& newRowOf);

    int m_columnCount;
    quint64 m_version = 0; // counts the changes of the rows
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    bool m_sorting = false;
    QThreadPool* m_sortPool;
    std::stop_source m_sortStop;
    QFutureWatcher<SortOutcome>* m_sortJob = nullptr;
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
    // The rows of a big table are taken far apart in memory: each is fetched a few turns ahead, so
    // that the waits for memory overlap.
    constexpr qsizetype Ahead = 8;
    const qsizetype count = order.size();
    const auto take = [&](auto* rows) {
        for (qsizetype i = 0; i < count; ++i) {
            if (i + Ahead < count)
                __builtin_prefetch(rows + order[i + Ahead]);
            sorted.append(std::move(rows[order[i]]));
        }
    };
    // Rows that someone else shares (a save under way) are copied: taking them would copy them all.
    if (list.isDetached())
        take(list.data());
    else
        take(list.constData());
    list = std::move(sorted);
}
