#include "trends/ui/HotTrendsPage.h"

#include "trends/HotTrendsMonitor.h"
#include "trends/TrendExport.h"
#include "trends/TrendHistory.h"
#include "trends/TrendTableModel.h"
#include "trends/ui/FRising.h"
#include "trends/ui/TrendHistoryPanel.h"
#include "util/AsyncHandler.h"
#include "util/CrashReporter.h"
#include "util/DataFileStore.h"
#include "util/DetachedTask.h"
#include "util/MessageBoxes.h"
#include "util/RowFilterModel.h"
#include "util/ui/Controls.h"
#include "util/ui/DialogSeams.h"
#include "util/ui/ElidedLabel.h"
#include "util/ui/FindBar.h"
#include "util/ui/ReportList.h"
#include "util/ui/TableActions.h"
#include "util/ui/TableExporter.h"
#include "util/ui/TableLoadHold.h"

#include <QComboBox>
#include <QCoroFuture>
#include <QFrame>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrentRun>

HotTrendsPage::HotTrendsPage(TrendTableModel& table, HotTrendsMonitor& monitor, PageSeams seams,
                             QWidget* parent, TrendHistory* history)
    : QWidget(parent)
    , m_table(table)
    , m_monitor(monitor)
    , m_seams(seams)
    , m_exporter(new TableExporter(
          seams.saveDialog, seams.messages, [this](const QString& text) { Q_EMIT statusChanged(text); },
          this))
    , m_history(history)
{
    build();
    wireHandlers();
}

