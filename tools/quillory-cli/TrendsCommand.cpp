// quillory-cli trends: the trending keywords, fetched once.
#include "Cli.h"

#include "net/HttpClient.h"
#include "trends/HotTrendsFeed.h"
#include "trends/TrendingFeed.h"

#include <QCoroTask>
#include <QJsonObject>

namespace {

struct FetchedTrend {
    QString keyword;
    QString traffic;
    QString country;
    qsizetype newsCount = 0;
};

// Fetches the feeds once, country after country. A country that fails leaves the others as they
// are: what each failure was (the country's code, or none for the classic feed, and the reason).
struct TrendsFailure {
    QString country;
    QString reason;
};

QCoro::Task<QList<TrendsFailure>> FetchTrends(const ProgramOptions& options, TrendSource source,
                                              QList<FetchedTrend>& found)
{
    HttpClient client;
    const PageFetcher fetch = ClientFetcher(client, options);
    QList<TrendsFailure> failures;
    if (source == TrendSource::Classic) {
        const PageFetch fetched = co_await fetch(HotTrendsFeedUrl(), FetchStyle::Classic);
        if (!fetched.page)
            failures.append({{}, fetched.failure});
        else
            for (const QString& keyword : FeedKeywords(*fetched.page))
                found.append({keyword, {}, {}, 0});
        co_return failures;
    }
    for (const QString& geo : options.geo) {
        const PageFetch fetched =
            co_await fetch(TrendingFeedUrl(options.endpoints.trends, geo), FetchStyle::Modern);
        if (!fetched.failure.isEmpty()) {
            failures.append({geo, fetched.failure});
            continue;
        }
        const std::optional<QList<TrendingItem>> items = ReadTrendingFeed(fetched.body);
        if (!items) {
            failures.append({geo, QStringLiteral("the feed could not be read")});
            continue;
        }
        for (const TrendingItem& item : *items)
            found.append({item.keyword, item.traffic, geo, item.news.size()});
    }
    co_return failures;
}

// The keywords found, in the chosen format.
void PrintTrends(const QList<FetchedTrend>& found, OutputFormat format)
{
    if (format == OutputFormat::Json || format == OutputFormat::JsonLines) {
        QJsonArray items;
        for (const FetchedTrend& trend : found)
            items.append(QJsonObject{{QStringLiteral("keyword"), trend.keyword},
                                     {QStringLiteral("traffic"), trend.traffic},
                                     {QStringLiteral("country"), trend.country},
                                     {QStringLiteral("news"), trend.newsCount}});
        PrintJsonItems(items, format);
        return;
    }
    QString text;
    if (format == OutputFormat::Csv) {
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
}

} // namespace

int trendsCommand(const QStringList& arguments)
{
    Command command(QStringLiteral("Fetches the trending keywords once and prints them with their traffic, "
                                   "country and number of news items. The settings are those of the folder's "
                                   "quillory.ini; the options override them."),
                    {OutputFormat::Table, OutputFormat::Csv, OutputFormat::Json, OutputFormat::JsonLines});
    const TrendSourceOptions sourceOptions;
    sourceOptions.addTo(command.parser);
    if (int status = Success; !command.parse(arguments, status))
        return status;
    if (!command.parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("trends takes no arguments but options"));
    ProgramOptions options = command.options();
    if (int status = Success; !sourceOptions.apply(command.parser, options, status))
        return status;

    QList<FetchedTrend> found;
    const QList<TrendsFailure> failures = QCoro::waitFor(FetchTrends(options, options.trendSource, found));
    // What was read is printed, unless no feed was; each country that failed is a line of its own.
    const qsizetype feeds = options.trendSource == TrendSource::Classic ? 1 : options.geo.size();
    if (failures.isEmpty() || failures.size() < feeds)
        PrintTrends(found, command.format());
    for (const TrendsFailure& failure : failures)
        fail(failure.country.isEmpty()
                 ? QStringLiteral("the trends could not be fetched: %1").arg(failure.reason)
                 : QStringLiteral("the trends of %1 could not be fetched: %2")
                       .arg(failure.country, failure.reason));
    return failures.isEmpty() ? Success : Failure;
}
