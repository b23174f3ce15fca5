#pragma once

#include "suggest/SuggestTableModel.h"

#include <QCoroTask>
#include <QStringList>

#include <functional>

class SuggestHarvester;

// What adding phrases to a table did: the rows added (their ids, in order) and the phrases the
// table held already.
struct PhrasesAdded {
    QList<SuggestTableModel::RowId> rows;
    qsizetype known = 0;
};

// Adds the new phrases of `lines` as an import adds them (see NewImportPhrases), at most `limit`
// of them.
PhrasesAdded AddNewPhrases(SuggestTableModel& table, const QStringList& lines, qsizetype limit);

// Whether the record holds a suggestion (not "N/A"): its phrase was harvested with an answer.
// Read in place: a selection of a million rows is looked through without making their records.
bool HasSuggestions(const SuggestRows& rows, qsizetype row);

// The suggestions harvested for these rows (not "N/A"), in order.
QStringList SuggestionsOfRows(const SuggestTableModel& table, const QList<SuggestTableModel::RowId>& rows);

// One level of a dig: how many phrases it had, and how many of them were harvested (answered,
// with suggestions or without); the others remain to be harvested.
struct DigLevel {
    qsizetype phrases = 0;
    qsizetype harvested = 0;
    qsizetype remaining() const { return phrases - harvested; }
};

// The suggestions that hold none of `words` as a whole word (or words, for an entry of several),
// without regard to letter case: "wine" leaves out "red wine glasses" but not "winery".
QStringList WithoutExcludedWords(const QStringList& suggestions, const QStringList& words);

// The excluded words as the user typed them, one entry between each comma, blanks dropped.
QStringList ExcludedWordsOf(const QString& text);

// How a dig went: each level it reached, and the new phrases it added in all.
struct DigOutcome {
    QList<DigLevel> levels;
    qsizetype added = 0;
};

// Whether a harvested row counts as harvested: it was answered, with suggestions or without.
bool IsHarvestedNote(SuggestTableModel::HarvestNote note);

// The dig behind "depth": `firstLevel` (the seeds and their expansion, `added` of them new) is
// harvested, the suggestions of its phrases become phrases in turn (through `add`, which is given how
// many more phrases it may add) and are harvested too, and so on: every level down to `depth` is
// harvested, the last one included. `limit` new phrases in all, a level that adds nothing or
// `stopped` ends it. `stopped` is asked after each harvest, before anything else is touched.
QCoro::Task<DigOutcome>
DigDeeper(SuggestHarvester& harvester, const SuggestTableModel& table,
          QList<SuggestTableModel::RowId> firstLevel, qsizetype added, int depth, qsizetype limit,
          std::function<PhrasesAdded(const QStringList& phrases, qsizetype limit)> add,
          std::function<bool()> stopped);
