// quillory-cli table: the program's tables, as its exports write them.
#include "Cli.h"

#include "net/ServiceAddresses.h"
#include "suggest/AllSuggestions.h"
#include "suggest/SuggestCsv.h"
#include "suggest/SuggestFiles.h"
#include "suggest/SuggestSource.h"
#include "trends/TrendExport.h"
#include "trends/TrendFiles.h"
#include "util/CellRows.h"
#include "util/ListSort.h"

#include <QDir>

#include <numeric>

int tableCommand(const QStringList& arguments)
{
    Command command(
        QStringLiteral("Prints the Hot Trends table (trends), the Suggest table (suggest) or every "
                       "suggestion once (suggestions), csv as RFC 4180."),
        {OutputFormat::Csv, OutputFormat::Json, OutputFormat::JsonLines});
    QCommandLineOption sort(
        QStringLiteral("sort"),
        QStringLiteral("Hot Trends rows by keyword (A to Z), date or count (newest, most first)."),
        QStringLiteral("COLUMN"));
    QCommandLineOption top(QStringLiteral("top"), QStringLiteral("Only the first N rows."),
                           QStringLiteral("N"));
    command.parser.addOptions({sort, top});
    command.parser.addPositionalArgument(QStringLiteral("table"),
                                         QStringLiteral("trends, suggest or suggestions"));
    if (int status = Success; !command.parse(arguments, status))
        return status;
    const QStringList positional = command.parser.positionalArguments();
    const QString which = positional.value(0);
    const bool suggestTable = which == QLatin1String("suggest") || which == QLatin1String("suggestions");
    if (positional.size() != 1 || (which != QLatin1String("trends") && !suggestTable))
        return usageError(QStringLiteral("table needs one of: trends, suggest, suggestions"));
    bool topRead = true;
    const qsizetype limit = command.parser.isSet(top) ? command.parser.value(top).toLongLong(&topRead) : -1;
    if (!topRead || (command.parser.isSet(top) && limit < 0))
        return usageError(QStringLiteral("--top takes a whole number"));
    const QDir folder(command.folderPath());
    if (!folder.exists())
        return fail(QStringLiteral("no such folder: %1").arg(QDir::toNativeSeparators(folder.path())));

    if (suggestTable) {
        if (command.parser.isSet(sort))
            return usageError(QStringLiteral("--sort is for the trends table"));
        SuggestTableRead read = ReadSuggestTable(folder.filePath(SuggestTableFileName));
        if (!read.error.isEmpty())
            return fail(read.error);
        if (which == QLatin1String("suggestions")) {
            // The list the window's "All suggestions" view shows; the service is the one chosen.
            const QString service = MakeSuggestSource(command.options(), GoogleWebHost())->name();
            AllSuggestionRows all = CollectAllSuggestions(read.rows, service);
            if (limit >= 0 && limit < all.size())
                all.remove(limit, all.size() - limit);
            return PrintExport(command.format(), [&all](QIODevice& device, ExportFormat format) {
                return WriteAllSuggestions(device, all, format);
            });
        }
        if (limit >= 0 && limit < read.rows.size())
            read.rows = RowsAt(read.rows, [&] {
                QList<qsizetype> first(limit);
                std::iota(first.begin(), first.end(), qsizetype(0));
                return first;
            }());
        return PrintExport(command.format(), [&read](QIODevice& device, ExportFormat format) {
            return WriteSuggestCsv(device, read.rows, format);
        });
    }

    TrendTableRead read = ReadTrendTable(folder.filePath(TrendTableFileName));
    if (!read.error.isEmpty())
        return fail(read.error);
    QList<qsizetype> order(read.rows.size());
    std::iota(order.begin(), order.end(), qsizetype(0));
    if (command.parser.isSet(sort)) {
        const QString column = command.parser.value(sort);
        const TrendRows& rows = read.rows;
        if (column == QLatin1String("keyword"))
            order = SortedRowOrder(
                rows.size(), [&rows](qsizetype row) { return rows.keyword(row); }, SortKind::Text, true);
        else if (column == QLatin1String("date"))
            order = SortedRowOrder(
                rows.size(), [&rows](qsizetype row) { return rows.date(row); }, SortKind::DateTime, false);
        else if (column == QLatin1String("count"))
            order = SortedRowOrder(
                rows.size(), [&rows](qsizetype row) { return rows.count(row); }, SortKind::Number, false);
        else
            return usageError(QStringLiteral("--sort takes keyword, date or count"));
    }
    if (limit >= 0 && limit < order.size())
        order.resize(limit);
    const TrendRows shown = RowsAt(read.rows, order);
    return PrintExport(command.format(), [&shown](QIODevice& device, ExportFormat format) {
        return ExportTrendTable(device, shown, format);
    });
}
