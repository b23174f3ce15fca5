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

// The suggestions harvested for these rows (not "N/A"), in order.
QStringList SuggestionsOfRows(const SuggestTableModel& table, const QList<SuggestTableModel::RowId>& rows);

// How a deeper expansion went: the level it reached and the new phrases it added in all.
struct DigOutcome {
    int level = 1;
    qsizetype added = 0;
    // The phrases of the last level reached, which are not harvested.
    QList<SuggestTableModel::RowId> lastLevel;
};

// A deeper expansion: the phrases just added (level 1) are harvested, their suggestions become
// phrases in turn (through `add`, which is given how many more phrases it may add), and so on
// until `depth` levels, `limit` new phrases in all, a level that adds nothing or `stopped` ends it.
// `stopped` is asked after each harvest, before anything else is touched.
QCoro::Task<DigOutcome>
DigDeeper(SuggestHarvester& harvester, const SuggestTableModel& table, PhrasesAdded first, int depth,
          qsizetype limit, std::function<PhrasesAdded(const QStringList& phrases, qsizetype limit)> add,
          std::function<bool()> stopped);
