#include "Cli.h"

#include "net/HttpClient.h"
#include "net/HttpRequest.h"
#include "net/ServiceAddresses.h"
#include "net/StyledFetch.h"
#include "util/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

QString FormatName(OutputFormat format)
{
    switch (format) {
    case OutputFormat::Table:
        return QStringLiteral("table");
    case OutputFormat::Csv:
        return QStringLiteral("csv");
    case OutputFormat::Json:
        return QStringLiteral("json");
    case OutputFormat::JsonLines:
        return QStringLiteral("jsonl");
    }
    return {};
}

QString ChoicesText(const QList<OutputFormat>& formats)
{
    QStringList names;
    for (const OutputFormat format : formats)
        names << FormatName(format);
    const QString last = names.takeLast();
    return names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

} // namespace

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

Command::Command(const QString& description, QList<OutputFormat> formats)
    : m_help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows this help."))
    , m_folder(QStringLiteral("folder"), QStringLiteral("The folder of the program's files."),
               QStringLiteral("DIR"))
    , m_formatOption(QStringLiteral("format"),
                     formats.isEmpty() ? QString()
                                       : QStringLiteral("%1 (%2 is the default).")
                                             .arg(ChoicesText(formats), FormatName(formats.first())),
                     QStringLiteral("FORMAT"))
    , m_formats(std::move(formats))
{
    parser.setApplicationDescription(description);
    parser.addOption(m_help);
    parser.addOption(m_folder);
    if (!m_formats.isEmpty()) {
        parser.addOption(m_formatOption);
        m_format = m_formats.first();
    }
}

bool Command::parse(const QStringList& arguments, int& status)
{
    if (!parser.parse(arguments)) {
        status = usageError(parser.errorText());
        return false;
    }
    if (parser.isSet(m_help)) {
        // The parser's usage line names the executable as it was started; it names the command.
        QString text = parser.helpText();
        const QString usage = QStringLiteral("Usage: ");
        if (const QString executable = QCoreApplication::arguments().value(0);
            text.startsWith(usage + executable))
            text.replace(usage.size(), executable.size(), arguments.value(0));
        print(stdout, text.toUtf8());
        status = Success;
        return false;
    }
    if (!m_formats.isEmpty() && parser.isSet(m_formatOption)) {
        const QString chosen = parser.value(m_formatOption);
        const auto named = std::find_if(m_formats.cbegin(), m_formats.cend(), [&chosen](OutputFormat format) {
            return FormatName(format) == chosen;
        });
        if (named == m_formats.cend()) {
            status = usageError(QStringLiteral("--format takes %1").arg(ChoicesText(m_formats)));
            return false;
        }
        m_format = *named;
    }
    return true;
}

QString Command::folderPath() const
{
    return parser.isSet(m_folder) ? QDir(parser.value(m_folder)).absolutePath() : ProgramFolder();
}

ProgramOptions Command::options() const
{
    ProgramOptions options = ReadProgramOptions(QDir(folderPath()).filePath(OptionsFileName));
    SetChosenServiceAddresses(ChosenServiceAddresses(options.endpoints));
    return options;
}

bool AddressUsable(const std::optional<OptionsProblem>& problem, int& status)
{
    if (!problem)
        return true;
    // The folder's file is wrong, not the command: told as bad usage, in one line, before anything is sent.
    print(stderr, QStringLiteral("quillory-cli: %1\n").arg(OptionsProblemText(*problem)).toUtf8());
    status = UsageError;
    return false;
}

void PrintJsonItems(const QJsonArray& items, OutputFormat format)
{
    if (format == OutputFormat::Json) {
        print(stdout, QJsonDocument(items).toJson(QJsonDocument::Indented));
        return;
    }
    for (const QJsonValue& item : items) {
        print(stdout, QJsonDocument(item.toObject()).toJson(QJsonDocument::Compact));
        print(stdout, "\n");
    }
}

int PrintExport(OutputFormat format,
                const std::function<ExportResult(const QString& path, ExportFormat)>& write)
{
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("export"));
    const ExportFormat exportFormat = format == OutputFormat::Csv ? ExportFormat::Csv : ExportFormat::Json;
    if (const ExportResult result = write(path, exportFormat); result.outcome != ExportOutcome::Written)
        return fail(QStringLiteral("the table could not be written out: %1").arg(result.error));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("the table could not be written out: %1").arg(file.errorString()));
    if (format != OutputFormat::JsonLines) {
        print(stdout, file.readAll());
        return Success;
    }
    // The JSON export writes its array one object a line, with no line break inside an object:
    // the objects are its lines but the brackets, each without the comma that follows it.
    while (!file.atEnd()) {
        QByteArray line = file.readLine().trimmed();
        if (line.endsWith(','))
            line.chop(1);
        if (line.isEmpty() || line == "[" || line == "]")
            continue;
        print(stdout, line + '\n');
    }
    return Success;
}

PageFetcher ClientFetcher(HttpClient& client, const ProgramOptions& options, std::function<bool()> stopped)
{
    return [&client, options, stopped](QString url, FetchStyle style) -> QCoro::Task<PageFetch> {
        if (stopped())
            co_return PageFetch{std::nullopt, {}, {}, PageFetchStopped};
        UseRequestStyle(client, style, options.language, options.country);
        const HttpResult result = co_await client.get(HttpUrlFromText(url));
        co_return PageFetchOf(result, style, stopped());
    };
}

TrendSourceOptions::TrendSourceOptions()
    : source(QStringLiteral("source"), QStringLiteral("trending or classic."), QStringLiteral("SOURCE"))
    , geo(QStringLiteral("geo"), QStringLiteral("The countries, as US,GB."), QStringLiteral("CODES"))
{
}

void TrendSourceOptions::addTo(QCommandLineParser& parser) const
{
    parser.addOptions({source, geo});
}

bool TrendSourceOptions::apply(const QCommandLineParser& parser, ProgramOptions& options, int& status) const
{
    if (parser.isSet(source)) {
        const QString name = parser.value(source);
        if (name != TrendSourceKey(TrendSource::Trending) && name != TrendSourceKey(TrendSource::Classic)) {
            status = usageError(QStringLiteral("--source takes trending or classic"));
            return false;
        }
        options.trendSource =
            name == TrendSourceKey(TrendSource::Classic) ? TrendSource::Classic : TrendSource::Trending;
    }
    if (!AddressUsable(TrendsAddressProblem(options), status))
        return false;
    if (!parser.isSet(geo))
        return true;
    QStringList codes;
    for (const QString& code : parser.value(geo).split(u',', Qt::SkipEmptyParts)) {
        const QString upper = code.trimmed().toUpper();
        if (upper.size() != 2 || !upper[0].isLetter() || !upper[1].isLetter()) {
            codes.clear();
            break;
        }
        codes << upper;
    }
    if (codes.isEmpty()) {
        status = usageError(QStringLiteral("--geo takes two-letter country codes, as US,GB"));
        return false;
    }
    options.geo = codes;
    return true;
}
