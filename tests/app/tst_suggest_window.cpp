#include "app/AppFixture.h"
#include "suggest/AllSuggestionsModel.h"
#include "suggest/PreviewModel.h"
#include "suggest/SuggestHarvester.h"
#include "suggest/SuggestTableModel.h"
#include "suggest/ui/FAddKeywords.h"
#include "suggest/ui/FExpand.h"
#include "suggest/ui/FHarvestChoice.h"
#include "support/ScriptedHttpServer.h"
#include "support/SortWait.h"
#include "support/SuggestAnswerBody.h"
#include "support/TestRegistry.h"
#include "trends/HotTrendsMonitor.h"
#include "trends/TrendTableModel.h"
#include "trends/ui/HotTrendsPage.h"
#include "util/RowFilterModel.h"
#include "util/ui/TableExporter.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray answer(const QList<QPair<QByteArray, QByteArray>>& completions)
{
    return SuggestAnswerBody(completions);
}

const QByteArray redWine = answer({{"red wine", "45,100,000"}, {"red dress", "8,040,000"}});

QByteArray storedRow(const QByteArray& phrase)
{
    return phrase + QByteArray(21, '|') + "\r\n";
}

SuggestCells allNotAvailable()
{
    SuggestCells cells;
    cells.fill(u"N/A"_s);
    return cells;
}

QStringList phrasesOf(const SuggestTableModel* table)
{
    QStringList phrases;
    for (const SuggestRecord& record : table->records())
        phrases << record.phrase;
    return phrases;
}

// The add-keywords dialog answered as a user would: the text typed, then "Ok".
std::function<int(QDialog&)> typeKeywords(const QString& text)
{
    return [text](QDialog& dialog) {
        auto& keywords = static_cast<TfrmAddKeywords&>(dialog);
        keywords.memAddKeyword->setPlainText(text);
        keywords.btnOk->click();
        return dialog.result();
    };
}

} // namespace

class TestSuggestWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void addKeywordsDialog_data();
    void addKeywordsDialog();
    void addKeywordsDialogKeys();
    void importSkipsDuplicates();
    void expandAddsNewPhrases();
    void trendsSentToSuggest();
    void manyTrendsSentToSuggest_data();
    void manyTrendsSentToSuggest();
    void sentPhrasesFollowRowsThatMove();
    void itemCounterFollowsThePageShown();
    void suggestionsAddedAsPhrases();
    void expandDigsDeeper_data();
    void expandDigsDeeper();
    void expandLeavesOutExcludedWords();
    void searchOffersToSkipHarvestedPhrases_data();
    void searchOffersToSkipHarvestedPhrases();
    void selectAndDelete();
    void previewShowsTheSelectedRow();
    void previewFollowsTheCurrentRow_data();
    void previewFollowsTheCurrentRow();
    void harvestOneRow();
    void harvestSelectedRowsInOrder();
    void harvestShowsWhereItIsAndWhatCameOfEachRow();
    void harvestPanelAndGaugeFollowThePhrases();
    void failedFetchFillsNotAvailable();
    void secondHarvestKeepsOlderCells();
    void searchAndStopSayWhyTheyCannotAct_data();
    void searchAndStopSayWhyTheyCannotAct();
    void deleteQuestionsCountTheRows_data();
    void deleteQuestionsCountTheRows();
    void addKeywordsFromFile_data();
    void addKeywordsFromFile();
    void stopDuringTransfer();
    void stopDuringPause();
    void stopWithoutHarvestLeavesNoStopBehind();
    void stopEndsAQueuedFetchUnsent();
    void harvestFollowsItsRows();
    void harvestedRowsAreSavedSoon();
    void exportSuggestions_data();
    void exportSuggestions();
    void columnClicksSort();
    void captionsFollowTheService_data();
    void captionsFollowTheService();
    void allSuggestionsView();

private:
    void makeWindow(const QByteArray& table = {});
    void select(const QList<int>& rows);
    // The rows selected in the Suggest list, top to bottom.
    QList<int> selectedRows() const;
    void harvest() { QCoro::waitFor(m_window->suggestPage()->btnSearchClick()); }

    std::unique_ptr<AppFixture> m_fixture;
    std::unique_ptr<ScriptedHttpServer> m_server;
    std::unique_ptr<TfrmMain> m_window;
    FakeSeams* m_fakes = nullptr;
};

void TestSuggestWindow::init()
{
    m_fixture = std::make_unique<AppFixture>();
    m_fakes = &m_fixture->fakes;
    m_server = std::make_unique<ScriptedHttpServer>();
    qputenv("QUILLORY_GOOGLE_HOST", m_server->hostAndPort());
}

void TestSuggestWindow::cleanup()
{
    m_window.reset();
    m_server.reset();
    m_fixture.reset();
    qunsetenv("QUILLORY_GOOGLE_HOST");
}

void TestSuggestWindow::makeWindow(const QByteArray& table)
{
    if (!table.isEmpty())
        writeFile(m_fixture->file(u"dbsuggest.dat"_s), table);
    m_window = m_fixture->makeWindow();
}

void TestSuggestWindow::select(const QList<int>& rows)
{
    // As Ctrl+clicks would: each row clicked becomes the current one.
    const auto* list = control<QTableView>(*m_window, "lvwSuggest");
    list->selectionModel()->clearSelection();
    for (const int row : rows)
        list->selectionModel()->setCurrentIndex(list->model()->index(row, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QList<int> TestSuggestWindow::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex& index :
         control<QTableView>(*m_window, "lvwSuggest")->selectionModel()->selectedRows())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TestSuggestWindow::addKeywordsDialog_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << "" << false << QStringList{};
    QTest::newRow("spaces count as text") << "  " << true << QStringList{u"  "_s};
    QTest::newRow("lines") << "red wine\ncheap flights\n"
                           << true << QStringList{u"red wine"_s, u"cheap flights"_s};
    QTest::newRow("non-breaking space kept")
        << u"red\u00a0wine\ncheap flights"_s << true << QStringList{u"red\u00a0wine"_s, u"cheap flights"_s};
}

void TestSuggestWindow::addKeywordsDialog()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(QStringList, lines);
    FakeMessageBoxes messages;
    TfrmAddKeywords dialog(messages);
    QCOMPARE(dialog.windowTitle(), u"Add New Keyword(s)"_s);
    dialog.memAddKeyword->setPlainText(text);
    dialog.btnOk->click();
    QCOMPARE(dialog.result() == QDialog::Accepted, accepted);
    QCOMPARE(messages.shown.size(), accepted ? 0 : 1);
    if (!accepted) {
        QCOMPARE(messages.shown[0].text, u"Please add at least one keyword."_s);
        QCOMPARE(messages.shown[0].kind, MsgKind::Information);
        QCOMPARE(messages.shown[0].buttons, MsgButtons::Ok);
    }
    QCOMPARE(dialog.lines(), lines);
}

void TestSuggestWindow::addKeywordsDialogKeys()
{
    FakeMessageBoxes messages;
    TfrmAddKeywords dialog(messages);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.memAddKeyword->setFocus();

    // Tab moves on to the buttons and types nothing.
    QTest::keyClick(dialog.memAddKeyword, Qt::Key_Tab);
    QCOMPARE(dialog.memAddKeyword->toPlainText(), QString());
    QCOMPARE(QApplication::focusWidget(), dialog.btnOk);

    // Ctrl+Return is "Ok": with nothing typed it asks for a keyword and gives the text box back.
    QTest::keyClick(&dialog, Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(messages.shown.size(), 1);
    QVERIFY(dialog.isVisible());
    QCOMPARE(QApplication::focusWidget(), dialog.memAddKeyword);

    QTest::keyClicks(dialog.memAddKeyword, u"red wine"_s);
    QTest::keyClick(dialog.memAddKeyword, Qt::Key_Return);
    QTest::keyClicks(dialog.memAddKeyword, u"cheap flights"_s);
    QTest::keyClick(dialog.memAddKeyword, Qt::Key_Enter, Qt::ControlModifier);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.lines(), (QStringList{u"red wine"_s, u"cheap flights"_s}));

    // Escape cancels.
    TfrmAddKeywords again(messages);
    again.show();
    QVERIFY(QTest::qWaitForWindowActive(&again));
    QTest::keyClick(again.memAddKeyword, Qt::Key_Escape);
    QCOMPARE(again.result(), int(QDialog::Rejected));
    QVERIFY(!again.isVisible());
}

void TestSuggestWindow::importSkipsDuplicates()
{
    makeWindow(storedRow("RED§WINE"));
    control<QTabWidget>(*m_window, "pgcMain")->setCurrentWidget(m_window->suggestPage());
    m_fakes->dialogs->answers.enqueue(
        typeKeywords(u"red wine\n  Red Wine  \nred wine glasses\ncheap flights\ncheap flights"_s));
    control<QPushButton>(*m_window, "btnAdd")->click();
    QCOMPARE(m_fakes->dialogs->titles, QStringList{u"Add New Keyword(s)"_s});
    QCOMPARE(phrasesOf(m_window->suggestTable()),
             (QStringList{u"RED WINE"_s, u"red wine glasses"_s, u"cheap flights"_s}));
    QCOMPARE(control<QLabel>(*m_window, "panSecondary")->text(), u"3 keywords"_s);
    QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(),
             u"Process finished! 2 new phrases added, 1 already in the table."_s);
    // The phrases added are selected, and only they.
    QCOMPARE(selectedRows(), (QList<int>{1, 2}));
    // The import is kept at once, not only at close.
    QVERIFY(WaitForSaves(*m_window));
    QCOMPARE(readFile(m_fixture->file(u"dbsuggest.dat"_s)),
             storedRow("RED§WINE") + storedRow("red§wine§glasses") + storedRow("cheap§flights"));

    // A cancelled dialog adds nothing.
    control<QPushButton>(*m_window, "btnAdd")->click();
    QCOMPARE(m_window->suggestTable()->rowCount(), 3);
}

