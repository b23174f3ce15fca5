#pragma once

#include "trends/TrendTableModel.h"
#include "util/KeywordIndex.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <optional>
#include <stop_token>
#include <vector>

class TrendRows;

// The Hot Trends feed address: the hourly feed on the Google web host, over plain HTTP.
QString HotTrendsFeedUrl();

// Whole hours between two times, whichever comes first; a clock set back counts as well.
qint64 WholeHoursBetween(const QDateTime& a, const QDateTime& b);

// The keywords of a feed page's items, in order, as a cell holds them (see CleanCellText).
QStringList FeedKeywords(QStringView page);

// Gives the link text of each item of a feed page to `item`, in order, as it stands in the page (a
// view into it). Asked to stop, it ends early and returns false.
bool ReadFeedItems(QStringView page, const std::function<void(QStringView linkText)>& item,
                   std::stop_token stop = {});

// The keywords of a scrape tallied for the fold: each keyword once, letter case aside as the
// table's index compares them, in the order of its first item, with the number of its items. A
// keyword is kept as a view of the text it came from (the page, or an item read from the feed),
// which must outlive the tally; only a keyword with something a cell cannot hold is copied, once.
// So a page of millions of items costs what its distinct keywords cost, not a string per item.
class FeedTally {
public:
    FeedTally();
    FeedTally(const FeedTally&) = delete;
    FeedTally& operator=(const FeedTally&) = delete;

    // Counts one item; returns the number of its keyword in the tally.
    qsizetype add(QStringView keyword);

    // Items counted, empty keywords included.
    qsizetype itemCount() const { return m_itemCount; }
    // Distinct keywords.
    qsizetype size() const { return qsizetype(m_entries.size()); }
    // Keyword `i` as a cell holds it (see CleanCellText), as its first item spelt it.
    QStringView keyword(qsizetype i) const { return m_entries[size_t(i)].keyword; }
    // The number of items of keyword `i`.
    qint64 items(qsizetype i) const { return m_entries[size_t(i)].items; }

private:
    struct Entry {
        QStringView keyword;
        qint64 items = 0;
    };
    std::vector<Entry> m_entries;
    std::deque<QString> m_cleaned; // keywords that needed cleaning; their text never moves
    KeywordIndex m_index;
    qsizetype m_itemCount = 0;
};

// The rows of a table with a tally folded in, made from a copy of the table's rows (on any
// thread): a known keyword (letter case aside, the first such row) gets `dateText` and its count
// raised by its number of items, a new one a row at the end with that number. The same rows as
// folding the items one by one (FoldKeywordIntoTable). Nothing when asked to stop.
std::optional<TrendTableModel::FoldedRows>
FoldTallyIntoRows(const FeedTally& tally, TrendRows rows, const QString& dateText, std::stop_token stop = {});

// Folds every item of a feed page into the table: each item's link text is a keyword, folded as
// FoldKeywordIntoTable does. Returns the number of items read.
int FoldFeedIntoTable(QStringView page, const QString& dateText, TrendTableModel& table);

// Folds one keyword into the table (with what a cell cannot hold made spaces, see CleanCellText): a
// known keyword (letter case aside) gets `dateText` and its count raised by one, a new one a row
// with the count 1.
void FoldKeywordIntoTable(const QString& keyword, const QString& dateText, TrendTableModel& table);
