// quillory-branding: makes and checks the encrypted branding files that resellers put beside the
// program.
#include "branding/BrandingText.h"
#include "crypto/CipherFiles.h"
#include "util/TextFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace {

constexpr int Success = 0;
constexpr int Failure = 1;
constexpr int UsageError = 2;

const char usageText[] = "Usage: quillory-branding [--password P] encrypt PLAIN ENCRYPTED\n"
                         "       quillory-branding [--password P] decrypt ENCRYPTED PLAIN\n"
                         "       quillory-branding [--password P] show ENCRYPTED\n"
                         "Without --password the program's built-in branding password is used.\n";

void print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
}

int fail(const QString& message)
{
    print(stderr, QStringLiteral("quillory-branding: %1\n").arg(message));
    return Failure;
}

int usageError(const QString& message)
{
    print(stderr, QStringLiteral("quillory-branding: %1\n").arg(message));
    std::fputs(usageText, stderr);
    return UsageError;
}

// Empty when the file can be opened for reading, else why not.
QString unreadable(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString() : file.errorString();
}

QString notDecrypted(const QString& path)
{
    return QStringLiteral("cannot decrypt \"%1\": wrong password or damaged file").arg(path);
}

int encryptFile(const QString& plain, const QString& encrypted, const QString& password)
{
    if (const QString error = unreadable(plain); !error.isEmpty())
        return fail(QStringLiteral("cannot read \"%1\": %2").arg(plain, error));
    if (!EncryptFileTo(plain, encrypted, password))
        return fail(QStringLiteral("cannot write \"%1\"").arg(encrypted));
    return Success;
}

int decryptFile(const QString& encrypted, const QString& plainPath, const QString& password)
{
    if (const QString error = unreadable(encrypted); !error.isEmpty())
        return fail(QStringLiteral("cannot read \"%1\": %2").arg(encrypted, error));
    const std::optional<QByteArray> plain = DecryptFileToMemory(encrypted, password);
    if (!plain)
        return fail(notDecrypted(encrypted));
    if (const QString error = WriteFileAtomic(plainPath, *plain); !error.isEmpty())
        return fail(QStringLiteral("cannot write \"%1\": %2").arg(plainPath, error));
    return Success;
}

// One value per entry; a value that spans lines follows on lines of its own, indented.
QString describe(const QString& name, const QString& value)
{
    if (value.isEmpty())
        return name + QLatin1String(":\n");
    if (!value.contains(u'\r') && !value.contains(u'\n'))
        return name + QLatin1String(": ") + value + u'\n';
    QString text = name + QLatin1String(":\n");
    for (const QString& line : SplitLines(value))
        text += QLatin1String("    ") + line + u'\n';
    return text;
}

QString describeEntries(const QString& prefix, const QStringList& entries)
{
    QString text;
    for (qsizetype i = 0; i < entries.size(); ++i)
        text += describe(prefix + QString::number(i + 1), entries[i]);
    return text;
}

int showFile(const QString& encrypted, const QString& password)
{
    if (const QString error = unreadable(encrypted); !error.isEmpty())
        return fail(QStringLiteral("cannot read \"%1\": %2").arg(encrypted, error));
    const std::optional<BrandingText> branding = ReadBrandingFile(encrypted, password);
    if (!branding)
        return fail(notDecrypted(encrypted));
    QString text;
    for (const auto& [name, value] : BrandingTagValues(*branding))
        text += describe(name, value);
    text += describeEntries(QStringLiteral("Welcome"), branding->WelcomeEntries);
    text += describeEntries(QStringLiteral("Banner"), branding->BannerEntries);
    text += describeEntries(QStringLiteral("Link"), branding->LinkEntries);
    print(stdout, text);
    return Success;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    QString password = BrandingPassword;

    QStringList words;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            std::fputs(usageText, stdout);
            return Success;
        }
        if (argument == QLatin1String("--password")) {
            if (i + 1 == arguments.size())
                return usageError(QStringLiteral("--password needs a value"));
            password = arguments[++i];
            if (password.isEmpty())
                return usageError(QStringLiteral("the password must not be empty"));
        } else if (argument.startsWith(u'-') && argument.size() > 1) {
            return usageError(QStringLiteral("unknown option \"%1\"").arg(argument));
        } else {
            words.append(argument);
        }
    }

    const QString command = words.value(0);
    const qsizetype expected = command == QLatin1String("show") ? 2 : 3;
    if (command != QLatin1String("encrypt") && command != QLatin1String("decrypt") &&
        command != QLatin1String("show"))
        return usageError(command.isEmpty() ? QStringLiteral("no command given")
                                            : QStringLiteral("unknown command \"%1\"").arg(command));
    if (words.size() != expected)
        return usageError(QStringLiteral("wrong number of file names for \"%1\"").arg(command));

    if (command == QLatin1String("encrypt"))
        return encryptFile(words[1], words[2], password);
    if (command == QLatin1String("decrypt"))
        return decryptFile(words[1], words[2], password);
    return showFile(words[1], password);
}
