#include "util/ui/Controls.h"

#include "util/EventHook.h"
#include "util/ExportFile.h"
#include "util/MessageBoxes.h"
#include "util/ProgramFolder.h"
#include "util/RowFilterModel.h"
#include "util/TextFile.h"
#include "util/ui/CaptionButton.h"
#include "util/ui/DialogSeams.h"
#include "util/ui/ReportList.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QStyleOptionHeader>
#include <QTableView>
#include <QToolButton>

#include <algorithm>

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int width,
                        const QString& tip)
{
    auto* result = Named(new CaptionButton(caption, width, parent), name);
    result->setFixedHeight(25);
    result->setAutoDefault(false);
    // The caption marks its key letter ("&Scrap Now": Alt+S); the name said aloud has no mark.
    result->setAccessibleName(QString(caption).remove(u'&'));
    result->setToolTip(tip);
    return result;
}

QToolButton* MakeToolButton(QWidget* parent, const char* name, const QString& hint, const QIcon& icon)
{
    auto* result = Named(new QToolButton(parent), name);
    result->setToolTip(hint);
    result->setAccessibleName(hint);
    result->setIcon(icon);
    result->setIconSize(QSize(24, 24));
    result->setFixedSize(41, 34);
    result->setAutoRaise(true);
    return result;
}

QFrame* MakePanel(QWidget* parent, const char* name, int height, bool framed)
{
    auto* result = Named(new QFrame(parent), name);
    result->setFixedHeight(height);
    result->setFrameShape(framed ? QFrame::StyledPanel : QFrame::NoFrame);
    return result;
}

QTableView* MakeReportList(QWidget* parent, const char* name, const QString& accessibleName)
{
    auto* list = Named(new QTableView(parent), name);
    list->setAccessibleName(accessibleName);
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setWordWrap(false);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    list->verticalHeader()->hide();
    list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    list->verticalHeader()->setDefaultSectionSize(22);
    QHeaderView* header = list->horizontalHeader();
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The captions are bold (the skin draws them so): measured bold too, a caption that does not
    // fit is cut with "…" where it ends, never in the middle of a letter.
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    header->setTextElideMode(Qt::ElideRight);
    // The last column takes what the window has to spare.
    header->setStretchLastSection(true);
    // The lists start unsorted; a click on a header shows its column and direction.
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    ShowCutTextsAsToolTips(*list);
    return list;
}

namespace {

// Set once the list's header is watched for new styles and fonts.
const char FitsCaptionsProperty[] = "quilloryFitsCaptions";

} // namespace

void SetColumnWidths(QTableView* list, const QList<int>& widths)
{
    const bool hooked = list->property(FitsCaptionsProperty).toBool();
    list->setProperty(FitsCaptionsProperty, true);
    for (int column = 0; column < widths.size(); ++column)
        list->setColumnWidth(column, widths[column]);
    FitColumnsToCaptions(list);
    if (hooked)
        return;
    // A new style or font (the skin, a larger scale) measures the captions anew.
    QHeaderView* header = list->horizontalHeader();
    for (const QEvent::Type type : {QEvent::StyleChange, QEvent::FontChange, QEvent::Polish}) {
        HookEvent(header, type, [list](QEvent*) {
            QMetaObject::invokeMethod(
                list, [list] { FitColumnsToCaptions(list); }, Qt::QueuedConnection);
            return false;
        });
    }
}

void FitColumnsToCaptions(QTableView* list)
{
    const QHeaderView* header = list->horizontalHeader();
    // The last column shown stretches over what is left anyway; widened past the list, its
    // right-aligned figures would be out of sight.
    const int lastShown = LastShownColumn(*header);
    for (int column = 0; column < header->count(); ++column) {
        if (column == lastShown || list->isColumnHidden(column))
            continue;
        const int needed = CaptionWidth(*header, column);
        if (list->columnWidth(column) < needed)
            list->setColumnWidth(column, needed);
    }
}

int LastShownColumn(const QHeaderView& header)
{
    for (int visual = header.count() - 1; visual >= 0; --visual) {
        if (!header.isSectionHidden(header.logicalIndex(visual)))
            return header.logicalIndex(visual);
    }
    return -1;
}

int CaptionWidth(const QHeaderView& header, int column)
{
    const QAbstractItemModel* model = header.model();
    if (!model)
        return 0;
    QStyleOptionHeader option;
    option.initFrom(&header);
    option.section = column;
    option.text = model->headerData(column, Qt::Horizontal).toString();
    option.fontMetrics = header.fontMetrics();
    const QSize text(option.fontMetrics.horizontalAdvance(option.text), option.fontMetrics.height());
    QSize size = header.style()->sizeFromContents(QStyle::CT_HeaderSection, &option, text, &header);
    // Room for the sort indicator, which the header shows on any column clicked.
    size.rwidth() += header.style()->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, &header);
    return size.width();
}

QHBoxLayout* MakeOkCancelRow(QWidget* dialog, const QString& okText, const QString& cancelText,
                             QPushButton*& ok, QPushButton*& cancel)
{
    ok = new QPushButton(okText, dialog);
    ok->setObjectName(QStringLiteral("btnOk"));
    ok->setDefault(true);
    cancel = new QPushButton(cancelText, dialog);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

QHBoxLayout* MakeButtonBar(QFrame* bar)
{
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(7, 8, 7, 8);
    layout->setSpacing(3);
    return layout;
}

void AddButtons(QFrame* bar, QHBoxLayout* row, const QList<BarButton>& buttons)
{
    for (const BarButton& entry : buttons) {
        *entry.button = MakeButton(bar, entry.name, entry.caption, entry.designWidth, entry.tip);
        row->addWidget(*entry.button);
    }
}

QList<qsizetype> SelectedRows(const QTableView& list)
{
    // A filtered list keeps the table's order: its rows map to the table's in the same order.
    const auto* filter = qobject_cast<const RowFilterModel*>(list.model());
    QList<qsizetype> rows;
    for (const QItemSelectionRange& range : list.selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(filter ? filter->tableRow(row) : row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}
