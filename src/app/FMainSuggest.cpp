// The Suggest explorer of the main window: the phrase table, the harvest, preview and export, and
// the sorting of the three lists.
#include "app/AsyncHandler.h"
#include "app/FMain.h"
#include "app/ReportList.h"
#include "net/HttpClient.h"
#include "net/ServiceAddresses.h"
#include "suggest/FAddKeywords.h"
#include "suggest/PreviewModel.h"
#include "suggest/SuggestAnswer.h"
#include "suggest/SuggestCsv.h"
#include "suggest/SuggestFiles.h"
#include "suggest/SuggestImport.h"
#include "suggest/SuggestTableModel.h"
#include "trends/TrendTableModel.h"
#include "util/ProgramFolder.h"
#include "util/TextFile.h"

#include <QCoroTimer>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTableView>
#include <QTimer>

#include <chrono>

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
    const QString path = ProgramFile(SuggestTableFileName);
    if (!QFileInfo::exists(path))
        return;
    SuggestTableRead read = ReadSuggestTable(path);
    if (!read.error.isEmpty())
        reportUnreadable(DataFile::SuggestTable, QStringLiteral("LoadSuggestTable"), read.error);
    m_suggestTable->setRecords(std::move(read.rows));
    // The counter is written per row loaded: a file without rows leaves it as it was.
    if (m_suggestTable->rowCount() > 0)
        showSuggestCount();
}

void TfrmMain::SaveSuggestTable()
{
    saveDataFile(DataFile::SuggestTable, QStringLiteral("SaveSuggestTable"));
}

void TfrmMain::saveSuggestTableSoon()
{
    if (!m_suggestSaveTimer->isActive())
        m_suggestSaveTimer->start();
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
    if (HarvestRunning) {
        refuse(
            QStringLiteral("You can't start a new search while you are getting data. Please stop the search "
                           "or wait until process finish."));
        co_return;
    }
    StopRequested = false;
    HarvestRunning = true;
    QPointer<TfrmMain> self(this);
    // However the harvest ends, an error included, the next one may start, and a stop request ends
    // with the harvest it stopped: left raised it would refuse every later download, the hourly
    // Hot Trends scrape among them.
    {
        const auto lower = qScopeGuard([self] {
            if (!self)
                return;
            self->HarvestRunning = false;
            if (!self->m_closing)
                self->StopRequested = false;
        });
        co_await HarvestSelected();
    }
    if (!self)
        co_return;
    SaveSuggestTable();
}

void TfrmMain::btnStopClick()
{
    StopRequested = true;
    abortRequests({IdHTTP2});
    MainStatusPanel->setText(QStringLiteral("Proccess aborted by user."));
    MainGauge->setValue(0);
    // With no harvest to end it, a raised request would refuse every later download; the downloads
    // cut off here still report the abort.
    if (!HarvestRunning)
        StopRequested = false;
}

QCoro::Task<> TfrmMain::HarvestSelected()
{
    // The harvest follows its rows themselves: sorting, importing or deleting meanwhile never sends
    // a phrase's completions to another row, and a row deleted before its turn is passed over.
    const QList<SuggestTableModel::RowId> rows = m_suggestTable->idsOfRows(selectedRows(lvwSuggest));
    QPointer<TfrmMain> self(this);
    const auto hideProgress = qScopeGuard([self] {
        if (self)
            self->lblHarvestProgress->hide();
    });
    bool first = true;
    for (qsizetype turn = 0; turn < rows.size(); ++turn) {
        const SuggestTableModel::RowId id = rows[turn];
        MainGauge->setValue(0);
        if (StopRequested)
            co_return;
        if (!m_suggestTable->recordOfId(id))
            continue;
        lblHarvestProgress->setText(QStringLiteral("Phrase %1 of %2").arg(turn + 1).arg(rows.size()));
        lblHarvestProgress->show();
        if (!first) {
            MainStatusPanel->setText(QStringLiteral("Preparing suggestions of: ") +
                                     m_suggestTable->recordOfId(id)->phrase + QStringLiteral("..."));
            co_await PauseSeconds(random().bounded(8));
            if (!self || StopRequested)
                co_return;
        }
        first = false;
        const SuggestRecord* record = m_suggestTable->recordOfId(id);
        if (!record)
            continue;
        MainStatusPanel->setText(QStringLiteral("Getting suggestion of: ") + record->phrase +
                                 QStringLiteral("..."));
        showHarvestNote(id, SuggestTableModel::HarvestNote::Fetching);
        const QString pairs = co_await FetchSuggestions(record->phrase);
        if (!self)
            co_return;
        record = m_suggestTable->recordOfId(id);
        if (!record)
            continue;
        SuggestCells cells = record->cells;
        ApplySuggestions(cells, pairs);
        m_suggestTable->setCells(id, cells);
        showHarvestNote(id, harvestNoteOf(pairs), m_lastDownloadFailure);
        if (id == m_previewRowId)
            m_preview->showRecord(*m_suggestTable->recordOfId(id));
        saveSuggestTableSoon();
    }
}

SuggestTableModel::HarvestNote TfrmMain::harvestNoteOf(const QString& pairs) const
{
    using Note = SuggestTableModel::HarvestNote;
    if (m_lastDownloadFailure == QLatin1String("Stopped"))
        return Note::Stopped;
    if (!m_lastDownloadFailure.isEmpty())
        return Note::Failed;
    return pairs.isEmpty() ? Note::NoSuggestions : Note::Filled;
}

void TfrmMain::showHarvestNote(quint64 id, SuggestTableModel::HarvestNote note, const QString& detail)
{
    m_suggestTable->setHarvestNote(id, note, detail);
    // The row at work stays in sight.
    if (note == SuggestTableModel::HarvestNote::Fetching)
        lvwSuggest->scrollTo(m_suggestTable->index(int(m_suggestTable->rowOfId(id)), 0));
}

QCoro::Task<> TfrmMain::PauseSeconds(int seconds)
{
    QPointer<TfrmMain> self(this);
    for (int step = 0; step < seconds * 10 && self; ++step)
        co_await QCoro::sleepFor(std::chrono::milliseconds(100));
}

QCoro::Task<QString> TfrmMain::FetchSuggestions(QString phrase)
{
    const std::optional<QString> page = co_await DownloadPage(SuggestQueryUrl(GoogleWebHost(), phrase));
    co_return page ? SuggestPairText(*page) : QString();
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