void HotTrendsPage::build()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Above the list, its find box and what works on the keywords as research: the bottom row
    // keeps its room for the last-scrape time.
    auto* research = MakePanel(this, "panHotTrendsResearch", 30, false);
    lvwItems = MakeReportList(this, "lvwItems", QStringLiteral("Hot Trends keywords"));
    m_find = new FindBar(lvwItems, m_table, research);
    // The columns on demand are hidden first: the last column shown stretches, and is not widened
    // to its caption.
    for (int column = TrendTableModel::FirstHistoryColumn; column < TrendTableModel::ColumnCount; ++column)
        lvwItems->setColumnHidden(column, true);
    SetColumnWidths(lvwItems, {200, 190, 240, 150, 90, 120, 150, 110});

    auto* researchRow = new QHBoxLayout(research);
    researchRow->setContentsMargins(4, 2, 4, 2);
    researchRow->addWidget(m_find);
    if (m_history) {
        // The feed's facts narrow the list: where and how lately a keyword was trending.
        cmbTrendCountry = Named(new QComboBox(research), "cmbTrendCountry");
        cmbTrendCountry->setAccessibleName(tr("Country"));
        cmbTrendCountry->setToolTip(tr("Shows only the keywords seen trending in this country"));
        cmbTrendCountry->addItem(tr("All countries"), QString());
        cmbTrendWindow = Named(new QComboBox(research), "cmbTrendWindow");
        cmbTrendWindow->setAccessibleName(tr("Time window"));
        cmbTrendWindow->setToolTip(tr("Shows only the keywords seen trending within this time"));
        cmbTrendWindow->addItem(tr("Any time"), 0);
        cmbTrendWindow->addItem(tr("Last 4 hours"), 4);
        cmbTrendWindow->addItem(tr("Last 24 hours"), 24);
        cmbTrendWindow->addItem(tr("Last 48 hours"), 48);
        cmbTrendWindow->addItem(tr("Last 7 days"), 7 * 24);
        researchRow->addWidget(cmbTrendCountry);
        researchRow->addWidget(cmbTrendWindow);
    }
    researchRow->addStretch();
    if (m_history) {
        btnHistory =
            MakeButton(research, "btnHistory", QStringLiteral("&History"), 0,
                       QStringLiteral("Shows beside the list when the keyword you are at was seen, how big "
                                      "it was, where, and its news"));
        btnHistory->setCheckable(true);
        researchRow->addWidget(btnHistory);
        btnRising =
            MakeButton(research, "btnRising", QStringLiteral("&Rising…"), 0,
                       QStringLiteral("Lists the keywords first seen in the last day or seen more this week "
                                      "than the week before"));
        researchRow->addWidget(btnRising);
    }
    btnSendToSuggest =
        MakeButton(research, "btnSendToSuggest", QStringLiteral("Send &to Suggest"), 0,
                   QStringLiteral("Adds the selected keywords to the Suggest table as phrases"));
    researchRow->addWidget(btnSendToSuggest);

    auto* bar = MakePanel(this, "panHotTrendsButtons", 45, true);
    auto* buttons = MakeButtonBar(bar);
    lblLastParsed = Named(new ElidedLabel(QStringLiteral("Last scrapped on:"), bar), "lblLastParsed");
    buttons->addWidget(lblLastParsed, 1);
    // The row shares its width with the last-scrape label: these buttons ask only for what their
    // captions need (no design width), so that the label shows whole at the window's design size.
    AddButtons(bar, buttons,
               {{&bsSkinButton2, "bsSkinButton2", QStringLiteral("&Scrap Now"), 0,
                 QStringLiteral("Reads the Hot Trends feed now rather than at the next hour")},
                {&bsSkinButton3, "bsSkinButton3", QStringLiteral("&Export Results"), 0,
                 QStringLiteral("Saves the Hot Trends table to a CSV file")},
                {&btnSelectAll, "btnSelectAll", QStringLiteral("Select &All"), 0,
                 QStringLiteral("Selects every keyword of the table")},
                {&btnClearAll, "btnClearAll", QStringLiteral("&Clear Selection"), 0,
                 QStringLiteral("Unselects every keyword")},
                {&btnDelete, "btnDelete", QStringLiteral("&Delete Selected"), 0,
                 QStringLiteral("Deletes the selected keywords")},
                {&btnDeleteAll, "btnDeleteAll", QStringLiteral("Delete A&ll"), 0,
                 QStringLiteral("Deletes every keyword of the table")}});

    splHotTrends = Named(new QSplitter(Qt::Horizontal, this), "splHotTrends");
    splHotTrends->setChildrenCollapsible(false);
    splHotTrends->addWidget(lvwItems);
    if (m_history) {
        m_historyPanel = new TrendHistoryPanel(splHotTrends);
        splHotTrends->addWidget(m_historyPanel);
        splHotTrends->setStretchFactor(0, 1);
        m_historyPanel->hide();
    }
    layout->addWidget(research);
    layout->addWidget(splHotTrends, 1);
    layout->addWidget(bar);

    m_find->setFilteredToolTips(
        {{bsSkinButton3, tr("Saves the keywords the find box shows to a CSV file")},
         {btnSelectAll, tr("Selects every keyword the find box shows")},
         {btnDelete, tr("Deletes the selected keywords; those the find box hides stay")},
         {btnDeleteAll, tr("Deletes every keyword of the table, those the find box hides too")}});
    AddFindShortcut(this, {m_find});
}

// A handler is connected under its own name, which a crash report then carries.
#define HANDLER(name) Guarded(this, &HotTrendsPage::name, #name)

