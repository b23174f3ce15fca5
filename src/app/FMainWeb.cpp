// Web access of the main window (DownloadPage and its progress gauge) and the wiring of the hourly
// monitor and the harvest to the status bar.
#include "app/FMain.h"
#include "net/HttpClient.h"
#include "net/StyledFetch.h"
#include "suggest/SuggestHarvester.h"
#include "suggest/ui/HarvestPanel.h"
#include "suggest/ui/SuggestPage.h"
#include "trends/HotTrendsMonitor.h"
#include "trends/TrendHistory.h"
#include "util/AsyncHandler.h"
#include "util/CrashReporter.h"
#include "util/DataFileStore.h"

#include <QCoroFuture>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QScopeGuard>
#include <QtConcurrent/QtConcurrentRun>

#include <QThreadPool>

#include <algorithm>

namespace {

// Where pages are decoded: threads of their own, never freed, so that the program's end does not
// wait for the text of a page nobody needs any more.
QThreadPool* PageDecoders()
{
    static QThreadPool* const pool = new QThreadPool;
    return pool;
}

} // namespace

QCoro::Task<std::optional<QString>> TfrmMain::DownloadPage(QString url)
{
    QPointer<TfrmMain> self(this);
    const PageFetch fetched = co_await FetchPage(std::move(url), FetchStyle::Classic);
    co_return self ? fetched.page : std::nullopt;
}

QCoro::Task<PageFetch> TfrmMain::FetchPage(QString url, FetchStyle style)
{
    if (StopRequested)
        co_return PageFetch{std::nullopt, {}, {}, PageFetchStopped};
    // A service whose address in the options cannot be used has none: its page is asked of nobody.
    if (HttpUrlFromText(url).host().isEmpty() && !m_options.problems.isEmpty()) {
        const QString problem = OptionsProblemText(m_options.problems.first());
        MainStatusPanel->setText(problem);
        co_return PageFetch{std::nullopt, {}, {}, problem};
    }
    const quint64 stopsAtStart = m_stops;
    // Stop can act while any download is under way, a harvest or not.
    QPointer<TfrmMain> self(this);
    ++m_downloadsUnderWay;
    m_suggestPage->setDownloadsUnderWay(true);
    const auto counted = qScopeGuard([self, page = QPointer<SuggestPage>(m_suggestPage)] {
        if (self && --self->m_downloadsUnderWay == 0 && page)
            page->setDownloadsUnderWay(false);
    });
    MainStatusPanel->setText(QStringLiteral("Getting URL: ") + url + QStringLiteral("..."));
    if (!harvestOwnsGauge())
        MainGauge->setValue(0);
    useRequestStyle(style);

    // The client serves one request at a time: a download that finds it busy waits its turn. Stop
    // ends it there too, before it is sent (abortRequests).
    const HttpResult result = co_await IdHTTP2->get(HttpUrlFromText(url));
    if (!self)
        co_return PageFetch{std::nullopt, {}, {}, PageFetchStopped};
    // A body cut off before its end leaves no busy gauge behind.
    if (!harvestOwnsGauge())
        leaveBusyGauge();

    // Stop with no harvest running lowers the stop request at once: the count still tells.
    const bool stopped = StopRequested || m_stops != stopsAtStart;
    // The page's text is made on a worker: a page of tens of megabytes takes seconds to decode.
    QFuture<PageFetch> reading = QtConcurrent::run(
        PageDecoders(), [result, style, stopped] { return PageFetchOf(result, style, stopped); });
    const PageFetch fetched = co_await reading;
    if (!self)
        co_return PageFetch{std::nullopt, {}, {}, PageFetchStopped};
    if (!fetched.failure.isEmpty())
        MainStatusPanel->setText(
            stopped ? QStringLiteral("Download aborted by user.")
                    : QStringLiteral("Connection error, check if you are connected and url exists."));
    else
        MainStatusPanel->setText(QStringLiteral("Download completed!"));
    co_return fetched;
}

void TfrmMain::useRequestStyle(FetchStyle style)
{
    UseRequestStyle(*IdHTTP2, style, m_options.language, m_options.country);
}

void TfrmMain::abortRequests(std::initializer_list<HttpClient*> clients)
{
    ++m_stops;
    for (HttpClient* client : clients)
        client->abortAll();
}

