#pragma once

#include "branding/BrandingSettings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The conversation with the reseller's news server: which account to use, what to post and how to
// read the answers. Pure rules; the exchange itself belongs to the caller.

// The news account of the reseller's tier.
struct NewsTier {
    QString ProductType; // "BM", "BP" or "BG"
    QString PublisherId; // sent as the user name
    QString NewsBaseUrl;
};

// The account of BranderType "Master", "Platinum" or "Gold" (compared exactly), or nothing for any
// other tier and for a tier without a publisher id: then no news request is made at all.
std::optional<NewsTier> LookUpNewsTier(const BrandingSettings& settings);

struct FormField {
    QString Name;
    QString Value;
};
using FormFields = QList<FormField>;

// One post to the news server: its address and its form fields in the order they are sent.
struct NewsRequest {
    QString Url;
    FormFields Fields;
};

NewsRequest NewsListRequest(const NewsTier& tier, const QString& branderCode);
NewsRequest LatestNewsRequest(const NewsTier& tier, const QString& branderCode);
NewsRequest NewsBodyRequest(const NewsTier& tier, const QString& branderCode, const QString& newsId);

// The base URL followed by `script`, with exactly one "/" between them when the base lacks it.
QString NewsScriptUrl(const QString& baseUrl, const QString& script);

// A multipart/form-data body: one text part per field, values in UTF-8.
struct MultipartForm {
    QByteArray ContentType; // "multipart/form-data; boundary=" + the boundary
    QByteArray Body;
};

// Eight hyphens and the local time of `requestTime` as MMddyyHHmmss plus three-digit milliseconds.
QByteArray MultipartBoundary(const QDateTime& requestTime);
MultipartForm EncodeMultipartForm(const FormFields& fields, const QDateTime& requestTime);

// The answers. A failed exchange is read as an empty body. `Warning` is the text to show the user, or
// empty when the answer calls for none (success, or a failure word the request does not know).
struct NewsListAnswer {
    bool Success = false;
    QStringList Records; // raw records, "id^title^published"
    QString Warning;
};
struct LatestNewsAnswer {
    bool Success = false;
    QString Id; // both empty when the server has no item
    QString Title;
    QString Warning;
};
struct NewsBodyAnswer {
    bool Success = false;
    QString Html;
    QString Warning;
};

NewsListAnswer ReadNewsListAnswer(QByteArrayView body);
LatestNewsAnswer ReadLatestNewsAnswer(QByteArrayView body);
NewsBodyAnswer ReadNewsBodyAnswer(QByteArrayView body);

// One raw record split at "^"; fields the record lacks are empty, fields beyond the third ignored.
struct NewsRecord {
    QString Id;
    QString Title;
    QString Published;
};
NewsRecord SplitNewsRecord(const QString& record);

// A news id as the signed 32-bit number it stands for; 0 when it is not one.
qint32 NewsIdNumber(const QString& id);
// An item is announced when its id is greater than the id of the item last opened.
bool ShouldAnnounceNews(const QString& latestId, const QString& lastOpenedId);
QString NewsAnnouncementText(const QString& title);
