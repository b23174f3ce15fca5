#pragma once

// What the commands of quillory-cli share: exit statuses, output to stdout and stderr, the
// options every command takes and the output formats.
#include "net/PageFetch.h"
#include "util/ExportFile.h"
#include "util/ProgramOptions.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QList>
#include <QString>

#include <cstdio>
#include <functional>

class HttpClient;
class QIODevice;

constexpr int Success = 0;
constexpr int Failure = 1;
constexpr int UsageError = 2;

// Writes to stderr, or to standard output (see StandardOutput); false once standard output failed.
bool print(std::FILE* stream, QByteArrayView bytes);
bool StandardErrorIsTerminal();
// One line on stderr; the status of a failed job.
int fail(const QString& message);
// One line on stderr; the status of bad usage.
int usageError(const QString& message);

enum class OutputFormat { Table, Csv, Json, JsonLines };

// The parser of one command, with the options every command takes: --help, --folder, --create and,
// when the command names its choices, --format.
struct Command {
    explicit Command(const QString& description, QList<OutputFormat> formats = {});
    // False with the status to end with (help shown, or bad usage told). A --folder that does not
    // exist is bad usage, unless --create asks for it to be made.
    bool parse(const QStringList& arguments, int& status);
    // The folder of the program's files: --folder, else the program's own rule (QUILLORY_HOME,
    // then the folder beside the executable or the per-user one).
    QString folderPath() const;
    // The folder's settings ("quillory.ini").
    ProgramOptions options() const;
    // The --format chosen (the first choice when none is).
    OutputFormat format() const { return m_format; }

    QCommandLineParser parser;

private:
    bool checkFolder(int& status) const;

    QCommandLineOption m_help;
    QCommandLineOption m_folder;
    QCommandLineOption m_create;
    QCommandLineOption m_formatOption;
    QList<OutputFormat> m_formats;
    OutputFormat m_format = OutputFormat::Table;
};

// True when the service address a command would use can be used; else false after telling, in one
// line, which key of the options file is wrong, with the status of bad usage.
bool AddressUsable(const std::optional<OptionsProblem>& problem, int& status);

// An array of objects as one JSON document (Json) or one object a line (JsonLines).
void PrintJsonItems(const QJsonArray& items, OutputFormat format);

// Prints a table through one of the program's exports, written to standard output as it is made,
// so that the bytes are the export's own (Csv, Json), or its JSON export one object a line
// (JsonLines). `write` writes the export to the device; a failed write is told as the command ends.
int PrintExport(OutputFormat format, const std::function<QString(QIODevice& device, ExportFormat)>& write);

// A page fetcher over one client, with the window's request styles and reading of answers. Once
// `stopped` says so, a page asked for or on its way counts as stopped.
PageFetcher ClientFetcher(
    HttpClient& client, const ProgramOptions& options, std::function<bool()> stopped = [] { return false; });

// --source and --geo, which override the folder's choice of trends feed.
struct TrendSourceOptions {
    TrendSourceOptions();
    void addTo(QCommandLineParser& parser) const;
    // False after telling bad usage.
    bool apply(const QCommandLineParser& parser, ProgramOptions& options, int& status) const;

    QCommandLineOption source;
    QCommandLineOption geo;
};

int trendsCommand(const QStringList& arguments);
int suggestCommand(const QStringList& arguments);
int tableCommand(const QStringList& arguments);
int historyCommand(const QStringList& arguments);
int watchCommand(const QStringList& arguments);
