#include "util/ListSort.h"

#include "util/DateTimeTextReader.h"
#include "util/TextCollation.h"
#include "util/TrimText.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

qint32 SortNumber(QStringView text)
{
    const QStringView trimmed = TrimLowChars(text);
    qsizetype i = 0;
    bool negative = false;
    if (i < trimmed.size() && (trimmed[i] == u'-' || trimmed[i] == u'+')) {
        negative = trimmed[i] == u'-';
        ++i;
    }
    constexpr qint64 Limit = qint64(std::numeric_limits<qint32>::max()) + 1;
    qint64 value = 0;
    bool digits = false;
    for (; i < trimmed.size(); ++i) {
        const char16_t c = trimmed[i].unicode();
        if (c == u',')
            continue;
        if (c < u'0' || c > u'9')
            return 0;
        digits = true;
        value = value * 10 + (c - u'0');
        if (value > Limit)
            return 0;
    }
    if (!digits)
        return 0;
    if (negative)
        value = -value;
    if (value > std::numeric_limits<qint32>::max())
        return 0;
    return qint32(value);
}

qint64 SortDateTime(QStringView text, const QLocale& locale)
{
    return DateTimeTextReader(locale, DateTimeCommas::Removed).msecsSinceZero(text).value_or(0);
}

namespace {

// How many rows ahead the cells of a sort are fetched from memory.
constexpr qsizetype PrefetchDistance = 8;

template <typename T> int sign(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// The rows of sorted entries (key, row), in order.
template <typename Entry> QList<qsizetype> rowsOf(const std::vector<Entry>& keyed)
{
    QList<qsizetype> order;
    order.reserve(qsizetype(keyed.size()));
    for (const Entry& entry : keyed)
        order.append(entry.second);
    return order;
}

// Rows with their sort keys, sorted by key and then by row, which makes the order stable in both
// directions. `compare` takes two entries and gives negative, 0 or positive.
template <typename Key, typename Compare>
QList<qsizetype> orderByKeys(std::vector<std::pair<Key, qsizetype>>& keyed, bool ascending, Compare compare)
{
    std::sort(keyed.begin(), keyed.end(), [ascending, &compare](const auto& a, const auto& b) {
        const int result = compare(a, b);
        if (result != 0)
            return ascending ? result < 0 : result > 0;
        return a.second < b.second;
    });
    return rowsOf(keyed);
}

// The same for keys that are plain numbers, compared directly.
template <typename Key>
QList<qsizetype> orderByKeys(std::vector<std::pair<Key, qsizetype>>& keyed, bool ascending)
{
    if (ascending) {
        std::sort(keyed.begin(), keyed.end()); // by key, then by row
    } else {
        std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
            return a.first != b.first ? b.first < a.first : a.second < b.second;
        });
    }
    return rowsOf(keyed);
}

// The sort keys of a text column: the first 16 bytes of each key packed into two numbers beside
// its row, which decide most comparisons without leaving the array being sorted; the rest of each
// key in one shared buffer.
QList<qsizetype> textOrder(qsizetype rowCount, const CellText& cellAt, bool ascending, const QLocale& locale)
{
    using Head = std::array<quint64, 2>;
    struct Tail {
        qsizetype offset;
        qsizetype length;
    };
    const TextCollation collation(locale);
    std::vector<std::pair<Head, qsizetype>> keyed;
    keyed.reserve(size_t(rowCount));
    std::vector<Tail> tails; // by row
    tails.reserve(size_t(rowCount));
    QByteArray rest;
    QByteArray key;
    for (qsizetype row = 0; row < rowCount; ++row) {
        collation.sortKey(*cellAt(row), key);
        Head head{0, 0};
        for (qsizetype i = 0; i < 16; ++i)
            head[size_t(i / 8)] = (head[size_t(i / 8)] << 8) | (i < key.size() ? quint8(key[i]) : 0);
        keyed.emplace_back(head, row);
        const qsizetype tailLength = std::max<qsizetype>(0, key.size() - 16);
        tails.push_back({rest.size(), tailLength});
        if (tailLength > 0)
            rest.append(key.constData() + 16, tailLength);
    }

    const auto* restBytes = reinterpret_cast<const uchar*>(rest.constData());
    return orderByKeys(keyed, ascending, [&](const auto& a, const auto& b) {
        if (a.first != b.first)
            return a.first < b.first ? -1 : 1;
        const Tail& tailA = tails[size_t(a.second)];
        const Tail& tailB = tails[size_t(b.second)];
        const int bytes = std::memcmp(restBytes + tailA.offset, restBytes + tailB.offset,
                                      size_t(std::min(tailA.length, tailB.length)));
        return bytes != 0 ? bytes : sign(tailA.length, tailB.length);
    });
}

