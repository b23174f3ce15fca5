#include "publisher/ui/PublisherServices.h"

#include "branding/BrandingText.h"
#include "net/HttpClient.h"
#include "publisher/DocumentLinks.h"
#include "publisher/LastNewsId.h"
#include "publisher/LiveUpdate.h"
#include "publisher/NewsProtocol.h"
#include "publisher/ui/FAbout.h"
#include "publisher/ui/FNews.h"
#include "publisher/ui/NewsBalloon.h"
#include "publisher/ui/OfflineHtmlView.h"
#include "util/Clock.h"
#include "util/DefaultBrowser.h"
#include "util/Launcher.h"
#include "util/MessageBoxes.h"
#include "util/ProgramFolder.h"
#include "util/TextFile.h"
#include "util/UUtils.h"
#include "util/ui/DialogSeams.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTextBrowser>

namespace {

// The id of the last news item read is kept in the branding file of the program folder. When the
// branding comes from beside a read-only executable, that file cannot be rewritten where it is: the
// program folder then gets a copy of it at the first write, and the copy is read from then on. The
// branding itself is still read from beside the executable first, so a reseller's new branding file
// is never hidden by the copy.
QString newsIdFile()
{
    return ProgramFile(BrandingFileName);
}

// Where the stored id is read from: the program folder's branding file, or the installation's while
// no copy has been written.
QString newsIdSource()
{
    const QString own = newsIdFile();
    return QFileInfo::exists(own) ? own : FindInstallFile(BrandingFileName);
}

QString readLastNewsId()
{
    return ReadLastNewsId(newsIdSource());
}

void writeLastNewsId(const QString& id)
{
    if (const QString source = newsIdSource(); !source.isEmpty())
        WriteLastNewsId(source, newsIdFile(), id);
}

} // namespace

PublisherServices::PublisherServices(const BrandingSettings& branding, HttpClient& client, Seams seams,
                                     QWidget* window, QWidget* newsButton)
    : QObject(window)
    , m_branding(branding)
    , IdHTTP1(client)
    , m_seams(seams)
    , m_window(window)
    , m_newsButton(newsButton)
{
}

QCoro::Task<QByteArray> PublisherServices::PostNews(NewsRequest request)
{
    const MultipartForm form = EncodeMultipartForm(request.Fields, m_seams.clock.now());
    const HttpResult result =
        co_await IdHTTP1.post(HttpUrlFromText(request.Url), form.Body, form.ContentType);
    // Any failure of the exchange reads as an empty answer.
    co_return result.ok ? result.body : QByteArray();
}

void PublisherServices::showNewsWarning(const QString& warning, bool quiet)
{
    if (!warning.isEmpty() && !quiet)
        m_seams.messages.show(warning, MsgKind::Warning, MsgButtons::Ok);
}

QCoro::Task<bool> PublisherServices::RequestNewsList(NewsTier tier, QStringList& records)
{
    QPointer<PublisherServices> self(this);
    const QByteArray body = co_await PostNews(NewsListRequest(tier, m_branding.BranderCode));
    if (!self)
        co_return false;
    const NewsListAnswer answer = ReadNewsListAnswer(body);
    showNewsWarning(answer.Warning, false);
    records << answer.Records;
    co_return answer.Success;
}

QCoro::Task<std::optional<LatestNewsAnswer>> PublisherServices::RequestLatestNews(NewsTier tier, bool quiet)
{
    QPointer<PublisherServices> self(this);
    const QByteArray body = co_await PostNews(LatestNewsRequest(tier, m_branding.BranderCode));
    if (!self)
        co_return std::nullopt;
    LatestNewsAnswer answer = ReadLatestNewsAnswer(body);
    showNewsWarning(answer.Warning, quiet);
    if (!answer.Success)
        co_return std::nullopt;
    co_return answer;
}

QCoro::Task<std::optional<QString>> PublisherServices::RequestNewsBody(QString newsId)
{
    const std::optional<NewsTier> tier = LookUpNewsTier(m_branding);
    if (!tier)
        co_return std::nullopt;
    QPointer<PublisherServices> self(this);
    const QByteArray body = co_await PostNews(NewsBodyRequest(*tier, m_branding.BranderCode, newsId));
    if (!self)
        co_return std::nullopt;
    const NewsBodyAnswer answer = ReadNewsBodyAnswer(body);
    showNewsWarning(answer.Warning, false);
    if (!answer.Success)
        co_return std::nullopt;
    co_return answer.Html;
}

