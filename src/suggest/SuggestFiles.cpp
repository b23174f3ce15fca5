#include "suggest/SuggestFiles.h"

#include "util/RowFile.h"
#include "util/TextFile.h"

#include <algorithm>

SuggestRows ParseSuggestTable(QStringView text)
{
    SuggestRows rows;
    QList<QStringView> fields;
    for (const QString& line : SplitLines(text)) {
        SplitRowLine(line, fields);
        if (fields.isEmpty())
            continue;
        SuggestRecord record;
        record.phrase = RestoreSpaces(fields[0]);
        const qsizetype cells = std::min<qsizetype>(fields.size() - 1, SuggestCellCount);
        for (qsizetype cell = 0; cell < cells; ++cell)
            record.cells[size_t(cell)] = RestoreSpaces(fields[cell + 1]);
        rows.append(std::move(record));
    }
    return rows;
}

namespace {

void appendSuggestLine(QString& text, const SuggestRecord& row)
{
    AppendRowLine(text, {row.phrase});
    for (const QString& cell : row.cells)
        AppendRowLine(text, {cell});
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
    for (const SuggestRecord& row : rows) {
        appendSuggestLine(writer.text(), row);
        writer.flushIfFull();
    }
    return writer.commit();
}
