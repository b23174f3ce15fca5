// The history panel's part of "select a row, see its history": the panel shown, a keyword with a
// year of daily sightings and ten news items put in it (the chart built anew), and the window's
// thread timed until the panel is painted. The ledger's query is ledger_bench's. Goal, with it:
// under 100 ms from the click.
#include "trends/ui/TrendHistoryPanel.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TrendHistoryPanel panel;
    panel.resize(380, 560);
    panel.show();
    QCoreApplication::processEvents();

    KeywordHistory history;
    history.keyword = QStringLiteral("keyword with a year of history");
    const QDate today = QDate::currentDate();
    history.firstSeen = QDateTime(today.addDays(-365), QTime(10, 0), Qt::UTC);
    history.lastSeen = QDateTime(today, QTime(10, 0), Qt::UTC);
    history.countries = {QStringLiteral("DE"), QStringLiteral("GB"), QStringLiteral("US")};
    history.peakTraffic = QStringLiteral("500K+");
    for (int day = 365; day >= 0; --day) {
        history.days.append({today.addDays(-day), 1 + day % 7, qint64(1000 * (1 + day % 50))});
        history.sightings += 1 + day % 7;
    }
    for (int n = 0; n < 10; ++n)
        history.news.append({QStringLiteral("A headline of the day, number %1").arg(n),
                             QStringLiteral("https://news.example/%1").arg(n), QStringLiteral("Example")});

    QList<double> times;
    for (int run = 0; run < 20; ++run) {
        QElapsedTimer timer;
        timer.start();
        panel.showHistory(history);
        panel.repaint();
        QCoreApplication::processEvents();
        times << timer.nsecsElapsed() / 1e6;
    }
    std::sort(times.begin(), times.end());
    std::printf("history panel with 366 days and 10 news, shown and painted: min %.1f ms, median %.1f ms, "
                "worst %.1f ms\n",
                times.first(), times[times.size() / 2], times.last());
    return 0;
}
