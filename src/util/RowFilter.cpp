#include "util/RowFilter.h"

#include <QtConcurrentMap>

#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

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

// Writes the folded form of `text` at `to` (room for two characters for each of `text`'s) and
// returns where it ends. Four ASCII characters are folded at a time, in one 64-bit word: a capital
// is the one whose lane reaches 0x80 when 0x3F is added ('A' and up) but not when 0x25 is added
// ('Z' and below); its small letter is 0x20 on.
char16_t* foldTo(QStringView text, char16_t* to)
{
    constexpr quint64 NonAscii = 0xFF80FF80FF80FF80ull;
    constexpr quint64 LaneTops = 0x0080008000800080ull;
    const auto& table = foldTable();
    const char16_t* from = text.utf16();
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        quint64 four = 0;
        if (i + 4 <= size && (std::memcpy(&four, from + i, sizeof four), (four & NonAscii) == 0)) {
            const quint64 capitals =
                (four + 0x003F003F003F003Full) & ~(four + 0x0025002500250025ull) & LaneTops;
            four |= capitals >> 2;
            std::memcpy(to, &four, sizeof four);
            to += 4;
            i += 4;
            continue;
        }
        const char16_t c = from[i++];
        const quint32 entry = table[c];
        if (entry == Unfolded) {
            *to++ = c;
        } else if (entry != 0) {
            *to++ = char16_t(entry);
            if (entry >> 16)
                *to++ = char16_t(entry >> 16);
        }
    }
    return to;
}

// The folded form of `text` into `out` (its room reused).
QStringView foldInto(QStringView text, std::u16string& out)
{
    if (out.size() < size_t(text.size()) * 2)
        out.resize(size_t(text.size()) * 2);
    return QStringView(out.data(), foldTo(text, out.data()) - out.data());
}

// Whether folded `text` contains folded `needle` (not empty). For texts as short as cells, a scan
// for the needle's first character (Qt's, several characters at a time) beats a search that first
// studies the needle.
bool containsFolded(QStringView text, QStringView needle)
{
    const QChar first = needle.front();
    const QStringView rest = needle.mid(1);
    const qsizetype last = text.size() - needle.size();
    for (qsizetype at = text.indexOf(first); at >= 0 && at <= last; at = text.indexOf(first, at + 1)) {
        if (text.mid(at + 1, rest.size()) == rest)
            return true;
    }
    return false;
}

// Whether a cell of `row` contains the folded `needle`: the row's cells are folded one after the
// other, a non-character between two, and searched once.
bool rowContains(const CellRows& rows, qsizetype row, QStringView needle, QStringView* cells,
                 std::u16string& room)
{
    rows.cellsOf(row, cells);
    qsizetype length = 0;
    for (int cell = 0; cell < rows.cellCount(); ++cell)
        length += cells[cell].size() * 2 + 1;
    if (room.size() < size_t(length))
        room.resize(size_t(length));
    char16_t* to = room.data();
    for (int cell = 0; cell < rows.cellCount(); ++cell) {
        if (cell > 0)
            *to++ = u'\uFFFF';
        to = foldTo(cells[cell], to);
    }
    return containsFolded(QStringView(room.data(), to - room.data()), needle);
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
    return containsFolded(foldInto(cell, room), foldedNeedle);
}

QList<qsizetype> MatchingRows(const CellRows& rows, const QString& needle, std::stop_token stop,
                              const QList<qsizetype>* among)
{
    // The rows looked at: row `at(i)` for i from 0 to count - 1.
    const qsizetype count = among ? among->size() : rows.size();
    const auto at = [among](qsizetype i) { return among ? among->at(i) : i; };
    if (needle.isEmpty()) {
        QList<qsizetype> all(count);
        for (qsizetype i = 0; i < count; ++i)
            all[i] = at(i);
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
        std::vector<QStringView> cells(size_t(rows.cellCount()));
        std::u16string room;
        const qsizetype end = std::min(first + RowsPerPart, count);
        for (qsizetype i = first; i < end; ++i) {
            if (rowContains(rows, at(i), folded, cells.data(), room))
                matching << at(i);
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
