#include "suggest/SuggestFiles.h"

#include "util/RowFile.h"
#include "util/TextFile.h"

#include <algorithm>
#include <array>

namespace {

// Appends the rows of a table file's lines to `rows`, restoring each line's cells into strings it
// reuses.
class SuggestLineReader {
public:
    explicit SuggestLineReader(SuggestRows& rows)
        : m_rows(rows)
    {
    }

    void read(QStringView line)
    {
        SplitRowLine(line, m_fields);
        if (m_fields.isEmpty())
            return;
        const qsizetype count = std::min<qsizetype>(m_fields.size(), qsizetype(m_cells.size()));
        for (qsizetype cell = 0; cell < count; ++cell) {
            RestoreSpaces(m_fields[cell], m_cells[size_t(cell)]);
            m_views[size_t(cell)] = m_cells[size_t(cell)];
        }
        m_rows.append(std::span(m_views.data(), size_t(count)));
    }

private:
    SuggestRows& m_rows;
    QList<QStringView> m_fields;
    std::array<QString, 1 + SuggestCellCount> m_cells;
    std::array<QStringView, 1 + SuggestCellCount> m_views;
};

} // namespace

SuggestRows ParseSuggestTable(QStringView text)
{
    SuggestRows rows;
    SuggestLineReader reader(rows);
    ForEachRowLine(text, [&reader](QStringView line) { reader.read(line); });
    return rows;
}

SuggestTableRead ReadSuggestTable(const QString& path)
{
    // Line by line, a few megabytes of the file at a time: each line is UTF-8 where it is valid
    // UTF-8, else Windows-1252, as a text file is read.
    SuggestTableRead read;
    SuggestLineReader reader(read.rows);
    read.error = ReadRowFile(path, [&reader](QByteArrayView line) { reader.read(DecodeLine(line)); });
    return read;
}

QString WriteSuggestTable(const QString& path, const SuggestRows& rows)
{
    return WriteRowFile(path, rows);
}
