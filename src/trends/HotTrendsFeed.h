#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

class TrendTableModel;

// The Hot Trends feed address: the hourly feed on the Google web host, over plain HTTP.
QString HotTrendsFeedUrl();

// Whole hours between two times, whichever comes first; a clock set back counts as well.
qint64 WholeHoursBetween(const QDateTime& a, const QDateTime& b);

// The keywords of a feed page's items, in order, as a cell holds them (see CleanCellText).
QStringList FeedKeywords(QStringView page);

// Folds every item of a feed page into the table: each item's link text is a keyword, folded as
// FoldKeywordIntoTable does. Returns the number of items read.
int FoldFeedIntoTable(QStringView page, const QString& dateText, TrendTableModel& table);

// Folds one keyword into the table (with what a cell cannot hold made spaces, see CleanCellText): a
// known keyword (letter case aside) gets `dateText` and its count raised by one, a new one a row
// with the count 1.
void FoldKeywordIntoTable(const QString& keyword, const QString& dateText, TrendTableModel& table);
