#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

enum class HttpMethod { Get, Post };

// The request settings a client holds. Each header line is sent only when it has a value.
struct HttpRequestSettings {
    QByteArray connection;
    QByteArray contentType = QByteArrayLiteral("text/html");
    QByteArray cacheControl;
    QByteArray pragma;
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