void TfrmMain::stopDownloads()
{
    StopRequested = true;
    abortRequests({IdHTTP2});
    MainStatusPanel->setText(QStringLiteral("Proccess aborted by user."));
    if (!harvestOwnsGauge())
        MainGauge->setValue(0);
    // With no harvest to end it, a raised request would refuse every later download; the downloads
    // cut off here still report the abort.
    if (!m_harvester->isRunning())
        StopRequested = false;
}

bool TfrmMain::harvestOwnsGauge() const
{
    return m_harvestPanel && m_harvestPanel->ownsGauge();
}

void TfrmMain::IdHTTP2WorkBegin(qint64 expected)
{
    if (harvestOwnsGauge())
        return;
    // A body that runs until the connection closes has no length: the gauge then shows activity
    // (a range of 0 to 0) until the body ends.
    MainGauge->setRange(0, int(std::clamp<qint64>(expected, 0, INT_MAX)));
    MainGauge->setValue(0);
}

void TfrmMain::IdHTTP2Work(qint64 received)
{
    if (StopRequested)
        IdHTTP2->disconnect();
    if (harvestOwnsGauge())
        return;
    MainGauge->setValue(int(std::clamp<qint64>(received, MainGauge->minimum(), MainGauge->maximum())));
}

void TfrmMain::IdHTTP2WorkEnd()
{
    if (harvestOwnsGauge())
        return;
    leaveBusyGauge();
    MainGauge->setValue(MainGauge->maximum());
}

void TfrmMain::leaveBusyGauge()
{
    if (MainGauge->maximum() == MainGauge->minimum())
        MainGauge->setRange(0, 100);
}

void TfrmMain::wireMonitor()
{
    connect(m_monitor, &HotTrendsMonitor::nextTryTextChanged, this, [this](const QString& text) {
        lblNextTry->setVisible(!text.isEmpty());
        if (!text.isEmpty())
            lblNextTry->setText(text);
    });
    connect(m_monitor, &HotTrendsMonitor::countriesSkipped, MainStatusPanel, &QLabel::setText);
    connect(m_monitor, &HotTrendsMonitor::sightingsSaved, m_history, &TrendHistory::record);
    connect(m_history, &TrendHistory::problem, this, [this](const QString& text) {
        MainStatusPanel->setText(text);
        CrashReporter::log(QStringLiteral("TrendHistory"), text);
    });
    reportFailuresOf(m_monitor->tableFile(), QStringLiteral("LoadTrendTable"),
                     QStringLiteral("SaveTrendTable"));
    reportFailuresOf(m_monitor->lastParsedFile(), QString(), QStringLiteral("SaveLastParsed"));
}

QCoro::Task<> TfrmMain::tmrTimer()
{
    // Trends whose address cannot be used are not scraped: the status bar tells why, and no failed
    // scrape holds the monitor back once the address is mended.
    if (TrendsAddressProblem(m_options))
        co_return;
    co_await m_monitor->tick();
}

void TfrmMain::wireHarvester()
{
    connect(m_harvester, &SuggestHarvester::statusChanged, MainStatusPanel, &QLabel::setText);
    m_harvestPanel = new HarvestPanel(*m_harvester, lblHarvestProgress, MainGauge, this);
    connect(m_harvester, &SuggestHarvester::cannotStart, this, [this](const QString& problem) {
        MainStatusPanel->setText(problem);
        msgMain->show(tr("No suggestions were asked for:\r\n%1").arg(problem), MsgKind::Warning,
                      MsgButtons::Ok);
    });
    connect(m_harvester, &SuggestHarvester::serviceRefused, this,
            [this](const QString& service, int statusCode, const QString& nextPhrase) {
                msgMain->show(
                    QStringLiteral("%1 refused to answer (HTTP %2) four times in a row, so the harvest "
                                   "stopped.\r\nThe next phrase is \"%3\". Try again later.")
                        .arg(service)
                        .arg(statusCode)
                        .arg(nextPhrase),
                    MsgKind::Warning, MsgButtons::Ok);
            });
    reportFailuresOf(*m_suggestFile, QStringLiteral("LoadSuggestTable"), QStringLiteral("SaveSuggestTable"));
}
