#pragma once

#include "trends/TrendLedger.h"
#include "trends/TrendRecord.h"
#include "util/KeywordIndex.h"
#include "util/RowListModel.h"

#include <QHash>
#include <QSet>

#include <functional>
#include <memory>

// The Hot Trends table: its rows in display order and the index of their keywords. The rows are
// stored compactly (TrendRows); a copy of them is cheap and can be read on a worker thread (a save,
// a sort) while the table goes on changing here.
class TrendTableModel final : public RowListModel {
    Q_OBJECT

public:
    // The table's own three columns, then three from the history of trends (shown on demand).
    enum Column {
        KeywordColumn,
        DateColumn,
        CountColumn,
        FirstSeenColumn,
        PeakTrafficColumn,
        CountriesColumn,
        StartedColumn, // when the feed says the trend began
        StatusColumn,  // "active" while the newest scrape saw it, else "ended 3 h ago"
        ColumnCount
    };
    static constexpr int FirstHistoryColumn = FirstSeenColumn;

    explicit TrendTableModel(QObject* parent = nullptr);

    QStringView cellText(qsizetype row, int column) const override;
    // Reads a copy that shares the rows.
    RowFinder rowFinder(const QString& needle) const override;
    // The table's own columns (the history columns come and go).
    int searchedColumnCount() const override { return FirstHistoryColumn; }
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
    // The rows with a scrape folded in, made on a worker from a copy of these rows: the same rows,
    // some with a new date and count (firstChanged to lastChanged; -1 when none), and new rows at
    // the end.
    struct FoldedRows {
        PreparedRows table;
        qsizetype firstChanged = -1;
        qsizetype lastChanged = -1;
    };
    // Takes the folded rows over in one step, as changes of cells and rows added (the selection and
    // the place in the list stay). Only for rows folded from the rows as they are now: see
    // rowsVersion().
    void takeFoldedRows(FoldedRows folded);
    // Counts every change of the rows: a fold made from a copy of the rows taken at one count fits
    // the table only while the count is the same.
    quint64 rowsVersion() const { return m_rowsVersion; }
    void appendRow(TrendRecord record);
    // Sets the date and count cells of a row; its keyword stays.
    void setDateAndCount(qsizetype row, QStringView date, QStringView count);
    // Removes the rows listed (any order; repeated and out-of-range rows ignored) in one pass.
    void removeRowList(QList<qsizetype> rows);
    void clear();

    // What the history of trends tells of the keywords (by case-folded keyword), shown in the
    // history columns: a new set replaces the old, an update adds to it and replaces what it holds.
    void setKeywordSummaries(const QHash<QString, KeywordSummary>& summaries);
    void updateKeywordSummaries(const QHash<QString, KeywordSummary>& summaries);
    bool hasKeywordSummaries() const { return m_summaries != nullptr; }
    // "active", or how long ago the feed last listed the keyword ("ended 3 h ago").
    static QString feedStatusText(const KeywordSummary& summary, const QDateTime& now);
    // A keyword's text in a history column as the table shows it now, for a worker (an export):
    // the texts stay as they are for as long as the function lives.
    std::function<QStringView(QStringView keyword, int column)> historyCells() const
    {
        return [cells = m_summaries](QStringView keyword, int column) {
            return historyCell(cells.get(), keyword, column);
        };
    }

    // Narrows the lists of the table to the keywords listed (case-folded), as a country or a time
    // window picks them from the history; null lets every row through. The lists over the table
    // find their rows anew (RowFilterModel::refilter).
    void setRowGate(std::shared_ptr<const QSet<QString>> keywords) { m_gate = std::move(keywords); }
    bool narrowsRows() const override { return m_gate != nullptr; }
    bool rowPasses(qsizetype row) const override;

    // What the last scrape said of its keywords ("About 2000+ searches in US"), shown as the
    // keyword's tooltip; keyed by the keyword case-folded. A new scrape replaces them all.
    void setLastScrapeNotes(QHash<QString, QString> notes);
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    qsizetype storedRowCount() const override { return m_rows.size(); }
    QString columnCaption(int column) const override;
    std::unique_ptr<SortableRows> shareRows() const override;
    void takeSortedRows(SortableRows& sorted, const QList<qsizetype>& newRowOf) override;

    // The history columns' texts of a keyword, as the cells show them.
    struct HistoryCells {
        QString firstSeen;
        QString peakTraffic;
        QString countries;
        QString started;
        QString status;
    };
    using HistoryCellMap = QHash<QString, HistoryCells>;
    void showKeywordSummaries(std::shared_ptr<const HistoryCellMap> cells);
    static QStringView historyCell(const HistoryCellMap* cells, QStringView keyword, int column);

    TrendRows m_rows;
    std::shared_ptr<const HistoryCellMap> m_summaries; // shared with a sort's worker
    std::shared_ptr<const QSet<QString>> m_gate;       // shared with a search's worker
    class SortableTrendRows;
    KeywordIndex m_knownKeywords;
    quint64 m_rowsVersion = 0;
    QHash<QString, QString> m_lastScrapeNotes;
};
