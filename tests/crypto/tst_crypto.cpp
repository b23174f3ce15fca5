#include "crypto/AesLib.h"
#include "crypto/CipherFiles.h"
#include "crypto/CryptoPrimitives.h"
#include "support/TestFiles.h"

#include <QBuffer>
#include <QDataStream>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <optional>

using namespace Qt::StringLiterals;

namespace {

const QString password = QStringLiteral("qzvmtrwpkd");

QByteArray sampleData(qsizetype size, quint32 seed = 1)
{
    QByteArray data(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char& byte : data)
        byte = char(generator.bounded(256));
    return data;
}

TEncryption::SaltSource fixedSalt(char byte)
{
    return [byte](unsigned char* salt, int size) {
        std::fill_n(salt, size, static_cast<unsigned char>(byte));
        return true;
    };
}

std::optional<QByteArray> encryptBytes(const QByteArray& plain, const QString& key = password,
                                       int bufferSize = CipherBufferSize, TEncryption::SaltSource salt = {})
{
    QBuffer source;
    source.setData(plain);
    source.open(QIODevice::ReadOnly);
    QByteArray encrypted;
    QBuffer destination(&encrypted);
    destination.open(QIODevice::WriteOnly);
    TEncryption cipher(key, bufferSize, std::move(salt));
    if (!cipher.EncryptStream(source, destination))
        return std::nullopt;
    return encrypted;
}

struct Decrypted {
    bool ok = false;
    QByteArray plain;
};

Decrypted decryptBytes(const QByteArray& encrypted, const QString& key = password,
                       int bufferSize = CipherBufferSize, qint64 totalLength = -1)
{
    QBuffer source;
    source.setData(encrypted);
    source.open(QIODevice::ReadOnly);
    Decrypted result;
    QBuffer destination(&result.plain);
    destination.open(QIODevice::WriteOnly);
    TEncryption cipher(key, bufferSize);
    result.ok = cipher.DecryptStream(source, destination, totalLength < 0 ? encrypted.size() : totalLength);
    return result;
}

// --- ZIP entries encrypted with AES (extra field 0x9901), stored without compression ---

constexpr quint16 AesExtraId = 0x9901;
constexpr quint16 AesMethod = 99;

QString sevenZip()
{
    return QStandardPaths::findExecutable(QStringLiteral("7z"));
}

ProcessRun runSevenZip(const QStringList& arguments, const QString& folder)
{
    return runProcess(sevenZip(), arguments, folder);
}

QByteArray aesExtraField(int mode)
{
    QByteArray extra;
    QDataStream out(&extra, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << AesExtraId << quint16(7) << quint16(2) << quint8('A') << quint8('E') << quint8(mode)
        << quint16(0); // AE-2 (no CRC), stored
    return extra;
}

// One stored entry whose data is `encrypted`, with local header, central directory and end record.
QByteArray zipWithAesEntry(const QByteArray& name, const QByteArray& encrypted, quint32 plainSize, int mode)
{
    const QByteArray extra = aesExtraField(mode);
    const quint16 version = 51, flags = 1, time = 0, date = (1 << 5) | 1;
    QByteArray zip;
    QDataStream out(&zip, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint32(0x04034b50) << version << flags << AesMethod << time << date << quint32(0)
        << quint32(encrypted.size()) << plainSize << quint16(name.size()) << quint16(extra.size());
    out.writeRawData(name.constData(), int(name.size()));
    out.writeRawData(extra.constData(), int(extra.size()));
    out.writeRawData(encrypted.constData(), int(encrypted.size()));
    const quint32 centralOffset = quint32(zip.size());
    out << quint32(0x02014b50) << version << version << flags << AesMethod << time << date << quint32(0)
        << quint32(encrypted.size()) << plainSize << quint16(name.size()) << quint16(extra.size())
        << quint16(0) << quint16(0) << quint16(0) << quint32(0) << quint32(0);
    out.writeRawData(name.constData(), int(name.size()));
    out.writeRawData(extra.constData(), int(extra.size()));
    const quint32 centralSize = quint32(zip.size()) - centralOffset;
    out << quint32(0x06054b50) << quint16(0) << quint16(0) << quint16(1) << quint16(1) << centralSize
        << centralOffset << quint16(0);
    return zip;
}

struct AesEntry {
    int strength = 0;
    quint16 method = 0;
    QByteArray data; // salt, verification value, ciphertext, code
};

// The first entry of a ZIP archive, read from its local header.
std::optional<AesEntry> firstAesEntry(const QByteArray& zip)
{
    const auto u16 = [&zip](qsizetype at) { return qFromLittleEndian<quint16>(zip.constData() + at); };
    const auto u32 = [&zip](qsizetype at) { return qFromLittleEndian<quint32>(zip.constData() + at); };
    if (zip.size() < 30 || u32(0) != 0x04034b50 || u16(8) != AesMethod || (u16(6) & 8) != 0)
        return std::nullopt;
    const quint32 dataSize = u32(18);
    const qsizetype nameSize = u16(26), extraSize = u16(28);
    const qsizetype dataStart = 30 + nameSize + extraSize;
    if (zip.size() < dataStart + dataSize)
        return std::nullopt;
    for (qsizetype at = 30 + nameSize; at + 4 <= dataStart; at += 4 + u16(at + 2)) {
        if (u16(at) == AesExtraId && u16(at + 2) == 7)
            return AesEntry{quint8(zip[at + 8]), u16(at + 9), zip.mid(dataStart, dataSize)};
    }
    return std::nullopt;
}

} // namespace

class TestCrypto : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void pbkdf2KnownAnswers_data();
    void pbkdf2KnownAnswers();
    void aesKnownAnswers_data();
    void aesKnownAnswers();
    void hmacKnownAnswers_data();
    void hmacKnownAnswers();
    void counterIsLittleEndianFromOne();
    void roundTrip_data();
    void roundTrip();
    void freshSaltEveryTime();
    void outputIndependentOfBufferSize_data();
    void outputIndependentOfBufferSize();
    void modeFollowsPasswordLength_data();
    void modeFollowsPasswordLength();
    void rejectedInput_data();
    void rejectedInput();
    void flippedCiphertextByteChangesOnePlainByte();
    void sourceEndingEarlyFails_data();
    void sourceEndingEarlyFails();
    void fileHelpersRoundTrip();
    void missingFileDecryptsToNothing();
    void zipToolEntryDecrypts_data();
    void zipToolEntryDecrypts();
    void zipToolAcceptsOurEntry_data();
    void zipToolAcceptsOurEntry();
};

// RFC 6070.
void TestCrypto::pbkdf2KnownAnswers_data()
{
    QTest::addColumn<QByteArray>("secret");
    QTest::addColumn<QByteArray>("salt");
    QTest::addColumn<int>("iterations");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("1 iteration") << QByteArray("password") << QByteArray("salt") << 1
                                 << QByteArray::fromHex("0c60c80f961f0e71f3a9b524af6012062fe037a6");
    QTest::newRow("2 iterations") << QByteArray("password") << QByteArray("salt") << 2
                                  << QByteArray::fromHex("ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957");
    QTest::newRow("4096 iterations") << QByteArray("password") << QByteArray("salt") << 4096
                                     << QByteArray::fromHex("4b007901b765489abead49d926f721d065a429c1");
    QTest::newRow("25 bytes out") << QByteArray("passwordPASSWORDpassword")
                                  << QByteArray("saltSALTsaltSALTsaltSALTsaltSALTsalt") << 4096
                                  << QByteArray::fromHex(
                                         "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038");
    QTest::newRow("zero bytes inside") << QByteArray("pass\0word", 9) << QByteArray("sa\0lt", 5) << 4096
                                       << QByteArray::fromHex("56fa6aa75548099dcc37d7f03425e0c3");
}

void TestCrypto::pbkdf2KnownAnswers()
{
    QFETCH(QByteArray, secret);
    QFETCH(QByteArray, salt);
    QFETCH(int, iterations);
    QFETCH(QByteArray, expected);
    QByteArray out(expected.size(), '\0');
    QVERIFY(Pbkdf2HmacSha1(secret, salt, iterations, reinterpret_cast<unsigned char*>(out.data()),
                           std::size_t(out.size())));
    QCOMPARE(out.toHex(), expected.toHex());
}

// FIPS-197, appendix C.
void TestCrypto::aesKnownAnswers_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("AES-128") << QByteArray::fromHex("000102030405060708090a0b0c0d0e0f")
                             << QByteArray::fromHex("69c4e0d86a7b0430d8cdb78070b4c55a");
    QTest::newRow("AES-192") << QByteArray::fromHex("000102030405060708090a0b0c0d0e0f1011121314151617")
                             << QByteArray::fromHex("dda97ca4864cdfe06eaf70a0ec0d7191");
    QTest::newRow("AES-256") << QByteArray::fromHex(
                                    "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f")
                             << QByteArray::fromHex("8ea2b7ca516745bfeafc49904b496089");
}

