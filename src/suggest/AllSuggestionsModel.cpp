#include "suggest/AllSuggestionsModel.h"

#include "util/RowFilter.h"

AllSuggestionsModel::AllSuggestionsModel(QObject* parent)
    : RowListModel(ColumnCount, parent)
{
}

QString AllSuggestionsModel::columnCaption(int column) const
{
    switch (column) {
    case SuggestionColumn:
        return tr("Suggestion");
    case PhraseColumn:
        return tr("Phrase");
    case LevelColumn:
        return tr("Level");
    case PositionColumn:
        return tr("Position");
    default:
        return tr("Service");
    }
}

QStringView AllSuggestionsModel::cellText(qsizetype row, int column) const
{
    return column >= 0 && column < ColumnCount ? m_rows.cell(row, column) : QStringView();
}

SortKind AllSuggestionsModel::columnSortKind(int column) const
{
    return column == LevelColumn || column == PositionColumn ? SortKind::Number : SortKind::Text;
}

RowListModel::RowFinder AllSuggestionsModel::rowFinder(const QString& needle) const
{
    return CellRowsFinder(m_rows, needle);
}

void AllSuggestionsModel::setRows(AllSuggestionRows rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

namespace {

using SortableAllSuggestionRows = SortableCellRows<AllSuggestionRows>;

} // namespace

std::unique_ptr<SortableRows> AllSuggestionsModel::shareRows() const
{
    return std::make_unique<SortableAllSuggestionRows>(m_rows);
}

void AllSuggestionsModel::takeSortedRows(SortableRows& sorted, const QList<qsizetype>&)
{
    std::swap(m_rows, static_cast<SortableAllSuggestionRows&>(sorted).sorted());
}
