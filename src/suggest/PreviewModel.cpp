#include "suggest/PreviewModel.h"

PreviewModel::PreviewModel(QObject* parent)
    : RowListModel(ColumnCount, parent)
{
}

QString PreviewModel::columnCaption(int column) const
{
    return column == SuggestionColumn ? tr("Suggestions") : tr("Results");
}

const QString& PreviewModel::cellText(qsizetype row, int column) const
{
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

void PreviewModel::permuteRows(const QList<qsizetype>& order, const QList<qsizetype>&)
{
    PermuteRows(m_rows, order);
}
