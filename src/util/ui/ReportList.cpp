#include "util/ui/ReportList.h"

#include "util/EventHook.h"
#include "util/ListSort.h"
#include "util/RowFilterModel.h"
#include "util/RowListModel.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QStyle>
#include <QTableView>
#include <QToolTip>

#include <algorithm>

namespace {

// The tooltip of a header section: its caption when the section is narrower than the caption needs,
// and what the column holds where the model says.
bool showHeaderToolTip(const QHeaderView& header, const QHelpEvent& event)
{
    const int section = header.logicalIndexAt(event.pos());
    QStringList lines;
    if (section >= 0 && header.sectionSize(section) < header.sectionSizeHint(section))
        lines << header.model()->headerData(section, header.orientation()).toString();
    if (section >= 0) {
        if (const QString note =
                header.model()->headerData(section, header.orientation(), Qt::ToolTipRole).toString();
            !note.isEmpty())
            lines << note;
    }
    if (lines.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event.globalPos(), lines.join(u'\n'), header.viewport());
    return true;
}

int firstSelectedRow(const QItemSelectionModel& selection)
{
    const QModelIndex current = selection.currentIndex();
    if (current.isValid() && selection.isSelected(current))
        return current.row();
    const QItemSelection ranges = selection.selection();
    if (ranges.isEmpty())
        return -1;
    return std::min_element(ranges.cbegin(), ranges.cend(),
                            [](const auto& a, const auto& b) { return a.top() < b.top(); })
        ->top();
}

} // namespace

bool CutTextDelegate::textFits(const QStyleOptionViewItem& cell, const QAbstractItemView* view) const
{
    const QStyle* style = view->style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, view);
    // The style keeps this much free on either side of a cell's text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    return cell.fontMetrics.horizontalAdvance(cell.text) <= textRect.width() - 2 * margin;
}

bool CutTextDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QStyleOptionViewItem cell = option;
    initStyleOption(&cell, index);
    QStringList lines;
    if (!cell.text.isEmpty() && !textFits(cell, view))
        lines << cell.text;
    if (const QString note = index.data(Qt::ToolTipRole).toString(); !note.isEmpty())
        lines << note;
    if (lines.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPos(), lines.join(u'\n'), view->viewport(), option.rect);
    return true;
}

void ShowCutTextsAsToolTips(QTableView& list)
{
    list.setItemDelegate(new CutTextDelegate(&list));
    QHeaderView* header = list.horizontalHeader();
    HookEvent(header->viewport(), QEvent::ToolTip, [header](QEvent* event) {
        return showHeaderToolTip(*header, *static_cast<QHelpEvent*>(event));
    });
}

SortFeedback::SortFeedback(QTableView& list, RowListModel& model)
    : QObject(&list)
{
    connect(&model, &RowListModel::sortStarted, this, [&list] { list.setCursor(Qt::BusyCursor); });
    connect(&model, &RowListModel::sortFinished, this, [&list](int column) {
        list.unsetCursor();
        const int row = firstSelectedRow(*list.selectionModel());
        if (row < 0)
            list.scrollToTop();
        else
            list.scrollTo(list.model()->index(row, column));
    });
}

void SortByColumnClick(QTableView& list, ListSortState& state, int column)
{
    RowListModel* model = TableBehind(list.model());
    if (!model)
        return;
    if (!list.findChild<SortFeedback*>(QString(), Qt::FindDirectChildrenOnly))
        new SortFeedback(list, *model);
    state.click(column);
    list.horizontalHeader()->setSortIndicator(state.column(), state.order());
    model->sort(state.column(), state.order());
}
