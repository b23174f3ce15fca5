#include "suggest/ui/SuggestPage.h"

#include "suggest/AllSuggestionsModel.h"
#include "suggest/PreviewModel.h"
#include "suggest/SuggestCsv.h"
#include "suggest/SuggestFiles.h"
#include "suggest/SuggestHarvester.h"
#include "suggest/SuggestImport.h"
#include "suggest/SuggestSource.h"
#include "suggest/ui/FAddKeywords.h"
#include "suggest/ui/FExpand.h"
#include "suggest/ui/FHarvestChoice.h"
#include "suggest/ui/HarvestNoteDelegate.h"
#include "util/AsyncHandler.h"
#include "util/CrashReporter.h"
#include "util/DataFileStore.h"
#include "util/IniLines.h"
#include "util/KeywordIndex.h"
#include "util/MessageBoxes.h"
#include "util/ProgramFolder.h"
#include "util/ProgramOptions.h"
#include "util/RowFilterModel.h"
#include "util/ui/Controls.h"
#include "util/ui/DialogSeams.h"
#include "util/ui/FindBar.h"
#include "util/ui/ReportList.h"
#include "util/ui/TableActions.h"
#include "util/ui/TableExporter.h"
#include "util/ui/TableLoadHold.h"

#include <QCoroFuture>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>
#include <QtConcurrent>

SuggestPage::SuggestPage(SuggestTableModel& table, DataFileStore& tableFile, SuggestHarvester& harvester,
                         PageSeams seams, QWidget* parent)
    : QWidget(parent)
    , m_table(table)
    , m_tableFile(tableFile)
    , m_harvester(harvester)
    , m_seams(seams)
    , m_preview(new PreviewModel(this))
    , m_exporter(new TableExporter(
          seams.saveDialog, seams.messages, [this](const QString& text) { Q_EMIT statusChanged(text); },
          this))
{
    m_allSuggestions = new AllSuggestionsModel(this);
    build();
    wireHandlers();
}

