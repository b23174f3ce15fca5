#include "trends/HotTrendsFeed.h"

#include "net/ServiceAddresses.h"
#include "trends/TrendTableModel.h"
#include "util/CutBetween.h"
#include "util/RowFile.h"

#include <algorithm>
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

bool ReadFeedItems(QStringView page, const std::function<void(QStringView linkText)>& item,
                   std::stop_token stop)
{
    // A look at the stop now and then: a page of bare item starts holds millions of items.
    constexpr qsizetype StopLookEvery = 4096;
    FeedItems items(page);
    for (qsizetype read = 0;; ++read) {
        if (read % StopLookEvery == 0 && stop.stop_requested())
            return false;
        const std::optional<QStringView> link = items.next();
        if (!link)
            return true;
        item(*link);
    }
}

FeedTally::FeedTally()
    : m_index([this](qsizetype i) { return m_entries[size_t(i)].keyword; })
{
}

qsizetype FeedTally::add(QStringView text)
{
    ++m_itemCount;
    // What a cell cannot hold is made spaces, as the keyword enters the table. Most keywords hold
    // nothing of the kind: cleaning a string over the text itself then copies nothing.
    const QString asItStands = QString::fromRawData(text.data(), text.size());
    QString cleaned = CleanCellText(asItStands);
    const bool changed = cleaned.constData() != asItStands.constData();
    const QStringView keyword = changed ? QStringView(cleaned) : text;
    const qsizetype known = m_index.find(keyword);
    if (known >= 0) {
        ++m_entries[size_t(known)].items;
        return known;
    }
    QStringView kept = keyword;
    if (changed) {
        m_cleaned.push_back(std::move(cleaned));
        kept = m_cleaned.back();
    }
    m_entries.push_back({kept, 1});
    m_index.add(size() - 1);
    return size() - 1;
}

std::optional<TrendTableModel::FoldedRows> FoldTallyIntoRows(const FeedTally& tally, TrendRows rows,
                                                             const QString& dateText, std::stop_token stop)
{
    constexpr qsizetype StopLookEvery = 4096;
    TrendTableModel::FoldedRows folded;
    // The index of the copy, as the table's own finds the first row of a keyword.
    KeywordIndex known([&rows](qsizetype row) { return rows.keyword(row); });
    known.rebuild(rows.size());
    const qsizetype rowsBefore = rows.size();
    for (qsizetype i = 0; i < tally.size(); ++i) {
        if (i % StopLookEvery == 0 && stop.stop_requested())
            return std::nullopt;
        const QStringView keyword = tally.keyword(i);
        const qint64 items = tally.items(i);
        const qsizetype row = known.find(keyword);
        if (row < 0) {
            rows.append({keyword, dateText, QString::number(items)});
            known.add(rows.size() - 1);
            continue;
        }
        // A count that is not a whole number (a damaged file) counts as 0; one item at a time, the
        // count would stop at the largest number, and so it does here.
        const qint64 count = rows.count(row).toLongLong();
        rows.setDateAndCount(row, dateText,
                             QString::number(count > LLONG_MAX - items ? LLONG_MAX : count + items));
        folded.firstChanged = folded.firstChanged < 0 ? row : std::min(folded.firstChanged, row);
        folded.lastChanged = std::max(folded.lastChanged, row);
    }
    Q_ASSERT(rows.size() >= rowsBefore);
    folded.table.keywords.adopt(std::move(known));
    folded.table.rows = std::move(rows);
    return folded;
}

int FoldFeedIntoTable(QStringView page, const QString& dateText, TrendTableModel& table)
{
    FeedTally tally;
    ReadFeedItems(page, [&tally](QStringView link) { tally.add(link); });
    if (std::optional<TrendTableModel::FoldedRows> folded = FoldTallyIntoRows(tally, table.rows(), dateText))
        table.takeFoldedRows(std::move(*folded));
    return int(tally.itemCount());
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
