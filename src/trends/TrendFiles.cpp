#include "trends/TrendFiles.h"

#include "util/DateTimeTextReader.h"
#include "util/RowFile.h"
#include "util/TaggedValue.h"
#include "util/TextFile.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

const QString LastParsedTag = QStringLiteral("LastParsed");

// Date and count texts repeat across rows (every row of one scrape has the same date), so equal
// texts share one string: a million rows then cost a million keywords, not three million texts.
// The same bytes read otherwise in a UTF-8 line than in a Windows-1252 line, so each encoding
// keeps its own texts.
class TextPool {
public:
    // Nothing when the bytes are not UTF-8 where UTF-8 was assumed.
    std::optional<QString> get(QByteArrayView stored, bool utf8)
    {
        QHash<QByteArray, QString>& shown = m_shown[utf8 ? 1 : 0];
        // A full pool means texts that hardly repeat (a table of distinct date-times): looking
        // each one up would only cost time.
        if (shown.size() >= MaxTexts)
            return DecodeRowField(stored, utf8);
        // A key that borrows the bytes, so that a lookup allocates nothing.
        const QByteArray key = QByteArray::fromRawData(stored.data(), stored.size());
        const auto known = shown.constFind(key);
        if (known != shown.cend())
            return known.value();
        std::optional<QString> text = DecodeRowField(stored, utf8);
        if (text && shown.size() < MaxTexts)
            shown.insert(stored.toByteArray(), *text);
        return text;
    }

private:
    static constexpr qsizetype MaxTexts = 65536;
    QHash<QByteArray, QString> m_shown[2]; // Windows-1252, UTF-8: stored bytes (with "§") -> shown text
};

// Where the line that starts at `start` ends: at CR, LF or the end of the data.
qsizetype lineEnd(const char* data, qsizetype start, qsizetype size)
{
    const char* from = data + start;
    const auto* lf = static_cast<const char*>(std::memchr(from, '\n', size_t(size - start)));
    const char* end = lf ? lf : data + size;
    const auto* cr = static_cast<const char*>(std::memchr(from, '\r', size_t(end - from)));
    return (cr ? cr : end) - data;
}

} // namespace

namespace {

// The row of a line's fields read in one encoding; nothing when UTF-8 was assumed and the line is
// not UTF-8. Separators are ASCII, so the line is UTF-8 exactly when each of its fields is.
std::optional<TrendRecord> readRow(const QList<QByteArrayView>& fields, bool utf8, TextPool& dates,
                                   TextPool& counts)
{
    std::optional<QString> keyword = DecodeRowField(fields[0], utf8);
    std::optional<QString> date = fields.size() > 1 ? dates.get(fields[1], utf8) : QString();
    std::optional<QString> count = fields.size() > 2 ? counts.get(fields[2], utf8) : QString();
    // Fields after the third are not kept, but they have their say on the line's encoding too.
    const auto rest = fields.begin() + std::min<qsizetype>(3, fields.size());
    if (!keyword || !date || !count || (utf8 && !std::all_of(rest, fields.end(), IsValidUtf8)))
        return std::nullopt;
    return TrendRecord{std::move(*keyword), std::move(*date), std::move(*count)};
}

} // namespace

TrendRows ParseTrendTable(QByteArrayView bytes)
{
    // Fields are decoded one by one from the file's bytes, so a big table never exists as one text.
    TrendRows rows;
    // Room for the rows of many scrapes to come, so that the first one does not move the table.
    const qsizetype lines = std::count(bytes.begin(), bytes.end(), '\n') + 1;
    rows.reserve(lines + lines / 8 + 1024);
    TextPool dates;
    TextPool counts;
    QList<QByteArrayView> fields;
    const char* data = bytes.data();
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    while (start < n) {
        const qsizetype end = lineEnd(data, start, n);
        SplitRowLine(bytes.sliced(start, end - start), fields);
        if (!fields.isEmpty()) {
            // A line of an older version is Windows-1252, which shows as bytes that are not UTF-8.
            std::optional<TrendRecord> row = readRow(fields, true, dates, counts);
            rows.append(row ? std::move(*row) : *readRow(fields, false, dates, counts));
        }
        start = end + 1;
        if (end + 1 < n && bytes[end] == '\r' && bytes[end + 1] == '\n')
            ++start;
    }
    return rows;
}

namespace {

void appendTrendLine(QString& text, const TrendRecord& row)
{
    AppendRowLine(text, {row.keyword, row.date, row.count});
    text += QLatin1String("\r\n");
}

} // namespace

TrendTableRead ReadTrendTable(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return {{}, file.errorString()};
    // Mapped rather than read: a big table is parsed straight from the file's pages.
    if (const uchar* mapped = file.map(0, file.size()))
        return {ParseTrendTable(QByteArrayView(mapped, file.size())), {}};
    return {ParseTrendTable(file.readAll()), {}};
}

QString WriteTrendTable(const QString& path, const TrendRows& rows)
{
    AtomicTextFileWriter writer(path);
    for (const TrendRecord& row : rows) {
        appendTrendLine(writer.text(), row);
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
    const QString* newest = nullptr;
    qint64 newestMsecs = 0;
    for (const TrendRecord& row : rows) {
        const std::optional<qint64> msecs = reader.msecsSinceZero(row.date);
        if (msecs && (!newest || *msecs > newestMsecs)) {
            newest = &row.date;
            newestMsecs = *msecs;
        }
    }
    return newest ? reader.read(*newest) : std::nullopt;
}
