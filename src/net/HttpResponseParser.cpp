#include "net/HttpResponseParser.h"

#include "util/HexDigit.h"

#include <algorithm>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView TrimBlanks(QByteArrayView text)
{
    while (!text.isEmpty() && IsBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && IsBlank(text.back()))
        text.chop(1);
    return text;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A whole decimal number of at most 18 digits, so that it always fits.
std::optional<qint64> ParseDecimalLength(QByteArrayView text)
{
    text = TrimBlanks(text);
    if (text.isEmpty() || text.size() > 18 || !std::all_of(text.begin(), text.end(), IsDigit))
        return std::nullopt;
    qint64 value = 0;
    for (const char c : text)
        value = value * 10 + (c - '0');
    return value;
}

// A hexadecimal chunk size of at most 15 significant digits, so that it always fits.
std::optional<qint64> ParseHexLength(QByteArrayView text)
{
    if (text.isEmpty() || !std::all_of(text.begin(), text.end(), [](char c) {
            return HexDigitValue(static_cast<unsigned char>(c)) >= 0;
        }))
        return std::nullopt;
    while (text.size() > 1 && text.front() == '0')
        text = text.sliced(1);
    if (text.size() > 15)
        return std::nullopt;
    qint64 value = 0;
    for (const char c : text)
        value = value * 16 + HexDigitValue(static_cast<unsigned char>(c));
    return value;
}

bool IsTokenChar(char c)
{
    const auto b = static_cast<unsigned char>(c);
    return b > 0x20 && b < 0x7F && c != ':';
}

QString TooLargeBody(qint64 limit)
{
    return QStringLiteral("The response body is larger than %1 bytes").arg(limit);
}

} // namespace

bool HttpResponseHead::hasHeader(QByteArrayView name) const
{
    return std::any_of(headers.begin(), headers.end(), [name](const HttpHeader& header) {
        return header.name.compare(name, Qt::CaseInsensitive) == 0;
    });
}

QByteArray HttpResponseHead::header(QByteArrayView name) const
{
    for (const HttpHeader& header : headers) {
        if (header.name.compare(name, Qt::CaseInsensitive) == 0)
            return header.value;
    }
    return {};
}

QList<QByteArray> HttpResponseHead::headerValues(QByteArrayView name) const
{
    QList<QByteArray> values;
    for (const HttpHeader& header : headers) {
        if (header.name.compare(name, Qt::CaseInsensitive) == 0)
            values.append(header.value);
    }
    return values;
}

HttpResponseParser::HttpResponseParser(const HttpParserLimits& limits)
    : m_limits(limits)
{
}

HttpResponseParser::State HttpResponseParser::feed(QByteArrayView bytes)
{
    if (m_state != State::NeedMore || bytes.isEmpty())
        return m_state;
    m_anyInput = true;
    m_buffer.append(bytes);
    parse();
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_scanFrom = std::max<qsizetype>(0, m_scanFrom - m_pos);
        m_pos = 0;
    }
    return m_state;
}

HttpResponseParser::State HttpResponseParser::closeInput()
{
    if (m_state != State::NeedMore)
        return m_state;
    if (m_phase == Phase::UntilClose) {
        endBody();
        complete();
    } else if (!m_anyInput) {
        fail(QStringLiteral("The server closed the connection without answering"));
    } else {
        fail(QStringLiteral("The connection closed before the response was complete"));
    }
    return m_state;
}

QList<HttpBodyEvent> HttpResponseParser::takeBodyEvents()
{
    return std::exchange(m_events, {});
}

