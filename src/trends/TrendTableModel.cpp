#include "trends/TrendTableModel.h"

#include "util/RowFilter.h"

TrendTableModel::TrendTableModel(QObject* parent)
    : RowListModel(ColumnCount, parent)
    , m_knownKeywords([this](qsizetype row) { return m_rows.keyword(row); })
{
}

namespace {

using SortableTrendRows = SortableCellRows<TrendRows>;

} // namespace

QStringView TrendTableModel::cellText(qsizetype row, int column) const
{
    return column >= 0 && column < ColumnCount ? m_rows.cell(row, column) : QStringView();
}

RowListModel::RowFinder TrendTableModel::rowFinder(const QString& needle) const
{
    return CellRowsFinder(m_rows, needle);
}

QString TrendTableModel::columnCaption(int column) const
{
    switch (column) {
    case KeywordColumn:
        return tr("Keyword");
    case DateColumn:
        return tr("Date Keyword Was Last Scraped");
    default:
        return tr("Number of Appearances In The Top 100 List");
    }
}

SortKind TrendTableModel::columnSortKind(int column) const
{
    switch (column) {
    case DateColumn:
        return SortKind::DateTime;
    case CountColumn:
        return SortKind::Number;
    default:
        return SortKind::Text;
    }
}

void TrendTableModel::setRows(TrendRows rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_knownKeywords.rebuild(m_rows.size());
    endResetModel();
}

TrendTableModel::PreparedRows TrendTableModel::prepareRows(TrendRows rows)
{
    // The index reads the keywords of a copy of the rows, which shares them.
    KeywordIndex keywords([shared = rows](qsizetype row) { return shared.keyword(row); });
    keywords.rebuild(rows.size());
    return {std::move(rows), std::move(keywords)};
}

void TrendTableModel::setRows(PreparedRows prepared)
{
    beginResetModel();
    m_rows = std::move(prepared.rows);
    m_knownKeywords.adopt(std::move(prepared.keywords));
    endResetModel();
}

void TrendTableModel::appendRow(TrendRecord record)
{
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.append(std::move(record));
    m_knownKeywords.add(row);
    endInsertRows();
}

void TrendTableModel::setDateAndCount(qsizetype row, QStringView date, QStringView count)
{
    aboutToChangeRows();
    m_rows.setDateAndCount(row, date, count);
    Q_EMIT dataChanged(index(int(row), DateColumn), index(int(row), CountColumn));
}

void TrendTableModel::removeRowList(QList<qsizetype> rows)
{
    removeListedRows(
        std::move(rows), [this](qsizetype first, qsizetype count) { m_rows.remove(first, count); },
        [this](const QList<qsizetype>& sorted) { m_rows.removeSorted(sorted); });
    m_knownKeywords.rebuild(m_rows.size());
}

std::unique_ptr<SortableRows> TrendTableModel::shareRows() const
{
    return std::make_unique<SortableTrendRows>(m_rows);
}

void TrendTableModel::takeSortedRows(SortableRows& sorted, const QList<qsizetype>& newRowOf)
{
    std::swap(m_rows, static_cast<SortableTrendRows&>(sorted).sorted());
    if (m_knownKeywords.size() == m_rows.size())
        m_knownKeywords.renumber(newRowOf);
    else
        m_knownKeywords.rebuild(m_rows.size()); // the first of repeated keywords may have changed
}

void TrendTableModel::clear()
{
    setRows(TrendRows());
}

void TrendTableModel::setLastScrapeNotes(QHash<QString, QString> notes)
{
    m_lastScrapeNotes = std::move(notes);
    if (!m_rows.isEmpty())
        Q_EMIT dataChanged(index(0, KeywordColumn), index(int(m_rows.size()) - 1, KeywordColumn),
                           {Qt::ToolTipRole});
}

QVariant TrendTableModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::ToolTipRole && index.isValid() && index.column() == KeywordColumn &&
        index.row() < m_rows.size() && !m_lastScrapeNotes.isEmpty())
        return m_lastScrapeNotes.value(m_rows.keyword(index.row()).toString().toCaseFolded());
    return RowListModel::data(index, role);
}
