#include "util/ui/TableActions.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QTableView>

#include <algorithm>
#include <utility>

TableActions::TableActions(QTableView* table, QAbstractButton* deleteButton,
                           QList<QAbstractButton*> pageButtons)
    : QObject(table)
    , m_table(table)
    , m_deleteButton(deleteButton)
    , m_pageButtons(std::move(pageButtons))
{
    // Tab goes on to the buttons under the list instead of from cell to cell.
    table->setTabKeyNavigation(false);
    table->setContextMenuPolicy(Qt::DefaultContextMenu);
    table->installEventFilter(this);
    table->viewport()->installEventFilter(this);
}

QMenu* TableActions::contextMenu() const
{
    auto* menu = new QMenu(m_table);
    menu->setObjectName(m_table->objectName() + QStringLiteral("Menu"));
    QAction* copy = menu->addAction(tr("Copy"), this, &TableActions::copySelectedRows);
    copy->setShortcut(QKeySequence::Copy);
    copy->setEnabled(m_table->selectionModel()->hasSelection());
    if (!m_pageButtons.isEmpty())
        menu->addSeparator();
    for (QAbstractButton* button : m_pageButtons) {
        QAction* action = menu->addAction(button->text(), button, &QAbstractButton::click);
        action->setEnabled(button->isEnabled());
        if (button == m_deleteButton)
            action->setShortcut(QKeySequence::Delete);
    }
    if (m_columnMenu) {
        QMenu* columns = m_columnMenu();
        columns->setParent(menu, columns->windowFlags());
        columns->setTitle(tr("Columns…"));
        menu->addSeparator();
        menu->addMenu(columns);
    }
    return menu;
}

void TableActions::popupMenu(const QPoint& globalPos) const
{
    QMenu* menu = contextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

QPoint TableActions::keyboardMenuPos() const
{
    const QRect cell = m_table->visualRect(m_table->currentIndex());
    const QRect shown = m_table->viewport()->rect();
    const QPoint at = cell.isValid() && shown.intersects(cell) ? cell.bottomLeft() : shown.topLeft();
    return m_table->viewport()->mapToGlobal(at);
}

bool TableActions::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ContextMenu && watched == m_table->viewport()) {
        popupMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    if (watched != m_table)
        return false;
    // The platform may turn the Menu key into a context menu event of the list itself.
    if (event->type() == QEvent::ContextMenu) {
        popupMenu(keyboardMenuPos());
        return true;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        const bool menuKey = key->key() == Qt::Key_Menu && modifiers == Qt::NoModifier;
        const bool shiftF10 = key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier;
        if (menuKey || shiftF10) {
            popupMenu(keyboardMenuPos());
            return true;
        }
    }
    // The list's own handling of these keys (copying one cell) is replaced, and no shortcut of the
    // window takes them from it.
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool copy = key->matches(QKeySequence::Copy);
        const bool remove = m_deleteButton && key->matches(QKeySequence::Delete);
        if (!copy && !remove)
            return false;
        event->accept();
        if (event->type() == QEvent::KeyPress) {
            if (copy)
                copySelectedRows();
            else if (m_deleteButton->isEnabled())
                m_deleteButton->click();
        }
        return true;
    }
    return false;
}

void TableActions::copySelectedRows() const
{
    QApplication::clipboard()->setText(SelectedRowsText(*m_table));
}

QString SelectedRowsText(const QTableView& table)
{
    QList<int> rows;
    for (const QItemSelectionRange& range : table.selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

    const QAbstractItemModel& model = *table.model();
    const int columns = model.columnCount();
    QString text;
    for (const int row : rows) {
        bool first = true;
        for (int column = 0; column < columns; ++column) {
            if (table.isColumnHidden(column))
                continue;
            if (!std::exchange(first, false))
                text += u'\t';
            text += model.index(row, column).data().toString();
        }
        text += u'\n';
    }
    return text;
}
