// The news service's answers: the list, the latest news and a news body, and their records.
#include "FuzzSupport.h"
#include "publisher/NewsProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes = InputBytes(data, size);
    (void)ReadNewsListAnswer(bytes);
    (void)ReadLatestNewsAnswer(bytes);
    (void)ReadNewsBodyAnswer(bytes);
    const QString text = QString::fromUtf8(bytes);
    (void)SplitNewsRecord(text);
    (void)NewsIdNumber(text.left(32));
    (void)ShouldAnnounceNews(text.left(16), text.mid(16, 16));
    return 0;
}
