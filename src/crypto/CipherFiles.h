#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The password built into the program for its branding file, and the work-buffer size it encrypts
// and decrypts with.
inline const QString BrandingPassword = QStringLiteral("qzvmtrwpkd");
inline constexpr int CipherBufferSize = 262144;

// Whole-file encryption and decryption with the branding cipher (AesLib). The destination is replaced
// atomically and only on success: when the source cannot be read, the password is wrong or the data fails its
// authentication, no destination file is written and an existing one stays as it was.
[[nodiscard]] bool DecryptFileTo(const QString& source, const QString& destination,
                                 const QString& password = BrandingPassword);
[[nodiscard]] bool EncryptFileTo(const QString& source, const QString& destination,
                                 const QString& password = BrandingPassword);

// The same without a plain copy on disk: the decrypted bytes of the file at `path`, or nothing when
// the file is missing or unreadable, the password is wrong or the authentication fails.
std::optional<QByteArray> DecryptFileToMemory(const QString& path,
                                              const QString& password = BrandingPassword);
// Encrypts `plain` into the file at `path`, replacing it atomically; false when nothing was written.
[[nodiscard]] bool EncryptToFile(const QByteArray& plain, const QString& path,
                                 const QString& password = BrandingPassword);