void HotTrendsPage::wireHandlers()
{
    connect(bsSkinButton2, &QPushButton::clicked, this,
            GuardedAsync(this, &HotTrendsPage::bsSkinButton2Click, "bsSkinButton2Click"));
    connect(bsSkinButton3, &QPushButton::clicked, this,
            GuardedAsync(this, &HotTrendsPage::bsSkinButton3Click, "bsSkinButton3Click"));
    connect(btnSendToSuggest, &QPushButton::clicked, this,
            GuardedAsync(this, &HotTrendsPage::btnSendToSuggestClick, "btnSendToSuggestClick"));
    if (m_history) {
        connect(btnHistory, &QPushButton::toggled, this, HANDLER(setHistoryShown));
        connect(btnRising, &QPushButton::clicked, this, HANDLER(btnRisingClick));
        QHeaderView* header = lvwItems->horizontalHeader();
        header->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(header, &QHeaderView::customContextMenuRequested, this, [this, header](const QPoint& at) {
            QMenu* menu = historyColumnMenu();
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(header->mapToGlobal(at));
        });
        // The scraped keywords' summaries anew, after the history has them (see below); all of
        // them while the feed's status shows, since a keyword the scrape left out has ended.
        connect(
            &m_monitor, &HotTrendsMonitor::sightingsSaved, this,
            [this](const QDateTime&, LedgerSource, const QList<LedgerSighting>& sightings) {
                loadCountries();
                if (isFactsFilterOn())
                    applyFactsFilter();
                if (!m_table.hasKeywordSummaries())
                    return;
                if (!lvwItems->isColumnHidden(TrendTableModel::StatusColumn)) {
                    loadKeywordSummaries({});
                    return;
                }
                QStringList keywords;
                for (const LedgerSighting& sighting : sightings)
                    keywords << sighting.keyword.toCaseFolded();
                keywords.removeDuplicates();
                loadKeywordSummaries(keywords);
            },
            Qt::QueuedConnection);
        connect(lvwItems->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                HANDLER(showHistoryOfCurrent));
        // Unselected (Clear Selection, Ctrl+click), the current row is no longer the one shown.
        connect(lvwItems->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this](const QItemSelection& selected, const QItemSelection& deselected) {
                    const QModelIndex current = lvwItems->currentIndex();
                    if (selected.contains(current) || deselected.contains(current))
                        showHistoryOfCurrent();
                });
        // The find box resets the list without a word to the selection: the panel asks anew.
        const RowFilterModel* shown = m_find->filter();
        connect(shown, &RowFilterModel::filterChanged, this, HANDLER(showHistoryOfCurrent));
        connect(shown, &QAbstractItemModel::modelReset, this, HANDLER(showHistoryOfCurrent));
        connect(shown, &QAbstractItemModel::rowsRemoved, this, HANDLER(showHistoryOfCurrent));
        connect(m_historyPanel, &TrendHistoryPanel::spanChanged, this, HANDLER(showHistoryOfCurrent));
        connect(m_historyPanel, &TrendHistoryPanel::newsLinkActivated, this, &HotTrendsPage::openLink);
        for (QComboBox* facts : {cmbTrendCountry, cmbTrendWindow})
            connect(facts, &QComboBox::currentIndexChanged, this, HANDLER(applyFactsFilter));
        loadCountries();
        // After the history has the scrape: its job follows the scrape's in the history's queue.
        connect(&m_monitor, &HotTrendsMonitor::sightingsSaved, this, HANDLER(showHistoryOfCurrent),
                Qt::QueuedConnection);
    }
    connect(btnSelectAll, &QPushButton::clicked, this, HANDLER(btnSelectAllClick));
    connect(btnClearAll, &QPushButton::clicked, this, HANDLER(btnClearAllClick));
    connect(btnDelete, &QPushButton::clicked, this, HANDLER(btnDeleteClick));
    connect(btnDeleteAll, &QPushButton::clicked, this, HANDLER(btnDeleteAllClick));
    connect(lvwItems->horizontalHeader(), &QHeaderView::sectionClicked, this, HANDLER(lvwItemsColumnClick));
    connect(&m_monitor, &HotTrendsMonitor::lastScrapeTextChanged, lblLastParsed, &QLabel::setText);
    connect(&m_monitor, &HotTrendsMonitor::rowCountChanged, this, &HotTrendsPage::showCount);
    auto* actions = new TableActions(
        lvwItems, btnDelete,
        {bsSkinButton2, bsSkinButton3, btnSendToSuggest, btnSelectAll, btnClearAll, btnDelete, btnDeleteAll});
    if (m_history)
        actions->setColumnMenu([this] { return historyColumnMenu(); });
    new TableLoadHold(m_monitor.tableFile(),
                      {lvwItems, bsSkinButton2, bsSkinButton3, btnSendToSuggest, btnSelectAll, btnClearAll,
                       btnDelete, btnDeleteAll},
                      this);
}

#undef HANDLER

QCoro::Task<> HotTrendsPage::bsSkinButton2Click()
{
    if (!m_monitor.hourPassed()) {
        // "scrap" and "distorsioned": the program's words of old, kept on purpose.
        const QString warning =
            QStringLiteral("Sorry it's not recommended that you scrap until 1 hour was elapsed.\r\n"
                           "If you force it the values can be distorsioned.\r\n"
                           "Are you sure to scrap now?");
        if (m_seams.messages.show(warning, MsgKind::Warning, MsgButtons::OkCancel) != MsgAnswer::Ok)
            co_return;
    }
    co_await m_monitor.scrape();
}

