#include "util/KeywordIndex.h"

#include <algorithm>

KeywordIndex::KeywordIndex(KeywordAt keywordAt)
    : m_keywordAt(std::move(keywordAt))
{
}

void KeywordIndex::adopt(KeywordIndex&& other)
{
    m_slots = std::move(other.m_slots);
    m_size = other.m_size;
    other.clear();
}

size_t KeywordIndex::caseFoldedHash(QStringView text)
{
    // FNV-1a over the case-folded code points: texts that compare equal without regard to case
    // (QString's comparison folds each code point the same way) hash alike.
    size_t hash = 14695981039346656037ull;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t codePoint = text[i].unicode();
        if (codePoint < 0x80) {
            // The common case, without a call into the Unicode tables.
            if (codePoint >= u'A' && codePoint <= u'Z')
                codePoint += u'a' - u'A';
            hash = (hash ^ codePoint) * 1099511628211ull;
            continue;
        }
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        hash ^= QChar::toCaseFolded(codePoint);
        hash *= 1099511628211ull;
    }
    return hash ^ (hash >> 29);
}

size_t KeywordIndex::slotOf(QStringView keyword, size_t hash) const
{
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const Slot& candidate = m_slots[slot];
        if (candidate.row < 0)
            return slot;
        if (candidate.hash == std::uint32_t(hash) &&
            m_keywordAt(candidate.row).compare(keyword, Qt::CaseInsensitive) == 0)
            return slot;
    }
}

qsizetype KeywordIndex::find(QStringView keyword) const
{
    if (m_slots.empty())
        return -1;
    return m_slots[slotOf(keyword, caseFoldedHash(keyword))].row;
}

void KeywordIndex::add(qsizetype row)
{
    if ((m_size + 1) * 2 > qsizetype(m_slots.size()))
        grow();
    place(row, caseFoldedHash(m_keywordAt(row)));
}

void KeywordIndex::place(qsizetype row, size_t hash)
{
    Slot& slot = m_slots[slotOf(m_keywordAt(row), hash)];
    if (slot.row < 0) {
        slot = {std::int32_t(row), std::uint32_t(hash)};
        ++m_size;
    }
}

void KeywordIndex::insert(std::int32_t row, size_t hash)
{
    const size_t mask = m_slots.size() - 1;
    size_t slot = hash & mask;
    while (m_slots[slot].row >= 0)
        slot = (slot + 1) & mask;
    m_slots[slot] = {row, std::uint32_t(hash)};
}

void KeywordIndex::grow()
{
    const std::vector<Slot> old = std::move(m_slots);
    m_slots.assign(std::max<size_t>(16, old.size() * 2), Slot());
    // The table never reaches 2^32 slots, so the stored low bits of the hash place a row as well.
    for (const Slot& slot : old) {
        if (slot.row >= 0)
            insert(slot.row, slot.hash);
    }
}

void KeywordIndex::rebuild(qsizetype rowCount)
{
    clear();
    size_t capacity = 16;
    while (capacity < size_t(rowCount) * 2)
        capacity *= 2;
    m_slots.assign(capacity, Slot());
    // The slots of a big table are far apart in memory: the hashes of a batch of rows are worked
    // out first and their slots fetched ahead, so that the waits for memory overlap.
    constexpr qsizetype Batch = 16;
    size_t hashes[Batch];
    for (qsizetype first = 0; first < rowCount; first += Batch) {
        const qsizetype count = std::min(Batch, rowCount - first);
        for (qsizetype i = 0; i < count; ++i) {
            hashes[i] = caseFoldedHash(m_keywordAt(first + i));
            __builtin_prefetch(&m_slots[hashes[i] & (capacity - 1)]);
        }
        for (qsizetype i = 0; i < count; ++i)
            place(first + i, hashes[i]);
    }
}

void KeywordIndex::renumber(const QList<qsizetype>& newRowOf)
{
    // The slots are walked in order, the rows they name are anywhere: fetched a few slots ahead.
    constexpr size_t Ahead = 16;
    for (size_t i = 0; i < m_slots.size(); ++i) {
        if (i + Ahead < m_slots.size() && m_slots[i + Ahead].row >= 0)
            __builtin_prefetch(&newRowOf[m_slots[i + Ahead].row]);
        Slot& slot = m_slots[i];
        if (slot.row >= 0)
            slot.row = std::int32_t(newRowOf[slot.row]);
    }
}

void KeywordIndex::clear()
{
    m_slots.clear();
    m_size = 0;
}
