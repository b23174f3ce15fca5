#include "trends/TrendFiles.h"

#include "util/RowFile.h"
#include "util/TaggedValue.h"
#include "util/TextFile.h"

#include <array>

namespace {

const QString LastParsedTag = QStringLiteral("LastParsed");

// Date and count texts repeat across rows (every row of one scrape has the same date), so equal
// texts share one string: a million rows then cost a million keywords, not three million texts.
class TextPool {
public:
    QString get(QStringView stored)
    {
        for (const auto& [known, text] : m_recent) {
            if (known == stored)
                return text;
        }
        QString text = RestoreSpaces(stored);
        m_recent[m_next] = {stored.toString(), text};
        m_next = (m_next + 1) % m_recent.size();
        return text;
    }

private:
    std::array<std::pair<QString, QString>, 32> m_recent; // as stored, as shown
    size_t m_next = 0;
};

} // namespace

TrendRows ParseTrendTable(QStringView text)
{
    TrendRows rows;
    TextPool dates;
    TextPool counts;
    const qsizetype n = text.size();
    qsizetype start = 0;
    while (start < n) {
        qsizetype end = start;
        while (end < n && text[end] != u'\r' && text[end] != u'\n')
            ++end;
        const QList<QStringView> fields = SplitRowLine(text.mid(start, end - start));
        if (!fields.isEmpty()) {
            rows.append({RestoreSpaces(fields[0]), fields.size() > 1 ? dates.get(fields[1]) : QString(),
                         fields.size() > 2 ? counts.get(fields[2]) : QString()});
        }
        start = end + 1;
        if (end + 1 < n && text[end] == u'\r' && text[end + 1] == u'\n')
            ++start;
    }
    return rows;
}

QString FormatTrendTable(const TrendRows& rows)
{
    QString text;
    qsizetype size = 0;
    for (const TrendRecord& row : rows)
        size += row.keyword.size() + row.date.size() + row.count.size() + 5;
    text.reserve(size);
    for (const TrendRecord& row : rows) {
        AppendRowLine(text, {row.keyword, row.date, row.count});
        text += u"\r\n";
    }
    return text;
}

TrendTableRead ReadTrendTable(const QString& path)
{
    const FileReadResult file = ReadTextFile(path);
    return {ParseTrendTable(file.text), file.error};
}

QString WriteTrendTable(const QString& path, const TrendRows& rows)
{
    return WriteTextFileAtomic(path, FormatTrendTable(rows));
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
