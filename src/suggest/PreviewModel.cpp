#include "suggest/PreviewModel.h"

PreviewModel::PreviewModel(QObject* parent)
    : RowListModel(parent)
{
}

int PreviewModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int PreviewModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PreviewModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= m_rows.size())
        return {};
    return cellText(index.row(), index.column());
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case SuggestionColumn:
        return tr("Suggestions");
    case ResultsColumn:
        return tr("Results");
    default:
        return {};
    }
}

QString PreviewModel::cellText(qsizetype row, int column) const
{
    if (column < 0 || column >= ColumnCount)
        return {};
    return m_rows.at(row)[size_t(column)];
}

SortKind PreviewModel::columnSortKind(int column) const
{
    return column == ResultsColumn ? SortKind::Number : SortKind::Text;
}

void PreviewModel::showRecord(const SuggestRecord& record)
{
    beginResetModel();
    m_rows.clear();
    for (int k = 1; k <= SuggestPairCount; ++k)
        m_rows.append({record.cells[SuggestionCell(k)], record.cells[ResultsCell(k)]});
    endResetModel();
}

void PreviewModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void PreviewModel::permuteRows(const QList<qsizetype>& order)
{
    PermuteRows(m_rows, order);
}
