#include "branding/BrandingText.h"

#include "util/TaggedValue.h"
#include "util/TextFile.h"
#include "util/UUtils.h"

namespace {

// The single-valued tags in the order they are read; the make-money caption has no settings field.
struct ValueTag {
    const char* name;
    QString BrandingSettings::*field;
};

constexpr ValueTag valueTags[] = {
    {"ApplicationName", &BrandingSettings::ApplicationName},
    {"BranderCode", &BrandingSettings::BranderCode},
    {"BranderType", &BrandingSettings::BranderType},
    {"AffiliateURL", &BrandingSettings::AffiliateURL},
    {"AffiliateTYPE", &BrandingSettings::AffiliateTYPE},
    {"AffiliateID", &BrandingSettings::AffiliateID},
    {"MasterNewsBaseURL", &BrandingSettings::MasterNewsBaseURL},
    {"PlatinumNewsBaseURL", &BrandingSettings::PlatinumNewsBaseURL},
    {"GoldNewsBaseURL", &BrandingSettings::GoldNewsBaseURL},
    {"MasterPublID", &BrandingSettings::MasterPublID},
    {"PlatinumPublID", &BrandingSettings::PlatinumPublID},
    {"GoldPublID", &BrandingSettings::GoldPublID},
    {"MakeMoneyButton", nullptr},
    {"AppHelpURL", &BrandingSettings::AppHelpURL},
    {"CopyrightYears", &BrandingSettings::CopyrightYears},
    {"CopyrightCompany", &BrandingSettings::CopyrightCompany},
    {"AboutText", &BrandingSettings::AboutText},
};

QString& valueOf(BrandingText& branding, const ValueTag& tag)
{
    return tag.field ? branding.Settings.*tag.field : branding.MakeMoneyButton;
}

const QString& valueOf(const BrandingText& branding, const ValueTag& tag)
{
    return tag.field ? branding.Settings.*tag.field : branding.MakeMoneyButton;
}

QStringList readEntries(const QString& prefix, QString& workingText)
{
    QStringList entries;
    for (int n = 1; n <= MaxBrandingEntries; ++n) {
        const QString entry = ReadTaggedValue(prefix + QString::number(n), workingText);
        if (entry.isEmpty())
            break;
        entries.append(entry);
    }
    return entries;
}

} // namespace

BrandingText ParseBrandingText(QString text)
{
    BrandingText branding;
    for (const ValueTag& tag : valueTags)
        valueOf(branding, tag) = ReadTaggedValue(QString::fromLatin1(tag.name), text);
    BrandingSettings& settings = branding.Settings;
    settings.AffiliateURL.replace(QLatin1String("%%AFFILIATEID%%"), settings.AffiliateID, Qt::CaseSensitive);

    branding.WelcomeEntries = readEntries(QStringLiteral("Welcome"), text);
    branding.BannerEntries = readEntries(QStringLiteral("Banner"), text);
    branding.LinkEntries = readEntries(QStringLiteral("Link"), text);
    return branding;
}

BrandingText ParseBrandingBytes(QByteArrayView plain)
{
    return ParseBrandingText(JoinLinesCrLf(SplitLines(DecodeText(plain))));
}

std::optional<BrandingText> ReadBrandingFile(const QString& path, const QString& password)
{
    const std::optional<QByteArray> plain = DecryptFileToMemory(path, password);
    if (!plain)
        return std::nullopt;
    return ParseBrandingBytes(*plain);
}

QList<std::pair<QString, QString>> BrandingTagValues(const BrandingText& branding)
{
    QList<std::pair<QString, QString>> values;
    for (const ValueTag& tag : valueTags)
        values.append({QString::fromLatin1(tag.name), valueOf(branding, tag)});
    return values;
}

BrandingEntry SplitBrandingEntry(const QString& entry)
{
    QStringList fields;
    SplitByChar(u'^', entry, fields);
    return {fields.value(0), fields.value(1)};
}
