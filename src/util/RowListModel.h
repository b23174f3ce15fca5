#pragma once

#include "util/ListSort.h"
#include "util/RemoveSortedRows.h"

#include <QAbstractTableModel>
#include <QList>

#include <algorithm>
#include <functional>
#include <memory>
#include <stop_token>
#include <tuple>

class QThreadPool;
template <typename T> class QFutureWatcher;
class SortableRows;

// A table model over a list of rows held in memory, every cell shown as text (number columns
// aligned to the right): rows removed by a list of positions in one pass, rows put in a new order
// (a sort) with the view's selection following its rows, and the sort of QAbstractItemModel done
// with each column's own comparison.
//
// Sorts and threads. Sorting a million rows takes longer than the window may stand still, and so
// does moving them, so sort() only starts a sort and a worker of the thread pool does the rest: it
// gets a copy of the stored rows that shares them (no row is copied), reads the texts of the
// column from it (where they lie, for rows kept as CellRows, whose text never moves; else as
// copies), works out the new order, and builds the rows in that order beside the table's (for
// CellRows, a list of row positions). A queued signal then tells this thread, where the table swaps its rows
// for the sorted ones at once. The rules:
// - The table's rows change on this thread only. The worker reads nothing but its copy and builds
//   nothing but its own lists.
// - Before the rows change, the table takes the copy back (aboutToChangeRows(); it waits at most
//   for the few thousand rows the worker is reading), so that the change never has to copy them
//   all; and it counts the change. An order worked out before a change is dropped and the same
//   sort starts again over the rows as they are now: no change is lost, no row takes a stale place.
// - One sort at a time: a newer sort() supersedes a running one, whose result is dropped.
// What the worker leaves behind is released on the pool too, never on this thread.
class RowListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    RowListModel(int columnCount, QObject* parent);
    ~RowListModel() override;

    int rowCount(const QModelIndex& parent = {}) const final;
    int columnCount(const QModelIndex& parent = {}) const final;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Every cell alike, told without a look at the rows: a view asks for every row of a column to
    // tell whether the whole column is selected.
    static constexpr Qt::ItemFlags CellFlags =
        Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren;
    Qt::ItemFlags flags(const QModelIndex& index) const final
    {
        return index.isValid() ? CellFlags : Qt::NoItemFlags;
    }

    // The text of a cell as shown (row and column in range), where the model keeps it: valid until
    // the rows change.
    virtual QStringView cellText(qsizetype row, int column) const = 0;
    // How a column compares its cells.
    virtual SortKind columnSortKind(int column) const = 0;

    // Starts sorting the rows by `column` (stable; the collation and date-time format of the
    // default locale) and returns; sortFinished() follows once the rows are in order. The rows are
    // not kept sorted: rows added later go to the end.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // From sort() until the rows are in the order of the last sort asked for (or it failed). The
    // caption of the sorting column says so meanwhile.
    bool isSorting() const { return m_sorting; }
    // Where sorts are worked out: the global pool unless set.
    void setSortThreadPool(QThreadPool* pool) { m_sortPool = pool; }

    // Puts row order[i] at position i at once. Refused (false) unless `order` holds every row
    // exactly once.
    bool reorder(const QList<qsizetype>& order);

    // Finding rows by their cells (the rules of MatchingRows, letter case and accents aside).
    // A function, made now, that finds the rows (in order) with a cell that contains `needle`,
    // among the rows listed (ascending) if a list is given: it reads a copy of the rows as they
    // are now and may run on any thread.
    using RowFinder = std::function<QList<qsizetype>(const QList<qsizetype>* among, std::stop_token)>;
    virtual RowFinder rowFinder(const QString& needle) const;
    // Whether a cell of `row` contains `foldedNeedle` (made by FoldForSearch), among the columns the
    // finder searches, and the row passes the model's own narrowing (an empty needle: it passes).
    bool rowMatches(qsizetype row, const QString& foldedNeedle) const;
    // A model may narrow its lists beyond the find box (the Hot Trends list's country and time
    // window): while it does, its finder leaves out the rows that do not pass, an empty needle
    // included.
    virtual bool narrowsRows() const { return false; }
    virtual bool rowPasses(qsizetype row) const
    {
        Q_UNUSED(row);
        return true;
    }
    // The first columns, which the finder searches (all of them unless told).
    virtual int searchedColumnCount() const { return m_columnCount; }

