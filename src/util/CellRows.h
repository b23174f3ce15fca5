#pragma once

#include <QList>
#include <QStringView>

#include <atomic>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <span>

// Rows of a fixed number of text cells, kept back to back in big blocks of UTF-16 text (an arena)
// rather than one QString per cell: a million rows cost their characters, a length before each
// cell and eight bytes of row position, instead of three heap strings each (header, allocator
// overhead and a 24-byte handle per cell).
//
// The rows are a list of positions into the blocks; changing a row writes it anew at the end and
// moves its position, so a sort or a removal only moves positions, never text. What a removed or
// rewritten row leaves behind stays in its block until the rows are loaded again.
//
// Copies are cheap and safe to read on another thread while the original goes on changing: a copy
// shares the blocks (written text never changes) and the position list (implicitly shared, copied
// when either side changes it). Each block hands out its free space to one writer at a time, so a
// copy that appends never writes where another copy of the rows already wrote.
class CellRows {
public:
    explicit CellRows(int cellCount);

    int cellCount() const { return m_cellCount; }
    qsizetype size() const { return m_rows.size(); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    // Cell `cell` (0 to cellCount - 1) of `row`; valid while this object (or a copy) lives.
    QStringView cell(qsizetype row, int cell) const;
    // Every cell of `row` into cells[0] to cells[cellCount() - 1], read in one pass.
    void cellsOf(qsizetype row, QStringView* cells) const;

    // Appends a row of up to cellCount() cells (missing ones empty). The cells may be views of
    // cells of these rows.
    void append(std::span<const QStringView> cells);
    void append(std::initializer_list<QStringView> cells) { append(std::span(cells.begin(), cells.size())); }
    // Appends every row of `other` (same cell count) without copying its text: its blocks become
    // blocks of these rows too. How rows built beside the window join a big table at once.
    void appendAll(const CellRows& other);
    // Rewrites row `row` with new cells (same rule as append).
    void replace(qsizetype row, std::span<const QStringView> cells);
    void replace(qsizetype row, std::initializer_list<QStringView> cells)
    {
        replace(row, std::span(cells.begin(), cells.size()));
    }
    void remove(qsizetype first, qsizetype count);
    // Drops the rows listed (ascending, distinct) in one pass.
    void removeSorted(const QList<qsizetype>& rows);
    // Room for `rows` rows in the position list.
    void reserve(qsizetype rows) { m_rows.reserve(rows); }

    // Empties these rows and makes them share the blocks of `from`, so that rows of `from` can be
    // appended by position (appendRowOf) without copying text: how a sort builds the rows in their
    // new order.
    void shareBlocksOf(const CellRows& from);
    // Appends row `row` of `from`, whose blocks these rows share (see sharingBlocksOf).
    void appendRowOf(const CellRows& from, qsizetype row) { m_rows.append(from.m_rows.at(row)); }

    // Equal when the cells are equal, row by row.
    friend bool operator==(const CellRows& a, const CellRows& b);

private:
    struct Block {
        explicit Block(qsizetype capacity);
        std::unique_ptr<char16_t[]> chars;
        qsizetype capacity;
        std::atomic<qsizetype> used{0};
    };

    // Where a row starts: block number (high 32 bits) and offset in the block.
    using Position = quint64;

    Position write(std::span<const QStringView> cells);
    char16_t* claim(qsizetype units, Position& position);
    const char16_t* at(Position position) const;

    int m_cellCount;
    QList<std::shared_ptr<Block>> m_blocks;
    QList<Position> m_rows;
};

// The rows of `Rows` (which has size() and at(row)) as records, in order: what a range-for over a
// table's rows gives, one record made at a time.
template <typename Rows> class RowRecordIterator {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = decltype(std::declval<const Rows&>().at(0));
    using difference_type = qsizetype;
    using pointer = void;
    using reference = value_type;

    RowRecordIterator(const Rows* rows, qsizetype row)
        : m_rows(rows)
        , m_row(row)
    {
    }
    value_type operator*() const { return m_rows->at(m_row); }
    RowRecordIterator& operator++()
    {
        ++m_row;
        return *this;
    }
    bool operator==(const RowRecordIterator&) const = default;

private:
    const Rows* m_rows;
    qsizetype m_row;
};

// The rows `which` of `rows`, in that order, sharing their text (`Rows` derives from CellRows).
template <typename Rows> Rows RowsAt(const Rows& rows, const QList<qsizetype>& which)
{
    Rows picked;
    picked.shareBlocksOf(rows);
    picked.reserve(which.size());
    for (const qsizetype row : which)
        picked.appendRowOf(rows, row);
    return picked;
}
