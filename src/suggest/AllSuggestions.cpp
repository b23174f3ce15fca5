#include "suggest/AllSuggestions.h"

#include "util/TextFile.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

bool isSuggestion(QStringView cell)
{
    return !cell.isEmpty() && cell != NotAvailable;
}

// The level of each row (see AllSuggestionRows): level 1 for the phrases no other row suggested,
// then each level's suggestions one level deeper, breadth first. Rows reached from no such phrase
// (phrases suggesting each other round) start at level 1 too, in table order.
std::vector<int> phraseLevels(const SuggestRows& rows)
{
    const qsizetype count = rows.size();
    QHash<QString, QList<qsizetype>> rowsOfPhrase; // case-folded phrase → its rows
    rowsOfPhrase.reserve(count);
    for (qsizetype row = 0; row < count; ++row)
        rowsOfPhrase[rows.phrase(row).toString().toCaseFolded()].append(row);

    // Calls `reached` with each row whose phrase is one of the suggestions of `row`.
    const auto forEachSuggestedRow = [&](qsizetype row, const auto& reached) {
        for (int k = 1; k <= SuggestPairCount; ++k) {
            const QStringView cell = rows.recordCell(row, SuggestionCell(k));
            if (!isSuggestion(cell))
                continue;
            const auto found = rowsOfPhrase.constFind(cell.toString().toCaseFolded());
            if (found == rowsOfPhrase.cend())
                continue;
            for (const qsizetype other : *found)
                reached(other);
        }
    };

    // Which rows another row suggested.
    std::vector<bool> suggested(size_t(count), false);
    for (qsizetype row = 0; row < count; ++row) {
        forEachSuggestedRow(row, [&](qsizetype other) {
            if (other != row)
                suggested[size_t(other)] = true;
        });
    }

    std::vector<int> levels(size_t(count), 0);
    QList<qsizetype> queue;
    queue.reserve(count);
    const auto walk = [&](qsizetype from) {
        // Breadth first from queue[from]: each row reached gets its parent's level plus one.
        for (qsizetype at = from; at < queue.size(); ++at) {
            const qsizetype row = queue[at];
            forEachSuggestedRow(row, [&](qsizetype child) {
                if (levels[size_t(child)] == 0) {
                    levels[size_t(child)] = levels[size_t(row)] + 1;
                    queue.append(child);
                }
            });
        }
    };
    for (qsizetype row = 0; row < count; ++row) {
        if (!suggested[size_t(row)]) {
            levels[size_t(row)] = 1;
            queue.append(row);
        }
    }
    walk(0);
    for (qsizetype row = 0; row < count; ++row) {
        if (levels[size_t(row)] == 0) {
            levels[size_t(row)] = 1;
            const qsizetype from = queue.size();
            queue.append(row);
            walk(from);
        }
    }
    return levels;
}

void writeCsv(TextDeviceWriter& writer, const AllSuggestionRows& rows, ExportFormat format)
{
    BeginCsv(writer.text(), format, {u"Suggestion", u"Phrase", u"Level", u"Position", u"Service"});
    for (qsizetype row = 0; row < rows.size(); ++row) {
        AppendCsvRecord(writer.text(), {rows.cell(row, AllSuggestionRows::SuggestionCell),
                                        rows.cell(row, AllSuggestionRows::PhraseCell),
                                        rows.cell(row, AllSuggestionRows::LevelCell),
                                        rows.cell(row, AllSuggestionRows::PositionCell),
                                        rows.cell(row, AllSuggestionRows::ServiceCell)});
        if (!writer.flushIfFull())
            return;
    }
}

void writeJson(TextDeviceWriter& writer, const AllSuggestionRows& rows)
{
    WriteJsonArray(writer, rows.size(), [&rows](QString& text, qsizetype row) {
        text += QLatin1String("{\"suggestion\":");
        AppendJsonString(text, rows.cell(row, AllSuggestionRows::SuggestionCell));
        text += QLatin1String(",\"phrase\":");
        AppendJsonString(text, rows.cell(row, AllSuggestionRows::PhraseCell));
        // Both are whole numbers this list wrote itself.
        text += QLatin1String(",\"level\":");
        text += rows.cell(row, AllSuggestionRows::LevelCell);
        text += QLatin1String(",\"position\":");
        text += rows.cell(row, AllSuggestionRows::PositionCell);
        text += QLatin1String(",\"service\":");
        AppendJsonString(text, rows.cell(row, AllSuggestionRows::ServiceCell));
        text += u'}';
    });
}

} // namespace

AllSuggestionRows CollectAllSuggestions(const SuggestRows& rows, const QString& service)
{
    const std::vector<int> levels = phraseLevels(rows);
    // Rows level by level, in table order within a level.
    std::vector<qsizetype> order(size_t(rows.size()));
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::stable_sort(order.begin(), order.end(),
                     [&levels](qsizetype a, qsizetype b) { return levels[size_t(a)] < levels[size_t(b)]; });

    AllSuggestionRows all;
    QSet<QString> seen;
    QString levelText;
    for (const qsizetype row : std::as_const(order)) {
        levelText = QString::number(levels[size_t(row)]);
        for (int k = 1; k <= SuggestPairCount; ++k) {
            const QStringView suggestion = rows.recordCell(row, SuggestionCell(k));
            if (!isSuggestion(suggestion))
                continue;
            QString folded = suggestion.toString().toCaseFolded();
            if (seen.contains(folded))
                continue;
            seen.insert(std::move(folded));
            const QString position = QString::number(k);
            all.append({suggestion, rows.phrase(row), levelText, position, service});
        }
    }
    return all;
}

namespace {

ExportFill csvFill(const AllSuggestionRows& rows, ExportFormat format)
{
    return [&rows, format](TextDeviceWriter& writer) {
        writeCsv(writer, rows, format == ExportFormat::PageLines ? ExportFormat::Csv : format);
    };
}

} // namespace

ExportResult WriteAllSuggestions(const QString& path, const AllSuggestionRows& rows, ExportFormat format)
{
    const ExportFill csv = csvFill(rows, format);
    return WriteExportFile(path, format, csv, csv,
                           [&rows](TextDeviceWriter& writer) { writeJson(writer, rows); });
}

QString WriteAllSuggestions(QIODevice& device, const AllSuggestionRows& rows, ExportFormat format)
{
    const ExportFill csv = csvFill(rows, format);
    return WriteExport(device, format, csv, csv,
                       [&rows](TextDeviceWriter& writer) { writeJson(writer, rows); });
}
