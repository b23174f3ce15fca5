#pragma once

#include "suggest/SuggestRecord.h"
#include "util/ExportFile.h"

#include <QString>
#include <QStringList>

// The comma-separated export of the Suggest table: the header line
// "Keyword Phrase,Suggestion,Results", then, row by row in table order, one line per suggestion
// cell that is not empty: the phrase as typed, the suggestion and the count, the last two without
// their commas. Lines end with CR LF.
QString FormatSuggestCsv(const SuggestRows& rows);

// Writes the export to `path` in the chosen format, replacing any file of that name all or nothing:
// - PageLines: FormatSuggestCsv's text;
// - Csv, ExcelCsv: the same header and lines, but with the texts whole, quoted where they need it;
// - Json: an array of one object per row, {"phrase", "suggestions": [{"suggestion", "results"}]},
//   the pairs with an empty suggestion left out (a phrase never harvested has an empty list); all
//   values are the texts as they are ("45,100,000", "N/A").
ExportResult WriteSuggestCsv(const QString& path, const SuggestRows& rows,
                             ExportFormat format = ExportFormat::PageLines);
// The same written to an open device as it is made; an empty string, else why a write failed.
// `errors` may say, row by row, why a row's harvest failed: such a row has no CSV line, and its
// JSON object an empty list of suggestions and "error" with the reason (PageLines ignores them).
QString WriteSuggestCsv(QIODevice& device, const SuggestRows& rows, ExportFormat format,
                        const QStringList& errors = {});
