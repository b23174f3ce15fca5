#include "suggest/PhraseDigging.h"

#include "suggest/SuggestHarvester.h"
#include "suggest/SuggestImport.h"
#include "util/RowFile.h"
#include "util/TrimText.h"

#include <QRegularExpression>
#include <QSet>

PhrasesAdded AddNewPhrases(SuggestTableModel& table, const QStringList& lines, qsizetype limit)
{
    const QStringList fresh = NewImportPhrases(table.records(), lines);
    // Phrases made twice (two seeds that differ in letter case, a line typed with spaces around it)
    // count once, as the import sees them.
    QSet<QString> distinct;
    for (const QString& line : lines)
        distinct.insert(CleanCellText(TrimLowChars(line).toString()).toCaseFolded());
    PhrasesAdded added;
    added.known = std::max<qsizetype>(0, distinct.size() - fresh.size());
    const qsizetype first = table.rowCount();
    table.appendPhrases(fresh.mid(0, limit));
    for (qsizetype row = first; row < table.rowCount(); ++row)
        added.rows << table.idOfRow(row);
    return added;
}

bool HasSuggestions(const SuggestRows& rows, qsizetype row)
{
    for (int k = 1; k <= SuggestPairCount; ++k) {
        const QStringView suggestion = rows.recordCell(row, SuggestionCell(k));
        if (!suggestion.isEmpty() && suggestion != NotAvailable)
            return true;
    }
    return false;
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

QStringList WithoutExcludedWords(const QStringList& suggestions, const QStringList& words)
{
    if (words.isEmpty())
        return suggestions;
    QStringList alternatives;
    for (const QString& word : words)
        alternatives << QRegularExpression::escape(word.simplified());
    // A word is whole when no letter, digit or mark touches it on either side.
    const QRegularExpression holds(
        QStringLiteral("(?<![\\w\\p{M}])(?:%1)(?![\\w\\p{M}])").arg(alternatives.join(u'|')),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    QStringList kept;
    for (const QString& suggestion : suggestions) {
        if (!holds.match(suggestion.simplified()).hasMatch())
            kept << suggestion;
    }
    return kept;
}

QStringList ExcludedWordsOf(const QString& text)
{
    QStringList words;
    for (const QString& entry : text.split(u',')) {
        if (const QString word = entry.simplified();
            !word.isEmpty() && !words.contains(word, Qt::CaseInsensitive))
            words << word;
    }
    return words;
}

bool IsHarvestedNote(SuggestTableModel::HarvestNote note)
{
    using Note = SuggestTableModel::HarvestNote;
    return note == Note::Filled || note == Note::NoSuggestions;
}

QCoro::Task<DigOutcome>
DigDeeper(SuggestHarvester& harvester, const SuggestTableModel& table,
          QList<SuggestTableModel::RowId> firstLevel, qsizetype added, int depth, qsizetype limit,
          std::function<PhrasesAdded(const QStringList& phrases, qsizetype limit)> add,
          std::function<bool()> stopped)
{
    DigOutcome outcome;
    outcome.added = added;
    QList<SuggestTableModel::RowId> level = std::move(firstLevel);
    while (!level.isEmpty()) {
        outcome.levels.append({level.size(), 0});
        if (stopped())
            break;
        {
            // Counted as each row is filled, while the table is sure to be there; a row given twice
            // counts once.
            QObject counting;
            QSet<SuggestTableModel::RowId> waiting(level.cbegin(), level.cend());
            qsizetype& harvested = outcome.levels.last().harvested;
            QObject::connect(&harvester, &SuggestHarvester::rowFilled, &counting,
                             [&](SuggestTableModel::RowId id) {
                                 if (IsHarvestedNote(table.harvestNote(id)) && waiting.remove(id))
                                     ++harvested;
                             });
            co_await harvester.harvest(level);
        }
        if (stopped() || outcome.levels.size() >= depth || outcome.added >= limit)
            break;
        const PhrasesAdded next = add(SuggestionsOfRows(table, level), limit - outcome.added);
        outcome.added += next.rows.size();
        level = next.rows;
    }
    co_return outcome;
}
