#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

// The text rules of the program's files and network bodies: text is written as UTF-8 with CR LF
// after every line. Reading decides line by line: a line that is valid UTF-8 is UTF-8, any other
// line is Windows-1252, so files written by earlier Windows versions of the program load unchanged
// and one damaged byte garbles one line at most.

QString DecodeText(QByteArrayView bytes);
// One line (no line break inside) by the same rule.
QString DecodeLine(QByteArrayView line);
bool IsValidUtf8(QByteArrayView bytes);
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

// The rows a table file gave, and why a file that exists could not be read (empty when it could).
template <typename Rows> struct TableRead {
    Rows rows;
    QString error;
};

// Replaces the file at `path` with `text` in UTF-8, all or nothing: the previous file stays whole
// if anything fails. Returns an empty string on success, else what went wrong.
[[nodiscard]] QString WriteTextFileAtomic(const QString& path, QStringView text);
[[nodiscard]] QString WriteFileAtomic(const QString& path, QByteArrayView bytes);

// Writes text to a device in UTF-8 piece by piece, so that a big table never needs its whole text
// in memory: append to text(), call flushIfFull() now and then, and finish() at the end. After the
// first failed write nothing more is written, and the reason is kept.
class TextDeviceWriter {
public:
    explicit TextDeviceWriter(QIODevice& device);
    virtual ~TextDeviceWriter() = default;
    TextDeviceWriter(const TextDeviceWriter&) = delete;
    TextDeviceWriter& operator=(const TextDeviceWriter&) = delete;

    QString& text() { return m_text; }
    // False once a write has failed: the rest of the text need not be made.
    bool flushIfFull();
    // Writes what is left; an empty string on success, else why a write failed.
    [[nodiscard]] QString finish();

protected:
    // For a writer whose device is its own member, set before the first write.
    TextDeviceWriter() = default;
    void setDevice(QIODevice& device) { m_device = &device; }
    void flush();

    QIODevice* m_device = nullptr;
    QString m_text;
    QString m_error;
};

// Writes a text file atomically in UTF-8 piece by piece, as TextDeviceWriter does, and commit() at
// the end. Nothing replaces the old file unless commit() succeeds.
class AtomicTextFileWriter final : public TextDeviceWriter {
public:
    explicit AtomicTextFileWriter(const QString& path);
    ~AtomicTextFileWriter() override;

    // An empty string on success, else what went wrong.
    [[nodiscard]] QString commit();
    // After a failed commit: whether the new file could not be started beside the old one or could
    // not take its place, as opposed to a write that failed on the way (a full disk).
    bool failedToReplace() const { return m_openFailed || m_file.error() == QFileDevice::RenameError; }

private:
    QSaveFile m_file;
    bool m_openFailed = false;
};

// "Could not write "NAME": REASON", the file named by its name alone.
QString WriteErrorText(const QString& path, const QString& reason);

// Thrown where a data or export file could not be written and the handler cannot go on; the
// program's error handler reports it to the user.
class FileWriteError : public std::runtime_error {
public:
    FileWriteError(const QString& path, const QString& reason);
};
