#include "trends/ui/FRising.h"

#include "trends/ui/TrendHistoryPanel.h"
#include "util/ui/Controls.h"

#include <QDialogButtonBox>
#include <QFutureWatcher>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// A cell that shows `shown` and sorts by `value`.
QStandardItem* Cell(const QString& shown, const QVariant& value)
{
    auto* cell = new QStandardItem(shown);
    cell->setData(value, Qt::UserRole);
    cell->setEditable(false);
    return cell;
}

QStandardItem* NumberCell(qint64 number)
{
    QStandardItem* cell = Cell(QLocale().toString(number), number);
    cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return cell;
}

// Traffic as the other views show it ("20,000+"), sorted by its number.
QStandardItem* TrafficCell(qint64 lowerBound)
{
    QStandardItem* cell = Cell(TrafficText(lowerBound), lowerBound);
    cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return cell;
}

} // namespace

TfrmRising::TfrmRising(QFuture<QList<RisingKeyword>> rising, QWidget* parent)
    : QDialog(parent)
    , m_rows(new QStandardItemModel(0, 5, this))
{
    setObjectName(QStringLiteral("frmRising"));
    setWindowTitle(tr("Rising Keywords"));
    resize(640, 420);
    auto* layout = new QVBoxLayout(this);
    lblRising = Named(new QLabel(tr("Looking through the history of trends…"), this), "lblRising");
    lblRising->setWordWrap(true);
    layout->addWidget(lblRising);

    m_rows->setHorizontalHeaderLabels(
        {tr("Keyword"), tr("First seen"), tr("Last 7 days"), tr("7 days before"), tr("Peak traffic")});
    m_rows->setSortRole(Qt::UserRole);
    lvwRising = MakeReportList(this, "lvwRising", tr("Rising keywords"));
    lvwRising->setModel(m_rows);
    lvwRising->setSortingEnabled(true);
    lvwRising->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    SetColumnWidths(lvwRising, {200, 130, 90, 100, 90});
    layout->addWidget(lvwRising, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    auto* answer = new QFutureWatcher<QList<RisingKeyword>>(this);
    connect(answer, &QFutureWatcherBase::finished, this, [this, answer] { show(answer->result()); });
    answer->setFuture(std::move(rising));
}

void TfrmRising::show(const QList<RisingKeyword>& rising)
{
    const QString count = rising.size() == 1 ? tr("1 keyword") : tr("%1 keywords").arg(rising.size());
    lblRising->setText(
        rising.isEmpty() ? tr("No keyword is on the rise: none was first seen in the last day or seen more "
                              "in the last seven days than in the seven before.")
                         : tr("%1 first seen in the last day or seen more in the last seven days than in the "
                              "seven before, the biggest traffic first:")
                               .arg(count));
    for (const RisingKeyword& keyword : rising) {
        m_rows->appendRow(
            {Cell(keyword.keyword, keyword.keyword.toCaseFolded()),
             Cell(QLocale().toString(keyword.firstSeen.toLocalTime(), QLocale::ShortFormat),
                  keyword.firstSeen),
             NumberCell(keyword.lastWeek), NumberCell(keyword.weekBefore),
             keyword.peakTraffic ? TrafficCell(*keyword.peakTraffic) : Cell(QString(), qint64(-1))});
    }
    // A few hundred rows at most: the columns take what their captions and cells need, whole.
    lvwRising->resizeColumnsToContents();
    FitColumnsToCaptions(lvwRising);
}
