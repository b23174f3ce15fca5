#pragma once

#include "trends/TrendRecord.h"
#include "util/KeywordIndex.h"
#include "util/RowListModel.h"

#include <QHash>

// The Hot Trends table: its rows in display order and the index of their keywords. The rows are
// stored compactly (TrendRows); a copy of them is cheap and can be read on a worker thread (a save,
// a sort) while the table goes on changing here.
class TrendTableModel final : public RowListModel {
    Q_OBJECT

public:
    enum Column { KeywordColumn, DateColumn, CountColumn, ColumnCount };

    explicit TrendTableModel(QObject* parent = nullptr);

    QStringView cellText(qsizetype row, int column) const override;
    // Reads a copy that shares the rows.
    RowFinder rowFinder(const QString& needle) const override;
    // Keyword: text; date of the last scrape: date-time; appearances: number.
    SortKind columnSortKind(int column) const override;

    const TrendRows& rows() const { return m_rows; }
    TrendRecord row(qsizetype row) const { return m_rows.at(row); }
    // The keywords of the table, looked up without regard to letter case.
    const KeywordIndex& knownKeywords() const { return m_knownKeywords; }

    void setRows(TrendRows rows);
    // Rows with their keyword index built beside them, on any thread, so that the table takes a
    // big table over without reading a row.
    struct PreparedRows {
        TrendRows rows;
        KeywordIndex keywords;
    };
    static PreparedRows prepareRows(TrendRows rows);
    void setRows(PreparedRows prepared);
    void appendRow(TrendRecord record);
    // Sets the date and count cells of a row; its keyword stays.
    void setDateAndCount(qsizetype row, QStringView date, QStringView count);
    // Removes the rows listed (any order; repeated and out-of-range rows ignored) in one pass.
    void removeRowList(QList<qsizetype> rows);
    void clear();

    // What the last scrape said of its keywords ("About 2000+ searches in US"), shown as the
    // keyword's tooltip; keyed by the keyword case-folded. A new scrape replaces them all.
    void setLastScrapeNotes(QHash<QString, QString> notes);
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    qsizetype storedRowCount() const override { return m_rows.size(); }
    QString columnCaption(int column) const override;
    std::unique_ptr<SortableRows> shareRows() const override;
    void takeSortedRows(SortableRows& sorted, const QList<qsizetype>& newRowOf) override;

    TrendRows m_rows;
    KeywordIndex m_knownKeywords;
    QHash<QString, QString> m_lastScrapeNotes;
};