QCoro::Task<> HotTrendsPage::bsSkinButton3Click()
{
    // With the find box in use, what it shows.
    const RowFilterModel& shown = *m_find->filter();
    TrendRows rows = shown.isFiltering() ? RowsAt(m_table.rows(), shown.shownTableRows()) : m_table.rows();
    // A named function, not a temporary of the co_await: GCC 12 copies a lambda's captures in such
    // a temporary without their copy constructors.
    // A JSON export carries the history columns shown.
    TrendHistoryFields history{m_table.historyCells(), {}};
    for (int column = TrendTableModel::FirstHistoryColumn; column < TrendTableModel::ColumnCount; ++column) {
        if (!lvwItems->isColumnHidden(column))
            history.columns << column;
    }
    TableExporter::Write write =
        [rows = std::move(rows), history = std::move(history)](const QString& fileName, ExportFormat format) {
            return ExportTrendTable(fileName, rows, format, history);
        };
    co_await m_exporter->exportWith(std::move(write));
}

QCoro::Task<> HotTrendsPage::btnSendToSuggestClick()
{
    const QList<qsizetype> rows = SelectedRows(*lvwItems);
    if (rows.isEmpty()) {
        m_seams.messages.show(tr("Please select the keywords to send first."), MsgKind::Information,
                              MsgButtons::Ok);
        co_return;
    }
    // A big send fills the Suggest list for good: one look before it goes.
    if (rows.size() > LargeSendToSuggest &&
        m_seams.messages.show(tr("Send %1 keywords to Suggest?").arg(QLocale().toString(rows.size())),
                              MsgKind::Information, MsgButtons::YesNo) != MsgAnswer::Ok)
        co_return;
    const QPointer<HotTrendsPage> self(this);
    // The future is named: a lambda with captures inside a co_await expression is destroyed twice
    // by some compilers.
    QFuture<QStringList> reading = QtConcurrent::run([table = m_table.rows(), rows] {
        QStringList keywords;
        keywords.reserve(rows.size());
        for (const qsizetype row : rows)
            keywords << table.keyword(row).toString();
        return keywords;
    });
    const QStringList keywords = co_await reading;
    if (self)
        Q_EMIT sendToSuggest(keywords);
}

void HotTrendsPage::btnSelectAllClick()
{
    lvwItems->selectAll();
}

void HotTrendsPage::btnClearAllClick()
{
    lvwItems->clearSelection();
}

void HotTrendsPage::btnDeleteClick()
{
    if (m_seams.messages.show(QStringLiteral("Are you sure to delete selected items?"), MsgKind::Warning,
                              MsgButtons::OkCancel) != MsgAnswer::Ok)
        return;
    // The selection is read after the answer: the table may have changed while the box was open.
    m_table.removeRowList(SelectedRows(*lvwItems));
    showCount();
    saveTable();
}

void HotTrendsPage::btnDeleteAllClick()
{
    if (m_seams.messages.show(QStringLiteral("Are you sure to delete all?"), MsgKind::Warning,
                              MsgButtons::OkCancel) != MsgAnswer::Ok)
        return;
    m_table.clear();
    showCount();
    saveTable();
}

void HotTrendsPage::lvwItemsColumnClick(int column)
{
    SortByColumnClick(*lvwItems, lvwItemsSort, column);
}

void HotTrendsPage::resetSort()
{
    lvwItemsSort.reset();
}

namespace {

// The history columns and their keys in the options file.
const std::pair<int, const char*> HistoryColumnKeys[] = {{TrendTableModel::FirstSeenColumn, "firstSeen"},
                                                         {TrendTableModel::PeakTrafficColumn, "peakTraffic"},
                                                         {TrendTableModel::CountriesColumn, "countries"},
                                                         {TrendTableModel::StartedColumn, "started"},
                                                         {TrendTableModel::StatusColumn, "status"}};

} // namespace

void HotTrendsPage::setHistoryColumnsShown(const QStringList& keys)
{
    for (const auto& [column, key] : HistoryColumnKeys)
        setHistoryColumnShown(column, keys.contains(QLatin1String(key)));
}

