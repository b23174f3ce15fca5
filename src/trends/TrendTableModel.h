#pragma once

#include "trends/KeywordIndex.h"
#include "trends/TrendRecord.h"

#include <QAbstractTableModel>

// The Hot Trends table: its rows in display order and the index of their keywords.
class TrendTableModel final : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { KeywordColumn, DateColumn, CountColumn, ColumnCount };

    explicit TrendTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const TrendRows& rows() const { return m_rows; }
    const TrendRecord& row(qsizetype row) const { return m_rows.at(row); }
    // The keywords of the table, looked up without regard to letter case.
    const KeywordIndex& knownKeywords() const { return m_knownKeywords; }

    void setRows(TrendRows rows);
    void appendRow(TrendRecord record);
    // Sets the date and count cells of a row; its keyword stays.
    void setDateAndCount(qsizetype row, const QString& date, const QString& count);
    // Removes the rows listed (any order, duplicates allowed) in one pass.
    void removeRowList(QList<qsizetype> rows);
    void clear();

private:
    TrendRows m_rows;
    KeywordIndex m_knownKeywords;
};
