#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QQueue>
#include <QSslCertificate>
#include <QTcpServer>
#include <QUrl>

#include <memory>

class QTcpSocket;

// An HTTP server on 127.0.0.1 for tests. It records the exact bytes of every request (request
// line, headers and a Content-Length body) and answers each with the next scripted reply, in the
// order the requests arrive; when the script runs out it plays the fallback (404 to begin with).
//
//     ScriptedHttpServer server;
//     server.enqueue(ScriptedHttpServer::ok("<html>hello</html>"));
//     ... request server.url("/page") ...
//     QCOMPARE(server.requests().size(), 1);
//
// In TLS mode it speaks https with a self-signed certificate for 127.0.0.1 (support/tls/) that no
// system trusts: a client trusts it only when given testCaCertificates().
class ScriptedHttpServer : public QObject {
    Q_OBJECT
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;
    enum class Transport { Plain, Tls };

    // A reply is sent in steps, each after its delay (ms) from the previous one. Afterwards the
    // connection is closed, or held open: a held connection sends nothing more until the next
    // request arrives on it, which makes a stalled server.
    struct Reply {
        struct Step {
            int delayMs = 0;
            QByteArray bytes;
        };
        QList<Step> steps;
        bool closeAfter = true;

        Reply& then(int delayMs, const QByteArray& bytes);
        Reply& thenHold();
    };

    explicit ScriptedHttpServer(QObject* parent = nullptr);
    explicit ScriptedHttpServer(Transport transport, QObject* parent = nullptr);
    // On another address of this machine than 127.0.0.1 (127.0.0.2, say: a server a test takes for a
    // public one).
    ScriptedHttpServer(Transport transport, const QHostAddress& address, QObject* parent = nullptr);
    ~ScriptedHttpServer() override;

    // The certificate of the TLS mode, as a client must trust it.
    static QList<QSslCertificate> testCaCertificates();

    bool isListening() const { return m_server->isListening(); }
    quint16 port() const { return m_server->serverPort(); }
    QByteArray hostAndPort() const;                                    // "127.0.0.1:PORT"
    QUrl url(const QString& pathAndQuery = QStringLiteral("/")) const; // https in TLS mode

    void enqueue(const Reply& reply);
    void setFallback(const Reply& reply);
    int pendingReplies() const { return m_script.size(); }

    const QList<QByteArray>& requests() const { return m_requests; }
    QList<QByteArray> requestLines() const; // the first line of each request, without CR LF
    int connectionCount() const { return m_connectionCount; }
    // Drops every open connection at once.
    void closeAll();

    // A whole response with Content-Length; reason phrases come from a small table.
    static QByteArray response(int status, const QByteArray& body = {}, const Headers& headers = {});
    static QByteArray chunkedResponse(const QList<QByteArray>& chunks, const Headers& headers = {});
    static Reply raw(const QByteArray& bytes);
    static Reply ok(const QByteArray& body, const QByteArray& contentType = "text/html");
    static Reply status(int status, const QByteArray& body = {}, const Headers& headers = {});
    static Reply redirect(const QByteArray& location, int status = 302);
    static Reply chunked(const QList<QByteArray>& chunks, const Headers& headers = {});
    // A body without a length that ends when the server closes the connection.
    static Reply untilClose(const QByteArray& body);
    // A 200 answer that announces 500 bytes, sends `bodyStart` of them and then nothing more, on a
    // connection held open: a request that stays in flight until the client gives up.
    static Reply stalled(const QByteArray& bodyStart = {});

Q_SIGNALS:
    void requestArrived(const QByteArray& request);

private:
    struct Connection {
        QByteArray buffer;
        bool replying = false;
    };

    void accept();
    void readRequests(QTcpSocket* socket);
    void play(QTcpSocket* socket, const Reply& reply, int step);

    Transport m_transport;
    QHostAddress m_address;
    std::unique_ptr<QTcpServer> m_server;
    QHash<QTcpSocket*, Connection> m_connections;
    QQueue<Reply> m_script;
    Reply m_fallback;
    QList<QByteArray> m_requests;
    int m_connectionCount = 0;
};
