#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// One header line of a response as it arrived. Names compare without regard to letter case.
struct HttpHeader {
    QByteArray name;
    QByteArray value;
};

struct HttpResponseHead {
    int statusCode = 0;
    QByteArray reasonPhrase;
    QList<HttpHeader> headers; // in arrival order; repeated names (Set-Cookie) are all kept

    bool hasHeader(QByteArrayView name) const;
    QByteArray header(QByteArrayView name) const; // the first value; empty when absent
    QList<QByteArray> headerValues(QByteArrayView name) const;
};

// Beyond these a response is malformed: a hostile or broken server cannot make the program
// allocate without bound.
struct HttpParserLimits {
    qsizetype maxHeaderBytes = 64 * 1024; // status line and headers, and again the trailers
    qsizetype maxChunkLineBytes = 1024;   // a chunk-size line with its extensions
    qint64 maxBodyBytes = 64 * 1024 * 1024;
};

// What a reader of the body learns while it arrives. A body, or for a chunked body each chunk,
// begins with its announced length (0 when the body runs until the connection closes); progress
// gives the bytes received so far within it; end closes it.
struct HttpBodyEvent {
    enum Kind { Begin, Progress, End };
    Kind kind = Begin;
    qint64 value = 0;

    bool operator==(const HttpBodyEvent&) const = default;
};

// Reads one HTTP/1.x response from bytes in whatever pieces they arrive. Interim 1xx responses
// are skipped; 204 and 304 have no body; otherwise the body is framed by chunked transfer coding,
// by Content-Length, or by the end of the connection. Bytes after the response are ignored.
class HttpResponseParser {
public:
    enum class State { NeedMore, Complete, Malformed };

    explicit HttpResponseParser(const HttpParserLimits& limits = {});

    State feed(QByteArrayView bytes);
    // The connection has closed: a body that runs until the close is complete, anything else
    // unfinished is malformed.
    State closeInput();

    State state() const { return m_state; }
    QString error() const { return m_error; } // why the response is malformed
    bool headComplete() const { return m_phase > Phase::Head; }
    const HttpResponseHead& head() const { return m_head; }
    const QByteArray& body() const { return m_body; }
    // The body events since the last call, in order.
    QList<HttpBodyEvent> takeBodyEvents();

private:
    enum class Phase { Head, Length, ChunkSize, ChunkData, ChunkDataEnd, Trailers, UntilClose, Done };

    void parse();
    bool parseHead();
    bool finishHead();
    bool parseStatusLine(QByteArrayView line);
    bool addHeaderLine(QByteArrayView line);
    bool chooseFraming();
    bool parseChunkSize();
    bool parseChunkDataEnd();
    bool parseTrailers();
    void takeBodyBytes(qint64 count);
    void beginBody(qint64 expected);
    void endBody();
    std::optional<QByteArrayView> nextLine(qsizetype limit, const QString& tooLong);
    void fail(const QString& reason);
    void complete();

    HttpParserLimits m_limits;
    State m_state = State::NeedMore;
    Phase m_phase = Phase::Head;
    QString m_error;

    QByteArray m_buffer; // bytes not parsed yet, from m_pos on
    qsizetype m_pos = 0;
    qsizetype m_scanFrom = 0;   // where the search for the next line feed goes on
    qsizetype m_blockBytes = 0; // bytes of the head, or of the trailers, so far
    bool m_anyInput = false;

    HttpResponseHead m_head;
    bool m_sawStatusLine = false;
    QByteArray m_body;
    qint64 m_remaining = 0; // of the Content-Length body or of the current chunk
    qint64 m_partReceived = 0;
    QList<HttpBodyEvent> m_events;
};
