// quillory-cli: the program's engine without a window, for scripts and schedulers.
//   quillory-cli trends [--source trending|classic] [--geo US,GB] [--format table|csv|json]
//   quillory-cli suggest PHRASE…|- [--engine E] [--lang LL] [--country CC] [--expand SETS] [--limit N]
//                        [--pause MIN-MAX] [--format table|csv|json]
//   quillory-cli table trends|suggest [--folder DIR] [--format csv|json] [--sort keyword|date|count]
//                                     [--top N]
//   quillory-cli history KEYWORD [--folder DIR] [--format table|csv|json] [--days N]
// Results go to stdout only; every failure is one line on stderr. Exit status: 0 done, 1 the job
// failed, 2 bad usage.
#include "net/HttpClient.h"
#include "net/HttpRequest.h"
#include "net/ServiceAddresses.h"
#include "net/StyledFetch.h"
#include "suggest/PhraseExpansion.h"
#include "suggest/SuggestCsv.h"
#include "suggest/SuggestFiles.h"
#include "suggest/SuggestHarvester.h"
#include "suggest/SuggestImport.h"
#include "suggest/SuggestSource.h"
#include "suggest/SuggestTableModel.h"
#include "trends/HotTrendsFeed.h"
#include "trends/TrendExport.h"
#include "trends/TrendFiles.h"
#include "trends/TrendHistory.h"
#include "trends/TrendLedger.h"
#include "trends/TrendingFeed.h"
#include "util/DataFileStore.h"
#include "util/ExportFile.h"
#include "util/ListSort.h"
#include "util/ProgramFolder.h"
#include "util/ProgramOptions.h"
#include "util/RandomSource.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdio>
#include <memory>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif
#include <numeric>

namespace {

constexpr int Success = 0;
constexpr int Failure = 1;
constexpr int UsageError = 2;

const char Version[] = "2.01";

const char UsageText[] = "Usage: quillory-cli COMMAND [OPTIONS]\n"
                         "Commands:\n"
                         "  trends                 fetch the trending keywords once and print them\n"
                         "  suggest PHRASE...      get the suggestions of phrases (- reads them from stdin)\n"
                         "  table trends|suggest   print a table of the program folder\n"
                         "  history KEYWORD        print what the history of trends knows of a keyword\n"
                         "Each command takes --help. quillory-cli --version prints the version.\n";

void print(std::FILE* stream, QByteArrayView bytes)
{
    std::fwrite(bytes.data(), 1, std::size_t(bytes.size()), stream);
}

bool StandardErrorIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

int fail(const QString& message)
{
    print(stderr, QStringLiteral("quillory-cli: %1\n").arg(message).toUtf8());
    return Failure;
}

int usageError(const QString& message)
{
    print(stderr, QStringLiteral("quillory-cli: %1 (see quillory-cli --help)\n").arg(message).toUtf8());
    return UsageError;
}

// The options every command takes; a command adds its own before parse().
struct Command {
    explicit Command(const QString& description)
    {
        parser.setApplicationDescription(description);
        parser.addOption(help);
        parser.addOption(folder);
    }
    // False with the status to end with (help shown, or bad usage told).
    bool parse(const QStringList& arguments, int& status)
    {
        if (!parser.parse(arguments)) {
            status = usageError(parser.errorText());
            return false;
        }
        if (parser.isSet(help)) {
            print(stdout, parser.helpText().toUtf8());
            status = Success;
            return false;
        }
        return true;
    }
    // The folder of the program's files: --folder, else the program's own rule (QUILLORY_HOME,
    // then the folder beside the executable or the per-user one).
    QString folderPath() const { return parser.isSet(folder) ? parser.value(folder) : ProgramFolder(); }

