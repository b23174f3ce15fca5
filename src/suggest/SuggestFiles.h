#pragma once

#include "suggest/SuggestRecord.h"
#include "util/TextFile.h"

#include <QString>

// The file of the Suggest table, "dbsuggest.dat": one line per row, the phrase and the 20 cells
// each followed by "|", every space stored as "§".

inline const QString SuggestTableFileName = QStringLiteral("dbsuggest.dat");

// The rows of a "dbsuggest.dat" text. Fields after the 21st are ignored; a line with fewer fields
// gives its row empty cells for the missing ones; a line with no field at all (empty or blank)
// holds no phrase and is skipped.
SuggestRows ParseSuggestTable(QStringView text);

// Reads "dbsuggest.dat" (UTF-8, or Windows-1252 from older versions); a missing file is an empty
// table.
using SuggestTableRead = TableRead<SuggestRows>;
SuggestTableRead ReadSuggestTable(const QString& path);
// Replaces "dbsuggest.dat" atomically; an empty string on success, else the reason.
[[nodiscard]] QString WriteSuggestTable(const QString& path, const SuggestRows& rows);
