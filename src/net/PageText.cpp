#include "net/PageText.h"

#include "util/TextFile.h"

#include <QStringDecoder>

namespace {

// The charset parameter of a Content-Type value, in lower case; empty when there is none.
QByteArray CharsetOf(QByteArrayView contentType)
{
    const QList<QByteArray> parts = contentType.toByteArray().split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray parameter = parts[i].trimmed();
        const qsizetype equals = parameter.indexOf('=');
        if (equals < 0 || parameter.left(equals).trimmed().toLower() != "charset")
            continue;
        QByteArray value = parameter.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
            value = value.mid(1, value.size() - 2);
        return value.toLower();
    }
    return {};
}

bool IsWindows1252Label(const QByteArray& charset)
{
    static const QList<QByteArray> labels = {"iso-8859-1", "iso8859-1",    "latin1", "l1",      "us-ascii",
                                             "ascii",      "windows-1252", "cp1252", "x-cp1252"};
    return labels.contains(charset);
}

} // namespace

QString PageTextFromBody(QByteArrayView body)
{
    const qsizetype zero = body.indexOf('\0');
    if (zero >= 0)
        body = body.first(zero);
    return JoinLinesCrLf(SplitLines(DecodeText(body)));
}

QString BodyText(QByteArrayView body, QByteArrayView contentType)
{
    const QByteArray charset = CharsetOf(contentType);
    if (charset == "utf-8" || charset == "utf8")
        return QString::fromUtf8(body);
    if (IsWindows1252Label(charset))
        return DecodeWindows1252(body);
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid())
            return decoder.decode(body);
    }
    return DecodeText(body);
}
