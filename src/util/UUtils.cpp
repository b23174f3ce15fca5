#include "util/UUtils.h"

#include "util/TextFile.h"

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

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

} // namespace

QString DecodeDollarHex(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != u'$') {
            qsizetype plainEnd = text.indexOf(u'$', i);
            if (plainEnd < 0)
                plainEnd = text.size();
            bytes += QStringView(text).mid(i, plainEnd - i).toUtf8();
            i = plainEnd;
            continue;
        }
        const QStringView digits = QStringView(text).mid(i + 1, 2);
        if (digits.isEmpty())
            return {};
        int value = 0;
        for (const QChar digit : digits) {
            const int v = hexValue(digit);
            if (v < 0)
                return {};
            value = value * 16 + v;
        }
        bytes += char(value);
        i += 1 + digits.size();
    }
    return DecodeText(bytes);
}
