#include "net/CookieStore.h"

#include "net/HttpResponseParser.h"

#include <QNetworkCookie>

void CookieStore::storeFromResponse(const QUrl& url, const HttpResponseHead& head)
{
    QList<QNetworkCookie> cookies;
    for (const HttpHeader& header : head.headers) {
        if (header.name.compare("Set-Cookie", Qt::CaseInsensitive) == 0 ||
            header.name.compare("Set-Cookie2", Qt::CaseInsensitive) == 0)
            cookies += QNetworkCookie::parseCookies(header.value);
    }
    if (!cookies.isEmpty())
        setCookiesFromUrl(cookies, url);
}

QByteArray CookieStore::cookieHeaderFor(const QUrl& url) const
{
    QByteArrayList pairs;
    for (const QNetworkCookie& cookie : cookiesForUrl(url))
        pairs.append(cookie.toRawForm(QNetworkCookie::NameAndValueOnly));
    return pairs.join("; ");
}
