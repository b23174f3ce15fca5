#include "suggest/SuggestCsv.h"

#include "util/TextFile.h"

#include <utility>

namespace {

QString withoutCommas(QString text)
{
    return text.remove(u',');
}

void writeCsv(AtomicTextFileWriter& writer, const SuggestRows& rows, ExportFormat format)
{
    BeginCsv(writer.text(), format, {u"Keyword Phrase", u"Suggestion", u"Results"});
    for (qsizetype row = 0; row < rows.size(); ++row) {
        for (int k = 1; k <= SuggestPairCount; ++k) {
            const QStringView suggestion = rows.recordCell(row, SuggestionCell(k));
            if (!suggestion.isEmpty())
                AppendCsvRecord(writer.text(),
                                {rows.phrase(row), suggestion, rows.recordCell(row, ResultsCell(k))});
        }
        writer.flushIfFull();
    }
}

void writeJson(AtomicTextFileWriter& writer, const SuggestRows& rows)
{
    WriteJsonArray(writer, rows.size(), [&rows](QString& text, qsizetype row) {
        text += QLatin1String("{\"phrase\":");
        AppendJsonString(text, rows.phrase(row));
        text += QLatin1String(",\"suggestions\":[");
        bool first = true;
        for (int k = 1; k <= SuggestPairCount; ++k) {
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
        text += QLatin1String("]}");
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
        path, format, [&rows](AtomicTextFileWriter& writer) { writer.text() = FormatSuggestCsv(rows); },
        [&rows, format](AtomicTextFileWriter& writer) { writeCsv(writer, rows, format); },
        [&rows](AtomicTextFileWriter& writer) { writeJson(writer, rows); });
}
