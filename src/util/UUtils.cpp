#include "util/UUtils.h"

#include "util/HexDigit.h"
#include "util/TextFile.h"

#include <optional>

void SplitByChar(QChar separator, const QString& text, QStringList& list)
{
    list.clear();
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == separator) {
            list.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    if (start < text.size())
        list.append(text.mid(start));
}

namespace {

// The byte that the one or two hexadecimal digits after a "$" stand for; nothing when there is no
// digit or a character that is not one.
std::optional<char> escapedByte(QStringView digits)
{
    if (digits.isEmpty())
        return std::nullopt;
    int value = 0;
    for (const QChar digit : digits) {
        const int v = HexDigitValue(digit.unicode());
        if (v < 0)
            return std::nullopt;
        value = value * 16 + v;
    }
    return char(value);
}

} // namespace

QString DecodeDollarHex(const QString& text)
{
    const QStringView input(text);
    QString result;
    result.reserve(input.size());
    qsizetype i = 0;
    while (i < input.size()) {
        if (input[i] != u'$') {
            qsizetype plainEnd = input.indexOf(u'$', i);
            if (plainEnd < 0)
                plainEnd = input.size();
            result += input.sliced(i, plainEnd - i);
            i = plainEnd;
            continue;
        }
        // A run of escapes is one piece of text in bytes, so "$C3$A9" is the UTF-8 of one letter.
        QByteArray bytes;
        while (i < input.size() && input[i] == u'$') {
            const QStringView digits = input.mid(i + 1, 2);
            const std::optional<char> byte = escapedByte(digits);
            if (!byte)
                return {};
            bytes += *byte;
            i += 1 + digits.size();
        }
        result += DecodeText(bytes);
    }
    return result;
}
