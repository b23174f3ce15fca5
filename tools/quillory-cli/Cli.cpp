#include "Cli.h"

#include "StandardOutput.h"

#include "net/HttpClient.h"
#include "net/HttpRequest.h"
#include "net/ServiceAddresses.h"
#include "net/StyledFetch.h"
#include "util/DateTimeText.h"
#include "util/ProgramFolder.h"
#include "util/ProgramOptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

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

// The JSON export one object a line, as it is written: the export writes its array one object a
// line with no line break inside an object, so its lines but the brackets are the objects, each
// followed by a comma but the last.
class JsonLinesFilter final : public QIODevice {
public:
    explicit JsonLinesFilter(QIODevice& target)
        : m_target(target)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        m_pending.append(data, qsizetype(size));
        qsizetype start = 0;
        for (qsizetype end = 0; (end = m_pending.indexOf('\n', start)) >= 0; start = end + 1) {
            QByteArrayView line = QByteArrayView(m_pending).sliced(start, end - start).trimmed();
            if (line.endsWith(','))
                line.chop(1);
            if (line.isEmpty() || line == "[" || line == "]")
                continue;
            if (m_target.write(line.data(), line.size()) < 0 || m_target.write("\n", 1) < 0) {
                setErrorString(m_target.errorString());
                return -1;
            }
        }
        m_pending.remove(0, start);
        return size;
    }

private:
    QIODevice& m_target;
    QByteArray m_pending; // the start of a line still being written
};

} // namespace

bool print(std::FILE* stream, QByteArrayView bytes)
{
    if (stream == stdout)
        return StandardOutput::instance().write(bytes.data(), bytes.size()) == bytes.size();
    std::fwrite(bytes.data(), 1, std::size_t(bytes.size()), stream);
    return true;
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
    , m_create(QStringLiteral("create"),
               QStringLiteral("Makes the folder of --folder when it does not exist."))
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
    parser.addOption(m_create);
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
    if (!checkFolder(status))
        return false;
    // The folder's dates are read in every locale recorded as having written them.
    SetFolderWriterLocales(ReadDataLocales(QDir(folderPath()).filePath(OptionsFileName)));
    return true;
}

bool Command::checkFolder(int& status) const
{
    if (!parser.isSet(m_folder))
        return true;
    // A mistyped folder would otherwise be taken for an empty one, with the services' public
    // addresses in place of its settings (and a watch would start a new table there).
    const QString given = parser.value(m_folder);
    if (given.isEmpty()) {
        status = usageError(QStringLiteral("--folder takes a folder"));
        return false;
    }
    const QString path = QDir::toNativeSeparators(folderPath());
    const QFileInfo folder(folderPath());
    if (folder.isDir())
        return true;
    if (folder.exists()) {
        status = usageError(QStringLiteral("%1 is not a folder").arg(path));
        return false;
    }
    if (!parser.isSet(m_create)) {
        print(stderr,
              QStringLiteral("quillory-cli: no such folder: %1 (--create makes it)\n").arg(path).toUtf8());
        status = UsageError;
        return false;
    }
    if (!QDir().mkpath(folderPath())) {
        status = fail(QStringLiteral("the folder %1 cannot be made").arg(path));
        return false;
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

int PrintExport(OutputFormat format, const std::function<QString(QIODevice& device, ExportFormat)>& write)
{
    StandardOutput& output = StandardOutput::instance();
    const ExportFormat exportFormat = format == OutputFormat::Csv ? ExportFormat::Csv : ExportFormat::Json;
    if (format == OutputFormat::JsonLines) {
        JsonLinesFilter lines(output);
        return write(lines, exportFormat).isEmpty() ? Success : Failure;
    }
    // The only write that can fail is standard output's, which EndOutput tells of.
    return write(output, exportFormat).isEmpty() ? Success : Failure;
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
    // Validated as the options file's Geo is, but a code that is no country is an error here.
    QStringList codes;
    for (const QString& part : parser.value(geo).split(u',', Qt::SkipEmptyParts)) {
        const std::optional<QString> code = CountryCodeOf(part);
        if (!code) {
            codes.clear();
            break;
        }
        if (!codes.contains(*code))
            codes << *code;
    }
    if (codes.isEmpty()) {
        status = usageError(QStringLiteral("--geo takes two-letter country codes, as US,GB"));
        return false;
    }
    options.geo = codes;
    return true;
}
