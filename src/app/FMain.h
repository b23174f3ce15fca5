#pragma once

#include "app/Seams.h"
#include "branding/BrandingSettings.h"
#include "net/PageFetch.h"
#include "publisher/NewsProtocol.h"
#include "suggest/SuggestTableModel.h"
#include "util/ExportFile.h"
#include "util/ListSort.h"

#include <QCoroTask>
#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <initializer_list>
#include <optional>

class ClickableLabel;
class DataFileStore;
class HotTrendsMonitor;
class HttpClient;
class PreviewModel;
class KeywordIndex;
class QAction;
class QFrame;
class QItemSelection;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QStatusBar;
class QSystemTrayIcon;
class QTabWidget;
class QTableView;
class OfflineHtmlView;
class QTimer;
class QToolButton;
class SuggestHarvester;
class TrendTableModel;

// The main window: it owns the controls, the tables, the timers and the flags, and its handlers
// hand the work to the classes of each subsystem.
class TfrmMain final : public QMainWindow {
    Q_OBJECT

public:
    explicit TfrmMain(Seams seams, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Run-time state. The downloader refuses while StopRequested is raised: by Stop while a harvest
    // runs, and by the close.
    bool StopRequested = false;
    bool SuggestBusy = false;
    QStringList NewsRecords;
    BrandingSettings Branding;
    const KeywordIndex& KnownKeywords() const;
    TrendTableModel* trendTable() const { return m_trendTable; }
    SuggestTableModel* suggestTable() const { return m_suggestTable; }
    PreviewModel* preview() const { return m_preview; }
    HotTrendsMonitor* monitor() const { return m_monitor; }
    SuggestHarvester* harvester() const { return m_harvester; }
    // The sort state of the three lists.
    ListSortState lvwItemsSort;
    ListSortState lvwSuggestSort;
    ListSortState lvwPreviewSort;

    // Status bar.
    QStatusBar* bsSkinStatusBar1 = nullptr;
    QLabel* MainStatusPanel = nullptr;
    QLabel* panSecondary = nullptr;
    QProgressBar* MainGauge = nullptr;
    // When the monitor tries again by itself after a failed scrape; hidden otherwise.
    QLabel* lblNextTry = nullptr;
    // "Phrase n of m" while a harvest runs; hidden otherwise.
    QLabel* lblHarvestProgress = nullptr;

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
    QToolButton* btnNews = nullptr;
    QToolButton* btnUpdate = nullptr;
    QToolButton* btnHelp = nullptr;
    QFrame* panBanner = nullptr;
    ClickableLabel* imgBanner = nullptr;
    ClickableLabel* gifBanner = nullptr;
    QTabWidget* pgcMain = nullptr;
    QWidget* bsSkinTabSheet1 = nullptr;
    QWidget* bsSkinTabSheet2 = nullptr;
    QFrame* panLinks = nullptr;
    ClickableLabel* lblLink1URL = nullptr;
    ClickableLabel* lblLink2URL = nullptr;

    // "Google Hot Trends" tab.
    QTableView* lvwItems = nullptr;
    QLabel* lblLastParsed = nullptr;
    QPushButton* bsSkinButton2 = nullptr; // "Scrap Now"
    QPushButton* bsSkinButton3 = nullptr; // "Export Results"
    QPushButton* btnSelectAll = nullptr;
    QPushButton* btnClearAll = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnDeleteAll = nullptr;

    // "Google Suggest" tab.
    QTableView* lvwSuggest = nullptr;
    QSplitter* bsSkinSplitter1 = nullptr;
    QTableView* lvwPreview = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnSearch = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnExport = nullptr;
    QPushButton* bsSkinButton4 = nullptr; // "Select All"
    QPushButton* bsSkinButton5 = nullptr; // "Clear Selection"
    QPushButton* bsSkinButton6 = nullptr; // "Delete Selected"
    QPushButton* bsSkinButton7 = nullptr; // "Delete All"

    QTimer* Timer1 = nullptr;
    QTimer* tmr = nullptr;
    // Two HTTP clients: IdHTTP2 serves DownloadPage and drives the gauge, IdHTTP1 the news and
    // update requests.
    HttpClient* IdHTTP1 = nullptr;
    HttpClient* IdHTTP2 = nullptr;
    QSystemTrayIcon* bsTrayIcon1 = nullptr;
    QMenu* bsSkinPopupMenu1 = nullptr;
    QAction* Restore1 = nullptr;
    QAction* actExit1 = nullptr;

    // Seams.
    MessageBoxes* msgMain = nullptr;
    SaveDialog* bsSkinSaveDialog1 = nullptr;
    Clock& clock() const { return *m_seams.clock; }
    RandomSource& random() const { return *m_seams.random; }
    Launcher& launcher() const { return *m_seams.launcher; }

    // Life cycle.
    void FormCreate();
    void LoadBrandingSettings();
    void FormShow();
    void FormResize();
    bool FormCloseQuery();
    // False when a save failed and the user chose to keep the program open.
    bool FormClose();
    void FormDestroy();
    void bsSkinButton1Click();
    // A link followed in the welcome page or a news body: web and mail addresses only.
    void openDocumentLink(const QUrl& url);
    void Restore1Click();
    void actExit1Click();
    // Ends the program as a confirmed close does, without asking and whatever is open (logout,
    // kill): every box closes, running work stops, the close saves what it saves.
    void closeWithoutAsking();
    bool isClosing() const { return m_closing; }

    // The data files. One whose last save failed stays marked unsaved: it is saved again at its
    // table's next change and at the close, which asks before it loses anything.
    enum class DataFile { TrendTable, LastParsed, SuggestTable };
    DataFileStore& dataFile(DataFile file) const;
    bool isUnsaved(DataFile file) const;

    // Hot Trends table.
    void SaveTrendTable();
    void btnSelectAllClick();
    void btnClearAllClick();
    void btnDeleteClick();
    void btnDeleteAllClick();
    void bsSkinButton3Click();

    // Publisher services.
    QCoro::Task<> Timer1Timer();
    QCoro::Task<> btnNewsClick();
    QCoro::Task<bool> RequestNewsList(NewsTier tier, QStringList& records);
    QCoro::Task<std::optional<LatestNewsAnswer>> RequestLatestNews(NewsTier tier, bool quiet);
    QCoro::Task<std::optional<QString>> RequestNewsBody(QString newsId);
    void ShowNewsAnnouncement(const QString& text);
    QCoro::Task<> CheckForUpdate(bool quiet);
    QCoro::Task<bool> DownloadToFile(QString url, QString path);
    QCoro::Task<> btnUpdateClick();
    void btnAboutClick();
    void btnHelpClick();
    void btnMakeMoneyClick();
    void imgBannerClick();
    void gifBannerClick();
    void linkLabelClick(const ClickableLabel* label);

    // Web access.
    // The page at `url` as text with CR LF line ends, or nothing when it could not be fetched or
    // the user stopped; the status bar tells which.
    QCoro::Task<std::optional<QString>> DownloadPage(QString url);
    // DownloadPage with the reason when it gives nothing: how the monitor and the harvester fetch.
    QCoro::Task<PageFetch> FetchPage(QString url);
    void IdHTTP2WorkBegin(qint64 expected);
    void IdHTTP2Work(qint64 received);
    void IdHTTP2WorkEnd();

    // Hot Trends monitor.
    QCoro::Task<> tmrTimer();
    QCoro::Task<> bsSkinButton2Click();

    // Suggest explorer.
    void LoadSuggestTable();
    void SaveSuggestTable();
    void btnAddClick();
    void bsSkinButton4Click();
    void bsSkinButton5Click();
    void bsSkinButton6Click();
    void bsSkinButton7Click();
    QCoro::Task<> btnSearchClick();
    void btnStopClick();
    void lvwSuggestSelectItem(const QItemSelection& selected);
    void btnExportClick();

    // Sorting by a click on a column header.
    void lvwItemsColumnClick(int column);
    void lvwSuggestColumnClick(int column);
    void lvwPreviewColumnClick(int column);

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildUi();
    void buildHotTrendsTab();
    void buildSuggestTab();
    void buildTray();
    // Accessible names and tooltips of the controls the branding fills, and the look of an empty
    // banner panel.
    void describeBrandedControls();
    void wireHandlers();
    void centreBanner();
    // Back to the gauge's 0 to 100 range when a body without a length has left it showing activity.
    void leaveBusyGauge();
    void showBanner(int bannerNumber);
    void showTrendCount();
    // Stop and the close: every request of `clients` ends, those waiting their turn unsent, and the
    // downloads among them report the abort.
    void abortRequests(std::initializer_list<HttpClient*> clients);
    // The save dialog, the status texts and the outcome that both exports share.
    void exportThrough(const std::function<ExportResult(const QString& fileName)>& write);
    void hideToTray();
    void wireMonitor();
    void wireHarvester();
    void showSuggestCount();
    // One post of a form to the news server; the answer's body, empty when the exchange failed.
    QCoro::Task<QByteArray> PostNews(NewsRequest request);
    void showNewsWarning(const QString& warning, bool quiet);
    // Tells the user when the file cannot be read, and when a save fails the first time; while it
    // keeps failing, the log alone records it. The handlers' names go into the reports.
    void reportFailuresOf(DataFileStore& file, const QString& loadHandler, const QString& saveHandler);
    // The close's saves: the Suggest table, and whatever else is unsaved. What failed, each in
    // a line.
    QStringList saveBeforeClosing();

    Seams m_seams;
    TrendTableModel* m_trendTable = nullptr;
    SuggestTableModel* m_suggestTable = nullptr;
    PreviewModel* m_preview = nullptr;
    DataFileStore* m_suggestFile = nullptr;
    HotTrendsMonitor* m_monitor = nullptr;
    SuggestHarvester* m_harvester = nullptr;
    // How often Stop or the close cut the downloads off: a download tells by it that it was cut off,
    // even once the stop request has been lowered again.
    quint64 m_stops = 0;
    bool m_shownOnce = false;
    bool m_closing = false;
    bool m_terminating = false;
    QString m_lastDownloadFailure;
    // The Suggest row whose pairs the preview shows (0: none), so that a harvest of it shows anew.
    quint64 m_previewRowId = 0;
};
