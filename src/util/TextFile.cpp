#include "util/TextFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

QString DecodeWindows1252(QByteArrayView bytes)
{
    // 0x80-0x9F differ from Latin-1; five of them are unassigned and map to the C1 controls.
    static constexpr char16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                          0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                          0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                          0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (const char byte : bytes) {
        const auto b = static_cast<unsigned char>(byte);
        *out++ = (b >= 0x80 && b < 0xA0) ? high[b - 0x80] : char16_t(b);
    }
    return text;
}

bool IsValidUtf8(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        // Runs of ASCII are skipped eight bytes at a time.
        if (end - p >= 8) {
            std::uint64_t block;
            std::memcpy(&block, p, 8);
            if ((block & 0x8080808080808080ull) == 0) {
                p += 8;
                continue;
            }
        }
        const unsigned char lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        int length;
        char32_t codePoint;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07;
        } else {
            return false;
        }
        if (end - p < length)
            return false;
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (p[i] & 0x3F);
        }
        // No over-long forms, no surrogates, nothing above U+10FFFF.
        if ((length == 3 && codePoint < 0x800) || (length == 4 && codePoint < 0x10000) ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF)
            return false;
        p += length;
    }
    return true;
}

QString DecodeLine(QByteArrayView line)
{
    return IsValidUtf8(line) ? QString::fromUtf8(line) : DecodeWindows1252(line);
}

QString DecodeText(QByteArrayView bytes)
{
    // Most texts are UTF-8 throughout and are decoded in one go.
    if (IsValidUtf8(bytes))
        return QString::fromUtf8(bytes);
    // Otherwise line by line, so that a damaged byte or a line pasted from elsewhere garbles no other
    // line. Line breaks are ASCII: never part of a UTF-8 sequence, the same in both encodings.
    QString text;
    text.reserve(bytes.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i <= bytes.size(); ++i) {
        const bool lineEnds = i == bytes.size() || bytes[i] == '\r' || bytes[i] == '\n';
        if (!lineEnds)
            continue;
        text += DecodeLine(bytes.sliced(start, i - start));
        if (i < bytes.size())
            text += QLatin1Char(bytes[i]);
        start = i + 1;
    }
    return text;
}

QStringList SplitLines(QStringView text)
{
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start).toString());
        if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start).toString());
    return lines;
}

QString JoinLinesCrLf(const QStringList& lines)
{
    QString text;
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + 2;
    text.reserve(size);
    for (const QString& line : lines) {
        text += line;
        text += u"\r\n";
    }
    return text;
}

FileReadResult ReadTextFile(const QString& path)
{
    FileReadResult result;
    QFile file(path);
    if (!file.exists())
        return result;
    result.exists = true;
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    result.text = DecodeText(file.readAll());
    return result;
}

namespace {

// QSaveFile's own buffer hides the failure of its last write (a full disk then commits a cut-off
// file), so the files are written unbuffered: every failure shows at once, with the system's reason.
constexpr QIODevice::OpenMode AtomicWriteMode = QIODevice::WriteOnly | QIODevice::Unbuffered;

// Writes all of `bytes`; an empty string on success, else the system's reason.
QString writeAll(QIODevice& file, QByteArrayView bytes)
{
    // A short write is no error of its own: the next write tells why the rest did not fit.
    while (!bytes.isEmpty()) {
        const qint64 written = file.write(bytes.data(), bytes.size());
        if (written <= 0)
            return file.errorString();
        bytes = bytes.sliced(written);
    }
    return {};
}

constexpr qsizetype WriterChunk = 256 * 1024;

QString systemReason(int error)
{
    return QString::fromStdString(std::generic_category().message(error));
}

// Why QSaveFile could not start the new file, in the system's words. For an existing file it will not
// replace it has words of its own ("Existing file ... is not writable"), and for a folder in the
// file's place too: the system's reason is asked for again.
QString openFailure(const QSaveFile& file)
{
    const int failedWith = errno;
    const QFileInfo target(file.fileName());
    if (target.isDir())
        return systemReason(EISDIR);
    if (file.error() == QFileDevice::WriteError && target.exists()) {
#ifdef Q_OS_UNIX
        if (::access(QFile::encodeName(target.filePath()).constData(), W_OK) != 0)
            return systemReason(errno);
#endif
        if (failedWith != 0)
            return systemReason(failedWith);
    }
    return file.errorString();
}

} // namespace

QString WriteFileAtomic(const QString& path, QByteArrayView bytes)
{
    QSaveFile file(path);
    errno = 0;
    if (!file.open(AtomicWriteMode))
        return openFailure(file);
    if (const QString error = writeAll(file, bytes); !error.isEmpty()) {
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return file.errorString();
    return {};
}

QString WriteTextFileAtomic(const QString& path, QStringView text)
{
    return WriteFileAtomic(path, text.toUtf8());
}

TextDeviceWriter::TextDeviceWriter(QIODevice& device)
    : m_device(&device)
{
    m_text.reserve(WriterChunk + 4096);
}

bool TextDeviceWriter::flushIfFull()
{
    if (m_text.size() >= WriterChunk)
        flush();
    return m_error.isEmpty();
}

void TextDeviceWriter::flush()
{
    if (m_error.isEmpty() && !m_text.isEmpty())
        m_error = writeAll(*m_device, m_text.toUtf8());
    m_text.clear();
}

QString TextDeviceWriter::finish()
{
    flush();
    return m_error;
}

AtomicTextFileWriter::AtomicTextFileWriter(const QString& path)
    : m_file(path)
{
    setDevice(m_file);
    errno = 0;
    if (!m_file.open(AtomicWriteMode)) {
        m_error = openFailure(m_file);
        m_openFailed = true;
    }
    m_text.reserve(WriterChunk + 4096);
}

AtomicTextFileWriter::~AtomicTextFileWriter()
{
    if (m_file.isOpen())
        m_file.cancelWriting();
}

QString AtomicTextFileWriter::commit()
{
    flush();
    if (!m_error.isEmpty()) {
        m_file.cancelWriting();
        return m_error;
    }
    if (!m_file.commit())
        return m_file.errorString();
    return {};
}

QString WriteErrorText(const QString& path, const QString& reason)
{
    return QStringLiteral("Could not write \"%1\": %2").arg(QFileInfo(path).fileName(), reason);
}

FileWriteError::FileWriteError(const QString& path, const QString& reason)
    : std::runtime_error(WriteErrorText(path, reason).toStdString())
{
}
