#pragma once

#include <QNetworkCookie>
#include <QNetworkCookieJar>

struct HttpResponseHead;

// The cookies of one client, kept in memory for the life of the process: taken from responses,
// tied to the URL that was asked for, and sent back to the URLs they match.
class CookieStore : public QNetworkCookieJar {
    Q_OBJECT
public:
    using QNetworkCookieJar::QNetworkCookieJar;

    // Keeps the cookies of the response's Set-Cookie and Set-Cookie2 lines.
    void storeFromResponse(const QUrl& url, const HttpResponseHead& head);
    // "name=value; name2=value2" for the stored cookies that match `url`; empty when none does.
    QByteArray cookieHeaderFor(const QUrl& url) const;
};
