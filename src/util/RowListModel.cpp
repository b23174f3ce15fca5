#include "util/RowListModel.h"

#include <vector>

RowListModel::RowListModel(int columnCount, QObject* parent)
    : QAbstractTableModel(parent)
    , m_columnCount(columnCount)
{
}

int RowListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(storedRowCount());
}

int RowListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columnCount;
}

QVariant RowListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= storedRowCount() || index.column() >= m_columnCount)
        return {};
    if (role == Qt::TextAlignmentRole)
        return columnAlignment(index.column());
    if (role != Qt::DisplayRole)
        return {};
    return cellText(index.row(), index.column());
}

QVariant RowListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::TextAlignmentRole))
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section < 0 || section >= m_columnCount)
        return {};
    return role == Qt::TextAlignmentRole ? columnAlignment(section) : QVariant(columnCaption(section));
}

QVariant RowListModel::columnAlignment(int column) const
{
    // Counts line up by their last digit, as numbers do.
    if (columnSortKind(column) == SortKind::Number)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

void RowListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columnCount())
        return;
    reorder(SortedRowOrder(
        rowCount(), [this, column](qsizetype row) { return &cellText(row, column); }, columnSortKind(column),
        order == Qt::AscendingOrder));
}

bool RowListModel::reorder(const QList<qsizetype>& order)
{
    const qsizetype count = rowCount();
    if (order.size() != count)
        return false;
    std::vector<qsizetype> newRowOf(size_t(count), -1);
    for (qsizetype position = 0; position < count; ++position) {
        const qsizetype row = order[position];
        if (row < 0 || row >= count || newRowOf[size_t(row)] >= 0)
            return false;
        newRowOf[size_t(row)] = position;
    }

    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    permuteRows(order);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.append(this->index(int(newRowOf[size_t(index.row())]), index.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    return true;
}

void RowListModel::removeListedRows(QList<qsizetype> rows,
                                    const std::function<void(qsizetype, qsizetype)>& removeRun,
                                    const std::function<void(const QList<qsizetype>&)>& removeSorted)
{
    const qsizetype count = rowCount();
    rows.erase(
        std::remove_if(rows.begin(), rows.end(), [count](qsizetype row) { return row < 0 || row >= count; }),
        rows.end());
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

    // A few runs are removed one by one so that the view keeps its place; many at once in one pass
    // with a reset, which a selection of scattered rows in a big table needs.
    QList<std::pair<qsizetype, qsizetype>> runs; // first, last
    for (const qsizetype row : rows) {
        if (!runs.isEmpty() && runs.last().second + 1 == row)
            runs.last().second = row;
        else
            runs.append({row, row});
    }
    constexpr qsizetype MaxRunsOneByOne = 32;
    if (runs.size() <= MaxRunsOneByOne) {
        for (auto run = runs.crbegin(); run != runs.crend(); ++run) {
            beginRemoveRows({}, int(run->first), int(run->second));
            removeRun(run->first, run->second - run->first + 1);
            endRemoveRows();
        }
    } else {
        beginResetModel();
        removeSorted(rows);
        endResetModel();
    }
}
