// quillory-cli suggest: the suggestions of phrases, harvested as the window harvests them.
#include "Cli.h"

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
#include "util/TextFile.h"

#include <QCoroTask>
#include <QFile>
#include <QSet>
#include <QTimer>

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
        QStringLiteral("Grow each phrase first: alphabet, questions, prepositions (comma-separated)."),
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
        else if (name == QLatin1String("questions"))
            sets |= Expansion::Questions;
        else if (name == QLatin1String("prepositions"))
            sets |= Expansion::Prepositions;
        else
            return bad(QStringLiteral("--expand takes alphabet, questions, prepositions"));
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
    ~HarvestProgress() override
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

// What became of the phrases of a harvest that did not answer.
struct HarvestFailures {
    // Why each phrase whose fetch failed (or which the service refused to the end) has no answer.
    QHash<SuggestTableModel::RowId, QString> failed;
    // The phrases that were answered or failed; after a refusal the others were never asked.
    QSet<SuggestTableModel::RowId> asked;
    QString refusal;
};

// Harvests the job into `table`, level after level. The phrases the user gave are all harvested;
// their expansion and the levels below are cut at the limit.
HarvestFailures Harvest(const SuggestJob& job, SuggestTableModel& table)
{
    // The table is the command's own: nothing of it goes to the folder.
    DataFileStore notSaved(SuggestTableFileName,
                           DataFileStore::Writer([](const QString&) { return QString(); }));
    HttpClient client;
    SystemRandom random;
    SuggestHarvester harvester(table, notSaved, ClientFetcher(client, job.options), random);
    harvester.setSource(MakeSuggestSource(job.options, GoogleWebHost()));
    harvester.setPauseRange(job.options.pauseMin, job.options.pauseMax);
    // Tests shorten every wait (a pause, a refusal's wait) by setting the tenth of a second shorter.
    if (bool valid = false; qEnvironmentVariableIntValue("QUILLORY_PAUSE_STEP_MS", &valid) >= 0 && valid)
        harvester.setPauseStep(
            std::chrono::milliseconds(qEnvironmentVariableIntValue("QUILLORY_PAUSE_STEP_MS")));
    HarvestFailures failures;
    SuggestTableModel::RowId fetching = 0;
    QObject::connect(&harvester, &SuggestHarvester::rowFetching,
                     [&fetching](SuggestTableModel::RowId id) { fetching = id; });
    QObject::connect(&harvester, &SuggestHarvester::rowFilled,
                     [&failures](SuggestTableModel::RowId id) { failures.asked.insert(id); });
    QObject::connect(&harvester, &SuggestHarvester::fetchFailed,
                     [&failures](SuggestTableModel::RowId id, const QString& reason) {
                         failures.failed.insert(id, reason);
                     });
    QObject::connect(&harvester, &SuggestHarvester::serviceRefused,
                     [&failures, &fetching](const QString& service, int statusCode, const QString&) {
                         failures.refusal =
                             QStringLiteral("%1 refused to answer (HTTP %2)").arg(service).arg(statusCode);
                         failures.failed.insert(fetching, failures.refusal);
                         failures.asked.insert(fetching);
                     });
    const HarvestProgress progress(harvester);

    const auto dig = [&]() -> QCoro::Task<> {
        // Named, not temporaries of the awaited call: GCC 12 destroys those twice in a coroutine.
        std::function<PhrasesAdded(const QStringList&, qsizetype)> add = [&table](const QStringList& phrases,
                                                                                  qsizetype most) {
            return AddNewPhrases(table, phrases, most);
        };
        std::function<bool()> refused = [&failures] { return !failures.refusal.isEmpty(); };
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
        const DigOutcome outcome =
            co_await DigDeeper(harvester, table, std::move(first), job.depth, limit, add, refused);
        // Every level is harvested here, the last one too.
        if (!refused())
            co_await harvester.harvest(outcome.lastLevel);
    };
    QCoro::waitFor(dig());
    return failures;
}

// The phrases without an answer: why, row by row (empty for a row that has one), and what stderr
// says of them: a line for each phrase whose fetch failed, and one for those never asked.
struct Unanswered {
    QStringList errors;
    QStringList lines;
};

Unanswered UnansweredPhrases(const SuggestTableModel& table, const HarvestFailures& failures)
{
    Unanswered unanswered;
    qsizetype notAsked = 0;
    for (qsizetype row = 0; row < table.rowCount(); ++row) {
        const SuggestTableModel::RowId id = table.idOfRow(row);
        if (const auto failed = failures.failed.constFind(id); failed != failures.failed.cend()) {
            unanswered.errors << failed.value();
            unanswered.lines << QStringLiteral("\"%1\": %2").arg(table.records().phrase(row), failed.value());
        } else if (!failures.asked.contains(id)) {
            unanswered.errors << QStringLiteral("not asked: %1").arg(failures.refusal);
            ++notAsked;
        } else {
            unanswered.errors << QString();
        }
    }
    if (notAsked == 1)
        unanswered.lines << QStringLiteral("1 more phrase was not asked: %1").arg(failures.refusal);
    else if (notAsked > 1)
        unanswered.lines << QStringLiteral("%1 more phrases were not asked: %2")
                                .arg(QString::number(notAsked), failures.refusal);
    return unanswered;
}

// The phrases and their suggestions, for reading; a phrase without an answer is left out (stderr
// says why).
void PrintSuggestTable(const SuggestRows& records, const QStringList& errors)
{
    QString text;
    for (qsizetype row = 0; row < records.size(); ++row) {
        if (!errors[row].isEmpty())
            continue;
        text += records.phrase(row);
        text += u'\n';
        for (int k = 1; k <= SuggestPairCount; ++k) {
            const QStringView suggestion = records.recordCell(row, SuggestionCell(k));
            if (!suggestion.isEmpty() && suggestion != NotAvailable)
                text += QStringLiteral("  %1\t%2\n").arg(suggestion, records.recordCell(row, ResultsCell(k)));
        }
    }
    print(stdout, text.toUtf8());
}

} // namespace

int suggestCommand(const QStringList& arguments)
{
    Command command(
        QStringLiteral("Gets the suggestions of the phrases (one argument each, or - to read them "
                       "from stdin, one a line) as the program's harvest does, with its pauses and "
                       "its handling of a service that refuses. Nothing is written to the folder; "
                       "its quillory.ini gives the settings, which the options override."),
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

    SuggestTableModel table;
    const Unanswered unanswered = UnansweredPhrases(table, Harvest(*job, table));
    if (command.format() == OutputFormat::Table)
        PrintSuggestTable(table.records(), unanswered.errors);
    else
        status = PrintExport(command.format(), [&table, &unanswered](QIODevice& device, ExportFormat format) {
            return WriteSuggestCsv(device, table.records(), format, unanswered.errors);
        });
    // What was answered is printed; a phrase without an answer fails the job all the same.
    for (const QString& line : unanswered.lines)
        print(stderr, QStringLiteral("quillory-cli: %1\n").arg(line).toUtf8());
    return unanswered.lines.isEmpty() ? status : Failure;
}
