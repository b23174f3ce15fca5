#pragma once

#include "util/ListSort.h"
#include "util/ui/PageSeams.h"

#include <QCoroTask>
#include <QWidget>

class FindBar;
class HotTrendsMonitor;
class QLabel;
class QPushButton;
class QTableView;
class TableExporter;
class TrendTableModel;

// The "Google Hot Trends" page: the table of keywords the hourly scrape has seen, the time of the
// last scrape, and the buttons that scrape now, export, select and delete.
class HotTrendsPage final : public QWidget {
    Q_OBJECT

public:
    HotTrendsPage(TrendTableModel& table, HotTrendsMonitor& monitor, PageSeams seams,
                  QWidget* parent = nullptr);

    // Asks first when the hour has not passed since the last scrape.
    QCoro::Task<> bsSkinButton2Click();
    // Writes the file on a worker thread (see TableExporter).
    QCoro::Task<> bsSkinButton3Click();
    // Hands the selected keywords to the Suggest page (sendToSuggest()).
    void btnSendToSuggestClick();
    void btnSelectAllClick();
    void btnClearAllClick();
    void btnDeleteClick();
    void btnDeleteAllClick();
    void lvwItemsColumnClick(int column);
    void resetSort();

Q_SIGNALS:
    void statusChanged(const QString& text);
    // "n items", after a change of the number of keywords.
    void countChanged(const QString& text);
    // Keywords to become Suggest phrases, in table order.
    void sendToSuggest(const QStringList& keywords);

private:
    void build();
    void wireHandlers();
    void saveTable();
    void showCount();

    TrendTableModel& m_table;
    HotTrendsMonitor& m_monitor;
    PageSeams m_seams;
    ListSortState lvwItemsSort;
    TableExporter* m_exporter;

    QTableView* lvwItems = nullptr;
    FindBar* m_find = nullptr;
    QLabel* lblLastParsed = nullptr;
    QPushButton* bsSkinButton2 = nullptr; // "Scrap Now"
    QPushButton* bsSkinButton3 = nullptr; // "Export Results"
    QPushButton* btnSendToSuggest = nullptr;
    QPushButton* btnSelectAll = nullptr;
    QPushButton* btnClearAll = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnDeleteAll = nullptr;
};