void TestCrypto::aesKnownAnswers()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, expected);
    const QByteArray plain = QByteArray::fromHex("00112233445566778899aabbccddeeff");
    QByteArray out(16, '\0');
    AesBlockEncryptor aes;
    QVERIFY(aes.SetKey(key));
    QVERIFY(aes.EncryptBlocks(reinterpret_cast<const unsigned char*>(plain.constData()),
                              reinterpret_cast<unsigned char*>(out.data()), 1));
    QCOMPARE(out.toHex(), expected.toHex());
}

// RFC 2202.
void TestCrypto::hmacKnownAnswers_data()
{
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("case 1") << QByteArray(20, '\x0b') << QByteArray("Hi There")
                            << QByteArray::fromHex("b617318655057264e28bc0b6fb378c8ef146be00");
    QTest::newRow("case 2") << QByteArray("Jefe") << QByteArray("what do ya want for nothing?")
                            << QByteArray::fromHex("effcdf6ae5eb2fa2d27416d5f184df9c259a7c79");
    QTest::newRow("case 3") << QByteArray(20, '\xaa') << QByteArray(50, '\xdd')
                            << QByteArray::fromHex("125d7342b9ac11cd91a39af48aa17b4f63f175d3");
    QTest::newRow("case 7: key and data longer than a block")
        << QByteArray(80, '\xaa')
        << QByteArray("Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data")
        << QByteArray::fromHex("e8e99d0f45237d786d6bbaa7965c7808bbff1a91");
}

