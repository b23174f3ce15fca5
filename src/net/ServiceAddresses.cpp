#include "net/ServiceAddresses.h"

QString GoogleWebHost()
{
    const QString host = qEnvironmentVariable("QUILLORY_GOOGLE_HOST").trimmed();
    return host.isEmpty() ? QStringLiteral("www.google.com") : host;
}
