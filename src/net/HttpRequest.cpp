#include "net/HttpRequest.h"

namespace {

const QByteArray ClassicUserAgent = QByteArrayLiteral("Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 4.0)");
const QByteArray ClassicAccept = QByteArrayLiteral("text/html, */*");

void AddHeader(QByteArray& request, QByteArrayView name, QByteArrayView value)
{
    if (value.isEmpty())
        return;
    request += name;
    request += ": ";
    request += value;
    request += "\r\n";
}

QByteArray HostHeader(const HttpTarget& target)
{
    QByteArray host = target.host.toLatin1();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (target.port != 80)
        host += ':' + QByteArray::number(target.port);
    return host;
}

} // namespace

QUrl HttpUrlFromText(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.contains(QLatin1String("://")))
        return QUrl(trimmed);
    return QUrl(QLatin1String("http://") + trimmed);
}

std::optional<HttpTarget> HttpTargetFromUrl(const QUrl& given, QString& error)
{
    const QUrl url = given.scheme().isEmpty() ? HttpUrlFromText(given.toString()) : given;
    const QString scheme = url.scheme().toLower();
    if (!url.isValid()) {
        error = QStringLiteral("Invalid URL: %1").arg(given.toString());
        return std::nullopt;
    }
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        error = QStringLiteral("Unsupported protocol \"%1\" in %2").arg(scheme, url.toString());
        return std::nullopt;
    }
    HttpTarget target;
    target.tls = scheme == QLatin1String("https");
    target.host = url.host(QUrl::FullyEncoded);
    if (target.host.isEmpty()) {
        error = QStringLiteral("No host in %1").arg(url.toString());
        return std::nullopt;
    }
    target.port = static_cast<quint16>(url.port(target.tls ? 443 : 80));
    target.pathAndQuery = url.path(QUrl::FullyEncoded).toLatin1();
    if (target.pathAndQuery.isEmpty())
        target.pathAndQuery = "/";
    if (url.hasQuery())
        target.pathAndQuery += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    return target;
}

QByteArray ComposeHttpRequest(HttpMethod method, const HttpTarget& target,
                              const HttpRequestSettings& settings, QByteArrayView cookies,
                              QByteArrayView body)
{
    const bool post = method == HttpMethod::Post;
    QByteArray request = post ? "POST " : "GET ";
    request += target.pathAndQuery;
    request += post ? " HTTP/1.0\r\n" : " HTTP/1.1\r\n";
    AddHeader(request, "Connection", settings.connection);
    AddHeader(request, "Content-Type", settings.contentType);
    if (post)
        AddHeader(request, "Content-Length", QByteArray::number(body.size()));
    AddHeader(request, "Cache-control", settings.cacheControl);
    AddHeader(request, "Pragma", settings.pragma);
    AddHeader(request, "Host", HostHeader(target));
    AddHeader(request, "Accept", settings.accept.isEmpty() ? ClassicAccept : settings.accept);
    AddHeader(request, "Accept-Language", settings.acceptLanguage);
    AddHeader(request, "Accept-Encoding", settings.acceptEncoding);
    AddHeader(request, "User-Agent", settings.userAgent.isEmpty() ? ClassicUserAgent : settings.userAgent);
    AddHeader(request, "Cookie", cookies);
    request += "\r\n";
    if (post)
        request += body;
    return request;
}
