#include "net/Refusal.h"

bool IsRefusal(int statusCode, const QByteArray& body, const QUrl& finalUrl)
{
    if (statusCode == 429 || finalUrl.path().startsWith(QLatin1String("/sorry/")))
        return true;
    if (statusCode != 403 && statusCode != 503)
        return false;
    // A plain 403 or 503 may be a fault of the service; only a challenge page is a refusal.
    const QByteArray lower = body.toLower();
    return lower.contains("captcha") || lower.contains("unusual traffic");
}