    QCommandLineParser parser;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Shows this help.")};
    QCommandLineOption folder{QStringLiteral("folder"), QStringLiteral("The folder of the program's files."),
                              QStringLiteral("DIR")};
};

// Prints a file written by one of the program's exports, so that the bytes are the export's own.
int printExport(const std::function<ExportResult(const QString& path)>& write)
{
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("export"));
    if (const ExportResult result = write(path); result.outcome != ExportOutcome::Written)
        return fail(QStringLiteral("the table could not be written out: %1").arg(result.error));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("the table could not be written out: %1").arg(file.errorString()));
    print(stdout, file.readAll());
    return Success;
}

// A page fetcher over one client, with the window's request styles and reading of answers.
PageFetcher ClientFetcher(HttpClient& client, const ProgramOptions& options)
{
    return [&client, options](QString url, FetchStyle style) -> QCoro::Task<PageFetch> {
        UseRequestStyle(client, style, options.language, options.country);
        const HttpResult result = co_await client.get(HttpUrlFromText(url));
        co_return PageFetchOf(result, style, false);
    };
}

// One keyword of a trends fetch, as printed.
struct FetchedTrend {
    QString keyword;
    QString traffic;
    QString country;
    qsizetype newsCount = 0;
};

// Fetches the feeds once, country after country; the first failure ends it with its reason.
QCoro::Task<QString> FetchTrends(const ProgramOptions& options, TrendSource source,
                                 QList<FetchedTrend>& found)
{
    HttpClient client;
    const PageFetcher fetch = ClientFetcher(client, options);
    if (source == TrendSource::Classic) {
        const PageFetch fetched = co_await fetch(HotTrendsFeedUrl(), FetchStyle::Classic);
        if (!fetched.page)
            co_return fetched.failure;
        for (const QString& keyword : FeedKeywords(*fetched.page))
            found.append({keyword, {}, {}, 0});
        co_return QString();
    }
    for (const QString& geo : options.geo) {
        const PageFetch fetched =
            co_await fetch(TrendingFeedUrl(options.endpoints.trends, geo), FetchStyle::Modern);
        if (!fetched.failure.isEmpty())
            co_return QStringLiteral("%1: %2").arg(geo, fetched.failure);
        const std::optional<QList<TrendingItem>> items = ReadTrendingFeed(fetched.body);
        if (!items)
            co_return QStringLiteral("%1: the feed could not be read").arg(geo);
        for (const TrendingItem& item : *items)
            found.append({item.keyword, item.traffic, geo, item.news.size()});
    }
    co_return QString();
}

