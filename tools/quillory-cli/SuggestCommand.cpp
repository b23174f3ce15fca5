// quillory-cli suggest: the suggestions of phrases, harvested as the window harvests them.
#include "Cli.h"
#include "StandardOutput.h"

#include "net/HttpClient.h"
#include "net/ServiceAddresses.h"
#include "suggest/PhraseDigging.h"
#include "suggest/PhraseExpansion.h"
#include "suggest/SuggestCsv.h"
#include "suggest/SuggestFiles.h"
#include "suggest/SuggestHarvester.h"
#include "suggest/SuggestImport.h"
#include "suggest/SuggestSource.h"
#include "suggest/SuggestTableModel.h"
#include "util/DataFileStore.h"
#include "util/RandomSource.h"
#include "util/RowFile.h"
#include "util/TerminationSignals.h"
#include "util/TextFile.h"

#include <QBuffer>
#include <QCoroTask>
#include <QFile>
#include <QSet>
#include <QTimer>

#include <csignal>
#include <utility>

namespace {

// What the command line asks of one harvest.
struct SuggestJob {
    ProgramOptions options;
    // The user's phrases, each followed by its expansion.
    struct Seed {
        QString phrase;
        QStringList expansion;
    };
    QList<Seed> seeds;
    qsizetype limit = 1000;
    int depth = 1;
};

// Whether a phrase holds nothing to ask for once it is cleaned as a cell (see CleanCellText).
bool IsBlankPhrase(const QString& phrase)
{
    return CleanCellText(phrase).trimmed().isEmpty();
}

// The lines of stdin: each that is valid UTF-8 is UTF-8, any other Windows-1252, as the program's
// files are read. Blank lines are passed over.
QStringList StandardInputPhrases()
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return {};
    QStringList phrases;
    ForEachRowLine(input, [&phrases](QByteArrayView line) {
        if (QString phrase = DecodeLine(line); !IsBlankPhrase(phrase))
            phrases << std::move(phrase);
    });
    return phrases;
}

// The phrases named on the command line, those of stdin in the place of "-". An empty or blank
// argument asks for nothing: it is left out, and said so.
QStringList SeedPhrases(const QStringList& arguments)
{
    QStringList seeds;
    QStringList blank;
    for (qsizetype index = 0; index < arguments.size(); ++index) {
        const QString& argument = arguments[index];
        if (argument == QLatin1String("-"))
            seeds << StandardInputPhrases();
        else if (IsBlankPhrase(argument))
            blank << QString::number(index + 1);
        else
            seeds << argument;
    }
    if (!blank.isEmpty() && !seeds.isEmpty())
        print(stderr, QStringLiteral("quillory-cli: left out %1 empty phrase%2 (phrase %3)\n")
                          .arg(blank.size())
                          .arg(blank.size() == 1 ? QString() : QStringLiteral("s"))
                          .arg(blank.join(QStringLiteral(", ")))
                          .toUtf8());
    return seeds;
}

struct SuggestOptions {
    QCommandLineOption engine{QStringLiteral("engine"),
                              QStringLiteral("google, youtube, bing, duckduckgo, amazon or classic."),
                              QStringLiteral("ENGINE")};
    QCommandLineOption language{QStringLiteral("lang"), QStringLiteral("The language, as en."),
                                QStringLiteral("LL")};
    QCommandLineOption country{QStringLiteral("country"), QStringLiteral("The country, as US."),
                               QStringLiteral("CC")};
    QCommandLineOption expand{
        QStringLiteral("expand"),
        QStringLiteral("Grow each phrase first: alphabet (letters after it), alphabet-before, questions, "
                       "prepositions (comma-separated)."),
        QStringLiteral("SETS")};
    QCommandLineOption depth{
        QStringLiteral("depth"),
        QStringLiteral("1 (the default): the phrases only. 2 or 3: their suggestions are "
                       "harvested as phrases in turn, one or two levels deep."),
        QStringLiteral("N"), QStringLiteral("1")};
    QCommandLineOption limit{QStringLiteral("limit"),
                             QStringLiteral("At most N phrases in all levels (1000 by default) once "
                                            "expanded or dug; the phrases given are all harvested."),
                             QStringLiteral("N"), QStringLiteral("1000")};
    QCommandLineOption pause{QStringLiteral("pause"),
                             QStringLiteral("The pause before each phrase but the first, "
                                            "drawn between MIN and MAX seconds."),
                             QStringLiteral("MIN-MAX")};

    // The job the options ask for, or nothing after telling bad usage.
    std::optional<SuggestJob> read(const Command& command, int& status) const;
};

