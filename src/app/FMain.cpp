#include "app/FMain.h"

#include "app/AsyncHandler.h"
#include "app/ClickableLabel.h"
#include "app/CrashReporter.h"
#include "net/HttpClient.h"
#include "suggest/PreviewModel.h"
#include "suggest/SuggestTableModel.h"
#include "trends/TrendExport.h"
#include "trends/TrendFiles.h"
#include "trends/TrendTableModel.h"
#include "util/DateTimeText.h"
#include "util/ProgramFolder.h"
#include "util/TextFile.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QToolButton>
#include "publisher/OfflineHtmlView.h"
#include <QTimer>

TfrmMain::TfrmMain(Seams seams, QWidget* parent)
    : QMainWindow(parent)
    , LastScrapeTime(ZeroDateTime())
    , msgMain(seams.messages.get())
    , bsSkinSaveDialog1(seams.saveDialog.get())
    , m_seams(std::move(seams))
    , m_trendTable(new TrendTableModel(this))
    , m_suggestTable(new SuggestTableModel(this))
    , m_preview(new PreviewModel(this))
{
    buildUi();
    wireHandlers();
    CrashReporter::setMessageBoxes(msgMain);
    tmr->start();
    FormCreate();
}

TfrmMain::~TfrmMain()
{
    FormDestroy();
    CrashReporter::setMessageBoxes(nullptr);
}

const KeywordIndex& TfrmMain::KnownKeywords() const
{
    return m_trendTable->knownKeywords();
}

void TfrmMain::wireHandlers()
{
    connect(bsSkinButton1, &QPushButton::clicked, this, Guarded(this, &TfrmMain::bsSkinButton1Click, "bsSkinButton1Click"));
    connect(btnSelectAll, &QPushButton::clicked, this, Guarded(this, &TfrmMain::btnSelectAllClick, "btnSelectAllClick"));
    connect(btnClearAll, &QPushButton::clicked, this, Guarded(this, &TfrmMain::btnClearAllClick, "btnClearAllClick"));
    connect(btnDelete, &QPushButton::clicked, this, Guarded(this, &TfrmMain::btnDeleteClick, "btnDeleteClick"));
    connect(btnDeleteAll, &QPushButton::clicked, this, Guarded(this, &TfrmMain::btnDeleteAllClick, "btnDeleteAllClick"));
    connect(bsSkinButton3, &QPushButton::clicked, this, Guarded(this, &TfrmMain::bsSkinButton3Click, "bsSkinButton3Click"));
    connect(Restore1, &QAction::triggered, this, Guarded(this, &TfrmMain::Restore1Click, "Restore1Click"));
    connect(actExit1, &QAction::triggered, this, Guarded(this, &TfrmMain::actExit1Click, "actExit1Click"));
    connect(Timer1, &QTimer::timeout, this, GuardedAsync(this, &TfrmMain::Timer1Timer, "Timer1Timer"));
    connect(btnNews, &QToolButton::clicked, this, GuardedAsync(this, &TfrmMain::btnNewsClick, "btnNewsClick"));
    connect(btnUpdate, &QToolButton::clicked, this, GuardedAsync(this, &TfrmMain::btnUpdateClick, "btnUpdateClick"));
    connect(btnAbout, &QPushButton::clicked, this, Guarded(this, &TfrmMain::btnAboutClick, "btnAboutClick"));
    connect(btnHelp, &QToolButton::clicked, this, Guarded(this, &TfrmMain::btnHelpClick, "btnHelpClick"));
    connect(btnMakeMoney, &QPushButton::clicked, this, Guarded(this, &TfrmMain::btnMakeMoneyClick, "btnMakeMoneyClick"));
    connect(imgBanner, &ClickableLabel::clicked, this, Guarded(this, &TfrmMain::imgBannerClick, "imgBannerClick"));
    connect(gifBanner, &ClickableLabel::clicked, this, Guarded(this, &TfrmMain::gifBannerClick, "gifBannerClick"));
    for (ClickableLabel* link : {lblLink1URL, lblLink2URL}) {
        connect(link, &ClickableLabel::clicked, this,
                [this, link] { CrashReporter::guard(QStringLiteral("linkLabelClick"), [&] { linkLabelClick(link); }); });
    }
    connect(IdHTTP2, &HttpClient::workBegin, this, &TfrmMain::IdHTTP2WorkBegin);
    connect(IdHTTP2, &HttpClient::work, this, &TfrmMain::IdHTTP2Work);
    connect(IdHTTP2, &HttpClient::workEnd, this, &TfrmMain::IdHTTP2WorkEnd);
    connect(tmr, &QTimer::timeout, this, GuardedAsync(this, &TfrmMain::tmrTimer, "tmrTimer"));
    connect(bsSkinButton2, &QPushButton::clicked, this, GuardedAsync(this, &TfrmMain::bsSkinButton2Click, "bsSkinButton2Click"));
    connect(btnAdd, &QPushButton::clicked, this, Guarded(this, &TfrmMain::btnAddClick, "btnAddClick"));
    connect(bsSkinButton4, &QPushButton::clicked, this, Guarded(this, &TfrmMain::bsSkinButton4Click, "bsSkinButton4Click"));
    connect(bsSkinButton5, &QPushButton::clicked, this, Guarded(this, &TfrmMain::bsSkinButton5Click, "bsSkinButton5Click"));
    connect(bsSkinButton6, &QPushButton::clicked, this, Guarded(this, &TfrmMain::bsSkinButton6Click, "bsSkinButton6Click"));
    connect(bsSkinButton7, &QPushButton::clicked, this, Guarded(this, &TfrmMain::bsSkinButton7Click, "bsSkinButton7Click"));
    connect(btnSearch, &QPushButton::clicked, this, GuardedAsync(this, &TfrmMain::btnSearchClick, "btnSearchClick"));
    connect(btnStop, &QPushButton::clicked, this, Guarded(this, &TfrmMain::btnStopClick, "btnStopClick"));
    connect(btnExport, &QPushButton::clicked, this, Guarded(this, &TfrmMain::btnExportClick, "btnExportClick"));
    connect(lvwSuggest->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            Guarded(this, &TfrmMain::lvwSuggestSelectItem, "lvwSuggestSelectItem"));
    connect(lvwItems->horizontalHeader(), &QHeaderView::sectionClicked, this,
            Guarded(this, &TfrmMain::lvwItemsColumnClick, "lvwItemsColumnClick"));
    connect(lvwSuggest->horizontalHeader(), &QHeaderView::sectionClicked, this,
            Guarded(this, &TfrmMain::lvwSuggestColumnClick, "lvwSuggestColumnClick"));
    connect(lvwPreview->horizontalHeader(), &QHeaderView::sectionClicked, this,
            Guarded(this, &TfrmMain::lvwPreviewColumnClick, "lvwPreviewColumnClick"));
    m_suggestSaveTimer = new QTimer(this);
    m_suggestSaveTimer->setSingleShot(true);
    m_suggestSaveTimer->setInterval(2000);
    connect(m_suggestSaveTimer, &QTimer::timeout, this, Guarded(this, &TfrmMain::SaveSuggestTable, "SaveSuggestTable"));
    connect(prfWelcome, &QTextBrowser::anchorClicked, this, Guarded(this, &TfrmMain::openDocumentLink, "prfWelcome"));
}

