#pragma once

#include "suggest/SuggestRecord.h"

#include <QStringList>

#include <utility>

class SuggestTableModel;

// The phrases that an import of `lines` adds to a table holding `table`: each line without its
// leading and trailing characters of code 0 to 32, then with what a cell cannot hold made spaces
// (CleanCellText), in its own letter case, unless the table or an earlier line already holds it
// without regard to letter case. A blank line is the empty phrase.
QStringList NewImportPhrases(const SuggestRows& table, const QStringList& lines);

// Phrases sent to a table, worked out on a copy of its rows (on a worker: a million phrases take
// seconds): the new ones as rows ready to append, and the rows of every phrase sent, the table's
// and the new ones (numbered after the table's), as runs of neighbouring rows to select.
struct SentPhrases {
    SuggestRows fresh;
    // First and last row of each run, in order.
    QList<std::pair<qsizetype, qsizetype>> runs;
};
// Each phrase is cleaned and matched as an import does (NewImportPhrases).
SentPhrases PlanSentPhrases(const SuggestRows& table, const QStringList& phrases);

// Appends the new phrases of `lines` to the table; returns how many rows were added.
qsizetype ImportPhrases(SuggestTableModel& table, const QStringList& lines);
