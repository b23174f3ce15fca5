#include "suggest/SuggestCsv.h"

#include "util/TextFile.h"

#include <utility>

namespace {

QString withoutCommas(QString text)
{
    return text.remove(u',');
}

// Whether the row's harvest failed: its cells hold no answer of the service.
bool failed(const QStringList& errors, qsizetype row)
{
    return !errors.value(row).isEmpty();
}

void writeCsv(TextDeviceWriter& writer, const SuggestRows& rows, ExportFormat format,
              const QStringList& errors)
{
    BeginCsv(writer.text(), format, {u"Keyword Phrase", u"Suggestion", u"Results"});
    for (qsizetype row = 0; row < rows.size(); ++row) {
        for (int k = 1; k <= SuggestPairCount && !failed(errors, row); ++k) {
            const QStringView suggestion = rows.recordCell(row, SuggestionCell(k));
            if (!suggestion.isEmpty())
                AppendCsvRecord(writer.text(),
                                {rows.phrase(row), suggestion, rows.recordCell(row, ResultsCell(k))});
        }
        if (!writer.flushIfFull())
            return;
    }
}

void writeJson(TextDeviceWriter& writer, const SuggestRows& rows, const QStringList& errors)
{
    WriteJsonArray(writer, rows.size(), [&rows, &errors](QString& text, qsizetype row) {
        text += QLatin1String("{\"phrase\":");
        AppendJsonString(text, rows.phrase(row));
        text += QLatin1String(",\"suggestions\":[");
        bool first = true;
        for (int k = 1; k <= SuggestPairCount && !failed(errors, row); ++k) {
            const QStringView suggestion = rows.recordCell(row, SuggestionCell(k));
            if (suggestion.isEmpty())
                continue;
            if (!std::exchange(first, false))
                text += u',';
            text += QLatin1String("{\"suggestion\":");
            AppendJsonString(text, suggestion);
            text += QLatin1String(",\"results\":");
            AppendJsonString(text, rows.recordCell(row, ResultsCell(k)));
            text += u'}';
        }
        text += u']';
        if (failed(errors, row)) {
            text += QLatin1String(",\"error\":");
            AppendJsonString(text, errors[row]);
        }
        text += u'}';
    });
}

} // namespace

QString FormatSuggestCsv(const SuggestRows& rows)
{
    QString text = QStringLiteral("Keyword Phrase,Suggestion,Results\r\n");
    for (qsizetype row = 0; row < rows.size(); ++row) {
        for (int k = 1; k <= SuggestPairCount; ++k) {
            const QStringView suggestion = rows.recordCell(row, SuggestionCell(k));
            if (suggestion.isEmpty())
                continue;
            text += rows.phrase(row);
            text += u',' + withoutCommas(suggestion.toString()) + u',' +
                    withoutCommas(rows.recordCell(row, ResultsCell(k)).toString()) + QLatin1String("\r\n");
        }
    }
    return text;
}

ExportResult WriteSuggestCsv(const QString& path, const SuggestRows& rows, ExportFormat format)
{
    return WriteExportFile(
        path, format, [&rows](TextDeviceWriter& writer) { writer.text() = FormatSuggestCsv(rows); },
        [&rows, format](TextDeviceWriter& writer) { writeCsv(writer, rows, format, {}); },
        [&rows](TextDeviceWriter& writer) { writeJson(writer, rows, {}); });
}

QString WriteSuggestCsv(QIODevice& device, const SuggestRows& rows, ExportFormat format,
                        const QStringList& errors)
{
    return WriteExport(
        device, format, [&rows](TextDeviceWriter& writer) { writer.text() = FormatSuggestCsv(rows); },
        [&rows, format, &errors](TextDeviceWriter& writer) { writeCsv(writer, rows, format, errors); },
        [&rows, &errors](TextDeviceWriter& writer) { writeJson(writer, rows, errors); });
}