void TestSuggestWindow::addKeywordsFromFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("added");
    QTest::addColumn<int>("known");
    QTest::addColumn<QString>("message"); // a box instead, with the file's name for %1

    QTest::newRow("UTF-8, blank lines skipped")
        << QByteArray("caf\xc3\xa9 au lait\r\n\r\n   \r\nred wine\nRED WINE\n")
        << QStringList{u"café au lait"_s} << 1 << "";
    QTest::newRow("byte-order mark") << QByteArray("\xef\xbb\xbftea\r\n") << QStringList{u"tea"_s} << 0 << "";
    // One line of an old Windows file among UTF-8 ones: each line is read by its own encoding.
    QTest::newRow("Windows-1252 line among UTF-8")
        << QByteArray("na\xc3\xafve\r\nfa\xe7"
                      "ade \x80 price\r\nlast")
        << QStringList{u"naïve"_s, u"façade € price"_s, u"last"_s} << 0 << "";
    QTest::newRow("only blank lines") << QByteArray("\r\n  \r\n") << QStringList{} << 0
                                      << "%1 holds no phrases: each line of the file is one.";
    QTest::newRow("no such file") << QByteArray() << QStringList{} << 0
                                  << "%1 could not be read: No such file or directory";
}

// Add Keywords → From file: one phrase a line, each line by the rule of the program's text files;
// the phrases added are selected and counted.
void TestSuggestWindow::addKeywordsFromFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, added);
    QFETCH(int, known);
    QFETCH(QString, message);
    makeWindow(storedRow("red§wine"));
    const QString path = m_fixture->file(u"phrases.txt"_s);
    if (!bytes.isNull())
        writeFile(path, bytes);
    bool stillOpen = false;
    m_fakes->dialogs->answers.enqueue([&](QDialog& dialog) {
        auto& keywords = static_cast<TfrmAddKeywords&>(dialog);
        keywords.askFileName = [&path](QWidget&) { return path; };
        keywords.btnFromFile->click();
        stillOpen = dialog.result() != QDialog::Accepted;
        if (stillOpen)
            keywords.btnCancel->click();
        return dialog.result();
    });
    control<QPushButton>(*m_window, "btnAdd")->click();
    QCOMPARE(phrasesOf(m_window->suggestTable()), QStringList{u"red wine"_s} + added);
    if (!message.isEmpty()) {
        QVERIFY(stillOpen); // the user may type phrases or pick another file
        QCOMPARE(m_fakes->messages->shown.size(), 1);
        QCOMPARE(m_fakes->messages->shown.last().text, message.arg(QDir::toNativeSeparators(path)));
        return;
    }
    QVERIFY(m_fakes->messages->shown.isEmpty());
    QList<int> rows;
    for (int row = 1; row <= added.size(); ++row)
        rows << row;
    QCOMPARE(selectedRows(), rows);
    QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(),
             u"Process finished! %1 new phrases added from phrases.txt, %2 already in the table."_s
                 .arg(added.size())
                 .arg(known));
}

void TestSuggestWindow::expandAddsNewPhrases()
{
    makeWindow(storedRow("red§wine") + storedRow("HOW§RED§WINE") + storedRow("tea"));
    // Nothing selected: said, and no dialog.
    control<QPushButton>(*m_window, "btnExpand")->click();
    QCOMPARE(m_fakes->messages->shown.value(0).text, u"Please select the phrases to expand first."_s);
    QVERIFY(m_fakes->dialogs->titles.isEmpty());

    select({0, 2});
    m_fakes->dialogs->answers.enqueue([](QDialog& dialog) {
        auto& expand = static_cast<TfrmExpand&>(dialog);
        expand.chkAlphabet->setChecked(false);
        expand.chkQuestions->setChecked(true);
        expand.btnOk->click();
        return dialog.result();
    });
    control<QPushButton>(*m_window, "btnExpand")->click();
    QCOMPARE(m_fakes->dialogs->titles, QStringList{u"Expand Phrases"_s});
    const QStringList phrases = phrasesOf(m_window->suggestTable());
    // "how red wine" is there already, in other letters; every other question is new, for both.
    QCOMPARE(phrases.size(), 3 + 10 + 11);
    QCOMPARE(phrases.mid(3, 2), (QStringList{u"what red wine"_s, u"why red wine"_s}));
    QCOMPARE(phrases.last(), u"will tea"_s);
    QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(),
             u"Expanded: 21 new phrases added, 1 already in the table."_s);
    QVERIFY(WaitForSaves(*m_window));
    QVERIFY(readFile(m_fixture->file(u"dbsuggest.dat"_s)).endsWith(storedRow("will§tea")));

    // With nothing ticked the dialog cannot be confirmed.
    TfrmExpand dialog(1, u"en"_s);
    dialog.chkAlphabet->setChecked(false);
    QVERIFY(!dialog.btnOk->isEnabled());
}

void TestSuggestWindow::trendsSentToSuggest()
{
    writeFile(m_fixture->file(u"dabatase.dat"_s), "a|d|1|\r\nNew§York|d|2|\r\nc|d|3|\r\n");
    makeWindow(storedRow("new§york") + storedRow("x"));
    auto* trends = control<QTableView>(*m_window, "lvwItems");
    control<QPushButton>(*m_window, "btnSendToSuggest")->click();
    QCOMPARE(m_fakes->messages->shown.value(0).text, u"Please select the keywords to send first."_s);

    trends->selectionModel()->select(
        QItemSelection(trends->model()->index(1, 0), trends->model()->index(2, 2)),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    // The Suggest page's find box hides every row: the phrases sent show whatever it held.
    auto* find = control<QLineEdit>(*m_window, "lvwSuggestFind");
    find->setText(u"nothing like it"_s);
    QTRY_COMPARE(control<QTableView>(*m_window, "lvwSuggest")->model()->rowCount(), 0);
    control<QPushButton>(*m_window, "btnSendToSuggest")->click();
    QTRY_COMPARE(control<QTabWidget>(*m_window, "pgcMain")->currentWidget(), m_window->suggestPage());
    QVERIFY(find->text().isEmpty());
    // "New York" is there already in other letters; "c" is new. Both are selected on the Suggest page.
    QCOMPARE(phrasesOf(m_window->suggestTable()), (QStringList{u"new york"_s, u"x"_s, u"c"_s}));
    QList<int> selected;
    for (const QModelIndex& index :
         control<QTableView>(*m_window, "lvwSuggest")->selectionModel()->selectedRows())
        selected << index.row();
    std::sort(selected.begin(), selected.end());
    QCOMPARE(selected, (QList<int>{0, 2}));
    QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(),
             u"Sent 2 keywords to Suggest; 1 of them new."_s);
    QVERIFY(WaitForSaves(*m_window));
    QVERIFY(readFile(m_fixture->file(u"dbsuggest.dat"_s)).endsWith(storedRow("c")));
}

void TestSuggestWindow::manyTrendsSentToSuggest_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("yes");

    const int bar = int(HotTrendsPage::LargeSendToSuggest);
    QTest::newRow("at the bar: sent unasked") << bar << false << true;
    QTest::newRow("above the bar, Yes") << bar + 1 << true << true;
    QTest::newRow("above the bar, No") << bar + 1 << true << false;
}

// The sent phrases are matched beside the window; rows removed meanwhile must not shift what ends
// up selected.
void TestSuggestWindow::sentPhrasesFollowRowsThatMove()
{
    makeWindow(storedRow("first") + storedRow("Red§wine") + storedRow("last"));
    QCoro::Task<bool> sending = m_window->suggestPage()->takePhrases({u"red WINE"_s, u"  new one "_s});
    // Before the worker's answer is taken (it needs the event loop), the first row goes.
    m_window->suggestTable()->removeRowList({0});
    QVERIFY(QCoro::waitFor(std::move(sending)));
    QCOMPARE(phrasesOf(m_window->suggestTable()), (QStringList{u"Red wine"_s, u"last"_s, u"new one"_s}));
    QStringList selected;
    for (const QModelIndex& index :
         control<QTableView>(*m_window, "lvwSuggest")->selectionModel()->selectedRows())
        selected << index.data().toString();
    selected.sort();
    QCOMPARE(selected, (QStringList{u"Red wine"_s, u"new one"_s}));
}

