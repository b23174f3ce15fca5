#include "app/FMain.h"

#include "app/Skin.h"

#include "app/AppIcons.h"

#include "app/ui/FOptions.h"

#include "net/HttpClient.h"
#include "net/ServiceAddresses.h"
#include "publisher/ui/OfflineHtmlView.h"
#include "publisher/ui/PublisherServices.h"
#include "suggest/SuggestFiles.h"
#include "suggest/SuggestHarvester.h"
#include "suggest/SuggestTableModel.h"
#include "suggest/ui/SuggestPage.h"
#include "trends/HotTrendsMonitor.h"
#include "trends/TrendHistory.h"
#include "trends/TrendTableModel.h"
#include "trends/ui/HotTrendsPage.h"
#include "util/AsyncHandler.h"
#include "util/CrashReporter.h"
#include "util/DataFileStore.h"
#include "util/DefaultBrowser.h"
#include "util/ProgramFolder.h"
#include "util/TextFile.h"
#include "util/ui/ClickableLabel.h"
#include "util/ui/WindowHelpers.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

#include <memory>

namespace {

// A save of the Suggest table: the worker writes a copy of the rows, which shares them until the
// table changes.
DataFileStore::Snapshot snapshotOf(const SuggestTableModel& table)
{
    return [&table] {
        return DataFileStore::Job(
            [rows = table.records()](const QString& path) { return WriteSuggestTable(path, rows); });
    };
}

} // namespace

TfrmMain::TfrmMain(Seams seams, QWidget* parent)
    : QMainWindow(parent)
    , m_seams(std::move(seams))
    , msgMain(m_seams.messages.get())
    , m_trendTable(new TrendTableModel(this))
    , m_suggestTable(new SuggestTableModel(this))
    , m_suggestFile(new DataFileStore(SuggestTableFileName, snapshotOf(*m_suggestTable), this))
    , m_monitor(new HotTrendsMonitor(
          *m_trendTable, [this](QString url, FetchStyle style) { return FetchPage(std::move(url), style); },
          *m_seams.clock, this))
    , m_history(new TrendHistory(ProgramFile(TrendHistoryFileName), this))
    , m_harvester(new SuggestHarvester(
          *m_suggestTable, *m_suggestFile,
          [this](QString url, FetchStyle style) { return FetchPage(std::move(url), style); }, *m_seams.random,
          this))
{
    m_harvester->setSaveDelay(m_seams.intervals.harvestSave);
    buildUi();
    wireHandlers();
    CrashReporter::setMessageBoxes(msgMain);
    SetDetachedTaskErrorHandler(&CrashReporter::report);
    FormCreate();
    m_placeRestored = restoreWindowPlace();
    // The monitor's ticks pass over a table that is still loading.
    tmr->start();
}

TfrmMain::~TfrmMain()
{
    CrashReporter::setMessageBoxes(nullptr);
}

const KeywordIndex& TfrmMain::KnownKeywords() const
{
    return m_trendTable->knownKeywords();
}

PreviewModel* TfrmMain::preview() const
{
    return m_suggestPage->preview();
}

// A handler is connected under its own name, which a crash report then carries.
#define HANDLER(name) Guarded(this, &TfrmMain::name, #name)
#define ASYNC_HANDLER(name) GuardedAsync(this, &TfrmMain::name, #name)

