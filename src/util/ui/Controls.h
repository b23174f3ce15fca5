#pragma once

// The controls the windows are built of, made the same way everywhere: named for tests and
// assistive tools, with tooltips, at their design sizes.
#include <QList>
#include <QString>

#include <functional>

class MessageBoxes;
class QFrame;
class QHBoxLayout;
class QHeaderView;
class QIcon;
class QPushButton;
class QTableView;
class QToolButton;
class QWidget;
class SaveDialog;
struct ExportResult;

template <typename Widget> Widget* Named(Widget* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Every button says what it does in its tooltip; its caption names it for assistive tools. The
// design width where there is room (0: what the caption needs); in a narrow window (a large scale)
// no less than the caption needs.
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int width,
                        const QString& tip);

// A tool button that shows only a picture: the hint is its tooltip and the name said aloud.
QToolButton* MakeToolButton(QWidget* parent, const char* name, const QString& hint, const QIcon& icon);

QFrame* MakePanel(QWidget* parent, const char* name, int height, bool framed);

// A report-style list: grid lines, whole rows, several rows selectable, nothing edited in place,
// unsorted until a click on a header.
QTableView* MakeReportList(QWidget* parent, const char* name, const QString& accessibleName);

// The design widths of a list's columns; a column whose caption needs more room gets it, now and
// whenever the header's style or font changes (see FitColumnsToCaptions).
void SetColumnWidths(QTableView* list, const QList<int>& widths);
// Widens the columns whose captions do not fit (a service's other titles, a column shown again);
// no column gets narrower.
void FitColumnsToCaptions(QTableView* list);
// The width a header section needs for its caption, margins and sort indicator whole.
int CaptionWidth(const QHeaderView& header, int column);
// The column shown last, which stretches over what the list has left (-1: none shown).
int LastShownColumn(const QHeaderView& header);

// One button of a page's button bar: where it is kept, its object name, caption, design width and
// tooltip.
struct BarButton {
    QPushButton** button;
    const char* name;
    QString caption;
    int designWidth;
    QString tip;
};

// A page's bar of buttons at the right edge; the free room goes to the left. The buttons are made
// and added in their order after what `row` already holds.
QHBoxLayout* MakeButtonBar(QFrame* bar);
// A dialog's row of its two answers at the right: `ok` (the default button) and `cancel`, named
// btnOk and btnCancel.
QHBoxLayout* MakeOkCancelRow(QWidget* dialog, const QString& okText, const QString& cancelText,
                             QPushButton*& ok, QPushButton*& cancel);
void AddButtons(QFrame* bar, QHBoxLayout* row, const QList<BarButton>& buttons);

// The table's rows selected in a list (through its find box's filter, if any), top to bottom.
QList<qsizetype> SelectedRows(const QTableView& list);