// A big send asks first; what it sends is selected as a few ranges, not one per row (the view
// walks the ranges on every paint).
void TestSuggestWindow::manyTrendsSentToSuggest()
{
    QFETCH(int, count);
    QFETCH(bool, asked);
    QFETCH(bool, yes);

    QByteArray trendRows;
    QStringList keywords;
    for (int row = 0; row < count; ++row) {
        const QByteArray keyword = "kw" + QByteArray::number(row).rightJustified(5, '0');
        trendRows += keyword + "|d|1|\r\n";
        keywords << QString::fromLatin1(keyword);
    }
    writeFile(m_fixture->file(u"dabatase.dat"_s), trendRows);
    // Two of the keywords are there already, around a phrase of the user's own.
    makeWindow(storedRow("kw00003") + storedRow("mine") + storedRow("kw00007"));
    auto* pages = control<QTabWidget>(*m_window, "pgcMain");
    auto* trends = control<QTableView>(*m_window, "lvwItems");
    QCOMPARE(trends->model()->rowCount(), count);
    trends->selectAll();
    // Unasked, the send must not take the scripted answer either.
    m_fakes->messages->answers.enqueue(yes ? MsgAnswer::Ok : MsgAnswer::Cancel);
    const QWidget* shownBefore = pages->currentWidget();
    control<QPushButton>(*m_window, "btnSendToSuggest")->click();

    QCOMPARE(m_fakes->messages->shown.size(), asked ? 1 : 0);
    if (asked) {
        QCOMPARE(m_fakes->messages->shown.first().text, u"Send 10,001 keywords to Suggest?"_s);
        QVERIFY(m_fakes->messages->shown.first().buttons == MsgButtons::YesNo);
    }
    if (!yes) {
        QCOMPARE(phrasesOf(m_window->suggestTable()), (QStringList{u"kw00003"_s, u"mine"_s, u"kw00007"_s}));
        QCOMPARE(pages->currentWidget(), shownBefore);
        return;
    }
    QTRY_COMPARE(pages->currentWidget(), m_window->suggestPage());
    QCOMPARE(m_window->suggestTable()->rowCount(), count + 1);
    // Rows 0 and 2..: the two sent that were there and the new ones after them, in two ranges.
    const QItemSelectionModel* selection = control<QTableView>(*m_window, "lvwSuggest")->selectionModel();
    QCOMPARE(selection->selection().size(), 2);
    const QModelIndexList selectedRows = selection->selectedRows();
    QCOMPARE(selectedRows.size(), count);
    QStringList selected;
    for (const QModelIndex& index : selectedRows)
        selected << index.data().toString();
    selected.sort();
    QCOMPARE(selected, keywords);
    QVERIFY(!selection->isRowSelected(1));
}

// The counter shows the count of the page shown; a hidden page's change waits until it is shown.
void TestSuggestWindow::itemCounterFollowsThePageShown()
{
    writeFile(m_fixture->file(u"dabatase.dat"_s), "a|d|1|\r\nb|d|2|\r\nc|d|3|\r\nd|d|4|\r\n");
    makeWindow(storedRow("x") + storedRow("y"));
    auto* pages = control<QTabWidget>(*m_window, "pgcMain");
    const auto* counter = control<QLabel>(*m_window, "panSecondary");
    pages->setCurrentWidget(m_window->hotTrendsPage());
    QCOMPARE(counter->text(), u"4 items"_s);
    pages->setCurrentWidget(m_window->suggestPage());
    QCOMPARE(counter->text(), u"2 keywords"_s);

    // The Suggest list grows while Hot Trends is shown.
    pages->setCurrentWidget(m_window->hotTrendsPage());
    QCOMPARE(counter->text(), u"4 items"_s);
    QVERIFY(QCoro::waitFor(m_window->suggestPage()->takePhrases({u"z"_s})));
    QCOMPARE(m_window->suggestTable()->rowCount(), 3);
    QCOMPARE(counter->text(), u"4 items"_s);

    // The trends shrink while Suggest is shown.
    pages->setCurrentWidget(m_window->suggestPage());
    QCOMPARE(counter->text(), u"3 keywords"_s);
    auto* trends = control<QTableView>(*m_window, "lvwItems");
    trends->selectionModel()->select(trends->model()->index(0, 0),
                                     QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_fakes->messages->answers.enqueue(MsgAnswer::Ok);
    m_window->hotTrendsPage()->btnDeleteClick();
    QCOMPARE(m_window->trendTable()->rowCount(), 3);
    QCOMPARE(counter->text(), u"3 keywords"_s);
    pages->setCurrentWidget(m_window->hotTrendsPage());
    QCOMPARE(counter->text(), u"3 items"_s);
}

void TestSuggestWindow::suggestionsAddedAsPhrases()
{
    makeWindow("red|red§wine|45|N/A|N/A|TEA|1|" + QByteArray("|").repeated(14) + "\r\n" + storedRow("tea"));
    select({1});
    control<QPushButton>(*m_window, "btnAddSuggestions")->click();
    QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(),
             u"The selected phrases have no suggestions yet: get their suggestions first."_s);

    select({0, 1});
    control<QPushButton>(*m_window, "btnAddSuggestions")->click();
    // "N/A" is no suggestion; "TEA" is there already in other letters.
    QCOMPARE(phrasesOf(m_window->suggestTable()), (QStringList{u"red"_s, u"tea"_s, u"red wine"_s}));
    QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(),
             u"Added 1 suggestions as new phrases, 1 already in the table."_s);
}

void TestSuggestWindow::expandDigsDeeper_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QStringList>("phrases");
    QTest::addColumn<QString>("status");

    const QStringList expansion{u"red for"_s,  u"red with"_s, u"red without"_s, u"red vs"_s,
                                u"red near"_s, u"red to"_s,   u"red like"_s};
    QTest::newRow("depth 0: added, nothing asked")
        << 0 << QStringList{} << QStringList{u"red"_s} + expansion
        << u"Expanded: 7 new phrases added, 0 already in the table."_s;
    QTest::newRow("depth 1: the seed and its expansion harvested")
        << 1 << QStringList{u"red"_s} + expansion << QStringList{u"red"_s} + expansion
        << u"Expanded 1 of 1 levels deep: 7 new phrases added (at most 9); level 1: 8 of 8 harvested."_s;
    // The limit leaves room for two of the second level, and both are harvested.
    QTest::newRow("depth 2: every phrase added is harvested")
        << 2 << QStringList{u"red"_s} + expansion + QStringList{u"red wine"_s, u"red for one"_s}
        << QStringList{u"red"_s} + expansion + QStringList{u"red wine"_s, u"red for one"_s}
        << u"Expanded 2 of 2 levels deep: 9 new phrases added (at most 9); level 1: 8 of 8 harvested; level 2: 2 of 2 harvested."_s;
}

// Expand's depth means what the command line's does: the seed and every level down to the depth are
// harvested, the last one too, and the status counts each level.
void TestSuggestWindow::expandDigsDeeper()
{
    QFETCH(int, depth);
    QFETCH(QStringList, asked);
    QFETCH(QStringList, phrases);
    QFETCH(QString, status);

    makeWindow(storedRow("red"));
    select({0});
    QStringList requested;
    connect(m_server.get(), &ScriptedHttpServer::requestArrived, this, [&](const QByteArray& request) {
        const QByteArray line = request.left(request.indexOf("\r\n"));
        const qsizetype start = line.indexOf("qu=") + 3;
        const QString phrase =
            QUrl::fromPercentEncoding(line.mid(start, line.indexOf(' ', start) - start).replace('+', ' '));
        requested << phrase;
        m_server->enqueue(ScriptedHttpServer::ok(phrase == u"red"_s
                                                     ? answer({{"red", "1"}, {"red wine", "2"}})
                                                     : answer({{phrase.toUtf8() + " one", "2"}})));
    });
    int limitOffered = 0;
    int depthOffered = -1;
    m_fakes->dialogs->answers.enqueue([&](QDialog& dialog) {
        auto& expand = static_cast<TfrmExpand&>(dialog);
        limitOffered = expand.spnLimit->value();
        depthOffered = expand.spnDepth->value();
        expand.chkAlphabet->setChecked(false);
        expand.chkPrepositions->setChecked(true);
        expand.spnDepth->setValue(depth);
        expand.spnLimit->setValue(9);
        expand.btnOk->click();
        return dialog.result();
    });
    control<QPushButton>(*m_window, "btnExpand")->click();
    QTRY_COMPARE_WITH_TIMEOUT(control<QLabel>(*m_window, "MainStatusPanel")->text(), status, 20000);
    QCOMPARE(limitOffered, TfrmExpand::DefaultLimit);
    QCOMPARE(depthOffered, 0);
    QCOMPARE(requested, asked);
    QCOMPARE(phrasesOf(m_window->suggestTable()), phrases);
    // Every phrase asked has its suggestions in the table.
    for (qsizetype row = 0; row < asked.size(); ++row)
        QVERIFY2(!m_window->suggestTable()->record(row).cells[0].isEmpty(), qPrintable(phrases[row]));
    QVERIFY(!m_window->harvester()->isRunning());
}