std::optional<SuggestJob> SuggestOptions::read(const Command& command, int& status) const
{
    const QCommandLineParser& parser = command.parser;
    const auto bad = [&status](const QString& message) {
        status = usageError(message);
        return std::nullopt;
    };
    SuggestJob job;
    job.options = command.options();
    ProgramOptions& options = job.options;
    if (parser.isSet(engine)) {
        bool known = false;
        for (const SuggestEngine candidate :
             {SuggestEngine::Google, SuggestEngine::YouTube, SuggestEngine::Bing, SuggestEngine::DuckDuckGo,
              SuggestEngine::Amazon, SuggestEngine::Classic}) {
            if (SuggestEngineKey(candidate) == parser.value(engine)) {
                options.engine = candidate;
                known = true;
            }
        }
        if (!known)
            return bad(QStringLiteral("--engine takes google, youtube, bing, duckduckgo, amazon or classic"));
    }
    // Validated as the options file's values are.
    if (parser.isSet(language)) {
        const std::optional<QString> code = LanguageCodeOf(parser.value(language));
        if (!code)
            return bad(QStringLiteral("--lang takes a language code of two or three letters, as en"));
        options.language = *code;
    }
    if (parser.isSet(country)) {
        const std::optional<QString> code = CountryCodeOf(parser.value(country));
        if (!code)
            return bad(QStringLiteral("--country takes a two-letter country code, as US"));
        options.country = *code;
    }
    if (parser.isSet(pause)) {
        const QStringList bounds = parser.value(pause).split(u'-');
        bool minRead = false;
        bool maxRead = false;
        const int shortest = bounds.value(0).toInt(&minRead);
        const int longest = bounds.value(1).toInt(&maxRead);
        if (bounds.size() != 2 || !minRead || !maxRead || shortest < 0 || longest < shortest ||
            longest > MaxPauseSeconds)
            return bad(QStringLiteral("--pause takes MIN-MAX in seconds, as 2-7"));
        options.pauseMin = shortest;
        options.pauseMax = longest;
    }
    Expansions sets;
    for (const QString& name : parser.value(expand).split(u',', Qt::SkipEmptyParts)) {
        if (name == QLatin1String("alphabet"))
            sets |= Expansion::Alphabet;
        else if (name == QLatin1String("alphabet-before"))
            sets |= Expansion::AlphabetBefore;
        else if (name == QLatin1String("questions"))
            sets |= Expansion::Questions;
        else if (name == QLatin1String("prepositions"))
            sets |= Expansion::Prepositions;
        else
            return bad(QStringLiteral("--expand takes alphabet, alphabet-before, questions, prepositions"));
    }
    bool limitRead = false;
    job.limit = parser.value(limit).toLongLong(&limitRead);
    if (!limitRead || job.limit < 1)
        return bad(QStringLiteral("--limit takes a whole number from 1 on"));
    bool depthRead = false;
    job.depth = parser.value(depth).toInt(&depthRead);
    if (!depthRead || job.depth < 1 || job.depth > 3)
        return bad(QStringLiteral("--depth takes 1, 2 or 3"));

    if (!AddressUsable(SuggestAddressProblem(options), status))
        return std::nullopt;
    const QStringList seeds = SeedPhrases(parser.positionalArguments());
    if (seeds.isEmpty())
        return bad(QStringLiteral("suggest needs phrases that are not empty, or - to read them from stdin"));
    for (const QString& seed : seeds)
        job.seeds.append({seed, sets ? ExpandPhrase(seed, sets, options.language) : QStringList()});
    return job;
}

// On a terminal, one line of progress that keeps being rewritten: a bar of the phrases done, the
// phrase at work, and the pause or the wait after a refusal counting down. Piped, stderr stays quiet.
class HarvestProgress final : public QObject {
public:
    explicit HarvestProgress(SuggestHarvester& harvester)
    {
        if (!StandardErrorIsTerminal())
            return;
        connect(&harvester, &SuggestHarvester::turnStarted, this, [this](qsizetype turn, qsizetype count) {
            m_turn = turn;
            m_count = count;
            m_pause.stop();
            show();
        });
        connect(&harvester, &SuggestHarvester::statusChanged, this, [this](const QString& text) {
            m_status = text;
            show();
        });
        connect(&harvester, &SuggestHarvester::pausing, this, [this](int seconds) {
            m_pauseLeft = seconds;
            m_pause.start();
            show();
        });
        m_pause.setInterval(1000);
        connect(&m_pause, &QTimer::timeout, this, [this] {
            if (--m_pauseLeft <= 0)
                m_pause.stop();
            show();
        });
    }
    ~HarvestProgress() override { hide(); }

