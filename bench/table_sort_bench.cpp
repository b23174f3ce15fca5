// Sorts a "dabatase.dat" by one of its columns with the sort of the program's lists, from the file
// to the sorted rows, so that it can be timed as a whole process beside coreutils sort:
//   table_sort_bench FILE keyword|date|count [descending] > SORTED
// The rows are read by the rules of the program's table files (lines end at CR, LF or CR LF; a
// line without fields is no row; a line is UTF-8 when each of its fields is, else Windows-1252;
// "§" is a space; equal dates and counts share one text), but only the cells of the column become
// texts: all that a sort needs. The lines are read in parts on all cores at once, as the sort
// itself goes; the rows are written out as they were stored, in their new order.
#include "util/ListSort.h"
#include "util/RowFile.h"
#include "util/TextFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFuture>
#include <QHash>
#include <QThread>
#include <QtConcurrentRun>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

struct Line {
    qsizetype start;
    qsizetype length; // without the line break
};

QList<Line> splitLines(QByteArrayView bytes)
{
    QList<Line> lines;
    lines.reserve(bytes.size() / 48);
    const char* data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype start = 0;
    while (start < size) {
        const auto* lf = static_cast<const char*>(std::memchr(data + start, '\n', size_t(size - start)));
        const char* end = lf ? lf : data + size;
        const auto* cr =
            static_cast<const char*>(std::memchr(data + start, '\r', size_t(end - data - start)));
        const qsizetype length = (cr ? cr : end) - (data + start);
        lines.append({start, length});
        start += length + 1;
        if (cr && start < size && data[start] == '\n')
            ++start;
    }
    return lines;
}

bool isAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) < 0x80; });
}

// Reads the cells of one column from stored lines, one reader per thread.
class CellReader {
public:
    explicit CellReader(int column)
        : m_column(column)
    {
    }

    // The cell of a line, or nothing for a line without fields.
    std::optional<QString> read(QByteArrayView line)
    {
        const std::optional<QByteArrayView> field = fieldOf(line);
        if (!field)
            return std::nullopt;
        // ASCII reads the same in both encodings, whichever the line's is.
        if (isAscii(*field))
            return m_column == 0 ? QString::fromLatin1(*field) : pooled(*field);
        const qsizetype from = field->data() - line.data();
        QString text;
        if (!DecodeRowField(*field, true, text) || !IsValidUtf8(line.first(from)) ||
            !IsValidUtf8(line.sliced(from + field->size())))
            DecodeRowField(*field, false, text);
        return text;
    }

private:
    // The column's field of a line as SplitRowLine splits it (empty when the line has fewer), or
    // nothing for a line without fields.
    std::optional<QByteArrayView> fieldOf(QByteArrayView line)
    {
        if (line.isEmpty())
            return std::nullopt;
        qsizetype start = 0;
        QByteArrayView field;
        for (int column = 0;; ++column) {
            const qsizetype bar = line.indexOf('|', start);
            const qsizetype stop = bar < 0 ? line.size() : bar;
            if (column == m_column || bar < 0) {
                if (column == m_column)
                    field = line.sliced(start, stop - start);
                start = stop;
                break;
            }
            start = bar + 1;
        }
        // The lines the program writes hold no blanks (a space is stored as "§"): their fields are
        // what lies between the "|"s. Other lines are split as the program splits them; a split
        // goes from left to right, so the line up to the column's end is enough.
        const QByteArrayView part = line.first(start);
        if (std::none_of(part.begin(), part.end(), [](char c) { return uchar(c) - 1u < 32u; }))
            return field;
        SplitRowLine(part, m_fields);
        if (m_fields.isEmpty() &&
            std::all_of(line.begin(), line.end(), [](char c) { return uchar(c) - 1u < 32u; }))
            return std::nullopt;
        return m_column < m_fields.size() ? m_fields[m_column] : QByteArrayView();
    }

    // Dates and counts repeat: equal ones share a text, as in the program's table.
    QString pooled(QByteArrayView field)
    {
        const QByteArray key = QByteArray::fromRawData(field.data(), field.size());
        if (const auto known = m_pool.constFind(key); known != m_pool.cend())
            return known.value();
        const QString text = QString::fromLatin1(field);
        if (m_pool.size() < 65536)
            m_pool.insert(field.toByteArray(), text);
        return text;
    }

