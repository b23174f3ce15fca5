#include "net/CookieStore.h"
#include "net/HttpClient.h"
#include "net/HttpRequest.h"
#include "net/HttpResponseParser.h"
#include "net/PageText.h"
#include "net/Refusal.h"
#include "net/ServiceAddresses.h"
#include "support/ScriptedHttpServer.h"

#include <QCoroTask>
#include <QElapsedTimer>
#include <QPointer>
#include <QSslSocket>
#include <QTcpServer>
#include <QtTest>

using namespace Qt::StringLiterals;

using namespace std::chrono_literals;
using Reply = ScriptedHttpServer::Reply;

namespace {

const QByteArray UserAgentLine = "User-Agent: Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 4.0)\r\n";
const QByteArray AcceptLine = "Accept: text/html, */*\r\n";

// The parser fed with `input` in one piece, or byte by byte, then told of the close if asked.
HttpResponseParser Parse(const QByteArray& input, bool byteByByte, bool close)
{
    HttpResponseParser parser;
    if (byteByByte) {
        for (const char byte : input)
            parser.feed(QByteArrayView(&byte, 1));
    } else {
        parser.feed(input);
    }
    if (close)
        parser.closeInput();
    return parser;
}

// Body events in short form: "B5" begin, "P3" progress, "E" end.
QString EventText(HttpBodyEvent::Kind kind, qint64 value)
{
    switch (kind) {
    case HttpBodyEvent::Begin:
        return QStringLiteral("B%1").arg(value);
    case HttpBodyEvent::Progress:
        return QStringLiteral("P%1").arg(value);
    case HttpBodyEvent::End:
        return QStringLiteral("E");
    }
    return {};
}

// Records a client's transfer signals in the short form, keeping of each run of progress only
// the last count, which does not depend on how the bytes were split in transit.
class TransferLog : public QObject {
public:
    explicit TransferLog(HttpClient& client)
    {
        connect(&client, &HttpClient::workBegin, this, [this](qint64 n) { add(HttpBodyEvent::Begin, n); });
        connect(&client, &HttpClient::work, this, [this](qint64 n) { add(HttpBodyEvent::Progress, n); });
        connect(&client, &HttpClient::workEnd, this, [this] { add(HttpBodyEvent::End, 0); });
    }
    QString text() const { return events.join(u' '); }
    QStringList events;

private:
    void add(HttpBodyEvent::Kind kind, qint64 value)
    {
        if (kind == HttpBodyEvent::Progress && !events.isEmpty() && events.back().startsWith(u'P'))
            events.removeLast();
        events.append(EventText(kind, value));
    }
};

HttpResult Run(QCoro::Task<HttpResult> task)
{
    return QCoro::waitFor(std::move(task));
}

// A figure of /proc/self/status ("VmHWM", "VmRSS"), in bytes.
qint64 MemoryFigure(QByteArrayView name)
{
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(name) && line.mid(name.size()).startsWith(':'))
            return line.mid(name.size() + 1).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

// The peak of the memory held from now on is measured afresh.
void ResetPeakMemory()
{
    QFile clear(u"/proc/self/clear_refs"_s);
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// `step` sent `count` times, one after another, all of them one shared buffer.
Reply Flood(const QByteArray& head, const QByteArray& step, int count, int delayMs = 0)
{
    Reply reply = ScriptedHttpServer::raw(head);
    for (int i = 0; i < count; ++i)
        reply.then(delayMs, step);
    return reply;
}

QByteArray WithPort(QByteArray text, const ScriptedHttpServer& server)
{
    return text.replace("PORT", QByteArray::number(server.port()));
}

quint16 RefusingPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort(); // closed again when this returns
}

} // namespace

class TestNet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parserReadsResponses_data();
    void parserReadsResponses();
    void parserKeepsHeaders();
    void parserRejectsMalformed_data();
    void parserRejectsMalformed();
    void parserBodyLimit();
    void parserBodyEvents_data();
    void parserBodyEvents();

    void composesRequests_data();
    void composesRequests();
    void rejectsTargets_data();
    void rejectsTargets();

    void pageText_data();
    void pageText();
    void bodyText_data();
    void bodyText();
    void refusals_data();
    void refusals();

    void sendsRequestBytes_data();
    void sendsRequestBytes();
    void postKeepsItsSettings();
    void sendsModernHeaders();
    void httpsTrustsOnlyWhatItIsGiven_data();
    void httpsTrustsOnlyWhatItIsGiven();
    void readsBodies_data();
    void readsBodies();
    void failures_data();
    void failures();
    void refusedConnection();
    void followsRedirects_data();
    void followsRedirects();
    void redirectChainLimit_data();
    void redirectChainLimit();
    void cookiesGoBackWhereTheyMatch();
    void transferEvents_data();
    void transferEvents();
    void stallEndsOnIdleTimeout();
    void silentHandshakeEndsOnConnectTimeout();
    void hostileServersFailWithinLimits_data();
    void hostileServersFailWithinLimits();
    void deadlineEndsASlowRequest_data();
    void deadlineEndsASlowRequest();
    void deadlineCountsFromTheTurn();
    void disconnectEndsTransfer_data();
    void disconnectEndsTransfer();
    void requestsTakeTurns();
    void disconnectAfterARequestSparesTheNext();
    void abortAllEndsWaitingRequests_data();
    void abortAllEndsWaitingRequests();
    void clientDestroyedWhileRequestsPending_data();
    void clientDestroyedWhileRequestsPending();
    void localAddresses_data();
    void localAddresses();
    void redirectsFromPublicToLocalAreRefused_data();
    void redirectsFromPublicToLocalAreRefused();
    void redirectFromHttpsToHttpIsRefused_data();
    void redirectFromHttpsToHttpIsRefused();
};

void TestNet::parserReadsResponses_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("closeAtEnd");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("content length, bytes after it ignored")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhelloEXTRA") << false << 200
        << QByteArray("hello");
    QTest::newRow("chunked with extensions and trailers")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;name=value\r\nhello\r\n"
                      "00006 \r\n world\r\n0\r\nExpires: never\r\n\r\n")
        << false << 200 << QByteArray("hello world");
    QTest::newRow("chunked wins over a length")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 99\r\nTransfer-Encoding: Chunked\r\n\r\n"
                      "3\r\nabc\r\n0\r\n\r\n")
        << false << 200 << QByteArray("abc");
    QTest::newRow("until the close") << QByteArray("HTTP/1.0 200 OK\r\nServer: x\r\n\r\nall of it\r\n")
                                     << true << 200 << QByteArray("all of it\r\n");
    QTest::newRow("interim 100 skipped")
        << QByteArray("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 201 Created\r\nContent-Length: 2\r\n\r\nok")
        << false << 201 << QByteArray("ok");
    QTest::newRow("204 has no body") << QByteArray("HTTP/1.1 204 No Content\r\n\r\n") << false << 204
                                     << QByteArray();
    QTest::newRow("304 has no body despite a length")
        << QByteArray("HTTP/1.1 304 Not Modified\r\nContent-Length: 10\r\n\r\n") << false << 304
        << QByteArray();
    QTest::newRow("bare line feeds, no reason phrase")
        << QByteArray("HTTP/1.1 200\nContent-Length: 3\n\nabc") << false << 200 << QByteArray("abc");
    QTest::newRow("empty body") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n") << false << 200
                                << QByteArray();
    QTest::newRow("zero byte kept") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\na\0b", 41)
                                    << false << 200 << QByteArray("a\0b", 3);
}

