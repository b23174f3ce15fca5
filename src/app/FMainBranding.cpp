// The branding of the main window: the reseller's name, news button, banner, links, skin and icon.
#include "app/FMain.h"
#include "app/Skin.h"
#include "branding/BrandingPicks.h"
#include "util/ProgramFolder.h"
#include "util/TextFile.h"
#include "util/ui/ClickableLabel.h"

#include <QApplication>
#include <QFileInfo>
#include <QFrame>
#include <QImageReader>
#include <QMovie>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTextBrowser>
#include <QToolButton>

void TfrmMain::LoadBrandingSettings()
{
    // The reseller's files come from beside the executable first, then from the data folder.
    const QString path = FindInstallFile(BrandingFileName);
    if (path.isEmpty())
        return;
    // A file that cannot be decrypted and authenticated gives no values at all: garbled bytes are
    // never shown or opened as if they were good.
    const BrandingText branding = ReadBrandingFile(path).value_or(BrandingText());
    int bannerNumber = 0;
    Branding = PickBranding(
        branding, [this](int bound) { return random().bounded(bound); }, bannerNumber);

    // An empty name does not replace the caption.
    if (!Branding.ApplicationName.isEmpty())
        setWindowTitle(Branding.ApplicationName + QStringLiteral(" v") + AppVersion);
    btnNews->setVisible(NewsButtonVisible(Branding));
    btnMakeMoney->setText(branding.MakeMoneyButton.isEmpty() ? QStringLiteral("Make Money")
                                                             : branding.MakeMoneyButton);

    if (!Branding.BannerURL.isEmpty()) {
        imgBanner->setCursor(Qt::PointingHandCursor);
        gifBanner->setCursor(Qt::PointingHandCursor);
    }
    showBanner(bannerNumber);

    panLinks->setVisible(!Branding.Link1Text.isEmpty());
    lblLink1URL->setText(Branding.Link1Text);
    lblLink1URL->setUrl(Branding.Link1URL);
    lblLink2URL->setText(Branding.Link2Text);
    lblLink2URL->setUrl(Branding.Link2URL);

    const QString skin = FindInstallFile(QStringLiteral("mainskin.dat"));
    // A reseller's skin wins over the built-in one, in either tone.
    m_resellerSkin = !skin.isEmpty();
    if (m_resellerSkin)
        ApplySkin(ReadTextFile(skin).text);
    const QString icon = FindInstallFile(QStringLiteral("main.ico"));
    if (!icon.isEmpty()) {
        const QIcon appIcon(icon);
        QApplication::setWindowIcon(appIcon);
        setWindowIcon(appIcon);
        bsTrayIcon1->setIcon(appIcon);
    }
}

void TfrmMain::showBanner(int bannerNumber)
{
    // The picture is read straight from its banner file, its decoder chosen by the extension of
    // the name the branding gives it; the file itself is never renamed.
    const QString file = FindInstallFile(QStringLiteral("banner%1.dat").arg(bannerNumber));
    const QString name = BannerPictureName(Branding.BannerImage);
    if (Branding.BannerImage.isEmpty() || file.isEmpty()) {
        panBanner->hide();
        return;
    }
    if (name.contains(QLatin1String(".gif"))) {
        auto* movie = new QMovie(file, "gif", gifBanner);
        if (movie->isValid() && movie->jumpToFrame(0)) {
            gifBanner->setMovie(movie);
            gifBanner->resize(movie->currentImage().size());
            movie->start();
            gifBanner->show();
            imgBanner->hide();
            panBanner->setFixedHeight(gifBanner->height() + 10);
            return;
        }
        delete movie;
    } else {
        QImageReader reader(file, QFileInfo(name).suffix().toLatin1());
        const QImage picture = reader.read();
        if (!picture.isNull()) {
            imgBanner->setPixmap(QPixmap::fromImage(picture));
            imgBanner->resize(picture.size());
            imgBanner->show();
            gifBanner->hide();
            panBanner->setFixedHeight(imgBanner->height() + 10);
            return;
        }
    }
    // A picture that cannot be decoded leaves no empty frame behind.
    panBanner->hide();
}
