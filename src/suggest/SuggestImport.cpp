#include "suggest/SuggestImport.h"

#include "suggest/SuggestTableModel.h"
#include "util/KeywordIndex.h"
#include "util/RowFile.h"
#include "util/TrimText.h"

#include <vector>

QStringList NewImportPhrases(const SuggestRows& table, const QStringList& lines)
{
    // Every phrase known so far, the table's then the new ones, indexed without regard to case.
    QStringList known;
    known.reserve(table.size() + lines.size());
    for (qsizetype row = 0; row < table.size(); ++row)
        known.append(table.phrase(row).toString());
    KeywordIndex index([&known](qsizetype row) { return QStringView(known.at(row)); });
    index.rebuild(known.size());

    const qsizetype tableSize = known.size();
    for (const QString& line : lines) {
        const QString phrase = CleanCellText(TrimLowChars(line).toString());
        if (index.contains(phrase))
            continue;
        known.append(phrase);
        index.add(known.size() - 1);
    }
    return known.mid(tableSize);
}

SentPhrases PlanSentPhrases(const SuggestRows& table, const QStringList& phrases)
{
    SentPhrases sent;
    const qsizetype tableSize = table.size();
    const auto phraseAt = [&](qsizetype row) {
        return row < tableSize ? table.phrase(row) : sent.fresh.phrase(row - tableSize);
    };
    KeywordIndex index(phraseAt);
    index.rebuild(tableSize);
    std::vector<bool> chosen(size_t(tableSize), false);
    for (const QString& line : phrases) {
        const QString phrase = CleanCellText(TrimLowChars(line).toString());
        qsizetype row = index.find(phrase);
        if (row < 0) {
            sent.fresh.appendPhrase(phrase);
            row = tableSize + sent.fresh.size() - 1;
            index.add(row);
            chosen.push_back(false);
        }
        chosen[size_t(row)] = true;
    }
    for (qsizetype row = 0; row < qsizetype(chosen.size()); ++row) {
        if (!chosen[size_t(row)])
            continue;
        if (!sent.runs.isEmpty() && sent.runs.last().second == row - 1)
            sent.runs.last().second = row;
        else
            sent.runs.append({row, row});
    }
    return sent;
}

qsizetype ImportPhrases(SuggestTableModel& table, const QStringList& lines)
{
    const QStringList phrases = NewImportPhrases(table.records(), lines);
    table.appendPhrases(phrases);
    return phrases.size();
}
