#include "trends/ui/FRising.h"

#include "trends/ui/TrendHistoryPanel.h"
#include "util/ExportFile.h"
#include "util/TextFile.h"
#include "util/ui/Controls.h"
#include "util/ui/TableActions.h"

#include <QDialogButtonBox>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The place of a row's keyword in m_rising, kept in its first cell: sorting moves the rows.
constexpr int RisingIndexRole = Qt::UserRole + 1;

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

QString IsoTime(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODate) : QString();
}

QString PeakText(const RisingKeyword& row)
{
    return row.peakTraffic ? QString::number(*row.peakTraffic) : QString();
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
    lvwRising->setToolTip(tr("Double-click a keyword to go to it in the Hot Trends list"));
    layout->addWidget(lvwRising, 1);

    auto* bar = new QHBoxLayout;
    btnRisingToSuggest = MakeButton(this, "btnRisingToSuggest", tr("Send &to Suggest"), 0,
                                    tr("Adds the selected keywords to the Suggest table as phrases"));
    btnRisingExport =
        MakeButton(this, "btnRisingExport", tr("&Export Results"), 0, tr("Saves these keywords to a file"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    bar->addWidget(btnRisingToSuggest);
    bar->addWidget(btnRisingExport);
    bar->addStretch();
    bar->addWidget(buttons);
    layout->addLayout(bar);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    new TableActions(lvwRising, nullptr, {btnRisingToSuggest, btnRisingExport});

    connect(btnRisingToSuggest, &QPushButton::clicked, this, [this] {
        const QStringList keywords = selectedKeywords();
        if (keywords.isEmpty())
            return;
        Q_EMIT sendToSuggest(keywords);
        accept();
    });
    connect(btnRisingExport, &QPushButton::clicked, this, [this] { Q_EMIT exportRows(shownRows()); });
    connect(lvwRising, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        const QString keyword = m_rows->index(index.row(), KeywordColumn).data(Qt::DisplayRole).toString();
        Q_EMIT goToKeyword(keyword);
        accept();
    });
    connect(lvwRising->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmRising::enableButtons);
    enableButtons();

    auto* answer = new QFutureWatcher<QList<RisingKeyword>>(this);
    connect(answer, &QFutureWatcherBase::finished, this, [this, answer] { show(answer->result()); });
    answer->setFuture(std::move(rising));
}

QStringList TfrmRising::selectedKeywords() const
{
    QList<int> rows;
    for (const QModelIndex& index : lvwRising->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    QStringList keywords;
    for (const int row : rows)
        keywords << m_rows->index(row, KeywordColumn).data(Qt::DisplayRole).toString();
    return keywords;
}

QList<RisingKeyword> TfrmRising::shownRows() const
{
    QList<RisingKeyword> rows;
    rows.reserve(m_rows->rowCount());
    for (int row = 0; row < m_rows->rowCount(); ++row)
        rows << m_rising.at(m_rows->index(row, KeywordColumn).data(RisingIndexRole).toInt());
    return rows;
}

void TfrmRising::enableButtons()
{
    btnRisingToSuggest->setEnabled(lvwRising->selectionModel()->hasSelection());
    btnRisingExport->setEnabled(m_rows->rowCount() > 0);
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
    m_rising = rising;
    for (qsizetype at = 0; at < rising.size(); ++at) {
        const RisingKeyword& keyword = rising[at];
        QStandardItem* first = Cell(keyword.keyword, keyword.keyword.toCaseFolded());
        first->setData(int(at), RisingIndexRole);
        m_rows->appendRow(
            {first,
             Cell(QLocale().toString(keyword.firstSeen.toLocalTime(), QLocale::ShortFormat),
                  keyword.firstSeen),
             NumberCell(keyword.lastWeek), NumberCell(keyword.weekBefore),
             keyword.peakTraffic ? TrafficCell(*keyword.peakTraffic) : Cell(QString(), qint64(-1))});
    }
    // A few hundred rows at most: the columns take what their captions and cells need, whole.
    lvwRising->resizeColumnsToContents();
    FitColumnsToCaptions(lvwRising);
    enableButtons();
}

ExportResult ExportRisingKeywords(const QString& fileName, const QList<RisingKeyword>& rows,
                                  ExportFormat format)
{
    const ExportFill lines = [&rows](TextDeviceWriter& writer) {
        for (const RisingKeyword& row : rows) {
            writer.text() += row.keyword + u'|' + IsoTime(row.firstSeen) + u'|' +
                             QString::number(row.lastWeek) + u'|' + QString::number(row.weekBefore) + u'|' +
                             PeakText(row) + QLatin1String("|\r\n");
            if (!writer.flushIfFull())
                return;
        }
    };
    const ExportFill csv = [&rows, format](TextDeviceWriter& writer) {
        BeginCsv(writer.text(), format,
                 {u"Keyword", u"First seen", u"Last 7 days", u"7 days before", u"Peak traffic"});
        for (const RisingKeyword& row : rows) {
            AppendCsvRecord(writer.text(),
                            {row.keyword, IsoTime(row.firstSeen), QString::number(row.lastWeek),
                             QString::number(row.weekBefore), PeakText(row)});
            if (!writer.flushIfFull())
                return;
        }
    };
    const ExportFill json = [&rows](TextDeviceWriter& writer) {
        WriteJsonArray(writer, rows.size(), [&rows](QString& text, qsizetype at) {
            const RisingKeyword& row = rows[at];
            text += QLatin1String("{\"keyword\":");
            AppendJsonString(text, row.keyword);
            text += QLatin1String(",\"firstSeen\":");
            AppendJsonString(text, IsoTime(row.firstSeen));
            text += QLatin1String(",\"lastWeek\":") + QString::number(row.lastWeek);
            text += QLatin1String(",\"weekBefore\":") + QString::number(row.weekBefore);
            text += QLatin1String(",\"peakTraffic\":") +
                    (row.peakTraffic ? PeakText(row) : QStringLiteral("null"));
            text += u'}';
        });
    };
    return WriteExportFile(fileName, format, lines, csv, json);
}