// Letters before the phrase are offered, and suggestions holding an excluded word are not added;
// the words are kept in the folder's quillory.ini, its other lines as they were.
void TestSuggestWindow::expandLeavesOutExcludedWords()
{
    // Beside the fixture's settings, a comment of the user's own.
    QByteArray settings = readFile(m_fixture->file(u"quillory.ini"_s));
    settings.replace("[Suggest]\n", "[Suggest]\n; mine\nExcludedWords=wine ; no wine\n");
    writeFile(m_fixture->file(u"quillory.ini"_s), settings);
    makeWindow(storedRow("red"));
    select({0});
    QStringList requested;
    connect(m_server.get(), &ScriptedHttpServer::requestArrived, this, [&](const QByteArray& request) {
        const QByteArray line = request.left(request.indexOf("\r\n"));
        const qsizetype start = line.indexOf("qu=") + 3;
        const QString phrase =
            QUrl::fromPercentEncoding(line.mid(start, line.indexOf(' ', start) - start).replace('+', ' '));
        requested << phrase;
        m_server->enqueue(ScriptedHttpServer::ok(
            phrase == u"red"_s
                ? answer({{"red wine", "1"}, {"red DRESS", "2"}, {"red shoes", "3"}, {"redwine", "4"}})
                : answer({})));
    });
    QString offered;
    m_fakes->dialogs->answers.enqueue([&](QDialog& dialog) {
        auto& expand = static_cast<TfrmExpand&>(dialog);
        offered = expand.edtExcluded->text();
        expand.chkAlphabet->setChecked(false);
        expand.chkAlphabetBefore->setChecked(true);
        expand.edtExcluded->setText(u"wine, dress"_s);
        expand.spnDepth->setValue(2);
        expand.btnOk->click();
        return dialog.result();
    });
    control<QPushButton>(*m_window, "btnExpand")->click();
    QTRY_VERIFY2_WITH_TIMEOUT(
        control<QLabel>(*m_window, "MainStatusPanel")->text().startsWith(u"Expanded 2 of 2"_s),
        qPrintable(control<QLabel>(*m_window, "MainStatusPanel")->text()), 20000);
    QCOMPARE(offered, u"wine"_s);
    const QStringList phrases = phrasesOf(m_window->suggestTable());
    QCOMPARE(phrases.size(), 1 + 36 + 2);
    QCOMPARE(phrases.mid(0, 3), (QStringList{u"red"_s, u"a red"_s, u"b red"_s}));
    QCOMPARE(phrases.last(2), (QStringList{u"red shoes"_s, u"redwine"_s}));
    QCOMPARE(requested.size(), phrases.size()); // each harvested, the seed first
    QCOMPARE(requested.first(), u"red"_s);
    settings.replace("ExcludedWords=wine ;", "ExcludedWords=wine, dress ;");
    // Only the line of the words changed (the window adds its locale's record after what was there).
    QVERIFY2(readFile(m_fixture->file(u"quillory.ini"_s)).startsWith(settings),
             readFile(m_fixture->file(u"quillory.ini"_s)).constData());

    // The next Expand offers them again.
    select({0});
    m_fakes->dialogs->answers.enqueue([&](QDialog& dialog) {
        offered = static_cast<TfrmExpand&>(dialog).edtExcluded->text();
        return int(QDialog::Rejected);
    });
    control<QPushButton>(*m_window, "btnExpand")->click();
    QCOMPARE(offered, u"wine, dress"_s);
}

void TestSuggestWindow::searchOffersToSkipHarvestedPhrases_data()
{
    QTest::addColumn<bool>("answered"); // Ok, or Cancel
    QTest::addColumn<bool>("skip");
    QTest::addColumn<QList<QByteArray>>("asked");
    QTest::newRow("skipped, the default") << true << true << QList<QByteArray>{"b", "d"};
    QTest::newRow("asked again") << true << false << QList<QByteArray>{"a", "b", "c", "d"};
    QTest::newRow("cancelled") << false << true << QList<QByteArray>{};
}

// With harvested phrases among those selected, Get Suggestions asks whether to skip them; with
// none, it asks nothing.
void TestSuggestWindow::searchOffersToSkipHarvestedPhrases()
{
    QFETCH(bool, answered);
    QFETCH(bool, skip);
    QFETCH(QList<QByteArray>, asked);
    // "a" and "c" have suggestions; "b" has only "N/A" (asked, nothing came), "d" nothing yet.
    makeWindow("a|a1|1|" + QByteArray(18, '|') + "\r\nb|N/A|N/A|" + QByteArray(18, '|') + "\r\nc|c1|1|" +
               QByteArray(18, '|') + "\r\n" + storedRow("d") + storedRow("e"));
    select({0, 1, 2, 3});
    m_server->setFallback(ScriptedHttpServer::ok(answer({{"new", "1"}})));
    QString prompt;
    bool offeredSkip = false;
    m_fakes->dialogs->answers.enqueue([&](QDialog& dialog) {
        auto& choice = static_cast<TfrmHarvestChoice&>(dialog);
        prompt = choice.lblPrompt->text();
        offeredSkip = choice.chkSkipHarvested->isChecked();
        choice.chkSkipHarvested->setChecked(skip);
        (answered ? choice.btnOk : choice.btnCancel)->click();
        return dialog.result();
    });
    harvest();
    QCOMPARE(m_fakes->dialogs->titles, QStringList{u"Get Suggestions"_s});
    QCOMPARE(prompt, u"2 of the 4 selected phrases have suggestions already."_s);
    QVERIFY(offeredSkip);
    QList<QByteArray> requested;
    for (const QByteArray& line : m_server->requestLines())
        requested << line.mid(line.indexOf("qu=") + 3).chopped(9);
    QCOMPARE(requested, asked);

    // Nothing harvested among the selection: no question.
    m_fakes->dialogs->titles.clear();
    select({4});
    harvest();
    QVERIFY(m_fakes->dialogs->titles.isEmpty());
    QCOMPARE(m_server->requestLines().size(), asked.size() + 1);
}

void TestSuggestWindow::selectAndDelete()
{
    makeWindow(storedRow("a") + storedRow("b") + storedRow("c") + storedRow("d") + storedRow("e") +
               storedRow("f"));
    control<QTabWidget>(*m_window, "pgcMain")->setCurrentWidget(m_window->suggestPage());
    control<QPushButton>(*m_window, "bsSkinButton4")->click();
    QCOMPARE(control<QTableView>(*m_window, "lvwSuggest")->selectionModel()->selectedRows().size(), 6);
    control<QPushButton>(*m_window, "bsSkinButton5")->click();
    QVERIFY(!control<QTableView>(*m_window, "lvwSuggest")->selectionModel()->hasSelection());

    select({1});
    QCOMPARE(m_window->preview()->rowCount(), 10);
    select({1, 4});
    m_fakes->messages->answers.enqueue(MsgAnswer::Cancel);
    control<QPushButton>(*m_window, "bsSkinButton6")->click();
    QCOMPARE(m_window->suggestTable()->rowCount(), 6);
    m_fakes->messages->answers.enqueue(MsgAnswer::Ok);
    control<QPushButton>(*m_window, "bsSkinButton6")->click();
    QCOMPARE(m_fakes->messages->shown.last().text,
             u"Are you sure to delete selected items?\r\nDelete 2 selected items?"_s);
    QCOMPARE(phrasesOf(m_window->suggestTable()), (QStringList{u"a"_s, u"c"_s, u"d"_s, u"f"_s}));
    QCOMPARE(control<QLabel>(*m_window, "panSecondary")->text(), u"4 keywords"_s);
    QCOMPARE(m_window->preview()->rowCount(), 0); // emptied by Delete Selected
    QVERIFY(WaitForSaves(*m_window));
    QCOMPARE(readFile(m_fixture->file(u"dbsuggest.dat"_s)),
             storedRow("a") + storedRow("c") + storedRow("d") + storedRow("f"));

    select({0});
    m_fakes->messages->answers.enqueue(MsgAnswer::Ok);
    control<QPushButton>(*m_window, "bsSkinButton7")->click();
    QCOMPARE(m_fakes->messages->shown.last().text, u"Are you sure to delete all?\r\nDelete all 4 items?"_s);
    QCOMPARE(m_window->suggestTable()->rowCount(), 0);
    QCOMPARE(control<QLabel>(*m_window, "panSecondary")->text(), u"0 keywords"_s);
    QCOMPARE(m_window->preview()->rowCount(), 0); // no row left to show
    QVERIFY(WaitForSaves(*m_window));
    QCOMPARE(QFileInfo(m_fixture->file(u"dbsuggest.dat"_s)).size(), 0);
}

void TestSuggestWindow::previewShowsTheSelectedRow()
{
    makeWindow("red|red§wine|45,100,000|N/A|N/A|||||||||||||||||\r\n" + storedRow("blue"));
    select({0});
    const PreviewModel* preview = m_window->preview();
    QCOMPARE(preview->rowCount(), 10);
    QCOMPARE(preview->cellText(0, 0), u"red wine"_s);
    QCOMPARE(preview->cellText(0, 1), u"45,100,000"_s);
    QCOMPARE(preview->cellText(1, 0), u"N/A"_s);
    QCOMPARE(preview->cellText(2, 0), u""_s);
    QVERIFY(control<QLabel>(*m_window, "lblPreviewNote")->isHidden());
    // Select All keeps the current row, and so the preview.
    control<QPushButton>(*m_window, "bsSkinButton4")->click();
    QCOMPARE(preview->cellText(0, 0), u"red wine"_s);
    // Unselecting another row leaves it too.
    const auto* phrases = control<QTableView>(*m_window, "lvwSuggest");
    phrases->selectionModel()->select(phrases->model()->index(1, 0),
                                      QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    QCOMPARE(preview->cellText(0, 0), u"red wine"_s);
    select({1});
    QCOMPARE(preview->cellText(0, 0), u""_s);
}

void TestSuggestWindow::previewFollowsTheCurrentRow_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("shown"); // the phrase whose first suggestion shows; empty: none
    QTest::addColumn<QString>("note");
    QTest::newRow("Down") << "down"
                          << "blue"
                          << "";
    QTest::newRow("Up at the top stays") << "up"
                                         << "red"
                                         << "";
    QTest::newRow("find box hides it") << "find blu"
                                       << ""
                                       << "No phrase selected among those shown.";
    QTest::newRow("find box keeps it") << "find re"
                                       << "red"
                                       << "";
    QTest::newRow("find box, then Down into the list") << "find blu|down"
                                                       << "blue"
                                                       << "";
    QTest::newRow("find box emptied again") << "find blu|clear find"
                                            << ""
                                            << "No phrase selected.";
    QTest::newRow("Clear Selection") << "clear selection"
                                     << ""
                                     << "No phrase selected.";
    QTest::newRow("Ctrl+Space unselects it") << "ctrl space"
                                             << ""
                                             << "No phrase selected.";
    QTest::newRow("Shift+Down") << "shift down"
                                << "blue"
                                << "";
    QTest::newRow("Shift+Down, then Ctrl+Space") << "shift down|ctrl space"
                                                 << ""
                                                 << "Click a selected phrase to see its suggestions.";
    QTest::newRow("sorted away") << "sort"
                                 << "red"
                                 << "";
    QTest::newRow("deleted") << "delete"
                             << ""
                             << "No phrase selected.";
}

