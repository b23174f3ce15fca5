#include "net/HttpClient.h"

#include "net/CookieStore.h"
#include "net/HttpResponseParser.h"
#include "net/ServiceAddresses.h"
#include "net/Wakeup.h"

#include <QHostInfo>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

#include <utility>

namespace {

enum class ResponseKind { Success, Redirect, Failure };

ResponseKind Classify(const HttpResponseHead& head)
{
    const int status = head.statusCode;
    if ((status >= 300 && status < 400 && status != 304) || head.hasHeader("Location"))
        return ResponseKind::Redirect;
    if (status >= 200 && status < 300)
        return ResponseKind::Success;
    return ResponseKind::Failure;
}

const QString AbandonedError = QStringLiteral("The request was abandoned: its client is gone");

QString DurationText(std::chrono::milliseconds interval)
{
    const qint64 ms = interval.count();
    return ms % 1000 == 0 ? QStringLiteral("%1 s").arg(ms / 1000) : QStringLiteral("%1 ms").arg(ms);
}

// Bounds what a fast server can pile up between two reads.
constexpr qint64 SocketReadBufferBytes = 256 * 1024;

} // namespace

// One get or post, from the call until it ends. The coroutine and the client share it, so that it
// outlives a client destroyed while the coroutine is suspended.
struct HttpClient::Request {
    Wakeup wakeup;
    std::unique_ptr<QAbstractSocket> socket;
    bool tls = false;
    QAbstractSocket::SocketError socketError = QAbstractSocket::UnknownSocketError;
    QString socketErrorText;
    QTimer timeout;  // the connect time-out, then the idle time-out
    QTimer bodyWait; // the limited wait for the body of a redirect or an error response
    QTimer deadline; // the whole request, from its turn to its last body
    bool timedOut = false;
    bool bodyWaitOver = false;
    bool turnGranted = false;
    bool started = false;   // the coroutine has taken its turn
    bool aborted = false;   // disconnect() or abortAll() was called
    bool abandoned = false; // the client is gone: nothing of it may be touched
    bool deadlinePassed = false;

    Request()
    {
        timeout.setSingleShot(true);
        bodyWait.setSingleShot(true);
        deadline.setSingleShot(true);
        QObject::connect(&timeout, &QTimer::timeout, &timeout, [this] {
            timedOut = true;
            wakeup.fire();
        });
        QObject::connect(&bodyWait, &QTimer::timeout, &bodyWait, [this] {
            bodyWaitOver = true;
            wakeup.fire();
        });
        QObject::connect(&deadline, &QTimer::timeout, &deadline, [this] {
            deadlinePassed = true;
            wakeup.fire();
        });
    }

    ~Request() { closeSocket(); }

    bool ended() const { return aborted || abandoned || deadlinePassed; }
    QString endError() const
    {
        if (abandoned)
            return AbandonedError;
        if (aborted)
            return HttpClient::DisconnectedError;
        return QStringLiteral("No complete answer from the server within %1")
            .arg(DurationText(deadline.intervalAsDuration()));
    }

    void restartTimeout(std::chrono::milliseconds interval)
    {
        timedOut = false;
        timeout.start(interval);
    }

    void openSocket(bool useTls, const QList<QSslCertificate>& extraCaCertificates)
    {
        closeSocket();
        tls = useTls;
        socketError = QAbstractSocket::UnknownSocketError;
        socketErrorText.clear();
        if (tls) {
            auto sslSocket = std::make_unique<QSslSocket>();
            if (!extraCaCertificates.isEmpty()) {
                // Setting any list replaces the system's, so they are named along with the extra ones.
                QSslConfiguration configuration = sslSocket->sslConfiguration();
                configuration.setCaCertificates(QSslConfiguration::systemCaCertificates() +
                                                extraCaCertificates);
                sslSocket->setSslConfiguration(configuration);
            }
            QObject::connect(sslSocket.get(), &QSslSocket::encrypted, sslSocket.get(),
                             [this] { wakeup.fire(); });
            socket = std::move(sslSocket);
        } else {
            socket = std::make_unique<QTcpSocket>();
        }
        QAbstractSocket* s = socket.get();
        s->setReadBufferSize(SocketReadBufferBytes);
        const auto wake = [this] { wakeup.fire(); };
        QObject::connect(s, &QAbstractSocket::connected, s, wake);
        QObject::connect(s, &QIODevice::readyRead, s, wake);
        QObject::connect(s, &QAbstractSocket::disconnected, s, wake);
        QObject::connect(s, &QAbstractSocket::errorOccurred, s,
                         [this, s](QAbstractSocket::SocketError error) {
                             if (socketError == QAbstractSocket::UnknownSocketError) {
                                 socketError = error;
                                 socketErrorText = s->errorString();
                             }
                             wakeup.fire();
                         });
    }

