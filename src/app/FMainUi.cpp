// The layout of the main window. The look comes from the skin (a style sheet); sizes follow the
// window's design: an 834 x 539 client area, 25-pixel buttons, a 17-pixel status bar.
#include "app/AppIcons.h"
#include "app/CaptionButton.h"
#include "app/ClickableLabel.h"
#include "app/ElidedLabel.h"
#include "app/EventHook.h"
#include "app/FMain.h"
#include "app/ReportList.h"
#include "net/HttpClient.h"
#include "publisher/OfflineHtmlView.h"
#include "suggest/PreviewModel.h"
#include "suggest/SuggestTableModel.h"
#include "trends/TrendTableModel.h"

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

namespace {

template <typename Widget> Widget* named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Every button says what it does in its tooltip; its caption names it for assistive tools.
QPushButton* button(QWidget* parent, const char* name, const QString& caption, int width, const QString& tip)
{
    // The design width where there is room; in a narrow window (a large scale) no less than the
    // caption needs.
    auto* result = named(new CaptionButton(caption, width, parent), name);
    result->setFixedHeight(25);
    result->setAutoDefault(false);
    // The caption marks its key letter ("&Scrap Now": Alt+S); the name said aloud has no mark.
    result->setAccessibleName(QString(caption).remove(u'&'));
    result->setToolTip(tip);
    return result;
}

QToolButton* toolButton(QWidget* parent, const char* name, const QString& hint, const QIcon& icon)
{
    auto* result = named(new QToolButton(parent), name);
    result->setToolTip(hint);
    // Only a picture shows: the name is said by assistive tools.
    result->setAccessibleName(hint);
    result->setIcon(icon);
    result->setIconSize(QSize(24, 24));
    result->setFixedSize(41, 34);
    result->setAutoRaise(true);
    return result;
}

QFrame* panel(QWidget* parent, const char* name, int height, bool framed)
{
    auto* result = named(new QFrame(parent), name);
    result->setFixedHeight(height);
    result->setFrameShape(framed ? QFrame::StyledPanel : QFrame::NoFrame);
    return result;
}

// A report-style list: grid lines, whole rows, several rows selectable, nothing edited in place.
QTableView* reportList(QWidget* parent, const char* name, const QString& accessibleName)
{
    auto* list = named(new QTableView(parent), name);
    list->setAccessibleName(accessibleName);
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setWordWrap(false);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->verticalHeader()->hide();
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->verticalHeader()->setDefaultSectionSize(22);
    QHeaderView* header = list->horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The last column takes what the window has to spare.
    header->setStretchLastSection(true);
    // The lists start unsorted; a click on a header shows its column and direction.
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    ShowCutTextsAsToolTips(*list);
    return list;
}

void setColumnWidths(QTableView* list, const QList<int>& widths)
{
    for (int column = 0; column < widths.size(); ++column)
        list->setColumnWidth(column, widths[column]);
}

// Both tabs' button bars keep their buttons at the right edge; the free room goes to the left.
QHBoxLayout* buttonBar(QFrame* bar)
{
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(7, 8, 7, 8);
    layout->setSpacing(3);
    return layout;
}

// One button of a bar: where it is kept, its object name, caption, design width and tooltip.
struct BarButton {
    QPushButton** button;
    const char* name;
    QString caption;
    int designWidth;
    QString tip;
};

void addButtons(QFrame* bar, QHBoxLayout* row, const QList<BarButton>& buttons)
{
    for (const BarButton& entry : buttons) {
        *entry.button = button(bar, entry.name, entry.caption, entry.designWidth, entry.tip);
        row->addWidget(*entry.button);
    }
}

} // namespace

