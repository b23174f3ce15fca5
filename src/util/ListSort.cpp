#include "util/ListSort.h"

#include "util/DateTimeTextReader.h"
#include "util/TextCollation.h"
#include "util/TrimText.h"

#include <QFuture>
#include <QThread>
#include <QtConcurrentRun>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>
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
// Below this many rows a column is sorted on one thread: handing parts to others would cost more
// than it saves.
constexpr qsizetype RowsWorthAThread = 16384;
// How many rows a loop goes through between two looks at whether its sort is still wanted.
constexpr qsizetype RowsBetweenStopChecks = 4096;

// Into how many parts a column is cut to be read and sorted on as many threads at once.
int partsFor(qsizetype rowCount)
{
    if (rowCount < RowsWorthAThread)
        return 1;
    const qsizetype threads = std::min<qsizetype>(QThread::idealThreadCount(), rowCount / RowsWorthAThread);
    return int(std::clamp<qsizetype>(threads, 2, 8));
}

qsizetype partStart(qsizetype rowCount, int parts, int part)
{
    return rowCount * part / parts;
}

// Runs work(part) for every part at once: the first on this thread, the others on the thread pool.
// A part the pool has not started by the time this thread waits for it is run here instead, so a
// busy pool slows a sort down but never stalls it.
template <typename Work> void runParts(int parts, const Work& work)
{
    std::vector<QFuture<void>> others;
    others.reserve(size_t(parts));
    for (int part = 1; part < parts; ++part)
        others.push_back(QtConcurrent::run([&work, part] { work(part); }));
    work(0);
    for (QFuture<void>& other : others)
        other.waitForFinished();
}

