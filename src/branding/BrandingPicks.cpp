#include "branding/BrandingPicks.h"

#include <algorithm>

BrandingSettings PickBranding(const BrandingText& branding, const DrawIndex& draw, int& bannerNumber)
{
    BrandingSettings settings = branding.Settings;
    bannerNumber = 0;

    if (!branding.WelcomeEntries.isEmpty())
        settings.WelcomePage = branding.WelcomeEntries.at(draw(int(branding.WelcomeEntries.size())));

    if (!branding.BannerEntries.isEmpty()) {
        const int index = draw(int(branding.BannerEntries.size()));
        const BrandingEntry banner = SplitBrandingEntry(branding.BannerEntries.at(index));
        settings.BannerImage = banner.Name;
        settings.BannerURL = banner.Address;
        bannerNumber = index + 1;
    }

    // The second link is drawn from the entries left, so the two are never the same entry.
    QStringList links = branding.LinkEntries;
    if (!links.isEmpty()) {
        const BrandingEntry first = SplitBrandingEntry(links.takeAt(draw(int(links.size()))));
        settings.Link1Text = first.Name;
        settings.Link1URL = first.Address;
    }
    if (!links.isEmpty()) {
        const BrandingEntry second = SplitBrandingEntry(links.at(draw(int(links.size()))));
        settings.Link2Text = second.Name;
        settings.Link2URL = second.Address;
    }
    return settings;
}

bool NewsButtonVisible(const BrandingSettings& settings)
{
    const auto account = [](const QString& publisherId, const QString& newsServer) {
        return !publisherId.isEmpty() && !newsServer.isEmpty();
    };
    const QString& tier = settings.BranderType;
    if (tier == QLatin1String("Master") || tier == QLatin1String("Free"))
        return account(settings.MasterPublID, settings.MasterNewsBaseURL);
    if (tier == QLatin1String("Platinum"))
        return account(settings.PlatinumPublID, settings.PlatinumNewsBaseURL);
    if (tier == QLatin1String("Gold"))
        return account(settings.GoldPublID, settings.GoldNewsBaseURL);
    return false;
}

QString BannerPictureName(const QString& bannerImage)
{
    const qsizetype cut = std::max(
        {bannerImage.lastIndexOf(u'\\'), bannerImage.lastIndexOf(u'/'), bannerImage.lastIndexOf(u':')});
    return bannerImage.mid(cut + 1).toLower();
}
