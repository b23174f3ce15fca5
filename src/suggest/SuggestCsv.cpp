#include "suggest/SuggestCsv.h"

#include "util/TextFile.h"

namespace {

QString withoutCommas(QString text)
{
    return text.remove(u',');
}

} // namespace

QString FormatSuggestCsv(const SuggestRows& rows)
{
    QString text = QStringLiteral("Keyword Phrase,Suggestion,Results\r\n");
    for (const SuggestRecord& row : rows) {
        for (int k = 1; k <= SuggestPairCount; ++k) {
            const QString& suggestion = row.cells[SuggestionCell(k)];
            if (suggestion.isEmpty())
                continue;
            text += row.phrase + u',' + withoutCommas(suggestion) + u',' +
                    withoutCommas(row.cells[ResultsCell(k)]) + QLatin1String("\r\n");
        }
    }
    return text;
}

ExportResult WriteSuggestCsv(const QString& path, const SuggestRows& rows)
{
    return WriteExportFile(path,
                           [&rows](AtomicTextFileWriter& writer) { writer.text() = FormatSuggestCsv(rows); });
}
