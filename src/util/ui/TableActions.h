#pragma once

#include <QObject>

#include <functional>

class QAbstractButton;
class QMenu;
class QTableView;

// What a result list does from the keyboard and its context menu: Tab leaves the list, Ctrl+C
// copies the selected rows as tab-separated text, Delete asks to delete them (through the page's
// own "Delete Selected"), and the context menu offers Copy and the page's buttons.
class TableActions final : public QObject {
    Q_OBJECT

public:
    // `deleteButton` may be null (a list whose rows cannot be deleted); `pageButtons` are offered
    // in the context menu in their order, each doing what a click on it does.
    TableActions(QTableView* table, QAbstractButton* deleteButton, QList<QAbstractButton*> pageButtons);

    // The menu a right click opens (the caller owns it).
    QMenu* contextMenu() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void copySelectedRows() const;

    QTableView* m_table;
    QAbstractButton* m_deleteButton;
    QList<QAbstractButton*> m_pageButtons;
};

// The selected rows of a list, top to bottom, each as its shown cells joined by tabs and ended by a
// line break.
QString SelectedRowsText(const QTableView& table);