QStringList HotTrendsPage::historyColumnsShown() const
{
    QStringList keys;
    for (const auto& [column, key] : HistoryColumnKeys) {
        if (!lvwItems->isColumnHidden(column))
            keys << QLatin1String(key);
    }
    return keys;
}

QMenu* HotTrendsPage::historyColumnMenu()
{
    auto* menu = new QMenu(lvwItems->horizontalHeader());
    menu->setObjectName(QStringLiteral("lvwItemsColumnsMenu"));
    for (const auto& [column, key] : HistoryColumnKeys) {
        QAction* action = menu->addAction(m_table.headerData(column, Qt::Horizontal).toString());
        action->setCheckable(true);
        action->setChecked(!lvwItems->isColumnHidden(column));
        connect(action, &QAction::toggled, this,
                [this, column = column](bool shown) { setHistoryColumnShown(column, shown); });
    }
    return menu;
}

void HotTrendsPage::setHistoryColumnShown(int column, bool shown)
{
    if (!m_history || lvwItems->isColumnHidden(column) == !shown)
        return;
    lvwItems->setColumnHidden(column, !shown);
    if (shown && !m_table.hasKeywordSummaries())
        loadKeywordSummaries({});
    Q_EMIT historyColumnsChanged(historyColumnsShown());
}

void HotTrendsPage::loadKeywordSummaries(const QStringList& foldedKeywords)
{
    auto* answer = new QFutureWatcher<QHash<QString, KeywordSummary>>(this);
    connect(answer, &QFutureWatcherBase::finished, this, [this, answer, all = foldedKeywords.isEmpty()] {
        answer->deleteLater();
        if (all)
            m_table.setKeywordSummaries(answer->result());
        else
            m_table.updateKeywordSummaries(answer->result());
    });
    answer->setFuture(m_history->summaries(foldedKeywords));
}

void HotTrendsPage::btnRisingClick()
{
    TfrmRising dialog(m_history->rising(QDateTime::currentDateTimeUtc()), this);
    connect(&dialog, &TfrmRising::goToKeyword, this, &HotTrendsPage::goToKeyword);
    connect(&dialog, &TfrmRising::sendToSuggest, this, &HotTrendsPage::sendToSuggest);
    connect(&dialog, &TfrmRising::exportRows, this, [this](const QList<RisingKeyword>& rows) {
        RunDetached(QStringLiteral("exportRising"), exportRising(rows));
    });
    m_seams.dialogs.run(dialog);
}

QCoro::Task<> HotTrendsPage::exportRising(QList<RisingKeyword> rows)
{
    TableExporter::Write write = [rows = std::move(rows)](const QString& fileName, ExportFormat format) {
        return ExportRisingKeywords(fileName, rows, format);
    };
    co_await m_exporter->exportWith(std::move(write));
}