    int m_column;
    QList<QByteArrayView> m_fields;
    QHash<QByteArray, QString> m_pool;
};

bool writeAll(QByteArrayView bytes)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t step = ::write(STDOUT_FILENO, bytes.data() + written, size_t(bytes.size() - written));
        if (step <= 0)
            return false;
        written += step;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QStringList columns{QStringLiteral("keyword"), QStringLiteral("date"), QStringLiteral("count")};
    const int column = args.size() >= 3 ? int(columns.indexOf(args[2])) : -1;
    if (column < 0 || args.size() > 4 || (args.size() == 4 && args[3] != QStringLiteral("descending"))) {
        std::fprintf(stderr, "usage: table_sort_bench FILE keyword|date|count [descending] > SORTED\n");
        return 2;
    }
    // The generated dates are US English date-times; texts are collated as in the US.
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const SortKind kinds[] = {SortKind::Text, SortKind::DateTime, SortKind::Number};

    QFile file(args[1]);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    const uchar* mapped = file.size() > 0 ? file.map(0, file.size()) : nullptr;
    const QByteArrayView bytes(reinterpret_cast<const char*>(mapped), mapped ? file.size() : 0);
    QList<Line> lines = splitLines(bytes);

    // Each thread reads a part of the lines into their cells; a line without fields is marked.
    QList<QString> cells(lines.size());
    QString* cell = cells.data();
    Line* line = lines.data();
    std::atomic<bool> withoutFields = false;
    const auto readPart = [&](qsizetype from, qsizetype to) {
        CellReader reader(column);
        for (qsizetype i = from; i < to; ++i) {
            std::optional<QString> text = reader.read(bytes.sliced(line[i].start, line[i].length));
            if (text) {
                cell[i] = std::move(*text);
            } else {
                line[i].length = -1;
                withoutFields = true;
            }
        }
    };
    const qsizetype parts = std::max(1, QThread::idealThreadCount());
    std::vector<QFuture<void>> others;
    for (qsizetype part = 1; part < parts; ++part)
        others.push_back(
            QtConcurrent::run(readPart, lines.size() * part / parts, lines.size() * (part + 1) / parts));
    readPart(0, lines.size() / parts);
    for (QFuture<void>& other : others)
        other.waitForFinished();
    // The rows: the lines with fields.
    if (withoutFields) {
        qsizetype kept = 0;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i].length >= 0) {
                cells[kept] = std::move(cells[i]);
                lines[kept++] = lines[i];
            }
        }
        cells.resize(kept);
        lines.resize(kept);
    }

    const QList<qsizetype> order = SortedRowOrder(
        cells.size(), [&cells](qsizetype row) { return QStringView(cells[row]); }, kinds[column],
        args.size() == 3, us);

    // The lines lie all over the file in their new order: each is fetched a few lines ahead, and
    // where it lies a few more ahead. They go
    // out a block at a time, through a buffer that stays in the cache.
    constexpr qsizetype BlockSize = 1 << 20;
    const std::unique_ptr<char[]> block(new char[size_t(BlockSize)]);
    qsizetype used = 0;
    bool written = true;
    for (qsizetype i = 0; i < order.size() && written; ++i) {
        if (i + 32 < order.size())
            __builtin_prefetch(&lines[order[i + 32]]);
        if (i + 16 < order.size())
            __builtin_prefetch(bytes.data() + lines[order[i + 16]].start);
        const Line& line = lines[order[i]];
        if (used + line.length + 2 > BlockSize) {
            written = writeAll(QByteArrayView(block.get(), used));
            used = 0;
        }
        if (line.length + 2 > BlockSize) {
            written = written && writeAll(bytes.sliced(line.start, line.length)) && writeAll("\r\n");
            continue;
        }
        std::memcpy(block.get() + used, bytes.data() + line.start, size_t(line.length));
        std::memcpy(block.get() + used + line.length, "\r\n", 2);
        used += line.length + 2;
    }
    // What was read goes with the process, as with any program that ends here.
    std::_Exit(written && writeAll(QByteArrayView(block.get(), used)) ? 0 : 1);
}