    bool connected() const
    {
        return tls ? static_cast<const QSslSocket&>(*socket).isEncrypted()
                   : socket->state() == QAbstractSocket::ConnectedState;
    }

    bool socketFailed() const { return socketError != QAbstractSocket::UnknownSocketError; }
    bool closedByServer() const
    {
        return socketError == QAbstractSocket::RemoteHostClosedError ||
               (!socketFailed() && socket->state() == QAbstractSocket::UnconnectedState);
    }

    void closeSocket()
    {
        timeout.stop();
        bodyWait.stop();
        timedOut = bodyWaitOver = false;
        if (!socket)
            return;
        QObject::disconnect(socket.get(), nullptr, nullptr, nullptr);
        socket->abort();
        socket.reset();
    }

    void abort()
    {
        aborted = true;
        interrupt();
    }

    // Cuts the connection at once; the socket itself is freed by the coroutine, which may be
    // inside a call that leads here.
    void interrupt()
    {
        if (socket)
            socket->abort();
        wakeup.fire();
    }
};

struct HttpClient::Hop {
    HttpResponseHead head;
    QByteArray body;
    QString error;     // empty when a response arrived
    QHostAddress peer; // the address that answered
};

HttpClient::HttpClient(QObject* parent)
    : QObject(parent)
    , m_cookies(new CookieStore(this))
    , m_isLocal(IsLocalAddress)
{
}

HttpClient::~HttpClient()
{
    for (const std::shared_ptr<Request>& request : m_waiting) {
        request->abandoned = true;
        request->interrupt();
    }
    if (m_current) {
        m_current->abandoned = true;
        m_current->interrupt();
    }
}

QCoro::Task<HttpResult> HttpClient::get(const QUrl& url)
{
    return send(HttpMethod::Get, url, {}, {});
}

QCoro::Task<HttpResult> HttpClient::post(const QUrl& url, const QByteArray& body,
                                         const QByteArray& contentType)
{
    return send(HttpMethod::Post, url, body, contentType);
}

void HttpClient::disconnect()
{
    // A request granted its turn but not yet resumed is not in flight: a caller that disconnects
    // right after its own request ended must not cut the next one short.
    if (!m_current || !m_current->started)
        return;
    m_current->abort();
}

void HttpClient::abortAll()
{
    // Out of the queue at once, so that none of them is granted the turn any more.
    for (const std::shared_ptr<Request>& request : std::exchange(m_waiting, {}))
        request->abort();
    if (m_current)
        m_current->abort();
}

bool HttpClient::busy() const
{
    return m_current || !m_waiting.empty();
}

void HttpClient::grantNextTurn()
{
    if (m_current || m_waiting.empty())
        return;
    m_current = m_waiting.front();
    m_waiting.pop_front();
    m_current->turnGranted = true;
    m_current->wakeup.fire();
}

void HttpClient::endTurn(const Request& request)
{
    // A request that abortAll() took out of the queue never had the turn.
    if (m_current.get() != &request)
        return;
    m_current.reset();
    grantNextTurn();
}

void HttpClient::adoptPostSettings(const QByteArray& contentType)
{
    if (m_settings.connection.isEmpty())
        m_settings.connection = QByteArrayLiteral("keep-alive");
    m_settings.contentType = contentType;
}

QCoro::Task<HttpResult> HttpClient::send(HttpMethod method, QUrl url, QByteArray body, QByteArray contentType)
{
    auto request = std::make_shared<Request>();
    m_waiting.push_back(request);
    grantNextTurn();
    while (!request->turnGranted && !request->ended())
        co_await request->wakeup.wait();

    HttpResult result;
    if (request->ended()) {
        // Ended before it was sent: by abortAll(), or because the client is gone.
        result.url = url;
        result.error = request->endError();
    } else {
        request->started = true;
        request->deadline.start(m_deadline);
        if (method == HttpMethod::Post)
            adoptPostSettings(contentType);
        result = co_await runChain(request, method, std::move(url), std::move(body));
        request->closeSocket();
    }
    if (!request->abandoned)
        endTurn(*request);
    co_return result;
}