void TestSuggestWindow::previewFollowsTheCurrentRow()
{
    QFETCH(QString, action);
    QFETCH(QString, shown);
    QFETCH(QString, note);
    // Each phrase's first suggestion names it: "red" → "red 1" (the file keeps a space as "§").
    makeWindow("red|red§1|1|||||||||||||||||||\r\nblue|blue§1|2|||||||||||||||||||\r\n"
               "green|green§1|3|||||||||||||||||||\r\n");
    control<QTabWidget>(*m_window, "pgcMain")->setCurrentWidget(m_window->suggestPage());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    auto* list = control<QTableView>(*m_window, "lvwSuggest");
    auto* box = control<QLineEdit>(*m_window, "lvwSuggestFind");
    const auto* shownRows = static_cast<const RowFilterModel*>(list->model());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, 0)).center());
    QTRY_VERIFY(list->hasFocus());
    const PreviewModel* preview = m_window->preview();
    QCOMPARE(preview->cellText(0, 0), u"red 1"_s);

    for (const QString& step : action.split(u'|')) {
        if (step == u"down" || step == u"up") {
            // To whatever has the focus: the list, or the find box that hands on to it.
            QTest::keyClick(QApplication::focusWidget(), step == u"down" ? Qt::Key_Down : Qt::Key_Up);
        } else if (step.startsWith(u"find ")) {
            QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
            QTRY_VERIFY(box->hasFocus());
            QTest::keyClicks(box, step.mid(5));
            QTRY_VERIFY(!shownRows->isSearching() && shownRows->isFiltering());
        } else if (step == u"clear find") {
            QTest::keyClick(box, Qt::Key_Escape);
            QTRY_VERIFY(!shownRows->isSearching() && !shownRows->isFiltering());
        } else if (step == u"clear selection") {
            control<QPushButton>(*m_window, "bsSkinButton5")->click();
        } else if (step == u"shift down") {
            QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);
            QCOMPARE(list->selectionModel()->selectedRows().size(), 2);
        } else if (step == u"ctrl space") {
            QTest::keyClick(list, Qt::Key_Space, Qt::ControlModifier);
        } else if (step == u"sort") {
            m_window->suggestPage()->lvwSuggestColumnClick(0); // blue, green, red
            QVERIFY(SortDone(*m_window->suggestTable()));
            QCOMPARE(list->model()->index(2, 0).data().toString(), u"red"_s);
        } else if (step == u"delete") {
            m_fakes->messages->answers.enqueue(MsgAnswer::Ok);
            control<QPushButton>(*m_window, "bsSkinButton6")->click();
            QCOMPARE(m_window->suggestTable()->rowCount(), 2);
        } else {
            QFAIL(qPrintable(u"unknown step "_s + step));
        }
    }
    if (shown.isEmpty())
        QCOMPARE(preview->rowCount(), 0);
    else
        QCOMPARE(preview->cellText(0, 0), shown + u" 1"_s);
    auto* noteLabel = control<QLabel>(*m_window, "lblPreviewNote");
    QCOMPARE(noteLabel->isHidden(), note.isEmpty());
    if (!note.isEmpty())
        QCOMPARE(noteLabel->text(), note);
}

void TestSuggestWindow::harvestOneRow()
{
    makeWindow(storedRow("red§wine"));
    select({0});
    m_server->enqueue(ScriptedHttpServer::ok(redWine));
    harvest();
    QCOMPARE(m_server->requestLines(),
             QList<QByteArray>{"GET /complete/search?hl=en&js=true&qu=red+wine HTTP/1.1"});
    QVERIFY(m_fakes->random->bounds.isEmpty()); // no pause before the only phrase
    const SuggestCells& cells = m_window->suggestTable()->record(0).cells;
    QCOMPARE(
        QStringList(cells.begin(), cells.begin() + 6),
        (QStringList{u"red wine"_s, u"45,100,000"_s, u"red dress"_s, u"8,040,000"_s, u"N/A"_s, u"N/A"_s}));
    QCOMPARE(cells[19], u"N/A"_s);
    QVERIFY(!m_window->harvester()->isRunning());
    QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(), u"Download completed!"_s);
    // Kept when the harvest ends.
    QVERIFY(WaitForSaves(*m_window));
    QVERIFY(
        readFile(m_fixture->file(u"dbsuggest.dat"_s)).startsWith("red§wine|red§wine|45,100,000|red§dress|"));
}

