#include "suggest/SuggestRecord.h"

namespace {

// The phrase and the cells, in the order the rows keep them.
std::array<QStringView, 1 + SuggestCellCount> rowCells(QStringView phrase, const SuggestCells& cells)
{
    std::array<QStringView, 1 + SuggestCellCount> row;
    row[0] = phrase;
    std::copy(cells.begin(), cells.end(), row.begin() + 1);
    return row;
}

} // namespace

SuggestRows::SuggestRows(std::initializer_list<SuggestRecord> records)
    : SuggestRows()
{
    reserve(qsizetype(records.size()));
    for (const SuggestRecord& record : records)
        append(record);
}

SuggestRecord SuggestRows::at(qsizetype row) const
{
    SuggestRecord record{phrase(row).toString(), {}};
    for (int index = 0; index < SuggestCellCount; ++index)
        record.cells[size_t(index)] = recordCell(row, index).toString();
    return record;
}

void SuggestRows::append(const SuggestRecord& record)
{
    append(rowCells(record.phrase, record.cells));
}

void SuggestRows::setCells(qsizetype row, const SuggestCells& cells)
{
    replace(row, rowCells(phrase(row), cells));
}
