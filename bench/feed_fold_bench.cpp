// A big Hot Trends feed page as the window feels it: how long its event loop stands still, how much
// memory the process holds at most and how soon a termination signal ends the program while such
// a page is read and folded, on two pages:
//   - bare: BARE_MB megabytes of bare "<li>" item starts without links (a hostile or broken page,
//     15,000,000 items at 60 MB), and
//   - real: REAL_MB megabytes of real items whose keywords repeat now and then (about half of them
//     are known by the time they come up), as a very long feed would list them.
// MB: 1,000,000 bytes of the page as the server sends it (UTF-8).
//
//   feed_fold_bench all PROGRAM [RUNS] [BARE_MB] [REAL_MB]
//       every figure below, RUNS (default 5) runs each, min and median; each run of a fold in a
//       process of its own, so that its peak memory is its own:
//       - scrape: the monitor scrapes the page (read and fold on a worker, the table saved), with
//         the event loop running; its longest stand-still, the scrape's time, the peak memory;
//       - reference, the fold on the window's thread: the page read into a keyword per item and
//         folded item by item there, as the monitor did before (its own table, same page);
//       - reference, reading the page alone: the page's text made from its bytes, as the fetch
//         does on the window's thread before any fold;
//       - exit: PROGRAM (the whole program, offscreen) started against a server on 127.0.0.1
//         that serves the bare page as its feed, sent SIGTERM once its worker has begun to read
//         the page (it says so with QT_LOGGING_RULES=quillory.scrape.info=true), and once the
//         server has sent the page; the time to its end, beside the same program sent SIGTERM
//         when idle, and BEFORE_PROGRAM (another build, when set) sent SIGTERM 3 s after the page
//         is sent (folding on its window's thread by then).
//   feed_fold_bench exit PROGRAM [RUNS] [BARE_MB]                 the exit alone
//   feed_fold_bench scrape|on-thread|page-text bare|real MB    one run, in this process
// Goals: no stand-still over 50 ms while the page folds; peak memory under 3x the page's size;
// the program ends within 1 s of SIGTERM while it folds.
#include "Figures.h"
#include "StallMeter.h"
#include "TrendKeywords.h"
#include "net/PageFetch.h"
#include "net/PageText.h"
#include "trends/HotTrendsFeed.h"
#include "trends/HotTrendsMonitor.h"
#include "trends/TrendLedger.h"
#include "trends/TrendTableModel.h"
#include "util/Clock.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <optional>

#include <signal.h>

namespace {

QString barePage(qint64 bytes)
{
    return u"<li>"_s.repeated(bytes / 4);
}

QString realPage(qint64 bytes)
{
    QRandomGenerator random(20261210);
    // Items of about a hundred characters: the keywords' serials are drawn from a range of about
    // three fifths of the items, so that about half of the items repeat a keyword.
    const quint32 serials = quint32(std::max<qint64>(1, bytes / 100 * 3 / 5));
    QString page = QStringLiteral("<?xml version=\"1.0\"?><feed><content type=\"html\"><ol>");
    page.reserve(bytes + 200);
    while (page.size() < bytes) {
        const quint32 serial = random.bounded(serials);
        QRandomGenerator words(serial);
        const QString keyword = TrendKeyword(words, serial);
        QString query = keyword;
        query.replace(u' ', u'+');
        page += QStringLiteral("<li><a href=\"http://www.google.com/search?q=") + query +
                QStringLiteral("\">") + keyword + QStringLiteral("</a></li>\n");
    }
    return page + QStringLiteral("</ol></content></feed>");
}

QString pageOf(const QString& kind, qint64 bytes)
{
    return kind == u"bare" ? barePage(bytes) : realPage(bytes);
}

// Linux's account of the process's memory: "VmRSS" now, "VmHWM" the most since the last reset.
double megabytesOf(const char* field)
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return -1;
}

