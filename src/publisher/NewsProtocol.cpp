#include "publisher/NewsProtocol.h"

#include "util/TextFile.h"
#include "util/TrimText.h"
#include "util/UUtils.h"

namespace {

// The server frames its payload with this character before the closing "OK".
constexpr QChar FrameMark = QChar(0x00AF);
const QString Ok = QStringLiteral("OK");

enum class RequestKind { List, LatestId, Body };

QString warningFor(const QString& answer, RequestKind kind)
{
    if (answer.isEmpty())
        return QStringLiteral("There is a trouble accessing the news site. Contact your provider.");
    if (answer == QLatin1String("CONNECTIONFAIL"))
        return QStringLiteral("There is a trouble in the settings file on the news site.");
    if (answer == QLatin1String("INVALIDUSER"))
        return QStringLiteral("There is a trouble with the Publisher Id. Contact your provider.");
    if (answer == QLatin1String("INVALIDPRODUCT"))
        return QStringLiteral("There is a trouble with the product validation. Contact your provider.");
    if (answer == QLatin1String("INVALIDNEWS") && kind == RequestKind::Body)
        return QStringLiteral("There is a trouble with this news. Contact your provider.");
    return {};
}

// The length of the UTF-8 sequence that starts at `at`, or 0 when none does.
qsizetype utf8SequenceAt(QByteArrayView bytes, qsizetype at)
{
    const auto lead = static_cast<unsigned char>(bytes[at]);
    const qsizetype length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || at + length > bytes.size())
        return 0;
    return IsValidUtf8(bytes.sliced(at, length)) ? length : 0;
}

// The answer as text. Its frame byte is sent raw by servers of either encoding: inside a UTF-8
// line it would make the whole line invalid UTF-8, and so Windows-1252. The pieces between the
// frames are decoded each on its own and the frames put back as the frame character. A 0xAF that
// continues a UTF-8 sequence ("ï" is C3 AF) is text, not a frame.
QString decodeAnswer(QByteArrayView body)
{
    QString text;
    qsizetype start = 0;
    qsizetype at = 0;
    while (at < body.size()) {
        if (const qsizetype sequence = utf8SequenceAt(body, at)) {
            at += sequence;
        } else if (static_cast<unsigned char>(body[at]) == FrameMark.unicode()) {
            text += DecodeText(body.sliced(start, at - start));
            text += FrameMark;
            start = ++at;
        } else {
            ++at;
        }
    }
    text += DecodeText(body.sliced(start));
    return text;
}

// The trimmed answer when it reports success; otherwise the warning is set and there is nothing.
template <typename Answer>
std::optional<QString> successfulAnswer(QByteArrayView body, RequestKind kind, Answer& result)
{
    const QString answer = TrimLowChars(decodeAnswer(body)).toString();
    result.Success = answer.contains(Ok);
    if (!result.Success) {
        result.Warning = warningFor(answer, kind);
        return std::nullopt;
    }
    return answer;
}

// What a successful answer carries besides its framing; "OK" alone carries nothing.
QString payloadOf(QString answer)
{
    answer.remove(QString(FrameMark) + Ok);
    return answer == Ok ? QString() : answer;
}

FormFields accountFields(const NewsTier& tier, const QString& branderCode)
{
    return {{QStringLiteral("memusername"), tier.PublisherId},
            {QStringLiteral("prodcode"), branderCode},
            {QStringLiteral("prodtype"), tier.ProductType}};
}

NewsRequest composeRequest(const NewsTier& tier, const QString& branderCode, const QString& script,
                           const FormField& subject)
{
    FormFields fields = accountFields(tier, branderCode);
    fields.append(subject);
    fields.append({QStringLiteral("newstarget"), QStringLiteral("UA")});
    fields.append({QStringLiteral("something"), QString()});
    return {NewsScriptUrl(tier.NewsBaseUrl, script), fields};
}

const QString ListScript = QStringLiteral("getlastnews.php");
const QString BodyScript = QStringLiteral("getnewsdetails.php");

} // namespace