int trendsCommand(const QStringList& arguments)
{
    Command command(QStringLiteral("Fetches the trending keywords once and prints them with their traffic, "
                                   "country and number of news items. The settings are those of the folder's "
                                   "quillory.ini; the options override them."));
    QCommandLineOption source(QStringLiteral("source"), QStringLiteral("trending or classic."),
                              QStringLiteral("SOURCE"));
    QCommandLineOption geo(QStringLiteral("geo"), QStringLiteral("The countries, as US,GB."),
                           QStringLiteral("CODES"));
    QCommandLineOption format(QStringLiteral("format"), QStringLiteral("table (the default), csv or json."),
                              QStringLiteral("FORMAT"), QStringLiteral("table"));
    command.parser.addOptions({source, geo, format});
    if (int status = Success; !command.parse(arguments, status))
        return status;
    if (!command.parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("trends takes no arguments but options"));
    ProgramOptions options = ReadProgramOptions(QDir(command.folderPath()).filePath(OptionsFileName));
    TrendSource chosen = options.trendSource;
    if (command.parser.isSet(source)) {
        const QString name = command.parser.value(source);
        if (name != TrendSourceKey(TrendSource::Trending) && name != TrendSourceKey(TrendSource::Classic))
            return usageError(QStringLiteral("--source takes trending or classic"));
        chosen = name == TrendSourceKey(TrendSource::Classic) ? TrendSource::Classic : TrendSource::Trending;
    }
    if (command.parser.isSet(geo)) {
        QStringList codes;
        for (const QString& code : command.parser.value(geo).split(u',', Qt::SkipEmptyParts)) {
            const QString upper = code.trimmed().toUpper();
            if (upper.size() != 2 || !upper[0].isLetter() || !upper[1].isLetter())
                return usageError(QStringLiteral("--geo takes two-letter country codes, as US,GB"));
            codes << upper;
        }
        if (codes.isEmpty())
            return usageError(QStringLiteral("--geo takes two-letter country codes, as US,GB"));
        options.geo = codes;
    }
    const QString formatName = command.parser.value(format);
    if (formatName != QLatin1String("table") && formatName != QLatin1String("csv") &&
        formatName != QLatin1String("json"))
        return usageError(QStringLiteral("--format takes table, csv or json"));

    QList<FetchedTrend> found;
    const QString error = QCoro::waitFor(FetchTrends(options, chosen, found));
    if (!error.isEmpty())
        return fail(QStringLiteral("the trends could not be fetched: %1").arg(error));
    QString text;
    if (formatName == QLatin1String("json")) {
        QJsonArray items;
        for (const FetchedTrend& trend : found)
            items.append(QJsonObject{{QStringLiteral("keyword"), trend.keyword},
                                     {QStringLiteral("traffic"), trend.traffic},
                                     {QStringLiteral("country"), trend.country},
                                     {QStringLiteral("news"), trend.newsCount}});
        print(stdout, QJsonDocument(items).toJson(QJsonDocument::Indented));
        return Success;
    }
    if (formatName == QLatin1String("csv")) {
        BeginCsv(text, ExportFormat::Csv, {u"Keyword", u"Traffic", u"Country", u"News"});
        for (const FetchedTrend& trend : found)
            AppendCsvRecord(text,
                            {trend.keyword, trend.traffic, trend.country, QString::number(trend.newsCount)});
    } else {
        for (const FetchedTrend& trend : found)
            text += QStringLiteral("%1  %2  %3  %4 news\n")
                        .arg(trend.country.leftJustified(2), trend.traffic.leftJustified(10), trend.keyword)
                        .arg(trend.newsCount);
    }
    print(stdout, text.toUtf8());
    return Success;
}

