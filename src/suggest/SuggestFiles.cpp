#include "suggest/SuggestFiles.h"

#include "util/RowFile.h"
#include "util/TextFile.h"

#include <algorithm>
#include <array>

SuggestRows ParseSuggestTable(QStringView text)
{
    SuggestRows rows;
    QList<QStringView> fields;
    // The cells of a line, in strings reused line after line.
    std::array<QString, 1 + SuggestCellCount> cells;
    std::array<QStringView, 1 + SuggestCellCount> views;
    for (const QString& line : SplitLines(text)) {
        SplitRowLine(line, fields);
        if (fields.isEmpty())
            continue;
        const qsizetype count = std::min<qsizetype>(fields.size(), qsizetype(cells.size()));
        for (qsizetype cell = 0; cell < count; ++cell) {
            RestoreSpaces(fields[cell], cells[size_t(cell)]);
            views[size_t(cell)] = cells[size_t(cell)];
        }
        rows.append(std::span(views.data(), size_t(count)));
    }
    return rows;
}

namespace {

void appendSuggestLine(QString& text, const SuggestRows& rows, qsizetype row)
{
    for (int cell = 0; cell < rows.cellCount(); ++cell)
        AppendRowLine(text, {rows.cell(row, cell)});
    text += QLatin1String("\r\n");
}

} // namespace

SuggestTableRead ReadSuggestTable(const QString& path)
{
    const FileReadResult file = ReadTextFile(path);
    return {ParseSuggestTable(file.text), file.error};
}

QString WriteSuggestTable(const QString& path, const SuggestRows& rows)
{
    AtomicTextFileWriter writer(path);
    for (qsizetype row = 0; row < rows.size(); ++row) {
        appendSuggestLine(writer.text(), rows, row);
        writer.flushIfFull();
    }
    return writer.commit();
}
