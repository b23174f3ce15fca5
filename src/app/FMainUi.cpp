// The layout of the main window. The look comes from the skin (a style sheet); sizes follow the
// window's design: an 834 x 539 client area, 25-pixel buttons, a 17-pixel status bar.
#include "app/AppIcons.h"
#include "app/FMain.h"
#include "app/Skin.h"
#include "net/HttpClient.h"
#include "publisher/ui/OfflineHtmlView.h"
#include "publisher/ui/PublisherServices.h"
#include "suggest/ui/SuggestPage.h"
#include "trends/ui/HotTrendsPage.h"
#include "util/EventHook.h"
#include "util/ui/CaptionButton.h"
#include "util/ui/ClickableLabel.h"
#include "util/ui/Controls.h"
#include "util/ui/ElidedLabel.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

void TfrmMain::buildUi()
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quillory"));
    setWindowIcon(QuilloryIcon());
    resize(834, 539 + 17);

    // Status bar: activity, item count, download gauge.
    bsSkinStatusBar1 = Named(new QStatusBar(this), "bsSkinStatusBar1");
    bsSkinStatusBar1->setSizeGripEnabled(true);
    bsSkinStatusBar1->setFixedHeight(17 + 6);
    // Texts elide rather than widen the window: a long phrase or address must not push it past
    // the screen.
    MainStatusPanel = Named(new ElidedLabel(bsSkinStatusBar1), "MainStatusPanel");
    MainStatusPanel->setFrameShape(QFrame::StyledPanel);
    panSecondary = Named(new ElidedLabel(bsSkinStatusBar1), "panSecondary");
    panSecondary->setFrameShape(QFrame::StyledPanel);
    panSecondary->setFixedWidth(147);
    MainGauge = Named(new QProgressBar(bsSkinStatusBar1), "MainGauge");
    MainGauge->setAccessibleName(QStringLiteral("Download progress"));
    MainGauge->setFixedWidth(130);
    MainGauge->setRange(0, 100);
    MainGauge->setValue(0);
    MainGauge->setFormat(QStringLiteral("%p%"));
    MainGauge->setTextVisible(true);
    lblNextTry = Named(new ElidedLabel(bsSkinStatusBar1), "lblNextTry");
    lblNextTry->setFrameShape(QFrame::StyledPanel);
    lblNextTry->setToolTip(
        QStringLiteral("The last Hot Trends scrape failed; the next one starts by itself then"));
    lblNextTry->hide();
    lblHarvestProgress = Named(new ElidedLabel(bsSkinStatusBar1), "lblHarvestProgress");
    lblHarvestProgress->setFrameShape(QFrame::StyledPanel);
    lblHarvestProgress->hide();
    lblOptionsProblem = Named(new ElidedLabel(bsSkinStatusBar1), "lblOptionsProblem");
    lblOptionsProblem->setFrameShape(QFrame::StyledPanel);
    lblOptionsProblem->hide();
    bsSkinStatusBar1->addWidget(MainStatusPanel, 1);
    bsSkinStatusBar1->addPermanentWidget(lblOptionsProblem, 1);
    bsSkinStatusBar1->addPermanentWidget(lblHarvestProgress);
    bsSkinStatusBar1->addPermanentWidget(lblNextTry);
    bsSkinStatusBar1->addPermanentWidget(panSecondary);
    bsSkinStatusBar1->addPermanentWidget(MainGauge);
    setStatusBar(bsSkinStatusBar1);

    pgcPrinc = Named(new QStackedWidget(this), "pgcPrinc");
    setCentralWidget(pgcPrinc);

    // Welcome page.
    stsWelcome = Named(new QWidget(pgcPrinc), "stsWelcome");
    auto* welcomeLayout = new QVBoxLayout(stsWelcome);
    welcomeLayout->setContentsMargins(0, 0, 0, 0);
    welcomeLayout->setSpacing(0);
    prfWelcome = Named(new OfflineHtmlView(stsWelcome), "prfWelcome");
    prfWelcome->setAccessibleName(QStringLiteral("Welcome page"));
    bsSkinPanel14 = MakePanel(stsWelcome, "bsSkinPanel14", 39, true);
    auto* welcomeBar = new QHBoxLayout(bsSkinPanel14);
    welcomeBar->setContentsMargins(0, 7, 0, 7);
    bsSkinButton1 = MakeButton(bsSkinPanel14, "bsSkinButton1",
                               QStringLiteral("Thanks, just show me the main application"), 265,
                               QStringLiteral("Leaves this page for the main application"));
    bsSkinButton1->setDefault(true);
    welcomeBar->addStretch();
    welcomeBar->addWidget(bsSkinButton1);
    welcomeBar->addStretch();
    welcomeLayout->addWidget(prfWelcome, 1);
    welcomeLayout->addWidget(bsSkinPanel14);
    pgcPrinc->addWidget(stsWelcome);
    // A default button acts by itself only in a dialog: on this page, Return or Enter that no
    // control of the page wanted presses it.
    HookEvent(stsWelcome, QEvent::KeyPress, [this](QEvent* event) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (!enter || (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
            return false;
        bsSkinButton1->click();
        return true;
    });

    // Main page.
    stsMain = Named(new QWidget(pgcPrinc), "stsMain");
    auto* mainLayout = new QVBoxLayout(stsMain);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);

    bsSkinPanel1 = MakePanel(stsMain, "bsSkinPanel1", 43, false);
    auto* topBar = new QHBoxLayout(bsSkinPanel1);
    topBar->setContentsMargins(4, 1, 12, 1);
    topBar->setSpacing(3);
    btnMakeMoney = MakeButton(bsSkinPanel1, "btnMakeMoney", QStringLiteral("Make Money"), 98,
                              QStringLiteral("Opens the affiliate offer in your web browser"));
    btnOptions = MakeButton(bsSkinPanel1, "btnOptions", QStringLiteral("&Options…"), 91,
                            QStringLiteral("Chooses where trends and suggestions come from"));
    btnAbout = MakeButton(bsSkinPanel1, "btnAbout", QStringLiteral("A&bout"), 91,
                          QStringLiteral("Shows the program's version and publisher"));
    btnNews = MakeToolButton(bsSkinPanel1, "btnNews", QStringLiteral("Check News"),
                             NewsIcon(AccentColor(SkinTone::Light)));
    btnUpdate = MakeToolButton(bsSkinPanel1, "btnUpdate", QStringLiteral("Check Updates"),
                               UpdateIcon(AccentColor(SkinTone::Light)));
    btnHelp = MakeToolButton(bsSkinPanel1, "btnHelp",
                             QStringLiteral("Help: opens the help pages in your web browser"),
                             HelpIcon(AccentColor(SkinTone::Light)));
    btnHelp->setAccessibleName(QStringLiteral("Help"));
    topBar->addWidget(btnMakeMoney);
    topBar->addWidget(btnAbout);
    topBar->addWidget(btnOptions);
    topBar->addStretch();
    topBar->addWidget(btnNews);
    topBar->addWidget(btnUpdate);
    topBar->addWidget(btnHelp);
    // Tab goes along the bar as it reads, left to right (the buttons were made in another order).
    setTabOrder(btnMakeMoney, btnAbout);
    setTabOrder(btnAbout, btnOptions);
    setTabOrder(btnOptions, btnNews);
    setTabOrder(btnNews, btnUpdate);
    setTabOrder(btnUpdate, btnHelp);

    // The banner pictures are placed by hand: they are centred in the panel, clipped when larger.
    panBanner = MakePanel(stsMain, "panBanner", 65, true);
    imgBanner = Named(new ClickableLabel(panBanner), "imgBanner");
    imgBanner->setGeometry(0, 0, 105, 55);
    gifBanner = Named(new ClickableLabel(panBanner), "gifBanner");
    gifBanner->hide();
    for (ClickableLabel* banner : {imgBanner, gifBanner})
        banner->setAccessibleName(QStringLiteral("Banner"));
    // The panel gets its size only once the main page first shows, which may be long after the
    // window did (a welcome page first): the banner is centred whenever the panel's size changes.
    HookEvent(panBanner, QEvent::Resize, [this](QEvent*) {
        centreBanner();
        return false;
    });

    pgcMain = Named(new QTabWidget(stsMain), "pgcMain");
    pgcMain->setAccessibleName(QStringLiteral("Google Hot Trends and Google Suggest"));
    pgcMain->findChild<QTabBar*>()->setAccessibleName(QStringLiteral("Pages"));
    const PageSeams pageSeams{*m_seams.messages, *m_seams.saveDialog, *m_seams.dialogs};
    m_hotTrendsPage =
        Named(new HotTrendsPage(*m_trendTable, *m_monitor, pageSeams, pgcMain, m_history), "bsSkinTabSheet1");
    m_suggestPage = Named(new SuggestPage(*m_suggestTable, *m_suggestFile, *m_harvester, pageSeams, pgcMain),
                          "bsSkinTabSheet2");
    pgcMain->addTab(m_hotTrendsPage, QStringLiteral("Google Hot Trends"));
    pgcMain->addTab(m_suggestPage, QStringLiteral("Google Suggest"));
    pgcMain->setCurrentWidget(m_hotTrendsPage);

    panLinks = MakePanel(stsMain, "panLinks", 36, true);
    auto* linkBar = new QHBoxLayout(panLinks);
    linkBar->setContentsMargins(13, 0, 13, 0);
    lblLink1URL = Named(new ClickableLabel(QStringLiteral("Google"), panLinks), "lblLink1URL");
    lblLink2URL = Named(new ClickableLabel(QStringLiteral("Google"), panLinks), "lblLink2URL");
    for (ClickableLabel* link : {lblLink1URL, lblLink2URL}) {
        link->setUrl(QStringLiteral("http://www.google.com/"));
        link->setCursor(Qt::PointingHandCursor);
        link->setProperty("link", true);
    }
    lblLink2URL->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    linkBar->addWidget(lblLink1URL);
    linkBar->addStretch();
    linkBar->addWidget(lblLink2URL);

    mainLayout->addWidget(bsSkinPanel1);
    mainLayout->addWidget(panBanner);
    mainLayout->addWidget(pgcMain, 1);
    mainLayout->addWidget(panLinks);
    pgcPrinc->addWidget(stsMain);

    Timer1 = Named(new QTimer(this), "Timer1");
    Timer1->setInterval(m_seams.intervals.newsCheck);
    tmr = Named(new QTimer(this), "tmr");
    tmr->setInterval(m_seams.intervals.monitorTick);
    IdHTTP1 = Named(new HttpClient(this), "IdHTTP1");
    IdHTTP2 = Named(new HttpClient(this), "IdHTTP2");
    m_publisher = new PublisherServices(
        Branding, *IdHTTP1, {*m_seams.messages, *m_seams.dialogs, *m_seams.clock, *m_seams.launcher}, this,
        btnNews);

    buildTray();
}