void TfrmMain::buildUi()
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quillory"));
    setWindowIcon(QuilloryIcon());
    resize(834, 539 + 17);

    // Status bar: activity, item count, download gauge.
    bsSkinStatusBar1 = named(new QStatusBar(this), "bsSkinStatusBar1");
    bsSkinStatusBar1->setSizeGripEnabled(true);
    bsSkinStatusBar1->setFixedHeight(17 + 6);
    // Texts elide rather than widen the window: a long phrase or address must not push it past
    // the screen.
    MainStatusPanel = named(new ElidedLabel(bsSkinStatusBar1), "MainStatusPanel");
    MainStatusPanel->setFrameShape(QFrame::StyledPanel);
    panSecondary = named(new ElidedLabel(bsSkinStatusBar1), "panSecondary");
    panSecondary->setFrameShape(QFrame::StyledPanel);
    panSecondary->setFixedWidth(147);
    MainGauge = named(new QProgressBar(bsSkinStatusBar1), "MainGauge");
    MainGauge->setAccessibleName(QStringLiteral("Download progress"));
    MainGauge->setFixedWidth(130);
    MainGauge->setRange(0, 100);
    MainGauge->setValue(0);
    MainGauge->setFormat(QStringLiteral("%p%"));
    MainGauge->setTextVisible(true);
    lblNextTry = named(new ElidedLabel(bsSkinStatusBar1), "lblNextTry");
    lblNextTry->setFrameShape(QFrame::StyledPanel);
    lblNextTry->setToolTip(
        QStringLiteral("The last Hot Trends scrape failed; the next one starts by itself then"));
    lblNextTry->hide();
    lblHarvestProgress = named(new ElidedLabel(bsSkinStatusBar1), "lblHarvestProgress");
    lblHarvestProgress->setFrameShape(QFrame::StyledPanel);
    lblHarvestProgress->hide();
    bsSkinStatusBar1->addWidget(MainStatusPanel, 1);
    bsSkinStatusBar1->addPermanentWidget(lblHarvestProgress);
    bsSkinStatusBar1->addPermanentWidget(lblNextTry);
    bsSkinStatusBar1->addPermanentWidget(panSecondary);
    bsSkinStatusBar1->addPermanentWidget(MainGauge);
    setStatusBar(bsSkinStatusBar1);

    pgcPrinc = named(new QStackedWidget(this), "pgcPrinc");
    setCentralWidget(pgcPrinc);

    // Welcome page.
    stsWelcome = named(new QWidget(pgcPrinc), "stsWelcome");
    auto* welcomeLayout = new QVBoxLayout(stsWelcome);
    welcomeLayout->setContentsMargins(0, 0, 0, 0);
    welcomeLayout->setSpacing(0);
    prfWelcome = named(new OfflineHtmlView(stsWelcome), "prfWelcome");
    prfWelcome->setAccessibleName(QStringLiteral("Welcome page"));
    bsSkinPanel14 = panel(stsWelcome, "bsSkinPanel14", 39, true);
    auto* welcomeBar = new QHBoxLayout(bsSkinPanel14);
    welcomeBar->setContentsMargins(0, 7, 0, 7);
    bsSkinButton1 =
        button(bsSkinPanel14, "bsSkinButton1", QStringLiteral("Thanks, just show me the main application"),
               265, QStringLiteral("Leaves this page for the main application"));
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
    stsMain = named(new QWidget(pgcPrinc), "stsMain");
    auto* mainLayout = new QVBoxLayout(stsMain);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    mainLayout->setSpacing(0);

    bsSkinPanel1 = panel(stsMain, "bsSkinPanel1", 43, false);
    auto* topBar = new QHBoxLayout(bsSkinPanel1);
    topBar->setContentsMargins(4, 1, 12, 1);
    topBar->setSpacing(3);
    btnMakeMoney = button(bsSkinPanel1, "btnMakeMoney", QStringLiteral("Make Money"), 98,
                          QStringLiteral("Opens the affiliate offer in your web browser"));
    btnAbout = button(bsSkinPanel1, "btnAbout", QStringLiteral("A&bout"), 91,
                      QStringLiteral("Shows the program's version and publisher"));
    btnNews = toolButton(bsSkinPanel1, "btnNews", QStringLiteral("Check News"), NewsIcon());
    btnUpdate = toolButton(bsSkinPanel1, "btnUpdate", QStringLiteral("Check Updates"), UpdateIcon());
    btnHelp = toolButton(bsSkinPanel1, "btnHelp",
                         QStringLiteral("Help: opens the help pages in your web browser"), HelpIcon());
    btnHelp->setAccessibleName(QStringLiteral("Help"));
    topBar->addWidget(btnMakeMoney);
    topBar->addWidget(btnAbout);
    topBar->addStretch();
    topBar->addWidget(btnNews);
    topBar->addWidget(btnUpdate);
    topBar->addWidget(btnHelp);

    // The banner pictures are placed by hand: they are centred in the panel, clipped when larger.
    panBanner = panel(stsMain, "panBanner", 65, true);
    imgBanner = named(new ClickableLabel(panBanner), "imgBanner");
    imgBanner->setGeometry(0, 0, 105, 55);
    gifBanner = named(new ClickableLabel(panBanner), "gifBanner");
    gifBanner->hide();
    for (ClickableLabel* banner : {imgBanner, gifBanner})
        banner->setAccessibleName(QStringLiteral("Banner"));
    // The panel gets its size only once the main page first shows, which may be long after the
    // window did (a welcome page first): the banner is centred whenever the panel's size changes.
    HookEvent(panBanner, QEvent::Resize, [this](QEvent*) {
        centreBanner();
        return false;
    });

    pgcMain = named(new QTabWidget(stsMain), "pgcMain");
    pgcMain->setAccessibleName(QStringLiteral("Google Hot Trends and Google Suggest"));
    pgcMain->findChild<QTabBar*>()->setAccessibleName(QStringLiteral("Pages"));
    bsSkinTabSheet1 = named(new QWidget(pgcMain), "bsSkinTabSheet1");
    bsSkinTabSheet2 = named(new QWidget(pgcMain), "bsSkinTabSheet2");
    pgcMain->addTab(bsSkinTabSheet1, QStringLiteral("Google Hot Trends"));
    pgcMain->addTab(bsSkinTabSheet2, QStringLiteral("Google Suggest"));
    buildHotTrendsTab();
    buildSuggestTab();
    pgcMain->setCurrentWidget(bsSkinTabSheet1);

    panLinks = panel(stsMain, "panLinks", 36, true);
    auto* linkBar = new QHBoxLayout(panLinks);
    linkBar->setContentsMargins(13, 0, 13, 0);
    lblLink1URL = named(new ClickableLabel(QStringLiteral("Google"), panLinks), "lblLink1URL");
    lblLink2URL = named(new ClickableLabel(QStringLiteral("Google"), panLinks), "lblLink2URL");
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

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(2000);
    tmr = named(new QTimer(this), "tmr");
    tmr->setInterval(5000);
    IdHTTP1 = named(new HttpClient(this), "IdHTTP1");
    IdHTTP2 = named(new HttpClient(this), "IdHTTP2");

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
    // Without a banner the panel stays, in the window's colour: a white band would look like a
    // field to type into.
    const bool noBanner = imgBanner->pixmap().isNull() && !gifBanner->movie();
    panBanner->setProperty("empty", noBanner);
    panBanner->style()->unpolish(panBanner);
    panBanner->style()->polish(panBanner);
}