void TfrmMain::wireHandlers()
{
    // The history panel and columns are remembered in the options file, beside the Options
    // window's keys: read once here, each change written as it is made.
    const QString settingsFile = ProgramFile(OptionsFileName);
    const auto remember = [settingsFile](const QString& key, const QVariant& value) {
        // Only its line changes: the user's comments stay. A place not remembered is no loss to tell.
        if (const QString error = WriteOptionsValue(settingsFile, key, value); !error.isEmpty())
            CrashReporter::log(QStringLiteral("RememberWindowPlace"), error);
    };
    {
        const QSettings settings(settingsFile, QSettings::IniFormat);
        m_hotTrendsPage->setHistoryShown(
            settings.value(QStringLiteral("window/historyPanel"), false).toBool());
        m_hotTrendsPage->setHistoryColumnsShown(
            settings.value(QStringLiteral("window/historyColumns")).toStringList());
    }
    connect(m_hotTrendsPage, &HotTrendsPage::historyShownChanged, this,
            [remember](bool shown) { remember(QStringLiteral("window/historyPanel"), shown); });
    connect(m_hotTrendsPage, &HotTrendsPage::historyColumnsChanged, this,
            [remember](const QStringList& keys) { remember(QStringLiteral("window/historyColumns"), keys); });
    connect(m_hotTrendsPage, &HotTrendsPage::openLink, this, [this](const QUrl& url) {
        if (!m_seams.launcher->openUrl(url))
            msgMain->show(LinkNotOpenedText(url.toString()), MsgKind::Warning, MsgButtons::Ok);
    });
    connect(bsSkinButton1, &QPushButton::clicked, this, HANDLER(bsSkinButton1Click));
    connect(Restore1, &QAction::triggered, this, HANDLER(Restore1Click));
    connect(actExit1, &QAction::triggered, this, HANDLER(actExit1Click));
    connect(btnOptions, &QPushButton::clicked, this, HANDLER(btnOptionsClick));
    connect(actOptions1, &QAction::triggered, this, HANDLER(btnOptionsClick));
    connect(Timer1, &QTimer::timeout, this, ASYNC_HANDLER(Timer1Timer));
    wirePublisher();
    connect(IdHTTP2, &HttpClient::workBegin, this, &TfrmMain::IdHTTP2WorkBegin);
    connect(IdHTTP2, &HttpClient::work, this, &TfrmMain::IdHTTP2Work);
    connect(IdHTTP2, &HttpClient::workEnd, this, &TfrmMain::IdHTTP2WorkEnd);
    connect(tmr, &QTimer::timeout, this, ASYNC_HANDLER(tmrTimer));
    wireMonitor();
    wireHarvester();
    wirePages();
    for (const DataFile file : {DataFile::TrendTable, DataFile::SuggestTable}) {
        dataFile(file).setReadGate(m_seams.tableReadGate);
        connect(&dataFile(file), &DataFileStore::loadingChanged, this, &TfrmMain::showLoading);
    }
}

#undef HANDLER
#undef ASYNC_HANDLER

#define PUBLISHER_HANDLER(name) Guarded(m_publisher, &PublisherServices::name, #name)
#define PUBLISHER_ASYNC_HANDLER(name) GuardedAsync(m_publisher, &PublisherServices::name, #name)

void TfrmMain::wirePublisher()
{
    connect(btnNews, &QToolButton::clicked, this, PUBLISHER_ASYNC_HANDLER(btnNewsClick));
    connect(btnUpdate, &QToolButton::clicked, this, PUBLISHER_ASYNC_HANDLER(btnUpdateClick));
    connect(btnAbout, &QPushButton::clicked, this, PUBLISHER_HANDLER(btnAboutClick));
    connect(btnHelp, &QToolButton::clicked, this, PUBLISHER_HANDLER(btnHelpClick));
    connect(btnMakeMoney, &QPushButton::clicked, this, PUBLISHER_HANDLER(btnMakeMoneyClick));
    connect(imgBanner, &ClickableLabel::clicked, this, PUBLISHER_HANDLER(imgBannerClick));
    connect(gifBanner, &ClickableLabel::clicked, this, PUBLISHER_HANDLER(gifBannerClick));
    for (ClickableLabel* link : {lblLink1URL, lblLink2URL}) {
        connect(link, &ClickableLabel::clicked, this, [this, link] {
            CrashReporter::guard(QStringLiteral("linkLabelClick"),
                                 [&] { m_publisher->openDocumentLink(QUrl(link->url())); });
        });
    }
    connect(prfWelcome, &QTextBrowser::anchorClicked, this, PUBLISHER_HANDLER(openDocumentLink));
    // The user still confirms the close.
    connect(m_publisher, &PublisherServices::closeRequested, this, &QWidget::close);
}

