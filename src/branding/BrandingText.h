#pragma once

#include "branding/BrandingSettings.h"
#include "crypto/CipherFiles.h"

#include <QByteArrayView>
#include <QList>
#include <QStringList>

#include <optional>
#include <utility>

// The reseller's encrypted branding file, beside the executable or in the program folder.
inline const QString BrandingFileName = QStringLiteral("dbsettings.dat");

// What a branding file says, read the way the program reads it.
struct BrandingText {
    BrandingSettings Settings; // the tag values; the random picks stay empty
    QString MakeMoneyButton;   // caption of the make-money button; the settings do not keep it
    QStringList WelcomeEntries;
    QStringList BannerEntries;
    QStringList LinkEntries;
};

// Each entry list holds at most this many entries, numbered from 1.
inline constexpr int MaxBrandingEntries = 16;

// Reads the decrypted branding text (lines joined with CR LF). The tags are read one after the other
// in their fixed order, each read consuming the text up to its end tag, so a tag that stands before
// one already read comes back empty, and so does every tag skipped by one that stands too late.
// Tag names match whatever the case of their letters. Each entry list stops at its first empty entry.
// "%%AFFILIATEID%%" (in this case only) in AffiliateURL is replaced by AffiliateID.
BrandingText ParseBrandingText(QString text);

// The same from the decrypted bytes: read as text by the program's text rule, split into lines and
// joined again with CR LF.
BrandingText ParseBrandingBytes(QByteArrayView plain);

// Decrypts the branding file at `path` in memory and reads it; nothing when it is missing or cannot
// be decrypted and authenticated.
std::optional<BrandingText> ReadBrandingFile(const QString& path, const QString& password = BrandingPassword);

// The single-valued tags in reading order, each with its value as read (AffiliateURL with the id
// filled in).
QList<std::pair<QString, QString>> BrandingTagValues(const BrandingText& branding);

// A Banner entry is 'picture file name^click address', a Link entry 'label text^address'. A missing
// field is empty.
struct BrandingEntry {
    QString Name;
    QString Address;
};
BrandingEntry SplitBrandingEntry(const QString& entry);
