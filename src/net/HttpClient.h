#pragma once

#include "net/HttpRequest.h"

#include <QCoroTask>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QUrl>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>

class CookieStore;
struct HttpBodyEvent;

struct HttpResult {
    bool ok = false;
    int statusCode = 0;     // of the last response; 0 when none arrived
    QByteArray body;        // of the final response (also of an error response)
    QUrl url;               // of the last request of the chain
    QString error;          // why the request failed; empty when ok
    QByteArray contentType; // the Content-Type of the final response, as sent
};

// The HTTP exchange every request of the program goes through: one request at a time over a new
// connection, redirects followed, cookies kept, the response body reported while it arrives.
//
// A redirect may not lead from https to http, nor from a public server to an address of this machine
// or of a private network (IsLocalAddress), however it is written ("2130706433", "0x7f.1",
// "[::ffff:127.0.0.1]") or whatever a host name resolves to: the client connects to the very
// address it checked. A redirect from a local server, or from or to a service address the user
// chose (IsChosenServiceAddress), may go there: local mirrors and tests.
//
// A get or post that is called while another one runs waits its turn; calls are served in the
// order they were made. The client may be destroyed while requests are pending: each of them then
// ends as a failure, resumed from the event loop, without touching the client again.
class HttpClient : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxRequestsInChain = 15;
    static constexpr std::chrono::milliseconds RedirectBodyWait{4000};
    static constexpr std::chrono::milliseconds ErrorBodyWait{2000};
    static inline const QString DisconnectedError = QStringLiteral("disconnected");

    explicit HttpClient(QObject* parent = nullptr);
    ~HttpClient() override;

    // Request settings; an empty value leaves its header line out.
    void setConnectionValue(const QByteArray& value) { m_settings.connection = value; }
    void setContentType(const QByteArray& value) { m_settings.contentType = value; }
    void setCacheControl(const QByteArray& value) { m_settings.cacheControl = value; }
    void setPragma(const QByteArray& value) { m_settings.pragma = value; }
    // Empty gives the classic Accept and User-Agent, and leaves Accept-Language and
    // Accept-Encoding out, so that classic requests stay as they were.
    void setAccept(const QByteArray& value) { m_settings.accept = value; }
    void setAcceptLanguage(const QByteArray& value) { m_settings.acceptLanguage = value; }
    void setAcceptEncoding(const QByteArray& value) { m_settings.acceptEncoding = value; }
    void setUserAgent(const QByteArray& value) { m_settings.userAgent = value; }

    // Certificate authorities trusted besides the system's, for servers of tests. A certificate
    // that none of them vouches for still fails the request.
    void setExtraCaCertificates(const QList<QSslCertificate>& certificates)
    {
        m_extraCaCertificates = certificates;
    }

    // Which addresses count as local (IsLocalAddress unless set): a test takes a second address of
    // this machine for a public server's.
    void setLocalAddressTest(std::function<bool(const QHostAddress&)> isLocal)
    {
        m_isLocal = std::move(isLocal);
    }

    // Connecting, and then each wait for the next byte, fail after these.
    void setConnectTimeout(std::chrono::milliseconds timeout) { m_connectTimeout = timeout; }
    void setIdleTimeout(std::chrono::milliseconds timeout) { m_idleTimeout = timeout; }
    // A request fails when its last body is not in this long after it took its turn, redirects
    // included: a server that drips its answer cannot hold the client, and those queued behind it,
    // for ever. The time spent waiting for the turn does not count.
    void setDeadline(std::chrono::milliseconds deadline) { m_deadline = deadline; }

    QCoro::Task<HttpResult> get(const QUrl& url);
    // A post makes `contentType` the client's content type and, when the client holds no
    // Connection value yet, takes "keep-alive" as one; both stay for its later requests.
    QCoro::Task<HttpResult> post(const QUrl& url, const QByteArray& body, const QByteArray& contentType);

    // Ends the request in flight at once (it fails with DisconnectedError); harmless when idle.
    // Requests still waiting for their turn go on afterwards, also one whose turn has just come.
    // Safe from a handler of work(). The name hides QObject::disconnect: qualify that one.
    void disconnect();
    // Ends the request in flight and every request waiting for its turn, also one whose turn has
    // just come: all fail with DisconnectedError, and those not yet sent are never sent. Requests
    // made afterwards are served as usual. Safe from a handler of work().
    void abortAll();
    // A request runs or waits.
    bool busy() const;

Q_SIGNALS:
    // While a response body is read, including those of redirects and error responses: once per
    // body, or per chunk of a chunked body. `expected` is the announced length (0 when the body
    // runs until the connection closes); `received` counts the bytes since workBegin.
    void workBegin(qint64 expected);
    void work(qint64 received);
    void workEnd();

private:
    struct Request;
    struct Hop;

    QCoro::Task<HttpResult> send(HttpMethod method, QUrl url, QByteArray body, QByteArray contentType);
    QCoro::Task<HttpResult> runChain(std::shared_ptr<Request> request, HttpMethod method, QUrl url,
                                     QByteArray body);
    // `publicOnly`: the host may resolve to no local address (a redirect from a public server).
    QCoro::Task<Hop> exchange(std::shared_ptr<Request> request, HttpMethod method, QUrl url, QByteArray body,
                              bool publicOnly);
    QCoro::Task<QString> connectTo(std::shared_ptr<Request> request, HttpTarget target, bool publicOnly);
    // Why the redirect from `from` (answered from `peer`) to `to` is not followed, or empty; sets
    // `publicOnly` when the target's host must resolve to public addresses only.
    QString redirectRefusal(const QUrl& from, const QHostAddress& peer, const QUrl& to,
                            bool& publicOnly) const;
    QCoro::Task<Hop> readResponse(std::shared_ptr<Request> request, QUrl url);
    bool reportBodyEvents(const Request& request, const QList<HttpBodyEvent>& events, bool& bodyOpen);
    void grantNextTurn();
    void endTurn(const Request& request);
    void adoptPostSettings(const QByteArray& contentType);

    HttpRequestSettings m_settings;
    QList<QSslCertificate> m_extraCaCertificates;
    CookieStore* m_cookies;
    std::function<bool(const QHostAddress&)> m_isLocal;
    std::chrono::milliseconds m_connectTimeout{30000};
    std::chrono::milliseconds m_idleTimeout{60000};
    std::chrono::milliseconds m_deadline{120000};
    std::shared_ptr<Request> m_current;
    std::deque<std::shared_ptr<Request>> m_waiting;
};
