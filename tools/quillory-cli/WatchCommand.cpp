// quillory-cli watch: the hourly monitor without a window, folding into the folder's table files
// and history of trends as the program does.
#include "Cli.h"
#include "StandardOutput.h"

#include "net/HttpClient.h"
#include "trends/HotTrendsMonitor.h"
#include "trends/TrendHistory.h"
#include "trends/TrendTableModel.h"
#include "util/Clock.h"
#include "util/DataFileStore.h"
#include "util/FolderLock.h"
#include "util/ProgramFolder.h"
#include "util/TerminationSignals.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QDir>
#include <QLocale>
#include <QTimer>

#include <chrono>

namespace {

using std::chrono::seconds;

// "90s", "60m", "2h" or a number of minutes.
std::optional<seconds> ReadDuration(const QString& text)
{
    const QString trimmed = text.trimmed().toLower();
    if (trimmed.isEmpty())
        return std::nullopt;
    qint64 unit = 60;
    QStringView number = trimmed;
    if (trimmed.back().isLetter()) {
        const QChar suffix = trimmed.back();
        unit = suffix == u's' ? 1 : suffix == u'm' ? 60 : suffix == u'h' ? 3600 : 0;
        number.chop(1);
    }
    bool read = false;
    const qint64 count = number.toLongLong(&read);
    if (!read || unit == 0 || count < 1 || count > 366LL * 24 * 3600 / unit)
        return std::nullopt;
    return seconds(count * unit);
}

// ISO 8601 in local time with its offset from UTC: the user's clock, and still one moment.
QString TimeText(const QDateTime& at)
{
    const QDateTime local = at.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

// The monitor, its table and its history, scraping whenever `every` has passed since the last
// scrape (and no failure holds it back), until a termination signal, a failed write to stdout or
// its reader going away ends it after the save under way. A scrape is one line on stdout, or one on
// stderr when it failed.
class TrendWatch final : public QObject {
public:
    TrendWatch(const ProgramOptions& options, seconds every)
        : m_every(every)
        , m_monitor(
              m_table, [this](QString url, FetchStyle style) { return fetch(std::move(url), style); },
              m_clock)
        , m_history(ProgramFile(TrendHistoryFileName))
        , m_pages(ClientFetcher(m_client, options, [this] { return m_ending; }))
    {
        m_monitor.setSource(options.trendSource, options.geo, options.endpoints.trends);
        connect(&m_monitor, &HotTrendsMonitor::sightingsSaved, &m_history, &TrendHistory::record);
        connect(&m_monitor, &HotTrendsMonitor::sightingsSaved, this, &TrendWatch::tellScrape);
        connect(&m_monitor, &HotTrendsMonitor::countriesSkipped, this,
                [this](const QString& text) { m_skipped = text; });
        connect(&m_history, &TrendHistory::problem, this, &TrendWatch::tell);
        for (DataFileStore* file : {&m_monitor.tableFile(), &m_monitor.lastParsedFile()}) {
            connect(file, &DataFileStore::saveFailed, this, [this](const QString& what) { tell(what); });
            connect(file, &DataFileStore::readFailed, this, [this](const QString& what) {
                tell(what);
                m_unreadable = true;
            });
        }
        connect(&m_signals, &TerminationSignals::terminationRequested, this, &TrendWatch::end);
        StandardOutput::instance().whenReaderGone(this, [this] { end(); });
        m_check.setInterval(1000);
        connect(&m_check, &QTimer::timeout, this, &TrendWatch::check);
    }

    // Loads the table, then scrapes when one is due and checks every second from then on.
    void start()
    {
        m_monitor.load();
        m_monitor.tableFile().whenLoaded().then(this, [this] {
            // A table that cannot be read is never written over: the watch does not go on without it.
            if (m_unreadable) {
                m_status = Failure;
                finish();
                return;
            }
            m_history.open(m_table.rows());
            m_check.start();
            check();
        });
    }

private:
    bool due() const
    {
        const QDateTime now = m_clock.now();
        if (const QDateTime next = m_monitor.nextTry(); next.isValid() && now < next)
            return false;
        // A clock set back by the interval or more counts as well.
        const qint64 since = m_monitor.lastScrapeTime().secsTo(now);
        return since >= m_every.count() || since <= -m_every.count();
    }

    void check()
    {
        if (!m_ending && !m_monitor.isScraping() && due())
            scrape();
    }

    QCoro::Task<> scrape()
    {
        m_failures.clear();
        m_skipped.clear();
        m_scraped = false;
        co_await m_monitor.scrape();
        tellProblems();
        if (m_ending)
            finish();
    }

    // What went wrong in the scrape just ended, in one line: the scrape failed, and when the next
    // try is; or some countries were not read.
    void tellProblems()
    {
        if (m_scraped) {
            if (!m_skipped.isEmpty())
                tell(m_skipped);
            return;
        }
        const QString why = m_skipped.isEmpty() ? m_failures.join(QStringLiteral("; ")) : m_skipped;
        if (why.isEmpty())
            return; // stopped
        const QDateTime next = m_monitor.nextTry();
        tell(next.isValid() ? QStringLiteral("the scrape failed: %1; next try at %2").arg(why, TimeText(next))
                            : QStringLiteral("the scrape failed: %1").arg(why));
    }

    // The monitor's pages; once the watch is ending, a page on its way counts as stopped, so that
    // the scrape changes nothing.
    QCoro::Task<PageFetch> fetch(QString url, FetchStyle style)
    {
        const PageFetcher pages = m_pages; // kept in this frame while the page is on its way
        const PageFetch fetched = co_await pages(url, style);
        if (!fetched.failure.isEmpty() && !fetched.stopped())
            m_failures << QStringLiteral("%1: %2").arg(url, fetched.failure);
        co_return fetched;
    }

    void tellScrape(const QDateTime& at, LedgerSource source, const QList<LedgerSighting>& sightings)
    {
        QStringList countries;
        for (const LedgerSighting& sighting : sightings) {
            if (!sighting.country.isEmpty() && !countries.contains(sighting.country))
                countries << sighting.country;
        }
        const QString from = source == LedgerSource::Classic ? QStringLiteral("the classic feed")
                                                             : countries.join(QStringLiteral(", "));
        m_scraped = true;
        const bool written =
            print(stdout, QStringLiteral("%1 scraped %2 keywords from %3; %4 rows in the table\n")
                              .arg(TimeText(at))
                              .arg(sightings.size())
                              .arg(from.isEmpty() ? QStringLiteral("no country") : from)
                              .arg(m_table.rowCount())
                              .toUtf8());
        // A line that cannot be written ends the watch, once this scrape is saved.
        if (!written || !StandardOutput::instance().flush())
            end();
    }

    // One line on stderr, with the time.
    void tell(const QString& text)
    {
        print(stderr, QStringLiteral("quillory-cli: %1 %2\n").arg(TimeText(m_clock.now()), text).toUtf8());
    }

    void end()
    {
        if (m_ending)
            return;
        m_ending = true;
        m_check.stop();
        m_client.abortAll();
        // A scrape under way ends first, with its saves.
        if (!m_monitor.isScraping())
            finish();
    }

    // Writes what is left unwritten and ends the event loop; the history writes its last sightings
    // as it goes.
    void finish()
    {
        for (DataFileStore* file : {&m_monitor.tableFile(), &m_monitor.lastParsedFile()}) {
            if (!file->isUnsaved() && !file->isSaving())
                continue;
            if (const QString error = file->write(); !error.isEmpty()) {
                tell(error);
                m_status = Failure;
            }
        }
        m_history.waitForJobs();
        QCoreApplication::exit(m_status);
    }

    seconds m_every;
    SystemClock m_clock;
    HttpClient m_client;
    TrendTableModel m_table;
    HotTrendsMonitor m_monitor;
    TrendHistory m_history;
    PageFetcher m_pages;
    TerminationSignals m_signals;
    QTimer m_check;
    bool m_ending = false;
    bool m_unreadable = false;
    // What the scrape under way met: its pages that failed, the countries it could not read (the
    // monitor's words), and whether it was saved.
    QStringList m_failures;
    QString m_skipped;
    bool m_scraped = false;
    int m_status = Success;
};

} // namespace

int watchCommand(const QStringList& arguments)
{
    Command command(
        QStringLiteral("Watches the trends as the program does, without a window: scrapes when the "
                       "interval has passed since the last scrape, folds the keywords into the "
                       "folder's tables and history of trends, and prints a line for each scrape "
                       "(a failed one on stderr). SIGTERM or Ctrl+C ends it after the save under way, "
                       "as a failed write to stdout does. The folder's "
                       "quillory.ini gives the settings, which the options override; the program "
                       "and the watch never use one folder at the same time."));
    QCommandLineOption every(QStringLiteral("every"),
                             QStringLiteral("The time between scrapes: 90s, 60m (the default) or 2h."),
                             QStringLiteral("TIME"), QStringLiteral("60m"));
    command.parser.addOption(every);
    const TrendSourceOptions sourceOptions;
    sourceOptions.addTo(command.parser);
    int status = Success;
    if (!command.parse(arguments, status))
        return status;
    // From here on a termination signal is heard: it ends the watch in order.
    TerminationSignals::install();
    if (!command.parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("watch takes no arguments but options"));
    const std::optional<seconds> interval = ReadDuration(command.parser.value(every));
    if (!interval)
        return usageError(QStringLiteral("--every takes a time such as 90s, 60m or 2h"));
    ProgramOptions options = command.options();
    if (!sourceOptions.apply(command.parser, options, status))
        return status;

    const QString folder = command.folderPath();
    if (!QDir().mkpath(folder))
        return fail(QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(folder)));
    const FolderLock lock(folder);
    if (lock.outcome() == FolderLock::Outcome::HeldByAnother)
        return fail(QStringLiteral("the folder %1 is in use by Quillory or another quillory-cli watch; "
                                   "nothing was changed")
                        .arg(QDir::toNativeSeparators(folder)));
    if (lock.outcome() == FolderLock::Outcome::Unavailable)
        return fail(QStringLiteral("the folder %1 cannot be locked: %2")
                        .arg(QDir::toNativeSeparators(folder), lock.error()));
    // The program's files are found through its folder rule, which the chosen folder now answers.
    qputenv("QUILLORY_HOME", folder.toLocal8Bit());
    // The dates the watch writes follow this locale: the folder says so for whoever reads it next.
    if (const QString error = UseDataFolderLocales(QDir(folder).filePath(OptionsFileName)); !error.isEmpty())
        print(stderr, QStringLiteral("quillory-cli: %1\n").arg(error).toUtf8());

    print(stderr,
          QStringLiteral("quillory-cli: watching the trends into %1 every %2; SIGTERM or Ctrl+C ends it\n")
              .arg(QDir::toNativeSeparators(folder))
              .arg(command.parser.value(every).trimmed())
              .toUtf8());
    TrendWatch watch(options, *interval);
    watch.start();
    return QCoreApplication::exec();
}