QCoro::Task<HttpResult> HttpClient::runChain(std::shared_ptr<Request> request, HttpMethod method, QUrl url,
                                             QByteArray body)
{
    HttpResult result;
    if (url.scheme().isEmpty())
        url = HttpUrlFromText(url.toString());
    bool publicOnly = false; // the program's own address may be anywhere
    for (int count = 1;; ++count) {
        result.url = url;
        const Hop hop = co_await exchange(request, method, url, body, publicOnly);
        request->closeSocket();
        result.statusCode = hop.head.statusCode;
        result.contentType = hop.head.header("Content-Type");
        if (!hop.error.isEmpty()) {
            result.error = hop.error;
            co_return result;
        }
        switch (Classify(hop.head)) {
        case ResponseKind::Success:
            result.ok = true;
            result.body = hop.body;
            co_return result;
        case ResponseKind::Failure:
            result.body = hop.body;
            result.error = QStringLiteral("The server answered %1 %2")
                               .arg(hop.head.statusCode)
                               .arg(QString::fromLatin1(hop.head.reasonPhrase));
            co_return result;
        case ResponseKind::Redirect:
            break;
        }
        if (count == MaxRequestsInChain) {
            result.error = QStringLiteral("Still redirected after %1 requests").arg(MaxRequestsInChain);
            co_return result;
        }
        const QByteArray location = hop.head.header("Location");
        if (location.isEmpty()) {
            result.error =
                QStringLiteral("The server answered %1 without a Location").arg(hop.head.statusCode);
            co_return result;
        }
        const QUrl next = url.resolved(QUrl::fromEncoded(location));
        if (const QString refusal = redirectRefusal(url, hop.peer, next, publicOnly); !refusal.isEmpty()) {
            result.error = refusal;
            co_return result;
        }
        url = next;
    }
}