void TestNet::parserReadsResponses()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, closeAtEnd);
    QFETCH(int, status);
    QFETCH(QByteArray, body);

    for (const bool byteByByte : {false, true}) {
        const HttpResponseParser parser = Parse(input, byteByByte, closeAtEnd);
        QCOMPARE(parser.state(), HttpResponseParser::State::Complete);
        QCOMPARE(parser.head().statusCode, status);
        QCOMPARE(parser.body(), body);
    }
}

void TestNet::parserKeepsHeaders()
{
    const HttpResponseParser parser = Parse("HTTP/1.1 200 Fine Thanks\r\nSet-Cookie: a=1\r\nX-Long: one\r\n"
                                            "  two\r\nset-cookie:b=2  \r\nContent-Length: 0\r\n\r\n",
                                            false, false);
    QCOMPARE(parser.state(), HttpResponseParser::State::Complete);
    QCOMPARE(parser.head().reasonPhrase, QByteArray("Fine Thanks"));
    QCOMPARE(parser.head().headerValues("SET-COOKIE"), QList<QByteArray>({"a=1", "b=2"}));
    QCOMPARE(parser.head().header("x-long"), QByteArray("one two"));
    QVERIFY(!parser.head().hasHeader("Location"));
}

void TestNet::parserRejectsMalformed_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("closeAtEnd");

    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    const QByteArray chunked = ok + "Transfer-Encoding: chunked\r\n\r\n";
    QTest::newRow("not http") << QByteArray("HELLO THERE\r\n\r\n") << false;
    QTest::newRow("four-digit status") << QByteArray("HTTP/1.1 2000 OK\r\n\r\n") << false;
    QTest::newRow("no status code") << QByteArray("HTTP/1.1 OK\r\n\r\n") << false;
    QTest::newRow("status below 100") << QByteArray("HTTP/1.1 099 Odd\r\n\r\n") << false;
    QTest::newRow("header without colon") << ok + "NoColonHere\r\n\r\n" << false;
    QTest::newRow("space before colon") << ok + "Content-Length : 1\r\n\r\nx" << false;
    QTest::newRow("negative length") << ok + "Content-Length: -1\r\n\r\n" << false;
    QTest::newRow("non-numeric length") << ok + "Content-Length: 12abc\r\n\r\n" << false;
    QTest::newRow("overflowing length") << ok + "Content-Length: 99999999999999999999999\r\n\r\n" << false;
    QTest::newRow("length over 64 MiB") << ok + "Content-Length: 67108865\r\n\r\n" << false;
    QTest::newRow("conflicting lengths") << ok + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nxy" << false;
    QTest::newRow("chunk size not hex") << chunked + "zz\r\n" << false;
    QTest::newRow("negative chunk size") << chunked + "-5\r\nhello\r\n" << false;
    QTest::newRow("empty chunk size") << chunked + "\r\nhello\r\n" << false;
    QTest::newRow("overflowing chunk size") << chunked + "10000000000000000\r\n" << false;
    QTest::newRow("chunk over 64 MiB") << chunked + "4000001\r\n" << false;
    QTest::newRow("chunk without line break") << chunked + "3\r\nabcX\r\n0\r\n\r\n" << false;
    QTest::newRow("headers over 64 KiB, unfinished") << ok + "X-Big: " + QByteArray(65 * 1024, 'a') << false;
    QByteArray manyLines = ok;
    for (int i = 0; i < 700; ++i)
        manyLines += "X-Line: " + QByteArray(90, 'b') + "\r\n";
    QTest::newRow("headers over 64 KiB in many lines") << manyLines + "\r\n" << false;
    QTest::newRow("chunk-size line over 1 KiB") << chunked + "1;" + QByteArray(1100, 'e') + "\r\nx\r\n"
                                                << false;
    QTest::newRow("body cut by the close") << ok + "Content-Length: 10\r\n\r\nshort" << true;
    QTest::newRow("chunks cut by the close") << chunked + "5\r\nhel" << true;
    QTest::newRow("closed without a response") << QByteArray() << true;
    QTest::newRow("head cut by the close") << QByteArray("HTTP/1.1 200 OK\r\nContent-") << true;
}

void TestNet::parserRejectsMalformed()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, closeAtEnd);

    for (const bool byteByByte : {false, true}) {
        const HttpResponseParser parser = Parse(input, byteByByte, closeAtEnd);
        QCOMPARE(parser.state(), HttpResponseParser::State::Malformed);
        QVERIFY(!parser.error().isEmpty());
    }
}

void TestNet::parserBodyLimit()
{
    const HttpParserLimits limits{.maxBodyBytes = 10};
    const QByteArray head = "HTTP/1.0 200 OK\r\n\r\n";
    HttpResponseParser atLimit(limits);
    atLimit.feed(head + QByteArray(10, 'x'));
    QCOMPARE(atLimit.closeInput(), HttpResponseParser::State::Complete);

    HttpResponseParser overLimit(limits);
    overLimit.feed(head + QByteArray(6, 'x'));
    QCOMPARE(overLimit.feed(QByteArray(5, 'x')), HttpResponseParser::State::Malformed);
    QVERIFY(overLimit.body().size() <= 10);
}

void TestNet::parserBodyEvents_data()
{
    QTest::addColumn<QByteArrayList>("pieces");
    QTest::addColumn<bool>("closeAtEnd");
    QTest::addColumn<QString>("events");

    QTest::newRow("length") << QByteArrayList{"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhe", "llo"}
                            << false << "B5 P2 P5 E";
    QTest::newRow("chunks, each its own pair")
        << QByteArrayList{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nab",
                          "c\r\n5\r\nhello\r\n0\r\n\r\n"}
        << false << "B3 P2 P3 E B5 P5 E";
    QTest::newRow("until the close") << QByteArrayList{"HTTP/1.1 200 OK\r\n\r\nabc", "de"} << true
                                     << "B0 P3 P5 E";
    QTest::newRow("empty body by length")
        << QByteArrayList{"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"} << false << "B0 E";
    QTest::newRow("no body") << QByteArrayList{"HTTP/1.1 204 No Content\r\n\r\n"} << false << "";
}

void TestNet::parserBodyEvents()
{
    QFETCH(QByteArrayList, pieces);
    QFETCH(bool, closeAtEnd);
    QFETCH(QString, events);

    HttpResponseParser parser;
    QStringList seen;
    for (const QByteArray& piece : pieces) {
        parser.feed(piece);
        for (const HttpBodyEvent& event : parser.takeBodyEvents())
            seen.append(EventText(event.kind, event.value));
    }
    if (closeAtEnd)
        parser.closeInput();
    for (const HttpBodyEvent& event : parser.takeBodyEvents())
        seen.append(EventText(event.kind, event.value));
    QCOMPARE(parser.state(), HttpResponseParser::State::Complete);
    QCOMPARE(seen.join(u' '), events);
}

