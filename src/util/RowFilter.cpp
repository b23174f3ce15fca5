#include "util/RowFilter.h"

#include <QtConcurrentMap>

#include <array>
#include <memory>
#include <numeric>
#include <string>

namespace {

// What each character of the Basic Multilingual Plane becomes for the search, worked out once:
// case-folded, decomposed (compatibility forms too), its marks dropped; the sharp s becomes "ss".
// An entry holds up to two characters (the second in the high half; 0 for none), 0 for a
// character that vanishes (a mark), and Unfolded for one whose form is longer, which is searched
// as it is. Surrogates stay as they are.
constexpr quint32 Unfolded = 0xFFFFFFFF;

std::array<quint32, 0x10000> makeFoldTable()
{
    std::array<quint32, 0x10000> table{};
    for (quint32 code = 0; code < 0x10000; ++code) {
        const QChar c(char16_t(code), 0);
        if (c.isSurrogate() || code < 0x80) {
            table[code] = code >= u'A' && code <= u'Z' ? code + (u'a' - u'A') : code;
            continue;
        }
        const QString decomposed = QString(c).toCaseFolded().normalized(QString::NormalizationForm_KD);
        QString folded;
        for (const QChar part : decomposed) {
            const QChar::Category category = part.category();
            if (category != QChar::Mark_NonSpacing && category != QChar::Mark_SpacingCombining &&
                category != QChar::Mark_Enclosing)
                folded += part;
        }
        folded = folded.toCaseFolded().replace(QChar(0x00DF), QLatin1String("ss"));
        if (folded.size() > 2)
            table[code] = Unfolded;
        else if (folded.isEmpty())
            table[code] = 0;
        else
            table[code] = folded[0].unicode() | (folded.size() > 1 ? quint32(folded[1].unicode()) << 16 : 0);
    }
    return table;
}

const std::array<quint32, 0x10000>& foldTable()
{
    static const std::unique_ptr<const std::array<quint32, 0x10000>> table(
        new std::array<quint32, 0x10000>(makeFoldTable()));
    return *table;
}

// The folded form of `text` into `out` (its room reused; at most two characters for one).
QStringView foldInto(QStringView text, std::u16string& out)
{
    const auto& table = foldTable();
    if (out.size() < size_t(text.size()) * 2)
        out.resize(size_t(text.size()) * 2);
    char16_t* to = out.data();
    const char16_t* from = text.utf16();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = from[i];
        const quint32 entry = table[c];
        if (entry == Unfolded) {
            *to++ = c;
        } else if (entry != 0) {
            *to++ = char16_t(entry);
            if (entry >> 16)
                *to++ = char16_t(entry >> 16);
        }
    }
    return QStringView(out.data(), to - out.data());
}

// Rows searched by one thread at a time, and between two looks at `stop`.
constexpr qsizetype RowsPerPart = 1 << 15;

} // namespace

QString FoldForSearch(QStringView text)
{
    std::u16string room;
    return foldInto(text, room).toString();
}

bool CellMatches(QStringView cell, const QString& foldedNeedle)
{
    if (foldedNeedle.isEmpty())
        return true;
    thread_local std::u16string room;
    return foldInto(cell, room).contains(foldedNeedle);
}

QList<qsizetype> MatchingRows(const CellRows& rows, const QString& needle, std::stop_token stop)
{
    const qsizetype count = rows.size();
    if (needle.isEmpty()) {
        QList<qsizetype> all(count);
        std::iota(all.begin(), all.end(), qsizetype(0));
        return all;
    }
    const QString folded = FoldForSearch(needle);
    QList<qsizetype> parts;
    for (qsizetype first = 0; first < count; first += RowsPerPart)
        parts << first;
    // Each part gathers its matching rows in a list of its own; the lists are joined in order.
    const QList<QList<qsizetype>> found = QtConcurrent::blockingMapped(parts, [&](qsizetype first) {
        QList<qsizetype> matching;
        if (stop.stop_requested())
            return matching;
        const qsizetype end = std::min(first + RowsPerPart, count);
        for (qsizetype row = first; row < end; ++row) {
            for (int cell = 0; cell < rows.cellCount(); ++cell) {
                if (CellMatches(rows.cell(row, cell), folded)) {
                    matching << row;
                    break;
                }
            }
        }
        return matching;
    });
    if (stop.stop_requested())
        return {};
    QList<qsizetype> result;
    for (const QList<qsizetype>& part : found)
        result += part;
    return result;
}
