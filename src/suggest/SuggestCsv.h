#pragma once

#include "suggest/SuggestRecord.h"
#include "util/ExportFile.h"

#include <QString>

// The comma-separated export of the Suggest table: the header line
// "Keyword Phrase,Suggestion,Results", then, row by row in table order, one line per suggestion
// cell that is not empty: the phrase as typed, the suggestion and the count, the last two without
// their commas. Lines end with CR LF.
QString FormatSuggestCsv(const SuggestRows& rows);

// Writes the export to `path`, replacing any file of that name all or nothing.
ExportResult WriteSuggestCsv(const QString& path, const SuggestRows& rows);