void TestNet::composesRequests_data()
{
    QTest::addColumn<bool>("post");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QByteArray>("connection");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<bool>("noCache");
    QTest::addColumn<QByteArray>("cookies");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray tail = AcceptLine + UserAgentLine;
    QTest::newRow("get on port 80") << false << "http://www.example.com/trends/hottrends/atom/hourly"
                                    << QByteArray() << QByteArray("text/html") << false << QByteArray()
                                    << QByteArray()
                                    << "GET /trends/hottrends/atom/hourly HTTP/1.1\r\nContent-Type: "
                                       "text/html\r\nHost: www.example.com\r\n" +
                                           tail + "\r\n";
    QTest::newRow("port 8080, query, no-cache")
        << false << "http://suggest.example.com:8080/complete/search?q=red%20shoes&hl=en" << QByteArray()
        << QByteArray("text/html") << true << QByteArray() << QByteArray()
        << "GET /complete/search?q=red%20shoes&hl=en HTTP/1.1\r\nContent-Type: text/html\r\n"
           "Cache-control: no-cache\r\nPragma: no-cache\r\nHost: suggest.example.com:8080\r\n" +
               tail + "\r\n";
    QTest::newRow("https shows port 443, no path")
        << false << "https://secure.example.com" << QByteArray() << QByteArray("text/html") << false
        << QByteArray() << QByteArray()
        << "GET / HTTP/1.1\r\nContent-Type: text/html\r\nHost: secure.example.com:443\r\n" + tail + "\r\n";
    QTest::newRow("no protocol means http")
        << false << "www.example.com/a?b" << QByteArray() << QByteArray("text/html") << false << QByteArray()
        << QByteArray()
        << "GET /a?b HTTP/1.1\r\nContent-Type: text/html\r\nHost: www.example.com\r\n" + tail + "\r\n";
    QTest::newRow("held connection, own type, cookies last")
        << false << "http://example.com/x" << QByteArray("keep-alive")
        << QByteArray("multipart/form-data; boundary=--------1") << true << QByteArray("a=1; b=2")
        << QByteArray()
        << "GET /x HTTP/1.1\r\nConnection: keep-alive\r\nContent-Type: multipart/form-data; "
           "boundary=--------1\r\n"
           "Cache-control: no-cache\r\nPragma: no-cache\r\nHost: example.com\r\n" +
               tail + "Cookie: a=1; b=2\r\n\r\n";
    QTest::newRow("post as HTTP/1.0 with its length and body")
        << true << "http://news.example.com:81/getlastnews.php" << QByteArray("keep-alive")
        << QByteArray("multipart/form-data; boundary=--------X") << false << QByteArray()
        << QByteArray("field=1\r\n")
        << "POST /getlastnews.php HTTP/1.0\r\nConnection: keep-alive\r\n"
           "Content-Type: multipart/form-data; boundary=--------X\r\nContent-Length: 9\r\n"
           "Host: news.example.com:81\r\n" +
               tail + "\r\nfield=1\r\n";
}

void TestNet::composesRequests()
{
    QFETCH(bool, post);
    QFETCH(QString, url);
    QFETCH(QByteArray, connection);
    QFETCH(QByteArray, contentType);
    QFETCH(bool, noCache);
    QFETCH(QByteArray, cookies);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, expected);

    HttpRequestSettings settings;
    settings.connection = connection;
    settings.contentType = contentType;
    if (noCache)
        settings.cacheControl = settings.pragma = "no-cache";
    QString error;
    const std::optional<HttpTarget> target = HttpTargetFromUrl(HttpUrlFromText(url), error);
    QVERIFY2(target, qPrintable(error));
    QCOMPARE(ComposeHttpRequest(post ? HttpMethod::Post : HttpMethod::Get, *target, settings, cookies, body),
             expected);
}

void TestNet::rejectsTargets_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::newRow("ftp") << QUrl(u"ftp://example.com/file"_s);
    QTest::newRow("mailto") << QUrl(u"mailto:someone@example.com"_s);
    QTest::newRow("no host") << QUrl(u"http:///path"_s);
}

void TestNet::rejectsTargets()
{
    QFETCH(QUrl, url);
    QString error;
    QVERIFY(!HttpTargetFromUrl(url, error));
    QVERIFY(!error.isEmpty());

    HttpClient client;
    const HttpResult result = Run(client.get(url));
    QVERIFY(!result.ok);
    QCOMPARE(result.error, error);
}

void TestNet::pageText_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("lone LF") << QByteArray("a\nb") << "a\r\nb\r\n";
    QTest::newRow("ends with CR LF") << QByteArray("a\r\n") << "a\r\n";
    QTest::newRow("lone CR, empty line") << QByteArray("a\rb\r\n\nc") << "a\r\nb\r\n\r\nc\r\n";
    QTest::newRow("cut at zero byte") << QByteArray("ab\0cd\n", 6) << "ab\r\n";
    QTest::newRow("zero byte first") << QByteArray("\0abc", 4) << "";
    QTest::newRow("utf-8") << QByteArray("caf\xc3\xa9") << QString::fromUtf8("caf\xc3\xa9\r\n");
    QTest::newRow("windows-1252") << QByteArray("caf\xe9 \x80")
                                  << QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac\r\n");
}

void TestNet::pageText()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    QCOMPARE(PageTextFromBody(body), text);
}

void TestNet::bodyText_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QString>("text");

    const QByteArray utf8 = "caf\xc3\xa9 \xe2\x82\xac";
    const QByteArray cp1252 = "caf\xe9 \x80";
    QTest::newRow("no charset, UTF-8") << utf8 << QByteArray("application/json") << u"café €"_s;
    QTest::newRow("no charset, Windows-1252") << cp1252 << QByteArray() << u"café €"_s;
    QTest::newRow("declared UTF-8") << utf8 << QByteArray("text/html; charset=UTF-8") << u"café €"_s;
    QTest::newRow("ISO-8859-1 read as Windows-1252")
        << cp1252 << QByteArray("text/javascript; charset=ISO-8859-1") << u"café €"_s;
    QTest::newRow("quoted, spaced, among parameters")
        << cp1252 << QByteArray("text/plain;format=flowed; Charset = \"windows-1252\"") << u"café €"_s;
    QTest::newRow("declared Latin-1 wins over valid UTF-8")
        << QByteArray("\xc3\xa9") << QByteArray("text/plain; charset=latin1") << u"Ã©"_s;
    QTest::newRow("UTF-16LE") << QByteArray("a\0\xe9\0", 4) << QByteArray("text/plain; charset=utf-16le")
                              << u"aé"_s;
    QTest::newRow("unknown charset, the program's rule")
        << cp1252 << QByteArray("text/plain; charset=x-no-such") << u"café €"_s;
    QTest::newRow("line breaks kept") << QByteArray("a\nb\r\n") << QByteArray() << u"a\nb\r\n"_s;
}

void TestNet::bodyText()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(QString, text);
    QCOMPARE(BodyText(body, contentType), text);
}

void TestNet::refusals_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("refusal");

    const QString api = u"https://api.example.com/complete/search?q=a"_s;
    QTest::newRow("429, empty") << 429 << QByteArray() << api << true;
    QTest::newRow("403 captcha page") << 403 << QByteArray("<form id=\"CAPTCHA\">") << api << true;
    QTest::newRow("503 unusual traffic")
        << 503 << QByteArray("Our systems have detected Unusual Traffic") << api << true;
    QTest::newRow("503 plain") << 503 << QByteArray("Service Unavailable") << api << false;
    QTest::newRow("403 plain") << 403 << QByteArray("Forbidden") << api << false;
    QTest::newRow("500 naming a captcha") << 500 << QByteArray("captcha") << api << false;
    QTest::newRow("200 answer about captchas")
        << 200 << QByteArray(R"(["captcha",["captcha solver"]])") << api << false;
    QTest::newRow("ended on a sorry page")
        << 200 << QByteArray("<html></html>") << u"https://www.example.com/sorry/index?continue=x"_s << true;
    QTest::newRow("sorry only in the query")
        << 200 << QByteArray() << u"https://www.example.com/a?p=/sorry/"_s << false;
    QTest::newRow("sorry not at the start")
        << 404 << QByteArray() << u"https://www.example.com/x/sorry/"_s << false;
    QTest::newRow("200 ok") << 200 << QByteArray("[]") << api << false;
}