QString HttpClient::redirectRefusal(const QUrl& from, const QHostAddress& peer, const QUrl& to,
                                    bool& publicOnly) const
{
    publicOnly = false;
    const QString target = to.toString(QUrl::RemoveUserInfo);
    if (from.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 &&
        to.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Refused a redirect from https to http (%1): the answer would come unencrypted")
            .arg(target);
    // A local server, or one the user chose, may send the program anywhere; so may a public one to an
    // address the user chose. Otherwise the target must be public, whatever its host resolves to.
    if (m_isLocal(peer) || IsChosenServiceAddress(from) || IsChosenServiceAddress(to))
        return {};
    const QHostAddress literal(to.host());
    if (!literal.isNull() && m_isLocal(literal))
        return QStringLiteral("Refused a redirect from %1 to %2: a server on the internet may not send the "
                              "program to an address of this machine or of a private network")
            .arg(from.host(), target);
    publicOnly = true;
    return {};
}

QCoro::Task<HttpClient::Hop> HttpClient::exchange(std::shared_ptr<Request> request, HttpMethod method,
                                                  QUrl url, QByteArray body, bool publicOnly)
{
    Hop hop;
    const std::optional<HttpTarget> target = HttpTargetFromUrl(url, hop.error);
    if (!target)
        co_return hop;
    hop.error = co_await connectTo(request, *target, publicOnly);
    if (!hop.error.isEmpty())
        co_return hop;
    const QHostAddress peer = request->socket->peerAddress();
    request->socket->write(
        ComposeHttpRequest(method, *target, m_settings, m_cookies->cookieHeaderFor(url), body));
    hop = co_await readResponse(request, std::move(url));
    hop.peer = peer;
    co_return hop;
}

QCoro::Task<QString> HttpClient::connectTo(std::shared_ptr<Request> request, HttpTarget target,
                                           bool publicOnly)
{
    if (request->ended())
        co_return request->endError();
    const QString where = QStringLiteral("%1:%2").arg(target.host).arg(target.port);
    request->restartTimeout(m_connectTimeout);
    // A host that must be public is resolved here and checked, and the connection goes to the address
    // checked: a name cannot resolve to a public address for the check and a local one for the
    // connection.
    QString address = target.host;
    if (publicOnly && QHostAddress(target.host).isNull()) {
        struct Lookup {
            bool done = false;
            QHostInfo info;
        };
        auto lookup = std::make_shared<Lookup>();
        Request* waiting = request.get();
        // The request's own timer is the context: a request that is gone gets no answer.
        QHostInfo::lookupHost(target.host, &request->timeout, [lookup, waiting](const QHostInfo& info) {
            lookup->info = info;
            lookup->done = true;
            waiting->wakeup.fire();
        });
        while (!lookup->done) {
            if (request->ended())
                co_return request->endError();
            if (request->timedOut)
                co_return QStringLiteral("Timed out connecting to %1").arg(where);
            co_await request->wakeup.wait();
        }
        const QList<QHostAddress> addresses = lookup->info.addresses();
        if (lookup->info.error() != QHostInfo::NoError || addresses.isEmpty())
            co_return QStringLiteral("Cannot connect to %1: %2").arg(where, lookup->info.errorString());
        for (const QHostAddress& each : addresses) {
            if (m_isLocal(each))
                co_return QStringLiteral(
                    "Refused a redirect to %1: a server on the internet may not send the "
                    "program to an address of this machine or of a private network (%2)")
                    .arg(where, each.toString());
        }
        address = addresses.first().toString();
    } else if (publicOnly && m_isLocal(QHostAddress(target.host))) {
        co_return QStringLiteral(
            "Refused a redirect to %1: a server on the internet may not send the program "
            "to an address of this machine or of a private network")
            .arg(where);
    }
    request->openSocket(target.tls, m_extraCaCertificates);
    request->restartTimeout(m_connectTimeout);
    if (target.tls)
        static_cast<QSslSocket&>(*request->socket).connectToHostEncrypted(address, target.port, target.host);
    else
        request->socket->connectToHost(address, target.port);
    for (;;) {
        if (request->ended())
            co_return request->endError();
        if (request->connected()) {
            request->timeout.stop();
            co_return QString();
        }
        if (request->socketFailed())
            co_return QStringLiteral("Cannot connect to %1: %2").arg(where, request->socketErrorText);
        if (request->timedOut)
            co_return QStringLiteral("Timed out connecting to %1").arg(where);
        co_await request->wakeup.wait();
    }
}

QCoro::Task<HttpClient::Hop> HttpClient::readResponse(std::shared_ptr<Request> request, QUrl url)
{
    Hop hop;
    HttpResponseParser parser;
    std::optional<ResponseKind> kind;
    bool bodyOpen = false;
    const std::chrono::milliseconds idleTimeout = m_idleTimeout;
    request->restartTimeout(idleTimeout);
    // The body of a redirect or an error response is read only as far as it comes in time; its
    // loss is no failure of its own.
    const auto stopReading = [&](const QString& error) {
        if (!kind || *kind == ResponseKind::Success)
            hop.error = error;
    };
    for (;;) {
        if (request->ended()) {
            hop.error = request->endError();
            break;
        }
        const QByteArray bytes = request->socket->readAll();
        if (!bytes.isEmpty()) {
            request->restartTimeout(idleTimeout);
            parser.feed(bytes);
        } else if (request->closedByServer()) {
            parser.closeInput();
        } else if (request->socketFailed()) {
            stopReading(QStringLiteral("Connection to the server lost: %1").arg(request->socketErrorText));
            break;
        }
        if (!kind && parser.headComplete()) {
            hop.head = parser.head();
            m_cookies->storeFromResponse(url, hop.head);
            kind = Classify(hop.head);
            if (*kind != ResponseKind::Success)
                request->bodyWait.start(*kind == ResponseKind::Redirect ? RedirectBodyWait : ErrorBodyWait);
        }
        if (!reportBodyEvents(*request, parser.takeBodyEvents(), bodyOpen))
            continue;
        if (parser.state() == HttpResponseParser::State::Complete)
            break;
        if (parser.state() == HttpResponseParser::State::Malformed) {
            stopReading(parser.error());
            break;
        }
        if (request->bodyWaitOver)
            break;
        if (request->timedOut) {
            stopReading(QStringLiteral("No data from the server for %1 ms").arg(idleTimeout.count()));
            break;
        }
        if (bytes.isEmpty())
            co_await request->wakeup.wait();
    }
    if (bodyOpen && !request->abandoned)
        Q_EMIT workEnd();
    hop.body = parser.body();
    co_return hop;
}

bool HttpClient::reportBodyEvents(const Request& request, const QList<HttpBodyEvent>& events, bool& bodyOpen)
{
    // A handler may disconnect, or even destroy this client: nothing of it is touched after that.
    for (const HttpBodyEvent& event : events) {
        if (request.ended())
            return false;
        switch (event.kind) {
        case HttpBodyEvent::Begin:
            bodyOpen = true;
            Q_EMIT workBegin(event.value);
            break;
        case HttpBodyEvent::Progress:
            Q_EMIT work(event.value);
            break;
        case HttpBodyEvent::End:
            bodyOpen = false;
            Q_EMIT workEnd();
            break;
        }
    }
    return !request.ended();
}
