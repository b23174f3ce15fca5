#include "trends/TrendTableModel.h"

TrendTableModel::TrendTableModel(QObject* parent)
    : RowListModel(parent)
    , m_knownKeywords([this](qsizetype row) { return QStringView(m_rows.at(row).keyword); })
{
}

int TrendTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TrendTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TrendTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= m_rows.size())
        return {};
    return cellText(index.row(), index.column());
}

QString TrendTableModel::cellText(qsizetype row, int column) const
{
    const TrendRecord& record = m_rows.at(row);
    switch (column) {
    case KeywordColumn:
        return record.keyword;
    case DateColumn:
        return record.date;
    case CountColumn:
        return record.count;
    default:
        return {};
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

QVariant TrendTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case KeywordColumn:
        return tr("Keyword");
    case DateColumn:
        return tr("Date Keyword Was Last Scraped");
    case CountColumn:
        return tr("Number of Appearances In The Top 100 List");
    default:
        return {};
    }
}

void TrendTableModel::setRows(TrendRows rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_knownKeywords.rebuild(m_rows.size());
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

void TrendTableModel::removeRowList(QList<qsizetype> rows)
{
    removeListedRows(
        std::move(rows), [this](qsizetype first, qsizetype count) { m_rows.remove(first, count); },
        [this](const QList<qsizetype>& sorted) { RemoveSortedRows(m_rows, sorted); });
    m_knownKeywords.rebuild(m_rows.size());
}

void TrendTableModel::permuteRows(const QList<qsizetype>& order)
{
    PermuteRows(m_rows, order);
    if (m_knownKeywords.size() == m_rows.size())
        m_knownKeywords.renumber(order);
    else
        m_knownKeywords.rebuild(m_rows.size()); // the first of repeated keywords may have changed
}

void TrendTableModel::clear()
{
    setRows({});
}