void SuggestPage::build()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    // Above the lists, the phrases' find box and what takes a research further.
    auto* research = MakePanel(this, "panSuggestResearch", 30, false);
    auto* researchRow = new QHBoxLayout(research);
    researchRow->setContentsMargins(4, 2, 4, 2);
    btnAddSuggestions = MakeButton(
        research, "btnAddSuggestions", QStringLiteral("Add S&uggestions as Phrases"), 0,
        QStringLiteral("Adds the suggestions of the selected phrases as new phrases, to dig deeper"));
    layout->addWidget(research);

    bsSkinSplitter1 = Named(new QSplitter(Qt::Horizontal, this), "bsSkinSplitter1");
    bsSkinSplitter1->setHandleWidth(10);
    bsSkinSplitter1->setChildrenCollapsible(false);

    QList<int> suggestWidths{150};
    for (int k = 1; k <= 10; ++k)
        suggestWidths << 100 << 100;
    lvwSuggest = MakeReportList(bsSkinSplitter1, "lvwSuggest",
                                QStringLiteral("Keyword phrases and their suggestions"));
    m_find = new FindBar(lvwSuggest, m_table, research);
    SetColumnWidths(lvwSuggest, suggestWidths);
    researchRow->addWidget(m_find);
    researchRow->addStretch();
    btnAllSuggestions =
        MakeButton(research, "btnAllSuggestions", QStringLiteral("All Suggestio&ns"), 0,
                   QStringLiteral("Shows every suggestion of the table once, with its phrase, "
                                  "level, position and service"));
    btnAllSuggestions->setCheckable(true);
    researchRow->addWidget(btnAllSuggestions);
    researchRow->addWidget(btnAddSuggestions);
    lvwSuggest->setItemDelegate(new HarvestNoteDelegate(lvwSuggest));

    auto* previewPanel = Named(new QFrame(bsSkinSplitter1), "panPreview");
    previewPanel->setFrameShape(QFrame::StyledPanel);
    auto* previewLayout = new QVBoxLayout(previewPanel);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    previewLayout->setSpacing(2);
    lvwPreview =
        MakeReportList(previewPanel, "lvwPreview", QStringLiteral("Suggestions of the selected phrase"));
    m_previewFind = new FindBar(lvwPreview, *m_preview, previewPanel);
    m_previewFind->setContentsMargins(4, 2, 4, 0);
    SetColumnWidths(lvwPreview, {200, 120});
    // Says why the preview is empty, so that an empty list is never taken for a phrase without
    // suggestions.
    lblPreviewNote = Named(new QLabel(previewPanel), "lblPreviewNote");
    lblPreviewNote->setContentsMargins(4, 0, 4, 0);
    lblPreviewNote->setWordWrap(true);
    previewLayout->addWidget(m_previewFind);
    previewLayout->addWidget(lblPreviewNote);
    previewLayout->addWidget(lvwPreview);

    bsSkinSplitter1->addWidget(lvwSuggest);
    bsSkinSplitter1->addWidget(previewPanel);
    bsSkinSplitter1->setStretchFactor(0, 1);
    bsSkinSplitter1->setStretchFactor(1, 0);
    bsSkinSplitter1->setSizes({451, 373});

    auto* bar = MakePanel(this, "panSuggestButtons", 45, true);
    auto* buttons = MakeButtonBar(bar);
    buttons->addStretch();
    AddButtons(
        bar, buttons,
        {{&btnAdd, "btnAdd", QStringLiteral("Add &Keywords"), 101,
          QStringLiteral("Adds keyword phrases, one per line")},
         {&btnExpand, "btnExpand", QStringLiteral("E&xpand…"), 80,
          QStringLiteral("Adds new phrases made of the selected ones: letters, questions, prepositions")},
         {&btnSearch, "btnSearch", QStringLiteral("&Get Suggestions!"), 120,
          QStringLiteral("Gets Google's suggestions for the selected phrases")},
         {&btnStop, "btnStop", QStringLiteral("S&top"), 66, QStringLiteral("Stops getting suggestions")},
         {&btnExport, "btnExport", QStringLiteral("&Export Results"), 94,
          QStringLiteral("Saves the phrases and their suggestions to a CSV file")},
         {&bsSkinButton4, "bsSkinButton4", QStringLiteral("Select &All"), 103,
          QStringLiteral("Selects every phrase")},
         {&bsSkinButton5, "bsSkinButton5", QStringLiteral("&Clear Selection"), 103,
          QStringLiteral("Unselects every phrase")},
         {&bsSkinButton6, "bsSkinButton6", QStringLiteral("&Delete Selected"), 103,
          QStringLiteral("Deletes the selected phrases")},
         {&bsSkinButton7, "bsSkinButton7", QStringLiteral("Delete A&ll"), 103,
          QStringLiteral("Deletes every phrase")}});

    // Every suggestion once, in place of the phrases and the preview while it is chosen.
    panAllSuggestions = Named(new QFrame(this), "panAllSuggestions");
    auto* allLayout = new QVBoxLayout(panAllSuggestions);
    allLayout->setContentsMargins(0, 0, 0, 0);
    allLayout->setSpacing(2);
    lvwAllSuggestions = MakeReportList(panAllSuggestions, "lvwAllSuggestions", tr("All suggestions"));
    m_allFind = new FindBar(lvwAllSuggestions, *m_allSuggestions, panAllSuggestions);
    m_allFind->setContentsMargins(4, 2, 4, 0);
    SetColumnWidths(lvwAllSuggestions, {260, 200, 60, 70, 120});
    allLayout->addWidget(m_allFind);
    allLayout->addWidget(lvwAllSuggestions);
    panAllSuggestions->hide();

    layout->addWidget(bsSkinSplitter1, 1);
    layout->addWidget(panAllSuggestions, 1);
    layout->addWidget(bar);

    m_find->setFilteredToolTips(
        {{btnExport, tr("Saves the phrases the find box shows and their suggestions to a CSV file")},
         {bsSkinButton4, tr("Selects every phrase the find box shows")},
         {bsSkinButton6, tr("Deletes the selected phrases; those the find box hides stay")},
         {bsSkinButton7, tr("Deletes every phrase of the table, those the find box hides too")}});
    AddFindShortcut(this, {m_find, m_previewFind, m_allFind});
}

// A handler is connected under its own name, which a crash report then carries.
#define HANDLER(name) Guarded(this, &SuggestPage::name, #name)