void TestCrypto::hmacKnownAnswers()
{
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, expected);
    HmacSha1 mac;
    unsigned char code[HmacSha1::Size];
    // Fed in two pieces: the result must not depend on the cut.
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    const std::size_t half = std::size_t(data.size()) / 2;
    QVERIFY(mac.Start(key));
    QVERIFY(mac.Update(bytes, half));
    QVERIFY(mac.Update(bytes + half, std::size_t(data.size()) - half));
    QVERIFY(mac.Finish(code));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(code), sizeof code).toHex(), expected.toHex());
}

// Key stream block i is AES of the counter i as a little-endian number in bytes 0 to 7, from 1 on,
// whatever pieces the data comes in; 300 blocks take the count past one byte.
void TestCrypto::counterIsLittleEndianFromOne()
{
    const QByteArray key = QByteArray::fromHex("2b7e151628aed2a6abf7158809cf4f3c");
    constexpr int blocks = 300;
    QByteArray counters(blocks * 16, '\0');
    for (int i = 0; i < blocks; ++i) {
        counters[i * 16] = char((i + 1) & 0xff);
        counters[i * 16 + 1] = char((i + 1) >> 8);
    }
    QByteArray expected(counters.size(), '\0');
    AesBlockEncryptor aes;
    QVERIFY(aes.SetKey(key));
    QVERIFY(aes.EncryptBlocks(reinterpret_cast<const unsigned char*>(counters.constData()),
                              reinterpret_cast<unsigned char*>(expected.data()), blocks));

    QByteArray stream(counters.size() - 5, '\0');
    auto* data = reinterpret_cast<unsigned char*>(stream.data());
    CounterKeyStream counter;
    QVERIFY(counter.Start(key));
    QVERIFY(counter.Apply(data, 7));
    QVERIFY(counter.Apply(data + 7, 1000));
    QVERIFY(counter.Apply(data + 1007, std::size_t(stream.size()) - 1007));
    QCOMPARE(stream.toHex(), expected.left(stream.size()).toHex());
}