// ---- Life cycle -------------------------------------------------------------------------------

void TfrmMain::FormCreate()
{
    gifBanner->setGeometry(imgBanner->geometry());
    LoadBrandingSettings();
    if (Branding.WelcomePage.isEmpty())
        Timer1->start();
    NewsRecords.clear();
    LoadLastParsed();
    LoadTrendTable();
    LoadSuggestTable();
    for (ListSortState* state : {&lvwItemsSort, &lvwSuggestSort, &lvwPreviewSort})
        state->reset();
}

void TfrmMain::FormShow()
{
    if (!Branding.WelcomePage.isEmpty()) {
        pgcPrinc->setCurrentWidget(stsWelcome);
        prfWelcome->setHtml(Branding.WelcomePage);
    } else if (stsWelcome) {
        pgcPrinc->removeWidget(stsWelcome);
        delete stsWelcome;
        stsWelcome = nullptr;
        prfWelcome = nullptr;
        bsSkinPanel14 = nullptr;
        bsSkinButton1 = nullptr;
        pgcPrinc->setCurrentWidget(stsMain);
    }
    centreBanner();
}

void TfrmMain::FormResize()
{
    centreBanner();
}

void TfrmMain::centreBanner()
{
    // Each half is taken before the subtraction; a banner larger than its panel is clipped evenly.
    for (QWidget* banner : {static_cast<QWidget*>(imgBanner), static_cast<QWidget*>(gifBanner)}) {
        banner->move(panBanner->width() / 2 - banner->width() / 2,
                     panBanner->height() / 2 - banner->height() / 2);
    }
}

void TfrmMain::bsSkinButton1Click()
{
    pgcPrinc->setCurrentWidget(stsMain);
    if (!Branding.WelcomePage.isEmpty())
        Timer1->start();
}

void TfrmMain::openDocumentLink(const QUrl& url)
{
    // The pages come from the branding file and the news server: nothing in them may start a
    // program or open a local file.
    static const QStringList safeSchemes{QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("mailto")};
    if (safeSchemes.contains(url.scheme().toLower()))
        launcher().openUrl(url);
}

bool TfrmMain::FormCloseQuery()
{
    const QString question = QStringLiteral("If you close you will stop to monitor data. Remember you can always\r\n"
                                            "minimize to tray. Do you want to close your application?");
    return msgMain->show(question, MsgKind::Information, MsgButtons::OkCancel) == MsgAnswer::Ok;
}

void TfrmMain::FormClose()
{
    m_closing = true;
    StopRequested = true;
    // What runs further down gives up: the downloads fail at once and see the stop request.
    for (HttpClient* client : {IdHTTP2, IdHTTP2, IdHTTP1, IdHTTP1})
        client->disconnect();
    CrashReporter::guard(QStringLiteral("SaveSuggestTable"), [this] { SaveSuggestTable(); });
    QCoreApplication::quit();
}

