#include "trends/HotTrendsFeed.h"

#include "net/ServiceAddresses.h"
#include "trends/TrendTableModel.h"
#include "util/CutBetween.h"

#include <climits>
#include <cstdlib>

QString HotTrendsFeedUrl()
{
    return QStringLiteral("http://") + GoogleWebHost() + QStringLiteral("/trends/hottrends/atom/hourly");
}

qint64 WholeHoursBetween(const QDateTime& a, const QDateTime& b)
{
    return std::llabs(a.msecsTo(b)) / (3600 * 1000);
}

int FoldFeedIntoTable(QString page, const QString& dateText, TrendTableModel& table)
{
    const QString itemStart = QStringLiteral("<li>");
    const QString linkStart = QStringLiteral("<a href=\"");
    const QString linkEnd = QStringLiteral("\">");
    const QString linkClose = QStringLiteral("</a>");
    int items = 0;
    // The test for another item is exact; the cuts ignore letter case, so an upper-case item
    // before it is read first. Every pass consumes at least one item start, so the walk ends.
    while (page.contains(itemStart)) {
        CutBetween(itemStart, linkStart, 0, page);
        CutBetween(linkStart, linkEnd, 0, page);
        const QString keyword = CutBetween(linkEnd, linkClose, 0, page);
        ++items;

        const qsizetype row = table.knownKeywords().find(keyword);
        if (row < 0) {
            table.appendRow({keyword, dateText, QStringLiteral("1")});
            continue;
        }
        // A count that is not a whole number (a damaged file) counts as 0.
        const qint64 count = table.row(row).count.toLongLong();
        table.setDateAndCount(row, dateText, QString::number(count < LLONG_MAX ? count + 1 : count));
    }
    return items;
}