int suggestCommand(const QStringList& arguments)
{
    Command command(
        QStringLiteral("Gets the suggestions of the phrases (one argument each, or - to read them "
                       "from stdin, one a line) as the program's harvest does, with its pauses and "
                       "its handling of a service that refuses. Nothing is written to the folder; "
                       "its quillory.ini gives the settings, which the options override."));
    QCommandLineOption engine(QStringLiteral("engine"),
                              QStringLiteral("google, youtube, bing, duckduckgo, amazon or classic."),
                              QStringLiteral("ENGINE"));
    QCommandLineOption language(QStringLiteral("lang"), QStringLiteral("The language, as en."),
                                QStringLiteral("LL"));
    QCommandLineOption country(QStringLiteral("country"), QStringLiteral("The country, as US."),
                               QStringLiteral("CC"));
    QCommandLineOption expand(
        QStringLiteral("expand"),
        QStringLiteral("Grow each phrase first: alphabet, questions, prepositions (comma-separated)."),
        QStringLiteral("SETS"));
    QCommandLineOption limit(QStringLiteral("limit"), QStringLiteral("At most N phrases (1000 by default)."),
                             QStringLiteral("N"), QStringLiteral("1000"));
    QCommandLineOption pause(QStringLiteral("pause"),
                             QStringLiteral("The pause before each phrase but the first, "
                                            "drawn between MIN and MAX seconds."),
                             QStringLiteral("MIN-MAX"));
    QCommandLineOption format(QStringLiteral("format"), QStringLiteral("table (the default), csv or json."),
                              QStringLiteral("FORMAT"), QStringLiteral("table"));
    command.parser.addOptions({engine, language, country, expand, limit, pause, format});
    command.parser.addPositionalArgument(QStringLiteral("phrases"), QStringLiteral("The phrases, or -."));
    if (int status = Success; !command.parse(arguments, status))
        return status;

    ProgramOptions options = ReadProgramOptions(QDir(command.folderPath()).filePath(OptionsFileName));
    if (command.parser.isSet(engine)) {
        bool known = false;
        for (const SuggestEngine candidate :
             {SuggestEngine::Google, SuggestEngine::YouTube, SuggestEngine::Bing, SuggestEngine::DuckDuckGo,
              SuggestEngine::Amazon, SuggestEngine::Classic}) {
            if (SuggestEngineKey(candidate) == command.parser.value(engine)) {
                options.engine = candidate;
                known = true;
            }
        }
        if (!known)
            return usageError(
                QStringLiteral("--engine takes google, youtube, bing, duckduckgo, amazon or classic"));
    }
    if (command.parser.isSet(language))
        options.language = command.parser.value(language).toLower();
    if (command.parser.isSet(country))
        options.country = command.parser.value(country).toUpper();
    if (command.parser.isSet(pause)) {
        const QStringList bounds = command.parser.value(pause).split(u'-');
        bool minRead = false;
        bool maxRead = false;
        const int shortest = bounds.value(0).toInt(&minRead);
        const int longest = bounds.value(1).toInt(&maxRead);
        if (bounds.size() != 2 || !minRead || !maxRead || shortest < 0 || longest < shortest ||
            longest > MaxPauseSeconds)
            return usageError(QStringLiteral("--pause takes MIN-MAX in seconds, as 2-7"));
        options.pauseMin = shortest;
        options.pauseMax = longest;
    }
    Expansions sets;
    if (command.parser.isSet(expand)) {
        for (const QString& name : command.parser.value(expand).split(u',', Qt::SkipEmptyParts)) {
            if (name == QLatin1String("alphabet"))
                sets |= Expansion::Alphabet;
            else if (name == QLatin1String("questions"))
                sets |= Expansion::Questions;
            else if (name == QLatin1String("prepositions"))
                sets |= Expansion::Prepositions;
            else
                return usageError(QStringLiteral("--expand takes alphabet, questions, prepositions"));
        }
    }
    bool limitRead = false;
    const qsizetype most = command.parser.value(limit).toLongLong(&limitRead);
    if (!limitRead || most < 1)
        return usageError(QStringLiteral("--limit takes a whole number from 1 on"));
    const QString formatName = command.parser.value(format);
    if (formatName != QLatin1String("table") && formatName != QLatin1String("csv") &&
        formatName != QLatin1String("json"))
        return usageError(QStringLiteral("--format takes table, csv or json"));

    QStringList seeds;
    for (const QString& argument : command.parser.positionalArguments()) {
        if (argument != QLatin1String("-")) {
            seeds << argument;
            continue;
        }
        QTextStream input(stdin);
        input.setEncoding(QStringConverter::Utf8);
        for (QString line; input.readLineInto(&line);) {
            if (!line.trimmed().isEmpty())
                seeds << line;
        }
    }
    if (seeds.isEmpty())
        return usageError(QStringLiteral("suggest needs phrases, or - to read them from stdin"));
    QStringList phrases;
    for (const QString& seed : seeds) {
        phrases << seed;
        if (sets)
            phrases << ExpandPhrase(seed, sets, options.language);
    }

    SuggestTableModel table;
    table.appendPhrases(NewImportPhrases(table.records(), phrases).mid(0, most));
    // The table is the command's own: nothing of it goes to the folder.
    DataFileStore notSaved(SuggestTableFileName,
                           DataFileStore::Writer([](const QString&) { return QString(); }));
    HttpClient client;
    SystemRandom random;
    SuggestHarvester harvester(table, notSaved, ClientFetcher(client, options), random);
    harvester.setSource(MakeSuggestSource(options, GoogleWebHost()));
    harvester.setPauseRange(options.pauseMin, options.pauseMax);
    // Tests shorten every wait (a pause, a refusal's wait) by setting the tenth of a second shorter.
    if (bool valid = false; qEnvironmentVariableIntValue("QUILLORY_PAUSE_STEP_MS", &valid) >= 0 && valid)
        harvester.setPauseStep(
            std::chrono::milliseconds(qEnvironmentVariableIntValue("QUILLORY_PAUSE_STEP_MS")));
    QString refusal;
    QObject::connect(&harvester, &SuggestHarvester::serviceRefused,
                     [&refusal](const QString& service, int statusCode, const QString& nextPhrase) {
                         refusal = QStringLiteral("%1 refused to answer (HTTP %2) before \"%3\"")
                                       .arg(service)
                                       .arg(statusCode)
                                       .arg(nextPhrase);
                     });
    // On a terminal, one line of progress that keeps being rewritten: the phrase at work and the
    // pause or the wait after a refusal. Piped, stderr stays quiet.
    if (StandardErrorIsTerminal()) {
        auto progress = std::make_shared<QString>();
        const auto show = [progress](const QString& status) {
            print(stderr, QStringLiteral("\r\x1b[K%1  %2").arg(*progress, status).toUtf8());
        };
        QObject::connect(&harvester, &SuggestHarvester::progressTextChanged,
                         [progress](const QString& text) { *progress = text; });
        QObject::connect(&harvester, &SuggestHarvester::statusChanged, show);
    }
    QList<SuggestTableModel::RowId> rows;
    for (qsizetype row = 0; row < table.rowCount(); ++row)
        rows << table.idOfRow(row);
    QCoro::waitFor(harvester.harvest(rows));
    if (StandardErrorIsTerminal())
        print(stderr, "\r\x1b[K");

    const SuggestRows& records = table.records();
    int status = Success;
    if (formatName == QLatin1String("table")) {
        QString text;
        for (qsizetype row = 0; row < records.size(); ++row) {
            text += records.phrase(row);
            text += u'\n';
            for (int k = 1; k <= SuggestPairCount; ++k) {
                const QStringView suggestion = records.recordCell(row, SuggestionCell(k));
                if (!suggestion.isEmpty() && suggestion != NotAvailable)
                    text +=
                        QStringLiteral("  %1\t%2\n").arg(suggestion, records.recordCell(row, ResultsCell(k)));
            }
        }
        print(stdout, text.toUtf8());
    } else {
        status = printExport([&](const QString& path) {
            return WriteSuggestCsv(
                path, records, formatName == QLatin1String("json") ? ExportFormat::Json : ExportFormat::Csv);
        });
    }
    // What was harvested is printed; a service that refused to the end fails the job all the same.
    if (!refusal.isEmpty())
        return fail(refusal);
    return status;
}