void TfrmMain::FormDestroy()
{
    NewsRecords.clear();
}

void TfrmMain::closeWithoutAsking()
{
    if (m_closing)
        return;
    FormClose();
    close();
}

void TfrmMain::Restore1Click()
{
    if (windowState() & Qt::WindowMinimized)
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void TfrmMain::actExit1Click()
{
    IdHTTP2->disconnect();
    close();
}

void TfrmMain::hideToTray()
{
    hide();
    bsTrayIcon1->show();
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        CrashReporter::guard(QStringLiteral("FormShow"), [this] { FormShow(); });
    }
}

void TfrmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TfrmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Minimising goes to the tray, where there is one; elsewhere the window just minimises, so that
    // it can never be lost with no icon to bring it back.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && m_seams.tray->isAvailable())
        QTimer::singleShot(0, this, &TfrmMain::hideToTray);
}

void TfrmMain::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    bool close = false;
    CrashReporter::guard(QStringLiteral("FormCloseQuery"), [&] { close = FormCloseQuery(); });
    if (!close) {
        event->ignore();
        return;
    }
    CrashReporter::guard(QStringLiteral("FormClose"), [this] { FormClose(); });
    event->accept();
}

// ---- Hot Trends table -------------------------------------------------------------------------

void TfrmMain::LoadLastParsed()
{
    const QString text = ReadLastParsedText(ProgramFile(LastParsedFileName));
    if (const std::optional<QDateTime> when = ParseDateTimeText(text)) {
        LastScrapeTime = *when;
        lblLastParsed->setText(QStringLiteral("Last scrapped on:") + text);
    }
}

void TfrmMain::LoadTrendTable()
{
    const QString path = ProgramFile(TrendTableFileName);
    if (!QFileInfo::exists(path))
        return;
    TrendTableRead read = ReadTrendTable(path);
    if (!read.error.isEmpty())
        CrashReporter::report(QStringLiteral("LoadTrendTable"),
                              QStringLiteral("Could not read \"%1\": %2").arg(TrendTableFileName, read.error));
    m_trendTable->setRows(std::move(read.rows));
    showTrendCount();
}

void TfrmMain::SaveTrendTable()
{
    const QString path = ProgramFile(TrendTableFileName);
    const QString error = WriteTrendTable(path, m_trendTable->rows());
    if (!error.isEmpty())
        throw FileWriteError(path, error);
}

void TfrmMain::SaveLastParsed()
{
    const QString path = ProgramFile(LastParsedFileName);
    const QString error = WriteLastParsed(path, DateTimeText(LastScrapeTime));
    if (!error.isEmpty())
        throw FileWriteError(path, error);
}

void TfrmMain::showTrendCount()
{
    panSecondary->setText(QString::number(m_trendTable->rowCount()) + QStringLiteral(" items"));
}

void TfrmMain::btnSelectAllClick()
{
    lvwItems->selectAll();
}

void TfrmMain::btnClearAllClick()
{
    lvwItems->clearSelection();
}

void TfrmMain::btnDeleteClick()
{
    if (msgMain->show(QStringLiteral("Are you sure to delete selected items?"), MsgKind::Warning,
                      MsgButtons::OkCancel) != MsgAnswer::Ok)
        return;
    // The selection is read after the answer: the table may have changed while the box was open.
    QList<qsizetype> rows;
    for (const QItemSelectionRange& range : lvwItems->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    m_trendTable->removeRowList(std::move(rows));
    showTrendCount();
    SaveTrendTable();
}

void TfrmMain::btnDeleteAllClick()
{
    if (msgMain->show(QStringLiteral("Are you sure to delete all?"), MsgKind::Warning, MsgButtons::OkCancel) !=
        MsgAnswer::Ok)
        return;
    m_trendTable->clear();
    showTrendCount();
    SaveTrendTable();
}

void TfrmMain::bsSkinButton3Click()
{
    exportThrough([this](const QString& fileName) { return ExportTrendTable(fileName, m_trendTable->rows()); });
}

void TfrmMain::exportThrough(const std::function<ExportResult(const QString& fileName)>& write)
{
    const QString chosen = bsSkinSaveDialog1->ask(ExportDialogTitle, ExportDialogFilter, ProgramFolder());
    if (chosen.isEmpty())
        return;
    const QString fileName = WithCsvExtension(chosen);
    MainStatusPanel->setText(QStringLiteral("Exporting items..."));
    const ExportResult result = write(fileName);
    switch (result.outcome) {
    case ExportOutcome::Written:
        MainStatusPanel->setText(QStringLiteral("Process finished!"));
        break;
    case ExportOutcome::CannotReplace:
        msgMain->show(QStringLiteral("Can't replace existing file. Please close any application that could be open it."),
                      MsgKind::Warning, MsgButtons::Ok);
        break;
    case ExportOutcome::Failed:
        throw FileWriteError(fileName, result.error);
    }
}