#undef PUBLISHER_HANDLER
#undef PUBLISHER_ASYNC_HANDLER

QCoro::Task<> TfrmMain::Timer1Timer()
{
    Timer1->stop();
    co_await m_publisher->checkAtStartUp();
}

void TfrmMain::wirePages()
{
    connect(m_hotTrendsPage, &HotTrendsPage::statusChanged, MainStatusPanel, &QLabel::setText);
    // The counter shows the count of the page shown; each page's latest count is kept for when the
    // user turns to it, so a hidden page's change never overwrites the shown page's.
    const auto counts = std::make_shared<QHash<const QWidget*, QString>>();
    const auto takeCount = [this, counts](const QWidget* page, const QString& text) {
        counts->insert(page, text);
        if (pgcMain->currentWidget() == page)
            panSecondary->setText(text);
    };
    connect(m_hotTrendsPage, &HotTrendsPage::countChanged, this,
            [this, takeCount](const QString& text) { takeCount(m_hotTrendsPage, text); });
    connect(m_suggestPage, &SuggestPage::countChanged, this,
            [this, takeCount](const QString& text) { takeCount(m_suggestPage, text); });
    connect(pgcMain, &QTabWidget::currentChanged, this,
            [this, counts] { panSecondary->setText(counts->value(pgcMain->currentWidget())); });
    connect(m_hotTrendsPage, &HotTrendsPage::sendToSuggest, this,
            GuardedAsync(this, &TfrmMain::sendToSuggest, "sendToSuggest"));
    connect(m_suggestPage, &SuggestPage::statusChanged, MainStatusPanel, &QLabel::setText);
    connect(m_suggestPage, &SuggestPage::harvestStarting, this, [this] { StopRequested = false; });
    // However the harvest ends, an error included, a stop request ends with the harvest it stopped:
    // left raised it would refuse every later download, the hourly Hot Trends scrape among them.
    connect(m_suggestPage, &SuggestPage::harvestEnded, this, [this] {
        if (!m_closing)
            StopRequested = false;
    });
    connect(m_suggestPage, &SuggestPage::stopClicked, this, &TfrmMain::stopDownloads);
}

QCoro::Task<> TfrmMain::sendToSuggest(QStringList keywords)
{
    const QPointer<TfrmMain> self(this);
    if (co_await m_suggestPage->takePhrases(std::move(keywords)) && self)
        pgcMain->setCurrentWidget(m_suggestPage);
}

// ---- Life cycle -------------------------------------------------------------------------------

