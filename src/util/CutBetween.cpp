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

QString CutBetween(QStringView startMarker, QStringView endMarker, int skip, QString& workingText)
{
    const qsizetype start = IndexOfAsciiCaseless(workingText, startMarker);
    if (start < 0)
        return {};
    workingText.remove(0, std::min(workingText.size(), start + startMarker.size() + skip));

    const qsizetype end = IndexOfAsciiCaseless(workingText, endMarker);
    const QString value = end > 0 ? workingText.left(end) : QString();
    // The text stays from the end marker on (shifted by skip); with no end marker it stays whole.
    const qsizetype keepFrom = end >= 0 ? std::max<qsizetype>(0, end + skip) : std::max(0, skip - 1);
    workingText.remove(0, std::min(workingText.size(), keepFrom));
    return value;
}