void SuggestPage::wireHandlers()
{
    connect(btnAdd, &QPushButton::clicked, this, HANDLER(btnAddClick));
    connect(btnExpand, &QPushButton::clicked, this,
            GuardedAsync(this, &SuggestPage::btnExpandClick, "btnExpandClick"));
    connect(btnAddSuggestions, &QPushButton::clicked, this, HANDLER(btnAddSuggestionsClick));
    connect(&m_harvester, &SuggestHarvester::serviceRefused, this, [this] { m_digStopped = true; });
    connect(bsSkinButton4, &QPushButton::clicked, this, HANDLER(bsSkinButton4Click));
    connect(bsSkinButton5, &QPushButton::clicked, this, HANDLER(bsSkinButton5Click));
    connect(bsSkinButton6, &QPushButton::clicked, this, HANDLER(bsSkinButton6Click));
    connect(bsSkinButton7, &QPushButton::clicked, this, HANDLER(bsSkinButton7Click));
    connect(btnSearch, &QPushButton::clicked, this,
            GuardedAsync(this, &SuggestPage::btnSearchClick, "btnSearchClick"));
    connect(btnStop, &QPushButton::clicked, this, HANDLER(btnStopClick));
    connect(btnExport, &QPushButton::clicked, this,
            GuardedAsync(this, &SuggestPage::btnExportClick, "btnExportClick"));
    connect(lvwSuggest->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            HANDLER(lvwSuggestSelectItem));
    connect(lvwSuggest->horizontalHeader(), &QHeaderView::sectionClicked, this,
            HANDLER(lvwSuggestColumnClick));
    connect(lvwPreview->horizontalHeader(), &QHeaderView::sectionClicked, this,
            HANDLER(lvwPreviewColumnClick));
    // The preview follows the current row however it changes: a key, a click, the find box hiding
    // it (the filter resets the list quietly), a deletion or a sort.
    connect(lvwSuggest->selectionModel(), &QItemSelectionModel::currentChanged, this,
            HANDLER(showPreviewOfCurrent));
    const RowFilterModel* shown = m_find->filter();
    connect(shown, &RowFilterModel::filterChanged, this, HANDLER(showPreviewOfCurrent));
    connect(shown, &QAbstractItemModel::modelReset, this, HANDLER(showPreviewOfCurrent));
    connect(shown, &QAbstractItemModel::rowsRemoved, this, HANDLER(showPreviewOfCurrent));
    connect(shown, &QAbstractItemModel::layoutChanged, this, HANDLER(showPreviewOfCurrent));

    // The row at work stays in sight.
    connect(&m_harvester, &SuggestHarvester::rowFetching, this, [this](SuggestTableModel::RowId id) {
        const QModelIndex shown = m_find->filter()->mapFromSource(m_table.index(int(m_table.rowOfId(id)), 0));
        if (shown.isValid())
            lvwSuggest->scrollTo(shown);
    });
    // The preview shows a harvested row anew without another click.
    connect(&m_harvester, &SuggestHarvester::rowFilled, this, [this](SuggestTableModel::RowId id) {
        if (id == m_previewRowId)
            m_preview->showRecord(*m_table.recordOfId(id));
    });
    showPreviewOfCurrent();

    connect(btnAllSuggestions, &QPushButton::toggled, this, HANDLER(setAllSuggestionsShown));
    connect(lvwAllSuggestions->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { SortByColumnClick(*lvwAllSuggestions, lvwAllSuggestionsSort, column); });
    for (const auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&m_table, changed, this, &SuggestPage::allSuggestionsOutdated);
    connect(&m_table, &QAbstractItemModel::modelReset, this, &SuggestPage::allSuggestionsOutdated);
    connect(&m_table, &QAbstractItemModel::dataChanged, this, &SuggestPage::allSuggestionsOutdated);
    connect(&m_table, &QAbstractItemModel::layoutChanged, this, &SuggestPage::allSuggestionsOutdated);
    new TableActions(lvwAllSuggestions, nullptr, {btnExport});

    new TableActions(lvwSuggest, bsSkinButton6,
                     {btnAdd, btnExpand, btnAddSuggestions, btnSearch, btnStop, btnExport, bsSkinButton4,
                      bsSkinButton5, bsSkinButton6, bsSkinButton7});
    new TableActions(lvwPreview, nullptr, {btnExport});
    new TableLoadHold(m_tableFile,
                      {lvwSuggest, btnAdd, btnExpand, btnAddSuggestions, btnSearch, btnStop, btnExport,
                       bsSkinButton4, bsSkinButton5, bsSkinButton6, bsSkinButton7},
                      this);

    // Get Suggestions and Stop are enabled only when they can act, and say why not; after the
    // table's hold, so that the end of a load is followed by the state of the table loaded.
    m_searchToolTip = btnSearch->toolTip();
    m_stopToolTip = btnStop->toolTip();
    const auto update = [this] { updateHarvestButtons(); };
    connect(&m_tableFile, &DataFileStore::loadingChanged, this, update);
    connect(&m_table, &QAbstractItemModel::rowsInserted, this, update);
    connect(&m_table, &QAbstractItemModel::rowsRemoved, this, update);
    connect(&m_table, &QAbstractItemModel::modelReset, this, update);
    connect(lvwSuggest->selectionModel(), &QItemSelectionModel::selectionChanged, this, update);
    // The window may end the table before its page.
    connect(&m_table, &QObject::destroyed, this, [this] { m_tableGone = true; });
    connect(&m_harvester, &SuggestHarvester::started, this, update);
    connect(&m_harvester, &SuggestHarvester::ended, this, update);
    updateHarvestButtons();
}

