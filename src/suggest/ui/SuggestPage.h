#pragma once

#include "suggest/PhraseDigging.h"
#include "suggest/SuggestTableModel.h"
#include "util/ListSort.h"
#include "util/ProgramOptions.h"
#include "util/ui/PageSeams.h"

#include <QCoroTask>
#include <QFuture>
#include <QScopeGuard>
#include <QWidget>

class AllSuggestionsModel;
class DataFileStore;
class FindBar;
class PreviewModel;
class QItemSelection;
class QLabel;
class TableExporter;
class QPushButton;
class QSplitter;
class QTableView;
class SuggestHarvester;

// The "Google Suggest" page: the phrases and their suggestions, the suggestions of the selected
// phrase beside them, and the buttons that add phrases, harvest, stop, export, select and delete.
class SuggestPage final : public QWidget {
    Q_OBJECT

public:
    SuggestPage(SuggestTableModel& table, DataFileStore& tableFile, SuggestHarvester& harvester,
                PageSeams seams, QWidget* parent = nullptr);

    PreviewModel* preview() const { return m_preview; }

    // While the table changes in bulk the preview keeps what it shows.
    bool isBusy() const { return m_busy; }
    // Raises the flag until the returned guard goes.
    [[nodiscard]] auto markBusy()
    {
        auto restore = qScopeGuard([this, wasBusy = m_busy] { m_busy = wasBusy; });
        m_busy = true;
        return restore;
    }

    // Reads the table on a worker thread; the rows come in once `after` has finished.
    void LoadSuggestTable(QFuture<void> after = {});
    void SaveSuggestTable();
    void btnAddClick();
    // Grows the selected phrases into new ones (see ExpandPhrase), added as the add dialog adds;
    // deeper, harvests the new phrases and adds their suggestions as phrases in turn.
    QCoro::Task<> btnExpandClick();
    // Adds the harvested suggestions of the selected rows as new phrases.
    void btnAddSuggestionsClick();
    // Adds `phrases` as the add dialog adds them and selects their rows (new or already there);
    // false, with a status text, while the table is still loading. The matching runs on a worker
    // (a million phrases take seconds); the rows join the table at once when it is done.
    QCoro::Task<bool> takePhrases(QStringList phrases);
    // The language the Suggest service answers in: the expansion's words follow it.
    void setSuggestLanguage(const QString& language) { m_language = language; }
    // The service chosen and its name ("Bing"): the page's caption, the titles of the figure
    // columns (hidden where the service gives no figure) and the service of "All suggestions".
    void setSuggestService(SuggestEngine engine, const QString& name);
    // "Google Suggest" for Google's services, else "Suggest — Bing" and so on.
    QString caption() const;
    // The "All suggestions" view in place of the phrases and the preview.
    void setAllSuggestionsShown(bool shown);
    bool isAllSuggestionsShown() const;
    AllSuggestionsModel* allSuggestions() const { return m_allSuggestions; }
    QCoro::Task<> btnSearchClick();
    void btnStopClick();
    // Whether the window has downloads under way (the hourly scrape's too): Stop ends them.
    void setDownloadsUnderWay(bool underWay);
    // Writes the file on a worker thread (see TableExporter).
    QCoro::Task<> btnExportClick();
    void bsSkinButton4Click();
    void bsSkinButton5Click();
    void bsSkinButton6Click();
    void bsSkinButton7Click();
    void lvwSuggestSelectItem(const QItemSelection& selected);
    // The preview shows the current row of the list as shown, or nothing with a word why.
    void showPreviewOfCurrent();
    void lvwSuggestColumnClick(int column);
    void lvwPreviewColumnClick(int column);
    void resetSort();
    // Where quillory.ini keeps the words whose suggestions Expand leaves out, and those words.
    static inline const QString ExcludedWordsKey = QStringLiteral("Suggest/ExcludedWords");
    static QStringList ReadExcludedWords();
    // What a dig did, level by level: how many phrases of each were harvested and how many remain.
    static QString DigOutcomeText(const DigOutcome& outcome, int depth, qsizetype limit);

Q_SIGNALS:
    void statusChanged(const QString& text);
    // "All suggestions" holds the table as it is now.
    void allSuggestionsBuilt();
    // "n keywords", after a change of the number of phrases.
    void countChanged(const QString& text);
    // A harvest is about to start, and has ended however it ended: the window's downloads are
    // stopped only while it runs.
    void harvestStarting();
    void harvestEnded();
    // Stop was pressed: the downloads under way are to be cut off.
    void stopClicked();

private:
    void build();
    void wireHandlers();
    void showCount();
    void showFigureColumns();
    // Builds "All suggestions" anew on a worker thread once the table changed, while it shows.
    void allSuggestionsOutdated();
    void buildAllSuggestions();

    SuggestTableModel& m_table;
    DataFileStore& m_tableFile;
    SuggestHarvester& m_harvester;
    PageSeams m_seams;
    PreviewModel* m_preview;
    TableExporter* m_exporter;
    QString m_language = QStringLiteral("en");
    SuggestEngine m_engine = SuggestEngine::Google;
    QString m_serviceName = QStringLiteral("Google");
    AllSuggestionsModel* m_allSuggestions = nullptr;
    bool m_allSuggestionsOutdated = true;
    bool m_allSuggestionsBuilding = false;
    bool m_digStopped = false; // Stop, or a refusal, during a deeper expansion
    bool m_digging = false;    // an expansion with a depth runs, between its harvests too
    bool m_tableGone = false;
    bool m_downloading = false;
    QString m_searchToolTip;
    QString m_stopToolTip;
    // Why Get Suggestions cannot act now (empty when it can), in the program's own words.
    QString whySearchCannotAct() const;
    void updateHarvestButtons();
    // Selects these rows (the find box shows every row), neighbours as one range.
    void selectRows(const QList<SuggestTableModel::RowId>& ids);

    // Adds `lines` as the add dialog adds them, at most `limit` of them.
    PhrasesAdded addPhrases(const QStringList& lines, qsizetype limit);
    bool m_busy = false;
    // The row whose pairs the preview shows (0: none), so that a harvest of it shows anew.
    SuggestTableModel::RowId m_previewRowId = 0;
    ListSortState lvwSuggestSort;
    ListSortState lvwPreviewSort;

    QTableView* lvwSuggest = nullptr;
    FindBar* m_find = nullptr;
    FindBar* m_previewFind = nullptr;
    QSplitter* bsSkinSplitter1 = nullptr;
    QTableView* lvwPreview = nullptr;
    QLabel* lblPreviewNote = nullptr;
    QPushButton* btnAllSuggestions = nullptr;
    QTableView* lvwAllSuggestions = nullptr;
    FindBar* m_allFind = nullptr;
    QWidget* panAllSuggestions = nullptr;
    ListSortState lvwAllSuggestionsSort;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnExpand = nullptr;
    QPushButton* btnAddSuggestions = nullptr;
    QPushButton* btnSearch = nullptr;
    QPushButton* btnStop = nullptr;
    QPushButton* btnExport = nullptr;
    QPushButton* bsSkinButton4 = nullptr; // "Select All"
    QPushButton* bsSkinButton5 = nullptr; // "Clear Selection"
    QPushButton* bsSkinButton6 = nullptr; // "Delete Selected"
    QPushButton* bsSkinButton7 = nullptr; // "Delete All"
};