void TestNet::refusals()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, url);
    QFETCH(bool, refusal);
    QCOMPARE(IsRefusal(status, body, QUrl(url)), refusal);
}

void TestNet::sendsRequestBytes_data()
{
    QTest::addColumn<bool>("noCache");
    QTest::addColumn<QByteArray>("connection");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray tail = "Host: 127.0.0.1:PORT\r\n" + AcceptLine + UserAgentLine + "\r\n";
    QTest::newRow("as created") << false << QByteArray() << QByteArray()
                                << "GET /page?q=1 HTTP/1.1\r\nContent-Type: text/html\r\n" + tail;
    QTest::newRow("no-cache set") << true << QByteArray() << QByteArray()
                                  << "GET /page?q=1 HTTP/1.1\r\nContent-Type: text/html\r\nCache-control: "
                                     "no-cache\r\nPragma: no-cache\r\n" +
                                         tail;
    QTest::newRow("connection and content type held")
        << false << QByteArray("keep-alive") << QByteArray("multipart/form-data; boundary=b")
        << "GET /page?q=1 HTTP/1.1\r\nConnection: keep-alive\r\nContent-Type: multipart/form-data; "
           "boundary=b\r\n" +
               tail;
}

void TestNet::sendsRequestBytes()
{
    QFETCH(bool, noCache);
    QFETCH(QByteArray, connection);
    QFETCH(QByteArray, contentType);
    QFETCH(QByteArray, expected);

    ScriptedHttpServer server;
    server.enqueue(ScriptedHttpServer::ok("first"));
    server.enqueue(ScriptedHttpServer::ok("second"));
    HttpClient client;
    if (noCache) {
        client.setCacheControl("no-cache");
        client.setPragma("no-cache");
    }
    client.setConnectionValue(connection);
    if (!contentType.isEmpty())
        client.setContentType(contentType);

    // The settings hold for every request of the client, the first and the later ones.
    QCOMPARE(Run(client.get(server.url(u"/page?q=1"_s))).body, QByteArray("first"));
    QCOMPARE(Run(client.get(server.url(u"/page?q=1"_s))).body, QByteArray("second"));
    QCOMPARE(server.requests(), QList<QByteArray>({WithPort(expected, server), WithPort(expected, server)}));
}

void TestNet::postKeepsItsSettings()
{
    ScriptedHttpServer server;
    server.enqueue(ScriptedHttpServer::ok("OK"));
    server.enqueue(ScriptedHttpServer::ok("update"));
    HttpClient client;
    const QByteArray type = "multipart/form-data; boundary=--------010203040506007";
    const QByteArray body =
        "----------010203040506007\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n1\r\n";

    const HttpResult posted = Run(client.post(server.url(u"/news/getlastnews.php"_s), body, type));
    QVERIFY2(posted.ok, qPrintable(posted.error));
    QCOMPARE(posted.body, QByteArray("OK"));
    QVERIFY(Run(client.get(server.url(u"/update.inf"_s))).ok);

    const QByteArray tail = "Host: " + server.hostAndPort() + "\r\n" + AcceptLine + UserAgentLine + "\r\n";
    QCOMPARE(server.requests().value(0), "POST /news/getlastnews.php HTTP/1.0\r\nConnection: keep-alive\r\n"
                                         "Content-Type: " +
                                             type + "\r\nContent-Length: " + QByteArray::number(body.size()) +
                                             "\r\n" + tail + body);
    QCOMPARE(server.requests().value(1),
             "GET /update.inf HTTP/1.1\r\nConnection: keep-alive\r\nContent-Type: " + type + "\r\n" + tail);
    QCOMPARE(server.connectionCount(), 2);
}

void TestNet::sendsModernHeaders()
{
    ScriptedHttpServer server;
    server.enqueue(ScriptedHttpServer::ok(R"(["q",[]])", "application/json; charset=UTF-8"));
    HttpClient client;
    client.setContentType({});
    client.setAccept("application/json, */*;q=0.8");
    client.setAcceptLanguage("de-AT,de;q=0.9");
    client.setAcceptEncoding("identity");
    client.setUserAgent(ModernUserAgent);

    const HttpResult result = Run(client.get(server.url(u"/complete/search?q=a%20b"_s)));
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.contentType, QByteArray("application/json; charset=UTF-8"));
    QCOMPARE(server.requests().value(0),
             "GET /complete/search?q=a%20b HTTP/1.1\r\nHost: " + server.hostAndPort() +
                 "\r\nAccept: application/json, */*;q=0.8\r\n"
                 "Accept-Language: de-AT,de;q=0.9\r\nAccept-Encoding: identity\r\n"
                 "User-Agent: " +
                 ModernUserAgent + "\r\n\r\n");
    QVERIFY(ModernUserAgent.startsWith("Mozilla/5.0 ("));
}

void TestNet::httpsTrustsOnlyWhatItIsGiven_data()
{
    QTest::addColumn<bool>("trusted");
    QTest::newRow("test certificate given") << true;
    QTest::newRow("system certificates alone") << false;
}

void TestNet::httpsTrustsOnlyWhatItIsGiven()
{
    QFETCH(bool, trusted);
    if (!QSslSocket::supportsSsl())
        QSKIP("No TLS backend");

    ScriptedHttpServer server(ScriptedHttpServer::Transport::Tls);
    server.enqueue(ScriptedHttpServer::ok("secret", "text/plain; charset=utf-8"));
    HttpClient client;
    if (trusted)
        client.setExtraCaCertificates(ScriptedHttpServer::testCaCertificates());
    client.setConnectTimeout(10s);

    const HttpResult result = Run(client.get(server.url(u"/feed?geo=US"_s)));
    QCOMPARE(result.ok, trusted);
    if (trusted) {
        QCOMPARE(result.statusCode, 200);
        QCOMPARE(result.body, QByteArray("secret"));
        QCOMPARE(result.contentType, QByteArray("text/plain; charset=utf-8"));
        QCOMPARE(server.requestLines(), QList<QByteArray>({"GET /feed?geo=US HTTP/1.1"}));
    } else {
        QCOMPARE(result.statusCode, 0);
        QVERIFY(result.body.isEmpty());
        QVERIFY2(result.error.contains(u"certificate"_s, Qt::CaseInsensitive), qPrintable(result.error));
        QVERIFY(server.requests().isEmpty());
    }
}

void TestNet::readsBodies_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<bool>("serverCloses");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");

    // A held connection shows that the client ends the response by its framing alone.
    QTest::newRow("content length") << ScriptedHttpServer::response(200, "hello there") << false << 200
                                    << QByteArray("hello there");
    QTest::newRow("chunked") << ScriptedHttpServer::chunkedResponse({"hello", " ", "there"}) << false << 200
                             << QByteArray("hello there");
    QTest::newRow("until the close") << QByteArray("HTTP/1.1 200 OK\r\n\r\nline 1\nline 2") << true << 200
                                     << QByteArray("line 1\nline 2");
    QTest::newRow("204") << QByteArray("HTTP/1.1 204 No Content\r\n\r\n") << false << 204 << QByteArray();
    QTest::newRow("empty 200") << ScriptedHttpServer::response(200) << false << 200 << QByteArray();
    QTest::newRow("zero byte") << ScriptedHttpServer::response(200, QByteArray("ab\0cd", 5)) << false << 200
                               << QByteArray("ab\0cd", 5);
    QTest::newRow("after 100 Continue")
        << "HTTP/1.1 100 Continue\r\n\r\n" + ScriptedHttpServer::response(200, "x") << false << 200
        << QByteArray("x");
}

