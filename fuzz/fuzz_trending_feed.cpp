// The trending-now feed (XML), the classic hourly page, and the feed's dates and traffic.
#include "FuzzSupport.h"
#include "trends/HotTrendsFeed.h"
#include "trends/TrendingFeed.h"
#include "util/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes = InputBytes(data, size);
    if (const std::optional<QList<TrendingItem>> items = ReadTrendingFeed(bytes.toByteArray())) {
        for (const TrendingItem& item : *items) {
            (void)TrafficLowerBound(item.traffic);
            Check(!item.keyword.isEmpty(), "an item without a keyword");
        }
    }
    const QString text = DecodeText(bytes);
    (void)FeedKeywords(text);
    (void)Rfc822DateTime(text.left(64));
    (void)TrafficLowerBound(text.left(32));
    return 0;
}
