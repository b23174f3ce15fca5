#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

enum class HttpMethod { Get, Post };

// The User-Agent of requests to today's services, which answer an old browser's requests with
// pages meant for it, or not at all.
inline const QByteArray ModernUserAgent =
    QByteArrayLiteral("Mozilla/5.0 (X11; Linux x86_64; rv:128.0) Gecko/20100101 Firefox/128.0");

// The request settings a client holds. Each header line is sent only when it has a value, but for
// Accept and User-Agent: empty gives the classic values, so that classic requests stay as they were.
struct HttpRequestSettings {
    QByteArray connection;
    QByteArray contentType = QByteArrayLiteral("text/html");
    QByteArray cacheControl;
    QByteArray pragma;
    QByteArray accept;
    QByteArray acceptLanguage;
    QByteArray acceptEncoding;
    QByteArray userAgent;
};

// Where a request goes and what its request line asks for.
struct HttpTarget {
    bool tls = false;
    QString host; // in its ASCII form, without brackets
    quint16 port = 80;
    QByteArray pathAndQuery; // "/" when the URL names no path
};

// A URL typed without a protocol is an http URL.
QUrl HttpUrlFromText(const QString& text);

// Splits an http or https URL; any other protocol, or no host, is an error. A URL without a
// protocol is taken as http.
[[nodiscard]] std::optional<HttpTarget> HttpTargetFromUrl(const QUrl& url, QString& error);

// The request exactly as it goes on the wire. A GET is sent as HTTP/1.1 and a POST as HTTP/1.0
// with a Content-Length. `cookies` is the value of the Cookie line, left out when empty.
QByteArray ComposeHttpRequest(HttpMethod method, const HttpTarget& target,
                              const HttpRequestSettings& settings, QByteArrayView cookies,
                              QByteArrayView body = {});
