#pragma once

#include <QByteArrayView>

#include <openssl/types.h>

#include <cstddef>
#include <cstdint>

// Small wrappers over OpenSSL's libcrypto: the block cipher, the MAC and the key derivation from which
// the branding-file cipher is built. Every operation reports failure as its result.

// PBKDF2 with HMAC-SHA1: `length` bytes of key material into `out`.
[[nodiscard]] bool Pbkdf2HmacSha1(QByteArrayView password, QByteArrayView salt, int iterations,
                                  unsigned char* out, std::size_t length);

// AES in the encryption direction only, any number of whole 16-byte blocks per call.
class AesBlockEncryptor {
public:
    static constexpr std::size_t BlockSize = 16;

    AesBlockEncryptor();
    ~AesBlockEncryptor();
    AesBlockEncryptor(const AesBlockEncryptor&) = delete;
    AesBlockEncryptor& operator=(const AesBlockEncryptor&) = delete;

    // The key is 16, 24 or 32 bytes (AES-128, -192, -256).
    [[nodiscard]] bool SetKey(QByteArrayView key);
    [[nodiscard]] bool EncryptBlocks(const unsigned char* in, unsigned char* out, std::size_t blocks);

private:
    EVP_CIPHER_CTX* m_context = nullptr;
};

// HMAC-SHA1, fed in pieces.
class HmacSha1 {
public:
    static constexpr std::size_t Size = 20;

    HmacSha1();
    ~HmacSha1();
    HmacSha1(const HmacSha1&) = delete;
    HmacSha1& operator=(const HmacSha1&) = delete;

    [[nodiscard]] bool Start(QByteArrayView key);
    [[nodiscard]] bool Update(const unsigned char* data, std::size_t size);
    [[nodiscard]] bool Finish(unsigned char (&code)[Size]);

private:
    EVP_MAC* m_mac = nullptr;
    EVP_MAC_CTX* m_context = nullptr;
};

// AES counter mode with the counter in the first 8 bytes of the block as a little-endian number,
// incremented before each key-stream block (the first block uses 1); bytes 8 to 15 stay zero. The
// key-stream position carries over from call to call, so the cut of the data into pieces never
// changes the result. Key stream is made many blocks at a time because one cipher call per block
// would cost more than the cipher itself.
class CounterKeyStream {
public:
    CounterKeyStream();
    ~CounterKeyStream();
    CounterKeyStream(const CounterKeyStream&) = delete;
    CounterKeyStream& operator=(const CounterKeyStream&) = delete;

    // Sets the key and starts again from counter 0.
    [[nodiscard]] bool Start(QByteArrayView key);
    // Combines `size` bytes at `data` with the key stream by exclusive or, in place.
    [[nodiscard]] bool Apply(unsigned char* data, std::size_t size);

private:
    [[nodiscard]] bool refill();

    static constexpr std::size_t BatchBlocks = 512;
    static constexpr std::size_t BatchSize = BatchBlocks * AesBlockEncryptor::BlockSize;

    AesBlockEncryptor m_aes;
    std::uint64_t m_counter = 0;
    unsigned char m_counterBlocks[BatchSize] = {};
    unsigned char m_keyStream[BatchSize];
    std::size_t m_position = BatchSize; // next unused key-stream byte; BatchSize: none left
};