QCoro::Task<> PublisherServices::checkAtStartUp()
{
    QPointer<PublisherServices> self(this);
    if (const std::optional<NewsTier> tier = LookUpNewsTier(m_branding)) {
        const std::optional<LatestNewsAnswer> latest = co_await RequestLatestNews(*tier, true);
        if (!self)
            co_return;
        if (latest && ShouldAnnounceNews(latest->Id, readLastNewsId()))
            ShowNewsAnnouncement(NewsAnnouncementText(latest->Title));
    }
    co_await CheckForUpdate(true);
}

void PublisherServices::ShowNewsAnnouncement(const QString& text)
{
    NewsBalloon::showAt(m_newsButton->mapToGlobal(m_newsButton->rect().center()), text, m_window);
}

QCoro::Task<> PublisherServices::btnNewsClick()
{
    NewsRecords.clear();
    bool received = false;
    QPointer<PublisherServices> self(this);
    if (const std::optional<NewsTier> tier = LookUpNewsTier(m_branding)) {
        QStringList records;
        received = co_await RequestNewsList(*tier, records);
        if (!self)
            co_return;
        NewsRecords = records;
    }
    if (!received || NewsRecords.isEmpty()) {
        m_seams.messages.show(QStringLiteral("There's no news for this application!"), MsgKind::Information,
                              MsgButtons::Ok);
        co_return;
    }
    TfrmNews news(
        NewsRecords, [this](const QString& newsId) { return RequestNewsBody(newsId); }, m_window);
    connect(&news, &TfrmNews::newsShown, this, [](const QString& newsId) { writeLastNewsId(newsId); });
    connect(news.prfEditorNews, &QTextBrowser::anchorClicked, this, &PublisherServices::openDocumentLink);
    m_seams.dialogs.run(news);
}

QCoro::Task<QString> PublisherServices::DownloadToFile(QString url, QString path)
{
    // An old copy goes first, so that a failed download never leaves an old version to be read;
    // the new copy appears only once it is complete.
    QFile::remove(path);
    QPointer<PublisherServices> self(this);
    const HttpResult result = co_await IdHTTP1.get(HttpUrlFromText(url));
    if (!self)
        co_return QString();
    if (!result.ok)
        co_return result.error.isEmpty() ? tr("no answer from %1").arg(url) : result.error;
    co_return WriteFileAtomic(path, result.body);
}

QCoro::Task<> PublisherServices::CheckForUpdate(bool quiet)
{
    const QString path = ProgramFile(UpdateDescriptionFileName);
    QPointer<PublisherServices> self(this);
    const QString failure = co_await DownloadToFile(UpdateDescriptionUrl(), path);
    if (!self)
        co_return;
    // A server that could not be asked has not said that nothing is new.
    if (!failure.isEmpty()) {
        TellUpdateCheckFailed(failure, quiet, m_seams.messages);
        co_return;
    }
    const QString version = ReadUpdateVersion(path);
    // The user still confirms the close.
    if (AskToUpdate(version, quiet, m_seams.messages, m_seams.launcher))
        Q_EMIT closeRequested();
}

QCoro::Task<> PublisherServices::btnUpdateClick()
{
    co_await CheckForUpdate(false);
}

void PublisherServices::btnAboutClick()
{
    TfrmAbout about(m_branding, m_window);
    m_seams.dialogs.run(about);
}

void PublisherServices::openLink(const QString& url, bool registeredBrowser)
{
    const bool opened =
        registeredBrowser ? OpenInDefaultBrowser(url, m_seams.launcher) : m_seams.launcher.openUrl(QUrl(url));
    if (!opened)
        m_seams.messages.show(LinkNotOpenedText(url), MsgKind::Warning, MsgButtons::Ok);
}

void PublisherServices::btnHelpClick()
{
    openLink(m_branding.AppHelpURL, true);
}

void PublisherServices::btnMakeMoneyClick()
{
    openLink(m_branding.AffiliateURL, true);
}

void PublisherServices::imgBannerClick()
{
    if (!m_branding.BannerURL.isEmpty())
        openLink(m_branding.BannerURL, true);
}

void PublisherServices::gifBannerClick()
{
    imgBannerClick();
}

void PublisherServices::openDocumentLink(const QUrl& url)
{
    if (IsSafeDocumentLink(url))
        openLink(url.toString(), false);
}
