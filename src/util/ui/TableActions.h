#pragma once

#include <QObject>

#include <functional>

class QAbstractButton;
class QMenu;
class QTableView;

// What a result list does from the keyboard and its context menu: Tab leaves the list, Ctrl+C
// copies the selected rows as tab-separated text, Delete asks to delete them (through the page's
// own "Delete Selected"), and the context menu offers Copy and the page's buttons. The menu opens
// on a right click, and from the keyboard with the Menu key or Shift+F10 (at the current row).
class TableActions final : public QObject {
    Q_OBJECT

public:
    // `deleteButton` may be null (a list whose rows cannot be deleted); `pageButtons` are offered
    // in the context menu in their order, each doing what a click on it does.
    TableActions(QTableView* table, QAbstractButton* deleteButton, QList<QAbstractButton*> pageButtons);

    // The menu a right click opens (the caller owns it).
    QMenu* contextMenu() const;
    // Offers the header's column menu in the row menu too ("Columns…"), so that it is reachable
    // without a mouse. `make` returns a new menu each time.
    void setColumnMenu(std::function<QMenu*()> make) { m_columnMenu = std::move(make); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void copySelectedRows() const;
    void popupMenu(const QPoint& globalPos) const;
    // Where a menu asked for from the keyboard opens: under the current cell when it shows, else at
    // the list's top left.
    QPoint keyboardMenuPos() const;

    QTableView* m_table;
    QAbstractButton* m_deleteButton;
    QList<QAbstractButton*> m_pageButtons;
    std::function<QMenu*()> m_columnMenu;
};

// The selected rows of a list, top to bottom, each as its shown cells joined by tabs and ended by a
// line break.
QString SelectedRowsText(const QTableView& table);
