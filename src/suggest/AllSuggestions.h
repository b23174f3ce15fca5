#pragma once

#include "suggest/SuggestRecord.h"
#include "util/CellRows.h"
#include "util/ExportFile.h"

#include <QString>

class QIODevice;

// Every suggestion of the Suggest table once, as one flat list: the suggestion, the phrase it was
// harvested for, the level of that phrase, its place among that phrase's suggestions (1 to 10) and
// the service. A phrase is of level 1 unless it is itself a suggestion of another phrase of the table;
// then it is one level below the shallowest such phrase. A suggestion found for several phrases
// (letter case aside) is listed once, where it is first met going level by level, each level in
// table order, each phrase's suggestions by place: the rows come in that order. Empty cells and
// "N/A" are no suggestions.
class AllSuggestionRows : public CellRows {
public:
    enum Cell { SuggestionCell, PhraseCell, LevelCell, PositionCell, ServiceCell, CellCount };

    AllSuggestionRows()
        : CellRows(CellCount)
    {
    }
};

// Reads nothing but `rows`: safe on a worker thread for a big table. `service` is the name the
// service column shows ("Google", "Bing"): the table does not keep which service answered, so it is
// the one chosen now.
AllSuggestionRows CollectAllSuggestions(const SuggestRows& rows, const QString& service);

// The list as a file for other programs, in the chosen format: PageLines, Csv and ExcelCsv write
// RFC 4180 CSV with the header Suggestion,Phrase,Level,Position,Service (ExcelCsv after a byte-order
// mark); Json an array of {"suggestion", "phrase", "level", "position", "service"}, level and
// position as numbers.
ExportResult WriteAllSuggestions(const QString& path, const AllSuggestionRows& rows, ExportFormat format);
// The same written to an open device as it is made; an empty string, else why a write failed.
QString WriteAllSuggestions(QIODevice& device, const AllSuggestionRows& rows, ExportFormat format);
