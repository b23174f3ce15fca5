// The history of trends at scale: a ledger filled with SIGHTINGS sightings (10,000,000 unless set
// in the environment; 100 an hour, keywords drawn from 200,000; written 10,000 at a time to fill
// it sooner), then
//   - one more scrape of 100 sightings with three news items each, written (median of 20);
//   - the history of one keyword, all of it and the last 30 days (median of 20 keywords);
//   - the rising keywords of the last day and week;
//   - the file's size per sighting.
// Goals: a scrape written in under 20 ms, a history in under 50 ms, under 100 bytes a sighting.
#include "trends/TrendLedger.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

QString Keyword(int n)
{
    return QStringLiteral("keyword number %1").arg(n);
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QList<LedgerSighting> Scrape(QRandomGenerator& random, int keywords, int newsPerItem, qint64 serial,
                             int items = 100)
{
    QList<LedgerSighting> sightings;
    for (int rank = 1; rank <= items; ++rank) {
        LedgerSighting sighting{Keyword(random.bounded(keywords)),
                                QStringLiteral("US"),
                                QString::number(random.bounded(1, 500) * 100) + u'+',
                                rank,
                                {}};
        for (int n = 0; n < newsPerItem; ++n)
            sighting.news.append(
                {QStringLiteral("A headline about the news of the day, number %1").arg(n),
                 QStringLiteral("https://news.example/%1/%2/%3").arg(serial).arg(rank).arg(n),
                 QStringLiteral("The Daily Example")});
        sightings.append(sighting);
    }
    return sightings;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 total =
        qEnvironmentVariableIsSet("SIGHTINGS") ? qgetenv("SIGHTINGS").toLongLong() : 10'000'000;
    constexpr int Keywords = 200'000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trends.sqlite"));
    TrendLedger ledger(path);
    if (const QString error = ledger.open(); !error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QRandomGenerator random(42);
    const qint64 scrapes = total / 100;
    QDateTime at = QDateTime::currentDateTimeUtc().addSecs(-scrapes * 3600);
    QElapsedTimer filling;
    filling.start();
    for (qint64 scrape = 0; scrape < scrapes; ++scrape, at = at.addSecs(3600)) {
        if (const QString error =
                ledger.recordScrape(at, LedgerSource::Trending, Scrape(random, Keywords, 0, scrape));
            !error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    std::printf("filled with %lld sightings in %.1f s\n", static_cast<long long>(ledger.sightingCount()),
                filling.nsecsElapsed() / 1e9);

    QList<double> writes;
    for (int n = 0; n < 20; ++n, at = at.addSecs(3600)) {
        const QList<LedgerSighting> sightings = Scrape(random, Keywords, 3, scrapes + n);
        QElapsedTimer timer;
        timer.start();
        if (!ledger.recordScrape(at, LedgerSource::Trending, sightings).isEmpty())
            return 1;
        writes << timer.nsecsElapsed() / 1e6;
    }
    std::printf(
        "one scrape of 100 sightings with 3 news each: median %.2f ms, worst %.2f ms (goal < 20 ms)\n",
        Median(writes), *std::max_element(writes.cbegin(), writes.cend()));

    QList<double> whole;
    QList<double> month;
    qint64 seen = 0;
    for (int n = 0; n < 20; ++n) {
        const QString keyword = Keyword(random.bounded(Keywords));
        QElapsedTimer timer;
        timer.start();
        seen += ledger.history(keyword)->sightings;
        whole << timer.nsecsElapsed() / 1e6;
        timer.restart();
        ledger.history(keyword, at.addDays(-30));
        month << timer.nsecsElapsed() / 1e6;
    }
    std::printf("history of one keyword (%lld sightings on average): all %.2f ms, last 30 days %.2f ms "
                "(medians; goal < 50 ms)\n",
                static_cast<long long>(seen / 20), Median(whole), Median(month));

    QElapsedTimer timer;
    timer.start();
    const qsizetype rising = ledger.rising(at).size();
    std::printf("rising: %lld keywords in %.1f ms\n", static_cast<long long>(rising),
                timer.nsecsElapsed() / 1e6);

    const qint64 bytes = QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size();
    std::printf("file %.1f MB, %.1f bytes a sighting (goal < 100)\n", bytes / 1e6,
                double(bytes) / double(ledger.sightingCount()));
    return 0;
}
