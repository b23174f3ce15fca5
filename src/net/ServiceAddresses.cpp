#include "net/ServiceAddresses.h"

QString GoogleWebHost()
{
    const QString host = qEnvironmentVariable("QUILLORY_GOOGLE_HOST").trimmed();
    return host.isEmpty() ? QStringLiteral("www.google.com") : host;
}

QString UpdateBaseUrl()
{
    const QString url = qEnvironmentVariable("QUILLORY_UPDATE_URL").trimmed();
    if (url.isEmpty())
        return QStringLiteral("http://update.quillory.app/liveupdate/quillory/");
    return url.endsWith(u'/') ? url : url + u'/';
}