void TfrmMain::FormCreate()
{
    gifBanner->setGeometry(imgBanner->geometry());
    LoadBrandingSettings();
    describeBrandedControls();
    if (Branding.WelcomePage.isEmpty())
        Timer1->start();
    // The folder's dates are read in the locales that wrote them, this one recorded among them.
    if (const QString error = UseDataFolderLocales(ProgramFile(OptionsFileName)); !error.isEmpty())
        CrashReporter::log(QStringLiteral("RecordDataLocale"), error);
    applyOptions(ReadProgramOptions(ProgramFile(OptionsFileName)));
    // Both tables are read side by side, and come in as they did one after the other.
    m_monitor->load();
    m_suggestPage->LoadSuggestTable(m_monitor->tableFile().whenLoaded());
    // The history begins once the table is in: a new history takes the table's keywords first.
    m_monitor->tableFile().whenLoaded().then(this, [this] { m_history->open(m_trendTable->rows()); });
    m_hotTrendsPage->resetSort();
    m_suggestPage->resetSort();
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

bool TfrmMain::FormCloseQuery()
{
    const QString question =
        QStringLiteral("If you close you will stop to monitor data. Remember you can always\r\n"
                       "minimize to tray. Do you want to close your application?");
    return msgMain->show(question, MsgKind::Information, MsgButtons::OkCancel) == MsgAnswer::Ok;
}

bool TfrmMain::FormClose()
{
    rememberPlace();
    m_closing = true;
    StopRequested = true;
    m_harvester->requestStop();
    // What runs further down gives up: every request, in flight or waiting its turn, fails at once
    // and the downloads see the stop request.
    abortRequests({IdHTTP2, IdHTTP1});
    const QStringList failures = saveBeforeClosing();
    if (!failures.isEmpty() && !m_terminating) {
        const QString question =
            QStringLiteral(
                "Quillory could not save its data:\r\n\r\n%1\r\n\r\nIf you close now, what was not "
                "saved is lost. Close anyway?")
                .arg(failures.join(QStringLiteral("\r\n")));
        const bool closeAnyway =
            msgMain->show(question, MsgKind::Warning, MsgButtons::OkCancel) == MsgAnswer::Ok;
        // A logout while the question was open ends the program all the same.
        if (!closeAnyway && !m_terminating) {
            m_closing = false;
            if (!m_harvester->isRunning())
                StopRequested = false;
            return false;
        }
    }
    QCoreApplication::quit();
    return true;
}

QStringList TfrmMain::saveBeforeClosing()
{
    QStringList failures;
    for (const DataFile file : {DataFile::SuggestTable, DataFile::TrendTable, DataFile::LastParsed}) {
        // A background save under way is waited for and written over: the close ends with every
        // change on the disk. A table still loading is left alone (write()).
        if (file != DataFile::SuggestTable && !isUnsaved(file) && !dataFile(file).isSaving())
            continue;
        const QString what = dataFile(file).write();
        if (what.isEmpty())
            continue;
        failures << what;
        CrashReporter::log(QStringLiteral("FormClose"), what);
    }
    return failures;
}

void TfrmMain::closeWithoutAsking()
{
    if (m_terminating)
        return;
    m_terminating = true;
    // Every running event loop ends, an open box's among them, and none starts any more: from here
    // on nothing waits for an answer.
    QCoreApplication::exit(0);
    CrashReporter::setMessageBoxes(nullptr);
    if (!m_closing)
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

void TfrmMain::btnOptionsClick()
{
    // The service addresses are not edited there but in the file: as it holds them now, mended or not.
    ProgramOptions current = m_options;
    const ProgramOptions inFile = ReadProgramOptions(ProgramFile(OptionsFileName));
    current.endpoints = inFile.endpoints;
    current.problems = inFile.problems;
    TfrmOptions dialog(current, this);
    if (m_seams.dialogs->run(dialog) != QDialog::Accepted)
        return;
    const ProgramOptions chosen = dialog.options();
    if (const QString error = WriteProgramOptions(ProgramFile(OptionsFileName), chosen); !error.isEmpty()) {
        msgMain->show(
            QStringLiteral("The options could not be saved, so they last until Quillory closes:\r\n%1")
                .arg(error),
            MsgKind::Warning, MsgButtons::Ok);
    }
    applyOptions(chosen);
}

void TfrmMain::applyOptions(const ProgramOptions& options)
{
    m_options = options;
    SetChosenServiceAddresses(ChosenServiceAddresses(options.endpoints));
    showOptionsProblems();
    m_monitor->setSource(options.trendSource, options.geo, options.endpoints.trends);
    m_harvester->setSource(
        options.engine == SuggestEngine::Classic
            ? nullptr
            : std::shared_ptr<const SuggestSource>(MakeSuggestSource(options, GoogleWebHost())));
    const std::optional<OptionsProblem> suggestProblem = SuggestAddressProblem(options);
    m_harvester->setSourceProblem(suggestProblem ? OptionsProblemText(*suggestProblem) : QString());
    m_harvester->setPauseRange(options.pauseMin, options.pauseMax);
    m_suggestPage->setSuggestLanguage(options.language);
    m_suggestPage->setSuggestService(options.engine, MakeSuggestSource(options, GoogleWebHost())->name());
    pgcMain->setTabText(pgcMain->indexOf(m_suggestPage), m_suggestPage->caption());
    applyLook(options.theme);
}

void TfrmMain::showOptionsProblems()
{
    const QList<OptionsProblem>& problems = m_options.problems;
    lblOptionsProblem->setVisible(!problems.isEmpty());
    if (problems.isEmpty())
        return;
    QStringList texts;
    for (const OptionsProblem& problem : problems)
        texts << OptionsProblemText(problem);
    lblOptionsProblem->setText(
        problems.size() == 1
            ? texts.first()
            : tr("%1 (and %n more, see Options…)", nullptr, int(problems.size() - 1)).arg(texts.first()));
    lblOptionsProblem->setToolTip(texts.join(u'\n'));
    MainStatusPanel->setText(texts.first());
}

void TfrmMain::applyLook(LookTheme theme)
{
    const SkinTone tone = ToneOf(theme);
    // A new style sheet polishes every widget again: only when the tone changes.
    if (m_resellerSkin || m_tone == tone)
        return;
    m_tone = tone;
    ApplyBuiltInSkin(tone);
    const QColor ink = AccentColor(tone);
    btnNews->setIcon(NewsIcon(ink));
    btnUpdate->setIcon(UpdateIcon(ink));
    btnHelp->setIcon(HelpIcon(ink));
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
        if (m_placeRestored)
            keepOnScreen();
        else
            CentreOnScreen(*this);
        // Once the layout has taken the window's size: the splitters share out what they are given.
        QTimer::singleShot(0, this, &TfrmMain::restoreInnerPlace);
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
    bool closed = true;
    CrashReporter::guard(QStringLiteral("FormClose"), [&] { closed = FormClose(); });
    if (closed)
        event->accept();
    else
        event->ignore();
}

// ---- Data files -------------------------------------------------------------------------------

DataFileStore& TfrmMain::dataFile(DataFile file) const
{
    switch (file) {
    case DataFile::TrendTable:
        return m_monitor->tableFile();
    case DataFile::LastParsed:
        return m_monitor->lastParsedFile();
    case DataFile::SuggestTable:
        break;
    }
    return *m_suggestFile;
}

bool TfrmMain::isUnsaved(DataFile file) const
{
    return dataFile(file).isUnsaved();
}

bool TfrmMain::isLoading() const
{
    return m_monitor->isLoading() || m_suggestFile->isLoading();
}

void TfrmMain::showLoading()
{
    QStringList loading;
    for (const DataFile file : {DataFile::TrendTable, DataFile::SuggestTable}) {
        if (dataFile(file).isLoading())
            loading << dataFile(file).fileName();
    }
    if (!loading.isEmpty()) {
        m_loadingText = QStringLiteral("Loading %1…").arg(loading.join(QStringLiteral(" and ")));
        MainStatusPanel->setText(m_loadingText);
        // A busy gauge: how far the reading has come is not known.
        MainGauge->setRange(0, 0);
        return;
    }
    if (m_loadingText.isEmpty())
        return;
    // What something else has written meanwhile stays.
    if (MainStatusPanel->text() == m_loadingText)
        MainStatusPanel->clear();
    m_loadingText.clear();
    MainGauge->setRange(0, 100);
    MainGauge->setValue(0);
    Q_EMIT loadingFinished();
}

void TfrmMain::reportFailuresOf(DataFileStore& file, const QString& loadHandler, const QString& saveHandler)
{
    connect(&file, &DataFileStore::readFailed, this,
            [loadHandler](const QString& what) { CrashReporter::report(loadHandler, what); });
    // The user hears of a failing file once; while it keeps failing, the log alone records it. Nothing
    // was cut short: the action is done, the file on the disk whole, and the changes wait for a save.
    connect(
        &file, &DataFileStore::saveFailed, this, [this, saveHandler, &file](const QString& what, bool again) {
            if (again) {
                CrashReporter::log(saveHandler, what);
                return;
            }
            const QString kept =
                file.isUnreadable()
                    ? QString()
                    : tr("\r\n\r\nThe %1 on the disk is kept as it was. The changes stay in Quillory, which "
                         "saves them again with the next change and when it closes.")
                          .arg(file.fileName());
            CrashReporter::tell(saveHandler, what, what + kept);
        });
}
