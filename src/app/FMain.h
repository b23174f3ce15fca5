#pragma once

#include "app/Seams.h"
#include "app/Skin.h"
#include "branding/BrandingSettings.h"
#include "net/PageFetch.h"
#include "util/ProgramOptions.h"

#include <QCoroTask>
#include <QMainWindow>
#include <QStringList>

#include <initializer_list>
#include <optional>

class ClickableLabel;
class DataFileStore;
class HarvestPanel;
class HotTrendsMonitor;
class TrendHistory;
class HotTrendsPage;
class KeywordIndex;
class PreviewModel;
class PublisherServices;
class HttpClient;
class QAction;
class QFrame;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QSystemTrayIcon;
class QTabWidget;
class OfflineHtmlView;
class QTimer;
class QToolButton;
class SuggestHarvester;
class SuggestPage;
class SuggestTableModel;
class TrendTableModel;

// The main window: the shell around the two pages (caption, banner, links, status bar, tray,
// timers, the close sequence) and the wiring of the pages, the hourly monitor, the harvest and the
// publisher's services to it.
class TfrmMain final : public QMainWindow {
    Q_OBJECT

public:
    explicit TfrmMain(Seams seams, QWidget* parent = nullptr);
    ~TfrmMain() override;

    const BrandingSettings& branding() const { return Branding; }
    const KeywordIndex& KnownKeywords() const;
    TrendTableModel* trendTable() const { return m_trendTable; }
    SuggestTableModel* suggestTable() const { return m_suggestTable; }
    PreviewModel* preview() const;
    HotTrendsMonitor* monitor() const { return m_monitor; }
    TrendHistory* trendHistory() const { return m_history; }
    SuggestHarvester* harvester() const { return m_harvester; }
    HotTrendsPage* hotTrendsPage() const { return m_hotTrendsPage; }
    SuggestPage* suggestPage() const { return m_suggestPage; }
    // Raised by Stop while a harvest runs, and by the close: the downloads refuse meanwhile.
    bool stopRequested() const { return StopRequested; }

    // Life cycle.
    void FormShow();
    bool FormCloseQuery();
    // False when a save failed and the user chose to keep the program open.
    bool FormClose();
    void bsSkinButton1Click();
    void Restore1Click();
    // The Options window; accepted, its choices are saved to "quillory.ini" and used from then on.
    void btnOptionsClick();
    const ProgramOptions& options() const { return m_options; }
    void actExit1Click();
    // Ends the program as a confirmed close does, without asking and whatever is open (logout,
    // kill): every box closes, running work stops, the close saves what it saves.
    void closeWithoutAsking();
    bool isClosing() const { return m_closing; }
    // A table is still being read: the window is up, and what acts on that table waits for it.
    bool isLoading() const;

    // The data files. One whose last save failed stays marked unsaved: it is saved again at its
    // table's next change and at the close, which asks before it loses anything.
    enum class DataFile { TrendTable, LastParsed, SuggestTable };
    DataFileStore& dataFile(DataFile file) const;
    bool isUnsaved(DataFile file) const;

    // The reseller's news, update check, about box and addresses.
    PublisherServices* publisher() const { return m_publisher; }
    // The start-up check of the news and the update, once.
    QCoro::Task<> Timer1Timer();

    // Web access.
    // The page at `url` as text with CR LF line ends, or nothing when it could not be fetched or
    // the user stopped; the status bar tells which.
    QCoro::Task<std::optional<QString>> DownloadPage(QString url);
    // DownloadPage with the reason when it gives nothing: how the monitor and the harvester fetch.
    QCoro::Task<PageFetch> FetchPage(QString url, FetchStyle style);

    // The hourly check of the Hot Trends monitor.
    QCoro::Task<> tmrTimer();

Q_SIGNALS:
    // Every table has been read.
    void loadingFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void LoadBrandingSettings();
    void FormResize();
    void buildUi();
    void buildStatusBar();
    void buildWelcomePage();
    void buildMainPage();
    void buildTray();
    // Accessible names and tooltips of the controls the branding fills, and the look of an empty
    // banner panel.
    void describeBrandedControls();
    void wireHandlers();
    void wireMonitor();
    void wireHarvester();
    void wirePages();
    // Hot Trends' keywords into the Suggest table; the window turns to it once they are in.
    QCoro::Task<> sendToSuggest(QStringList keywords);
    void wirePublisher();
    // "Loading dabatase.dat…" and a moving gauge while a table loads; taken back once all are in.
    void showLoading();
    void applyOptions(const ProgramOptions& options);
    // Shows in the status bar which values of the options file cannot be used (hidden when none).
    void showOptionsProblems();
    // The built-in skin in the tone of `theme` (unless a reseller's skin is in force) and the top
    // bar's icons in its accent.
    void applyLook(LookTheme theme);
    void centreBanner();
    void showBanner(int bannerNumber);
    // The size and position the window had when it was last closed, within the screen (false when
    // none are remembered), and its splitters and column widths; remembered when it closes.
    bool restoreWindowPlace();
    void keepOnScreen();
    void restoreInnerPlace();
    void rememberPlace();
    void hideToTray();
    // Stop and the close: every request of `clients` ends, those waiting their turn unsent, and the
    // downloads among them report the abort.
    void abortRequests(std::initializer_list<HttpClient*> clients);
    void stopDownloads();
    void useRequestStyle(FetchStyle style);
    // Back to the gauge's 0 to 100 range when a body without a length has left it showing activity.
    void leaveBusyGauge();
    // While a harvest runs the gauge shows its phrases, not each download.
    bool harvestOwnsGauge() const;
    void IdHTTP2WorkBegin(qint64 expected);
    void IdHTTP2Work(qint64 received);
    void IdHTTP2WorkEnd();
    // Tells the user when the file cannot be read, and when a save fails the first time; while it
    // keeps failing, the log alone records it. The handlers' names go into the reports.
    void reportFailuresOf(DataFileStore& file, const QString& loadHandler, const QString& saveHandler);
    // The close's saves: the Suggest table, and whatever else is unsaved. What failed, each in
    // a line.
    QStringList saveBeforeClosing();