    // Clears the bar, so that what comes next (a phrase printed on the same terminal) starts a line
    // of its own; the harvest's next step shows it again.
    void hide() const
    {
        if (StandardErrorIsTerminal())
            print(stderr, "\r\x1b[K");
    }

private:
    void show() const
    {
        constexpr int Width = 20;
        const int done = m_count > 0 ? int(m_turn * Width / m_count) : 0;
        QString line = QStringLiteral("\r\x1b[K[%1%2] %3 of %4  ")
                           .arg(QString(done, u'#'), QString(Width - done, u'.'))
                           .arg(m_turn + 1)
                           .arg(m_count);
        line += m_pause.isActive() ? QStringLiteral("next phrase in %1 s").arg(m_pauseLeft) : m_status;
        print(stderr, line.toUtf8());
    }

    qsizetype m_turn = 0;
    qsizetype m_count = 0;
    QString m_status;
    int m_pauseLeft = 0;
    QTimer m_pause;
};

// The Suggest export's own text for one phrase: its CSV lines without the header, or its JSON
// object. Made by the export itself, so that the output is the export's byte for byte.
QByteArray ExportedPhrase(const SuggestRecord& record, const QString& error, ExportFormat format)
{
    SuggestRows one;
    one.append(record);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!WriteSuggestCsv(buffer, one, format, {error}).isEmpty())
        return {};
    const QByteArray& text = buffer.data();
    // Past the header line; or the object between "[" CR LF and CR LF "]" (an object holds no line
    // break: the export escapes them).
    const qsizetype start = text.indexOf('\n') + 1;
    if (format != ExportFormat::Json)
        return text.sliced(start);
    const qsizetype end = text.lastIndexOf("\r\n]");
    return end > start ? text.sliced(start, end - start) : QByteArray();
}

// Prints the harvest a phrase at a time, as each is done, so that what was harvested is out
// whatever ends the command: CSV and JSON lines a phrase's lines at once, JSON its array an object
// at a time (closed at the end, so that what was printed is one whole document), the table a
// phrase's block. A phrase without an answer has its JSON object with the error; CSV and the table
// leave it out (stderr says why).
class PhrasePrinter {
public:
    explicit PhrasePrinter(OutputFormat format)
        : m_format(format)
    {
    }

    // The CSV header, the JSON array's opening bracket. False once standard output failed.
    bool begin()
    {
        QString text;
        if (m_format == OutputFormat::Csv)
            BeginCsv(text, ExportFormat::Csv, {u"Keyword Phrase", u"Suggestion", u"Results"});
        else if (m_format == OutputFormat::Json)
            text = QStringLiteral("[");
        return write(text.toUtf8());
    }

    // One phrase, and why it has no answer (empty when it has one).
    bool phrase(const SuggestRecord& record, const QString& error)
    {
        switch (m_format) {
        case OutputFormat::Table:
            return error.isEmpty() ? write(TableText(record)) : true;
        case OutputFormat::Csv:
            return error.isEmpty() ? write(ExportedPhrase(record, error, ExportFormat::Csv)) : true;
        case OutputFormat::Json:
            return write((m_objects++ == 0 ? "\r\n" : ",\r\n") +
                         ExportedPhrase(record, error, ExportFormat::Json));
        case OutputFormat::JsonLines:
            return write(ExportedPhrase(record, error, ExportFormat::Json) + '\n');
        }
        return true;
    }

    // The JSON array's closing bracket.
    void end()
    {
        if (m_format == OutputFormat::Json)
            write(m_objects == 0 ? "]\r\n" : "\r\n]\r\n");
    }

private:
    // The phrase and its suggestions with their figures, for reading.
    static QByteArray TableText(const SuggestRecord& record)
    {
        QString text = record.phrase + u'\n';
        for (int k = 1; k <= SuggestPairCount; ++k) {
            const QString& suggestion = record.cells[SuggestionCell(k)];
            if (!suggestion.isEmpty() && suggestion != NotAvailable)
                text += QStringLiteral("  %1\t%2\n").arg(suggestion, record.cells[ResultsCell(k)]);
        }
        return text.toUtf8();
    }

    // Out at once, not gathered: the reader has the phrase as soon as it is done.
    static bool write(const QByteArray& bytes)
    {
        return print(stdout, bytes) && StandardOutput::instance().flush();
    }

    OutputFormat m_format;
    qsizetype m_objects = 0;
};