void TfrmMain::buildHotTrendsTab()
{
    auto* layout = new QVBoxLayout(bsSkinTabSheet1);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    lvwItems = reportList(bsSkinTabSheet1, "lvwItems", QStringLiteral("Hot Trends keywords"));
    lvwItems->setModel(m_trendTable);
    setColumnWidths(lvwItems, {200, 190, 240});

    auto* bar = panel(bsSkinTabSheet1, "panHotTrendsButtons", 45, true);
    auto* buttons = buttonBar(bar);
    lblLastParsed = named(new ElidedLabel(QStringLiteral("Last scrapped on:"), bar), "lblLastParsed");
    buttons->addWidget(lblLastParsed, 1);
    // The row shares its width with the last-scrape label: these buttons ask only for what their
    // captions need (no design width), so that the label shows whole at the window's design size.
    addButtons(bar, buttons,
               {{&bsSkinButton2, "bsSkinButton2", QStringLiteral("&Scrap Now"), 0,
                 QStringLiteral("Reads the Hot Trends feed now rather than at the next hour")},
                {&bsSkinButton3, "bsSkinButton3", QStringLiteral("&Export Results"), 0,
                 QStringLiteral("Saves the Hot Trends table to a CSV file")},
                {&btnSelectAll, "btnSelectAll", QStringLiteral("Select &All"), 0,
                 QStringLiteral("Selects every keyword of the table")},
                {&btnClearAll, "btnClearAll", QStringLiteral("&Clear Selection"), 0,
                 QStringLiteral("Unselects every keyword")},
                {&btnDelete, "btnDelete", QStringLiteral("&Delete Selected"), 0,
                 QStringLiteral("Deletes the selected keywords")},
                {&btnDeleteAll, "btnDeleteAll", QStringLiteral("Delete A&ll"), 0,
                 QStringLiteral("Deletes every keyword of the table")}});

    layout->addWidget(lvwItems, 1);
    layout->addWidget(bar);
}

