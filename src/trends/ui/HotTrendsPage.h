#pragma once

#include "trends/TrendLedger.h"
#include "util/ListSort.h"
#include "util/ui/PageSeams.h"

#include <QCoroTask>
#include <QWidget>

class FindBar;
class QComboBox;
class HotTrendsMonitor;
class QLabel;
class QPushButton;
class QTableView;
class QMenu;
class QSplitter;
class TableExporter;
class TrendHistory;
class TrendHistoryPanel;
class TrendTableModel;

// The "Google Hot Trends" page: the table of keywords the hourly scrape has seen, the time of the
// last scrape, and the buttons that scrape now, export, select and delete.
class HotTrendsPage final : public QWidget {
    Q_OBJECT

public:
    // Without `history`, the page has no history panel.
    HotTrendsPage(TrendTableModel& table, HotTrendsMonitor& monitor, PageSeams seams,
                  QWidget* parent = nullptr, TrendHistory* history = nullptr);

    // Asks first when the hour has not passed since the last scrape.
    QCoro::Task<> bsSkinButton2Click();
    // Writes the file on a worker thread (see TableExporter).
    QCoro::Task<> bsSkinButton3Click();
    // More keywords than this at once are sent only after a Yes.
    static constexpr qsizetype LargeSendToSuggest = 10000;

    // Hands the selected keywords to the Suggest page (sendToSuggest()).
    // The keywords are read on a worker: a million of them take most of a second.
    QCoro::Task<> btnSendToSuggestClick();
    void btnSelectAllClick();
    void btnClearAllClick();
    void btnDeleteClick();
    void btnDeleteAllClick();
    void lvwItemsColumnClick(int column);
    void resetSort();
    // The keywords on the rise, from the history.
    void btnRisingClick();
    // Selects the keyword's row and scrolls to it (the find box emptied when it hides it); false,
    // with a status text, when the list does not hold it.
    bool goToKeyword(const QString& keyword);
    // Narrows the list to the keywords seen trending in the chosen country and time window (from
    // the history, off the window's thread); factsFilterApplied() follows.
    void applyFactsFilter();
    bool isFactsFilterOn() const;
    // The list's columns from the history of trends ("firstSeen", "peakTraffic", "countries"),
    // hidden until the user shows them from the header's menu.
    void setHistoryColumnsShown(const QStringList& keys);
    QStringList historyColumnsShown() const;
    // The header's menu: a check for each history column.
    QMenu* historyColumnMenu();
    // The panel with the history of the keyword the user is at, beside the list.
    void setHistoryShown(bool shown);
    bool isHistoryShown() const;

Q_SIGNALS:
    void statusChanged(const QString& text);
    // "n items", after a change of the number of keywords.
    void countChanged(const QString& text);
    // Keywords to become Suggest phrases, in table order.
    void sendToSuggest(const QStringList& keywords);
    void historyShownChanged(bool shown);
    void historyColumnsChanged(const QStringList& keys);
    // The list took the country and time window chosen over (its rows follow once found).
    void factsFilterApplied();
    // A news link of the history panel was clicked (http or https).
    void openLink(const QUrl& url);

private:
    void build();
    void wireHandlers();
    void saveTable();
    void showCount();
    // Asks the history for the keyword of the list's current row; the panel shows it when it comes.
    void showHistoryOfCurrent();
    void setHistoryColumnShown(int column, bool shown);
    // Asks the history for the summaries of these keywords (case-folded; all when empty) for the
    // history columns.
    void loadKeywordSummaries(const QStringList& foldedKeywords);
    QCoro::Task<> exportRising(QList<RisingKeyword> rows);
    // Fills the country filter with the countries of the history.
    void loadCountries();

    TrendTableModel& m_table;
    HotTrendsMonitor& m_monitor;
    PageSeams m_seams;
    ListSortState lvwItemsSort;
    TableExporter* m_exporter;
    TrendHistory* m_history;
    quint64 m_historyAsked = 0; // the newest question: older answers are dropped
    quint64 m_factsAsked = 0;

    QTableView* lvwItems = nullptr;
    FindBar* m_find = nullptr;
    QSplitter* splHotTrends = nullptr;
    TrendHistoryPanel* m_historyPanel = nullptr;
    QPushButton* btnHistory = nullptr;
    QPushButton* btnRising = nullptr;
    QComboBox* cmbTrendCountry = nullptr;
    QComboBox* cmbTrendWindow = nullptr;
    QLabel* lblLastParsed = nullptr;
    QPushButton* bsSkinButton2 = nullptr; // "Scrap Now"
    QPushButton* bsSkinButton3 = nullptr; // "Export Results"
    QPushButton* btnSendToSuggest = nullptr;
    QPushButton* btnSelectAll = nullptr;
    QPushButton* btnClearAll = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnDeleteAll = nullptr;
};