void TestNet::readsBodies()
{
    QFETCH(QByteArray, response);
    QFETCH(bool, serverCloses);
    QFETCH(int, status);
    QFETCH(QByteArray, body);

    ScriptedHttpServer server;
    Reply reply = ScriptedHttpServer::raw(response);
    if (!serverCloses)
        reply.thenHold();
    server.enqueue(reply);
    HttpClient client;
    client.setIdleTimeout(5s);

    const HttpResult result = Run(client.get(server.url(u"/x"_s)));
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.statusCode, status);
    QCOMPARE(result.body, body);
    QCOMPARE(result.url, server.url(u"/x"_s));
    QVERIFY(result.error.isEmpty());
}

void TestNet::failures_data()
{
    QTest::addColumn<QByteArray>("response");
    QTest::addColumn<int>("status");

    QTest::newRow("404") << ScriptedHttpServer::response(404, "no such page") << 404;
    QTest::newRow("500") << ScriptedHttpServer::response(500, "oops") << 500;
    QTest::newRow("401 without credentials") << ScriptedHttpServer::response(401) << 401;
    QTest::newRow("304 without a Location") << QByteArray("HTTP/1.1 304 Not Modified\r\n\r\n") << 304;
    QTest::newRow("bad status line") << QByteArray("HTTP/1.1 abc\r\n\r\n") << 0;
    QTest::newRow("body cut short") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc") << 200;
    QTest::newRow("closed without answering") << QByteArray() << 0;
    QTest::newRow("redirect without a Location") << ScriptedHttpServer::response(302) << 302;
}

void TestNet::failures()
{
    QFETCH(QByteArray, response);
    QFETCH(int, status);

    ScriptedHttpServer server;
    server.enqueue(ScriptedHttpServer::raw(response));
    HttpClient client;
    const HttpResult result = Run(client.get(server.url(u"/"_s)));
    QVERIFY(!result.ok);
    QCOMPARE(result.statusCode, status);
    QVERIFY(!result.error.isEmpty());
    QVERIFY(!client.busy());
}

void TestNet::refusedConnection()
{
    HttpClient client;
    const HttpResult result =
        Run(client.get(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(RefusingPort()))));
    QVERIFY(!result.ok);
    QCOMPARE(result.statusCode, 0);
    QVERIFY2(result.error.contains(u"refused"_s, Qt::CaseInsensitive), qPrintable(result.error));
}

void TestNet::followsRedirects_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QString>("target");

    QTest::newRow("302, relative") << ScriptedHttpServer::response(302, "moved", {{"Location", "../b/c?x=1"}})
                                   << "/b/c?x=1";
    QTest::newRow("301, absolute path")
        << ScriptedHttpServer::response(301, "", {{"Location", "/other"}}) << "/other";
    QTest::newRow("200 with a Location")
        << ScriptedHttpServer::response(200, "x", {{"Location", "moved.html"}}) << "/a/moved.html";
    QTest::newRow("303 with a chunked body")
        << ScriptedHttpServer::chunkedResponse({"see", "other"}, {{"Location", "http://127.0.0.1:PORT/z"}})
               .replace("HTTP/1.1 200 OK", "HTTP/1.1 303 See Other")
        << "/z";
    QTest::newRow("404 with a Location")
        << ScriptedHttpServer::response(404, "", {{"Location", "/found"}}) << "/found";
}

void TestNet::followsRedirects()
{
    QFETCH(QByteArray, first);
    QFETCH(QString, target);

    ScriptedHttpServer server;
    server.enqueue(ScriptedHttpServer::raw(WithPort(first, server)));
    server.enqueue(ScriptedHttpServer::ok("arrived"));
    HttpClient client;

    const HttpResult result = Run(client.get(server.url(u"/a/one"_s)));
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.body, QByteArray("arrived"));
    QCOMPARE(result.url, server.url(target));
    QCOMPARE(server.requestLines(),
             QList<QByteArray>({"GET /a/one HTTP/1.1", "GET " + target.toLatin1() + " HTTP/1.1"}));
}

void TestNet::redirectChainLimit_data()
{
    QTest::addColumn<int>("redirects");
    QTest::addColumn<bool>("ok");
    QTest::newRow("14 redirects, 15th response ends it") << 14 << true;
    QTest::newRow("15th response still redirects") << 15 << false;
}

void TestNet::redirectChainLimit()
{
    QFETCH(int, redirects);
    QFETCH(bool, ok);

    ScriptedHttpServer server;
    for (int i = 0; i < redirects; ++i)
        server.enqueue(ScriptedHttpServer::redirect("/loop"));
    server.enqueue(ScriptedHttpServer::ok("end"));
    HttpClient client;

    const HttpResult result = Run(client.post(server.url(u"/start"_s), "data", "text/plain"));
    QCOMPARE(result.ok, ok);
    QCOMPARE(server.requests().size(), HttpClient::MaxRequestsInChain);
    // Redirects repeat the method.
    QVERIFY(server.requestLines().back().startsWith("POST /loop "));
    QCOMPARE(result.body, ok ? QByteArray("end") : QByteArray());
}

void TestNet::cookiesGoBackWhereTheyMatch()
{
    ScriptedHttpServer server;
    server.enqueue(
        ScriptedHttpServer::raw(ScriptedHttpServer::response(302, "",
                                                             {{"Set-Cookie", "session=abc; Path=/app"},
                                                              {"Set-Cookie", "lang=en; Path=/"},
                                                              {"Set-Cookie2", "theme=dark; Path=/app/deep"},
                                                              {"Location", "/app/home"}})));
    server.setFallback(ScriptedHttpServer::ok("page"));
    HttpClient client;
    HttpClient otherClient;

    QVERIFY(Run(client.get(server.url(u"/app/login"_s))).ok);
    QVERIFY(Run(client.get(server.url(u"/app/deep/page"_s))).ok);
    QVERIFY(Run(client.get(server.url(u"/elsewhere"_s))).ok);
    QVERIFY(Run(otherClient.get(server.url(u"/app/home"_s))).ok);

    const auto cookieLine = [&](int index) {
        const QByteArray request = server.requests().value(index);
        const qsizetype start = request.indexOf("\r\nCookie: ");
        return start < 0 ? QByteArray()
                         : request.mid(start + 10, request.indexOf("\r\n", start + 2) - start - 10);
    };
    QCOMPARE(server.requests().size(), 5);
    QCOMPARE(cookieLine(0), QByteArray());
    QCOMPARE(cookieLine(1), QByteArray("session=abc; lang=en"));             // the redirect's own cookies
    QCOMPARE(cookieLine(2), QByteArray("theme=dark; session=abc; lang=en")); // longest path first
    QCOMPARE(cookieLine(3), QByteArray("lang=en"));
    QCOMPARE(cookieLine(4), QByteArray()); // each client keeps its own
}

void TestNet::transferEvents_data()
{
    QTest::addColumn<QByteArrayList>("responses");
    QTest::addColumn<QString>("events");

    QTest::newRow("redirect body, then chunks")
        << QByteArrayList{ScriptedHttpServer::response(302, "moved", {{"Location", "/next"}}),
                          ScriptedHttpServer::chunkedResponse({"abc", "defgh"})}
        << "B5 P5 E B3 P3 E B5 P5 E";
    QTest::newRow("error body") << QByteArrayList{ScriptedHttpServer::response(404, "missing")} << "B7 P7 E";
    QTest::newRow("until the close") << QByteArrayList{"HTTP/1.1 200 OK\r\n\r\n12345678"} << "B0 P8 E";
    QTest::newRow("no body") << QByteArrayList{"HTTP/1.1 204 No Content\r\n\r\n"} << "";
}

