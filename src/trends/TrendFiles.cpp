#include "trends/TrendFiles.h"

#include "util/RowFile.h"
#include "util/TaggedValue.h"
#include "util/TextFile.h"

#include <QFile>
#include <QHash>

#include <algorithm>
#include <cstring>

namespace {

const QString LastParsedTag = QStringLiteral("LastParsed");

// Date and count texts repeat across rows (every row of one scrape has the same date), so equal
// texts share one string: a million rows then cost a million keywords, not three million texts.
class TextPool {
public:
    explicit TextPool(bool utf8)
        : m_utf8(utf8)
    {
    }

    std::optional<QString> get(QByteArrayView stored)
    {
        // A key that borrows the bytes, so that a lookup allocates nothing.
        const QByteArray key = QByteArray::fromRawData(stored.data(), stored.size());
        const auto known = m_shown.constFind(key);
        if (known != m_shown.cend())
            return known.value();
        std::optional<QString> shown = DecodeRowField(stored, m_utf8);
        if (shown && m_shown.size() < MaxTexts)
            m_shown.insert(stored.toByteArray(), *shown);
        return shown;
    }

private:
    static constexpr qsizetype MaxTexts = 65536;
    bool m_utf8;
    QHash<QByteArray, QString> m_shown; // stored bytes (with "§") -> shown text
};

} // namespace

namespace {

// Where the line that starts at `start` ends: at CR, LF or the end of the data.
qsizetype lineEnd(const char* data, qsizetype start, qsizetype size)
{
    const char* from = data + start;
    const auto* lf = static_cast<const char*>(std::memchr(from, '\n', size_t(size - start)));
    const char* end = lf ? lf : data + size;
    const auto* cr = static_cast<const char*>(std::memchr(from, '\r', size_t(end - from)));
    return (cr ? cr : end) - data;
}

// The rows of the file read in one encoding; nothing when a field is not valid UTF-8 where UTF-8
// was assumed.
std::optional<TrendRows> parseTrendTable(QByteArrayView bytes, bool utf8)
{
    TrendRows rows;
    // Room for the rows of many scrapes to come, so that the first one does not move the table.
    const qsizetype lines = std::count(bytes.begin(), bytes.end(), '\n') + 1;
    rows.reserve(lines + lines / 8 + 1024);
    TextPool dates(utf8);
    TextPool counts(utf8);
    QList<QByteArrayView> fields;
    const char* data = bytes.data();
    const qsizetype n = bytes.size();
    qsizetype start = 0;
    while (start < n) {
        const qsizetype end = lineEnd(data, start, n);
        SplitRowLine(bytes.sliced(start, end - start), fields);
        if (!fields.isEmpty()) {
            std::optional<QString> keyword = DecodeRowField(fields[0], utf8);
            std::optional<QString> date = fields.size() > 1 ? dates.get(fields[1]) : QString();
            std::optional<QString> count = fields.size() > 2 ? counts.get(fields[2]) : QString();
            if (!keyword || !date || !count)
                return std::nullopt;
            rows.append({std::move(*keyword), std::move(*date), std::move(*count)});
        }
        start = end + 1;
        if (end + 1 < n && bytes[end] == '\r' && bytes[end + 1] == '\n')
            ++start;
    }
    return rows;
}

} // namespace

TrendRows ParseTrendTable(QByteArrayView bytes)
{
    // Fields are decoded one by one from the file's bytes, so a big table never exists as one
    // text. Files of older versions are Windows-1252, which shows as bytes that are not UTF-8.
    if (std::optional<TrendRows> rows = parseTrendTable(bytes, true))
        return std::move(*rows);
    return *parseTrendTable(bytes, false);
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
