#pragma once

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringView>

#include <functional>
#include <stop_token>

// Sorting of the result lists by a column. Every cell is text; a column compares its cells as
// text (case-insensitive collation of the locale), as whole numbers or as date-times.

enum class SortKind { Text, Number, DateTime };

// The whole number a cell stands for: every "," removed, then a decimal number in the signed
// 32-bit range. Anything else (empty, "N/A", out of range) is 0.
qint32 SortNumber(QStringView text);
// The date-time a cell stands for under `locale`, in milliseconds from midnight of 30 December 1899
// (wall-clock time): every "," removed, then read as the program writes date-times (see
// DateTimeCommas::Removed). A text that does not read is 0, that very midnight.
qint64 SortDateTime(QStringView text, const QLocale& locale = QLocale());

// -1, 0 or 1 as `a` sorts before, with or after `b`.
int CompareNumbers(QStringView a, QStringView b);
int CompareDateTimes(QStringView a, QStringView b, const QLocale& locale = QLocale());
// Negative, 0 or positive; letter case is ignored.
int CompareTexts(QStringView a, QStringView b, const QLocale& locale = QLocale());

// The new order of `rowCount` rows sorted by the cells `cellAt` gives: element i is the row that
// goes to position i. The sort is stable in both directions (rows that compare equal keep their
// order), and each cell is read and turned into a sort key once. `cellAt` gives a view of the text
// of a cell where the table keeps it (so that a cell is read without a copy, and the cells to come
// can be fetched ahead from memory); the cells do not change while the order is worked out, and a big
// column is read and sorted in chunks on several threads at once, so `cellAt` is called from all of
// them. Once `stop` is requested the work ends early with an empty order.
using CellText = std::function<QStringView(qsizetype row)>;
QList<qsizetype> SortedRowOrder(qsizetype rowCount, const CellText& cellAt, SortKind kind, bool ascending,
                                const QLocale& locale = QLocale(), std::stop_token stop = {});

// The sort state of one list. A click on the column last sorted reverses the direction; a click on
// another column sorts it in the direction last used.
class ListSortState {
public:
    int column() const { return m_column; } // -1 until the first click
    bool ascending() const { return m_ascending; }
    Qt::SortOrder order() const { return m_ascending ? Qt::AscendingOrder : Qt::DescendingOrder; }

    void click(int column);
    void reset();

private:
    int m_column = -1;
    bool m_ascending = true;
};