template <typename T> int sign(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// A row with the number it sorts by: the cell's value turned so that unsigned order is the order
// asked for (descending flips every bit).
struct KeyedRow {
    quint64 key;
    qsizetype row;
};

// The rows in the order of their keys, rows of equal keys in the order they came (the rows come
// in their own order, which makes the sort stable in both directions). A radix sort, one byte at a
// time from the lowest, which passes over the bytes that every key shares.
QList<qsizetype> radixOrder(std::vector<KeyedRow>& keyed, const std::stop_token& stop)
{
    const size_t count = keyed.size();
    std::array<std::array<size_t, 256>, 8> counts{};
    for (const KeyedRow& entry : keyed) {
        for (size_t byte = 0; byte < 8; ++byte)
            ++counts[byte][(entry.key >> (8 * byte)) & 0xff];
    }
    std::vector<KeyedRow> moved(count);
    for (size_t byte = 0; byte < 8; ++byte) {
        if (stop.stop_requested())
            return {};
        std::array<size_t, 256>& next = counts[byte];
        if (std::find(next.cbegin(), next.cend(), count) != next.cend())
            continue; // every key has the same byte here
        size_t offset = 0;
        for (size_t& slot : next)
            offset += std::exchange(slot, offset);
        for (const KeyedRow& entry : keyed)
            moved[next[(entry.key >> (8 * byte)) & 0xff]++] = entry;
        keyed.swap(moved);
    }
    QList<qsizetype> order;
    order.reserve(qsizetype(count));
    for (const KeyedRow& entry : keyed)
        order.append(entry.row);
    return order;
}

// Rows sorted by a number that `keyOf(reader, text)` makes of each cell; the keys of a big column
// are made in parts at once, each with a reader of its own (`makeReader()`).
template <typename MakeReader, typename KeyOf>
QList<qsizetype> orderByNumbers(qsizetype rowCount, const CellText& cellAt, bool ascending,
                                const std::stop_token& stop, const MakeReader& makeReader, const KeyOf& keyOf)
{
    const quint64 flip = ascending ? 0 : ~quint64(0);
    std::vector<KeyedRow> keyed(static_cast<size_t>(rowCount));
    const int parts = partsFor(rowCount);
    runParts(parts, [&](int part) {
        const auto reader = makeReader();
        const qsizetype to = partStart(rowCount, parts, part + 1);
        for (qsizetype row = partStart(rowCount, parts, part); row < to; ++row) {
            if (row % RowsBetweenStopChecks == 0 && stop.stop_requested())
                return;
            // After another sort the texts lie all over memory: the ones to come are fetched ahead.
            if (row + PrefetchDistance < to)
                __builtin_prefetch(cellAt(row + PrefetchDistance)->constData());
            keyed[size_t(row)] = {keyOf(reader, *cellAt(row)) ^ flip, row};
        }
    });
    if (stop.stop_requested())
        return {};
    return radixOrder(keyed, stop);
}

QList<qsizetype> numberOrder(qsizetype rowCount, const CellText& cellAt, bool ascending,
                             const std::stop_token& stop)
{
    return orderByNumbers(
        rowCount, cellAt, ascending, stop, [] { return 0; },
        [](int, const QString& text) { return quint64(quint32(SortNumber(text)) ^ 0x80000000u); });
}

QList<qsizetype> dateTimeOrder(qsizetype rowCount, const CellText& cellAt, bool ascending,
                               const QLocale& locale, const std::stop_token& stop)
{
    // The formats are compiled once per part of the column. The program's own texts are then read
    // faster than they could be looked up among a million others, and each reader keeps the few
    // other texts it reads with QLocale, so that each of those is read once.
    return orderByNumbers(
        rowCount, cellAt, ascending, stop,
        [&locale] { return std::make_unique<DateTimeTextReader>(locale, DateTimeCommas::Removed); },
        [](const std::unique_ptr<DateTimeTextReader>& reader, const QString& text) {
            return quint64(reader->msecsSinceZero(text).value_or(0)) ^ (quint64(1) << 63);
        });
}

// The sort key of a text cell, for a sort that goes through the keys 16 bytes at a time: the 16
// bytes from the depth reached (zero after the key's end) packed into two numbers beside the row,
// so that most comparisons are decided without leaving the array being sorted; the key itself
// lies in a buffer of its part of the column.
struct TextKey {
    std::array<quint64, 2> head;
    const uchar* bytes;
    quint32 length;
    quint32 row;
};

void loadHead(TextKey& key, qsizetype depth)
{
    if (depth + 16 <= key.length) {
        quint64 words[2];
        std::memcpy(words, key.bytes + depth, sizeof words);
        key.head = {qFromBigEndian(words[0]), qFromBigEndian(words[1])};
        return;
    }
    key.head = {0, 0};
    for (qsizetype i = 0; i < 16; ++i) {
        const quint64 byte = depth + i < key.length ? key.bytes[depth + i] : 0;
        key.head[size_t(i / 8)] = (key.head[size_t(i / 8)] << 8) | byte;
    }
}

// Whole keys compared as the sort orders them: bytewise, a key that is a prefix of another first,
// then by row. Both heads are those of depth 0.
bool wholeKeyBefore(const TextKey& a, const TextKey& b, bool ascending)
{
    int result = a.head < b.head ? -1 : (b.head < a.head ? 1 : 0);
    if (result == 0) {
        const quint32 shorter = std::min(a.length, b.length);
        result = shorter > 16 ? std::memcmp(a.bytes + 16, b.bytes + 16, shorter - 16) : 0;
        if (result == 0)
            result = sign(a.length, b.length);
    }
    if (result != 0)
        return ascending ? result < 0 : result > 0;
    return a.row < b.row;
}

// Sorts keys whose heads are those of depth 0: by the heads, then the keys that tie by their next
// 16 bytes, and so on, each pass over fewer and fewer keys, until the keys differ or end. Keys that
// are equal to their end (but for trailing zero bytes: the shorter first) keep the order of rows.
void sortTextKeys(TextKey* begin, TextKey* end, bool ascending, const std::stop_token& stop)
{
    struct Run {
        TextKey* begin;
        TextKey* end;
        qsizetype depth;
    };
    const auto byHead = [ascending](const TextKey& a, const TextKey& b) {
        if (a.head != b.head)
            return ascending ? a.head < b.head : b.head < a.head;
        return a.row < b.row;
    };
    const auto byLength = [ascending](const TextKey& a, const TextKey& b) {
        if (a.length != b.length)
            return ascending ? a.length < b.length : b.length < a.length;
        return a.row < b.row;
    };
    std::vector<Run> runs{{begin, end, 0}};
    while (!runs.empty() && !stop.stop_requested()) {
        const Run run = runs.back();
        runs.pop_back();
        std::sort(run.begin, run.end, byHead);
        const qsizetype depth = run.depth + 16;
        for (TextKey* first = run.begin; first != run.end;) {
            TextKey* last = first + 1;
            while (last != run.end && last->head == first->head)
                ++last;
            if (last - first > 1) {
                if (std::all_of(first, last, [depth](const TextKey& key) { return key.length <= depth; })) {
                    std::sort(first, last, byLength);
                } else {
                    for (TextKey* key = first; key != last; ++key)
                        loadHead(*key, depth);
                    runs.push_back({first, last, depth});
                }
            }
            first = last;
        }
    }
}

QList<qsizetype> textOrder(qsizetype rowCount, const CellText& cellAt, bool ascending, const QLocale& locale,
                           const std::stop_token& stop)
{
    // Each part of the column gets its collator (one is not shared between threads) and a buffer for
    // the keys of its rows.
    const int parts = partsFor(rowCount);
    std::vector<TextKey> keys(static_cast<size_t>(rowCount));
    std::vector<QByteArray> buffers(static_cast<size_t>(parts));
    runParts(parts, [&](int part) {
        const TextCollation collation(locale);
        const qsizetype from = partStart(rowCount, parts, part);
        const qsizetype to = partStart(rowCount, parts, part + 1);
        QByteArray& buffer = buffers[size_t(part)];
        buffer.reserve((to - from) * 48);
        QByteArray key;
        for (qsizetype row = from; row < to; ++row) {
            if (row % RowsBetweenStopChecks == 0 && stop.stop_requested())
                return;
            if (row + PrefetchDistance < to)
                __builtin_prefetch(cellAt(row + PrefetchDistance)->constData());
            collation.sortKey(*cellAt(row), key);
            TextKey& entry = keys[size_t(row)];
            entry.bytes = reinterpret_cast<const uchar*>(key.constData());
            entry.length = quint32(key.size());
            entry.row = quint32(row);
            loadHead(entry, 0);
            buffer.append(key);
        }
        // The buffer is complete: its keys lie one after the other in the order of the rows.
        const auto* next = reinterpret_cast<const uchar*>(buffer.constData());
        for (qsizetype row = from; row < to; ++row) {
            keys[size_t(row)].bytes = next;
            next += keys[size_t(row)].length;
        }
    });
    if (stop.stop_requested())
        return {};

    // A big column is cut by the keys of a sample into parts that follow one another in the order,
    // and the parts are sorted at once.
    std::vector<TextKey> sorted;
    std::vector<qsizetype> partEnds;
    if (parts == 1) {
        sorted = std::move(keys);
        partEnds = {rowCount};
    } else {
        const auto before = [ascending](const TextKey& a, const TextKey& b) {
            return wholeKeyBefore(a, b, ascending);
        };
        std::vector<TextKey> sample;
        const qsizetype sampleSize = std::min<qsizetype>(rowCount, 64 * parts);
        for (qsizetype i = 0; i < sampleSize; ++i)
            sample.push_back(keys[size_t(i * rowCount / sampleSize)]);
        std::sort(sample.begin(), sample.end(), before);
        std::vector<TextKey> splitters;
        for (int part = 1; part < parts; ++part)
            splitters.push_back(sample[size_t(part * sampleSize / parts)]);

        std::vector<quint8> partOf(keys.size());
        std::vector<qsizetype> starts(size_t(parts) + 1, 0);
        for (size_t i = 0; i < keys.size(); ++i) {
            partOf[i] = quint8(std::upper_bound(splitters.cbegin(), splitters.cend(), keys[i], before) -
                               splitters.cbegin());
            ++starts[partOf[i] + 1];
        }
        for (size_t part = 1; part < starts.size(); ++part)
            starts[part] += starts[part - 1];
        partEnds.assign(starts.begin() + 1, starts.end());
        sorted.resize(keys.size());
        for (size_t i = 0; i < keys.size(); ++i)
            sorted[size_t(starts[partOf[i]]++)] = keys[i];
    }
    keys = {};
    runParts(int(partEnds.size()), [&](int part) {
        const qsizetype from = part == 0 ? 0 : partEnds[size_t(part) - 1];
        sortTextKeys(sorted.data() + from, sorted.data() + partEnds[size_t(part)], ascending, stop);
    });
    if (stop.stop_requested())
        return {};

    QList<qsizetype> order;
    order.reserve(rowCount);
    for (const TextKey& key : sorted)
        order.append(key.row);
    return order;
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
                                const QLocale& locale, std::stop_token stop)
{
    switch (kind) {
    case SortKind::Number:
        return numberOrder(rowCount, cellAt, ascending, stop);
    case SortKind::DateTime:
        return dateTimeOrder(rowCount, cellAt, ascending, locale, stop);
    case SortKind::Text:
        break;
    }
    return textOrder(rowCount, cellAt, ascending, locale, stop);
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
