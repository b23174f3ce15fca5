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
#include <atomic>
#include <cstring>
#include <exception>
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
// A column is read and sorted in chunks of this many rows, which the threads of a sort take in turn:
// a thread slowed down by other programs then simply does fewer of them.
constexpr qsizetype RowsPerChunk = 16384;
// How many rows a loop goes through between two looks at whether its sort is still wanted.
constexpr qsizetype RowsBetweenStopChecks = 4096;

int chunksFor(qsizetype rowCount)
{
    return int(std::max<qsizetype>(1, (rowCount + RowsPerChunk - 1) / RowsPerChunk));
}

qsizetype chunkStart(qsizetype rowCount, int chunk)
{
    return std::min(rowCount, chunk * RowsPerChunk);
}

// Runs work(chunk, state) for every chunk from 0 to chunks - 1 on this thread and, when there are
// several chunks, on others of the pool at once; each thread makes its state once (makeState()) and
// takes the next chunk nobody has taken. A thread the pool has not started by the time this one is
// done is run here (QFuture::waitForFinished takes it back) and finds nothing left, so a busy pool
// slows a sort down but never stalls it.
template <typename MakeState, typename Work>
void runChunks(int chunks, const MakeState& makeState, const Work& work)
{
    std::atomic<int> next = 0;
    const auto takeChunks = [&] {
        auto state = makeState();
        for (int chunk = next++; chunk < chunks; chunk = next++)
            work(chunk, state);
    };
    const int threads = std::clamp(QThread::idealThreadCount(), 1, std::min(chunks, 8));
    std::vector<QFuture<void>> others;
    others.reserve(size_t(threads));
    for (int thread = 1; thread < threads; ++thread)
        others.push_back(QtConcurrent::run(takeChunks));
    // The other threads use what lies here: they are waited for whatever happens (memory that runs
    // out, say), and the first error goes on from here.
    std::exception_ptr failure;
    try {
        takeChunks();
    } catch (...) {
        failure = std::current_exception();
        next = chunks;
    }
    for (QFuture<void>& other : others) {
        try {
            other.waitForFinished();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    if (failure)
        std::rethrow_exception(failure);
}

template <typename Work> void runChunks(int chunks, const Work& work)
{
    runChunks(
        chunks, [] { return 0; }, [&work](int chunk, int) { work(chunk); });
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
// are made in chunks on several threads at once, each thread with a reader of its own (`makeReader()`).
template <typename MakeReader, typename KeyOf>
QList<qsizetype> orderByNumbers(qsizetype rowCount, const CellText& cellAt, bool ascending,
                                const std::stop_token& stop, const MakeReader& makeReader, const KeyOf& keyOf)
{
    const quint64 flip = ascending ? 0 : ~quint64(0);
    std::vector<KeyedRow> keyed(static_cast<size_t>(rowCount));
    runChunks(chunksFor(rowCount), makeReader, [&](int chunk, const auto& reader) {
        const qsizetype to = chunkStart(rowCount, chunk + 1);
        for (qsizetype row = chunkStart(rowCount, chunk); row < to; ++row) {
            if (row % RowsBetweenStopChecks == 0 && stop.stop_requested())
                return;
            // After another sort the texts lie all over memory: the ones to come are fetched ahead.
            if (row + PrefetchDistance < to)
                __builtin_prefetch(cellAt(row + PrefetchDistance).data());
            keyed[size_t(row)] = {keyOf(reader, cellAt(row)) ^ flip, row};
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
        [](int, QStringView text) { return quint64(quint32(SortNumber(text)) ^ 0x80000000u); });
}

QList<qsizetype> dateTimeOrder(qsizetype rowCount, const CellText& cellAt, bool ascending,
                               const QLocale& locale, const std::stop_token& stop)
{
    // The formats are compiled once per thread. The program's own texts are then read
    // faster than they could be looked up among a million others, and each reader keeps the few
    // other texts it reads with QLocale, so that each of those is read once.
    return orderByNumbers(
        rowCount, cellAt, ascending, stop,
        [&locale] { return std::make_unique<DateTimeTextReader>(locale, DateTimeCommas::Removed); },
        [](const std::unique_ptr<DateTimeTextReader>& reader, QStringView text) {
            return quint64(reader->msecsSinceZero(text).value_or(0)) ^ (quint64(1) << 63);
        });
}

// The sort key of a text cell, for a sort that goes through the keys 16 bytes at a time: the 16
// bytes from the depth reached (zero after the key's end) packed into two numbers beside the row,
// so that most comparisons are decided without leaving the array being sorted; the key itself
// lies in a buffer of its chunk of the column.
struct TextKey {
    std::array<quint64, 2> head;
    const uchar* bytes;
    quint32 length;
    quint32 row;
};

void loadHead(TextKey& key, qsizetype depth)
{
    uchar bytes[16] = {};
    if (depth < key.length)
        std::memcpy(bytes, key.bytes + depth, size_t(std::min<qsizetype>(16, key.length - depth)));
    quint64 words[2];
    std::memcpy(words, bytes, sizeof words);
    key.head = {qFromBigEndian(words[0]), qFromBigEndian(words[1])};
}

int compareHeads(const TextKey& a, const TextKey& b)
{
    if (a.head[0] != b.head[0])
        return a.head[0] < b.head[0] ? -1 : 1;
    return sign(a.head[1], b.head[1]);
}

bool sameHead(const TextKey& a, const TextKey& b)
{
    return a.head[0] == b.head[0] && a.head[1] == b.head[1];
}

// Whole keys compared as the sort orders them: bytewise, a key that is a prefix of another first,
// then by row. Both heads are those of depth 0.
bool wholeKeyBefore(const TextKey& a, const TextKey& b, bool ascending)
{
    int result = compareHeads(a, b);
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
        const int heads = compareHeads(a, b);
        if (heads != 0)
            return ascending ? heads < 0 : heads > 0;
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
            while (last != run.end && sameHead(*last, *first))
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

QList<qsizetype> rowsOf(const std::vector<TextKey>& sorted, const std::stop_token& stop)
{
    if (stop.stop_requested())
        return {};
    QList<qsizetype> order;
    order.reserve(qsizetype(sorted.size()));
    for (const TextKey& key : sorted)
        order.append(key.row);
    return order;
}

QList<qsizetype> textOrder(qsizetype rowCount, const CellText& cellAt, bool ascending, const QLocale& locale,
                           const std::stop_token& stop)
{
    // Each thread gets its collator (one is not shared between threads); each chunk a buffer for the
    // keys of its rows.
    const int chunks = chunksFor(rowCount);
    std::vector<TextKey> keys(static_cast<size_t>(rowCount));
    std::vector<QByteArray> buffers(static_cast<size_t>(chunks));
    const auto makeCollation = [&locale] { return std::make_unique<TextCollation>(locale); };
    runChunks(chunks, makeCollation, [&](int chunk, const std::unique_ptr<TextCollation>& collation) {
        const qsizetype from = chunkStart(rowCount, chunk);
        const qsizetype to = chunkStart(rowCount, chunk + 1);
        QByteArray& buffer = buffers[size_t(chunk)];
        buffer.reserve((to - from) * 48);
        QByteArray key;
        for (qsizetype row = from; row < to; ++row) {
            if (row % RowsBetweenStopChecks == 0 && stop.stop_requested())
                return;
            if (row + PrefetchDistance < to)
                __builtin_prefetch(cellAt(row + PrefetchDistance).data());
            collation->sortKey(cellAt(row), key);
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
    if (chunks == 1) {
        sortTextKeys(keys.data(), keys.data() + keys.size(), ascending, stop);
        return rowsOf(keys, stop);
    }

    // A big column is cut by the keys of a sample into buckets that follow one another in the
    // order; each chunk puts its keys into their buckets, and the buckets are sorted at once.
    const auto before = [ascending](const TextKey& a, const TextKey& b) {
        return wholeKeyBefore(a, b, ascending);
    };
    const int buckets = std::min(chunks, 4 * std::clamp(QThread::idealThreadCount(), 1, 8));
    std::vector<TextKey> sample;
    const qsizetype sampleSize = std::min<qsizetype>(rowCount, 64 * buckets);
    for (qsizetype i = 0; i < sampleSize; ++i)
        sample.push_back(keys[size_t(i * rowCount / sampleSize)]);
    std::sort(sample.begin(), sample.end(), before);
    std::vector<TextKey> splitters;
    for (int bucket = 1; bucket < buckets; ++bucket)
        splitters.push_back(sample[size_t(bucket * sampleSize / buckets)]);

    std::vector<quint8> bucketOf(keys.size());
    std::vector<std::vector<qsizetype>> counts(size_t(chunks), std::vector<qsizetype>(size_t(buckets), 0));
    runChunks(chunks, [&](int chunk) {
        for (qsizetype i = chunkStart(rowCount, chunk); i < chunkStart(rowCount, chunk + 1); ++i) {
            const auto bucket =
                std::upper_bound(splitters.cbegin(), splitters.cend(), keys[size_t(i)], before);
            bucketOf[size_t(i)] = quint8(bucket - splitters.cbegin());
            ++counts[size_t(chunk)][bucketOf[size_t(i)]];
        }
    });
    // Where each chunk's keys of each bucket go: the buckets one after the other, in each the
    // chunks in turn.
    std::vector<qsizetype> bucketStarts(size_t(buckets) + 1, 0);
    qsizetype offset = 0;
    for (int bucket = 0; bucket < buckets; ++bucket) {
        bucketStarts[size_t(bucket)] = offset;
        for (int chunk = 0; chunk < chunks; ++chunk)
            offset += std::exchange(counts[size_t(chunk)][size_t(bucket)], offset);
    }
    bucketStarts[size_t(buckets)] = offset;
    std::vector<TextKey> sorted(keys.size());
    runChunks(chunks, [&](int chunk) {
        std::vector<qsizetype>& next = counts[size_t(chunk)];
        for (qsizetype i = chunkStart(rowCount, chunk); i < chunkStart(rowCount, chunk + 1); ++i)
            sorted[size_t(next[bucketOf[size_t(i)]]++)] = keys[size_t(i)];
    });
    keys = {};
    runChunks(buckets, [&](int bucket) {
        sortTextKeys(sorted.data() + bucketStarts[size_t(bucket)],
                     sorted.data() + bucketStarts[size_t(bucket) + 1], ascending, stop);
    });
    return rowsOf(sorted, stop);
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
