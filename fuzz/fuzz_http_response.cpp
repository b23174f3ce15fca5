// The HTTP response parser on any bytes, whole and split at points the input chooses: both must end
// in the same state with the same head and body.
#include "FuzzSupport.h"
#include "net/HttpResponseParser.h"

namespace {

struct Parsed {
    HttpResponseParser::State state;
    int status = 0;
    qsizetype headers = 0;
    QByteArray body;
};

// The limits are small so that their edges are reached often.
constexpr HttpParserLimits Limits{2048, 64, 4096};

Parsed Parse(QByteArrayView bytes, QByteArrayView cuts)
{
    HttpResponseParser parser(Limits);
    qsizetype at = 0;
    for (const char cut : cuts) {
        if (at >= bytes.size() || parser.state() != HttpResponseParser::State::NeedMore)
            break;
        const qsizetype length = std::min<qsizetype>(1 + (uint8_t(cut) % 16), bytes.size() - at);
        parser.feed(bytes.sliced(at, length));
        (void)parser.takeBodyEvents();
        at += length;
    }
    if (at < bytes.size() && parser.state() == HttpResponseParser::State::NeedMore)
        parser.feed(bytes.sliced(at));
    if (parser.state() == HttpResponseParser::State::NeedMore)
        parser.closeInput();
    Check(parser.state() != HttpResponseParser::State::Malformed || !parser.error().isEmpty(),
          "a malformed response without a reason");
    Check(parser.body().size() <= Limits.maxBodyBytes, "a body over the limit");
    return {parser.state(), parser.head().statusCode, parser.head().headers.size(), parser.body()};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first bytes choose the cuts, the rest is the response.
    const QByteArrayView input = InputBytes(data, size);
    const qsizetype cutCount = input.isEmpty() ? 0 : uint8_t(input[0]) % 32;
    if (input.size() < 1 + cutCount)
        return 0;
    const QByteArrayView cuts = input.sliced(1, cutCount);
    const QByteArrayView response = input.sliced(1 + cutCount);
    const Parsed whole = Parse(response, {});
    const Parsed split = Parse(response, cuts);
    Check(whole.state == split.state, "split input ends in another state");
    if (whole.state == HttpResponseParser::State::Complete) {
        Check(whole.status == split.status, "split input gives another status");
        Check(whole.headers == split.headers, "split input gives other headers");
        Check(whole.body == split.body, "split input gives another body");
    }
    return 0;
}