void TestSuggestWindow::harvestShowsWhereItIsAndWhatCameOfEachRow()
{
    using Note = SuggestTableModel::HarvestNote;
    makeWindow(storedRow("red") + storedRow("blue") + storedRow("green") + storedRow("grey"));
    const SuggestTableModel* table = m_window->suggestTable();
    // Rows 1 to 3 selected, then "red" clicked too: the preview shows "red", not yet harvested.
    select({1, 2, 3});
    const auto* phrases = control<QTableView>(*m_window, "lvwSuggest");
    phrases->selectionModel()->setCurrentIndex(phrases->model()->index(0, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QCOMPARE(m_window->preview()->cellText(0, 0), u""_s);
    m_server->enqueue(ScriptedHttpServer::ok(redWine));
    m_server->enqueue(ScriptedHttpServer::status(404));
    m_server->enqueue(ScriptedHttpServer::ok(answer({})));
    m_server->enqueue(ScriptedHttpServer::stalled("window.google"));
    // While each phrase is fetched: where the harvest is, and the row at work marked.
    QStringList progress;
    QList<Note> notesAtWork;
    connect(m_server.get(), &ScriptedHttpServer::requestArrived, this, [&] {
        progress << control<QLabel>(*m_window, "lblHarvestProgress")->text().section(u" · "_s, 0, 0);
        const int row = int(progress.size()) - 1;
        notesAtWork << table->harvestNote(table->idOfRow(row));
        if (row == 3)
            QTimer::singleShot(50, m_window.get(),
                               [this] { control<QPushButton>(*m_window, "btnStop")->click(); });
    });
    harvest();

    QCOMPARE(progress,
             (QStringList{u"Phrase 1 of 4"_s, u"Phrase 2 of 4"_s, u"Phrase 3 of 4"_s, u"Phrase 4 of 4"_s}));
    QCOMPARE(notesAtWork, QList<Note>(4, Note::Fetching));
    QVERIFY(control<QLabel>(*m_window, "lblHarvestProgress")->isHidden());
    const auto tooltip = [&](int row) { return table->index(row, 0).data(Qt::ToolTipRole).toString(); };
    QCOMPARE(table->harvestNote(table->idOfRow(0)), Note::Filled);
    QCOMPARE(tooltip(0), QString());
    QCOMPARE(table->harvestNote(table->idOfRow(1)), Note::Failed);
    QCOMPARE(tooltip(1), u"Failed: The server answered 404 Not Found"_s);
    QCOMPARE(table->harvestNote(table->idOfRow(2)), Note::NoSuggestions);
    QCOMPARE(tooltip(2), u"No suggestions"_s);
    QCOMPARE(table->harvestNote(table->idOfRow(3)), Note::Stopped);
    QCOMPARE(tooltip(3), u"Stopped"_s);
    // The three that gave nothing keep the file's "N/A" alike.
    for (const int row : {1, 2, 3})
        QCOMPARE(table->record(row).cells, allNotAvailable());
    // The preview showed "red" and shows its new pairs without another click.
    QCOMPARE(m_window->preview()->cellText(0, 0), u"red wine"_s);
}

// The status bar's harvest panel says which phrase is at work, counts the pause down and tells the
// time left once a phrase is done; the gauge counts the phrases done, whatever each download does.
void TestSuggestWindow::harvestPanelAndGaugeFollowThePhrases()
{
    makeWindow(storedRow("a") + storedRow("b") + storedRow("c"));
    select({0, 1, 2});
    for (const char* suggestion : {"a1", "b1", "c1"})
        m_server->enqueue(ScriptedHttpServer::ok(answer({{suggestion, "1"}})));
    m_fakes->random->draws.enqueue(2); // two seconds before "b"
    m_fakes->random->draws.enqueue(0); // none before "c"
    m_window->harvester()->setPauseStep(std::chrono::milliseconds(5));
    const auto* panel = control<QLabel>(*m_window, "lblHarvestProgress");
    const auto* gauge = control<QProgressBar>(*m_window, "MainGauge");
    QStringList atRequests;
    QList<int> gaugeAtRequests;
    QStringList duringPause;
    connect(m_server.get(), &ScriptedHttpServer::requestArrived, this, [&] {
        atRequests << panel->text();
        gaugeAtRequests << gauge->value();
        QCOMPARE(gauge->maximum(), 3);
    });
    connect(m_window->harvester(), &SuggestHarvester::pauseLeft, this, [&] { duringPause << panel->text(); });
    harvest();

    QCOMPARE(gaugeAtRequests, (QList<int>{0, 1, 2}));
    QCOMPARE(gauge->value(), 3);
    QCOMPARE(atRequests.size(), 3);
    QCOMPARE(atRequests[0], u"Phrase 1 of 3"_s);
    QVERIFY2(QRegularExpression(u"^Phrase 2 of 3 · about .+ left$"_s).match(atRequests[1]).hasMatch(),
             qPrintable(atRequests[1]));
    QVERIFY2(QRegularExpression(u"^Phrase 3 of 3 · about .+ left$"_s).match(atRequests[2]).hasMatch(),
             qPrintable(atRequests[2]));
    QCOMPARE(duringPause.size(), 2);
    QVERIFY2(duringPause[0].startsWith(u"Phrase 2 of 3 · next phrase in 2 s · about "_s),
             qPrintable(duringPause[0]));
    QVERIFY2(duringPause[1].startsWith(u"Phrase 2 of 3 · next phrase in 1 s · about "_s),
             qPrintable(duringPause[1]));
    QVERIFY(panel->isHidden());
    // Each download still tells its own end.
    QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(), u"Download completed!"_s);
    // Once the harvest is over the downloads have the gauge again.
    m_server->enqueue(ScriptedHttpServer::ok("page"));
    QVERIFY(QCoro::waitFor(m_window->DownloadPage(m_server->url(u"/"_s).toString())));
    QCOMPARE(gauge->value(), gauge->maximum());
    QCOMPARE(gauge->maximum(), 4); // the page's length
}

void TestSuggestWindow::harvestSelectedRowsInOrder()
{
    makeWindow(storedRow("r0") + storedRow("r1") + storedRow("r2") + storedRow("r3") + storedRow("r4"));
    select({4, 1, 3});
    for (int i = 0; i < 3; ++i)
        m_server->enqueue(ScriptedHttpServer::ok(answer({{"s" + QByteArray::number(i), "1"}})));
    harvest();
    QCOMPARE(m_server->requestLines(),
             (QList<QByteArray>{"GET /complete/search?hl=en&js=true&qu=r1 HTTP/1.1",
                                "GET /complete/search?hl=en&js=true&qu=r3 HTTP/1.1",
                                "GET /complete/search?hl=en&js=true&qu=r4 HTTP/1.1"}));
    QCOMPARE(m_fakes->random->bounds, (QList<int>{8, 8})); // a pause of 0 to 7 s before each but the first
    const SuggestTableModel* table = m_window->suggestTable();
    QCOMPARE(table->record(1).cells[0], u"s0"_s);
    QCOMPARE(table->record(3).cells[0], u"s1"_s);
    QCOMPARE(table->record(4).cells[0], u"s2"_s);
    QCOMPARE(table->record(0).cells[0], u""_s);
    QCOMPARE(table->record(2).cells[0], u""_s);
}

void TestSuggestWindow::failedFetchFillsNotAvailable()
{
    makeWindow(storedRow("a") + storedRow("b"));
    select({0, 1});
    m_server->enqueue(ScriptedHttpServer::status(500));
    m_server->enqueue(ScriptedHttpServer::ok(answer({{"b1", "2"}})));
    harvest();
    QCOMPARE(m_window->suggestTable()->record(0).cells, allNotAvailable());
    QCOMPARE(m_window->suggestTable()->record(1).cells[0], u"b1"_s);
}

void TestSuggestWindow::secondHarvestKeepsOlderCells()
{
    makeWindow(storedRow("red"));
    select({0});
    m_server->enqueue(ScriptedHttpServer::ok(answer({{"a", "1"}, {"b", "2"}, {"c", "3"}})));
    m_server->enqueue(ScriptedHttpServer::ok(answer({{"x", "9"}})));
    harvest();
    // Asked again on purpose: the phrase has its suggestions already.
    m_fakes->dialogs->answers.enqueue([](QDialog& dialog) {
        auto& choice = static_cast<TfrmHarvestChoice&>(dialog);
        choice.chkSkipHarvested->setChecked(false);
        choice.btnOk->click();
        return dialog.result();
    });
    harvest();
    const SuggestCells& cells = m_window->suggestTable()->record(0).cells;
    QCOMPARE(QStringList(cells.begin(), cells.begin() + 8),
             (QStringList{u"x"_s, u"9"_s, u"b"_s, u"2"_s, u"c"_s, u"3"_s, u"N/A"_s, u"N/A"_s}));
}

void TestSuggestWindow::searchAndStopSayWhyTheyCannotAct_data()
{
    QTest::addColumn<QString>("meanwhile");
    QTest::addColumn<bool>("running");
    QTest::addColumn<QString>("why"); // empty: Get Suggestions can act
    // Each check comes before the next one: a running harvest is named last.
    QTest::newRow("no rows") << "Delete All" << true << "You  first need add some keywords to gather data.";
    QTest::newRow("nothing selected, harvest running")
        << "Clear Selection" << true << "You need to select at least one keyword to gather data.";
    QTest::newRow("harvest running") << "" << true
                                     << "You can't start a new search while you are getting data. Please "
                                        "stop the search or wait until process finish.";
    QTest::newRow("nothing selected, no harvest")
        << "Clear Selection" << false << "You need to select at least one keyword to gather data.";
    QTest::newRow("rows selected, no harvest") << "" << false << "";
}

// Get Suggestions and Stop are disabled, saying why, when they cannot act; no box answers a press.
void TestSuggestWindow::searchAndStopSayWhyTheyCannotAct()
{
    QFETCH(QString, meanwhile);
    QFETCH(bool, running);
    QFETCH(QString, why);
    makeWindow(storedRow("a"));
    select({0});
    auto* search = control<QPushButton>(*m_window, "btnSearch");
    auto* stop = control<QPushButton>(*m_window, "btnStop");
    QVERIFY(search->isEnabled());
    QVERIFY(!stop->isEnabled());
    QVERIFY(!stop->toolTip().isEmpty());
    const QString searchTip = search->toolTip();
    m_server->enqueue(ScriptedHttpServer::stalled("window.google"));
    std::optional<QCoro::Task<>> harvesting;
    if (running) {
        harvesting = m_window->suggestPage()->btnSearchClick();
        QTRY_COMPARE(m_server->requests().size(), 1);
        QVERIFY(stop->isEnabled());
    }
    if (meanwhile == u"Delete All"_s) {
        m_fakes->messages->answers.enqueue(MsgAnswer::Ok);
        control<QPushButton>(*m_window, "bsSkinButton7")->click();
    } else if (meanwhile == u"Clear Selection"_s) {
        control<QPushButton>(*m_window, "bsSkinButton5")->click();
    }
    const qsizetype shownBefore = m_fakes->messages->shown.size();

    QCOMPARE(search->isEnabled(), why.isEmpty());
    QCOMPARE(search->toolTip(), why.isEmpty() ? searchTip : why);
    QCOMPARE(stop->isEnabled(), running);
    if (!why.isEmpty()) {
        // Called all the same (a shortcut, the row menu): it says why in the status bar, asks nothing.
        harvest();
        QCOMPARE(m_fakes->messages->shown.size(), shownBefore);
        QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(), why);
        QCOMPARE(m_server->requests().size(), running ? 1 : 0);
    }
    if (running) {
        stop->click();
        QCoro::waitFor(*harvesting);
        QVERIFY(!stop->isEnabled());
    }
}

void TestSuggestWindow::deleteQuestionsCountTheRows_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("question");
    QTest::newRow("one selected") << 3 << 1 << "bsSkinButton6"
                                  << "Are you sure to delete selected items?\r\nDelete 1 selected item?";
    QTest::newRow("digit groups") << 1300 << 1204 << "bsSkinButton6"
                                  << "Are you sure to delete selected items?\r\nDelete 1,204 selected items?";
    QTest::newRow("all, one row") << 1 << 1 << "bsSkinButton7"
                                  << "Are you sure to delete all?\r\nDelete the 1 item?";
    QTest::newRow("all") << 1300 << 2 << "bsSkinButton7"
                         << "Are you sure to delete all?\r\nDelete all 1,300 items?";
}