void HttpResponseParser::parse()
{
    bool progressed = true;
    while (progressed && m_state == State::NeedMore) {
        const qsizetype available = m_buffer.size() - m_pos;
        switch (m_phase) {
        case Phase::Head:
            progressed = parseHead();
            break;
        case Phase::Length:
        case Phase::ChunkData: {
            const qint64 count = std::min<qint64>(available, m_remaining);
            progressed = count > 0;
            if (!progressed)
                break;
            takeBodyBytes(count);
            m_remaining -= count;
            if (m_remaining > 0)
                break;
            endBody();
            if (m_phase == Phase::Length)
                complete();
            else
                m_phase = Phase::ChunkDataEnd;
            break;
        }
        case Phase::ChunkSize:
            progressed = parseChunkSize();
            break;
        case Phase::ChunkDataEnd:
            progressed = parseChunkDataEnd();
            break;
        case Phase::Trailers:
            progressed = parseTrailers();
            break;
        case Phase::UntilClose:
            progressed = available > 0;
            if (!progressed)
                break;
            if (m_body.size() + available > m_limits.maxBodyBytes)
                fail(TooLargeBody(m_limits.maxBodyBytes));
            else
                takeBodyBytes(available);
            break;
        case Phase::Done:
            progressed = false;
            break;
        }
    }
}

std::optional<QByteArrayView> HttpResponseParser::nextLine(qsizetype limit, const QString& tooLong)
{
    const qsizetype end = m_buffer.indexOf('\n', std::max(m_pos, m_scanFrom));
    if (end < 0) {
        m_scanFrom = m_buffer.size();
        if (m_buffer.size() - m_pos > limit)
            fail(tooLong);
        return std::nullopt;
    }
    if (end + 1 - m_pos > limit) {
        fail(tooLong);
        return std::nullopt;
    }
    QByteArrayView line(m_buffer.constData() + m_pos, end - m_pos);
    if (line.endsWith('\r'))
        line.chop(1);
    m_pos = end + 1;
    m_scanFrom = m_pos;
    return line;
}

bool HttpResponseParser::parseHead()
{
    const qsizetype start = m_pos;
    const auto line = nextLine(
        m_limits.maxHeaderBytes - m_blockBytes,
        QStringLiteral("The response headers are larger than %1 bytes").arg(m_limits.maxHeaderBytes));
    if (!line)
        return false;
    m_blockBytes += m_pos - start;
    if (!m_sawStatusLine) {
        // Empty lines before a status line are tolerated.
        if (line->isEmpty())
            return true;
        m_sawStatusLine = parseStatusLine(*line);
        return m_sawStatusLine;
    }
    if (line->isEmpty())
        return finishHead();
    return addHeaderLine(*line);
}

bool HttpResponseParser::parseStatusLine(QByteArrayView line)
{
    // "HTTP/" digit "." digit SP three digits, then nothing or SP and a reason phrase
    const bool valid = line.size() >= 12 && line.startsWith("HTTP/") && IsDigit(line[5]) && line[6] == '.' &&
                       IsDigit(line[7]) && line[8] == ' ' && IsDigit(line[9]) && IsDigit(line[10]) &&
                       IsDigit(line[11]) && line[9] != '0' && (line.size() == 12 || line[12] == ' ');
    if (!valid) {
        fail(QStringLiteral("The response does not begin with a valid status line"));
        return false;
    }
    m_head.statusCode = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    m_head.reasonPhrase = TrimBlanks(line.sliced(12)).toByteArray();
    return true;
}

bool HttpResponseParser::addHeaderLine(QByteArrayView line)
{
    if (IsBlank(line.front())) {
        // An obsolete folded line continues the previous header.
        if (m_head.headers.isEmpty()) {
            fail(QStringLiteral("The response headers begin with a continuation line"));
            return false;
        }
        QByteArray& value = m_head.headers.back().value;
        value += ' ';
        value += TrimBlanks(line);
        return true;
    }
    const qsizetype colon = line.indexOf(':');
    const QByteArrayView name = colon > 0 ? line.first(colon) : QByteArrayView();
    if (name.isEmpty() || !std::all_of(name.begin(), name.end(), IsTokenChar)) {
        fail(QStringLiteral("The response has a malformed header line"));
        return false;
    }
    m_head.headers.append({name.toByteArray(), TrimBlanks(line.sliced(colon + 1)).toByteArray()});
    return true;
}

bool HttpResponseParser::finishHead()
{
    if (m_head.statusCode < 200) {
        // An interim response: the real one follows.
        m_head = {};
        m_sawStatusLine = false;
        m_blockBytes = 0;
        return true;
    }
    return chooseFraming();
}