std::optional<NewsTier> LookUpNewsTier(const BrandingSettings& settings)
{
    NewsTier tier;
    const QString& type = settings.BranderType;
    if (type == QLatin1String("Master"))
        tier = {QStringLiteral("BM"), settings.MasterPublID, settings.MasterNewsBaseURL};
    else if (type == QLatin1String("Platinum"))
        tier = {QStringLiteral("BP"), settings.PlatinumPublID, settings.PlatinumNewsBaseURL};
    else if (type == QLatin1String("Gold"))
        tier = {QStringLiteral("BG"), settings.GoldPublID, settings.GoldNewsBaseURL};
    else
        return std::nullopt;
    if (tier.PublisherId.isEmpty())
        return std::nullopt;
    return tier;
}

QString NewsScriptUrl(const QString& baseUrl, const QString& script)
{
    return baseUrl.endsWith(u'/') ? baseUrl + script : baseUrl + u'/' + script;
}

NewsRequest NewsListRequest(const NewsTier& tier, const QString& branderCode)
{
    return composeRequest(tier, branderCode, ListScript, {QStringLiteral("conttype"), QStringLiteral("all")});
}

NewsRequest LatestNewsRequest(const NewsTier& tier, const QString& branderCode)
{
    return composeRequest(tier, branderCode, ListScript,
                          {QStringLiteral("conttype"), QStringLiteral("lastcode")});
}

NewsRequest NewsBodyRequest(const NewsTier& tier, const QString& branderCode, const QString& newsId)
{
    return composeRequest(tier, branderCode, BodyScript, {QStringLiteral("newsid"), newsId});
}

QByteArray MultipartBoundary(const QDateTime& requestTime)
{
    const QDateTime local = requestTime.toLocalTime();
    const QDate date = local.date();
    const QTime time = local.time();
    return QByteArray("--------") + QString::asprintf("%02d%02d%02d%02d%02d%02d%03d", date.month(),
                                                      date.day(), date.year() % 100, time.hour(),
                                                      time.minute(), time.second(), time.msec())
                                        .toLatin1();
}

MultipartForm EncodeMultipartForm(const FormFields& fields, const QDateTime& requestTime)
{
    const QByteArray boundary = MultipartBoundary(requestTime);
    QByteArray body;
    for (const FormField& field : fields) {
        body += "--" + boundary + "\r\n";
        body += "Content-Disposition: form-data; name=\"" + field.Name.toUtf8() + "\"\r\n\r\n";
        body += field.Value.toUtf8() + "\r\n";
    }
    body += "\r\n--" + boundary + "--\r\n";
    return {"multipart/form-data; boundary=" + boundary, body};
}

NewsListAnswer ReadNewsListAnswer(QByteArrayView body)
{
    NewsListAnswer result;
    const std::optional<QString> answer = successfulAnswer(body, RequestKind::List, result);
    if (!answer)
        return result;
    QStringList pieces;
    SplitByChar(FrameMark, *answer, pieces);
    for (const QString& piece : std::as_const(pieces)) {
        if (!piece.isEmpty() && piece != Ok)
            result.Records.append(piece);
    }
    return result;
}

LatestNewsAnswer ReadLatestNewsAnswer(QByteArrayView body)
{
    LatestNewsAnswer result;
    const std::optional<QString> answer = successfulAnswer(body, RequestKind::LatestId, result);
    if (!answer)
        return result;
    QStringList pieces;
    SplitByChar(u'^', payloadOf(*answer), pieces);
    result.Id = pieces.value(0);
    result.Title = pieces.value(1);
    return result;
}

NewsBodyAnswer ReadNewsBodyAnswer(QByteArrayView body)
{
    NewsBodyAnswer result;
    if (const std::optional<QString> answer = successfulAnswer(body, RequestKind::Body, result))
        result.Html = DecodeDollarHex(payloadOf(*answer));
    return result;
}

NewsRecord SplitNewsRecord(const QString& record)
{
    QStringList fields;
    SplitByChar(u'^', record, fields);
    return {fields.value(0), fields.value(1), fields.value(2)};
}

qint32 NewsIdNumber(const QString& id)
{
    bool valid = false;
    const int number = id.toInt(&valid, 10);
    return valid ? number : 0;
}

bool ShouldAnnounceNews(const QString& latestId, const QString& lastOpenedId)
{
    return NewsIdNumber(latestId) > NewsIdNumber(lastOpenedId);
}

QString NewsAnnouncementText(const QString& title)
{
    return QStringLiteral("You've Got A Message!\r\n") + title;
}
