#include "net/PageText.h"

#include "util/TextFile.h"

QString PageTextFromBody(QByteArrayView body)
{
    const qsizetype zero = body.indexOf('\0');
    if (zero >= 0)
        body = body.first(zero);
    return JoinLinesCrLf(SplitLines(DecodeText(body)));
}