QList<qsizetype> numberOrder(qsizetype rowCount, const CellText& cellAt, bool ascending)
{
    std::vector<std::pair<qint32, qsizetype>> keyed;
    keyed.reserve(size_t(rowCount));
    for (qsizetype row = 0; row < rowCount; ++row)
        keyed.emplace_back(SortNumber(*cellAt(row)), row);
    return orderByKeys(keyed, ascending);
}

QList<qsizetype> dateTimeOrder(qsizetype rowCount, const CellText& cellAt, bool ascending,
                               const QLocale& locale)
{
    // The formats are compiled once for the whole column. The program's own texts are then read
    // faster than they could be looked up among a million others, and each reader keeps the few
    // other texts it reads with QLocale, so that each of those is read once.
    std::vector<std::pair<qint64, qsizetype>> keyed;
    keyed.resize(size_t(rowCount));
    const auto readRows = [&](qsizetype from, qsizetype to) {
        const DateTimeTextReader reader(locale, DateTimeCommas::Removed);
        for (qsizetype row = from; row < to; ++row) {
            // After another sort the texts lie all over memory: the ones to come are fetched ahead.
            if (row + PrefetchDistance < to)
                __builtin_prefetch(cellAt(row + PrefetchDistance)->constData());
            keyed[size_t(row)] = {reader.msecsSinceZero(*cellAt(row)).value_or(0), row};
        }
    };
    // Reading the texts is most of the work: a big column is read in two halves at once. Nothing
    // changes the cells meanwhile, and each half has a reader of its own.
    constexpr qsizetype RowsWorthAThread = 65536;
    if (rowCount < RowsWorthAThread) {
        readRows(0, rowCount);
    } else {
        std::thread secondHalf(readRows, rowCount / 2, rowCount);
        readRows(0, rowCount / 2);
        secondHalf.join();
    }
    return orderByKeys(keyed, ascending);
}

} // namespace

int CompareNumbers(QStringView a, QStringView b)
{
    return sign(SortNumber(a), SortNumber(b));
}

int CompareDateTimes(QStringView a, QStringView b, const QLocale& locale)
{
    return sign(SortDateTime(a, locale), SortDateTime(b, locale));
}

int CompareTexts(QStringView a, QStringView b, const QLocale& locale)
{
    return TextCollation(locale).compare(a, b);
}

QList<qsizetype> SortedRowOrder(qsizetype rowCount, const CellText& cellAt, SortKind kind, bool ascending,
                                const QLocale& locale)
{
    switch (kind) {
    case SortKind::Number:
        return numberOrder(rowCount, cellAt, ascending);
    case SortKind::DateTime:
        return dateTimeOrder(rowCount, cellAt, ascending, locale);
    case SortKind::Text:
        break;
    }
    return textOrder(rowCount, cellAt, ascending, locale);
}

void ListSortState::click(int column)
{
    if (column == m_column)
        m_ascending = !m_ascending;
    else
        m_column = column;
}

void ListSortState::reset()
{
    m_column = -1;
    m_ascending = true;
}
