#include "trends/TrendFiles.h"

#include "util/DateTimeTextReader.h"
#include "util/RowFile.h"
#include "util/TaggedValue.h"
#include "util/TextFile.h"

#include <QFileInfo>

#include <algorithm>
#include <optional>
#include <vector>

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
        if (readPlain(line))
            return;
        SplitRowLine(line, m_fields);
        if (m_fields.isEmpty())
            return;
        // A line of an older version is Windows-1252, which shows as bytes that are not UTF-8.
        if (!decode(true))
            decode(false);
        m_rows.append({m_cells[0], m_cells[1], m_cells[2]});
    }

private:
    // Most lines hold only printable ASCII and "§" (the stored space): such a line is split and
    // decoded in one pass, into one buffer, as SplitRowLine and DecodeRowField would do it (without
    // blanks, fields are what lies between the "|"). False for any other line, which the general
    // way then reads.
    bool readPlain(QByteArrayView line)
    {
        if (qsizetype(m_plain.size()) < line.size())
            m_plain.resize(size_t(line.size()));
        char16_t* const start = m_plain.data();
        char16_t* out = start;
        // Fields follow each other in the buffer (the "|" are not written): field f runs from
        // ends[f - 1] (0 for the first) to ends[f]. Fields after the third are checked, not kept.
        qsizetype ends[3] = {};
        int field = 0;
        const auto* bytes = reinterpret_cast<const uchar*>(line.data());
        const qsizetype n = line.size();
        for (qsizetype i = 0; i < n; ++i) {
            const uchar byte = bytes[i];
            if (byte == '|') {
                if (field < 3)
                    ends[field] = out - start;
                ++field;
            } else if (byte > 32 && byte < 0x7F) {
                if (field < 3)
                    *out++ = byte;
            } else if (byte == 0xC2 && i + 1 < n && bytes[i + 1] == 0xA7) {
                if (field < 3)
                    *out++ = u' ';
                ++i;
            } else {
                return false;
            }
        }
        for (int missing = field; missing < 3; ++missing)
            ends[missing] = out - start; // the last field, then empty ones
        const auto cell = [&](int index) {
            const qsizetype from = index == 0 ? 0 : ends[index - 1];
            return QStringView(start + from, ends[index] - from);
        };
        m_rows.append({cell(0), cell(1), cell(2)});
        return true;
    }

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
    std::vector<char16_t> m_plain;
    QList<QByteArrayView> m_fields;
    QString m_cells[3];
};

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
    TrendTableRead read;
    // Room for the rows the file likely holds (they take some 50 bytes a line) and those of many
    // scrapes to come, so that the list seldom moves.
    read.rows.reserve(QFileInfo(path).size() / 40 + 1024);
    TrendLineReader reader(read.rows);
    read.error = ReadRowFile(path, [&reader](QByteArrayView line) { reader.read(line); });
    return read;
}

QString WriteTrendTable(const QString& path, const TrendRows& rows)
{
    return WriteRowFile(path, rows);
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