void TestNet::transferEvents()
{
    QFETCH(QByteArrayList, responses);
    QFETCH(QString, events);

    ScriptedHttpServer server;
    for (const QByteArray& response : responses)
        server.enqueue(ScriptedHttpServer::raw(response));
    HttpClient client;
    TransferLog log(client);
    Run(client.get(server.url(u"/"_s)));
    QCOMPARE(log.text(), events);
}

void TestNet::stallEndsOnIdleTimeout()
{
    ScriptedHttpServer server;
    server.enqueue(
        ScriptedHttpServer::raw("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly part").thenHold());
    HttpClient client;
    client.setIdleTimeout(300ms);
    TransferLog log(client);

    QElapsedTimer clock;
    clock.start();
    const HttpResult result = Run(client.get(server.url(u"/"_s)));
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(u"No data"_s), qPrintable(result.error));
    QVERIFY(clock.elapsed() >= 250);
    QCOMPARE(log.text(), u"B100 P9 E"_s);
}

void TestNet::silentHandshakeEndsOnConnectTimeout()
{
    if (!QSslSocket::supportsSsl())
        QSKIP("No TLS backend");
    // The scripted server never answers a TLS greeting, so the connection is never established.
    ScriptedHttpServer server;
    HttpClient client;
    client.setConnectTimeout(300ms);
    QUrl url = server.url(u"/"_s);
    url.setScheme(u"https"_s);

    QElapsedTimer clock;
    clock.start();
    const HttpResult result = Run(client.get(url));
    QVERIFY(!result.ok);
    QVERIFY2(result.error.startsWith(u"Timed out connecting"_s), qPrintable(result.error));
    QVERIFY(clock.elapsed() >= 250);
    QVERIFY(server.requests().isEmpty());
}

void TestNet::hostileServersFailWithinLimits_data()
{
    QTest::addColumn<Reply>("hostile");
    QTest::addColumn<QString>("error");
    // The most the client may hold for it: a body up to the parser's limit (64 MB) may take twice
    // that for a moment while its buffer grows.
    QTest::addColumn<qint64>("memory");
    // The client's time-outs. Only the rows whose subject is a time-out get a short one; the others
    // give the server all the time it needs, so that a busy machine cannot turn a limit of size
    // into a time-out.
    QTest::addColumn<int>("idleMs");
    QTest::addColumn<int>("deadlineMs");

    const QByteArray ok = "HTTP/1.1 200 OK\r\n";
    const QByteArray megabyte(1024 * 1024, 'x');
    constexpr qint64 MB = 1024 * 1024;
    constexpr int Ample = 300'000;
    QTest::newRow("headers forever") << Flood(ok, "X-Filler: " + QByteArray(1000, 'a') + "\r\n", 32 * 1024)
                                     << u"headers are larger than"_s << 8 * MB << Ample << Ample;
    QTest::newRow("endless chunk size")
        << Flood(ok + "Transfer-Encoding: chunked\r\n\r\n", QByteArray(4096, 'f'), 8192)
        << u"chunk-size line is longer"_s << 8 * MB << Ample << Ample;
    QTest::newRow("endless chunks") << Flood(ok + "Transfer-Encoding: chunked\r\n\r\n",
                                             "100000\r\n" + megabyte + "\r\n", 80)
                                    << u"larger than"_s << 160 * MB << Ample << Ample;
    QTest::newRow("body over the limit")
        << Flood(ok + "\r\n", megabyte, 80) << u"larger than"_s << 160 * MB << Ample << Ample;
    QTest::newRow("announced body over the limit")
        << ScriptedHttpServer::raw(ok + "Content-Length: 1000000000000\r\n\r\n") << u"larger than"_s << 8 * MB
        << Ample << Ample;
    QTest::newRow("silent server") << Reply().thenHold() << u"No data from the server for 300 ms"_s << 8 * MB
                                   << 300 << Ample;
    // A byte every 20 ms would take 20 s: the deadline ends it long before, however slow the machine.
    QTest::newRow("a byte at a time") << Flood(ok + "Content-Length: 1000\r\n\r\n", "x", 1000, 20)
                                      << u"within 600 ms"_s << 8 * MB << Ample << 600;
    QTest::newRow("redirect loop") << Reply() << u"Still redirected"_s << 8 * MB << Ample << Ample;
    QTest::newRow("body shorter than announced, then silence")
        << ScriptedHttpServer::stalled("abc") << u"No data from the server for 300 ms"_s << 8 * MB << 300
        << Ample;
    QTest::newRow("body shorter than announced, then closed")
        << ScriptedHttpServer::raw(ok + "Content-Length: 1000\r\n\r\nabc") << u"closed"_s << 8 * MB << Ample
        << Ample;
}

void TestNet::hostileServersFailWithinLimits()
{
    QFETCH(Reply, hostile);
    QFETCH(QString, error);
    QFETCH(qint64, memory);
    QFETCH(int, idleMs);
    QFETCH(int, deadlineMs);

    ScriptedHttpServer server;
    const bool loop = hostile.steps.isEmpty() && hostile.closeAfter;
    connect(&server, &ScriptedHttpServer::requestArrived, this, [&](const QByteArray& request) {
        if (request.startsWith("GET /next "))
            server.enqueue(ScriptedHttpServer::ok("next"));
        else
            server.enqueue(loop ? ScriptedHttpServer::redirect("/hostile") : hostile);
    });
    HttpClient client;
    client.setIdleTimeout(std::chrono::milliseconds(idleMs));
    client.setDeadline(std::chrono::milliseconds(deadlineMs));
    ResetPeakMemory();
    const qint64 memoryBefore = MemoryFigure("VmRSS");
    const HttpResult result = Run(client.get(server.url(u"/hostile"_s)));
    QVERIFY(!result.ok);
    QVERIFY2(result.error.contains(error, Qt::CaseInsensitive), qPrintable(result.error));
    // AddressSanitizer keeps freed memory aside for a while: there, the peak says nothing of the client.
#ifndef __SANITIZE_ADDRESS__
    const qint64 grown = MemoryFigure("VmHWM") - memoryBefore;
    QVERIFY2(grown <= memory, qPrintable(QStringLiteral("%1 MB more").arg(grown / (1024 * 1024))));
#else
    Q_UNUSED(memory);
    Q_UNUSED(memoryBefore);
#endif
    // The same client goes on with the next request.
    const HttpResult next = Run(client.get(server.url(u"/next"_s)));
    QVERIFY2(next.ok, qPrintable(next.error));
    QCOMPARE(next.body, QByteArray("next"));
}

