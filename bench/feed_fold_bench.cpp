// Measures the fold of a Hot Trends feed page into the table at scale, on two pages:
//   - 64 MiB of bare "<li>" item starts without links (a hostile or broken page), and
//   - 2,000,000 real items whose keywords repeat now and then (about half of them are known by the
//     time they come up), as a very long feed would list them.
// Goal: well under 1 s per 10 MB of page (MB = 1,000,000 bytes of the page as UTF-8).
//   feed_fold_bench [BARE_MIB] [ITEMS]
#include "TrendKeywords.h"
#include "trends/HotTrendsFeed.h"
#include "trends/TrendTableModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

QString realItems(qsizetype count)
{
    QRandomGenerator random(20261210);
    QString page = QStringLiteral("<?xml version=\"1.0\"?><feed><content type=\"html\"><ol>");
    for (qsizetype i = 0; i < count; ++i) {
        // The same serial gives the same keyword, so drawing serials from a range smaller than the
        // page repeats about half of the keywords.
        const quint32 serial = random.bounded(quint32(count * 3 / 5));
        QRandomGenerator words(serial);
        const QString keyword = TrendKeyword(words, serial);
        QString query = keyword;
        query.replace(u' ', u'+');
        page += QStringLiteral("<li><a href=\"http://www.google.com/search?q=") + query +
                QStringLiteral("\">") + keyword + QStringLiteral("</a></li>\n");
    }
    return page + QStringLiteral("</ol></content></feed>");
}

void measure(const char* name, const QString& page)
{
    const double megabytes = page.toUtf8().size() / 1e6;
    TrendTableModel table;
    QElapsedTimer timer;
    timer.start();
    const int items = FoldFeedIntoTable(page, QStringLiteral("12/10/2026 2:15:00 PM"), table);
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("%-22s %7.1f MB, %8d items into %7d rows: %6.3f s, %.3f s per 10 MB (goal < 1 s per 10 MB)\n",
                name, megabytes, items, table.rowCount(), seconds, seconds / megabytes * 10);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype bareMebibytes = args.size() > 1 ? args[1].toLongLong() : 64;
    const qsizetype itemCount = args.size() > 2 ? args[2].toLongLong() : 2000000;

    measure("bare \"<li>\" page", QStringLiteral("<li>").repeated(bareMebibytes * 1024 * 1024 / 4));
    measure("real items page", realItems(itemCount));
    return 0;
}
