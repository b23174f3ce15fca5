#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

class Launcher;

// Splits `text` at every `separator` into `list` (cleared first). Empty pieces between separators
// are kept; a final empty piece is not.
void SplitByChar(QChar separator, const QString& text, QStringList& list);

// Undoes dollar-hex escaping: "$" and one or two hexadecimal digits stand for the byte with that
// code. Any other "$" makes the whole result empty. The bytes are read back as text by the
// program's text rule (UTF-8 when valid, else Windows-1252).
QString DecodeDollarHex(const QString& text);

// Starts the web browser registered for http addresses with `url` as its only argument. False when
// no browser is registered; true once a launch was attempted, whether or not it succeeded.
bool OpenInDefaultBrowser(const QString& url, Launcher& launcher);

// The password built into the program for its branding file, and the work-buffer size it encrypts
// and decrypts with.
inline const QString BrandingPassword = QStringLiteral("qzvmtrwpkd");
inline constexpr int CipherBufferSize = 262144;

// Whole-file encryption and decryption (crypto/AesLib). The destination is replaced atomically and
// only on success: when the source cannot be read, the password is wrong or the data fails its
// authentication, no destination file is written and an existing one stays as it was.
[[nodiscard]] bool DecryptFileTo(const QString& source, const QString& destination,
                                 const QString& password = BrandingPassword);
[[nodiscard]] bool EncryptFileTo(const QString& source, const QString& destination,
                                 const QString& password = BrandingPassword);

// The same without a plain copy on disk: the decrypted bytes of the file at `path`, or nothing when
// the file is missing or unreadable, the password is wrong or the authentication fails.
std::optional<QByteArray> DecryptFileToMemory(const QString& path, const QString& password = BrandingPassword);
// Encrypts `plain` into the file at `path`, replacing it atomically; false when nothing was written.
[[nodiscard]] bool EncryptToFile(const QByteArray& plain, const QString& path,
                                 const QString& password = BrandingPassword);
