#pragma once

#include "suggest/SuggestRecord.h"
#include "util/ExportFile.h"

#include <QString>

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
