#pragma once

#include "branding/BrandingSettings.h"
#include "publisher/NewsProtocol.h"

#include <QCoroTask>
#include <QObject>
#include <QStringList>

#include <optional>

class Clock;
class HttpClient;
class Launcher;
class MessageBoxes;
class ModalDialogs;
class QUrl;
class QWidget;

// What the reseller offers through the main window: the news (list, latest item, body), the live
// update check, the about box, and the reseller's web addresses. It asks through the window's boxes
// and dialogs and talks to the servers through one HTTP client of its own.
class PublisherServices final : public QObject {
    Q_OBJECT

public:
    struct Seams {
        MessageBoxes& messages;
        ModalDialogs& dialogs;
        Clock& clock;
        Launcher& launcher;
    };

    // `branding` is the window's, read at each use; `newsButton` is where the news balloon points;
    // the boxes and windows opened belong to `window`.
    PublisherServices(const BrandingSettings& branding, HttpClient& client, Seams seams, QWidget* window,
                      QWidget* newsButton);

    // The quiet check after start-up: a balloon when there is news not read yet, then the update
    // check, which says nothing unless there is a new version.
    QCoro::Task<> checkAtStartUp();
    QCoro::Task<> btnNewsClick();
    QCoro::Task<> CheckForUpdate(bool quiet);
    QCoro::Task<> btnUpdateClick();
    void btnAboutClick();
    void btnHelpClick();
    void btnMakeMoneyClick();
    void imgBannerClick();
    void gifBannerClick();
    // A link followed in the welcome page, a news body or a link label: web and mail addresses only.
    void openDocumentLink(const QUrl& url);

Q_SIGNALS:
    // The user chose to install a new version: the program is to close (the user still confirms).
    void closeRequested();

private:
    // One post of a form to the news server; the answer's body, empty when the exchange failed.
    QCoro::Task<QByteArray> PostNews(NewsRequest request);
    void showNewsWarning(const QString& warning, bool quiet);
    QCoro::Task<bool> RequestNewsList(NewsTier tier, QStringList& records);
    QCoro::Task<std::optional<LatestNewsAnswer>> RequestLatestNews(NewsTier tier, bool quiet);
    QCoro::Task<std::optional<QString>> RequestNewsBody(QString newsId);
    void ShowNewsAnnouncement(const QString& text);
    // The reason when the file could not be fetched and written, else empty.
    QCoro::Task<QString> DownloadToFile(QString url, QString path);
    // Opens an address in the browser, or says in a box that it could not, with the address to copy.
    void openLink(const QString& url, bool registeredBrowser);

    const BrandingSettings& m_branding;
    HttpClient& IdHTTP1;
    Seams m_seams;
    QWidget* m_window;
    QWidget* m_newsButton;
    QStringList NewsRecords;
};