void TestCrypto::roundTrip_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("one byte") << 1;
    QTest::newRow("one byte short of the buffer") << 262143;
    QTest::newRow("exactly the buffer") << 262144;
    QTest::newRow("one byte over the buffer") << 262145;
    QTest::newRow("two buffers") << 524288;
}

void TestCrypto::roundTrip()
{
    QFETCH(int, size);
    const QByteArray plain = sampleData(size);
    const std::optional<QByteArray> encrypted = encryptBytes(plain);
    QVERIFY(encrypted);
    QCOMPARE(encrypted->size(), size + 20);
    const Decrypted decrypted = decryptBytes(*encrypted);
    QVERIFY(decrypted.ok);
    QCOMPARE(decrypted.plain, plain);

    QTemporaryDir dir;
    const QString plainPath = dir.filePath(u"plain"_s), encryptedPath = dir.filePath(u"enc"_s),
                  outPath = dir.filePath(u"out"_s);
    writeFile(plainPath, plain);
    QVERIFY(EncryptFileTo(plainPath, encryptedPath));
    QCOMPARE(QFileInfo(encryptedPath).size(), size + 20);
    QVERIFY(DecryptFileTo(encryptedPath, outPath));
    QCOMPARE(readFile(outPath), plain);
}

void TestCrypto::freshSaltEveryTime()
{
    const QByteArray plain("the same plain text");
    const std::optional<QByteArray> first = encryptBytes(plain), second = encryptBytes(plain);
    QVERIFY(first && second);
    QVERIFY(first->left(8) != second->left(8));
    QVERIFY(first->mid(10) != second->mid(10));
    QCOMPARE(decryptBytes(*first).plain, plain);
    QCOMPARE(decryptBytes(*second).plain, plain);
}

void TestCrypto::outputIndependentOfBufferSize_data()
{
    QTest::addColumn<int>("bufferSize");
    for (const int size : {1, 15, 16, 17, 8191, 8193, 1 << 20})
        QTest::addRow("%d bytes", size) << size;
}

void TestCrypto::outputIndependentOfBufferSize()
{
    QFETCH(int, bufferSize);
    const QByteArray plain = sampleData(70001, 7);
    const std::optional<QByteArray> reference =
        encryptBytes(plain, password, CipherBufferSize, fixedSalt('s'));
    const std::optional<QByteArray> encrypted = encryptBytes(plain, password, bufferSize, fixedSalt('s'));
    QVERIFY(reference && encrypted);
    QCOMPARE(encrypted->toHex(), reference->toHex());
    const Decrypted decrypted = decryptBytes(*reference, password, bufferSize);
    QVERIFY(decrypted.ok);
    QCOMPARE(decrypted.plain, plain);
}

void TestCrypto::modeFollowsPasswordLength_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("saltSize");
    QTest::newRow("31 characters") << 31 << 1 << 8;
    QTest::newRow("32 characters") << 32 << 2 << 12;
    QTest::newRow("47 characters") << 47 << 2 << 12;
    QTest::newRow("48 characters") << 48 << 3 << 16;
    QTest::newRow("128 characters") << 128 << 3 << 16;
}

void TestCrypto::modeFollowsPasswordLength()
{
    QFETCH(int, length);
    QFETCH(int, mode);
    QFETCH(int, saltSize);
    const QString key(length, u'k');
    QCOMPARE(TEncryption(key, 16).Mode(), mode);
    const QByteArray plain = sampleData(1000);
    const std::optional<QByteArray> encrypted = encryptBytes(plain, key);
    QVERIFY(encrypted);
    QCOMPARE(encrypted->size(), plain.size() + saltSize + 12);
    const Decrypted decrypted = decryptBytes(*encrypted, key);
    QVERIFY(decrypted.ok);
    QCOMPARE(decrypted.plain, plain);
    QVERIFY(!decryptBytes(*encrypted, QString(length, u'j')).ok);
}

