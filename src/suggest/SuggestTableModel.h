#pragma once

#include "suggest/SuggestRecord.h"
#include "util/RowListModel.h"

#include <QHash>
#include <QStringList>

#include <optional>

// The Suggest table: the user's phrases with their pairs, in display order, stored compactly
// (SuggestRows); a copy of them is cheap and can be read on a worker thread while the table goes on
// changing here. Every row also has an
// id that stays with it through sorts, deletions and imports, so that work which outlives a change
// of the table (a harvest) finds its rows again, or learns that they are gone.
class SuggestTableModel final : public RowListModel {
    Q_OBJECT

public:
    using RowId = quint64;
    enum Column { PhraseColumn = 0, ColumnCount = 1 + SuggestCellCount };

    explicit SuggestTableModel(QObject* parent = nullptr);

    // What a harvest made of a row, shown on the row while the program runs (the file keeps only
    // the cells, where a failed fetch and an answer without suggestions both leave "N/A").
    enum class HarvestNote { None, Fetching, Filled, NoSuggestions, Stopped, Failed };
    // The note of a row as an int, for the view that marks it.
    static constexpr int HarvestNoteRole = Qt::UserRole + 1;

    // Column 0 is the phrase, column c >= 1 shows cell c - 1.
    QStringView cellText(qsizetype row, int column) const override;
    // Reads a copy that shares the rows.
    RowFinder rowFinder(const QString& needle) const override;
    // The harvest note, and a tooltip that says what happened.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    // The phrase and the suggestions compare as text, the result counts as numbers.
    SortKind columnSortKind(int column) const override;

    // The figure columns' titles and tooltips follow what the service's figures hold.
    void setFigures(SuggestFigures figures);
    SuggestFigures figures() const { return m_figures; }
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const SuggestRows& records() const { return m_records; }
    SuggestRecord record(qsizetype row) const { return m_records.at(row); }

    RowId idOfRow(qsizetype row) const { return m_ids.at(row); }
    QList<RowId> idsOfRows(const QList<qsizetype>& rows) const;
    // Where the row with this id is now, or -1 once it has been removed.
    qsizetype rowOfId(RowId id) const;
    // The record of the row with this id as it is now, or nothing once the row has been removed.
    std::optional<SuggestRecord> recordOfId(RowId id) const;

    void setRecords(SuggestRows records);
    RowId appendRecord(SuggestRecord record);
    // Appends one row per phrase, each with empty cells.
    void appendPhrases(const QStringList& phrases);
    // Appends rows built elsewhere (on a worker), sharing their text: a million rows join at once.
    void appendRows(const SuggestRows& rows);
    // Goes up whenever rows are inserted, removed, reordered or replaced: work done beside the
    // window on a copy of the rows knows by it whether its row numbers still hold.
    quint64 rowsRevision() const { return m_rowsRevision; }
    // Replaces the cells of a row; false when the row is gone.
    bool setCells(RowId id, const SuggestCells& cells);
    // Removes the rows listed (any order; repeated and out-of-range rows ignored) in one pass.
    void removeRowList(QList<qsizetype> rows);
    void clear();

    // `detail` says why a fetch failed.
    void setHarvestNote(RowId id, HarvestNote note, const QString& detail = {});
    HarvestNote harvestNote(RowId id) const { return m_notes.value(id).kind; }

private:
    qsizetype storedRowCount() const override { return m_records.size(); }
    QString columnCaption(int column) const override;
    std::unique_ptr<SortableRows> shareRows() const override;
    void takeSortedRows(SortableRows& sorted, const QList<qsizetype>& newRowOf) override;
    // The id of a row just appended.
    void appendId();

    SuggestRows m_records;
    quint64 m_rowsRevision = 0;
    SuggestFigures m_figures = SuggestFigures::Results;
    QList<RowId> m_ids; // beside m_records, row by row
    RowId m_nextId = 1;
    // Row of each id; rebuilt on the first lookup after rows moved or went away.
    mutable QHash<RowId, qsizetype> m_rowOfId;
    mutable bool m_rowOfIdCurrent = true;
    struct Note {
        HarvestNote kind = HarvestNote::None;
        QString detail;
    };
    QHash<RowId, Note> m_notes;
};
