#include "support/ScriptedHttpServer.h"

#include <QFile>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

namespace {

QByteArray TlsFixture(const QString& name)
{
    QFile file(QStringLiteral(QUILLORY_TLS_FIXTURES "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("Cannot read the TLS fixture %s", qPrintable(file.fileName()));
    return file.readAll();
}

// Hands out connections that encrypt themselves with the test certificate before anything else.
// (Qt 6.4 has no TLS server class of its own.)
class TlsServer : public QTcpServer {
public:
    TlsServer()
        : m_certificate(ScriptedHttpServer::testCaCertificates().value(0))
        , m_key(TlsFixture(QStringLiteral("server.key")), QSsl::Ec)
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto* socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        socket->setLocalCertificate(m_certificate);
        socket->setPrivateKey(m_key);
        socket->setPeerVerifyMode(QSslSocket::VerifyNone); // no client certificate asked for
        addPendingConnection(socket);
        socket->startServerEncryption();
    }

private:
    QSslCertificate m_certificate;
    QSslKey m_key;
};

QByteArray ReasonPhrase(int status)
{
    switch (status) {
    case 100:
        return "Continue";
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 303:
        return "See Other";
    case 304:
        return "Not Modified";
    case 307:
        return "Temporary Redirect";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

QByteArray Head(int status, const ScriptedHttpServer::Headers& headers)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + ReasonPhrase(status) + "\r\n";
    for (const auto& [name, value] : headers)
        head += name + ": " + value + "\r\n";
    return head + "\r\n";
}

// The length of the request at the front of `buffer`, or 0 while it is incomplete.
qsizetype CompleteRequestLength(const QByteArray& buffer)
{
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return 0;
    qsizetype bodyLength = 0;
    for (const QByteArray& line : buffer.left(headEnd).split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare("Content-Length", Qt::CaseInsensitive) == 0)
            bodyLength = line.mid(colon + 1).trimmed().toLongLong();
    }
    const qsizetype total = headEnd + 4 + bodyLength;
    return buffer.size() >= total ? total : 0;
}

} // namespace

ScriptedHttpServer::Reply& ScriptedHttpServer::Reply::then(int delayMs, const QByteArray& bytes)
{
    steps.append({delayMs, bytes});
    return *this;
}

ScriptedHttpServer::Reply& ScriptedHttpServer::Reply::thenHold()
{
    closeAfter = false;
    return *this;
}

ScriptedHttpServer::ScriptedHttpServer(QObject* parent)
    : ScriptedHttpServer(Transport::Plain, parent)
{
}

ScriptedHttpServer::ScriptedHttpServer(Transport transport, QObject* parent)
    : ScriptedHttpServer(transport, QHostAddress(QHostAddress::LocalHost), parent)
{
}

ScriptedHttpServer::ScriptedHttpServer(Transport transport, const QHostAddress& address, QObject* parent)
    : QObject(parent)
    , m_transport(transport)
    , m_address(address)
    , m_server(transport == Transport::Tls ? std::unique_ptr<QTcpServer>(std::make_unique<TlsServer>())
                                           : std::make_unique<QTcpServer>())
    , m_fallback(status(404, "Not Found"))
{
    connect(m_server.get(), &QTcpServer::newConnection, this, &ScriptedHttpServer::accept);
    m_server->listen(m_address, 0);
}

QList<QSslCertificate> ScriptedHttpServer::testCaCertificates()
{
    return QSslCertificate::fromData(TlsFixture(QStringLiteral("server.crt")));
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    closeAll();
}

QByteArray ScriptedHttpServer::hostAndPort() const
{
    return m_address.toString().toLatin1() + ':' + QByteArray::number(port());
}

QUrl ScriptedHttpServer::url(const QString& pathAndQuery) const
{
    const QString scheme = m_transport == Transport::Tls ? QStringLiteral("https") : QStringLiteral("http");
    return QUrl(
        QStringLiteral("%1://%2:%3%4").arg(scheme, m_address.toString()).arg(port()).arg(pathAndQuery));
}

void ScriptedHttpServer::enqueue(const Reply& reply)
{
    m_script.enqueue(reply);
}

void ScriptedHttpServer::setFallback(const Reply& reply)
{
    m_fallback = reply;
}

QList<QByteArray> ScriptedHttpServer::requestLines() const
{
    QList<QByteArray> lines;
    for (const QByteArray& request : m_requests)
        lines.append(request.left(request.indexOf("\r\n")));
    return lines;
}

void ScriptedHttpServer::closeAll()
{
    const QList<QTcpSocket*> sockets = m_connections.keys();
    m_connections.clear();
    for (QTcpSocket* socket : sockets) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

void ScriptedHttpServer::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        ++m_connectionCount;
        m_connections.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequests(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_connections.remove(socket);
            socket->deleteLater();
        });
        readRequests(socket);
    }
}

