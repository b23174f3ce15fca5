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

ExportResult WriteSuggestCsv(const QString& path, const SuggestRows& rows)
{
    return WriteExportFile(path,
                           [&rows](AtomicTextFileWriter& writer) { writer.text() = FormatSuggestCsv(rows); });
}