Q_SIGNALS:
    // At every sort(), a newer one included.
    void sortStarted(int column, Qt::SortOrder order);
    // Once the rows are in the order of the last sort asked for (or it failed).
    void sortFinished(int column, Qt::SortOrder order);
    // Within the layout change of a sort or reorder(), once the rows are in their new order: row r
    // went to position newRowOf[r]. A model over this one moves its own rows by it.
    void rowsReordered(const QList<qsizetype>& newRowOf);
    // Just before the reset that removes these rows (ascending, distinct) all at once.
    void rowsAboutToBeRemovedTogether(const QList<qsizetype>& rows);

protected:
    virtual qsizetype storedRowCount() const = 0;
    virtual QString columnCaption(int column) const = 0;
    // A copy of the stored rows that shares them, for a worker to read and sort (see SortableLists).
    virtual std::unique_ptr<SortableRows> shareRows() const = 0;
    // Swaps the stored rows for the sorted rows of `sorted` (made by shareRows() and put in order);
    // `newRowOf` tells where each row went (row r to position newRowOf[r]). The rows the table held
    // are left in `sorted`, to be released elsewhere.
    virtual void takeSortedRows(SortableRows& sorted, const QList<qsizetype>& newRowOf) = 0;

    // Call before a change of the stored rows that no begin...() call of QAbstractItemModel
    // announces (a cell set in place): a sort's worker gives its copy back first.
    void aboutToChangeRows();

    // Removes the listed rows (any order; repeated and out-of-range rows are ignored).
    // `removeRun(first, count)` drops consecutive rows; `removeSorted(rows)` drops many scattered
    // rows (ascending, distinct) in one pass. Both only change the stored rows.
    void removeListedRows(QList<qsizetype> rows, const std::function<void(qsizetype, qsizetype)>& removeRun,
                          const std::function<void(const QList<qsizetype>&)>& removeSorted);

private:
    struct SortJob;

    // Numbers to the right; other columns as the view aligns them (no value).
    QVariant columnAlignment(int column) const;
    // Hands the sort asked for to a worker, over the rows as they are now.
    void startSortJob();
    // Drops the sort under way, if any: its worker stops and its result is not taken.
    void dropSortJob();
    // Takes the rows the worker sorted, or starts again when the table changed meanwhile. An error
    // of the worker ends the sort and goes on from here, to the program's error handler.
    void takeSortOutcome();
    void endSort();
    void moveRows(SortableRows& sorted, const QList<qsizetype>& newRowOf);

    int m_columnCount;
    quint64 m_version = 0; // counts the changes of the rows
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    bool m_sorting = false;
    QThreadPool* m_sortPool;
    std::shared_ptr<SortJob> m_sortJob;
    QFutureWatcher<void>* m_sortWatcher = nullptr;
};

// The rows of a table as a sort's worker has them: a copy that shares them with the table, and the
// rows in their new order, which the worker builds from it.
class SortableRows {
public:
    virtual ~SortableRows() = default;

    virtual qsizetype rowCount() const = 0;
    virtual QStringView cellText(qsizetype row, int column) const = 0;
    // What keeps the texts of cellText() where they are until it is released, also once the table
    // has taken these rows back; null when a sort must copy them out (the table's change would
    // release them).
    virtual std::shared_ptr<const void> textsOwner() const { return nullptr; }
    // Appends the rows order[from] to order[to - 1] to the sorted rows.
    virtual void appendSorted(const QList<qsizetype>& order, qsizetype from, qsizetype to) = 0;
};

