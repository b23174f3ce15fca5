#include "suggest/SuggestImport.h"

#include "suggest/SuggestTableModel.h"
#include "util/KeywordIndex.h"
#include "util/RowFile.h"
#include "util/TrimText.h"

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

qsizetype ImportPhrases(SuggestTableModel& table, const QStringList& lines)
{
    const QStringList phrases = NewImportPhrases(table.records(), lines);
    table.appendPhrases(phrases);
    return phrases.size();
}