void TfrmMain::describeBrandedControls()
{
    // Named after what they show, which the branding has just set.
    btnMakeMoney->setAccessibleName(btnMakeMoney->text());
    for (ClickableLabel* link : {lblLink1URL, lblLink2URL}) {
        link->setAccessibleName(link->text());
        link->setToolTip(link->url().isEmpty()
                             ? QString()
                             : QStringLiteral("Opens %1 in your web browser").arg(link->url()));
    }
    if (!Branding.BannerURL.isEmpty()) {
        for (ClickableLabel* banner : {imgBanner, gifBanner})
            banner->setToolTip(QStringLiteral("Opens %1 in your web browser").arg(Branding.BannerURL));
    }
    // Without a banner there is no band: it would only take room from the lists.
    const bool noBanner = imgBanner->pixmap().isNull() && !gifBanner->movie();
    panBanner->setProperty("empty", noBanner);
    panBanner->style()->unpolish(panBanner);
    panBanner->style()->polish(panBanner);
    if (noBanner)
        panBanner->hide();
}

void TfrmMain::buildTray()
{
    bsTrayIcon1 = Named(new QSystemTrayIcon(QuilloryIcon(), this), "bsTrayIcon1");
    bsTrayIcon1->setToolTip(windowTitle());
    bsSkinPopupMenu1 = Named(new QMenu(this), "bsSkinPopupMenu1");
    Restore1 = Named(bsSkinPopupMenu1->addAction(QStringLiteral("Show Application")), "Restore1");
    actOptions1 = Named(bsSkinPopupMenu1->addAction(QStringLiteral("Options…")), "actOptions1");
    bsSkinPopupMenu1->addSeparator();
    actExit1 = Named(bsSkinPopupMenu1->addAction(QStringLiteral("Exit")), "actExit1");
    bsSkinPopupMenu1->setDefaultAction(Restore1);
    bsTrayIcon1->setContextMenu(bsSkinPopupMenu1);
    // A left click opens the menu as a right click does.
    connect(bsTrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            bsSkinPopupMenu1->popup(QCursor::pos());
    });
}
