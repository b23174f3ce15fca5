// The decoding of outside text: files in any encoding, lines, and pages by their content type.
#include "FuzzSupport.h"
#include "net/PageText.h"
#include "util/TextFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes = InputBytes(data, size);
    const QString text = DecodeText(bytes);
    // Valid UTF-8 without a byte-order mark is read as it is.
    if (IsValidUtf8(bytes) && !bytes.startsWith("\xef\xbb\xbf"))
        Check(text.toUtf8() == bytes, "valid UTF-8 decoded otherwise");
    // Windows-1252 gives a character for every byte.
    Check(DecodeWindows1252(bytes).size() == bytes.size(), "a byte lost in Windows-1252");
    (void)SplitLines(text);
    (void)DecodeLine(bytes);
    (void)PageTextFromBody(bytes);
    // A first line as the content type, the rest as the body.
    if (const qsizetype split = bytes.indexOf('\n'); split >= 0)
        (void)BodyText(bytes.sliced(split + 1), bytes.first(split));
    return 0;
}
