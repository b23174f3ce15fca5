#include "crypto/CryptoPrimitives.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace {

// Eight bytes at a time: a byte loop would cost more than the cipher.
void xorInto(unsigned char* data, const unsigned char* stream, std::size_t size)
{
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        std::uint64_t word;
        std::uint64_t key;
        std::memcpy(&word, data + i, 8);
        std::memcpy(&key, stream + i, 8);
        word ^= key;
        std::memcpy(data + i, &word, 8);
    }
    for (; i < size; ++i)
        data[i] ^= stream[i];
}

} // namespace

bool Pbkdf2HmacSha1(QByteArrayView password, QByteArrayView salt, int iterations, unsigned char* out,
                    std::size_t length)
{
    return PKCS5_PBKDF2_HMAC(password.data(), int(password.size()),
                             reinterpret_cast<const unsigned char*>(salt.data()), int(salt.size()),
                             iterations, EVP_sha1(), int(length), out) == 1;
}

AesBlockEncryptor::AesBlockEncryptor()
    : m_context(EVP_CIPHER_CTX_new())
{
}

AesBlockEncryptor::~AesBlockEncryptor()
{
    EVP_CIPHER_CTX_free(m_context); // wipes the key schedule
}

bool AesBlockEncryptor::SetKey(QByteArrayView key)
{
    const EVP_CIPHER* cipher = nullptr;
    switch (key.size()) {
    case 16:
        cipher = EVP_aes_128_ecb();
        break;
    case 24:
        cipher = EVP_aes_192_ecb();
        break;
    case 32:
        cipher = EVP_aes_256_ecb();
        break;
    default:
        return false;
    }
    if (!m_context)
        return false;
    if (EVP_EncryptInit_ex(m_context, cipher, nullptr, reinterpret_cast<const unsigned char*>(key.data()),
                           nullptr) != 1)
        return false;
    return EVP_CIPHER_CTX_set_padding(m_context, 0) == 1;
}

bool AesBlockEncryptor::EncryptBlocks(const unsigned char* in, unsigned char* out, std::size_t blocks)
{
    int written = 0;
    const int size = int(blocks * BlockSize);
    return m_context && EVP_EncryptUpdate(m_context, out, &written, in, size) == 1 && written == size;
}

HmacSha1::HmacSha1()
    : m_mac(EVP_MAC_fetch(nullptr, OSSL_MAC_NAME_HMAC, nullptr))
    , m_context(m_mac ? EVP_MAC_CTX_new(m_mac) : nullptr)
{
}

HmacSha1::~HmacSha1()
{
    EVP_MAC_CTX_free(m_context); // wipes the key
    EVP_MAC_free(m_mac);
}

bool HmacSha1::Start(QByteArrayView key)
{
    if (!m_context)
        return false;
    char digest[] = "SHA1";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_construct_end()};
    return EVP_MAC_init(m_context, reinterpret_cast<const unsigned char*>(key.data()), key.size(), params) ==
           1;
}

bool HmacSha1::Update(const unsigned char* data, std::size_t size)
{
    return m_context && EVP_MAC_update(m_context, data, size) == 1;
}

bool HmacSha1::Finish(unsigned char (&code)[Size])
{
    std::size_t written = 0;
    return m_context && EVP_MAC_final(m_context, code, &written, Size) == 1 && written == Size;
}

CounterKeyStream::CounterKeyStream() = default;

CounterKeyStream::~CounterKeyStream()
{
    OPENSSL_cleanse(m_keyStream, sizeof m_keyStream);
}

bool CounterKeyStream::Start(QByteArrayView key)
{
    m_counter = 0;
    m_position = BatchSize;
    return m_aes.SetKey(key);
}

bool CounterKeyStream::refill()
{
    // Bytes 8 to 15 of every counter block stay zero from construction on.
    for (std::size_t block = 0; block < BatchBlocks; ++block) {
        const std::uint64_t counter = qToLittleEndian(++m_counter);
        std::memcpy(m_counterBlocks + block * AesBlockEncryptor::BlockSize, &counter, sizeof counter);
    }
    if (!m_aes.EncryptBlocks(m_counterBlocks, m_keyStream, BatchBlocks))
        return false;
    m_position = 0;
    return true;
}

bool CounterKeyStream::Apply(unsigned char* data, std::size_t size)
{
    while (size > 0) {
        if (m_position == BatchSize && !refill())
            return false;
        const std::size_t count = std::min(size, BatchSize - m_position);
        xorInto(data, m_keyStream + m_position, count);
        data += count;
        size -= count;
        m_position += count;
    }
    return true;
}
