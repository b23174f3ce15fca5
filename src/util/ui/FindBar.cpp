#include "util/ui/FindBar.h"

#include "util/RowFilterModel.h"
#include "util/RowListModel.h"
#include "util/ui/Controls.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QShortcut>
#include <QTableView>

FindBar::FindBar(QTableView* list, RowListModel& table, QWidget* parent)
    : QWidget(parent)
    , m_list(list)
    , m_filter(new RowFilterModel(table, list))
    , m_box(new QLineEdit(this))
    , m_count(new QLabel(this))
{
    setObjectName(list->objectName() + QStringLiteral("FindBar"));
    list->setModel(m_filter);
    // The column header asks the selection, for each column it paints, whether every row of the
    // column is selected: a walk over the rows of each selected range, on every paint. The lists
    // select whole rows, never a column, so the header gets a selection of its own that stays empty.
    list->horizontalHeader()->setSelectionModel(new QItemSelectionModel(m_filter, list->horizontalHeader()));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    m_box->setObjectName(list->objectName() + QStringLiteral("Find"));
    m_box->setPlaceholderText(tr("Find (Ctrl+F)"));
    m_box->setClearButtonEnabled(true);
    m_box->setAccessibleName(tr("Find in %1").arg(list->accessibleName()));
    m_box->setToolTip(tr("Shows only the rows that contain this text, letter case and accents aside"));
    m_box->setFixedWidth(220);
    m_box->installEventFilter(this);
    m_count->setObjectName(list->objectName() + QStringLiteral("FindCount"));
    row->addWidget(m_box);
    row->addWidget(m_count);
    // From the box, Tab goes on to the rows it finds.
    QWidget::setTabOrder(m_box, list);

    connect(m_box, &QLineEdit::textChanged, m_filter, &RowFilterModel::setNeedle);
    connect(m_filter, &RowFilterModel::filterAboutToChange, this, &FindBar::keepSelection);
    connect(m_filter, &RowFilterModel::filterChanged, this, &FindBar::restoreSelection);
    for (const QAbstractItemModel* model :
         {static_cast<const QAbstractItemModel*>(m_filter), static_cast<const QAbstractItemModel*>(&table)}) {
        connect(model, &QAbstractItemModel::rowsInserted, this, &FindBar::showCount);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &FindBar::showCount);
        connect(model, &QAbstractItemModel::modelReset, this, &FindBar::showCount);
    }
    connect(m_filter, &RowFilterModel::searchingChanged, this, &FindBar::showCount);
}

bool FindBar::isFiltering() const
{
    return m_filter->isFiltering();
}

void FindBar::clear()
{
    m_box->clear();
}

void FindBar::focusBox()
{
    m_box->setFocus(Qt::ShortcutFocusReason);
    m_box->selectAll();
}

void FindBar::setFilteredToolTips(const QList<std::pair<QAbstractButton*, QString>>& tips)
{
    m_toolTips.clear();
    for (const auto& [button, filtered] : tips)
        m_toolTips.append({button, button->toolTip(), filtered});
    showToolTips();
}

void FindBar::showToolTips()
{
    for (const ToolTip& tip : std::as_const(m_toolTips))
        tip.button->setToolTip(isFiltering() ? tip.filtered : tip.own);
}

void FindBar::showCount()
{
    if (m_filter->isSearching()) {
        m_count->setText(tr("searching…"));
    } else if (!isFiltering()) {
        m_count->clear();
    } else {
        const QLocale locale;
        m_count->setText(tr("%1 of %2")
                             .arg(locale.toString(m_filter->rowCount()))
                             .arg(locale.toString(m_filter->table().rowCount())));
    }
}

void FindBar::keepSelection()
{
    m_selectedTableRows = SelectedRows(*m_list);
    const QModelIndex current = m_list->selectionModel()->currentIndex();
    m_currentTableRow = current.isValid() ? m_filter->tableRow(current.row()) : -1;
}

void FindBar::restoreSelection()
{
    const auto shownRow = [this](qsizetype tableRow) {
        return m_filter->mapFromSource(m_filter->table().index(int(tableRow), 0)).row();
    };
    // The selected rows that still show, as runs of neighbouring rows.
    QItemSelection selection;
    const int lastColumn = m_filter->columnCount() - 1;
    int runFirst = -1;
    int runLast = -1;
    const auto endRun = [&] {
        if (runFirst >= 0)
            selection.select(m_filter->index(runFirst, 0), m_filter->index(runLast, lastColumn));
    };
    for (const qsizetype tableRow : std::as_const(m_selectedTableRows)) {
        const int row = shownRow(tableRow);
        if (row < 0)
            continue;
        if (row != runLast + 1 || runFirst < 0) {
            endRun();
            runFirst = row;
        }
        runLast = row;
    }
    endRun();
    m_selectedTableRows = {};
    QItemSelectionModel* model = m_list->selectionModel();
    model->select(selection, QItemSelectionModel::ClearAndSelect);
    const int current = m_currentTableRow >= 0 ? shownRow(m_currentTableRow) : -1;
    if (current >= 0)
        model->setCurrentIndex(m_filter->index(current, 0), QItemSelectionModel::NoUpdate);
    if (current >= 0)
        m_list->scrollTo(m_filter->index(current, 0));
    else if (!selection.isEmpty())
        m_list->scrollTo(selection.first().topLeft());
    else
        m_list->scrollToTop();

    showCount();
    if (isFiltering() != m_wasFiltering) {
        m_wasFiltering = isFiltering();
        showToolTips();
        Q_EMIT filteringChanged(m_wasFiltering);
    }
}

bool FindBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_box || event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Escape && !m_box->text().isEmpty()) {
        clear();
        return true;
    }
    if (key != Qt::Key_Escape && key != Qt::Key_Down && key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    // To the rows found: the first of them is at hand, selected, when none is current yet. Asked
    // before the focus moves: the list makes its first row current, unselected, as it gets the focus.
    const bool noneCurrent = !m_list->currentIndex().isValid();
    m_list->setFocus(Qt::OtherFocusReason);
    if (key != Qt::Key_Escape && noneCurrent && m_filter->rowCount() > 0)
        m_list->selectionModel()->setCurrentIndex(m_filter->index(0, 0), QItemSelectionModel::ClearAndSelect |
                                                                             QItemSelectionModel::Rows);
    return true;
}

void AddFindShortcut(QWidget* page, const QList<FindBar*>& bars)
{
    auto* shortcut = new QShortcut(QKeySequence::Find, page);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(shortcut, &QShortcut::activated, page, [bars] {
        const QWidget* focus = QApplication::focusWidget();
        for (FindBar* bar : bars) {
            if (focus && (bar->isAncestorOf(focus) || focus == bar->list()))
                return bar->focusBox();
        }
        bars.first()->focusBox();
    });
}
