#include "util/IniLines.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Where the comment of a value that begins at `from` starts: the first ";" outside double quotes,
// or the end of the line.
qsizetype commentStart(const QByteArray& text, qsizetype from)
{
    bool quoted = false;
    for (qsizetype i = from; i < text.size(); ++i) {
        if (quoted && text[i] == '\\') {
            ++i;
        } else if (text[i] == '"') {
            quoted = !quoted;
        } else if (!quoted && text[i] == ';') {
            return i;
        }
    }
    return text.size();
}

// The value of a line from `from` to its comment: quoted parts as they stand (their escapes
// undone), unquoted ones trimmed, the parts of a list joined by ",".
QString readValue(const QByteArray& text, qsizetype from)
{
    const qsizetype end = commentStart(text, from);
    QByteArray all;
    QByteArray part;
    qsizetype significant = 0; // the length of `part` up to its last character that is no blank
    bool quoted = false;
    bool anyQuoted = false;
    bool first = true;
    const auto endPart = [&] {
        part.truncate(significant);
        if (!first)
            all += ',';
        all += part;
        first = false;
        part.clear();
        significant = 0;
    };
    for (qsizetype i = from; i < end; ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\' && i + 1 < end) {
                const char next = text[++i];
                part += next == 'n' ? '\n' : next == 't' ? '\t' : next == 'r' ? '\r' : next;
            } else {
                part += c;
            }
            significant = part.size();
        } else if (c == '"') {
            quoted = anyQuoted = true;
        } else if (c == ',') {
            endPart();
        } else if (!(isBlank(c) && part.isEmpty())) {
            part += c;
            if (!isBlank(c))
                significant = part.size();
        }
    }
    endPart();
    // QSettings' word for an empty list.
    if (!anyQuoted && all == "@Invalid()")
        return {};
    // A value may begin with U+FEFF: it is kept, not taken for a byte-order mark.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return utf8.decode(all);
}

} // namespace

IniLines::IniLines(const QByteArray& bytes)
{
    QByteArray text = bytes;
    if (text.startsWith("\xEF\xBB\xBF")) {
        m_bom = text.left(3);
        text.remove(0, 3);
    }
    bool endingSeen = false;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        Line line{text.mid(start, end - start), {}};
        if (end < text.size()) {
            const qsizetype length =
                text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1;
            line.ending = text.mid(end, length);
            end += length;
            if (!endingSeen) {
                m_ending = line.ending;
                endingSeen = true;
            }
        }
        m_lines.append(line);
        start = end;
    }
}

std::optional<QString> IniLines::sectionOf(const QByteArray& text)
{
    const QByteArray trimmed = text.trimmed();
    if (!trimmed.startsWith('['))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(']');
    if (close < 0)
        return std::nullopt;
    return QString::fromUtf8(trimmed.mid(1, close - 1).trimmed());
}

std::optional<QString> IniLines::keyOf(const QByteArray& text)
{
    const QByteArray trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(';') || trimmed.startsWith('#') || trimmed.startsWith('['))
        return std::nullopt;
    const qsizetype equals = text.indexOf('=');
    if (equals < 0)
        return std::nullopt;
    return QString::fromUtf8(text.left(equals).trimmed());
}

std::optional<QString> IniLines::value(const QString& group, const QString& key) const
{
    std::optional<QString> found;
    QString section;
    for (const Line& line : m_lines) {
        if (const auto opened = sectionOf(line.text)) {
            section = *opened;
        } else if (section == group && keyOf(line.text) == key) {
            found = readValue(line.text, line.text.indexOf('=') + 1);
        }
    }
    return found;
}

void IniLines::setValue(const QString& group, const QString& key, const QByteArray& valueText)
{
    QString section;
    qsizetype insertAt = -1; // after the last key line, or the header, of the key's section
    bool changed = false;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        QByteArray& text = m_lines[i].text;
        if (const auto opened = sectionOf(text)) {
            section = *opened;
            if (section == group)
                insertAt = i + 1;
            continue;
        }
        if (section != group || !keyOf(text))
            continue;
        insertAt = i + 1;
        if (keyOf(text) != key)
            continue;
        // The value is replaced where it stands; a comment after it keeps its column when it can.
        qsizetype start = text.indexOf('=') + 1;
        while (start < text.size() && isBlank(text[start]))
            ++start;
        const qsizetype comment = commentStart(text, start);
        QByteArray line = text.left(start) + valueText;
        if (comment < text.size())
            line += QByteArray(std::max<qsizetype>(1, comment - start - valueText.size()), ' ') +
                    text.mid(comment);
        text = line;
        changed = true;
    }
    if (changed)
        return;
    const QByteArray keyLine = key.toUtf8() + '=' + valueText;
    if (insertAt < 0) {
        if (!m_lines.isEmpty()) {
            if (m_lines.last().ending.isEmpty())
                m_lines.last().ending = m_ending;
            if (!m_lines.last().text.trimmed().isEmpty())
                m_lines.append({QByteArray(), m_ending});
        }
        m_lines.append({'[' + group.toUtf8() + ']', m_ending});
        m_lines.append({keyLine, m_ending});
        return;
    }
    if (m_lines[insertAt - 1].ending.isEmpty())
        m_lines[insertAt - 1].ending = m_ending;
    m_lines.insert(insertAt, {keyLine, m_ending});
}

QByteArray IniLines::bytes() const
{
    QByteArray bytes = m_bom;
    for (const Line& line : m_lines)
        bytes += line.text + line.ending;
    return bytes;
}

QByteArray IniValueText(const QString& value)
{
    const QByteArray bytes = value.toUtf8();
    const bool plain = !bytes.isEmpty() && !isBlank(bytes.front()) && !isBlank(bytes.back()) &&
                       !bytes.startsWith('@') && std::none_of(bytes.cbegin(), bytes.cend(), [](char c) {
                           return c == ';' || c == ',' || c == '"' || c == '\\' || c == '#' ||
                                  static_cast<unsigned char>(c) < 0x20;
                       });
    if (plain || bytes.isEmpty())
        return bytes;
    QByteArray quoted = "\"";
    for (const char c : bytes) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c == '\n'   ? QByteArray("\\n")
                  : c == '\r' ? QByteArray("\\r")
                  : c == '\t' ? QByteArray("\\t")
                              : QByteArray(1, c);
    }
    return quoted + '"';
}

QByteArray IniListText(const QStringList& values)
{
    if (values.isEmpty())
        return "@Invalid()";
    QList<QByteArray> parts;
    for (const QString& value : values)
        parts << IniValueText(value);
    return parts.join(", ");
}