bool HttpResponseParser::chooseFraming()
{
    if (m_head.statusCode == 204 || m_head.statusCode == 304) {
        complete();
        return true;
    }
    const QList<QByteArray> codings = m_head.headerValues("Transfer-Encoding");
    if (!codings.isEmpty()) {
        // The last coding applied decides; anything but chunked runs until the close.
        const QList<QByteArray> parts = codings.join(',').split(',');
        if (TrimBlanks(parts.back()).compare("chunked", Qt::CaseInsensitive) == 0) {
            m_phase = Phase::ChunkSize;
        } else {
            beginBody(0);
            m_phase = Phase::UntilClose;
        }
        return true;
    }
    const QList<QByteArray> lengthHeaders = m_head.headerValues("Content-Length");
    if (lengthHeaders.isEmpty()) {
        beginBody(0);
        m_phase = Phase::UntilClose;
        return true;
    }
    std::optional<qint64> length;
    for (const QByteArray& part : lengthHeaders.join(',').split(',')) {
        const std::optional<qint64> value = ParseDecimalLength(part);
        if (!value || (length && *length != *value)) {
            fail(QStringLiteral("The response has an invalid Content-Length"));
            return false;
        }
        length = value;
    }
    if (*length > m_limits.maxBodyBytes) {
        fail(TooLargeBody(m_limits.maxBodyBytes));
        return false;
    }
    beginBody(*length);
    m_remaining = *length;
    m_phase = Phase::Length;
    if (m_remaining == 0) {
        endBody();
        complete();
    }
    return true;
}

bool HttpResponseParser::parseChunkSize()
{
    const auto line =
        nextLine(m_limits.maxChunkLineBytes,
                 QStringLiteral("A chunk-size line is longer than %1 bytes").arg(m_limits.maxChunkLineBytes));
    if (!line)
        return false;
    const qsizetype extensions = line->indexOf(';');
    const std::optional<qint64> size =
        ParseHexLength(TrimBlanks(extensions < 0 ? *line : line->first(extensions)));
    if (!size) {
        fail(QStringLiteral("The response has an invalid chunk size"));
        return false;
    }
    if (*size > m_limits.maxBodyBytes - m_body.size()) {
        fail(TooLargeBody(m_limits.maxBodyBytes));
        return false;
    }
    if (*size == 0) {
        m_phase = Phase::Trailers;
        m_blockBytes = 0;
        return true;
    }
    beginBody(*size);
    m_remaining = *size;
    m_phase = Phase::ChunkData;
    return true;
}

bool HttpResponseParser::parseChunkDataEnd()
{
    const QString missing = QStringLiteral("A chunk is not followed by a line break");
    const auto line = nextLine(2, missing);
    if (!line)
        return false;
    if (!line->isEmpty()) {
        fail(missing);
        return false;
    }
    m_phase = Phase::ChunkSize;
    return true;
}

bool HttpResponseParser::parseTrailers()
{
    const qsizetype start = m_pos;
    const auto line = nextLine(
        m_limits.maxHeaderBytes - m_blockBytes,
        QStringLiteral("The response trailers are larger than %1 bytes").arg(m_limits.maxHeaderBytes));
    if (!line)
        return false;
    m_blockBytes += m_pos - start;
    // Trailer fields carry nothing the program uses; the empty line ends the response.
    if (line->isEmpty())
        complete();
    return true;
}

void HttpResponseParser::takeBodyBytes(qint64 count)
{
    m_body.append(m_buffer.constData() + m_pos, count);
    m_pos += count;
    m_partReceived += count;
    m_events.append({HttpBodyEvent::Progress, m_partReceived});
}

void HttpResponseParser::beginBody(qint64 expected)
{
    m_partReceived = 0;
    m_events.append({HttpBodyEvent::Begin, expected});
}

void HttpResponseParser::endBody()
{
    m_events.append({HttpBodyEvent::End, 0});
}

void HttpResponseParser::fail(const QString& reason)
{
    m_state = State::Malformed;
    m_error = reason;
}

void HttpResponseParser::complete()
{
    m_state = State::Complete;
    m_phase = Phase::Done;
}
