#pragma once

#include "trends/TrendRecord.h"
#include "util/ExportFile.h"

#include <QList>

#include <functional>

// The Hot Trends export, one row after another in table order, in the chosen format:
// - PageLines: keyword|date|count| with the texts as they are (spaces and commas kept), no header;
//   an empty table gives an empty file;
// - Csv, ExcelCsv: the header Keyword,Date,Count, then one record per row, the date in ISO 8601
//   (see ExportDates);
// - Json: an array of {"keyword", "date", "count"}; the keyword is the text as it is, the date
//   ISO 8601 as in CSV, the count is a JSON number when it is a plain whole number (digits alone, no leading
//   zero, at most 15 of them, so that every reader keeps it exact), else the text as it is. With history
//   columns shown in the list (see TrendTableModel), each object also has "firstSeen" (ISO 8601),
//   "peakTraffic" (a number, or null) and "countries" (an array of texts) for those columns.
// `history` gives a keyword's text in a history column; `historyColumns` are the columns shown.
struct TrendHistoryFields {
    std::function<QStringView(QStringView keyword, int column)> cell;
    QList<int> columns;
};
ExportResult ExportTrendTable(const QString& fileName, const TrendRows& rows,
                              ExportFormat format = ExportFormat::PageLines,
                              const TrendHistoryFields& history = {});
// The same written to an open device as it is made; an empty string, else why a write failed.
QString ExportTrendTable(QIODevice& device, const TrendRows& rows, ExportFormat format,
                         const TrendHistoryFields& history = {});
