// The Suggest explorer of the main window: the phrase table, the harvest, preview and export, and
// the sorting of the three lists.
#include "app/AsyncHandler.h"
#include "app/FMain.h"
#include "app/ReportList.h"
#include "net/HttpClient.h"
#include "suggest/FAddKeywords.h"
#include "suggest/PreviewModel.h"
#include "suggest/SuggestCsv.h"
#include "suggest/SuggestFiles.h"
#include "suggest/SuggestHarvester.h"
#include "suggest/SuggestImport.h"
#include "suggest/SuggestTableModel.h"
#include "trends/TrendTableModel.h"
#include "util/DataFileStore.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTableView>

namespace {

// Bulk work on the Suggest table: the preview keeps what it shows meanwhile.
auto markBusy(bool& busy)
{
    busy = true;
    return qScopeGuard([&busy] { busy = false; });
}

QList<qsizetype> selectedRows(const QTableView* list)
{
    QList<qsizetype> rows;
    for (const QItemSelectionRange& range : list->selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

} // namespace

void TfrmMain::showSuggestCount()
{
    panSecondary->setText(QString::number(m_suggestTable->rowCount()) + QStringLiteral(" keywords"));
}

void TfrmMain::LoadSuggestTable()
{
    const auto busy = markBusy(SuggestBusy);
    std::optional<SuggestRows> rows = m_suggestFile->load(&ReadSuggestTable);
    if (!rows)
        return;
    m_suggestTable->setRecords(std::move(*rows));
    // The counter is written per row loaded: a file without rows leaves it as it was.
    if (m_suggestTable->rowCount() > 0)
        showSuggestCount();
}

void TfrmMain::SaveSuggestTable()
{
    m_suggestFile->save();
}

void TfrmMain::btnAddClick()
{
    TfrmAddKeywords dialog(*msgMain, this);
    if (m_seams.dialogs->run(dialog) != QDialog::Accepted)
        return;
    MainStatusPanel->setText(QStringLiteral("Importing items..."));
    {
        const auto busy = markBusy(SuggestBusy);
        ImportPhrases(*m_suggestTable, dialog.lines());
        showSuggestCount();
    }
    MainStatusPanel->setText(QStringLiteral("Process finished!"));
    SaveSuggestTable();
}

void TfrmMain::bsSkinButton4Click()
{
    const auto busy = markBusy(SuggestBusy);
    lvwSuggest->selectAll();
}

void TfrmMain::bsSkinButton5Click()
{
    const auto busy = markBusy(SuggestBusy);
    lvwSuggest->clearSelection();
}

void TfrmMain::bsSkinButton6Click()
{
    if (msgMain->show(QStringLiteral("Are you sure to delete selected items?"), MsgKind::Warning,
                      MsgButtons::OkCancel) != MsgAnswer::Ok)
        return;
    {
        const auto busy = markBusy(SuggestBusy);
        m_suggestTable->removeRowList(selectedRows(lvwSuggest));
        m_preview->clear();
        m_previewRowId = 0;
        showSuggestCount();
    }
    SaveSuggestTable();
}

void TfrmMain::bsSkinButton7Click()
{
    if (msgMain->show(QStringLiteral("Are you sure to delete all?"), MsgKind::Warning,
                      MsgButtons::OkCancel) != MsgAnswer::Ok)
        return;
    {
        const auto busy = markBusy(SuggestBusy);
        m_suggestTable->clear();
        showSuggestCount();
    }
    SaveSuggestTable();
}

QCoro::Task<> TfrmMain::btnSearchClick()
{
    const auto refuse = [this](const QString& text) {
        msgMain->show(text, MsgKind::Information, MsgButtons::Ok);
    };
    if (m_suggestTable->rowCount() == 0) {
        refuse(QStringLiteral("You  first need add some keywords to gather data."));
        co_return;
    }
    if (!lvwSuggest->selectionModel()->hasSelection()) {
        refuse(QStringLiteral("You need to select at least one keyword to gather data."));
        co_return;
    }
    if (m_harvester->isRunning()) {
        refuse(
            QStringLiteral("You can't start a new search while you are getting data. Please stop the search "
                           "or wait until process finish."));
        co_return;
    }
    StopRequested = false;
    QPointer<TfrmMain> self(this);
    // However the harvest ends, an error included, a stop request ends with the harvest it stopped:
    // left raised it would refuse every later download, the hourly Hot Trends scrape among them.
    const auto lower = qScopeGuard([self] {
        if (self && !self->m_closing)
            self->StopRequested = false;
    });
    co_await m_harvester->harvest(m_suggestTable->idsOfRows(selectedRows(lvwSuggest)));
}

void TfrmMain::btnStopClick()
{
    StopRequested = true;
    m_harvester->requestStop();
    abortRequests({IdHTTP2});
    MainStatusPanel->setText(QStringLiteral("Proccess aborted by user."));
    MainGauge->setValue(0);
    // With no harvest to end it, a raised request would refuse every later download; the downloads
    // cut off here still report the abort.
    if (!m_harvester->isRunning())
        StopRequested = false;
}

void TfrmMain::wireHarvester()
{
    connect(m_harvester, &SuggestHarvester::statusChanged, MainStatusPanel, &QLabel::setText);
    connect(m_harvester, &SuggestHarvester::gaugeReset, this, [this] { MainGauge->setValue(0); });
    connect(m_harvester, &SuggestHarvester::progressTextChanged, this, [this](const QString& text) {
        if (text.isEmpty()) {
            lblHarvestProgress->hide();
            return;
        }
        lblHarvestProgress->setText(text);
        lblHarvestProgress->show();
    });
    // The row at work stays in sight.
    connect(m_harvester, &SuggestHarvester::rowFetching, this, [this](SuggestTableModel::RowId id) {
        lvwSuggest->scrollTo(m_suggestTable->index(int(m_suggestTable->rowOfId(id)), 0));
    });
    // The preview shows a harvested row anew without another click.
    connect(m_harvester, &SuggestHarvester::rowFilled, this, [this](SuggestTableModel::RowId id) {
        if (id == m_previewRowId)
            m_preview->showRecord(*m_suggestTable->recordOfId(id));
    });
}

void TfrmMain::lvwSuggestSelectItem(const QItemSelection& selected)
{
    if (SuggestBusy || selected.isEmpty())
        return;
    // Of the rows that became selected together, the preview shows the one the user acted on.
    const QModelIndex current = lvwSuggest->selectionModel()->currentIndex();
    const int row = selected.contains(current) ? current.row() : selected.last().bottom();
    m_preview->showRecord(m_suggestTable->record(row));
    m_previewRowId = m_suggestTable->idOfRow(row);
}

void TfrmMain::btnExportClick()
{
    exportThrough(
        [this](const QString& fileName) { return WriteSuggestCsv(fileName, m_suggestTable->records()); });
}

void TfrmMain::lvwItemsColumnClick(int column)
{
    SortByColumnClick(*lvwItems, lvwItemsSort, column);
}

void TfrmMain::lvwSuggestColumnClick(int column)
{
    SortByColumnClick(*lvwSuggest, lvwSuggestSort, column);
}

void TfrmMain::lvwPreviewColumnClick(int column)
{
    SortByColumnClick(*lvwPreview, lvwPreviewSort, column);
}
