#include "suggest/PreviewModel.h"

#include "suggest/SuggestSource.h"

PreviewModel::PreviewModel(QObject* parent)
    : RowListModel(ColumnCount, parent)
{
}

QString PreviewModel::columnCaption(int column) const
{
    if (column == SuggestionColumn)
        return tr("Suggestions");
    return m_figures == SuggestFigures::Relevance ? tr("Relevance") : tr("Results");
}

void PreviewModel::setFigures(SuggestFigures figures)
{
    if (figures == m_figures)
        return;
    m_figures = figures;
    Q_EMIT headerDataChanged(Qt::Horizontal, ResultsColumn, ResultsColumn);
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::ToolTipRole && orientation == Qt::Horizontal && section == ResultsColumn)
        return FiguresToolTip(m_figures);
    return RowListModel::headerData(section, orientation, role);
}

QStringView PreviewModel::cellText(qsizetype row, int column) const
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

std::unique_ptr<SortableRows> PreviewModel::shareRows() const
{
    return std::make_unique<SortableLists<Rows>>(
        [](const std::tuple<Rows>& rows, qsizetype row, int column) -> const QString& {
            return std::get<0>(rows).at(row)[size_t(column)];
        },
        m_rows);
}

void PreviewModel::takeSortedRows(SortableRows& sorted, const QList<qsizetype>&)
{
    m_rows.swap(std::get<0>(static_cast<SortableLists<Rows>&>(sorted).sorted()));
}