#undef HANDLER

void SuggestPage::showCount()
{
    // In digit groups, as the find box counts.
    Q_EMIT countChanged(QLocale().toString(m_table.rowCount()) + QStringLiteral(" keywords"));
}

void SuggestPage::LoadSuggestTable(QFuture<void> after)
{
    m_tableFile.loadInBackground<SuggestRows>(
        &ReadSuggestTable,
        [this](std::optional<SuggestRows> rows) {
            if (!rows)
                return;
            const auto busy = markBusy();
            m_table.setRecords(std::move(*rows));
            // The counter is written per row loaded: a file without rows leaves it as it was.
            if (m_table.rowCount() > 0)
                showCount();
        },
        std::move(after));
}

void SuggestPage::SaveSuggestTable()
{
    m_tableFile.save();
}

void SuggestPage::btnAddClick()
{
    TfrmAddKeywords dialog(m_seams.messages, this);
    if (m_seams.dialogs.run(dialog) != QDialog::Accepted)
        return;
    Q_EMIT statusChanged(QStringLiteral("Importing items..."));
    // The phrases added are to show, whatever the find box held.
    m_find->clear();
    const PhrasesAdded added = addPhrases(dialog.lines(), dialog.lines().size());
    selectRows(added.rows);
    const QString from =
        dialog.fileName().isEmpty() ? QString() : tr(" from %1").arg(QFileInfo(dialog.fileName()).fileName());
    Q_EMIT statusChanged(
        QStringLiteral("Process finished!") + u' ' +
        tr("%1 new phrases added%2, %3 already in the table.")
            .arg(QLocale().toString(added.rows.size()), from, QLocale().toString(added.known)));
    SaveSuggestTable();
}

void SuggestPage::selectRows(const QList<SuggestTableModel::RowId>& ids)
{
    // Runs of neighbouring rows become one range each (the view walks the ranges on every paint).
    QList<qsizetype> rows;
    rows.reserve(ids.size());
    for (const SuggestTableModel::RowId id : ids)
        rows << m_table.rowOfId(id);
    std::sort(rows.begin(), rows.end());
    const RowFilterModel& list = *m_find->filter();
    QItemSelection selection;
    for (qsizetype start = 0; start < rows.size();) {
        qsizetype end = start + 1;
        while (end < rows.size() && rows[end] == rows[end - 1] + 1)
            ++end;
        const QModelIndex top = list.mapFromSource(m_table.index(int(rows[start]), 0));
        const QModelIndex bottom = list.mapFromSource(m_table.index(int(rows[end - 1]), 0));
        if (top.isValid() && bottom.isValid())
            selection.append(QItemSelectionRange(top, list.index(bottom.row(), list.columnCount() - 1)));
        start = end;
    }
    lvwSuggest->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!selection.isEmpty())
        lvwSuggest->scrollTo(selection.first().topLeft());
}

PhrasesAdded SuggestPage::addPhrases(const QStringList& lines, qsizetype limit)
{
    const auto busy = markBusy();
    PhrasesAdded added = AddNewPhrases(m_table, lines, limit);
    showCount();
    return added;
}

