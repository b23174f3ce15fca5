#pragma once

#include <QString>

// The reseller's branding values, filled once at start-up from the branding file and read-only
// afterwards. Every field is empty when there is no branding file.
struct BrandingSettings {
    QString ApplicationName;
    QString BranderCode;
    QString BranderType;
    QString AffiliateURL;
    QString AffiliateTYPE;
    QString AffiliateID;
    QString MasterNewsBaseURL;
    QString PlatinumNewsBaseURL;
    QString GoldNewsBaseURL;
    QString MasterPublID;
    QString PlatinumPublID;
    QString GoldPublID;
    QString AppHelpURL;
    QString CopyrightYears;
    QString CopyrightCompany;
    QString AboutText;

    // The random picks of this run.
    QString WelcomePage; // HTML source of the picked welcome page
    QString BannerImage;
    QString BannerURL;
    QString Link1Text;
    QString Link1URL;
    QString Link2Text;
    QString Link2URL;
};

inline const QString AppVersion = QStringLiteral(QUILLORY_VERSION_TEXT);
