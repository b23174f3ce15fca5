#include "crypto/AesLib.h"

#include <QIODevice>

#include <openssl/crypto.h>
#include <openssl/rand.h>

#include <algorithm>

namespace {

int modeForPassword(const QString& password)
{
    if (password.size() < 32)
        return 1;
    return password.size() < 48 ? 2 : 3;
}

// Reads until `size` bytes came or the source has no more; -1 on a read error.
qint64 readFully(QIODevice& source, unsigned char* data, qint64 size)
{
    qint64 done = 0;
    while (done < size) {
        const qint64 count = source.read(reinterpret_cast<char*>(data) + done, size - done);
        if (count < 0)
            return -1;
        if (count == 0)
            break;
        done += count;
    }
    return done;
}

bool readExactly(QIODevice& source, unsigned char* data, qint64 size)
{
    return readFully(source, data, size) == size;
}

bool writeAll(QIODevice& destination, const unsigned char* data, qint64 size)
{
    return destination.write(reinterpret_cast<const char*>(data), size) == size;
}

bool randomSalt(unsigned char* salt, int size)
{
    return RAND_bytes(salt, size) == 1;
}

} // namespace

TCrypt::TCrypt(const QString& password, int bufferSize)
    : m_mode(modeForPassword(password))
    , m_password(password.toUtf8())
    , m_buffer(std::size_t(std::max(1, bufferSize)))
{
}

TCrypt::~TCrypt()
{
    OPENSSL_cleanse(m_password.data(), std::size_t(m_password.size()));
    OPENSSL_cleanse(m_keyMaterial, sizeof m_keyMaterial);
    OPENSSL_cleanse(m_buffer.data(), m_buffer.size());
}

bool TCrypt::StartSession(const unsigned char* salt)
{
    const auto keySize = std::size_t(KeySize());
    const QByteArrayView saltView(salt, SaltSize());
    if (!Pbkdf2HmacSha1(m_password, saltView, Iterations, m_keyMaterial, 2 * keySize + VerifierSize))
        return false;
    return m_keyStream.Start(QByteArrayView(m_keyMaterial, keySize)) &&
           m_mac.Start(QByteArrayView(m_keyMaterial + keySize, keySize));
}

bool TCrypt::EncryptChunk(unsigned char* data, std::size_t size)
{
    return m_keyStream.Apply(data, size) && m_mac.Update(data, size);
}

bool TCrypt::DecryptChunk(unsigned char* data, std::size_t size)
{
    return m_mac.Update(data, size) && m_keyStream.Apply(data, size);
}

bool TCrypt::FinishCode(unsigned char (&code)[CodeSize])
{
    unsigned char full[HmacSha1::Size];
    const bool ok = m_mac.Finish(full);
    std::copy_n(full, CodeSize, code);
    return ok;
}

TEncryption::TEncryption(const QString& password, int bufferSize, SaltSource saltSource)
    : TCrypt(password, bufferSize)
    , m_saltSource(saltSource ? std::move(saltSource) : SaltSource(randomSalt))
{
}

TEncryption::~TEncryption() = default;

bool TEncryption::EncryptStream(QIODevice& source, QIODevice& destination)
{
    unsigned char salt[MaxSaltSize];
    if (!m_saltSource(salt, SaltSize()) || !StartSession(salt))
        return false;
    if (!writeAll(destination, salt, SaltSize()) || !writeAll(destination, Verifier(), VerifierSize))
        return false;

    for (;;) {
        const qint64 count = readFully(source, Buffer(), BufferSize());
        if (count < 0)
            return false;
        if (!EncryptChunk(Buffer(), std::size_t(count)) || !writeAll(destination, Buffer(), count))
            return false;
        if (count < BufferSize())
            break;
    }

    unsigned char code[CodeSize];
    return FinishCode(code) && writeAll(destination, code, CodeSize);
}

bool TEncryption::DecryptStream(QIODevice& source, QIODevice& destination, qint64 totalLength)
{
    if (totalLength < Overhead())
        return false;
    unsigned char salt[MaxSaltSize];
    unsigned char storedVerifier[VerifierSize];
    if (!readExactly(source, salt, SaltSize()) || !StartSession(salt) ||
        !readExactly(source, storedVerifier, VerifierSize) ||
        CRYPTO_memcmp(storedVerifier, Verifier(), VerifierSize) != 0)
        return false;

    for (qint64 remaining = totalLength - Overhead(); remaining > 0;) {
        const qint64 count = std::min<qint64>(BufferSize(), remaining);
        if (!readExactly(source, Buffer(), count) || !DecryptChunk(Buffer(), std::size_t(count)) ||
            !writeAll(destination, Buffer(), count))
            return false;
        remaining -= count;
    }

    unsigned char storedCode[CodeSize];
    unsigned char code[CodeSize];
    return readExactly(source, storedCode, CodeSize) && FinishCode(code) &&
           CRYPTO_memcmp(storedCode, code, CodeSize) == 0;
}