QCoro::Task<> SuggestPage::btnExpandClick()
{
    const QList<qsizetype> rows = SelectedRows(*lvwSuggest);
    if (rows.isEmpty()) {
        m_seams.messages.show(tr("Please select the phrases to expand first."), MsgKind::Information,
                              MsgButtons::Ok);
        co_return;
    }
    TfrmExpand dialog(rows.size(), m_language, this);
    const QStringList excludedBefore = ReadExcludedWords();
    dialog.setExcludedWords(excludedBefore);
    if (m_seams.dialogs.run(dialog) != QDialog::Accepted)
        co_return;
    const QStringList excluded = dialog.excludedWords();
    // Kept for this data folder, beside its other settings.
    if (excluded != excludedBefore) {
        if (const QString error = WriteOptionsValue(ProgramFile(OptionsFileName), ExcludedWordsKey, excluded);
            !error.isEmpty())
            Q_EMIT statusChanged(error);
    }
    const int depth = dialog.depth();
    const qsizetype limit = dialog.limit();
    if (depth > 0 && (m_harvester.isRunning() || m_digging)) {
        m_seams.messages.show(tr("Expanding with a depth gets suggestions: stop the harvest under way or "
                                 "wait until it ends."),
                              MsgKind::Information, MsgButtons::Ok);
        co_return;
    }
    // The rows are read after the answer: the table may have changed while the dialog was open.
    const QList<qsizetype> seedRows = SelectedRows(*lvwSuggest);
    QStringList lines;
    for (const qsizetype row : seedRows)
        lines << ExpandPhrase(m_table.records().phrase(row).toString(), dialog.chosen(), m_language);
    const QList<SuggestTableModel::RowId> seeds = m_table.idsOfRows(seedRows);
    PhrasesAdded added = addPhrases(lines, limit);
    SaveSuggestTable();
    if (depth == 0) {
        Q_EMIT statusChanged(
            tr("Expanded: %1 new phrases added, %2 already in the table.")
                .arg(QLocale().toString(added.rows.size()), QLocale().toString(added.known)));
        co_return;
    }

    // The seeds and their new phrases are harvested as "Get Suggestions!" would, and their
    // suggestions become phrases in turn, harvested too, until the depth, the limit, Stop or a
    // refusing service ends it: the meaning of the command line's --depth.
    m_digStopped = false;
    m_digging = true;
    Q_EMIT harvestStarting();
    QPointer<SuggestPage> self(this);
    const auto ended = qScopeGuard([self] {
        if (!self)
            return;
        self->m_digging = false;
        self->updateHarvestButtons();
        Q_EMIT self->harvestEnded();
    });
    updateHarvestButtons();
    // Named, not temporaries of the awaited call: GCC 12 destroys those twice in a coroutine.
    std::function<PhrasesAdded(const QStringList&, qsizetype)> addLevel =
        [this, excluded](const QStringList& phrases, qsizetype most) {
            PhrasesAdded more = addPhrases(WithoutExcludedWords(phrases, excluded), most);
            SaveSuggestTable();
            return more;
        };
    std::function<bool()> stopped = [self, this] { return !self || m_digStopped; };
    QList<SuggestTableModel::RowId> firstLevel = seeds + added.rows;
    const qsizetype newPhrases = added.rows.size();
    const DigOutcome outcome = co_await DigDeeper(m_harvester, m_table, std::move(firstLevel), newPhrases,
                                                  depth, limit, addLevel, stopped);
    if (!self)
        co_return;
    Q_EMIT statusChanged(DigOutcomeText(outcome, depth, limit));
}

QStringList SuggestPage::ReadExcludedWords()
{
    QFile file(ProgramFile(OptionsFileName));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qsizetype slash = ExcludedWordsKey.indexOf(u'/');
    const std::optional<QString> value =
        IniLines(file.readAll()).value(ExcludedWordsKey.left(slash), ExcludedWordsKey.mid(slash + 1));
    // A list reads back as its entries joined by commas.
    return value ? ExcludedWordsOf(*value) : QStringList();
}

QString SuggestPage::DigOutcomeText(const DigOutcome& outcome, int depth, qsizetype limit)
{
    QStringList levels;
    for (qsizetype level = 0; level < outcome.levels.size(); ++level) {
        const DigLevel& each = outcome.levels[level];
        QString text = tr("level %1: %2 of %3 harvested")
                           .arg(level + 1)
                           .arg(QLocale().toString(each.harvested), QLocale().toString(each.phrases));
        if (each.remaining() > 0)
            text += tr(", %1 left").arg(QLocale().toString(each.remaining()));
        levels << text;
    }
    return tr("Expanded %1 of %2 levels deep: %3 new phrases added (at most %4); %5.")
        .arg(outcome.levels.size())
        .arg(depth)
        .arg(QLocale().toString(outcome.added), QLocale().toString(limit))
        .arg(levels.join(QStringLiteral("; ")));
}

void SuggestPage::btnAddSuggestionsClick()
{
    const QList<qsizetype> rows = SelectedRows(*lvwSuggest);
    if (rows.isEmpty()) {
        m_seams.messages.show(tr("Please select the phrases whose suggestions to add first."),
                              MsgKind::Information, MsgButtons::Ok);
        return;
    }
    const QStringList suggestions = SuggestionsOfRows(m_table, m_table.idsOfRows(rows));
    if (suggestions.isEmpty()) {
        Q_EMIT statusChanged(
            tr("The selected phrases have no suggestions yet: get their suggestions first."));
        return;
    }
    const PhrasesAdded added = addPhrases(suggestions, suggestions.size());
    Q_EMIT statusChanged(tr("Added %1 suggestions as new phrases, %2 already in the table.")
                             .arg(QLocale().toString(added.rows.size()), QLocale().toString(added.known)));
    SaveSuggestTable();
}