// From here on, VmHWM counts from what the process holds now.
void resetPeakMemory()
{
    QFile clear(u"/proc/self/clear_refs"_s);
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

QCoro::Task<PageFetch> servePage(QString page)
{
    PageFetch fetched;
    fetched.page = std::move(page);
    fetched.statusCode = 200;
    co_return fetched;
}

using Work = std::function<QCoro::Task<qsizetype>()>;

QCoro::Task<> runWork(Work work, QElapsedTimer* clock, qsizetype* rows, QEventLoop* loop)
{
    clock->start();
    *rows = co_await work();
    loop->quit();
}

// Runs `work` on the event loop with the stall meter ticking, and reports.
void runMeasured(const QString& page, qint64 pageBytes, const Work& work)
{
    const double before = megabytesOf("VmRSS:");
    resetPeakMemory();
    StallMeter stall;
    QElapsedTimer clock;
    qsizetype rows = 0;
    QEventLoop loop;
    // Started from the running event loop, so that the meter sees every stand-still of the work.
    QTimer::singleShot(20, &loop, [&] { runWork(work, &clock, &rows, &loop); });
    loop.exec();
    const double wallMs = clock.nsecsElapsed() / 1e6;
    std::printf("figures: stall=%.3f wall=%.3f peak=%.3f before=%.3f page=%.3f rows=%lld chars=%lld\n",
                stall.longestMs(), wallMs, megabytesOf("VmHWM:"), before, pageBytes / 1e6,
                static_cast<long long>(rows), static_cast<long long>(page.size()));
}

int measureOnce(const QString& what, const QString& kind, double megabytes)
{
    QTemporaryDir home;
    qputenv("QUILLORY_HOME", home.path().toUtf8());
    qputenv("QUILLORY_GOOGLE_HOST", "127.0.0.1:1");
    const qint64 bytes = qint64(megabytes * 1e6);
    QString page = pageOf(kind, bytes);
    const qint64 pageBytes = kind == u"bare" ? page.size() : page.toUtf8().size();
    TrendTableModel table;
    SystemClock clock;

    if (what == u"scrape") {
        HotTrendsMonitor monitor(
            table, [page](QString, FetchStyle) { return servePage(page); }, clock);
        monitor.load();
        runMeasured(page, pageBytes, [&]() -> QCoro::Task<qsizetype> {
            co_await monitor.scrape();
            co_return table.rowCount();
        });
        return table.rowCount() > 0 ? 0 : 1;
    }
    if (what == u"on-thread") {
        // The fold as it was: a keyword string per item, a sighting per item, each item folded
        // into the table on the thread of the window.
        runMeasured(page, pageBytes, [&]() -> QCoro::Task<qsizetype> {
            const QStringList keywords = FeedKeywords(page);
            QList<LedgerSighting> sightings;
            for (const QString& keyword : keywords)
                sightings.append({keyword, {}, {}, int(sightings.size()) + 1, {}});
            for (const QString& keyword : keywords)
                FoldKeywordIntoTable(keyword, u"12/10/2026 2:15:00 PM"_s, table);
            co_return table.rowCount();
        });
        return 0;
    }
    if (what == u"page-text") {
        const QByteArray body = page.toUtf8();
        page.clear();
        runMeasured(page, pageBytes, [&]() -> QCoro::Task<qsizetype> {
            const QString text = PageTextFromBody(body);
            co_return text.size() > 0 ? 1 : 0;
        });
        return 0;
    }
    return 2;
}

struct RunFigures {
    Figures stall, wall, peak, added;
};

bool runChild(const QStringList& arguments, RunFigures& figures, double& pageMegabytes)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForFinished(-1) || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0) {
        std::fprintf(stderr, "feed_fold_bench %s failed\n", qPrintable(arguments.join(u' ')));
        return false;
    }
    static const QRegularExpression line(
        u"stall=([0-9.]+) wall=([0-9.]+) peak=([0-9.]+) before=([0-9.]+) page=([0-9.]+)"_s);
    const QRegularExpressionMatch match = line.match(QString::fromUtf8(child.readAllStandardOutput()));
    if (!match.hasMatch())
        return false;
    figures.stall.add(match.captured(1).toDouble());
    figures.wall.add(match.captured(2).toDouble());
    figures.peak.add(match.captured(3).toDouble());
    figures.added.add(match.captured(3).toDouble() - match.captured(4).toDouble());
    pageMegabytes = match.captured(5).toDouble();
    return true;
}

