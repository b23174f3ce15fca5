#pragma once

#include "publisher/NewsProtocol.h"

#include <QAbstractTableModel>

// The news window's list: one row per news record, its title and publication text shown, its id
// kept for fetching the body.
class NewsListModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { TitleColumn, PublishedColumn, ColumnCount };

    explicit NewsListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Replaces the rows by the raw records, in order.
    void setRecords(const QStringList& records);
    QString newsId(int row) const { return m_rows.value(row).Id; }

private:
    QList<NewsRecord> m_rows;
};
