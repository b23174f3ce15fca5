#include "util/TextCollation.h"

#include <unicode/ucol.h>
#include <unicode/uloc.h>

#include <limits>

namespace {

UCollator* openCollator(const QLocale& locale)
{
    if (locale.language() == QLocale::C)
        return nullptr;
    UErrorCode status = U_ZERO_ERROR;
    char id[ULOC_FULLNAME_CAPACITY] = {};
    uloc_forLanguageTag(locale.bcp47Name().toLatin1().constData(), id, sizeof id - 1, nullptr, &status);
    if (U_FAILURE(status))
        id[0] = '\0'; // the root collation
    status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(id, &status);
    if (U_FAILURE(status))
        return nullptr;
    ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    ucol_setStrength(collator, UCOL_SECONDARY); // letter case is a tertiary difference
    return collator;
}

int32_t icuLength(QStringView text)
{
    return int32_t(std::min<qsizetype>(text.size(), std::numeric_limits<int32_t>::max()));
}

} // namespace

TextCollation::TextCollation(const QLocale& locale)
    : m_collator(openCollator(locale))
{
}

TextCollation::~TextCollation()
{
    if (m_collator)
        ucol_close(m_collator);
}

int TextCollation::compare(QStringView a, QStringView b) const
{
    if (!m_collator)
        return a.compare(b, Qt::CaseInsensitive);
    return ucol_strcoll(m_collator, reinterpret_cast<const UChar*>(a.utf16()), icuLength(a),
                        reinterpret_cast<const UChar*>(b.utf16()), icuLength(b));
}

void TextCollation::sortKey(QStringView text, QByteArray& key) const
{
    if (!m_collator) {
        // UTF-8 keeps the order of the code points.
        key = text.toString().toCaseFolded().toUtf8();
        return;
    }
    const auto* chars = reinterpret_cast<const UChar*>(text.utf16());
    if (key.size() < 64)
        key.resize(64);
    int32_t length = ucol_getSortKey(m_collator, chars, icuLength(text),
                                     reinterpret_cast<uint8_t*>(key.data()), int32_t(key.size()));
    if (length > key.size()) {
        key.resize(length);
        length = ucol_getSortKey(m_collator, chars, icuLength(text), reinterpret_cast<uint8_t*>(key.data()),
                                 int32_t(key.size()));
    }
    key.resize(std::min<qsizetype>(length, key.size()));
}
