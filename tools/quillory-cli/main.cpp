// quillory-cli: the program's engine without a window, for scripts, servers and schedulers.
//   quillory-cli trends   fetch the trending keywords once
//   quillory-cli suggest  harvest the suggestions of phrases
//   quillory-cli watch    the hourly monitor, folding into a folder's files
//   quillory-cli table    print a table of a folder
//   quillory-cli history  print what the history of trends knows of a keyword
// Results go to stdout only; every failure is one line on stderr. Exit status: 0 done, 1 the job
// failed (a write to stdout that failed too), 2 bad usage.
#include "Cli.h"
#include "StandardOutput.h"

#include "util/TextFile.h"

#include <QCoreApplication>

#include <csignal>

namespace {

const char Version[] = "2.01";

const char UsageText[] = "Usage: quillory-cli COMMAND [OPTIONS]\n"
                         "Commands:\n"
                         "  trends                 fetch the trending keywords once and print them\n"
                         "  suggest PHRASE...      get the suggestions of phrases (- reads them from stdin)\n"
                         "  watch                  watch the trends hourly into the program folder's files\n"
                         "  table trends|suggest   print a table of the program folder\n"
                         "  history KEYWORD        print what the history of trends knows of a keyword\n"
                         "Each command takes --help. quillory-cli --version prints the version.\n";

int runCommand(const QCoreApplication& app)
{
    // The program's name, which names its per-user folder: the default folder is the program's.
    QCoreApplication::setApplicationName(QStringLiteral("quillory"));
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
    // The command's own arguments, after the name that its help shows.
    const QStringList rest = QStringList{QStringLiteral("quillory-cli ") + command} + arguments.mid(2);
    const std::pair<const char*, int (*)(const QStringList&)> commands[] = {
        {"trends", trendsCommand}, {"suggest", suggestCommand}, {"watch", watchCommand},
        {"table", tableCommand},   {"history", historyCommand},
    };
    for (const auto& [name, run] : commands) {
        if (command == QLatin1String(name))
            return run(rest);
    }
    if (command.isEmpty()) {
        print(stderr, UsageText);
        return UsageError;
    }
    return usageError(QStringLiteral("no such command: %1").arg(command));
}

} // namespace

int main(int argc, char** argv)
{
#ifdef SIGPIPE
    // A pipe whose reader went away is seen as a failed write, so that a command ends in order (a
    // watch after the save under way) instead of being killed in the middle of it.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    // Arguments are taken as UTF-8: bytes that are not would be sent or looked for as U+FFFD.
    for (int index = 1; index < argc; ++index) {
        if (!IsValidUtf8(argv[index]))
            return usageError(QStringLiteral("argument %1 is not valid UTF-8").arg(index));
    }
    QCoreApplication app(argc, argv);
    return EndOutput(runCommand(app));
}
