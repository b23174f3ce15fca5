#pragma once

#include "util/CellRows.h"

#include <QString>

#include <array>
#include <initializer_list>

// One row of the Suggest table: a phrase and ten suggestion/result pairs, every cell the text shown.
// Cell 2(k-1) holds the k-th suggestion and cell 2k-1 its result count (k = 1 to 10); both are
// empty until the phrase is first harvested and "N/A" where the harvest found nothing.

inline constexpr int SuggestPairCount = 10;
inline constexpr int SuggestCellCount = 2 * SuggestPairCount;

using SuggestCells = std::array<QString, SuggestCellCount>;

struct SuggestRecord {
    QString phrase;
    SuggestCells cells;

    friend bool operator==(const SuggestRecord&, const SuggestRecord&) = default;
};

// The rows of a Suggest table, stored compactly (see CellRows): cell 0 is the phrase, cell 1 + i
// the record's cell i.
class SuggestRows : public CellRows {
public:
    SuggestRows()
        : CellRows(1 + SuggestCellCount)
    {
    }
    SuggestRows(std::initializer_list<SuggestRecord> records);

    QStringView phrase(qsizetype row) const { return cell(row, 0); }
    // Cell `index` of the record (0 to SuggestCellCount - 1).
    QStringView recordCell(qsizetype row, int index) const { return cell(row, 1 + index); }
    SuggestRecord at(qsizetype row) const;

    using CellRows::append;
    void append(const SuggestRecord& record);
    // A row of the phrase with empty cells.
    void appendPhrase(QStringView phrase) { append({phrase}); }
    // Sets the cells of a row; its phrase stays.
    void setCells(qsizetype row, const SuggestCells& cells);

    // Range-for gives each row as a SuggestRecord.
    using const_iterator = RowRecordIterator<SuggestRows>;
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }
};

// What the figure of a pair holds, by service: the classic service's result counts, Google's
// relevance (a rank among its answers, not a search volume), or nothing.
enum class SuggestFigures { Results, Relevance, None };

// What a cell holds where a harvest found nothing.
inline const QString NotAvailable = QStringLiteral("N/A");

// The cells of pair k (1 to 10).
constexpr int SuggestionCell(int k)
{
    return 2 * (k - 1);
}
constexpr int ResultsCell(int k)
{
    return 2 * k - 1;
}