// What became of the phrases of a harvest.
struct HarvestOutcome {
    // Why each phrase whose fetch failed (or which the service refused to the end) has no answer.
    QHash<SuggestTableModel::RowId, QString> failed;
    // The phrases answered or failed, each printed as it was done; the others were never asked.
    QSet<SuggestTableModel::RowId> asked;
    QString refusal;
    // The termination signal that ended the harvest early (0: none did).
    int signal = 0;
    // Standard output failed, or its reader went away: nothing more can be printed.
    bool outputFailed = false;
};

// Harvests the job into `table`, level after level, printing each phrase as it is done. The phrases
// the user gave are all harvested; their expansion and the levels below are cut at the limit. A
// termination signal, or standard output failing, ends it early: the fetch on its way is given up
// and nothing more is asked.
HarvestOutcome Harvest(const SuggestJob& job, SuggestTableModel& table, PhrasePrinter& printer)
{
    HarvestOutcome outcome;
    bool ending = false;
    // The table is the command's own: nothing of it goes to the folder.
    DataFileStore notSaved(SuggestTableFileName,
                           DataFileStore::Writer([](const QString&) { return QString(); }));
    HttpClient client;
    SystemRandom random;
    SuggestHarvester harvester(table, notSaved,
                               ClientFetcher(client, job.options, [&ending] { return ending; }), random);
    harvester.setSource(MakeSuggestSource(job.options, GoogleWebHost()));
    harvester.setPauseRange(job.options.pauseMin, job.options.pauseMax);
    // Tests shorten every wait (a pause, a refusal's wait) by setting the tenth of a second shorter.
    if (bool valid = false; qEnvironmentVariableIntValue("QUILLORY_PAUSE_STEP_MS", &valid) >= 0 && valid)
        harvester.setPauseStep(
            std::chrono::milliseconds(qEnvironmentVariableIntValue("QUILLORY_PAUSE_STEP_MS")));
    HarvestProgress progress(harvester);

    const auto end = [&] {
        if (std::exchange(ending, true))
            return;
        harvester.requestStop();
        // The pause under way (up to seconds long) passes at once: the harvest looks at the stop
        // only once it is over.
        harvester.setPauseStep(std::chrono::milliseconds(0));
        client.abortAll();
    };
    const auto printPhrase = [&](SuggestTableModel::RowId id) {
        const std::optional<SuggestRecord> record = table.recordOfId(id);
        if (!record || outcome.outputFailed)
            return;
        progress.hide();
        if (!printer.phrase(*record, outcome.failed.value(id))) {
            outcome.outputFailed = true;
            end();
        }
    };
    SuggestTableModel::RowId fetching = 0;
    QObject::connect(&harvester, &SuggestHarvester::rowFetching,
                     [&fetching](SuggestTableModel::RowId id) { fetching = id; });
    QObject::connect(&harvester, &SuggestHarvester::fetchFailed,
                     [&outcome](SuggestTableModel::RowId id, const QString& reason) {
                         outcome.failed.insert(id, reason);
                     });
    QObject::connect(&harvester, &SuggestHarvester::rowFilled, [&](SuggestTableModel::RowId id) {
        // A fetch cut off by the end is no answer: the phrase was not done.
        if (table.harvestNote(id) == SuggestTableModel::HarvestNote::Stopped)
            return;
        outcome.asked.insert(id);
        printPhrase(id);
    });
    QObject::connect(&harvester, &SuggestHarvester::serviceRefused,
                     [&](const QString& service, int statusCode, const QString&) {
                         outcome.refusal =
                             QStringLiteral("%1 refused to answer (HTTP %2)").arg(service).arg(statusCode);
                         outcome.failed.insert(fetching, outcome.refusal);
                         outcome.asked.insert(fetching);
                         printPhrase(fetching);
                     });
    const TerminationSignals terminations;
    QObject::connect(&terminations, &TerminationSignals::terminationRequested, [&](int number) {
        if (outcome.signal == 0)
            outcome.signal = number;
        end();
    });
    // The reader of a pipe may go while the harvest waits between phrases.
    QObject readerWatch;
    StandardOutput::instance().whenReaderGone(&readerWatch, [&] {
        outcome.outputFailed = true;
        end();
    });

    const auto dig = [&]() -> QCoro::Task<> {
        // Named, not temporaries of the awaited call: GCC 12 destroys those twice in a coroutine.
        std::function<PhrasesAdded(const QStringList&, qsizetype)> add = [&table](const QStringList& phrases,
                                                                                  qsizetype most) {
            return AddNewPhrases(table, phrases, most);
        };
        std::function<bool()> stopped = [&outcome, &ending] { return ending || !outcome.refusal.isEmpty(); };
        // Each seed in its place, then as much of its expansion as the limit leaves room for after
        // all the seeds.
        QStringList seeds;
        for (const SuggestJob::Seed& seed : job.seeds)
            seeds << seed.phrase;
        qsizetype room = std::max<qsizetype>(0, job.limit - NewImportPhrases({}, seeds).size());
        PhrasesAdded first;
        for (const SuggestJob::Seed& seed : job.seeds) {
            first.rows << add({seed.phrase}, 1).rows;
            const PhrasesAdded grown = add(seed.expansion, room);
            room -= grown.rows.size();
            first.rows << grown.rows;
        }
        const qsizetype limit = std::max(job.limit, first.rows.size());
        const qsizetype added = first.rows.size();
        co_await DigDeeper(harvester, table, std::move(first.rows), added, job.depth, limit, add, stopped);
    };
    QCoro::waitFor(dig());
    return outcome;
}

