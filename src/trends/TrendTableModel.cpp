#include "trends/TrendTableModel.h"

#include <algorithm>

TrendTableModel::TrendTableModel(QObject* parent)
    : QAbstractTableModel(parent)
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
    const TrendRecord& record = m_rows.at(index.row());
    switch (index.column()) {
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

void TrendTableModel::setDateAndCount(qsizetype row, const QString& date, const QString& count)
{
    m_rows[row].date = date;
    m_rows[row].count = count;
    Q_EMIT dataChanged(index(int(row), DateColumn), index(int(row), CountColumn));
}

void TrendTableModel::removeRowList(QList<qsizetype> rows)
{
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

    // A few blocks are removed one by one so that the view keeps its place; many at once in one
    // pass with a reset, which a selection of scattered rows in a big table needs.
    QList<std::pair<qsizetype, qsizetype>> blocks; // first, last
    for (const qsizetype row : rows) {
        if (!blocks.isEmpty() && blocks.last().second + 1 == row)
            blocks.last().second = row;
        else
            blocks.append({row, row});
    }
    if (blocks.size() <= 32) {
        for (auto block = blocks.crbegin(); block != blocks.crend(); ++block) {
            beginRemoveRows({}, int(block->first), int(block->second));
            m_rows.remove(block->first, block->second - block->first + 1);
            endRemoveRows();
        }
    } else {
        beginResetModel();
        qsizetype next = 0;
        qsizetype kept = 0;
        for (qsizetype row = 0; row < m_rows.size(); ++row) {
            if (next < rows.size() && rows[next] == row) {
                ++next;
                continue;
            }
            if (kept != row)
                m_rows[kept] = std::move(m_rows[row]);
            ++kept;
        }
        m_rows.resize(kept);
        endResetModel();
    }
    m_knownKeywords.rebuild(m_rows.size());
}

void TrendTableModel::clear()
{
    setRows({});
}
