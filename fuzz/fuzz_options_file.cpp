// The options file (quillory.ini): its lines read and edited, and the service addresses in it. A
// value written into any file reads back as it was written.
#include "FuzzSupport.h"
#include "net/ServiceAddresses.h"
#include "util/IniLines.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView bytes = InputBytes(data, size);
    IniLines lines(bytes.toByteArray());
    const QString value = QString::fromUtf8(bytes.first(std::min<qsizetype>(bytes.size(), 64)));
    (void)ReadServiceBaseAddress(value);
    (void)lines.value(QStringLiteral("Endpoints"), QStringLiteral("Trends"));
    const QByteArray before = lines.bytes();
    if (before != bytes)
        Broken("the lines do not give back the file's bytes");
    lines.setValue(QStringLiteral("Endpoints"), QStringLiteral("Trends"), IniValueText(value));
    if (lines.value(QStringLiteral("Endpoints"), QStringLiteral("Trends")) != value)
        Broken("a value written does not read back");
    const IniLines again(lines.bytes());
    if (again.value(QStringLiteral("Endpoints"), QStringLiteral("Trends")) != value)
        Broken("a value written does not read back from the file");
    return 0;
}
