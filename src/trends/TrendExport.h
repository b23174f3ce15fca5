#pragma once

#include "trends/TrendRecord.h"
#include "util/ExportFile.h"

// The Hot Trends export: one line per row in table order, keyword|date|count| with the texts as
// they are (spaces kept), no header; an empty table gives an empty file.
ExportResult ExportTrendTable(const QString& fileName, const TrendRows& rows);