// A server on 127.0.0.1 that answers every request with `body` as an HTML page.
class PageServer {
public:
    explicit PageServer(QByteArray body)
        : m_body(std::move(body))
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    m_request += socket->readAll();
                    if (!m_request.contains("\r\n\r\n"))
                        return;
                    m_request.clear();
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                                  QByteArray::number(m_body.size()) + "\r\nConnection: close\r\n\r\n");
                    socket->write(m_body);
                    socket->disconnectFromHost();
                });
                QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket] {
                    if (socket->bytesToWrite() == 0 && served)
                        served();
                });
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    // Called once the whole answer is on its way.
    std::function<void()> served;

private:
    QTcpServer m_server;
    QByteArray m_body;
    QByteArray m_request;
};

// Starts the program against the server, sends SIGTERM once its stderr says `mark` (with no mark,
// once the server has sent the page), and returns how long it took to end from there (nothing when
// that moment did not come, or the program did not end).
std::optional<double> exitAfter(const QString& program, PageServer& server, const QByteArray& mark,
                                const QByteArray& notBefore, QByteArray& said, int afterSentMs = 0)
{
    const quint16 port = server.port();
    QTemporaryDir home;
    // The classic hourly feed, asked for soon after the start.
    QFile options(home.filePath(u"quillory.ini"_s));
    if (!options.open(QIODevice::WriteOnly) || options.write("[HotTrends]\nSource=classic\n") < 0)
        return std::nullopt;
    options.close();
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QUILLORY_HOME"_s, home.path());
    environment.insert(u"QUILLORY_MONITOR_TICK_MS"_s, u"200"_s);
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    environment.insert(u"QT_LOGGING_RULES"_s, u"quillory.scrape.info=true"_s);
    environment.insert(u"QUILLORY_GOOGLE_HOST"_s, u"127.0.0.1:%1"_s.arg(port));
    // Nothing reaches beyond this machine.
    environment.insert(u"QUILLORY_UPDATE_URL"_s, u"http://127.0.0.1:1/liveupdate/quillory/"_s);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::MergedChannels);
    std::optional<double> took;
    QElapsedTimer sinceSignal;
    QEventLoop loop;
    QTimer giveUp;
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer afterSent;
    afterSent.setSingleShot(true);
    QObject::connect(&afterSent, &QTimer::timeout, &loop, [&] {
        if (!sinceSignal.isValid() && process.state() == QProcess::Running) {
            ::kill(pid_t(process.processId()), SIGTERM);
            sinceSignal.start();
        }
    });
    server.served = [&] {
        if (mark.isEmpty() && !afterSent.isActive())
            afterSent.start(afterSentMs);
    };
    const auto forget = qScopeGuard([&server] { server.served = nullptr; });
    QObject::connect(&process, &QProcess::readyRead, &loop, [&] {
        said += process.readAll();
        if (!mark.isEmpty() && !sinceSignal.isValid() && said.contains(mark)) {
            if (!notBefore.isEmpty() && said.contains(notBefore))
                return loop.quit(); // the moment was missed
            ::kill(pid_t(process.processId()), SIGTERM);
            sinceSignal.start();
        }
    });
    QObject::connect(&process, &QProcess::finished, &loop, [&] {
        if (sinceSignal.isValid())
            took = sinceSignal.nsecsElapsed() / 1e6;
        loop.quit();
    });
    process.start(program, {});
    giveUp.start(120000);
    loop.exec();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(10000);
        return std::nullopt;
    }
    return took;
}

int measureFolds(int runs, double bareMegabytes, double realMegabytes)
{
    std::printf("feed_fold_bench: %d runs each, min and median\n", runs);
    for (const auto& [kind, megabytes] : {std::pair{u"bare"_s, bareMegabytes}, {u"real"_s, realMegabytes}}) {
        double pageMegabytes = 0;
        RunFigures scrape, onThread, pageText;
        const QStringList size = {kind, QString::number(megabytes)};
        for (int run = 0; run < runs; ++run) {
            if (!runChild(QStringList{u"scrape"_s} + size, scrape, pageMegabytes) ||
                !runChild(QStringList{u"on-thread"_s} + size, onThread, pageMegabytes) ||
                !runChild(QStringList{u"page-text"_s} + size, pageText, pageMegabytes))
                return 1;
        }
        std::printf("%s page, %.1f MB:\n", qPrintable(kind), pageMegabytes);
        scrape.stall.print("scrape on a worker: longest stand-still", "ms", "(goal <= 50 ms)");
        onThread.stall.print("  reference, the fold on the window's thread", "ms");
        pageText.stall.print("  reference, the page's text made from its bytes", "ms");
        scrape.wall.print("scrape on a worker: read, fold and saves", "ms");
        onThread.wall.print("  reference, the fold on the window's thread", "ms");
        const QByteArray goal = u"(goal < %1 MB, 3x the page)"_s.arg(3 * pageMegabytes, 0, 'f', 0).toUtf8();
        scrape.peak.print("scrape on a worker: peak memory of the process", "MB", goal.constData());
        scrape.added.print("  of that, above the process with the page", "MB");
        onThread.peak.print("  reference, the fold on the window's thread", "MB");
        pageText.peak.print("  reference, the page's text made from its bytes", "MB");
    }

    return 0;
}

