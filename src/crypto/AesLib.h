#pragma once

#include "crypto/CryptoPrimitives.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

class QIODevice;

// Password-based authenticated encryption of a whole stream, laid out as
//   salt (S bytes) | verification value (2) | ciphertext (as long as the plain data) | code (10)
// Keys come from PBKDF2-HMAC-SHA1 (1000 iterations) over the password and the salt: the AES key, the
// HMAC-SHA1 key, then the 2-byte verification value. The data is AES in little-endian counter mode
// and the code is the first 10 bytes of HMAC-SHA1 over the ciphertext. This is the layout of the
// AES encryption of ZIP entry data, without the ZIP headers, so ZIP tools can check our files.
//
// The strength follows the password's length in characters, so reader and writer agree on it:
// below 32 AES-128 with an 8-byte salt (mode 1), below 48 AES-192 and 12 bytes (mode 2), else
// AES-256 and 16 bytes (mode 3).
class TCrypt {
public:
    static constexpr int VerifierSize = 2;
    static constexpr int CodeSize = 10;
    static constexpr int Iterations = 1000;
    static constexpr int MaxSaltSize = 16;

    TCrypt(const QString& password, int bufferSize);
    virtual ~TCrypt();
    TCrypt(const TCrypt&) = delete;
    TCrypt& operator=(const TCrypt&) = delete;

    int Mode() const { return m_mode; }
    int KeySize() const { return 8 + 8 * m_mode; }
    int SaltSize() const { return 4 + 4 * m_mode; }
    // How much longer an encrypted stream is than its plain data.
    int Overhead() const { return SaltSize() + VerifierSize + CodeSize; }
    int BufferSize() const { return int(m_buffer.size()); }

protected:
    // Derives the keys for `salt` (SaltSize() bytes) and starts the counter and the code afresh.
    [[nodiscard]] bool StartSession(const unsigned char* salt);
    const unsigned char* Verifier() const { return m_keyMaterial + 2 * KeySize(); }
    // Encryption: key stream, then the code over the ciphertext. Decryption: the other way round.
    [[nodiscard]] bool EncryptChunk(unsigned char* data, std::size_t size);
    [[nodiscard]] bool DecryptChunk(unsigned char* data, std::size_t size);
    [[nodiscard]] bool FinishCode(unsigned char (&code)[CodeSize]);
    unsigned char* Buffer() { return m_buffer.data(); }

private:
    static constexpr int MaxKeyMaterial = 2 * 32 + 2;

    int m_mode;
    QByteArray m_password;
    std::vector<unsigned char> m_buffer;
    unsigned char m_keyMaterial[MaxKeyMaterial] = {};
    CounterKeyStream m_keyStream;
    HmacSha1 m_mac;
};

class TEncryption : public TCrypt {
public:
    // Fills `size` bytes of salt; false when no random bytes could be had. The default draws them
    // from OpenSSL's random generator; tests pass a fixed salt to compare outputs byte for byte.
    using SaltSource = std::function<bool(unsigned char* salt, int size)>;

    TEncryption(const QString& password, int bufferSize, SaltSource saltSource = {});
    ~TEncryption() override;

    // Encrypts everything `source` delivers. False when reading, writing or the cipher failed.
    [[nodiscard]] bool EncryptStream(QIODevice& source, QIODevice& destination);

    // Decrypts the `totalLength` bytes of an encrypted stream from `source`. True only when the
    // verification value and the code both match. On false the destination may hold some or all
    // of the (unauthenticated) plain data: the caller must discard it. Nothing is read beyond
    // `totalLength` bytes, and a source that ends early gives false.
    [[nodiscard]] bool DecryptStream(QIODevice& source, QIODevice& destination, qint64 totalLength);

private:
    SaltSource m_saltSource;
};
