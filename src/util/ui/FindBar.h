#pragma once

#include <QList>
#include <QWidget>

#include <utility>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QTableView;
class RowFilterModel;
class RowListModel;

// The find box of a list: what is typed there keeps only the rows with a cell that contains it,
// letter case and accents aside (see RowFilterModel, which the list shows from then on), and a
// count beside it says "n of m" while it does. Escape empties the box (a second Escape goes back to
// the list); Down or Enter go to the list. The rows selected stay selected across a new search as
// far as they still show.
class FindBar final : public QWidget {
    Q_OBJECT

public:
    // `list` shows `table` through the bar's filter from now on; the box and the count are named
    // after the list ("lvwItemsFind", "lvwItemsFindCount").
    FindBar(QTableView* list, RowListModel& table, QWidget* parent);

    QTableView* list() const { return m_list; }
    RowFilterModel* filter() const { return m_filter; }
    QLineEdit* box() const { return m_box; }
    // Whether only the rows of a needle show.
    bool isFiltering() const;
    // Empties the box: every row shows again at once.
    void clear();
    // Puts the focus in the box, its text selected.
    void focusBox();
    // The tooltips these buttons show while the rows are filtered (their own ones come back after).
    void setFilteredToolTips(const QList<std::pair<QAbstractButton*, QString>>& tips);

Q_SIGNALS:
    // Filtering began or ended.
    void filteringChanged(bool filtering);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showCount();
    void keepSelection();
    void restoreSelection();
    void showToolTips();

    QTableView* m_list;
    RowFilterModel* m_filter;
    QLineEdit* m_box;
    QLabel* m_count;
    QList<qsizetype> m_selectedTableRows; // across a new search
    qsizetype m_currentTableRow = -1;
    bool m_wasFiltering = false;
    struct ToolTip {
        QAbstractButton* button;
        QString own;
        QString filtered;
    };
    QList<ToolTip> m_toolTips;
};

// Ctrl+F on `page` puts the focus in the find box of the list that has it (or that holds the focus
// in its box), else in the first bar's box.
void AddFindShortcut(QWidget* page, const QList<FindBar*>& bars);