void TfrmMain::buildSuggestTab()
{
    auto* layout = new QVBoxLayout(bsSkinTabSheet2);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    bsSkinSplitter1 = named(new QSplitter(Qt::Horizontal, bsSkinTabSheet2), "bsSkinSplitter1");
    bsSkinSplitter1->setHandleWidth(10);
    bsSkinSplitter1->setChildrenCollapsible(false);

    QList<int> suggestWidths{150};
    for (int k = 1; k <= 10; ++k)
        suggestWidths << 100 << 100;
    lvwSuggest =
        reportList(bsSkinSplitter1, "lvwSuggest", QStringLiteral("Keyword phrases and their suggestions"));
    lvwSuggest->setModel(m_suggestTable);
    setColumnWidths(lvwSuggest, suggestWidths);

    auto* previewPanel = named(new QFrame(bsSkinSplitter1), "panPreview");
    previewPanel->setFrameShape(QFrame::StyledPanel);
    auto* previewLayout = new QVBoxLayout(previewPanel);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    lvwPreview = reportList(previewPanel, "lvwPreview", QStringLiteral("Suggestions of the selected phrase"));
    lvwPreview->setModel(m_preview);
    setColumnWidths(lvwPreview, {200, 120});
    previewLayout->addWidget(lvwPreview);

    bsSkinSplitter1->addWidget(lvwSuggest);
    bsSkinSplitter1->addWidget(previewPanel);
    bsSkinSplitter1->setStretchFactor(0, 1);
    bsSkinSplitter1->setStretchFactor(1, 0);
    bsSkinSplitter1->setSizes({451, 373});

    auto* bar = panel(bsSkinTabSheet2, "panSuggestButtons", 45, true);
    auto* buttons = buttonBar(bar);
    buttons->addStretch();
    addButtons(
        bar, buttons,
        {{&btnAdd, "btnAdd", QStringLiteral("Add &Keywords"), 101,
          QStringLiteral("Adds keyword phrases, one per line")},
         {&btnSearch, "btnSearch", QStringLiteral("&Get Suggestions!"), 120,
          QStringLiteral("Gets Google's suggestions for the selected phrases")},
         {&btnStop, "btnStop", QStringLiteral("S&top"), 66, QStringLiteral("Stops getting suggestions")},
         {&btnExport, "btnExport", QStringLiteral("&Export Results"), 94,
          QStringLiteral("Saves the phrases and their suggestions to a CSV file")},
         {&bsSkinButton4, "bsSkinButton4", QStringLiteral("Select &All"), 103,
          QStringLiteral("Selects every phrase")},
         {&bsSkinButton5, "bsSkinButton5", QStringLiteral("&Clear Selection"), 103,
          QStringLiteral("Unselects every phrase")},
         {&bsSkinButton6, "bsSkinButton6", QStringLiteral("&Delete Selected"), 103,
          QStringLiteral("Deletes the selected phrases")},
         {&bsSkinButton7, "bsSkinButton7", QStringLiteral("Delete A&ll"), 103,
          QStringLiteral("Deletes every phrase")}});

    layout->addWidget(bsSkinSplitter1, 1);
    layout->addWidget(bar);
}

void TfrmMain::buildTray()
{
    bsTrayIcon1 = named(new QSystemTrayIcon(QuilloryIcon(), this), "bsTrayIcon1");
    bsTrayIcon1->setToolTip(windowTitle());
    bsSkinPopupMenu1 = named(new QMenu(this), "bsSkinPopupMenu1");
    Restore1 = named(bsSkinPopupMenu1->addAction(QStringLiteral("Show Application")), "Restore1");
    bsSkinPopupMenu1->addSeparator();
    actExit1 = named(bsSkinPopupMenu1->addAction(QStringLiteral("Exit")), "actExit1");
    bsSkinPopupMenu1->setDefaultAction(Restore1);
    bsTrayIcon1->setContextMenu(bsSkinPopupMenu1);
    // A left click opens the menu as a right click does.
    connect(bsTrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            bsSkinPopupMenu1->popup(QCursor::pos());
    });
}
