#pragma once

#include <QAbstractProxyModel>
#include <QList>

#include <memory>
#include <stop_token>

class RowListModel;
template <typename T> class QFutureWatcher;

// The rows of a list that a find box lets through: every row of the table while the needle is
// empty (row for row, at no cost), else only the rows with a cell that contains the needle, letter
// case and accents aside, in the table's order.
//
// A new needle is searched on a worker over a copy of the rows (see RowListModel::rowFinder), so
// typing never holds the window; the rows shown change once the search is done, and a newer needle
// drops a search under way. A needle that holds the one shown (the user typed on) is looked for
// only among the rows shown. The table's own changes are followed at once: appended or changed rows
// are tested here (many at once go to a worker), removed rows go, and a sort moves the rows shown
// with the table's. A search started before a change of the table starts again over the rows as
// they are now.
class RowFilterModel final : public QAbstractProxyModel {
    Q_OBJECT

public:
    explicit RowFilterModel(RowListModel& source, QObject* parent = nullptr);
    ~RowFilterModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
    QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    RowListModel& table() const { return m_table; }
    // The table's row shown as row `row` of this list.
    qsizetype tableRow(qsizetype row) const { return m_filtering ? m_rows.at(row) : row; }
    // Whether only the rows that contain a needle show (once its search is done).
    bool isFiltering() const { return m_filtering; }
    // The table's rows that show, in order (all of them when not filtering).
    QList<qsizetype> shownTableRows() const;
    // From a new needle until its rows show.
    bool isSearching() const { return m_search != nullptr; }

    // Shows the rows that contain `needle` once they are found; every row at once when it is empty.
    void setNeedle(const QString& needle);
    QString needle() const { return m_needle; }
    // Finds the rows anew after the table's own narrowing changed (RowListModel::narrowsRows).
    void refilter();

Q_SIGNALS:
    // Around the reset that shows the rows of a new needle (or every row again).
    void filterAboutToChange();
    void filterChanged();
    void searchingChanged(bool searching);

private:
    struct Search;

    // Mapped rows: the table's rows that show, ascending.
    qsizetype firstShownAtOrAfter(qsizetype tableRow) const;
    void applyNeedle();
    void startSearch();
    void dropSearch();
    void takeSearchOutcome(const std::shared_ptr<Search>& search);
    // Looks for the rows of the needle shown anew over the whole table (after a change too big to
    // follow here); the rows shown meanwhile stay.
    void searchAgain();

    void tableRowsInserted(int first, int last);
    void tableRowsAboutToBeRemoved(int first, int last);
    void tableRowsRemoved(int first, int last);
    void tableRowsAboutToBeRemovedTogether(const QList<qsizetype>& rows);
    void tableReset();
    void tableRowsReordered(const QList<qsizetype>& newRowOf);
    void tableLayoutChanged(const QList<QPersistentModelIndex>& parents, LayoutChangeHint hint);
    void tableDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                          const QList<int>& roles);
    // Shows or hides one changed row by whether it matches now.
    void retestRow(qsizetype tableRow, int left, int right, const QList<int>& roles);
    void shiftFrom(qsizetype position, qsizetype by);

    RowListModel& m_table;
    QString m_needle; // as typed
    bool m_filtering = false;
    QString m_shownNeedle; // folded: what the rows shown contain
    QList<qsizetype> m_rows;
    // Whether m_rows are all the rows that contain m_shownNeedle (not so while rows the table
    // changed in bulk wait for a search).
    bool m_shownRowsComplete = false;
    quint64 m_tableVersion = 0; // counts the changes of the table's rows
    std::shared_ptr<Search> m_search;
    QList<qsizetype> m_removedTogether;
    qsizetype m_removedFirst = -1, m_removedEnd = -1; // rows shown of a removal under way
    bool m_reordered = false;
};

class QAbstractItemModel;

// The table behind a list's model: the model itself, or the table a RowFilterModel filters; null
// for other models.
RowListModel* TableBehind(QAbstractItemModel* model);