// Appends the elements order[first] to order[end - 1] of `from` to `to`. The rows of a big table lie
// far apart in memory: each is fetched a few turns ahead, so that the waits for memory overlap.
template <typename List>
void AppendInOrder(List& to, const List& from, const QList<qsizetype>& order, qsizetype first, qsizetype end)
{
    constexpr qsizetype Ahead = 8;
    if (to.isEmpty())
        to.reserve(from.size());
    for (qsizetype i = first; i < end; ++i) {
        if (i + Ahead < end)
            __builtin_prefetch(from.constData() + order[i + Ahead]);
        to.append(from.at(order[i]));
    }
}

// SortableRows over the lists a table keeps its rows in, side by side (element r of each list
// belongs to row r); `cellAt` finds a cell in them.
template <typename... Lists> class SortableLists final : public SortableRows {
public:
    using CellAt = const QString& (*)(const std::tuple<Lists...>& lists, qsizetype row, int column);

    SortableLists(CellAt cellAt, const Lists&... lists)
        : m_cellAt(cellAt)
        , m_shared(lists...)
    {
    }

    qsizetype rowCount() const override { return std::get<0>(m_shared).size(); }
    QStringView cellText(qsizetype row, int column) const override { return m_cellAt(m_shared, row, column); }
    void appendSorted(const QList<qsizetype>& order, qsizetype from, qsizetype to) override
    {
        appendEach(order, from, to, std::index_sequence_for<Lists...>());
    }
    // The sorted rows, list by list.
    std::tuple<Lists...>& sorted() { return m_sorted; }

private:
    template <size_t... I>
    void appendEach(const QList<qsizetype>& order, qsizetype from, qsizetype to, std::index_sequence<I...>)
    {
        (AppendInOrder(std::get<I>(m_sorted), std::get<I>(m_shared), order, from, to), ...);
    }

    CellAt m_cellAt;
    std::tuple<Lists...> m_shared;
    std::tuple<Lists...> m_sorted;
};

// SortableRows over rows kept as CellRows (`Rows` derives from it), with lists kept beside them row
// by row (`SideLists`, such as ids). The sorted rows share the text of the table's: a sort moves
// row positions, never text, and the text stays where it is for as long as the worker reads it.
template <typename Rows, typename... SideLists> class SortableCellRows final : public SortableRows {
public:
    explicit SortableCellRows(const Rows& rows, const SideLists&... lists)
        : m_shared(std::make_shared<const Rows>(rows))
        , m_sharedLists(lists...)
    {
        m_sorted.shareBlocksOf(rows);
    }

    qsizetype rowCount() const override { return m_shared->size(); }
    QStringView cellText(qsizetype row, int column) const override { return m_shared->cell(row, column); }
    std::shared_ptr<const void> textsOwner() const override { return m_shared; }
    void appendSorted(const QList<qsizetype>& order, qsizetype from, qsizetype to) override
    {
        for (qsizetype i = from; i < to; ++i)
            m_sorted.appendRowOf(*m_shared, order[i]);
        appendEach(order, from, to, std::index_sequence_for<SideLists...>());
    }
    Rows& sorted() { return m_sorted; }
    std::tuple<SideLists...>& sortedLists() { return m_sortedLists; }

private:
    template <size_t... I>
    void appendEach([[maybe_unused]] const QList<qsizetype>& order, [[maybe_unused]] qsizetype from,
                    [[maybe_unused]] qsizetype to, std::index_sequence<I...>)
    {
        (AppendInOrder(std::get<I>(m_sortedLists), std::get<I>(m_sharedLists), order, from, to), ...);
    }

    std::shared_ptr<const Rows> m_shared;
    std::tuple<SideLists...> m_sharedLists;
    Rows m_sorted;
    std::tuple<SideLists...> m_sortedLists;
};
