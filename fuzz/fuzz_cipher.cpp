// The cipher's decryption on any bytes: short, truncated and random input fails cleanly, the file
// and in-memory decryptions agree, and what is encrypted decrypts to itself.
#include "FuzzSupport.h"
#include "crypto/CipherFiles.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QString encrypted = ScratchPath("encrypted");
    static const QString plain = ScratchPath("plain");
    const QByteArray bytes = InputBytes(data, size).toByteArray();
    {
        QFile file(encrypted);
        Check(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the scratch file cannot be written");
        file.write(bytes);
    }
    QFile::remove(plain);
    const std::optional<QByteArray> inMemory = DecryptFileToMemory(encrypted);
    const bool toFile = DecryptFileTo(encrypted, plain);
    Check(inMemory.has_value() == toFile, "file and memory decryption disagree on success");
    Check(toFile == QFile::exists(plain), "a failed decryption left a file");
    if (toFile) {
        QFile file(plain);
        Check(file.open(QIODevice::ReadOnly) && file.readAll() == *inMemory,
              "file and memory decryption give other bytes");
    }
    // The input as plain text goes there and back.
    Check(EncryptToFile(bytes, encrypted), "encryption failed");
    const std::optional<QByteArray> back = DecryptFileToMemory(encrypted);
    Check(back && *back == bytes, "encrypted bytes decrypt otherwise");
    return 0;
}