// The question before a delete keeps its words and says how many rows go.
void TestSuggestWindow::deleteQuestionsCountTheRows()
{
    QFETCH(int, rows);
    QFETCH(int, selected);
    QFETCH(QString, button);
    QFETCH(QString, question);
    QByteArray table;
    for (int row = 0; row < rows; ++row)
        table += storedRow("p" + QByteArray::number(row));
    makeWindow(table);
    auto* list = control<QTableView>(*m_window, "lvwSuggest");
    list->selectionModel()->select(
        QItemSelection(list->model()->index(0, 0), list->model()->index(selected - 1, 0)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_fakes->messages->answers.enqueue(MsgAnswer::Cancel);
    control<QPushButton>(*m_window, qPrintable(button))->click();
    QCOMPARE(m_fakes->messages->shown.size(), 1);
    QCOMPARE(m_fakes->messages->shown.last().text, question);
    QCOMPARE(m_window->suggestTable()->rowCount(), rows); // cancelled: nothing goes
}

void TestSuggestWindow::stopDuringTransfer()
{
    makeWindow(storedRow("a") + storedRow("b"));
    select({0, 1});
    m_server->enqueue(ScriptedHttpServer::stalled("window.google"));
    connect(m_server.get(), &ScriptedHttpServer::requestArrived, this, [this] {
        QTimer::singleShot(100, m_window.get(),
                           [this] { control<QPushButton>(*m_window, "btnStop")->click(); });
    });
    harvest();
    QCOMPARE(m_server->requests().size(), 1); // the second phrase is not fetched
    QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(), u"Download aborted by user."_s);
    QCOMPARE(m_window->suggestTable()->record(0).cells, allNotAvailable());
    QCOMPARE(m_window->suggestTable()->record(1).cells[0], u""_s);
    QVERIFY(!m_window->harvester()->isRunning());
    QVERIFY(!m_window->stopRequested()); // the stop ended with the harvest it stopped
}

void TestSuggestWindow::stopDuringPause()
{
    makeWindow(storedRow("a") + storedRow("b"));
    select({0, 1});
    m_server->enqueue(ScriptedHttpServer::ok(answer({{"a1", "1"}})));
    m_fakes->random->draws.enqueue(1); // a one-second pause before "b", in steps of 5 ms
    m_window->harvester()->setPauseStep(std::chrono::milliseconds(5));
    QTimer stopper;
    connect(&stopper, &QTimer::timeout, this, [this, &stopper] {
        if (control<QLabel>(*m_window, "MainStatusPanel")
                ->text()
                .startsWith(u"Preparing suggestions of: b"_s)) {
            control<QPushButton>(*m_window, "btnStop")->click();
            stopper.stop();
        }
    });
    stopper.start(20);
    harvest();
    QCOMPARE(m_server->requests().size(), 1);
    QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(), u"Proccess aborted by user."_s);
    QCOMPARE(m_window->suggestTable()->record(1).cells[0], u""_s);
    QVERIFY(!m_window->stopRequested());
}

void TestSuggestWindow::stopWithoutHarvestLeavesNoStopBehind()
{
    makeWindow();
    control<QProgressBar>(*m_window, "MainGauge")->setValue(50);
    QVERIFY(!control<QPushButton>(*m_window, "btnStop")->isEnabled());
    m_window->suggestPage()->btnStopClick();
    QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(), u"Proccess aborted by user."_s);
    QCOMPARE(control<QProgressBar>(*m_window, "MainGauge")->value(), 0);
    QVERIFY(!m_window->stopRequested());
    // Downloads, the hourly scrape's among them, still work.
    m_server->enqueue(ScriptedHttpServer::ok("page"));
    QVERIFY(QCoro::waitFor(m_window->DownloadPage(m_server->url(u"/"_s).toString())));
}

void TestSuggestWindow::stopEndsAQueuedFetchUnsent()
{
    makeWindow(storedRow("a"));
    select({0});
    m_server->enqueue(ScriptedHttpServer::stalled("<?xml"));
    m_server->setFallback(ScriptedHttpServer::ok(redWine)); // the answer, were the fetch sent
    // The harvest's fetch waits its turn behind the slow scrape.
    auto scrape = StatusWhenDone(*m_window, m_window->monitor()->scrape());
    auto harvesting = StatusWhenDone(*m_window, m_window->suggestPage()->btnSearchClick());
    QTRY_COMPARE(m_server->requests().size(), 1);

    control<QPushButton>(*m_window, "btnStop")->click();
    QCOMPARE(QCoro::waitFor(scrape), u"Download aborted by user."_s);
    QCOMPARE(QCoro::waitFor(harvesting), u"Download aborted by user."_s);
    QCOMPARE(m_window->trendTable()->rowCount(), 0);
    QCOMPARE(m_window->suggestTable()->record(0).cells, allNotAvailable());
    QVERIFY(!m_window->harvester()->isRunning());
    QVERIFY(!m_window->stopRequested());

    // Later downloads go out in their turn, and the fetch that waited is not among them.
    m_server->setFallback(ScriptedHttpServer::ok("later"));
    QVERIFY(QCoro::waitFor(m_window->DownloadPage(m_server->url(u"/later"_s).toString())));
    QCOMPARE(m_server->requestLines(),
             (QList<QByteArray>{"GET /trends/hottrends/atom/hourly HTTP/1.1", "GET /later HTTP/1.1"}));
}

void TestSuggestWindow::harvestFollowsItsRows()
{
    makeWindow(storedRow("b") + storedRow("gone") + storedRow("a"));
    select({0, 1, 2});
    m_server->enqueue(ScriptedHttpServer::ok(answer({{"for b", "1"}})));
    m_server->enqueue(ScriptedHttpServer::ok(answer({{"for a", "1"}})));
    // While "b" is fetched the user deletes "gone" and sorts the table: "a" moves to the top.
    connect(m_server.get(), &ScriptedHttpServer::requestArrived, this, [this](const QByteArray& request) {
        if (!request.contains("qu=b "))
            return;
        select({1});
        m_fakes->messages->answers.enqueue(MsgAnswer::Ok);
        control<QPushButton>(*m_window, "bsSkinButton6")->click();
        m_window->suggestPage()->lvwSuggestColumnClick(0);
    });
    harvest();
    QCOMPARE(m_server->requestLines(),
             (QList<QByteArray>{"GET /complete/search?hl=en&js=true&qu=b HTTP/1.1",
                                "GET /complete/search?hl=en&js=true&qu=a HTTP/1.1"}));
    QVERIFY(SortDone(*m_window->suggestTable()));
    QCOMPARE(phrasesOf(m_window->suggestTable()), (QStringList{u"a"_s, u"b"_s}));
    QCOMPARE(m_window->suggestTable()->record(0).cells[0], u"for a"_s);
    QCOMPARE(m_window->suggestTable()->record(1).cells[0], u"for b"_s);
}

void TestSuggestWindow::harvestedRowsAreSavedSoon()
{
    // A program killed in the middle of a harvest keeps the rows it harvested.
    m_fakes->intervals.harvestSave = std::chrono::milliseconds(50);
    makeWindow(storedRow("a") + storedRow("b"));
    select({0, 1});
    m_server->enqueue(ScriptedHttpServer::ok(answer({{"a1", "1"}})));
    m_server->enqueue(ScriptedHttpServer::stalled());
    auto harvesting = m_window->suggestPage()->btnSearchClick();
    QTRY_VERIFY_WITH_TIMEOUT(readFile(m_fixture->file(u"dbsuggest.dat"_s)).startsWith("a|a1|1|"), 5000);
    QVERIFY(m_window->harvester()->isRunning());
    control<QPushButton>(*m_window, "btnStop")->click();
    QCoro::waitFor(harvesting);
}

void TestSuggestWindow::exportSuggestions_data()
{
    QTest::addColumn<int>("choice"); // the format picked in the dialog
    QTest::addColumn<QByteArray>("bytes");

    QByteArray lines = "Keyword Phrase,Suggestion,Results\r\nred,red wine,45100000\r\nred,1000 ways,2150\r\n";
    QByteArray excel = "\xef\xbb\xbfKeyword Phrase,Suggestion,Results\r\nred,red wine,\"45,100,000\"\r\n"
                       "red,\"1,000 ways\",\"2,150\"\r\n";
    for (int i = 0; i < 8; ++i) {
        lines += "red,N/A,N/A\r\n";
        excel += "red,N/A,N/A\r\n";
    }
    QTest::newRow("the page's own format") << 0 << lines;
    QTest::newRow("excel-friendly csv") << 2 << excel;
}

void TestSuggestWindow::exportSuggestions()
{
    QFETCH(int, choice);
    QFETCH(QByteArray, bytes);
    makeWindow("red|red§wine|45,100,000|1,000§ways|2,150|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|N/"
               "A|N/A|N/A|N/A|\r\n" +
               storedRow("paris,§france") + storedRow("never"));
    m_fakes->saveDialog->answers.enqueue({m_fixture->file(u"report"_s), choice});
    control<QPushButton>(*m_window, "btnExport")->click();
    QTRY_VERIFY(!m_window->suggestPage()->findChild<TableExporter*>()->isRunning());
    QCOMPARE(m_fakes->saveDialog->titles, QStringList{u"Export all data"_s});
    QCOMPARE(m_fakes->saveDialog->choices.value(0).value(0), u"Comma delimitted(*.csv)|*.csv"_s);
    QCOMPARE(control<QLabel>(*m_window, "MainStatusPanel")->text(),
             u"Process finished! Written to report.csv in "_s + QDir::toNativeSeparators(m_fixture->home()));
    QCOMPARE(readFile(m_fixture->file(u"report.csv"_s)), bytes);
}

