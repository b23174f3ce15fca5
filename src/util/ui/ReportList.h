#pragma once

#include <QStyledItemDelegate>

class ListSortState;
class QTableView;
class RowListModel;

// The report-style lists of the main window. Tables reach millions of rows: whatever is measured
// here is measured for one cell or one header section, when the user points at it.

// A cell whose text does not fit its column shows the whole text as its tooltip; one that fits
// shows none. A tooltip the model gives a cell (a note on its row) shows as well, below.
class CutTextDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    bool textFits(const QStyleOptionViewItem& cell, const QAbstractItemView* view) const;
};

// Tooltips for the cut texts of `list`, its cells and its header sections alike.
void ShowCutTextsAsToolTips(QTableView& list);

// A click on a column header of `list`: the rows are sorted by the column (see ListSortState) and
// the header shows the column and the direction at once. The sort runs in the background (see
// RowListModel); a click meanwhile supersedes it.
void SortByColumnClick(QTableView& list, ListSortState& state, int column);

// How a list shows its sorts: a busy cursor over the list while one runs (the header says which
// column is sorting); once the rows are in order, the view brings the selected row into sight (the
// current one, when it is selected), or goes to the top when nothing is selected.
class SortFeedback : public QObject {
    Q_OBJECT

public:
    SortFeedback(QTableView& list, RowListModel& model);
};