void TestNet::deadlineEndsASlowRequest_data()
{
    QTest::addColumn<Reply>("slow");

    // Each byte comes well within the idle time-out, each redirect well within the deadline.
    Reply drip = ScriptedHttpServer::raw("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
    for (int i = 0; i < 100; ++i)
        drip.then(50, "x");
    QTest::newRow("one byte every 50 ms") << drip;
    QTest::newRow("redirects, each in time")
        << Reply().then(150, ScriptedHttpServer::response(302, "", {{"Location", "/again"}}));
}

void TestNet::deadlineEndsASlowRequest()
{
    QFETCH(Reply, slow);

    ScriptedHttpServer server;
    connect(&server, &ScriptedHttpServer::requestArrived, this, [&](const QByteArray& request) {
        server.enqueue(request.startsWith("GET /next ") ? ScriptedHttpServer::ok("next") : slow);
    });
    HttpClient client;
    client.setIdleTimeout(2s);
    client.setDeadline(400ms);

    QElapsedTimer clock;
    clock.start();
    QCoro::Task<HttpResult> slowRequest = client.get(server.url(u"/slow"_s));
    QCoro::Task<HttpResult> next = client.get(server.url(u"/next"_s));
    const HttpResult result = Run(std::move(slowRequest));
    QVERIFY(!result.ok);
    QCOMPARE(result.error, u"No complete answer from the server within 400 ms"_s);
    QVERIFY(clock.elapsed() >= 350);
    // The request queued behind it goes on.
    const HttpResult nextResult = Run(std::move(next));
    QVERIFY2(nextResult.ok, qPrintable(nextResult.error));
    QCOMPARE(nextResult.body, QByteArray("next"));
}

void TestNet::deadlineCountsFromTheTurn()
{
    // The second request ends at least 5 s after it was made but only 2 s after its turn came; the
    // margins (a second or more) leave a busy machine all the time it needs.
    ScriptedHttpServer server;
    server.enqueue(Reply().then(3000, ScriptedHttpServer::response(200, "first")));
    server.enqueue(Reply().then(2000, ScriptedHttpServer::response(200, "second")));
    HttpClient client;
    client.setDeadline(4000ms);

    QCoro::Task<HttpResult> first = client.get(server.url(u"/1"_s));
    QCoro::Task<HttpResult> second = client.get(server.url(u"/2"_s));
    QCOMPARE(Run(std::move(first)).body, QByteArray("first"));
    const HttpResult result = Run(std::move(second));
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(result.body, QByteArray("second"));
}

void TestNet::disconnectEndsTransfer_data()
{
    QTest::addColumn<bool>("fromWorkHandler");
    QTest::newRow("from a work handler") << true;
    QTest::newRow("while the client waits") << false;
}

void TestNet::disconnectEndsTransfer()
{
    QFETCH(bool, fromWorkHandler);

    ScriptedHttpServer server;
    // The next chunk comes only after a long while: the disconnect, made when the first one has
    // arrived, always comes first.
    Reply slow = ScriptedHttpServer::raw("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n");
    for (int i = 0; i < 20; ++i)
        slow.then(2000, "3\r\nabc\r\n");
    server.enqueue(slow.then(0, "0\r\n\r\n"));
    server.enqueue(ScriptedHttpServer::ok("again"));
    HttpClient client;
    TransferLog log(client);
    // Either inside the handler of the first chunk, or from the event loop once the client waits for
    // the next one.
    connect(&client, &HttpClient::work, &client, [&client, fromWorkHandler] {
        if (fromWorkHandler)
            client.disconnect();
        else
            QTimer::singleShot(0, &client, [&client] { client.disconnect(); });
    });

    const HttpResult result = Run(client.get(server.url(u"/"_s)));
    QVERIFY(!result.ok);
    QCOMPARE(result.error, HttpClient::DisconnectedError);
    QCOMPARE(log.text(), u"B3 P3 E"_s);
    QVERIFY(!client.busy());

    // The client serves the next request as usual.
    QObject::disconnect(&client, &HttpClient::work, &client, nullptr);
    QCOMPARE(Run(client.get(server.url(u"/"_s))).body, QByteArray("again"));
}

void TestNet::requestsTakeTurns()
{
    ScriptedHttpServer server;
    server.enqueue(ScriptedHttpServer::Reply().then(200, ScriptedHttpServer::response(200, "one")));
    server.enqueue(ScriptedHttpServer::ok("two"));
    HttpClient client;
    QVERIFY(!client.busy());

    QCoro::Task<HttpResult> first = client.get(server.url(u"/1"_s));
    QCoro::Task<HttpResult> second = client.get(server.url(u"/2"_s));
    QVERIFY(client.busy());
    bool firstDoneWhenSecondArrived = false;
    connect(&server, &ScriptedHttpServer::requestArrived, this, [&](const QByteArray& request) {
        if (request.startsWith("GET /2 "))
            firstDoneWhenSecondArrived = first.isReady();
    });

    QTRY_VERIFY(second.isReady());
    QVERIFY(firstDoneWhenSecondArrived);
    QCOMPARE(server.requestLines(), QList<QByteArray>({"GET /1 HTTP/1.1", "GET /2 HTTP/1.1"}));
    QCOMPARE(Run(std::move(first)).body, QByteArray("one"));
    QCOMPARE(Run(std::move(second)).body, QByteArray("two"));
    QVERIFY(!client.busy());
}

void TestNet::disconnectAfterARequestSparesTheNext()
{
    ScriptedHttpServer server;
    server.enqueue(ScriptedHttpServer::ok("one"));
    server.enqueue(ScriptedHttpServer::ok("two"));
    HttpClient client;
    // Like a download that disconnects its client once its own request has ended.
    const auto download = [&]() -> QCoro::Task<HttpResult> {
        HttpResult result = co_await client.get(server.url(u"/1"_s));
        client.disconnect();
        co_return result;
    };

    QCoro::Task<HttpResult> first = download();
    QCoro::Task<HttpResult> second = client.get(server.url(u"/2"_s));
    QCOMPARE(Run(std::move(first)).body, QByteArray("one"));
    const HttpResult next = Run(std::move(second));
    QVERIFY2(next.ok, qPrintable(next.error));
    QCOMPARE(next.body, QByteArray("two"));
}

void TestNet::abortAllEndsWaitingRequests_data()
{
    QTest::addColumn<bool>("whileInFlight");
    QTest::newRow("one in flight, two waiting") << true;
    // Unlike disconnect(), this ends the request whose turn has only just come.
    QTest::newRow("right after a request ended") << false;
}

void TestNet::abortAllEndsWaitingRequests()
{
    QFETCH(bool, whileInFlight);

    ScriptedHttpServer server;
    if (whileInFlight)
        server.enqueue(ScriptedHttpServer::stalled("part"));
    else
        server.enqueue(ScriptedHttpServer::ok("one"));
    server.setFallback(ScriptedHttpServer::ok("later"));
    HttpClient client;
    if (whileInFlight)
        connect(&server, &ScriptedHttpServer::requestArrived, &client, [&client] { client.abortAll(); });
    const auto first = [&]() -> QCoro::Task<HttpResult> {
        HttpResult result = co_await client.get(server.url(u"/1"_s));
        if (!whileInFlight)
            client.abortAll();
        co_return result;
    };

    QCoro::Task<HttpResult> running = first();
    QCoro::Task<HttpResult> second = client.get(server.url(u"/2"_s));
    QCoro::Task<HttpResult> third = client.get(server.url(u"/3"_s));
    const HttpResult firstResult = Run(std::move(running));
    QCOMPARE(firstResult.ok, !whileInFlight);
    for (QCoro::Task<HttpResult>* waiting : {&second, &third}) {
        const HttpResult result = Run(std::move(*waiting));
        QVERIFY(!result.ok);
        QCOMPARE(result.error, HttpClient::DisconnectedError);
    }
    QVERIFY(!client.busy());

    // The client serves later requests in turn; the two that waited never went out.
    QObject::disconnect(&server, nullptr, &client, nullptr);
    QCOMPARE(Run(client.get(server.url(u"/later"_s))).body, QByteArray("later"));
    QCOMPARE(server.requestLines(), (QList<QByteArray>{"GET /1 HTTP/1.1", "GET /later HTTP/1.1"}));
}

void TestNet::clientDestroyedWhileRequestsPending_data()
{
    QTest::addColumn<bool>("fromWorkHandler");
    QTest::newRow("while suspended") << false;
    QTest::newRow("from a work handler") << true;
}

void TestNet::clientDestroyedWhileRequestsPending()
{
    QFETCH(bool, fromWorkHandler);

    ScriptedHttpServer server;
    // Two chunks in one piece: a handler that destroys the client leaves events still to report.
    server.enqueue(ScriptedHttpServer::raw(
                       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n3\r\ndef\r\n")
                       .thenHold());
    QPointer<HttpClient> client = new HttpClient;
    if (fromWorkHandler)
        connect(client.data(), &HttpClient::work, this, [&client] { delete client.data(); });

    QCoro::Task<HttpResult> running = client->get(server.url(u"/running"_s));
    QCoro::Task<HttpResult> waiting = client->get(server.url(u"/waiting"_s));
    if (!fromWorkHandler) {
        QTRY_COMPARE(server.requests().size(), 1);
        delete client.data();
    }

    QTRY_VERIFY(running.isReady() && waiting.isReady());
    QVERIFY(client.isNull());
    const HttpResult runningResult = Run(std::move(running));
    const HttpResult waitingResult = Run(std::move(waiting));
    QVERIFY(!runningResult.ok && !runningResult.error.isEmpty());
    QVERIFY(!waitingResult.ok && !waitingResult.error.isEmpty());
    QCOMPARE(server.requests().size(), 1);
}

void TestNet::localAddresses_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("local");
    const QList<std::pair<const char*, bool>> rows{{"127.0.0.1", true},
                                                   {"127.255.0.9", true},
                                                   {"10.1.2.3", true},
                                                   {"172.16.0.1", true},
                                                   {"172.31.255.254", true},
                                                   {"172.32.0.1", false},
                                                   {"192.168.1.1", true},
                                                   {"169.254.169.254", true},
                                                   {"100.64.0.1", true},
                                                   {"100.128.0.1", false},
                                                   {"0.0.0.0", true},
                                                   {"0.1.2.3", true},
                                                   {"::1", true},
                                                   {"::", true},
                                                   {"fe80::1", true},
                                                   {"fc00::1", true},
                                                   {"fd12:3456::1", true},
                                                   {"::ffff:127.0.0.1", true},
                                                   {"::ffff:10.0.0.1", true},
                                                   {"::ffff:8.8.8.8", false},
                                                   {"8.8.8.8", false},
                                                   {"1.1.1.1", false},
                                                   {"2001:4860::8888", false},
                                                   {"193.99.144.80", false}};
    for (const auto& [address, local] : rows)
        QTest::newRow(address) << QString::fromLatin1(address) << local;
}

void TestNet::localAddresses()
{
    QFETCH(QString, address);
    QFETCH(bool, local);
    QCOMPARE(IsLocalAddress(QHostAddress(address)), local);
}

void TestNet::redirectsFromPublicToLocalAreRefused_data()
{
    QTest::addColumn<bool>("fromPublic");     // the redirecting server stands for one on the internet
    QTest::addColumn<QByteArray>("location"); // PORT: the local server's port; ORIGIN: the first server
    QTest::addColumn<QString>("chosen");      // where the user chose the local server: options, environment
    QTest::addColumn<bool>("followed");

    // However the local address is written, or what a name resolves to.
    for (const char* location : {"http://2130706433:PORT/x", "http://0x7f.1:PORT/x", "http://127.1:PORT/x",
                                 "http://017700000001:PORT/x", "http://[::ffff:127.0.0.1]:PORT/x",
                                 "http://127.0.0.1:PORT/x", "http://localhost:PORT/x"})
        QTest::addRow("public to %s", location) << true << QByteArray(location) << QString() << false;
    QTest::newRow("public to an address the user chose")
        << true << QByteArray("http://127.0.0.1:PORT/x") << u"options"_s << true;
    QTest::newRow("public to the address of QUILLORY_GOOGLE_HOST")
        << true << QByteArray("http://127.0.0.1:PORT/x") << u"environment"_s << true;
    QTest::newRow("public to public") << true << QByteArray("http://ORIGIN/again") << QString() << true;
    QTest::newRow("local to local") << false << QByteArray("http://2130706433:PORT/x") << QString() << true;
    QTest::newRow("local to a local name")
        << false << QByteArray("http://localhost:PORT/x") << QString() << true;
}

void TestNet::redirectsFromPublicToLocalAreRefused()
{
    QFETCH(bool, fromPublic);
    QFETCH(QByteArray, location);
    QFETCH(QString, chosen);
    QFETCH(bool, followed);

    // 127.0.0.2 is this machine too; the client is told to take it for a public server.
    const QHostAddress stand(u"127.0.0.2"_s);
    ScriptedHttpServer origin(ScriptedHttpServer::Transport::Plain,
                              fromPublic ? stand : QHostAddress(QHostAddress::LocalHost));
    if (!origin.isListening())
        QSKIP("127.0.0.2 cannot be listened on here");
    ScriptedHttpServer local;
    origin.enqueue(
        ScriptedHttpServer::redirect(WithPort(location, local).replace("ORIGIN", origin.hostAndPort())));
    origin.enqueue(ScriptedHttpServer::ok("inside"));
    local.enqueue(ScriptedHttpServer::ok("inside"));
    SetChosenServiceAddresses(chosen == u"options"_s ? QStringList{u"http://127.0.0.1:%1"_s.arg(local.port())}
                                                     : QStringList());
    if (chosen == u"environment"_s)
        qputenv("QUILLORY_GOOGLE_HOST", local.hostAndPort());
    const auto forget = qScopeGuard([] {
        SetChosenServiceAddresses({});
        qunsetenv("QUILLORY_GOOGLE_HOST");
    });
    HttpClient client;
    client.setLocalAddressTest(
        [stand](const QHostAddress& address) { return address != stand && IsLocalAddress(address); });

    const HttpResult result = Run(client.get(origin.url(u"/start"_s)));
    if (followed) {
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.body, QByteArray("inside"));
        QCOMPARE(origin.requests().size() + local.requests().size(), 2);
        return;
    }
    QCOMPARE(origin.requests().size(), 1);
    QVERIFY(!result.ok);
    QVERIFY2(result.error.startsWith(u"Refused a redirect "_s) &&
                 result.error.contains(u"address of this machine or of a private network"_s),
             qPrintable(result.error));
    QCOMPARE(local.connectionCount(), 0);
    QVERIFY(local.requests().isEmpty());
}