QCoro::Task<bool> SuggestPage::takePhrases(QStringList phrases)
{
    if (m_tableFile.isLoading()) {
        Q_EMIT statusChanged(
            tr("The Suggest table is still loading; send the keywords again once it is in."));
        co_return false;
    }
    const QPointer<SuggestPage> self(this);
    const qsizetype sentCount = phrases.size();
    // Worked out on a copy of the rows; should the rows move meanwhile (a sort, a deletion, a
    // load), their numbers no longer hold and the work is done again on the rows as they are.
    // (The future is named: a lambda with captures inside a co_await expression is destroyed twice
    // by some compilers.)
    std::optional<SentPhrases> sent;
    while (!sent) {
        const quint64 revision = m_table.rowsRevision();
        QFuture<SentPhrases> planning =
            QtConcurrent::run([rows = m_table.records(), phrases] { return PlanSentPhrases(rows, phrases); });
        SentPhrases planned = co_await planning;
        if (!self)
            co_return false;
        if (revision == m_table.rowsRevision())
            sent = std::move(planned);
    }
    // A million strings take a while to free: not on the window's thread.
    (void)QtConcurrent::run([doomed = std::move(phrases)] { Q_UNUSED(doomed); });
    // The phrases are to show, whatever the find box held.
    m_find->clear();
    {
        const auto busy = markBusy();
        m_table.appendRows(sent->fresh);
        showCount();
    }
    // One range per run of neighbouring rows: the view and its header walk the ranges on every
    // paint, and a million sent phrases are mostly one run.
    QItemSelection rows;
    const RowFilterModel& list = *m_find->filter(); // shows every row, row for row
    for (const auto& [first, last] : std::as_const(sent->runs))
        rows.append(
            QItemSelectionRange(list.index(int(first), 0), list.index(int(last), list.columnCount() - 1)));
    lvwSuggest->selectionModel()->select(rows, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty())
        lvwSuggest->scrollTo(rows.first().topLeft());
    Q_EMIT statusChanged(tr("Sent %1 keywords to Suggest; %2 of them new.")
                             .arg(QLocale().toString(sentCount), QLocale().toString(sent->fresh.size())));
    SaveSuggestTable();
    co_return true;
}

void SuggestPage::bsSkinButton4Click()
{
    const auto busy = markBusy();
    lvwSuggest->selectAll();
}

void SuggestPage::bsSkinButton5Click()
{
    const auto busy = markBusy();
    lvwSuggest->clearSelection();
}

void SuggestPage::bsSkinButton6Click()
{
    const qsizetype count = SelectedRows(*lvwSuggest).size();
    if (m_seams.messages.show(
            QStringLiteral("Are you sure to delete selected items?") + QStringLiteral("\r\n") +
                (count == 1 ? tr("Delete 1 selected item?")
                            : tr("Delete %1 selected items?").arg(QLocale().toString(count))),
            MsgKind::Warning, MsgButtons::OkCancel) != MsgAnswer::Ok)
        return;
    {
        const auto busy = markBusy();
        m_table.removeRowList(SelectedRows(*lvwSuggest));
        showCount();
    }
    SaveSuggestTable();
}

void SuggestPage::bsSkinButton7Click()
{
    const qsizetype count = m_table.rowCount();
    if (m_seams.messages.show(QStringLiteral("Are you sure to delete all?") + QStringLiteral("\r\n") +
                                  (count == 1 ? tr("Delete the 1 item?")
                                              : tr("Delete all %1 items?").arg(QLocale().toString(count))),
                              MsgKind::Warning, MsgButtons::OkCancel) != MsgAnswer::Ok)
        return;
    {
        const auto busy = markBusy();
        m_table.clear();
        showCount();
    }
    SaveSuggestTable();
}

