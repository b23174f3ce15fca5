#include "trends/TrendFiles.h"

#include "util/DateTimeTextReader.h"
#include "util/RowFile.h"
#include "util/TaggedValue.h"
#include "util/TextFile.h"

#include <QFile>

#include <algorithm>
#include <optional>

namespace {

const QString LastParsedTag = QStringLiteral("LastParsed");

// Appends the rows of a table file's lines to `rows`, decoding each line's cells into strings it
// reuses, so that a row costs no allocation beyond its place among the rows.
class TrendLineReader {
public:
    explicit TrendLineReader(TrendRows& rows)
        : m_rows(rows)
    {
    }

    void read(QByteArrayView line)
    {
        SplitRowLine(line, m_fields);
        if (m_fields.isEmpty())
            return;
        // A line of an older version is Windows-1252, which shows as bytes that are not UTF-8.
        if (!decode(true))
            decode(false);
        m_rows.append({m_cells[0], m_cells[1], m_cells[2]});
    }

private:
    // The first three fields into m_cells; false when UTF-8 was assumed and the line is not UTF-8.
    // Separators are ASCII, so the line is UTF-8 exactly when each of its fields is.
    bool decode(bool utf8)
    {
        for (qsizetype i = 0; i < 3; ++i) {
            if (i >= m_fields.size())
                m_cells[i].clear();
            else if (!DecodeRowField(m_fields[i], utf8, m_cells[i]))
                return false;
        }
        // Fields after the third are not kept, but they have their say on the line's encoding too.
        const auto rest = m_fields.begin() + std::min<qsizetype>(3, m_fields.size());
        return !utf8 || std::all_of(rest, m_fields.end(), IsValidUtf8);
    }

    TrendRows& m_rows;
    QList<QByteArrayView> m_fields;
    QString m_cells[3];
};

void appendTrendLine(QString& text, const TrendRows& rows, qsizetype row)
{
    AppendRowLine(text, {rows.keyword(row), rows.date(row), rows.count(row)});
    text += QLatin1String("\r\n");
}

} // namespace

TrendRows ParseTrendTable(QByteArrayView bytes)
{
    TrendRows rows;
    TrendLineReader reader(rows);
    ForEachRowLine(bytes, [&reader](QByteArrayView line) { reader.read(line); });
    return rows;
}

TrendTableRead ReadTrendTable(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return {{}, file.errorString()};
    TrendTableRead read;
    // Room for the rows the file likely holds (they take some 50 bytes a line) and those of many
    // scrapes to come, so that the list seldom moves.
    read.rows.reserve(file.size() / 40 + 1024);
    TrendLineReader reader(read.rows);
    if (!ForEachRowLine(file, [&reader](QByteArrayView line) { reader.read(line); }))
        read.error = file.errorString();
    return read;
}

QString WriteTrendTable(const QString& path, const TrendRows& rows)
{
    AtomicTextFileWriter writer(path);
    for (qsizetype row = 0; row < rows.size(); ++row) {
        appendTrendLine(writer.text(), rows, row);
        writer.flushIfFull();
    }
    return writer.commit();
}

QString ReadLastParsedText(const QString& path)
{
    QString text = JoinLinesCrLf(SplitLines(ReadTextFile(path).text));
    return ReadTaggedValue(LastParsedTag, text);
}

QString WriteLastParsed(const QString& path, const QString& dateTimeText)
{
    return WriteTextFileAtomic(path, TaggedValue(LastParsedTag, dateTimeText) + QLatin1String("\r\n"));
}

std::optional<QDateTime> NewestDateTime(const TrendRows& rows, const QLocale& locale)
{
    // A million distinct date-times read in a fraction of a second with the compiled forms; the
    // texts the reader leaves to QLocale it reads once each.
    const DateTimeTextReader reader(locale);
    qsizetype newest = -1;
    qint64 newestMsecs = 0;
    for (qsizetype row = 0; row < rows.size(); ++row) {
        const std::optional<qint64> msecs = reader.msecsSinceZero(rows.date(row));
        if (msecs && (newest < 0 || *msecs > newestMsecs)) {
            newest = row;
            newestMsecs = *msecs;
        }
    }
    return newest >= 0 ? reader.read(rows.date(newest)) : std::nullopt;
}
