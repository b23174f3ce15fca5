#include "trends/HotTrendsFeed.h"

#include "net/ServiceAddresses.h"
#include "trends/TrendTableModel.h"
#include "util/CutBetween.h"
#include "util/RowFile.h"

#include <climits>
#include <cstdlib>
#include <optional>

QString HotTrendsFeedUrl()
{
    return QStringLiteral("http://") + GoogleWebHost() + QStringLiteral("/trends/hottrends/atom/hourly");
}

qint64 WholeHoursBetween(const QDateTime& a, const QDateTime& b)
{
    return std::llabs(a.msecsTo(b)) / (3600 * 1000);
}

namespace {

// The items of a feed page in order, read as a run of CutBetween calls would read them, in one pass.
class FeedItems {
public:
    explicit FeedItems(QStringView page)
        : m_cursor(page)
        , m_anotherItem(page, u"<li>", ForwardMarker::LetterCase::Exact)
        , m_itemStart(page, u"<li>")
        , m_linkStart(page, u"<a href=\"")
        , m_linkEnd(page, u"\">")
        , m_linkClose(page, u"</a>")
    {
    }

    // The link text of the next item, or nothing when no item is left. The test for another item is
    // exact; the cuts ignore letter case, so an upper-case item before it is read first. Every item
    // consumes at least one item start, so the walk ends.
    std::optional<QStringView> next()
    {
        if (m_anotherItem.nextFrom(m_cursor.position()) < 0)
            return std::nullopt;
        m_cursor.cut(m_itemStart, m_linkStart);
        m_cursor.cut(m_linkStart, m_linkEnd);
        return m_cursor.cut(m_linkEnd, m_linkClose);
    }

private:
    CutCursor m_cursor;
    ForwardMarker m_anotherItem;
    ForwardMarker m_itemStart;
    ForwardMarker m_linkStart;
    ForwardMarker m_linkEnd;
    ForwardMarker m_linkClose;
};

} // namespace

QStringList FeedKeywords(QStringView page)
{
    FeedItems items(page);
    QStringList keywords;
    while (const std::optional<QStringView> link = items.next())
        keywords << CleanCellText(link->toString());
    return keywords;
}

int FoldFeedIntoTable(QStringView page, const QString& dateText, TrendTableModel& table)
{
    const QStringList keywords = FeedKeywords(page);
    for (const QString& keyword : keywords)
        FoldKeywordIntoTable(keyword, dateText, table);
    return int(keywords.size());
}

void FoldKeywordIntoTable(const QString& text, const QString& dateText, TrendTableModel& table)
{
    const QString keyword = CleanCellText(text);
    const qsizetype row = table.knownKeywords().find(keyword);
    if (row < 0) {
        table.appendRow({keyword, dateText, QStringLiteral("1")});
        return;
    }
    // A count that is not a whole number (a damaged file) counts as 0.
    const qint64 count = table.rows().count(row).toLongLong();
    table.setDateAndCount(row, dateText, QString::number(count < LLONG_MAX ? count + 1 : count));
}