bool HotTrendsPage::goToKeyword(const QString& keyword)
{
    const qsizetype tableRow = m_table.knownKeywords().find(keyword);
    if (tableRow < 0) {
        Q_EMIT statusChanged(tr("\"%1\" is no longer in the Hot Trends list.").arg(keyword));
        return false;
    }
    RowFilterModel& shown = *m_find->filter();
    QModelIndex at = shown.mapFromSource(m_table.index(int(tableRow), TrendTableModel::KeywordColumn));
    if (!at.isValid() && shown.isFiltering()) {
        // The find box hides it: the list shows every row again rather than leave the user lost.
        m_find->box()->clear();
        at = shown.mapFromSource(m_table.index(int(tableRow), TrendTableModel::KeywordColumn));
    }
    if (!at.isValid()) {
        Q_EMIT statusChanged(tr("\"%1\" is hidden by the list's filters.").arg(keyword));
        return false;
    }
    lvwItems->setCurrentIndex(at);
    lvwItems->selectionModel()->select(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    lvwItems->scrollTo(at, QAbstractItemView::PositionAtCenter);
    lvwItems->setFocus(Qt::OtherFocusReason);
    return true;
}

void HotTrendsPage::setHistoryShown(bool shown)
{
    if (!m_history || shown == isHistoryShown())
        return;
    m_historyPanel->setVisible(shown);
    btnHistory->setChecked(shown);
    // The panel opens at a width where its chart and news read well; the list keeps the rest.
    if (shown && splHotTrends->isVisible() && splHotTrends->width() > 700)
        splHotTrends->setSizes(
            {splHotTrends->width() - m_historyPanel->sizeHint().width(), m_historyPanel->sizeHint().width()});
    if (shown)
        showHistoryOfCurrent();
    Q_EMIT historyShownChanged(shown);
}

bool HotTrendsPage::isHistoryShown() const
{
    return m_historyPanel && !m_historyPanel->isHidden();
}

void HotTrendsPage::showHistoryOfCurrent()
{
    if (!isHistoryShown())
        return;
    const quint64 asked = ++m_historyAsked;
    const QModelIndex current = lvwItems->currentIndex();
    // An answer under way for a keyword no longer current is dropped (see `asked`).
    if (!current.isValid() || !lvwItems->selectionModel()->isSelected(current)) {
        m_historyPanel->showText(m_find->isFiltering()
                                     ? tr("Select one of the keywords shown to see its history.")
                                     : tr("Select a keyword to see its history."));
        return;
    }
    const QString keyword = m_table.rows().keyword(m_find->filter()->tableRow(current.row())).toString();
    auto* answer = new QFutureWatcher<std::optional<KeywordHistory>>(this);
    connect(answer, &QFutureWatcherBase::finished, this, [this, answer, asked, keyword] {
        answer->deleteLater();
        if (asked != m_historyAsked)
            return;
        if (const std::optional<KeywordHistory> history = answer->result())
            m_historyPanel->showHistory(*history);
        else
            m_historyPanel->showText(
                tr("\"%1\" has not been seen by a scrape since the history began.").arg(keyword));
    });
    answer->setFuture(m_history->history(keyword, m_historyPanel->since(QDateTime::currentDateTimeUtc())));
}

bool HotTrendsPage::isFactsFilterOn() const
{
    return cmbTrendCountry && (!cmbTrendCountry->currentData().toString().isEmpty() ||
                               cmbTrendWindow->currentData().toInt() > 0);
}

void HotTrendsPage::applyFactsFilter()
{
    const quint64 asked = ++m_factsAsked;
    if (!isFactsFilterOn()) {
        m_table.setRowGate(nullptr);
        m_find->filter()->refilter();
        Q_EMIT factsFilterApplied();
        return;
    }
    const int hours = cmbTrendWindow->currentData().toInt();
    const QDateTime since =
        hours > 0 ? QDateTime::currentDateTimeUtc().addSecs(-qint64(hours) * 3600) : QDateTime();
    // The history answers on its own thread; only the newest choice is applied.
    auto* answer = new QFutureWatcher<QSet<QString>>(this);
    connect(answer, &QFutureWatcherBase::finished, this, [this, answer, asked] {
        answer->deleteLater();
        if (asked != m_factsAsked)
            return;
        m_table.setRowGate(std::make_shared<const QSet<QString>>(answer->result()));
        m_find->filter()->refilter();
        Q_EMIT factsFilterApplied();
    });
    answer->setFuture(m_history->keywordsSeen(since, cmbTrendCountry->currentData().toString()));
}

void HotTrendsPage::loadCountries()
{
    auto* answer = new QFutureWatcher<QStringList>(this);
    connect(answer, &QFutureWatcherBase::finished, this, [this, answer] {
        answer->deleteLater();
        const QString chosen = cmbTrendCountry->currentData().toString();
        QStringList countries = answer->result();
        if (!chosen.isEmpty() && !countries.contains(chosen))
            countries << chosen;
        // Rebuilt without a change of the choice, so that the list is not narrowed anew.
        const QSignalBlocker quiet(cmbTrendCountry);
        while (cmbTrendCountry->count() > 1)
            cmbTrendCountry->removeItem(1);
        for (const QString& country : countries)
            cmbTrendCountry->addItem(country, country);
        cmbTrendCountry->setCurrentIndex(std::max(0, cmbTrendCountry->findData(chosen)));
    });
    answer->setFuture(m_history->countries());
}

void HotTrendsPage::saveTable()
{
    m_monitor.tableFile().save();
}

void HotTrendsPage::showCount()
{
    // In digit groups, as the find box counts.
    Q_EMIT countChanged(QLocale().toString(m_table.rowCount()) + QStringLiteral(" items"));
}