QCoro::Task<> SuggestPage::btnSearchClick()
{
    // The button is disabled, with why, whenever it cannot act (updateHarvestButtons).
    if (const QString why = whySearchCannotAct(); !why.isEmpty()) {
        Q_EMIT statusChanged(why);
        co_return;
    }
    const QList<qsizetype> rows = SelectedRows(*lvwSuggest);
    QList<SuggestTableModel::RowId> ids = m_table.idsOfRows(rows);
    // Phrases with suggestions already may be passed over: asked only when there are some.
    QList<SuggestTableModel::RowId> fresh;
    for (qsizetype at = 0; at < rows.size(); ++at) {
        if (!HasSuggestions(m_table.records(), rows[at]))
            fresh << ids[at];
    }
    if (fresh.size() < ids.size()) {
        TfrmHarvestChoice choice(ids.size(), ids.size() - fresh.size(), this);
        if (m_seams.dialogs.run(choice) != QDialog::Accepted)
            co_return;
        if (choice.skipHarvested())
            ids = std::move(fresh);
        if (ids.isEmpty()) {
            Q_EMIT statusChanged(tr("Every selected phrase has its suggestions already: nothing to ask."));
            co_return;
        }
        // The table may have changed while the question was open.
        if (const QString why = whySearchCannotAct(); !why.isEmpty()) {
            Q_EMIT statusChanged(why);
            co_return;
        }
    }
    Q_EMIT harvestStarting();
    QPointer<SuggestPage> self(this);
    // However the harvest ends, an error included, the window hears of it: a stop request left
    // raised would refuse every later download, the hourly Hot Trends scrape among them.
    const auto ended = qScopeGuard([self] {
        if (self)
            Q_EMIT self->harvestEnded();
    });
    co_await m_harvester.harvest(std::move(ids));
}

QString SuggestPage::whySearchCannotAct() const
{
    if (m_table.rowCount() == 0)
        return QStringLiteral("You  first need add some keywords to gather data.");
    if (!lvwSuggest->selectionModel()->hasSelection())
        return QStringLiteral("You need to select at least one keyword to gather data.");
    if (m_harvester.isRunning() || m_digging)
        return QStringLiteral(
            "You can't start a new search while you are getting data. Please stop the search "
            "or wait until process finish.");
    return {};
}

void SuggestPage::updateHarvestButtons()
{
    // While the table loads, its hold has the buttons.
    if (m_tableGone || m_tableFile.isLoading())
        return;
    const QString why = whySearchCannotAct();
    btnSearch->setEnabled(why.isEmpty());
    btnSearch->setToolTip(why.isEmpty() ? m_searchToolTip : why);
    const bool harvesting = m_harvester.isRunning() || m_digging;
    btnStop->setEnabled(harvesting || m_downloading);
    btnStop->setToolTip(harvesting      ? m_stopToolTip
                        : m_downloading ? tr("Stops the downloads under way")
                                        : tr("Nothing is being downloaded now"));
}

void SuggestPage::setDownloadsUnderWay(bool underWay)
{
    m_downloading = underWay;
    updateHarvestButtons();
}

void SuggestPage::btnStopClick()
{
    m_digStopped = true;
    m_harvester.requestStop();
    Q_EMIT stopClicked();
}

void SuggestPage::lvwSuggestSelectItem(const QItemSelection&)
{
    // Selecting or unselecting the current row shows or empties the preview.
    showPreviewOfCurrent();
}

void SuggestPage::showPreviewOfCurrent()
{
    // The current row as the list shows it, when it is selected: the row the user is at. A row
    // unselected (Clear Selection, Ctrl+click) or hidden by the find box is not shown any longer.
    const QItemSelectionModel* selection = lvwSuggest->selectionModel();
    const QModelIndex current = selection->currentIndex();
    if (!current.isValid() || !selection->isSelected(current)) {
        m_previewRowId = 0;
        if (m_preview->rowCount() > 0)
            m_preview->clear();
        // Rows selected without the one the user is at (sent from Hot Trends, Ctrl+Space): a click
        // picks which of them to show.
        lblPreviewNote->setText(selection->hasSelection()
                                    ? tr("Click a selected phrase to see its suggestions.")
                                : m_find->isFiltering() ? tr("No phrase selected among those shown.")
                                                        : tr("No phrase selected."));
        lblPreviewNote->show();
        return;
    }
    const qsizetype row = m_find->filter()->tableRow(current.row());
    const SuggestTableModel::RowId id = m_table.idOfRow(row);
    lblPreviewNote->hide();
    // The same row again (a selection grown around it) keeps the preview's sort and find.
    if (id == m_previewRowId && m_preview->rowCount() > 0)
        return;
    m_preview->showRecord(m_table.record(row));
    m_previewRowId = id;
}

