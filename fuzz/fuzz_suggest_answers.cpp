// The answers of every Suggest source, and the classic service's page.
#include "FuzzSupport.h"
#include "suggest/SuggestAnswer.h"
#include "suggest/SuggestSource.h"
#include "util/ProgramOptions.h"
#include "util/TextFile.h"

#include <memory>
#include <vector>

namespace {

const std::vector<std::unique_ptr<SuggestSource>>& Sources()
{
    static const std::vector<std::unique_ptr<SuggestSource>> sources = [] {
        std::vector<std::unique_ptr<SuggestSource>> made;
        for (const SuggestEngine engine :
             {SuggestEngine::Google, SuggestEngine::YouTube, SuggestEngine::Bing, SuggestEngine::DuckDuckGo,
              SuggestEngine::Amazon, SuggestEngine::Classic}) {
            ProgramOptions options;
            options.engine = engine;
            made.push_back(MakeSuggestSource(options, QStringLiteral("www.google.com")));
        }
        return made;
    }();
    return sources;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first byte chooses the content type, the rest is the body.
    static const QByteArray contentTypes[] = {"application/json; charset=UTF-8",
                                              "text/javascript; charset=ISO-8859-1",
                                              "application/x-suggestions+json", "text/html", ""};
    const QByteArrayView input = InputBytes(data, size);
    if (input.isEmpty())
        return 0;
    const SuggestReply reply{200, input.sliced(1).toByteArray(),
                             contentTypes[uint8_t(input[0]) % std::size(contentTypes)]};
    for (const std::unique_ptr<SuggestSource>& source : Sources()) {
        if (const std::optional<QList<SuggestPair>> pairs = source->readReply(reply))
            Check(pairs->size() <= 10, "more than ten pairs");
    }
    const QList<SuggestPair> classic = SuggestPairs(SuggestPairText(DecodeText(input.sliced(1))));
    (void)classic;
    return 0;
}
