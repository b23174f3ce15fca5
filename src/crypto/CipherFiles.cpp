#include "crypto/CipherFiles.h"

#include "crypto/AesLib.h"

#include <QBuffer>
#include <QFile>
#include <QSaveFile>

#include <openssl/crypto.h>

#include <algorithm>

namespace {

using StreamOperation = bool (*)(QIODevice& source, QIODevice& destination, const QString& password);

bool decrypt(QIODevice& source, QIODevice& destination, const QString& password)
{
    TEncryption cipher(password, CipherBufferSize);
    return cipher.DecryptStream(source, destination, source.size());
}

bool encrypt(QIODevice& source, QIODevice& destination, const QString& password)
{
    TEncryption cipher(password, CipherBufferSize);
    return cipher.EncryptStream(source, destination);
}

// Runs `operation` into a save file that replaces `destination` only when the operation succeeded.
bool runIntoFile(StreamOperation operation, QIODevice& source, const QString& destination,
                 const QString& password)
{
    QSaveFile out(destination);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (!operation(source, out, password)) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

bool fileToFile(StreamOperation operation, const QString& source, const QString& destination,
                const QString& password)
{
    QFile in(source);
    return in.open(QIODevice::ReadOnly) && runIntoFile(operation, in, destination, password);
}

} // namespace

bool DecryptFileTo(const QString& source, const QString& destination, const QString& password)
{
    return fileToFile(decrypt, source, destination, password);
}

bool EncryptFileTo(const QString& source, const QString& destination, const QString& password)
{
    return fileToFile(encrypt, source, destination, password);
}

std::optional<QByteArray> DecryptFileToMemory(const QString& path, const QString& password)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    // Reserved at once so that growing leaves no copies of the plain text in freed memory.
    QByteArray plain;
    plain.reserve(std::max<qint64>(0, in.size() - 20));
    QBuffer out(&plain);
    out.open(QIODevice::WriteOnly);
    if (!decrypt(in, out, password)) {
        OPENSSL_cleanse(plain.data(), std::size_t(plain.size()));
        return std::nullopt;
    }
    return plain;
}

bool EncryptToFile(const QByteArray& plain, const QString& path, const QString& password)
{
    QBuffer in;
    in.setData(plain);
    in.open(QIODevice::ReadOnly);
    return runIntoFile(encrypt, in, path, password);
}
