// Web access of the main window (DownloadPage and its progress gauge) and the Hot Trends monitor.
#include "app/AsyncHandler.h"
#include "app/FMain.h"
#include "net/HttpClient.h"
#include "net/PageText.h"
#include "trends/HotTrendsFeed.h"
#include "trends/TrendTableModel.h"
#include "util/DateTimeText.h"

#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QScopeGuard>

#include <algorithm>

QCoro::Task<std::optional<QString>> TfrmMain::DownloadPage(QString url)
{
    m_lastDownloadFailure = QStringLiteral("Stopped");
    if (StopRequested)
        co_return std::nullopt;
    const quint64 stopsAtStart = m_stops;
    MainStatusPanel->setText(QStringLiteral("Getting URL: ") + url + QStringLiteral("..."));
    MainGauge->setValue(0);
    IdHTTP2->setCacheControl("no-cache");
    IdHTTP2->setPragma("no-cache");

    // The client serves one request at a time: a download that finds it busy waits its turn. Stop
    // ends it there too, before it is sent (abortRequests).
    QPointer<TfrmMain> self(this);
    const HttpResult result = co_await IdHTTP2->get(HttpUrlFromText(url));
    if (!self)
        co_return std::nullopt;
    // A body cut off before its end leaves no busy gauge behind.
    leaveBusyGauge();

    // Stop with no harvest running lowers the stop request at once: the count still tells.
    const bool stopped = StopRequested || m_stops != stopsAtStart;
    if (stopped || !result.ok) {
        m_lastDownloadFailure = stopped ? QStringLiteral("Stopped") : result.error;
        MainStatusPanel->setText(
            stopped ? QStringLiteral("Download aborted by user.")
                    : QStringLiteral("Connection error, check if you are connected and url exists."));
        co_return std::nullopt;
    }
    m_lastDownloadFailure.clear();
    MainStatusPanel->setText(QStringLiteral("Download completed!"));
    co_return PageTextFromBody(result.body);
}

void TfrmMain::abortRequests(std::initializer_list<HttpClient*> clients)
{
    ++m_stops;
    for (HttpClient* client : clients)
        client->abortAll();
}

void TfrmMain::IdHTTP2WorkBegin(qint64 expected)
{
    // A body that runs until the connection closes has no length: the gauge then shows activity
    // (a range of 0 to 0) until the body ends.
    MainGauge->setRange(0, int(std::clamp<qint64>(expected, 0, INT_MAX)));
    MainGauge->setValue(0);
}

void TfrmMain::IdHTTP2Work(qint64 received)
{
    if (StopRequested)
        IdHTTP2->disconnect();
    MainGauge->setValue(int(std::clamp<qint64>(received, MainGauge->minimum(), MainGauge->maximum())));
}

void TfrmMain::IdHTTP2WorkEnd()
{
    leaveBusyGauge();
    MainGauge->setValue(MainGauge->maximum());
}

void TfrmMain::leaveBusyGauge()
{
    if (MainGauge->maximum() == MainGauge->minimum())
        MainGauge->setRange(0, 100);
}

bool TfrmMain::hourPassedSinceLastScrape() const
{
    return WholeHoursBetween(LastScrapeTime, clock().now()) >= 1;
}

QCoro::Task<> TfrmMain::tmrTimer()
{
    if (hourPassedSinceLastScrape() && m_scrapeBackoff.allows(clock().now()))
        co_await ScrapeHotTrends();
}

QCoro::Task<> TfrmMain::bsSkinButton2Click()
{
    if (!hourPassedSinceLastScrape()) {
        const QString warning =
            QStringLiteral("Sorry it's not recommended that you scrap until 1 hour was elapsed.\r\n"
                           "If you force it the values can be distorsioned.\r\n"
                           "Are you sure to scrap now?");
        if (msgMain->show(warning, MsgKind::Warning, MsgButtons::OkCancel) != MsgAnswer::Ok)
            co_return;
    }
    co_await ScrapeHotTrends();
}

QCoro::Task<> TfrmMain::ScrapeHotTrends()
{
    // One scrape at a time: a tick or a click while one runs starts nothing.
    if (m_scraping)
        co_return;
    m_scraping = true;
    QPointer<TfrmMain> self(this);
    // Lowered however the scrape ends, an error included, or the monitor would stop for good.
    const auto lower = qScopeGuard([self] {
        if (self)
            self->m_scraping = false;
    });
    const quint64 stopsAtStart = m_stops;
    const std::optional<QString> page = co_await DownloadPage(HotTrendsFeedUrl());
    if (!self)
        co_return;
    if (!page) {
        // Only the feed's own failures make the monitor wait longer; the user's Stop does not.
        if (!StopRequested && m_stops == stopsAtStart) {
            m_scrapeBackoff.failed(clock().now());
            showNextScrapeTry();
        }
        co_return;
    }
    m_scrapeBackoff.succeeded();
    showNextScrapeTry();

    LastScrapeTime = clock().now();
    const QString when = DateTimeText(LastScrapeTime);
    lblLastParsed->setText(QStringLiteral("Last scrapped on: ") + when);
    // The counter is written per item folded: a page without items leaves it as it was.
    if (FoldFeedIntoTable(*page, when, *m_trendTable) > 0)
        showTrendCount();
    SaveTrendTable();
    SaveLastParsed();
}

void TfrmMain::showNextScrapeTry()
{
    const QDateTime next = m_scrapeBackoff.nextTry();
    lblNextTry->setVisible(next.isValid());
    if (next.isValid())
        lblNextTry->setText(QStringLiteral("Next try at %1")
                                .arg(QLocale().toString(next.time(), StoredTimeFormat(QLocale()))));
}
