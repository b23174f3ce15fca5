// The live update's description file and the version numbers in it.
#include "FuzzSupport.h"
#include "publisher/LiveUpdate.h"
#include "util/TextFile.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString path = ScratchPath("mainappupdate.inf");
    QFile file(path);
    Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the scratch file cannot be written");
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();
    const QString version = ReadUpdateVersion(path);
    (void)IsNewerVersion(version);
    (void)VersionNumber(DecodeText(InputBytes(data, size)).left(64));
    return 0;
}
