#include "publisher/NewsListModel.h"

NewsListModel::NewsListModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

int NewsListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int NewsListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant NewsListModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_rows.size())
        return {};
    const NewsRecord& row = m_rows.at(index.row());
    return index.column() == TitleColumn ? row.Title : row.Published;
}

QVariant NewsListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    return section == TitleColumn ? QStringLiteral("News Title") : QStringLiteral("Published");
}

void NewsListModel::setRecords(const QStringList& records)
{
    beginResetModel();
    m_rows.clear();
    for (const QString& record : records)
        m_rows.append(SplitNewsRecord(record));
    endResetModel();
}
