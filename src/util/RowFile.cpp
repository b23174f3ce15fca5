#include "util/RowFile.h"

#include "util/CellRows.h"
#include "util/TextFile.h"

#include <QFile>

#include <QStringDecoder>

#include <algorithm>
#include <cstdint>
#include <cstring>

void AppendRowLine(QString& out, std::initializer_list<QStringView> fields)
{
    for (const QStringView field : fields) {
        const qsizetype from = out.size();
        out += field;
        QChar* data = out.data();
        for (qsizetype i = from; i < out.size(); ++i) {
            if (data[i] == u' ')
                data[i] = StoredSpace;
        }
        out += u'|';
    }
}

namespace {

bool breaksCell(char16_t c)
{
    return c == u'|' || c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

// "|" and the blanks are ASCII: they are never part of a surrogate pair or a multi-byte sequence.
const char16_t* rawChars(QStringView text)
{
    return text.utf16();
}

const char* rawChars(QByteArrayView bytes)
{
    return bytes.data();
}

template <typename View> void splitRowLine(View line, QList<View>& fields)
{
    const auto isBlank = [](auto c) {
        return std::uint32_t(c) >= 1 && std::uint32_t(c) <= 32;
    }; // a byte above 0x7F is negative: no blank
    const auto* chars = rawChars(line);
    const qsizetype n = line.size();
    fields.clear();
    qsizetype i = 0;
    while (i < n && isBlank(chars[i]))
        ++i;
    while (i < n) {
        const qsizetype start = i;
        while (i < n && chars[i] != '|' && !isBlank(chars[i]))
            ++i;
        fields.append(line.sliced(start, i - start));
        while (i < n && isBlank(chars[i]))
            ++i;
        if (i < n && chars[i] == '|') {
            ++i;
            while (i < n && isBlank(chars[i]))
                ++i;
            if (i == n)
                fields.append(View());
        }
    }
}

} // namespace

QList<QStringView> SplitRowLine(QStringView line)
{
    QList<QStringView> fields;
    SplitRowLine(line, fields);
    return fields;
}

void SplitRowLine(QStringView line, QList<QStringView>& fields)
{
    splitRowLine(line, fields);
}

void SplitRowLine(QByteArrayView line, QList<QByteArrayView>& fields)
{
    splitRowLine(line, fields);
}

QString RestoreSpaces(QStringView field)
{
    QString text;
    RestoreSpaces(field, text);
    return text;
}

void RestoreSpaces(QStringView field, QString& text)
{
    // A field holds no blank, but a NUL byte or another character a cell cannot hold may be there
    // (a damaged or foreign file): it enters the table as a space, as typed text would.
    text.resize(field.size());
    QChar* out = text.data();
    for (const QChar c : field)
        *out++ = c == StoredSpace || breaksCell(c.unicode()) ? QChar(u' ') : c;
}

bool DecodeRowField(QByteArrayView field, bool utf8, QString& text)
{
    // Most fields are ASCII with "§" for their spaces, so those are decoded here directly, into the
    // room `text` already has; any other character sends the field through the full decoder.
    text.resize(field.size());
    QChar* out = text.data();
    const qsizetype n = field.size();
    for (qsizetype i = 0; i < n; ++i) {
        const auto byte = static_cast<unsigned char>(field[i]);
        if (byte < 0x80) {
            *out++ = breaksCell(byte) ? QChar(u' ') : QLatin1Char(char(byte));
        } else if (utf8 && byte == 0xC2 && i + 1 < n && static_cast<unsigned char>(field[i + 1]) == 0xA7) {
            *out++ = u' ';
            ++i;
        } else if (!utf8) {
            text = RestoreSpaces(DecodeWindows1252(field));
            return true;
        } else {
            QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
            const QString decoded = decoder(field);
            if (decoder.hasError())
                return false;
            text = RestoreSpaces(decoded);
            return true;
        }
    }
    text.truncate(out - text.constData());
    return true;
}

void ForEachRowLine(QByteArrayView bytes, const std::function<void(QByteArrayView)>& line)
{
    // A big table's lines are found with memchr: LF ends most of them, and a CR within what comes
    // before it ends a line as well.
    const char* data = bytes.data();
    const char* const end = data + bytes.size();
    while (data < end) {
        const auto* lf = static_cast<const char*>(std::memchr(data, '\n', size_t(end - data)));
        const char* stop = lf ? lf : end;
        while (data < stop) {
            const auto* cr = static_cast<const char*>(std::memchr(data, '\r', size_t(stop - data)));
            const char* lineEnd = cr ? cr : stop;
            if (lineEnd > data)
                line(QByteArrayView(data, lineEnd - data));
            data = lineEnd + 1;
        }
        data = stop + 1;
    }
}

void ForEachRowLine(QStringView text, const std::function<void(QStringView)>& line)
{
    const char16_t* data = text.utf16();
    const char16_t* const end = data + text.size();
    while (data < end) {
        const char16_t* stop = data;
        while (stop < end && *stop != u'\n' && *stop != u'\r')
            ++stop;
        if (stop > data)
            line(QStringView(data, stop - data));
        data = stop + 1;
    }
}

bool ForEachRowLine(QIODevice& file, const std::function<void(QByteArrayView)>& line)
{
    constexpr qsizetype ChunkSize = 4 << 20;
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    qsizetype kept = 0; // bytes of an unfinished line at the start of `chunk`
    for (;;) {
        if (kept == chunk.size())
            chunk.resize(chunk.size() * 2); // a line longer than a chunk
        const qint64 read = file.read(chunk.data() + kept, chunk.size() - kept);
        if (read < 0)
            return false;
        if (read == 0) {
            ForEachRowLine(QByteArrayView(chunk.constData(), kept), line);
            return true;
        }
        const qsizetype filled = kept + qsizetype(read);
        qsizetype complete = filled;
        while (complete > 0 && chunk[complete - 1] != '\n' && chunk[complete - 1] != '\r')
            --complete;
        ForEachRowLine(QByteArrayView(chunk.constData(), complete), line);
        kept = filled - complete;
        std::memmove(chunk.data(), chunk.constData() + complete, size_t(kept));
    }
}

QString CleanCellText(QString text)
{
    const qsizetype first =
        std::find_if(text.cbegin(), text.cend(), [](QChar c) { return breaksCell(c.unicode()); }) -
        text.cbegin();
    // Most texts have nothing to change and are returned without a copy.
    for (qsizetype i = first; i < text.size(); ++i) {
        if (breaksCell(text[i].unicode()))
            text[i] = u' ';
    }
    return text;
}

QString ReadRowFile(const QString& path, const std::function<void(QByteArrayView)>& line)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly) || !ForEachRowLine(file, line))
        return file.errorString();
    return {};
}

QString WriteRowFile(const QString& path, const CellRows& rows)
{
    AtomicTextFileWriter writer(path);
    for (qsizetype row = 0; row < rows.size(); ++row) {
        QString& text = writer.text();
        for (int cell = 0; cell < rows.cellCount(); ++cell)
            AppendRowLine(text, {rows.cell(row, cell)});
        text += QLatin1String("\r\n");
        writer.flushIfFull();
    }
    return writer.commit();
}