int tableCommand(const QStringList& arguments)
{
    Command command(QStringLiteral("Prints the Hot Trends table (trends) or the Suggest table (suggest)."));
    QCommandLineOption format(QStringLiteral("format"),
                              QStringLiteral("csv (RFC 4180, the default) or json."),
                              QStringLiteral("FORMAT"), QStringLiteral("csv"));
    QCommandLineOption sort(
        QStringLiteral("sort"),
        QStringLiteral("Hot Trends rows by keyword (A to Z), date or count (newest, most first)."),
        QStringLiteral("COLUMN"));
    QCommandLineOption top(QStringLiteral("top"), QStringLiteral("Only the first N rows."),
                           QStringLiteral("N"));
    command.parser.addOptions({format, sort, top});
    command.parser.addPositionalArgument(QStringLiteral("table"), QStringLiteral("trends or suggest"));
    if (int status = Success; !command.parse(arguments, status))
        return status;
    const QStringList positional = command.parser.positionalArguments();
    const QString which = positional.value(0);
    if (positional.size() != 1 || (which != QLatin1String("trends") && which != QLatin1String("suggest")))
        return usageError(QStringLiteral("table needs one of: trends, suggest"));
    const QString formatName = command.parser.value(format);
    if (formatName != QLatin1String("csv") && formatName != QLatin1String("json"))
        return usageError(QStringLiteral("--format takes csv or json"));
    const ExportFormat exportFormat =
        formatName == QLatin1String("json") ? ExportFormat::Json : ExportFormat::Csv;
    bool topRead = true;
    const qsizetype limit = command.parser.isSet(top) ? command.parser.value(top).toLongLong(&topRead) : -1;
    if (!topRead || (command.parser.isSet(top) && limit < 0))
        return usageError(QStringLiteral("--top takes a whole number"));
    const QDir folder(command.folderPath());
    if (!folder.exists())
        return fail(QStringLiteral("no such folder: %1").arg(QDir::toNativeSeparators(folder.path())));

    if (which == QLatin1String("suggest")) {
        if (command.parser.isSet(sort))
            return usageError(QStringLiteral("--sort is for the trends table"));
        SuggestTableRead read = ReadSuggestTable(folder.filePath(SuggestTableFileName));
        if (!read.error.isEmpty())
            return fail(read.error);
        if (limit >= 0 && limit < read.rows.size())
            read.rows = RowsAt(read.rows, [&] {
                QList<qsizetype> first(limit);
                std::iota(first.begin(), first.end(), qsizetype(0));
                return first;
            }());
        return printExport(
            [&](const QString& path) { return WriteSuggestCsv(path, read.rows, exportFormat); });
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
    return printExport([&](const QString& path) { return ExportTrendTable(path, shown, exportFormat); });
}

QJsonObject HistoryObject(const KeywordHistory& history)
{
    QJsonArray days;
    for (const KeywordHistory::Day& day : history.days) {
        days.append(QJsonObject{
            {QStringLiteral("day"), day.day.toString(Qt::ISODate)},
            {QStringLiteral("sightings"), day.sightings},
            {QStringLiteral("peakTraffic"), day.peakTraffic ? QJsonValue(*day.peakTraffic) : QJsonValue()}});
    }
    QJsonArray news;
    for (const TrendingNews& item : history.news)
        news.append(QJsonObject{{QStringLiteral("title"), item.title},
                                {QStringLiteral("url"), item.url},
                                {QStringLiteral("source"), item.source}});
    return {{QStringLiteral("keyword"), history.keyword},
            {QStringLiteral("firstSeen"), history.firstSeen.toString(Qt::ISODate)},
            {QStringLiteral("lastSeen"), history.lastSeen.toString(Qt::ISODate)},
            {QStringLiteral("sightings"), history.sightings},
            {QStringLiteral("countries"), QJsonArray::fromStringList(history.countries)},
            {QStringLiteral("peakTraffic"), history.peakTraffic},
            {QStringLiteral("days"), days},
            {QStringLiteral("news"), news}};
}

int historyCommand(const QStringList& arguments)
{
    Command command(
        QStringLiteral("Prints what the history of trends knows of a keyword (letter case aside)."));
    QCommandLineOption format(QStringLiteral("format"),
                              QStringLiteral("table (the default), csv (one line a day) or json."),
                              QStringLiteral("FORMAT"), QStringLiteral("table"));
    QCommandLineOption days(QStringLiteral("days"),
                            QStringLiteral("Only the last N days (all of them by default)."),
                            QStringLiteral("N"));
    command.parser.addOptions({format, days});
    command.parser.addPositionalArgument(QStringLiteral("keyword"), QStringLiteral("The keyword."));
    if (int status = Success; !command.parse(arguments, status))
        return status;
    const QStringList positional = command.parser.positionalArguments();
    if (positional.size() != 1 || positional[0].trimmed().isEmpty())
        return usageError(QStringLiteral("history needs one keyword"));
    const QString formatName = command.parser.value(format);
    if (formatName != QLatin1String("table") && formatName != QLatin1String("csv") &&
        formatName != QLatin1String("json"))
        return usageError(QStringLiteral("--format takes table, csv or json"));
    bool daysRead = true;
    const int dayCount = command.parser.isSet(days) ? command.parser.value(days).toInt(&daysRead) : 0;
    if (!daysRead || dayCount < 0)
        return usageError(QStringLiteral("--days takes a whole number"));

    const QString path = QDir(command.folderPath()).filePath(TrendHistoryFileName);
    if (!QFile::exists(path))
        return fail(
            QStringLiteral("no history of trends in %1").arg(QDir::toNativeSeparators(command.folderPath())));
    TrendLedger ledger(path);
    // A reader leaves an unreadable history as it is: the program sets it aside at its next start.
    if (const QString error = ledger.open(false); !error.isEmpty())
        return fail(QStringLiteral("the history of trends cannot be read: %1").arg(error));
    const QDateTime since = dayCount > 0 ? QDateTime::currentDateTimeUtc().addDays(-dayCount) : QDateTime();
    const std::optional<KeywordHistory> history = ledger.history(positional[0], since);
    if (!history)
        return fail(QStringLiteral("\"%1\" is not in the history of trends").arg(positional[0]));

    if (formatName == QLatin1String("json")) {
        print(stdout, QJsonDocument(HistoryObject(*history)).toJson(QJsonDocument::Indented));
    } else if (formatName == QLatin1String("csv")) {
        QString text = QStringLiteral("Day,Sightings,Peak traffic\r\n");
        for (const KeywordHistory::Day& day : history->days)
            text += QStringLiteral("%1,%2,%3\r\n")
                        .arg(day.day.toString(Qt::ISODate))
                        .arg(day.sightings)
                        .arg(day.peakTraffic ? QString::number(*day.peakTraffic) : QString());
        print(stdout, text.toUtf8());
    } else {
        QString text;
        text += QStringLiteral("Keyword:      %1\n").arg(history->keyword);
        text += QStringLiteral("First seen:   %1\n").arg(history->firstSeen.toString(Qt::ISODate));
        text += QStringLiteral("Last seen:    %1\n").arg(history->lastSeen.toString(Qt::ISODate));
        text += QStringLiteral("Sightings:    %1\n").arg(history->sightings);
        text += QStringLiteral("Countries:    %1\n").arg(history->countries.join(QStringLiteral(", ")));
        text += QStringLiteral("Peak traffic: %1\n").arg(history->peakTraffic);
        for (const TrendingNews& news : history->news)
            text += QStringLiteral("News:         %1 <%2> (%3)\n").arg(news.title, news.url, news.source);
        print(stdout, text.toUtf8());
    }
    return Success;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillory-cli"));
    // Dates and numbers read and written as the program does for this user.
    const QStringList arguments = app.arguments();
    const QString command = arguments.value(1);
    if (command == QLatin1String("--version")) {
        print(stdout, QByteArray("quillory-cli ") + Version + '\n');
        return Success;
    }
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        print(stdout, UsageText);
        return Success;
    }
    // The command's own arguments, with a program name in front as the parser expects.
    const QStringList rest = QStringList{arguments.value(0)} + arguments.mid(2);
    if (command == QLatin1String("trends"))
        return trendsCommand(rest);
    if (command == QLatin1String("suggest"))
        return suggestCommand(rest);
    if (command == QLatin1String("table"))
        return tableCommand(rest);
    if (command == QLatin1String("history"))
        return historyCommand(rest);
    if (command.isEmpty()) {
        print(stderr, UsageText);
        return UsageError;
    }
    return usageError(QStringLiteral("no such command: %1").arg(command));
}
