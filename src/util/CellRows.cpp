#include "util/CellRows.h"

#include "util/RemoveSortedRows.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

// Two megabytes of text per block: a million rows of a Hot Trends table fill about fifty.
constexpr qsizetype BlockUnits = qsizetype(1) << 20;

// A cell's length goes before its text: one unit below 0x8000, else two (the high bits marked).
constexpr char16_t LongLength = 0x8000;
constexpr qsizetype MaxCellLength = (qsizetype(1) << 31) - 1;

qsizetype lengthUnits(qsizetype length)
{
    return length < LongLength ? 1 : 2;
}

char16_t* writeLength(char16_t* out, qsizetype length)
{
    if (length < LongLength) {
        *out++ = char16_t(length);
        return out;
    }
    *out++ = char16_t(LongLength | (length >> 16));
    *out++ = char16_t(length & 0xFFFF);
    return out;
}

const char16_t* readLength(const char16_t* in, qsizetype& length)
{
    if (*in < LongLength) {
        length = *in;
        return in + 1;
    }
    length = (qsizetype(*in & ~LongLength) << 16) | in[1];
    return in + 2;
}

} // namespace

CellRows::Block::Block(qsizetype capacity)
    : chars(new char16_t[size_t(capacity)])
    , capacity(capacity)
{
}

CellRows::CellRows(int cellCount)
    : m_cellCount(cellCount)
{
}

const char16_t* CellRows::at(Position position) const
{
    return m_blocks.at(qsizetype(position >> 32))->chars.get() + (position & 0xFFFFFFFFu);
}

QStringView CellRows::cell(qsizetype row, int cell) const
{
    const char16_t* text = at(m_rows.at(row));
    qsizetype length = 0;
    for (int skipped = 0; skipped < cell; ++skipped) {
        text = readLength(text, length);
        text += length;
    }
    text = readLength(text, length);
    return QStringView(text, length);
}

void CellRows::cellsOf(qsizetype row, QStringView* cells) const
{
    const char16_t* text = at(m_rows.at(row));
    qsizetype length = 0;
    for (int cell = 0; cell < m_cellCount; ++cell) {
        text = readLength(text, length);
        cells[cell] = QStringView(text, length);
        text += length;
    }
}

char16_t* CellRows::claim(qsizetype units, Position& position)
{
    // The last block's free space goes to whoever claims it first: a copy of these rows that wrote
    // there meanwhile leaves this one a new block.
    if (!m_blocks.isEmpty()) {
        Block& last = *m_blocks.last();
        qsizetype used = last.used.load(std::memory_order_relaxed);
        while (last.capacity - used >= units) {
            if (last.used.compare_exchange_weak(used, used + units)) {
                position = (Position(m_blocks.size() - 1) << 32) | Position(used);
                return last.chars.get() + used;
            }
        }
    }
    auto block = std::make_shared<Block>(std::max(units, BlockUnits));
    block->used = units;
    m_blocks.append(std::move(block));
    position = Position(m_blocks.size() - 1) << 32;
    return m_blocks.last()->chars.get();
}

CellRows::Position CellRows::write(std::span<const QStringView> cells)
{
    if (qsizetype(cells.size()) > m_cellCount)
        throw std::invalid_argument("more cells than the rows have");
    qsizetype units = m_cellCount - qsizetype(cells.size()); // the missing cells' lengths
    for (const QStringView cell : cells) {
        if (cell.size() > MaxCellLength)
            throw std::length_error("a cell of more than 2^31 characters");
        units += lengthUnits(cell.size()) + cell.size();
    }
    // The cells may lie in these blocks: a new block leaves them where they are, and a block's
    // written text is never written again.
    Position position = 0;
    char16_t* out = claim(units, position);
    for (const QStringView cell : cells) {
        out = writeLength(out, cell.size());
        if (!cell.isEmpty()) // an empty view may point nowhere
            std::memcpy(out, cell.utf16(), size_t(cell.size()) * sizeof(char16_t));
        out += cell.size();
    }
    for (qsizetype missing = qsizetype(cells.size()); missing < m_cellCount; ++missing)
        out = writeLength(out, 0);
    return position;
}

void CellRows::append(std::span<const QStringView> cells)
{
    const Position position = write(cells);
    m_rows.append(position);
}

void CellRows::appendAll(const CellRows& other)
{
    if (other.m_cellCount != m_cellCount)
        throw std::invalid_argument("rows of another cell count");
    const Position firstBlock = Position(m_blocks.size()) << 32;
    m_blocks.append(other.m_blocks);
    m_rows.reserve(m_rows.size() + other.m_rows.size());
    for (const Position position : other.m_rows)
        m_rows.append(position + firstBlock);
}

void CellRows::replace(qsizetype row, std::span<const QStringView> cells)
{
    const Position position = write(cells);
    m_rows[row] = position;
}

void CellRows::remove(qsizetype first, qsizetype count)
{
    m_rows.remove(first, count);
}

void CellRows::removeSorted(const QList<qsizetype>& rows)
{
    RemoveSortedRows(m_rows, rows);
}

void CellRows::shareBlocksOf(const CellRows& from)
{
    m_cellCount = from.m_cellCount;
    m_blocks = from.m_blocks;
    m_rows.clear();
    m_rows.reserve(from.size());
}

bool operator==(const CellRows& a, const CellRows& b)
{
    if (a.m_cellCount != b.m_cellCount || a.size() != b.size())
        return false;
    for (qsizetype row = 0; row < a.size(); ++row) {
        for (int cell = 0; cell < a.m_cellCount; ++cell) {
            if (a.cell(row, cell) != b.cell(row, cell))
                return false;
        }
    }
    return true;
}