// Every row must be refused by the stream and by the file helpers, which then write nothing and
// leave an earlier destination file as it was.
void TestCrypto::rejectedInput_data()
{
    QTest::addColumn<QByteArray>("encrypted");
    QTest::addColumn<QString>("key");
    const QByteArray good = *encryptBytes(sampleData(300), password, CipherBufferSize, fixedSalt('x'));
    const auto flipped = [&good](qsizetype at) {
        QByteArray bytes = good;
        bytes[at] = char(bytes[at] ^ 0x01);
        return bytes;
    };
    QTest::newRow("another password") << good << QStringLiteral("another one");
    QTest::newRow("flipped salt byte") << flipped(3) << password;
    QTest::newRow("flipped verification byte") << flipped(9) << password;
    QTest::newRow("flipped ciphertext byte") << flipped(150) << password;
    QTest::newRow("flipped code byte") << flipped(good.size() - 1) << password;
    QTest::newRow("one byte missing") << good.chopped(1) << password;
    QTest::newRow("one byte added") << good + 'x' << password;
    for (int size = 0; size < 20; ++size)
        QTest::addRow("only %d bytes", size) << good.left(size) << password;
}

void TestCrypto::rejectedInput()
{
    QFETCH(QByteArray, encrypted);
    QFETCH(QString, key);
    QVERIFY(!decryptBytes(encrypted, key).ok);

    QTemporaryDir dir;
    const QString source = dir.filePath(u"dbsettings.dat"_s), earlier = dir.filePath(u"earlier"_s),
                  fresh = dir.filePath(u"fresh"_s);
    writeFile(source, encrypted);
    writeFile(earlier, "earlier contents");
    QVERIFY(!DecryptFileTo(source, earlier, key));
    QCOMPARE(readFile(earlier), QByteArray("earlier contents"));
    QVERIFY(!DecryptFileTo(source, fresh, key));
    QVERIFY(!QFile::exists(fresh));
    QVERIFY(!DecryptFileToMemory(source, key));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({u"dbsettings.dat"_s, u"earlier"_s}));
}

void TestCrypto::flippedCiphertextByteChangesOnePlainByte()
{
    const QByteArray plain = sampleData(5000);
    QByteArray encrypted = *encryptBytes(plain);
    encrypted[10 + 1234] = char(encrypted[10 + 1234] ^ 0x40);
    const Decrypted decrypted = decryptBytes(encrypted);
    QVERIFY(!decrypted.ok);
    QCOMPARE(decrypted.plain.size(), plain.size());
    QByteArray expected = plain;
    expected[1234] = char(expected[1234] ^ 0x40);
    QCOMPARE(decrypted.plain, expected);
}

// The caller announces more bytes than the source holds: the read stops at the end of the data.
void TestCrypto::sourceEndingEarlyFails_data()
{
    QTest::addColumn<qint64>("missing");
    QTest::newRow("one byte") << qint64(1);
    QTest::newRow("a buffer and more") << qint64(300000);
    QTest::newRow("a terabyte") << (qint64(1) << 40);
}

void TestCrypto::sourceEndingEarlyFails()
{
    QFETCH(qint64, missing);
    const QByteArray encrypted = *encryptBytes(sampleData(100000));
    QVERIFY(!decryptBytes(encrypted, password, CipherBufferSize, encrypted.size() + missing).ok);
}

void TestCrypto::fileHelpersRoundTrip()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"dbsettings.dat"_s);
    const QByteArray plain("<%%ApplicationName%%>Name<%%/ApplicationName%%>\r\n");
    QVERIFY(EncryptToFile(plain, path));
    QCOMPARE(QFileInfo(path).size(), plain.size() + 20);
    QCOMPARE(DecryptFileToMemory(path).value_or("failed"), plain);
    QVERIFY(!DecryptFileToMemory(path, u"another password"_s));
    // Replacing works in place, as when the program stores a new value in its branding file.
    QVERIFY(EncryptToFile("second", path, u"another password"_s));
    QCOMPARE(DecryptFileToMemory(path, u"another password"_s).value_or("failed"), QByteArray("second"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"dbsettings.dat"_s});
}