    Clock& clock() const { return *m_seams.clock; }
    RandomSource& random() const { return *m_seams.random; }
    Launcher& launcher() const { return *m_seams.launcher; }

    Seams m_seams;
    MessageBoxes* msgMain = nullptr;
    BrandingSettings Branding;
    ProgramOptions m_options;
    bool m_resellerSkin = false;    // the branding brought a skin of its own
    std::optional<SkinTone> m_tone; // the tone of the built-in skin in force
    bool StopRequested = false;

    TrendTableModel* m_trendTable = nullptr;
    SuggestTableModel* m_suggestTable = nullptr;
    DataFileStore* m_suggestFile = nullptr;
    HotTrendsMonitor* m_monitor = nullptr;
    TrendHistory* m_history = nullptr;
    SuggestHarvester* m_harvester = nullptr;
    PublisherServices* m_publisher = nullptr;

    // Status bar.
    QStatusBar* bsSkinStatusBar1 = nullptr;
    QLabel* MainStatusPanel = nullptr;
    QLabel* panSecondary = nullptr;
    QProgressBar* MainGauge = nullptr;
    // When the monitor tries again by itself after a failed scrape; hidden otherwise.
    QLabel* lblNextTry = nullptr;
    // "Phrase n of m" while a harvest runs; hidden otherwise.
    QLabel* lblHarvestProgress = nullptr;
    HarvestPanel* m_harvestPanel = nullptr;
    // A value of the options file that cannot be used, and so a service that is asked nothing; hidden
    // while there is none.
    QLabel* lblOptionsProblem = nullptr;

    // The two pages: welcome and main.
    QStackedWidget* pgcPrinc = nullptr;
    QWidget* stsWelcome = nullptr;
    OfflineHtmlView* prfWelcome = nullptr;
    QFrame* bsSkinPanel14 = nullptr;
    QPushButton* bsSkinButton1 = nullptr;
    QWidget* stsMain = nullptr;

    // Main page: top bar, banner, tabs, links.
    QFrame* bsSkinPanel1 = nullptr;
    QPushButton* btnMakeMoney = nullptr;
    QPushButton* btnAbout = nullptr;
    QPushButton* btnOptions = nullptr;
    QToolButton* btnNews = nullptr;
    QToolButton* btnUpdate = nullptr;
    QToolButton* btnHelp = nullptr;
    QFrame* panBanner = nullptr;
    ClickableLabel* imgBanner = nullptr;
    ClickableLabel* gifBanner = nullptr;
    QTabWidget* pgcMain = nullptr;
    HotTrendsPage* m_hotTrendsPage = nullptr; // bsSkinTabSheet1
    SuggestPage* m_suggestPage = nullptr;     // bsSkinTabSheet2
    QFrame* panLinks = nullptr;
    ClickableLabel* lblLink1URL = nullptr;
    ClickableLabel* lblLink2URL = nullptr;

    QTimer* Timer1 = nullptr;
    QTimer* tmr = nullptr;
    // Two HTTP clients: IdHTTP2 serves DownloadPage and drives the gauge, IdHTTP1 the news and
    // update requests.
    HttpClient* IdHTTP1 = nullptr;
    HttpClient* IdHTTP2 = nullptr;
    QSystemTrayIcon* bsTrayIcon1 = nullptr;
    QMenu* bsSkinPopupMenu1 = nullptr;
    QAction* Restore1 = nullptr;
    QAction* actOptions1 = nullptr;
    QAction* actExit1 = nullptr;

    // How often Stop or the close cut the downloads off: a download tells by it that it was cut off,
    // even once the stop request has been lowered again.
    quint64 m_stops = 0;
    int m_downloadsUnderWay = 0;
    // The status text of the tables' loading, while it shows.
    QString m_loadingText;
    bool m_shownOnce = false;
    bool m_placeRestored = false;
    bool m_closing = false;
    bool m_terminating = false;
};
