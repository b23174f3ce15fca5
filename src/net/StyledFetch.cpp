#include "net/StyledFetch.h"

#include "net/HttpClient.h"
#include "net/HttpRequest.h"
#include "net/PageText.h"
#include "net/Refusal.h"

void UseRequestStyle(HttpClient& client, FetchStyle style, const QString& language, const QString& country)
{
    const bool classic = style == FetchStyle::Classic;
    // The classic requests are sent as they always were; today's services get a browser's headers.
    client.setContentType(classic ? QByteArrayLiteral("text/html") : QByteArray());
    client.setCacheControl(classic ? QByteArrayLiteral("no-cache") : QByteArray());
    client.setPragma(classic ? QByteArrayLiteral("no-cache") : QByteArray());
    client.setAccept(
        classic ? QByteArray()
                : QByteArrayLiteral("application/json, application/rss+xml, text/xml;q=0.9, */*;q=0.8"));
    QString languages =
        language + u'-' + country + QStringLiteral(", ") + language + QStringLiteral(";q=0.9");
    if (language != u"en")
        languages += QStringLiteral(", en;q=0.5");
    client.setAcceptLanguage(classic ? QByteArray() : languages.toLatin1());
    client.setAcceptEncoding(classic ? QByteArray() : QByteArrayLiteral("identity"));
    client.setUserAgent(classic ? QByteArray() : ModernUserAgent);
}

PageFetch PageFetchOf(const HttpResult& result, FetchStyle style, bool stopped)
{
    PageFetch fetched;
    fetched.statusCode = result.statusCode;
    fetched.refused = !stopped && IsRefusal(result.statusCode, result.body, result.url);
    if (stopped || !result.ok || fetched.refused) {
        fetched.failure = stopped     ? PageFetchStopped
                          : result.ok ? QStringLiteral("The service refused to answer")
                                      : result.error;
        return fetched;
    }
    if (style == FetchStyle::Classic)
        fetched.page = PageTextFromBody(result.body);
    fetched.body = result.body;
    fetched.contentType = result.contentType;
    return fetched;
}
