#pragma once

#include "suggest/SuggestRecord.h"

#include <QStringList>

class SuggestTableModel;

// The phrases that an import of `lines` adds to a table holding `table`: each line without its
// leading and trailing characters of code 0 to 32, then with what a cell cannot hold made spaces
// (CleanCellText), in its own letter case, unless the table or an earlier line already holds it
// without regard to letter case. A blank line is the empty phrase.
QStringList NewImportPhrases(const SuggestRows& table, const QStringList& lines);

// Appends the new phrases of `lines` to the table; returns how many rows were added.
qsizetype ImportPhrases(SuggestTableModel& table, const QStringList& lines);
