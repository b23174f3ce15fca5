#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

// The text rules of the program's files and network bodies: text is written as UTF-8 with CR LF
// after every line; bytes that are not valid UTF-8 are read as Windows-1252, so files written by
// earlier Windows versions of the program load unchanged.

QString DecodeText(QByteArrayView bytes);
QString DecodeWindows1252(QByteArrayView bytes);

// Splits at CR LF, a lone CR or a lone LF. A final line break does not start another line.
QStringList SplitLines(QStringView text);

// Each line followed by CR LF.
QString JoinLinesCrLf(const QStringList& lines);

struct FileReadResult {
    bool exists = false;
    QString text;
    QString error; // set when the file exists but could not be read
};
FileReadResult ReadTextFile(const QString& path);

// Replaces the file at `path` with `text` in UTF-8, all or nothing: the previous file stays whole
// if anything fails. Returns an empty string on success, else what went wrong.
[[nodiscard]] QString WriteTextFileAtomic(const QString& path, QStringView text);
[[nodiscard]] QString WriteFileAtomic(const QString& path, QByteArrayView bytes);

// Thrown where a data or export file could not be written and the handler cannot go on; the
// program's error handler reports it to the user.
class FileWriteError : public std::runtime_error {
public:
    FileWriteError(const QString& path, const QString& reason);
};