int measureExit(const QString& program, const QString& before, int runs, double bareMegabytes)
{
    // The real program: the bare page as its feed, SIGTERM while the worker reads it, and as soon as
    // the page is sent.
    PageServer server(barePage(qint64(bareMegabytes * 1e6)).toUtf8());
    Figures whileFolding, sent, idle, beforeSent;
    int cutOff = 0;
    for (int run = 0; run < runs; ++run) {
        QByteArray said;
        // "reading the feed": the page is in; the worker starts on it. A run in which the scrape
        // had already folded when the mark was seen is not counted.
        if (const std::optional<double> took =
                exitAfter(program, server, "reading the feed", "folded into", said)) {
            whileFolding.add(*took);
            // The scrape never says it folded: the end cut it off.
            if (!said.contains("folded into"))
                ++cutOff;
        } else {
            std::fprintf(stderr, "run %d: no SIGTERM while folding:\n%s\n", run + 1,
                         said.right(2000).constData());
        }
        for (const auto& [which, figures] : {std::pair{program, &sent}, {before, &beforeSent}}) {
            if (which.isEmpty())
                continue;
            said.clear();
            // The build before holds its window while it folds: SIGTERM a while after the page
            // is sent finds it folding. This build is sent SIGTERM while the page still arrives.
            const int afterSentMs = which == program ? 0 : 3000;
            if (const std::optional<double> took = exitAfter(which, server, {}, {}, said, afterSentMs))
                figures->add(*took);
            else
                std::fprintf(stderr, "run %d: %s: no SIGTERM once the page was sent:\n%s\n", run + 1,
                             qPrintable(which), said.right(2000).constData());
        }
        said.clear();
        if (const std::optional<double> took = exitAfter(program, server, "folded into", {}, said))
            idle.add(*took);
        else
            std::fprintf(stderr, "run %d: no SIGTERM when idle:\n%s\n", run + 1,
                         said.right(2000).constData());
    }
    std::printf("%s ended by SIGTERM, %.0f MB bare page:\n", qPrintable(program), bareMegabytes);
    whileFolding.print("as its worker starts reading the page", "ms", "(goal <= 1000 ms)");
    std::printf("  %-58s %d of %d\n", "  runs in which the end cut the fold off", cutOff, runs);
    sent.print("as soon as the server has sent the page", "ms", "(goal <= 1000 ms)");
    idle.print("  reference, idle after the scrape", "ms");
    if (!before.isEmpty()) {
        std::printf("%s (the fold on the window's thread):\n", qPrintable(before));
        beforeSent.print("  reference, 3 s after the server has sent the page", "ms");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && QStringList{u"scrape"_s, u"on-thread"_s, u"page-text"_s}.contains(args[1]))
        return measureOnce(args[1], args[2], args[3].toDouble());
    if (args.size() >= 3 && (args[1] == u"all" || args[1] == u"exit")) {
        const int runs = args.size() > 3 ? std::max(1, args[3].toInt()) : 5;
        const double bareMegabytes = args.size() > 4 ? args[4].toDouble() : 60;
        const double realMegabytes = args.size() > 5 ? args[5].toDouble() : 16;
        if (args[1] == u"all" && measureFolds(runs, bareMegabytes, realMegabytes) != 0)
            return 1;
        return measureExit(args[2], qEnvironmentVariable("BEFORE_PROGRAM"), runs, bareMegabytes);
    }
    std::fprintf(stderr, "usage: feed_fold_bench all|exit PROGRAM [RUNS] [BARE_MB] [REAL_MB] | "
                         "scrape|on-thread|page-text bare|real MB\n");
    return 2;
}
