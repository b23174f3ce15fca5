// The publisher services of the main window: the reseller's news, the live update, the about box
// and the outbound links.
#include "app/FMain.h"
#include "branding/BrandingText.h"
#include "net/HttpClient.h"
#include "publisher/LastNewsId.h"
#include "publisher/LiveUpdate.h"
#include "publisher/NewsProtocol.h"
#include "publisher/ui/FAbout.h"
#include "publisher/ui/FNews.h"
#include "publisher/ui/NewsBalloon.h"
#include "publisher/ui/OfflineHtmlView.h"
#include "util/AsyncHandler.h"
#include "util/ProgramFolder.h"
#include "util/TextFile.h"
#include "util/UUtils.h"
#include "util/ui/ClickableLabel.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>
#include <QToolButton>

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

QCoro::Task<QByteArray> TfrmMain::PostNews(NewsRequest request)
{
    const MultipartForm form = EncodeMultipartForm(request.Fields, clock().now());
    const HttpResult result =
        co_await IdHTTP1->post(HttpUrlFromText(request.Url), form.Body, form.ContentType);
    // Any failure of the exchange reads as an empty answer.
    co_return result.ok ? result.body : QByteArray();
}

void TfrmMain::showNewsWarning(const QString& warning, bool quiet)
{
    if (!warning.isEmpty() && !quiet)
        msgMain->show(warning, MsgKind::Warning, MsgButtons::Ok);
}

QCoro::Task<bool> TfrmMain::RequestNewsList(NewsTier tier, QStringList& records)
{
    QPointer<TfrmMain> self(this);
    const QByteArray body = co_await PostNews(NewsListRequest(tier, Branding.BranderCode));
    if (!self)
        co_return false;
    const NewsListAnswer answer = ReadNewsListAnswer(body);
    showNewsWarning(answer.Warning, false);
    records << answer.Records;
    co_return answer.Success;
}

QCoro::Task<std::optional<LatestNewsAnswer>> TfrmMain::RequestLatestNews(NewsTier tier, bool quiet)
{
    QPointer<TfrmMain> self(this);
    const QByteArray body = co_await PostNews(LatestNewsRequest(tier, Branding.BranderCode));
    if (!self)
        co_return std::nullopt;
    LatestNewsAnswer answer = ReadLatestNewsAnswer(body);
    showNewsWarning(answer.Warning, quiet);
    if (!answer.Success)
        co_return std::nullopt;
    co_return answer;
}

QCoro::Task<std::optional<QString>> TfrmMain::RequestNewsBody(QString newsId)
{
    const std::optional<NewsTier> tier = LookUpNewsTier(Branding);
    if (!tier)
        co_return std::nullopt;
    QPointer<TfrmMain> self(this);
    const QByteArray body = co_await PostNews(NewsBodyRequest(*tier, Branding.BranderCode, newsId));
    if (!self)
        co_return std::nullopt;
    const NewsBodyAnswer answer = ReadNewsBodyAnswer(body);
    showNewsWarning(answer.Warning, false);
    if (!answer.Success)
        co_return std::nullopt;
    co_return answer.Html;
}

QCoro::Task<> TfrmMain::Timer1Timer()
{
    Timer1->stop();
    QPointer<TfrmMain> self(this);
    if (const std::optional<NewsTier> tier = LookUpNewsTier(Branding)) {
        const std::optional<LatestNewsAnswer> latest = co_await RequestLatestNews(*tier, true);
        if (!self)
            co_return;
        if (latest && ShouldAnnounceNews(latest->Id, readLastNewsId()))
            ShowNewsAnnouncement(NewsAnnouncementText(latest->Title));
    }
    co_await CheckForUpdate(true);
}

void TfrmMain::ShowNewsAnnouncement(const QString& text)
{
    NewsBalloon::showAt(btnNews->mapToGlobal(btnNews->rect().center()), text, this);
}

QCoro::Task<> TfrmMain::btnNewsClick()
{
    NewsRecords.clear();
    bool received = false;
    QPointer<TfrmMain> self(this);
    if (const std::optional<NewsTier> tier = LookUpNewsTier(Branding)) {
        QStringList records;
        received = co_await RequestNewsList(*tier, records);
        if (!self)
            co_return;
        NewsRecords = records;
    }
    if (!received || NewsRecords.isEmpty()) {
        msgMain->show(QStringLiteral("There's no news for this application!"), MsgKind::Information,
                      MsgButtons::Ok);
        co_return;
    }
    TfrmNews news(
        NewsRecords, [this](const QString& newsId) { return RequestNewsBody(newsId); }, this);
    connect(&news, &TfrmNews::newsShown, this, [](const QString& newsId) { writeLastNewsId(newsId); });
    connect(news.prfEditorNews, &QTextBrowser::anchorClicked, this, &TfrmMain::openDocumentLink);
    m_seams.dialogs->run(news);
}

QCoro::Task<bool> TfrmMain::DownloadToFile(QString url, QString path)
{
    // An old copy goes first, so that a failed download never leaves an old version to be read;
    // the new copy appears only once it is complete.
    QFile::remove(path);
    QPointer<TfrmMain> self(this);
    const HttpResult result = co_await IdHTTP1->get(HttpUrlFromText(url));
    if (!self || !result.ok)
        co_return false;
    co_return WriteFileAtomic(path, result.body).isEmpty();
}

QCoro::Task<> TfrmMain::CheckForUpdate(bool quiet)
{
    const QString path = ProgramFile(UpdateDescriptionFileName);
    QPointer<TfrmMain> self(this);
    const bool downloaded = co_await DownloadToFile(UpdateDescriptionUrl(), path);
    if (!self)
        co_return;
    const QString version = downloaded ? ReadUpdateVersion(path) : QString();
    // The user still confirms the close.
    if (AskToUpdate(version, quiet, *msgMain, launcher()))
        close();
}

QCoro::Task<> TfrmMain::btnUpdateClick()
{
    co_await CheckForUpdate(false);
}

void TfrmMain::btnAboutClick()
{
    TfrmAbout about(Branding, this);
    m_seams.dialogs->run(about);
}

void TfrmMain::btnHelpClick()
{
    OpenInDefaultBrowser(Branding.AppHelpURL, launcher());
}

void TfrmMain::btnMakeMoneyClick()
{
    OpenInDefaultBrowser(Branding.AffiliateURL, launcher());
}

void TfrmMain::imgBannerClick()
{
    if (!Branding.BannerURL.isEmpty())
        OpenInDefaultBrowser(Branding.BannerURL, launcher());
}

void TfrmMain::gifBannerClick()
{
    imgBannerClick();
}

void TfrmMain::linkLabelClick(const ClickableLabel* label)
{
    openDocumentLink(QUrl(label->url()));
}