void TestSuggestWindow::columnClicksSort()
{
    writeFile(m_fixture->file(u"dabatase.dat"_s),
              "cherry|3/5/2009|9|\r\napple|3/6/2009|100|\r\nBanana|3/4/2009|10|\r\n");
    makeWindow("x|a|N/A|b|45,000,000|||||||||||||||||\r\ny|c|8,000,000|d|3,000,000,000|||||||||||||||||\r\n");
    const auto keywords = [this] {
        QStringList list;
        for (const TrendRecord& row : m_window->trendTable()->rows())
            list << row.keyword;
        return list;
    };
    m_window->hotTrendsPage()->lvwItemsColumnClick(2);
    QVERIFY(SortDone(*m_window->trendTable()));
    QCOMPARE(keywords(), (QStringList{u"cherry"_s, u"Banana"_s, u"apple"_s})); // 9, 10, 100
    m_window->hotTrendsPage()->lvwItemsColumnClick(2);
    QVERIFY(SortDone(*m_window->trendTable()));
    QCOMPARE(keywords(), (QStringList{u"apple"_s, u"Banana"_s, u"cherry"_s}));
    m_window->hotTrendsPage()->lvwItemsColumnClick(0); // a new column keeps the last direction
    QVERIFY(SortDone(*m_window->trendTable()));
    QCOMPARE(keywords(), (QStringList{u"cherry"_s, u"Banana"_s, u"apple"_s}));
    m_window->hotTrendsPage()->lvwItemsColumnClick(1);
    QVERIFY(SortDone(*m_window->trendTable()));
    QCOMPARE(keywords(), (QStringList{u"apple"_s, u"cherry"_s, u"Banana"_s}));

    // Results compare as numbers: "N/A" and out-of-range counts as 0.
    m_window->suggestPage()->lvwSuggestColumnClick(2);
    QVERIFY(SortDone(*m_window->suggestTable()));
    QCOMPARE(phrasesOf(m_window->suggestTable()), (QStringList{u"x"_s, u"y"_s}));
    m_window->suggestPage()->lvwSuggestColumnClick(4);
    QVERIFY(SortDone(*m_window->suggestTable()));
    QCOMPARE(phrasesOf(m_window->suggestTable()), (QStringList{u"y"_s, u"x"_s}));

    // The table is saved in its new order.
    m_fakes->messages->answers.enqueue(MsgAnswer::Ok);
    control<QPushButton>(*m_window, "btnDelete")->click();
    QVERIFY(WaitForSaves(*m_window));
    QVERIFY(readFile(m_fixture->file(u"dabatase.dat"_s)).startsWith("apple|"));

    select({1});
    m_window->suggestPage()->lvwPreviewColumnClick(1);
    QVERIFY(SortDone(*m_window->preview()));
    QCOMPARE(m_window->preview()->cellText(9, 0), u"b"_s);
}

QUILLORY_REGISTER_TEST(TestSuggestWindow);
void TestSuggestWindow::captionsFollowTheService_data()
{
    QTest::addColumn<QByteArray>("engine");
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QString>("figures"); // the first figure column's title; empty: hidden
    QTest::addColumn<QString>("preview"); // the preview's figure column; empty: hidden
    QTest::addColumn<QString>("tip");     // a word of the figure columns' tooltip

    QTest::newRow("classic") << QByteArray("classic") << "Google Suggest"
                             << "Results 1"
                             << "Results"
                             << "results";
    QTest::newRow("google") << QByteArray("google") << "Google Suggest"
                            << "Relevance 1"
                            << "Relevance"
                            << "not how often it is searched";
    QTest::newRow("youtube") << QByteArray("youtube") << "Suggest — YouTube"
                             << ""
                             << ""
                             << "";
    QTest::newRow("bing") << QByteArray("bing") << "Suggest — Bing"
                          << ""
                          << ""
                          << "";
    QTest::newRow("duckduckgo") << QByteArray("duckduckgo") << "Suggest — DuckDuckGo"
                                << ""
                                << ""
                                << "";
    QTest::newRow("amazon") << QByteArray("amazon") << "Suggest — Amazon"
                            << ""
                            << ""
                            << "";
}

void TestSuggestWindow::captionsFollowTheService()
{
    QFETCH(QByteArray, engine);
    QFETCH(QString, tab);
    QFETCH(QString, figures);
    QFETCH(QString, preview);
    QFETCH(QString, tip);
    writeFile(m_fixture->file(u"quillory.ini"_s),
              "[HotTrends]\nSource=classic\n[Suggest]\nEngine=" + engine + "\n");
    makeWindow(storedRow("red"));
    const auto* tabs = control<QTabWidget>(*m_window, "pgcMain");
    QCOMPARE(tabs->tabText(tabs->indexOf(m_window->suggestPage())), tab);
    const auto* phrases = control<QTableView>(*m_window, "lvwSuggest");
    const auto* pairs = control<QTableView>(*m_window, "lvwPreview");
    // The suggestion columns keep their titles; every figure column is titled alike, or hidden alike.
    QCOMPARE(phrases->model()->headerData(1, Qt::Horizontal).toString(), u"Suggest 1"_s);
    for (int column = 2; column <= 20; column += 2) {
        QCOMPARE(phrases->isColumnHidden(column), figures.isEmpty());
        QVERIFY(!phrases->isColumnHidden(column - 1));
    }
    QCOMPARE(pairs->isColumnHidden(PreviewModel::ResultsColumn), preview.isEmpty());
    if (!figures.isEmpty()) {
        QCOMPARE(phrases->model()->headerData(2, Qt::Horizontal).toString(), figures);
        QCOMPARE(phrases->model()->headerData(20, Qt::Horizontal).toString(), figures.chopped(1) + u"10"_s);
        QCOMPARE(pairs->model()->headerData(PreviewModel::ResultsColumn, Qt::Horizontal).toString(), preview);
        for (const QAbstractItemModel* model : {phrases->model(), pairs->model()}) {
            const int column = model == phrases->model() ? 2 : int(PreviewModel::ResultsColumn);
            QVERIFY2(model->headerData(column, Qt::Horizontal, Qt::ToolTipRole).toString().contains(tip),
                     qPrintable(model->headerData(column, Qt::Horizontal, Qt::ToolTipRole).toString()));
        }
    }
}

void TestSuggestWindow::allSuggestionsView()
{
    makeWindow("red|red§wine|1|red§dress|2|||||||||||||||||\r\n"
               "red§wine|red§wine§glasses|3|red§dress|4|||||||||||||||||\r\n");
    control<QTabWidget>(*m_window, "pgcMain")->setCurrentWidget(m_window->suggestPage());
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    SuggestPage* page = m_window->suggestPage();
    const AllSuggestionsModel* all = page->allSuggestions();
    auto* list = control<QTableView>(*m_window, "lvwAllSuggestions");
    QVERIFY(!list->isVisible());
    const auto shown = [list] {
        QStringList lines;
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < AllSuggestionsModel::ColumnCount; ++column)
                cells << list->model()->index(row, column).data().toString();
            lines << cells.join(u'|');
        }
        return lines;
    };

    // Built once it is asked for, in place of the phrases.
    QSignalSpy built(page, &SuggestPage::allSuggestionsBuilt);
    control<QPushButton>(*m_window, "btnAllSuggestions")->click();
    QVERIFY(list->isVisible());
    QVERIFY(!control<QTableView>(*m_window, "lvwSuggest")->isVisible());
    QVERIFY(built.wait(20000));
    QCOMPARE(shown(),
             (QStringList{u"red wine|red|1|1|Google (classic)"_s, u"red dress|red|1|2|Google (classic)"_s,
                          u"red wine glasses|red wine|2|1|Google (classic)"_s}));

    // A change of the table shows at once.
    m_fakes->dialogs->answers.enqueue(typeKeywords(u"blue"_s));
    control<QPushButton>(*m_window, "btnAdd")->click();
    QCOMPARE(m_window->suggestTable()->rowCount(), 3);
    const auto id = m_window->suggestTable()->idOfRow(2);
    SuggestCells cells;
    cells[0] = u"blue sky"_s;
    QVERIFY(m_window->suggestTable()->setCells(id, cells));
    QTRY_COMPARE(all->rowCount(), 4);
    // A phrase typed is of level 1: among the first level, in table order.
    QCOMPARE(shown(),
             (QStringList{u"red wine|red|1|1|Google (classic)"_s, u"red dress|red|1|2|Google (classic)"_s,
                          u"blue sky|blue|1|1|Google (classic)"_s,
                          u"red wine glasses|red wine|2|1|Google (classic)"_s}));

    // Sortable: the first click on a level sorts by its number.
    QTest::mouseClick(
        list->horizontalHeader()->viewport(), Qt::LeftButton, {},
        QPoint(list->horizontalHeader()->sectionViewportPosition(AllSuggestionsModel::LevelColumn) + 5,
               list->horizontalHeader()->height() / 2));
    QVERIFY(SortDone(*all));
    QStringList levels;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        levels << list->model()->index(row, AllSuggestionsModel::LevelColumn).data().toString();
    QCOMPARE(levels, (QStringList{u"1"_s, u"1"_s, u"1"_s, u"2"_s}));

    // Findable, and the export writes the rows found.
    auto* box = control<QLineEdit>(*m_window, "lvwAllSuggestionsFind");
    box->setText(u"glasses"_s);
    QTRY_COMPARE(list->model()->rowCount(), 1);
    m_fakes->saveDialog->answers.enqueue({m_fixture->file(u"all"_s), int(ExportFormat::Csv)});
    control<QPushButton>(*m_window, "btnExport")->click();
    QTRY_VERIFY(!page->findChild<TableExporter*>()->isRunning());
    QCOMPARE(readFile(m_fixture->file(u"all.csv"_s)),
             QByteArray("Suggestion,Phrase,Level,Position,Service\r\nred wine glasses,red wine,2,1,Google "
                        "(classic)\r\n"));

    // Back to the phrases.
    control<QPushButton>(*m_window, "btnAllSuggestions")->click();
    QVERIFY(!list->isVisible());
    QVERIFY(control<QTableView>(*m_window, "lvwSuggest")->isVisible());
}

#include "tst_suggest_window.moc"