QString SignalName(int number)
{
    switch (number) {
    case SIGINT:
        return QStringLiteral("SIGINT");
    case SIGTERM:
        return QStringLiteral("SIGTERM");
#ifdef SIGHUP
    case SIGHUP:
        return QStringLiteral("SIGHUP");
#endif
    }
    return QStringLiteral("signal %1").arg(number);
}

QString PhrasesText(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 phrase") : QStringLiteral("%1 phrases").arg(count);
}

} // namespace

int suggestCommand(const QStringList& arguments)
{
    Command command(
        QStringLiteral("Gets the suggestions of the phrases (one argument each, or - to read them "
                       "from stdin, one a line) as the program's harvest does, with its pauses and "
                       "its handling of a service that refuses, and prints each phrase as soon as it "
                       "is done. SIGTERM or Ctrl+C ends it at once, with what was printed whole "
                       "(a JSON array closed). Nothing is written to the folder; its quillory.ini gives the "
                       "settings, which the options override."),
        {OutputFormat::Table, OutputFormat::Csv, OutputFormat::Json, OutputFormat::JsonLines});
    const SuggestOptions suggestOptions;
    command.parser.addOptions({suggestOptions.engine, suggestOptions.language, suggestOptions.country,
                               suggestOptions.expand, suggestOptions.depth, suggestOptions.limit,
                               suggestOptions.pause});
    command.parser.addPositionalArgument(QStringLiteral("phrases"), QStringLiteral("The phrases, or -."));
    int status = Success;
    if (!command.parse(arguments, status))
        return status;
    const std::optional<SuggestJob> job = suggestOptions.read(command, status);
    if (!job)
        return status;
    // From here on (stdin is read) a termination signal ends the harvest in order.
    TerminationSignals::install();

    SuggestTableModel table;
    PhrasePrinter printer(command.format());
    HarvestOutcome outcome;
    if (printer.begin())
        outcome = Harvest(*job, table, printer);
    // The phrases never asked after a refusal, with why; after a signal the output ends where the
    // harvest did.
    qsizetype notAsked = 0;
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        const SuggestTableModel::RowId id = table.idOfRow(row);
        if (outcome.asked.contains(id))
            continue;
        ++notAsked;
        if (outcome.signal == 0 && !outcome.outputFailed && !outcome.refusal.isEmpty())
            printer.phrase(*table.recordOfId(id), QStringLiteral("not asked: %1").arg(outcome.refusal));
    }
    printer.end();

    // What was answered is printed; a phrase without an answer fails the job all the same.
    QStringList lines;
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        if (const auto failed = outcome.failed.constFind(table.idOfRow(row)); failed != outcome.failed.cend())
            lines << QStringLiteral("\"%1\": %2").arg(table.records().phrase(row), failed.value());
    }
    if (!outcome.refusal.isEmpty() && notAsked > 0)
        lines << QStringLiteral("%1 more %2 not asked: %3")
                     .arg(QString::number(notAsked),
                          notAsked == 1 ? QStringLiteral("phrase was") : QStringLiteral("phrases were"),
                          outcome.refusal);
    if (outcome.signal != 0)
        lines << QStringLiteral("stopped by %1 after %2")
                         .arg(SignalName(outcome.signal), PhrasesText(outcome.asked.size())) +
                     (notAsked > 0 ? QStringLiteral("; %1 more %2 not asked")
                                         .arg(notAsked)
                                         .arg(notAsked == 1 ? QStringLiteral("was") : QStringLiteral("were"))
                                   : QString());
    for (const QString& line : lines)
        print(stderr, QStringLiteral("quillory-cli: %1\n").arg(line).toUtf8());
    // The shell's status of a command ended by the signal.
    if (outcome.signal != 0)
        return 128 + outcome.signal;
    return lines.isEmpty() ? Success : Failure;
}