void ScriptedHttpServer::readRequests(QTcpSocket* socket)
{
    auto connection = m_connections.find(socket);
    if (connection == m_connections.end())
        return;
    connection->buffer += socket->readAll();
    if (connection->replying)
        return;
    const qsizetype length = CompleteRequestLength(connection->buffer);
    if (length == 0)
        return;
    const QByteArray request = connection->buffer.left(length);
    connection->buffer.remove(0, length);
    connection->replying = true;
    m_requests.append(request);
    // A test may still script the answer to this very request from the signal.
    Q_EMIT requestArrived(request);
    if (!m_connections.contains(socket))
        return;
    play(socket, m_script.isEmpty() ? m_fallback : m_script.dequeue(), 0);
}

void ScriptedHttpServer::play(QTcpSocket* socket, const Reply& reply, int step)
{
    // Steps without a delay go out in one pass, but never far ahead of the client: a flood goes as
    // fast as the client reads it instead of piling up in the test's memory.
    constexpr qint64 MostAhead = 1024 * 1024;
    for (;; ++step) {
        if (!m_connections.contains(socket))
            return;
        if (step == reply.steps.size()) {
            if (reply.closeAfter) {
                socket->disconnectFromHost();
                return;
            }
            m_connections[socket].replying = false;
            readRequests(socket);
            return;
        }
        if (reply.steps[step].delayMs > 0) {
            QTimer::singleShot(reply.steps[step].delayMs, socket, [this, socket, reply, step] {
                if (!m_connections.contains(socket))
                    return;
                socket->write(reply.steps[step].bytes);
                play(socket, reply, step + 1);
            });
            return;
        }
        if (socket->bytesToWrite() > MostAhead) {
            connect(
                socket, &QTcpSocket::bytesWritten, this,
                [this, socket, reply, step] { play(socket, reply, step); }, Qt::SingleShotConnection);
            return;
        }
        socket->write(reply.steps[step].bytes);
    }
}

QByteArray ScriptedHttpServer::response(int status, const QByteArray& body, const Headers& headers)
{
    Headers all = headers;
    all.append(qMakePair(QByteArray("Content-Length"), QByteArray::number(body.size())));
    return Head(status, all) + body;
}

QByteArray ScriptedHttpServer::chunkedResponse(const QList<QByteArray>& chunks, const Headers& headers)
{
    Headers all = headers;
    all.append(qMakePair(QByteArray("Transfer-Encoding"), QByteArray("chunked")));
    QByteArray bytes = Head(200, all);
    for (const QByteArray& chunk : chunks)
        bytes += QByteArray::number(chunk.size(), 16) + "\r\n" + chunk + "\r\n";
    return bytes + "0\r\n\r\n";
}

ScriptedHttpServer::Reply ScriptedHttpServer::raw(const QByteArray& bytes)
{
    return Reply().then(0, bytes);
}

ScriptedHttpServer::Reply ScriptedHttpServer::ok(const QByteArray& body, const QByteArray& contentType)
{
    return raw(response(200, body, {{"Content-Type", contentType}}));
}

ScriptedHttpServer::Reply ScriptedHttpServer::status(int status, const QByteArray& body,
                                                     const Headers& headers)
{
    return raw(response(status, body, headers));
}

ScriptedHttpServer::Reply ScriptedHttpServer::redirect(const QByteArray& location, int status)
{
    return raw(response(status, "moved", {{"Location", location}}));
}

ScriptedHttpServer::Reply ScriptedHttpServer::chunked(const QList<QByteArray>& chunks, const Headers& headers)
{
    return raw(chunkedResponse(chunks, headers));
}

ScriptedHttpServer::Reply ScriptedHttpServer::untilClose(const QByteArray& body)
{
    return raw(Head(200, {{"Content-Type", "text/html"}}) + body);
}

ScriptedHttpServer::Reply ScriptedHttpServer::stalled(const QByteArray& bodyStart)
{
    return raw("HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n" + bodyStart).thenHold();
}
