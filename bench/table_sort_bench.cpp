// Sorts a "dabatase.dat" by one of its columns with the sort of the program's lists, from the file
// to the sorted rows, so that it can be timed as a whole process beside coreutils sort:
//   table_sort_bench FILE keyword|date|count [descending] > SORTED
// Each line is read by the program's rules (UTF-8 when the line is valid UTF-8, else
// Windows-1252; fields end at "|"; "§" is a space), but only the cells of the column become texts:
// what a sort needs. The lines are read in parts on all cores at once, as the sort does; the rows
// are written back as they were stored, in the new order.
#include "util/ListSort.h"
#include "util/RowFile.h"
#include "util/TextFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFuture>
#include <QThread>
#include <QtConcurrentRun>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
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
    qsizetype start = 0;
    while (start < bytes.size()) {
        const auto* lf =
            static_cast<const char*>(std::memchr(data + start, '\n', size_t(bytes.size() - start)));
        const qsizetype end = lf ? lf - data : bytes.size();
        qsizetype length = end - start;
        if (length > 0 && data[start + length - 1] == '\r')
            --length;
        lines.append({start, length});
        start = end + 1;
    }
    return lines;
}

// The text of the cell in `column` of a stored line.
QString cellOf(QByteArrayView line, int column, QList<QByteArrayView>& fields)
{
    SplitRowLine(line, fields);
    const QByteArrayView field = column < fields.size() ? fields[column] : QByteArrayView();
    // Text in ASCII reads the same in both encodings: the line's own does not matter then.
    if (std::all_of(field.begin(), field.end(), [](char c) { return uchar(c) < 0x80; }))
        return QString::fromLatin1(field);
    return DecodeRowField(field, IsValidUtf8(line)).value_or(QString());
}

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
    const QList<Line> lines = splitLines(bytes);

    QList<QString> cells(lines.size());
    QString* cell = cells.data();
    const auto readPart = [&](qsizetype from, qsizetype to) {
        QList<QByteArrayView> fields;
        for (qsizetype i = from; i < to; ++i)
            cell[i] = cellOf(bytes.sliced(lines[i].start, lines[i].length), column, fields);
    };
    const qsizetype parts = std::max(1, QThread::idealThreadCount());
    std::vector<QFuture<void>> others;
    for (qsizetype part = 1; part < parts; ++part)
        others.push_back(
            QtConcurrent::run(readPart, lines.size() * part / parts, lines.size() * (part + 1) / parts));
    readPart(0, lines.size() / parts);
    for (QFuture<void>& other : others)
        other.waitForFinished();

    const QList<qsizetype> order = SortedRowOrder(
        cells.size(), [&cells](qsizetype row) { return &cells[row]; }, kinds[column], args.size() == 3, us);

    // The lines lie all over the file in the new order: each is fetched a few lines ahead.
    const qsizetype size = bytes.size() + 2 * lines.size();
    const std::unique_ptr<char[]> out(new char[size_t(size)]);
    qsizetype used = 0;
    for (qsizetype i = 0; i < order.size(); ++i) {
        if (i + 8 < order.size())
            __builtin_prefetch(bytes.data() + lines[order[i + 8]].start);
        const Line& line = lines[order[i]];
        std::memcpy(out.get() + used, bytes.data() + line.start, size_t(line.length));
        std::memcpy(out.get() + used + line.length, "\r\n", 2);
        used += line.length + 2;
    }
    // What was read goes with the process, as with any program that ends here.
    std::_Exit(writeAll(QByteArrayView(out.get(), used)) ? 0 : 1);
}
