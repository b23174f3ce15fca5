#pragma once

#include <QList>
#include <QStringView>

#include <cstdint>
#include <functional>
#include <vector>

// The index of the keywords of a table: finds the first row whose keyword equals a text without
// regard to letter case, in constant time. It stores only row numbers (an open-addressing hash
// table), so a million keywords cost a few megabytes; the keywords are read from the table itself.
class KeywordIndex {
public:
    using KeywordAt = std::function<QStringView(qsizetype row)>;

    // Without `keywordAt`, an index that stays empty until it adopts one.
    explicit KeywordIndex(KeywordAt keywordAt = {});

    // Rebuilds the index for rows 0 to rowCount - 1.
    void rebuild(qsizetype rowCount);
    // Records row `row` (appended after every row already indexed) unless its keyword is known.
    void add(qsizetype row);
    void clear();
    // Takes the entries of `other`, an index of the same rows built through another accessor (on a
    // worker thread, over rows that this index's table then takes over); keeps its own accessor.
    void adopt(KeywordIndex&& other);
    // Follows a new order of the rows (row r moved to position newRowOf[r]) without reading a
    // keyword. Only for a table whose keywords are all distinct (size() equals the row count): with
    // repeated keywords the first of them may change, which needs rebuild().
    void renumber(const QList<qsizetype>& newRowOf);

    // The first row whose keyword matches, or -1.
    qsizetype find(QStringView keyword) const;
    bool contains(QStringView keyword) const { return find(keyword) >= 0; }
    // Number of distinct keywords.
    qsizetype size() const { return m_size; }

    static size_t caseFoldedHash(QStringView text);

private:
    size_t slotOf(QStringView keyword, size_t hash) const;
    void place(qsizetype row, size_t hash);
    void insert(std::int32_t row, size_t hash);
    void grow();

    struct Slot {
        std::int32_t row = -1;  // -1: empty
        std::uint32_t hash = 0; // low bits of the keyword's hash, to skip most full comparisons
    };

    KeywordAt m_keywordAt;
    std::vector<Slot> m_slots;
    qsizetype m_size = 0;
};
