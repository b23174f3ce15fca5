#include "suggest/PhraseDigging.h"

#include "suggest/SuggestHarvester.h"
#include "suggest/SuggestImport.h"

#include <QSet>

PhrasesAdded AddNewPhrases(SuggestTableModel& table, const QStringList& lines, qsizetype limit)
{
    const QStringList fresh = NewImportPhrases(table.records(), lines);
    // Phrases made twice (two seeds that differ in letter case) count once.
    QSet<QString> distinct;
    for (const QString& line : lines)
        distinct.insert(line.toCaseFolded());
    PhrasesAdded added;
    added.known = std::max<qsizetype>(0, distinct.size() - fresh.size());
    const qsizetype first = table.rowCount();
    table.appendPhrases(fresh.mid(0, limit));
    for (qsizetype row = first; row < table.rowCount(); ++row)
        added.rows << table.idOfRow(row);
    return added;
}

QStringList SuggestionsOfRows(const SuggestTableModel& table, const QList<SuggestTableModel::RowId>& rows)
{
    QStringList suggestions;
    for (const SuggestTableModel::RowId id : rows) {
        const std::optional<SuggestRecord> record = table.recordOfId(id);
        for (int k = 1; record && k <= SuggestPairCount; ++k) {
            const QString& suggestion = record->cells[size_t(SuggestionCell(k))];
            if (!suggestion.isEmpty() && suggestion != NotAvailable)
                suggestions << suggestion;
        }
    }
    return suggestions;
}

QCoro::Task<DigOutcome>
DigDeeper(SuggestHarvester& harvester, const SuggestTableModel& table, PhrasesAdded first, int depth,
          qsizetype limit, std::function<PhrasesAdded(const QStringList& phrases, qsizetype limit)> add,
          std::function<bool()> stopped)
{
    DigOutcome outcome{1, first.rows.size(), {}};
    PhrasesAdded added = std::move(first);
    while (outcome.level < depth && !added.rows.isEmpty() && outcome.added < limit && !stopped()) {
        co_await harvester.harvest(added.rows);
        if (stopped())
            break;
        ++outcome.level;
        added = add(SuggestionsOfRows(table, added.rows), limit - outcome.added);
        outcome.added += added.rows.size();
    }
    outcome.lastLevel = std::move(added.rows);
    co_return outcome;
}