void TestNet::redirectFromHttpsToHttpIsRefused_data()
{
    QTest::addColumn<bool>("toHttps");
    QTest::newRow("https to http") << false;
    QTest::newRow("https to https") << true;
}

void TestNet::redirectFromHttpsToHttpIsRefused()
{
    QFETCH(bool, toHttps);
    if (!QSslSocket::supportsSsl())
        QSKIP("No TLS backend");
    ScriptedHttpServer secure(ScriptedHttpServer::Transport::Tls);
    ScriptedHttpServer plain;
    const QUrl target = toHttps ? secure.url(u"/next"_s) : plain.url(u"/next"_s);
    secure.enqueue(ScriptedHttpServer::redirect(target.toEncoded()));
    secure.enqueue(ScriptedHttpServer::ok("secure"));
    plain.enqueue(ScriptedHttpServer::ok("plain"));
    HttpClient client;
    client.setExtraCaCertificates(ScriptedHttpServer::testCaCertificates());

    const HttpResult result = Run(client.get(secure.url(u"/start"_s)));
    if (toHttps) {
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(result.body, QByteArray("secure"));
        return;
    }
    QVERIFY(!result.ok);
    QCOMPARE(result.error,
             u"Refused a redirect from https to http (%1): the answer would come unencrypted"_s.arg(
                 target.toString()));
    QCOMPARE(plain.connectionCount(), 0);
}

QTEST_GUILESS_MAIN(TestNet)
#include "tst_net.moc"
