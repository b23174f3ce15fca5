// quillory-cli history: what the history of trends knows of a keyword.
#include "Cli.h"

#include "trends/TrendHistory.h"
#include "trends/TrendLedger.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

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

} // namespace

int historyCommand(const QStringList& arguments)
{
    Command command(
        QStringLiteral("Prints what the history of trends knows of a keyword (letter case aside); "
                       "csv gives one line a day."),
        {OutputFormat::Table, OutputFormat::Csv, OutputFormat::Json, OutputFormat::JsonLines});
    QCommandLineOption days(QStringLiteral("days"),
                            QStringLiteral("Only the last N days (all of them by default)."),
                            QStringLiteral("N"));
    command.parser.addOption(days);
    command.parser.addPositionalArgument(QStringLiteral("keyword"), QStringLiteral("The keyword."));
    if (int status = Success; !command.parse(arguments, status))
        return status;
    const QStringList positional = command.parser.positionalArguments();
    if (positional.size() != 1 || positional[0].trimmed().isEmpty())
        return usageError(QStringLiteral("history needs one keyword"));
    bool daysRead = true;
    const int dayCount = command.parser.isSet(days) ? command.parser.value(days).toInt(&daysRead) : 0;
    if (!daysRead || dayCount < 0)
        return usageError(QStringLiteral("--days takes a whole number"));

    const QString path = QDir(command.folderPath()).filePath(TrendHistoryFileName);
    if (!QFile::exists(path))
        return fail(
            QStringLiteral("no history of trends in %1").arg(QDir::toNativeSeparators(command.folderPath())));
    TrendLedger ledger(path);
    // Reading changes nothing: no schema is made or brought up to date (an older history is read as
    // it is), and an unreadable history is left for the program to set aside at its next start.
    if (const QString error = ledger.open(TrendLedger::Access::ReadOnly); !error.isEmpty())
        return fail(QStringLiteral("the history of trends cannot be read: %1").arg(error));
    if (ledger.version() == 0)
        return fail(QStringLiteral("the history of trends in %1 is empty")
                        .arg(QDir::toNativeSeparators(command.folderPath())));
    const QDateTime since = dayCount > 0 ? QDateTime::currentDateTimeUtc().addDays(-dayCount) : QDateTime();
    const std::optional<KeywordHistory> history = ledger.history(positional[0], since);
    if (!history)
        return fail(QStringLiteral("\"%1\" is not in the history of trends").arg(positional[0]));

    if (command.format() == OutputFormat::Json) {
        print(stdout, QJsonDocument(HistoryObject(*history)).toJson(QJsonDocument::Indented));
    } else if (command.format() == OutputFormat::JsonLines) {
        PrintJsonItems({HistoryObject(*history)}, OutputFormat::JsonLines);
    } else if (command.format() == OutputFormat::Csv) {
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
