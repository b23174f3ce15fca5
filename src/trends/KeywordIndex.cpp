#include "trends/KeywordIndex.h"


namespace {

constexpr std::int32_t EmptySlot = -1;

} // namespace

KeywordIndex::KeywordIndex(KeywordAt keywordAt)
    : m_keywordAt(std::move(keywordAt))
{
}

size_t KeywordIndex::caseFoldedHash(QStringView text)
{
    // FNV-1a over the case-folded code points: texts that compare equal without regard to case
    // (QString's comparison folds each code point the same way) hash alike.
    size_t hash = 14695981039346656037ull;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t codePoint = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        hash ^= QChar::toCaseFolded(codePoint);
        hash *= 1099511628211ull;
    }
    return hash ^ (hash >> 29);
}

qsizetype KeywordIndex::slotOf(QStringView keyword, size_t hash) const
{
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const std::int32_t row = m_slots[slot];
        if (row == EmptySlot || m_keywordAt(row).compare(keyword, Qt::CaseInsensitive) == 0)
            return qsizetype(slot);
    }
}

qsizetype KeywordIndex::find(QStringView keyword) const
{
    if (m_slots.empty())
        return -1;
    return m_slots[slotOf(keyword, caseFoldedHash(keyword))];
}

void KeywordIndex::add(qsizetype row)
{
    if ((m_size + 1) * 2 > qsizetype(m_slots.size()))
        grow();
    const QStringView keyword = m_keywordAt(row);
    const qsizetype slot = slotOf(keyword, caseFoldedHash(keyword));
    if (m_slots[slot] == EmptySlot) {
        m_slots[slot] = std::int32_t(row);
        ++m_size;
    }
}

void KeywordIndex::grow()
{
    std::vector<std::int32_t> old = std::move(m_slots);
    m_slots.assign(std::max<size_t>(16, old.size() * 2), EmptySlot);
    const size_t mask = m_slots.size() - 1;
    for (const std::int32_t row : old) {
        if (row == EmptySlot)
            continue;
        size_t slot = caseFoldedHash(m_keywordAt(row)) & mask;
        while (m_slots[slot] != EmptySlot)
            slot = (slot + 1) & mask;
        m_slots[slot] = row;
    }
}

void KeywordIndex::rebuild(qsizetype rowCount)
{
    clear();
    size_t capacity = 16;
    while (capacity < size_t(rowCount) * 2)
        capacity *= 2;
    m_slots.assign(capacity, EmptySlot);
    for (qsizetype row = 0; row < rowCount; ++row)
        add(row);
}

void KeywordIndex::clear()
{
    m_slots.clear();
    m_size = 0;
}
