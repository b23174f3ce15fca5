// Throughput of the branding-file cipher on a 10 MiB file, beside OpenSSL's own AES-128 counter
// mode on the same data in the same run.
#include "crypto/AesLib.h"
#include "crypto/CipherFiles.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <limits>

namespace {

constexpr qint64 DataSize = 10 * 1024 * 1024;
constexpr int Rounds = 5;

// Best time of a few rounds in seconds; a negative value when a round failed.
double bestSeconds(const std::function<bool()>& round)
{
    double best = std::numeric_limits<double>::max();
    for (int i = 0; i < Rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!round())
            return -1;
        best = std::min(best, double(timer.nsecsElapsed()) / 1e9);
    }
    return best;
}

double report(const char* label, double seconds)
{
    if (seconds < 0) {
        std::printf("  %-40s failed\n", label);
        return 0;
    }
    const double rate = double(DataSize) / (1024.0 * 1024.0) / seconds;
    std::printf("  %-40s %8.1f MiB/s  (%.1f ms)\n", label, rate, seconds * 1e3);
    return rate;
}

bool streamThrough(const QByteArray& input, QByteArray& output, bool decrypting)
{
    QBuffer source;
    source.setData(input);
    source.open(QIODevice::ReadOnly);
    output.clear();
    QBuffer destination(&output);
    destination.open(QIODevice::WriteOnly);
    TEncryption cipher(BrandingPassword, CipherBufferSize);
    return decrypting ? cipher.DecryptStream(source, destination, input.size())
                      : cipher.EncryptStream(source, destination);
}

} // namespace

int main()
{
    QTemporaryDir dir;
    const QString plainPath = dir.filePath(QStringLiteral("plain.bin"));
    const QString encryptedPath = dir.filePath(QStringLiteral("encrypted.bin"));
    const QString outPath = dir.filePath(QStringLiteral("out.bin"));

    QByteArray plain(DataSize, Qt::Uninitialized);
    QRandomGenerator generator(42);
    generator.fillRange(reinterpret_cast<quint32*>(plain.data()), plain.size() / 4);
    QFile file(plainPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(plain) != plain.size()) {
        std::fprintf(stderr, "crypto_bench: cannot write the sample file\n");
        return 1;
    }
    file.close();

    std::printf("Branding-file cipher, %lld MiB, best of %d rounds\n", DataSize / (1024 * 1024), Rounds);
    report("EncryptFileTo (file to file)",
           bestSeconds([&] { return EncryptFileTo(plainPath, encryptedPath); }));
    const double decryptRate = report("DecryptFileTo (file to file)",
                                      bestSeconds([&] { return DecryptFileTo(encryptedPath, outPath); }));
    QByteArray encrypted, decrypted;
    report("EncryptStream (memory to memory)",
           bestSeconds([&] { return streamThrough(plain, encrypted, false); }));
    report("DecryptStream (memory to memory)",
           bestSeconds([&] { return streamThrough(encrypted, decrypted, true) && decrypted == plain; }));

    const QString openssl = QStandardPaths::findExecutable(QStringLiteral("openssl"));
    if (openssl.isEmpty()) {
        std::printf("  openssl not found: no comparison\n");
        return 0;
    }
    const QStringList arguments{QStringLiteral("enc"),  QStringLiteral("-aes-128-ctr"),
                                QStringLiteral("-K"),   QStringLiteral("000102030405060708090a0b0c0d0e0f"),
                                QStringLiteral("-iv"),  QStringLiteral("00000000000000000000000000000000"),
                                QStringLiteral("-in"),  plainPath,
                                QStringLiteral("-out"), outPath};
    const double opensslRate =
        report("openssl enc -aes-128-ctr (file to file)",
               bestSeconds([&] { return QProcess::execute(openssl, arguments) == 0; }));
    if (opensslRate > 0)
        std::printf("  DecryptFileTo / openssl: %.2f (goal: at least 0.5)\n", decryptRate / opensslRate);
    return 0;
}