void TestCrypto::missingFileDecryptsToNothing()
{
    QTemporaryDir dir;
    QVERIFY(!DecryptFileToMemory(dir.filePath(u"absent"_s)));
    QVERIFY(!DecryptFileTo(dir.filePath(u"absent"_s), dir.filePath(u"out"_s)));
    QVERIFY(!EncryptFileTo(dir.filePath(u"absent"_s), dir.filePath(u"out"_s)));
    QVERIFY(!QFile::exists(dir.filePath(u"out"_s)));
}

void TestCrypto::zipToolEntryDecrypts_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("size");
    QTest::newRow("AES-128") << "AES128" << password << 1 << 1000;
    QTest::newRow("AES-128, several buffers") << "AES128" << password << 1 << 600000;
    QTest::newRow("AES-192") << "AES192" << QString(40, u'p') << 2 << 1000;
    QTest::newRow("AES-256") << "AES256" << QString(50, u'p') << 3 << 1000;
}

void TestCrypto::zipToolEntryDecrypts()
{
    QFETCH(QString, method);
    QFETCH(QString, key);
    QFETCH(int, mode);
    QFETCH(int, size);
    QVERIFY2(!sevenZip().isEmpty(), "7z is missing (scripts/install-deps.sh installs p7zip-full)");
    QTemporaryDir dir;
    const QByteArray plain = sampleData(size, 3);
    writeFile(dir.filePath(u"plain.bin"_s), plain);
    const ProcessRun run = runSevenZip({u"a"_s, u"-tzip"_s, u"-mem="_s + method, u"-mx=0"_s, u"-p"_s + key,
                                        u"archive.zip"_s, u"plain.bin"_s},
                                       dir.path());
    QCOMPARE(run.status, 0);

    const std::optional<AesEntry> entry = firstAesEntry(readFile(dir.filePath(u"archive.zip"_s)));
    QVERIFY(entry);
    QCOMPARE(entry->strength, mode);
    QCOMPARE(entry->method, quint16(0));
    const Decrypted decrypted = decryptBytes(entry->data, key);
    QVERIFY(decrypted.ok);
    QCOMPARE(decrypted.plain, plain);
}

void TestCrypto::zipToolAcceptsOurEntry_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("damaged");
    QTest::newRow("AES-128") << password << 1 << false;
    QTest::newRow("AES-192") << QString(40, u'p') << 2 << false;
    QTest::newRow("AES-256") << QString(50, u'p') << 3 << false;
    // Shows that the tool really checks the code.
    QTest::newRow("damaged ciphertext") << password << 1 << true;
}

void TestCrypto::zipToolAcceptsOurEntry()
{
    QFETCH(QString, key);
    QFETCH(int, mode);
    QFETCH(bool, damaged);
    QVERIFY2(!sevenZip().isEmpty(), "7z is missing (scripts/install-deps.sh installs p7zip-full)");
    const QByteArray plain = sampleData(300000, 5);
    std::optional<QByteArray> encrypted = encryptBytes(plain, key);
    QVERIFY(encrypted);
    if (damaged)
        (*encrypted)[1000] = char((*encrypted)[1000] ^ 0x01);
    QTemporaryDir dir;
    writeFile(dir.filePath(u"ours.zip"_s),
              zipWithAesEntry("plain.bin", *encrypted, quint32(plain.size()), mode));

    const int testStatus = runSevenZip({u"t"_s, u"-p"_s + key, u"ours.zip"_s}, dir.path()).status;
    if (damaged) {
        QVERIFY(testStatus > 0);
        return;
    }
    QCOMPARE(testStatus, 0);
    const ProcessRun extracted = runSevenZip({u"x"_s, u"-so"_s, u"-p"_s + key, u"ours.zip"_s}, dir.path());
    QCOMPARE(extracted.status, 0);
    QCOMPARE(extracted.out, plain);
}

QTEST_GUILESS_MAIN(TestCrypto)
#include "tst_crypto.moc"