QCoro::Task<> SuggestPage::btnExportClick()
{
    if (isAllSuggestionsShown()) {
        // The list shown, as the find box shows it, in its order.
        const RowFilterModel& shownAll = *m_allFind->filter();
        QList<qsizetype> order(shownAll.rowCount());
        for (qsizetype row = 0; row < order.size(); ++row)
            order[row] = shownAll.tableRow(row);
        AllSuggestionRows all = RowsAt(m_allSuggestions->rows(), order);
        TableExporter::Write writeAll = [all = std::move(all)](const QString& fileName, ExportFormat format) {
            return WriteAllSuggestions(fileName, all, format);
        };
        co_await m_exporter->exportWith(std::move(writeAll));
        co_return;
    }
    // With the find box in use, what it shows.
    const RowFilterModel& shown = *m_find->filter();
    SuggestRows rows =
        shown.isFiltering() ? RowsAt(m_table.records(), shown.shownTableRows()) : m_table.records();
    // A named function, not a temporary of the co_await (see HotTrendsPage::bsSkinButton3Click).
    TableExporter::Write write = [rows = std::move(rows)](const QString& fileName, ExportFormat format) {
        return WriteSuggestCsv(fileName, rows, format);
    };
    co_await m_exporter->exportWith(std::move(write));
}

void SuggestPage::lvwSuggestColumnClick(int column)
{
    SortByColumnClick(*lvwSuggest, lvwSuggestSort, column);
}

void SuggestPage::lvwPreviewColumnClick(int column)
{
    SortByColumnClick(*lvwPreview, lvwPreviewSort, column);
}

void SuggestPage::resetSort()
{
    lvwSuggestSort.reset();
    lvwPreviewSort.reset();
}

void SuggestPage::setSuggestService(SuggestEngine engine, const QString& name)
{
    m_engine = engine;
    m_serviceName = name;
    showFigureColumns();
    allSuggestionsOutdated();
}

QString SuggestPage::caption() const
{
    // Google's services keep the page's old name.
    if (m_engine == SuggestEngine::Google || m_engine == SuggestEngine::Classic)
        return tr("Google Suggest");
    return tr("Suggest — %1").arg(m_serviceName);
}

void SuggestPage::showFigureColumns()
{
    const SuggestFigures figures = FiguresOf(m_engine);
    m_table.setFigures(figures);
    m_preview->setFigures(figures);
    // A service without figures leaves their cells empty: no column for them.
    const bool hidden = figures == SuggestFigures::None;
    for (int k = 1; k <= SuggestPairCount; ++k)
        lvwSuggest->setColumnHidden(1 + ResultsCell(k), hidden);
    lvwPreview->setColumnHidden(PreviewModel::ResultsColumn, hidden);
    FitColumnsToCaptions(lvwSuggest);
    FitColumnsToCaptions(lvwPreview);
    btnSearch->setToolTip(tr("Gets the suggestions of %1 for the selected phrases").arg(m_serviceName));
}

void SuggestPage::setAllSuggestionsShown(bool shown)
{
    btnAllSuggestions->setChecked(shown);
    bsSkinSplitter1->setVisible(!shown);
    panAllSuggestions->setVisible(shown);
    if (shown && m_allSuggestionsOutdated)
        buildAllSuggestions();
}

bool SuggestPage::isAllSuggestionsShown() const
{
    return !panAllSuggestions->isHidden();
}

void SuggestPage::allSuggestionsOutdated()
{
    m_allSuggestionsOutdated = true;
    if (isAllSuggestionsShown())
        buildAllSuggestions();
}

void SuggestPage::buildAllSuggestions()
{
    // One build at a time: changes meanwhile are taken up by the next one, once this one is in.
    if (m_allSuggestionsBuilding)
        return;
    m_allSuggestionsBuilding = true;
    m_allSuggestionsOutdated = false;
    auto* built = new QFutureWatcher<AllSuggestionRows>(this);
    connect(built, &QFutureWatcherBase::finished, this, [this, built] {
        built->deleteLater();
        m_allSuggestionsBuilding = false;
        if (m_allSuggestionsOutdated) {
            if (isAllSuggestionsShown())
                buildAllSuggestions();
            return;
        }
        lvwAllSuggestionsSort.reset();
        lvwAllSuggestions->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
        m_allSuggestions->setRows(built->result());
        Q_EMIT allSuggestionsBuilt();
    });
    // A copy that shares the rows: the worker reads it while the table goes on changing here.
    built->setFuture(QtConcurrent::run(&CollectAllSuggestions, m_table.records(), m_serviceName));
}
