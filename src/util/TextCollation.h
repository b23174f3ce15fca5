#pragma once

#include <QByteArray>
#include <QLocale>
#include <QStringView>

struct UCollator;

// Case-insensitive collation of a locale's texts: ICU's collator for the locale at secondary
// strength, the collation Qt's QCollator uses. The C locale compares case-folded code points.
// Sort keys let a sort collate every text once instead of at every comparison; ICU is used directly
// because QCollatorSortKey hides its bytes, and comparing a million keys through it costs more than
// computing them.
class TextCollation {
public:
    explicit TextCollation(const QLocale& locale = QLocale());
    ~TextCollation();
    TextCollation(const TextCollation&) = delete;
    TextCollation& operator=(const TextCollation&) = delete;

    // Negative, 0 or positive as `a` sorts before, with or after `b`.
    int compare(QStringView a, QStringView b) const;
    // The sort key of `text` into `key`: two keys compare bytewise (as unsigned bytes, a key that is
    // a prefix of the other first) as their texts compare.
    void sortKey(QStringView text, QByteArray& key) const;

private:
    UCollator* m_collator = nullptr; // none for the C locale
};
