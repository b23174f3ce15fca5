#include "util/CutBetween.h"

#include <algorithm>

namespace {

char16_t asciiUpper(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? char16_t(c - (u'a' - u'A')) : c;
}

} // namespace

qsizetype IndexOfAsciiCaseless(QStringView haystack, QStringView needle, qsizetype from)
{
    const qsizetype last = haystack.size() - needle.size();
    if (needle.isEmpty())
        return from <= haystack.size() ? from : -1;
    const char16_t first = asciiUpper(needle.front().unicode());
    for (qsizetype i = from; i <= last; ++i) {
        if (asciiUpper(haystack[i].unicode()) != first)
            continue;
        qsizetype k = 1;
        while (k < needle.size() && asciiUpper(haystack[i + k].unicode()) == asciiUpper(needle[k].unicode()))
            ++k;
        if (k == needle.size())
            return i;
    }
    return -1;
}

ForwardMarker::ForwardMarker(QStringView text, QStringView marker, LetterCase letterCase)
    : m_text(text)
    , m_marker(marker)
    , m_letterCase(letterCase)
{
}

qsizetype ForwardMarker::nextFrom(qsizetype from)
{
    Q_ASSERT(from >= m_lastFrom);
    m_lastFrom = from;
    // An answer at or after `from` still holds, and so does "none": nothing lies before it.
    if (m_found == NotSearched || (m_found >= 0 && m_found < from)) {
        m_found = m_letterCase == LetterCase::Exact ? m_text.indexOf(m_marker, from)
                                                    : IndexOfAsciiCaseless(m_text, m_marker, from);
    }
    return m_found;
}

QStringView CutCursor::cut(ForwardMarker& start, ForwardMarker& end, int skip)
{
    const qsizetype startAt = start.nextFrom(m_position);
    if (startAt < 0)
        return {};
    // The working text loses everything up to the start marker and `skip` characters more (a
    // negative skip drops nothing more).
    m_position = std::clamp(startAt + start.size() + skip, m_position, m_text.size());

    const qsizetype endAt = end.nextFrom(m_position);
    const QStringView value =
        endAt > m_position ? m_text.sliced(m_position, endAt - m_position) : QStringView();
    // It then starts at the end marker (shifted by skip); with no end marker it stays as it is.
    const qsizetype keepFrom =
        endAt >= 0 ? std::max(m_position, endAt + skip) : m_position + std::max(0, skip - 1);
    m_position = std::min(m_text.size(), keepFrom);
    return value;
}

QString CutBetween(QStringView startMarker, QStringView endMarker, int skip, QString& workingText)
{
    CutCursor cursor(workingText);
    ForwardMarker start(workingText, startMarker);
    ForwardMarker end(workingText, endMarker);
    const QString value = cursor.cut(start, end, skip).toString();
    workingText.remove(0, cursor.position());
    return value;
}
