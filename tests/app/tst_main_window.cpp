#include "app/AppFixture.h"
#include "app/AppIcons.h"
#include "app/FMain.h"
#include "app/Skin.h"
#include "crypto/CipherFiles.h"
#include "suggest/SuggestHarvester.h"
#include "support/Gate.h"
#include "support/TestRegistry.h"
#include "trends/HotTrendsMonitor.h"
#include "trends/TrendExport.h"
#include "trends/TrendLedger.h"
#include "trends/TrendTableModel.h"
#include "trends/ui/FRising.h"
#include "util/CrashReporter.h"
#include "util/KeywordIndex.h"
#include "util/ui/ClickableLabel.h"
#include "util/ui/ElidedLabel.h"
#include "util/ui/TableActions.h"
#include "util/ui/TableExporter.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QStackedWidget>
#include <QStyleOptionButton>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolTip>
#include <QtTest>

#include <csignal>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QByteArray fourRows =
    "alpha|3/5/2009|1|\r\nbeta|3/5/2009|2|\r\ngamma|3/5/2009|3|\r\ndelta|3/5/2009|4|\r\n";

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void controlsCarryTheirNames_data();
    void controlsCarryTheirNames();
    void iconIsTheInstalledMarkAtEverySize();
    void startsOnTheMainPage();
    void loadsTheTablesAtCreation();
    void lastParsedFile_data();
    void lastParsedFile();
    void damagedTableStillLoads();
    void itemCounterShowsOnlyWhatWasLoaded_data();
    void itemCounterShowsOnlyWhatWasLoaded();
    void selectAndClear();
    void tableKeysAndMenu();
    void buttonsHaveKeyLetters();
    void deleteSelected_data();
    void deleteSelected();
    void findBoxNarrowsTheList();
    void historyPanelShowsTheKeyword();
    void historyTroubleShowsInTheStatusBar();
    void deleteAll_data();
    void deleteAll();
    void exportTrends_data();
    void exportTrends();
    void exportGoesOnBesideTheWindow();
    void longStatusKeepsTheWindowSize();
    void bannerStaysCentred();
    void opensCentredOnItsScreen_data();
    void opensCentredOnItsScreen();
    void fitsAScreenAtLargeScale();
    void buttonBarsAlignAlike();
    void lastScrapeShowsWholeAtTheDesignSize();
    void everyControlIsNamedForAssistiveTools_data();
    void everyControlIsNamedForAssistiveTools();
    void longTextsElideInsteadOfWidening_data();
    void longTextsElideInsteadOfWidening();
    void minimiseGoesToTheTrayOnlyWhereThereIsOne_data();
    void minimiseGoesToTheTrayOnlyWhereThereIsOne();
    void closeAsksFirst_data();
    void closeAsksFirst();
    void trayExitAsksToo();
    void failedSaveIsReportedAndTheProgramGoesOn();
    void terminationSignalEndsInOrder_data();
    void terminationSignalEndsInOrder();

private:
    std::unique_ptr<TfrmMain> makeWindow() { return m_fixture->makeWindow(); }
    QString file(const QString& name) const { return m_fixture->file(name); }

    std::unique_ptr<AppFixture> m_fixture;
    FakeSeams* m_fakes = nullptr;
};

void TestMainWindow::init()
{
    m_fixture = std::make_unique<AppFixture>();
    m_fakes = &m_fixture->fakes;
}

void TestMainWindow::cleanup()
{
    m_fixture.reset();
}

void TestMainWindow::controlsCarryTheirNames_data()
{
    QTest::addColumn<QString>("name");
    for (const char* name : {"bsSkinStatusBar1", "MainStatusPanel",  "panSecondary",
                             "MainGauge",        "pgcPrinc",         "stsMain",
                             "bsSkinPanel1",     "btnMakeMoney",     "btnAbout",
                             "btnNews",          "btnUpdate",        "btnHelp",
                             "panBanner",        "imgBanner",        "gifBanner",
                             "pgcMain",          "bsSkinTabSheet1",  "bsSkinTabSheet2",
                             "panLinks",         "lblLink1URL",      "lblLink2URL",
                             "lvwItems",         "lblLastParsed",    "bsSkinButton2",
                             "bsSkinButton3",    "btnSelectAll",     "btnClearAll",
                             "btnDelete",        "btnDeleteAll",     "lvwSuggest",
                             "bsSkinSplitter1",  "lvwPreview",       "btnAdd",
                             "btnSearch",        "btnStop",          "btnExport",
                             "bsSkinButton4",    "bsSkinButton5",    "bsSkinButton6",
                             "bsSkinButton7",    "Timer1",           "tmr",
                             "bsTrayIcon1",      "bsSkinPopupMenu1", "Restore1",
                             "actExit1",         "stsWelcome",       "prfWelcome",
                             "bsSkinButton1"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestMainWindow::iconIsTheInstalledMarkAtEverySize()
{
    // The SVG drawn at the sizes of a window, a tray and screens of two device pixels a pixel: its
    // blue ground in a corner's inside and its white ring, at each of them.
    const QIcon icon = QuilloryIcon();
    for (const int size : {16, 32, 64, 256}) {
        const QImage image = icon.pixmap(size, size).toImage();
        QCOMPARE(image.size(), QSize(size, size));
        QCOMPARE(image.pixelColor(size / 8, size / 4).blue() > 150, true);
        QCOMPARE(image.pixelColor(size / 8, size / 4).red() < 100, true);
        QCOMPARE(image.pixelColor(size * 29 / 64, size * 12 / 64).lightness() > 200, true);
    }
    const auto window = m_fixture->makeWindow();
    QCOMPARE(window->windowIcon().cacheKey() != 0, true);
    QCOMPARE(window->windowIcon().availableSizes().contains(QSize(256, 256)), true);
}

void TestMainWindow::controlsCarryTheirNames()
{
    QFETCH(QString, name);
    const auto window = makeWindow();
    QVERIFY2(window->findChild<QObject*>(name), qPrintable(name));
}

void TestMainWindow::startsOnTheMainPage()
{
    QCOMPARE(Seams::system().intervals.newsCheck, std::chrono::milliseconds(2000));
    QCOMPARE(Seams::system().intervals.monitorTick, std::chrono::milliseconds(5000));
    // Long enough that the check is still due once the window's start (tables, history) is done,
    // however slow the machine; it is made due at once below.
    m_fakes->intervals.newsCheck = std::chrono::minutes(10);
    const auto window = makeWindow();
    QCOMPARE(window->windowTitle(), u"Quillory"_s);
    QVERIFY(control<QTimer>(*window, "Timer1")->isActive()); // no welcome page: the start-up check is due
    QCOMPARE(control<QTimer>(*window, "Timer1")->interval(), 600000);
    QVERIFY(control<QTimer>(*window, "tmr")->isActive());
    QCOMPARE(control<QTimer>(*window, "tmr")->interval(), 5000);
    QCOMPARE(control<ClickableLabel>(*window, "lblLink1URL")->text(), u"Google"_s);
    QCOMPARE(control<QProgressBar>(*window, "MainGauge")->value(), 0);

    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(control<QStackedWidget>(*window, "pgcPrinc")->currentWidget(),
             control<QWidget>(*window, "stsMain"));
    QCOMPARE(control<QStackedWidget>(*window, "pgcPrinc")->count(), 1);
    QVERIFY(!window->findChild<QObject*>(u"stsWelcome"_s));
    QVERIFY(!window->stopRequested() && !window->harvester()->isRunning() &&
            !window->suggestPage()->isBusy());

    // The start-up check runs once.
    control<QTimer>(*window, "Timer1")->setInterval(0);
    QTRY_VERIFY_WITH_TIMEOUT(!control<QTimer>(*window, "Timer1")->isActive(), 30000);
}

void TestMainWindow::loadsTheTablesAtCreation()
{
    writeFile(file(u"dabatase.dat"_s), fourRows);
    writeFile(file(u"config.dat"_s), "<%%LastParsed%%>3/5/2009 2:15:00 PM<%%/LastParsed%%>\r\n");
    const auto window = makeWindow();
    QCOMPARE(window->trendTable()->rowCount(), 4);
    QCOMPARE(control<QLabel>(*window, "panSecondary")->text(), u"4 items"_s);
    QCOMPARE(control<QLabel>(*window, "lblLastParsed")->text(), u"Last scrapped on:3/5/2009 2:15:00 PM"_s);
    QCOMPARE(window->monitor()->lastScrapeTime(), QDateTime(QDate(2009, 3, 5), QTime(14, 15)));
    QCOMPARE(window->KnownKeywords().find(u"GAMMA"), 2);
    QCOMPARE(control<QTableView>(*window, "lvwItems")->model()->headerData(2, Qt::Horizontal).toString(),
             u"Number of Appearances In The Top 100 List"_s);
}

void TestMainWindow::lastParsedFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QDateTime>("lastScrape");

    const QDateTime zero(QDate(1899, 12, 30), QTime(0, 0));
    const QByteArray stored("<%%LastParsed%%>3/5/2009<%%/LastParsed%%>\r\n");
    QTest::newRow("lower-case markers")
        << QByteArray("<%%lastparsed%%>3/5/2009<%%/LASTPARSED%%>\r\n") << QByteArray()
        << "Last scrapped on:3/5/2009" << QDateTime(QDate(2009, 3, 5), QTime(0, 0));
    QTest::newRow("unparsable date") << QByteArray("<%%LastParsed%%>05.03.2009<%%/LastParsed%%>\r\n")
                                     << QByteArray() << "Last scrapped on:" << zero;
    QTest::newRow("no markers") << QByteArray("3/5/2009\r\n") << QByteArray() << "Last scrapped on:" << zero;
    // A kill between the two saves of a scrape leaves the table newer than "config.dat".
    QTest::newRow("table saved after the time")
        << stored
        << QByteArray("a|3/5/2009|1|\r\nb|3/6/2009\xc2\xa7"
                      "2:15:00\xc2\xa7"
                      "PM|2|\r\nc|junk|1|\r\n")
        << "Last scrapped on:3/6/2009 2:15:00 PM" << QDateTime(QDate(2009, 3, 6), QTime(14, 15));
    QTest::newRow("table older than the time")
        << stored << QByteArray("a|3/4/2009|1|\r\n") << "Last scrapped on:3/5/2009"
        << QDateTime(QDate(2009, 3, 5), QTime(0, 0));
    QTest::newRow("table without a time")
        << QByteArray() << QByteArray("a|3/4/2009|1|\r\n") << "Last scrapped on:3/4/2009"
        << QDateTime(QDate(2009, 3, 4), QTime(0, 0));
}

void TestMainWindow::lastParsedFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, table);
    QFETCH(QString, label);
    QFETCH(QDateTime, lastScrape);
    if (!content.isEmpty())
        writeFile(file(u"config.dat"_s), content);
    if (!table.isEmpty())
        writeFile(file(u"dabatase.dat"_s), table);
    const auto window = makeWindow();
    QCOMPARE(control<QLabel>(*window, "lblLastParsed")->text(), label);
    QCOMPARE(window->monitor()->lastScrapeTime(), lastScrape);
}

void TestMainWindow::damagedTableStillLoads()
{
    writeFile(file(u"dabatase.dat"_s), "alpha|3/5/2009|1|\r\n\r\n \t\r\nbeta|\r\ngamma|3/5/2009|3|\r\n");
    const auto window = makeWindow();
    QCOMPARE(window->trendTable()->rows(), (TrendRows{{u"alpha"_s, u"3/5/2009"_s, u"1"_s},
                                                      {u"beta"_s, u""_s, u""_s},
                                                      {u"gamma"_s, u"3/5/2009"_s, u"3"_s}}));
    QCOMPARE(control<QLabel>(*window, "panSecondary")->text(), u"3 items"_s);
}

void TestMainWindow::itemCounterShowsOnlyWhatWasLoaded_data()
{
    QTest::addColumn<QByteArray>("trends"); // null: no file
    QTest::addColumn<QByteArray>("suggest");
    QTest::addColumn<QString>("counter");

    const QByteArray empty("");
    const QByteArray onePhrase = "red§wine" + QByteArray(21, '|') + "\r\n";
    QTest::newRow("empty Hot Trends file") << empty << QByteArray() << "";
    QTest::newRow("empty Suggest file") << QByteArray() << empty << "";
    QTest::newRow("rows, then an empty Suggest file") << fourRows << empty << "4 items";
    // The window opens on Hot Trends: its count, not the Suggest page's.
    QTest::newRow("both with rows") << fourRows << onePhrase << "4 items";
}

void TestMainWindow::itemCounterShowsOnlyWhatWasLoaded()
{
    QFETCH(QByteArray, trends);
    QFETCH(QByteArray, suggest);
    QFETCH(QString, counter);
    if (!trends.isNull())
        writeFile(file(u"dabatase.dat"_s), trends);
    if (!suggest.isNull())
        writeFile(file(u"dbsuggest.dat"_s), suggest);
    const auto window = makeWindow();
    QCOMPARE(control<QLabel>(*window, "panSecondary")->text(), counter);
}

void TestMainWindow::selectAndClear()
{
    writeFile(file(u"dabatase.dat"_s), fourRows);
    const auto window = makeWindow();
    control<QPushButton>(*window, "btnSelectAll")->click();
    QCOMPARE(control<QTableView>(*window, "lvwItems")->selectionModel()->selectedRows().size(), 4);
    control<QPushButton>(*window, "btnClearAll")->click();
    QCOMPARE(control<QTableView>(*window, "lvwItems")->selectionModel()->selectedRows().size(), 0);
    QCOMPARE(readFile(file(u"dabatase.dat"_s)), fourRows); // selecting saves nothing
}

void TestMainWindow::tableKeysAndMenu()
{
    writeFile(file(u"dabatase.dat"_s), fourRows);
    const auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTableView* list = control<QTableView>(*window, "lvwItems");
    list->setFocus();
    list->selectionModel()->select(list->model()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list->selectionModel()->select(list->model()->index(2, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);

    // Ctrl+C copies whole rows, tab-separated.
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QApplication::clipboard()->text(), u"alpha\t3/5/2009\t1\ngamma\t3/5/2009\t3\n"_s);

    // Delete asks as "Delete Selected" does, then deletes those rows.
    m_fakes->messages->answers.enqueue(MsgAnswer::Ok);
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(m_fakes->messages->shown.size(), 1);
    QCOMPARE(m_fakes->messages->shown[0].text, u"Are you sure to delete selected items?"_s);
    QCOMPARE(window->trendTable()->rowCount(), 2);

    // Tab leaves the list for the buttons under it.
    list->setFocus();
    const QModelIndex current = list->currentIndex();
    QTest::keyClick(list, Qt::Key_Tab);
    QVERIFY(!list->hasFocus());
    QCOMPARE(list->currentIndex(), current);

    // The context menu: Copy, then the page's buttons, which act as the buttons do.
    auto* actions = list->findChild<TableActions*>();
    QVERIFY(actions);
    std::unique_ptr<QMenu> menu(actions->contextMenu());
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << action->text();
    QCOMPARE(texts,
             (QStringList{u"Copy"_s, u""_s, u"&Scrap Now"_s, u"&Export Results"_s, u"Send &to Suggest"_s,
                          u"Select &All"_s, u"&Clear Selection"_s, u"&Delete Selected"_s, u"Delete A&ll"_s}));
    menu->actions()[5]->trigger(); // Select All
    QCOMPARE(list->selectionModel()->selectedRows().size(), 2);
}

void TestMainWindow::buttonsHaveKeyLetters()
{
    const auto window = makeWindow();
    // On each page every button has a key letter of its own, apart from those of the top bar.
    const QList<QPushButton*> topBar = control<QFrame>(*window, "bsSkinPanel1")->findChildren<QPushButton*>();
    for (QWidget* page :
         {control<QWidget>(*window, "bsSkinTabSheet1"), control<QWidget>(*window, "bsSkinTabSheet2")}) {
        QString letters;
        for (const QPushButton* b : page->findChildren<QPushButton*>() + topBar) {
            const qsizetype mark = b->text().indexOf(u'&');
            if (b == control<QPushButton>(*window, "btnMakeMoney")) // the reseller's own caption
                continue;
            QVERIFY2(mark >= 0 && mark + 1 < b->text().size(), qPrintable(b->objectName()));
            const QChar letter = b->text()[mark + 1].toLower();
            QVERIFY2(!letters.contains(letter), qPrintable(b->objectName()));
            letters += letter;
        }
    }
    // (Alt and the letter press the button: Qt's offscreen platform does not take key letters, so
    // that is seen under a real display.)
}

void TestMainWindow::deleteSelected_data()
{
    QTest::addColumn<MsgAnswer>("answer");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("ok") << MsgAnswer::Ok << QStringList{u"alpha"_s, u"gamma"_s};
    QTest::newRow("cancel") << MsgAnswer::Cancel
                            << QStringList{u"alpha"_s, u"beta"_s, u"gamma"_s, u"delta"_s};
}

void TestMainWindow::findBoxNarrowsTheList()
{
    writeFile(file(u"dabatase.dat"_s), "Caf\xc3\xa9|3/5/2009|1|\r\ntea|3/5/2009|2|\r\nCAFE\xc2\xa7"
                                       "bar|3/5/2009|3|\r\nmilk|3/5/2009|4|\r\n");
    const auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto* list = control<QTableView>(*window, "lvwItems");
    auto* box = control<QLineEdit>(*window, "lvwItemsFind");
    auto* count = control<QLabel>(*window, "lvwItemsFindCount");
    auto* selectAll = control<QPushButton>(*window, "btnSelectAll");
    const QString ownTip = selectAll->toolTip();
    const auto keywords = [&] {
        QStringList shown;
        for (const TrendRecord& row : window->trendTable()->rows())
            shown << row.keyword;
        return shown;
    };

    // Ctrl+F from the list; what is typed narrows the list, letter case and accents aside.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(box->hasFocus());
    QTest::keyClicks(box, u"cafe"_s);
    QTRY_COMPARE(count->text(), u"2 of 4"_s);
    QCOMPARE(list->model()->rowCount(), 2);
    QCOMPARE(selectAll->toolTip(), u"Selects every keyword the find box shows"_s);

    // Select All, the export and Delete Selected act on the rows shown.
    selectAll->click();
    QCOMPARE(list->selectionModel()->selectedRows().size(), 2);
    m_fakes->saveDialog->answers.enqueue({file(u"found.csv"_s), 0});
    control<QPushButton>(*window, "bsSkinButton3")->click();
    QTRY_VERIFY(!window->hotTrendsPage()->findChild<TableExporter*>()->isRunning());
    QCOMPARE(readFile(file(u"found.csv"_s)),
             QByteArray("Caf\xc3\xa9|3/5/2009|1|\r\nCAFE bar|3/5/2009|3|\r\n"));
    m_fakes->messages->answers.enqueue(MsgAnswer::Ok);
    control<QPushButton>(*window, "btnDelete")->click();
    QCOMPARE(m_fakes->messages->shown.value(0).text, u"Are you sure to delete selected items?"_s);
    QCOMPARE(keywords(), (QStringList{u"tea"_s, u"milk"_s}));
    QCOMPARE(count->text(), u"0 of 2"_s);

    // A selection made meanwhile stays across a new needle as far as its rows show; Escape empties
    // the box, and every row shows again at once.
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(box->text().isEmpty());
    QCOMPARE(list->model()->rowCount(), 2);
    QCOMPARE(count->text(), QString());
    QCOMPARE(selectAll->toolTip(), ownTip);
    list->selectionModel()->select(list->model()->index(1, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTest::keyClicks(box, u"MIL"_s);
    QTRY_COMPARE(count->text(), u"1 of 2"_s);
    QCOMPARE(list->selectionModel()->selectedRows().value(0).data().toString(), u"milk"_s);
    QTest::keyClick(box, Qt::Key_Escape);
    QTest::keyClick(box, Qt::Key_Escape);
    QVERIFY(list->hasFocus());
}

void TestMainWindow::historyPanelShowsTheKeyword()
{
    writeFile(file(u"dabatase.dat"_s), fourRows);
    {
        TrendLedger ledger(file(u"trends.sqlite"_s));
        QCOMPARE(ledger.open(), QString());
        QCOMPARE(ledger.importTable({}), QString()); // begun with an empty table: nothing more to import
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const QList<TrendingNews> news{{u"Alpha wins"_s, u"https://news.example/a"_s, u"Example"_s},
                                       {u"Not a page"_s, u"javascript:alert(1)"_s, u"x"_s}};
        QCOMPARE(ledger.recordScrape(now.addDays(-2), LedgerSource::Trending,
                                     {{u"Alpha"_s, u"US"_s, u"2000+"_s, 1, news}}),
                 QString());
        QCOMPARE(ledger.recordScrape(now.addDays(-1), LedgerSource::Trending,
                                     {{u"alpha"_s, u"GB"_s, u"20K+"_s, 3, {}}}),
                 QString());
    }
    auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto* list = control<QTableView>(*window, "lvwItems");
    auto* panel = control<QWidget>(*window, "panTrendHistory");
    QVERIFY(panel->isHidden());

    // The panel opens on the keyword the user is at, and follows the list.
    control<QPushButton>(*window, "btnHistory")->click();
    QVERIFY(panel->isVisible());
    QCOMPARE(control<QLabel>(*window, "lblHistoryKeyword")->text(),
             u"Select a keyword to see its history."_s);
    list->setCurrentIndex(list->model()->index(0, 0));
    QTRY_COMPARE(control<QLabel>(*window, "lblSightings")->text(), u"2"_s);
    QCOMPARE(control<QLabel>(*window, "lblHistoryKeyword")->text(), u"alpha"_s);
    QCOMPARE(control<QLabel>(*window, "lblCountries")->text(), u"GB, US"_s);
    QCOMPARE(control<QLabel>(*window, "lblPeakTraffic")->text(), u"20K+"_s);
    // News open in the browser, web addresses only.
    auto* news = control<QTextBrowser>(*window, "txtHistoryNews");
    QVERIFY(news->toHtml().contains(u"https://news.example/a"_s));
    QVERIFY(!news->toHtml().contains(u"javascript"_s));
    Q_EMIT news->anchorClicked(QUrl(u"javascript:alert(1)"_s));
    Q_EMIT news->anchorClicked(QUrl(u"https://news.example/a"_s));
    QCOMPARE(m_fakes->launcher->opened, QList<QUrl>{QUrl(u"https://news.example/a"_s)});
    list->setCurrentIndex(list->model()->index(1, 0));
    QTRY_COMPARE(control<QLabel>(*window, "lblHistoryKeyword")->text(),
                 u"\"beta\" has not been seen by a scrape since the history began."_s);

    // Rising: alpha is new this week; gamma was seen only before it.
    QStringList rising;
    m_fakes->dialogs->answers.enqueue([&rising](QDialog& dialog) {
        const QAbstractItemModel& rows = *static_cast<TfrmRising&>(dialog).lvwRising->model();
        if (QTest::qWaitFor([&] { return rows.rowCount() > 0; }))
            rising << rows.index(0, TfrmRising::KeywordColumn).data().toString()
                   << rows.index(0, TfrmRising::PeakTrafficColumn).data().toString();
        return int(QDialog::Rejected);
    });
    control<QPushButton>(*window, "btnRising")->click();
    QCOMPARE(rising, (QStringList{u"alpha"_s, QLocale().toString(20000)}));

    // The history columns, shown from the header's menu.
    QMenu* columns = window->hotTrendsPage()->historyColumnMenu();
    QCOMPARE(columns->actions().size(), 3);
    columns->actions()[1]->trigger(); // "Peak traffic"
    columns->actions()[2]->trigger(); // "Countries"
    delete columns;
    QVERIFY(list->isColumnHidden(TrendTableModel::FirstSeenColumn));
    QVERIFY(!list->isColumnHidden(TrendTableModel::PeakTrafficColumn));
    QTRY_COMPARE(list->model()->index(0, TrendTableModel::PeakTrafficColumn).data().toString(), u"20000"_s);
    QCOMPARE(list->model()->index(0, TrendTableModel::CountriesColumn).data().toString(), u"GB, US"_s);
    QCOMPARE(list->model()->index(1, TrendTableModel::CountriesColumn).data().toString(), QString());

    // The panel's place and the columns are remembered.
    QVERIFY(
        QSettings(file(u"quillory.ini"_s), QSettings::IniFormat).value(u"window/historyPanel"_s).toBool());
    window.reset();
    window = std::make_unique<TfrmMain>(FakeSeams().take()); // the fixture's fakes went to the first
    QVERIFY(WaitForTables(*window));
    QVERIFY(!control<QWidget>(*window, "panTrendHistory")->isHidden());
    list = control<QTableView>(*window, "lvwItems");
    QVERIFY(!list->isColumnHidden(TrendTableModel::CountriesColumn));
    QTRY_COMPARE(list->model()->index(0, TrendTableModel::CountriesColumn).data().toString(), u"GB, US"_s);
}

void TestMainWindow::historyTroubleShowsInTheStatusBar()
{
    // A history that SQLite finds is no database is set aside; the window says so once, with the
    // file's new name, and logs it.
    writeFile(file(u"dabatase.dat"_s), fourRows);
    writeFile(file(u"trends.sqlite"_s), QByteArray("no history in here\n").repeated(300));
    auto window = makeWindow();
    auto* status = control<QLabel>(*window, "MainStatusPanel");
    QTRY_VERIFY(QDir(m_fixture->home()).entryList({u"trends.sqlite.unreadable-*"_s}).size() == 1);
    const QString aside = QDir(m_fixture->home()).entryList({u"trends.sqlite.unreadable-*"_s})[0];
    const QString told =
        u"The history of trends could not be read (file is not a database); it was renamed %1 "
        u"and a new one begun."_s.arg(aside);
    QTRY_COMPARE(status->text(), told);
    QVERIFY(readFile(file(u"crash.log"_s)).contains(told.toUtf8()));
}

void TestMainWindow::deleteSelected()
{
    QFETCH(MsgAnswer, answer);
    QFETCH(QStringList, left);
    writeFile(file(u"dabatase.dat"_s), fourRows);
    const auto window = makeWindow();
    const auto* list = control<QTableView>(*window, "lvwItems");
    for (const int row : {1, 3})
        list->selectionModel()->select(list->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);

    m_fakes->messages->answers.enqueue(answer);
    control<QPushButton>(*window, "btnDelete")->click();

    QCOMPARE(m_fakes->messages->shown.size(), 1);
    QCOMPARE(m_fakes->messages->shown[0].text, u"Are you sure to delete selected items?"_s);
    QCOMPARE(m_fakes->messages->shown[0].kind, MsgKind::Warning);
    QCOMPARE(m_fakes->messages->shown[0].buttons, MsgButtons::OkCancel);
    QStringList keywords;
    for (const TrendRecord& row : window->trendTable()->rows())
        keywords << row.keyword;
    QCOMPARE(keywords, left);
    if (answer == MsgAnswer::Cancel) {
        QCOMPARE(readFile(file(u"dabatase.dat"_s)), fourRows);
        return;
    }
    QCOMPARE(control<QLabel>(*window, "panSecondary")->text(), u"2 items"_s);
    QVERIFY(WaitForSaves(*window));
    QCOMPARE(readFile(file(u"dabatase.dat"_s)), QByteArray("alpha|3/5/2009|1|\r\ngamma|3/5/2009|3|\r\n"));
    // The keywords of the rows that stayed are still known; the deleted ones are not.
    QCOMPARE(window->KnownKeywords().find(u"gamma"), 1);
    QVERIFY(!window->KnownKeywords().contains(u"beta"));
}

void TestMainWindow::deleteAll_data()
{
    QTest::addColumn<MsgAnswer>("answer");
    QTest::newRow("ok") << MsgAnswer::Ok;
    QTest::newRow("cancel") << MsgAnswer::Cancel;
}

void TestMainWindow::deleteAll()
{
    QFETCH(MsgAnswer, answer);
    writeFile(file(u"dabatase.dat"_s), fourRows);
    const auto window = makeWindow();
    m_fakes->messages->answers.enqueue(answer);
    control<QPushButton>(*window, "btnDeleteAll")->click();
    QCOMPARE(m_fakes->messages->shown.value(0).text, u"Are you sure to delete all?"_s);
    if (answer == MsgAnswer::Cancel) {
        QCOMPARE(window->trendTable()->rowCount(), 4);
        QCOMPARE(readFile(file(u"dabatase.dat"_s)), fourRows);
        return;
    }
    QCOMPARE(window->trendTable()->rowCount(), 0);
    QCOMPARE(control<QLabel>(*window, "panSecondary")->text(), u"0 items"_s);
    QVERIFY(WaitForSaves(*window));
    QVERIFY(QFile::exists(file(u"dabatase.dat"_s)));
    QCOMPARE(QFileInfo(file(u"dabatase.dat"_s)).size(), 0);
    QVERIFY(!window->KnownKeywords().contains(u"alpha"));

    // After a restart the table is still empty.
    const auto restarted = std::make_unique<TfrmMain>(FakeSeams().take());
    QVERIFY(WaitForTables(*restarted));
    QCOMPARE(restarted->trendTable()->rowCount(), 0);
}

void TestMainWindow::exportTrends_data()
{
    QTest::addColumn<QString>("chosen");  // empty: the dialog is cancelled
    QTest::addColumn<int>("choice");      // the format picked in the dialog
    QTest::addColumn<QString>("written"); // the file that must hold the export, if any
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("warning");

    // The status names the file written (%1) and its folder (%2).
    const QString finished = u"Process finished! Written to %1 in %2"_s;
    const QByteArray lines = "new york|3/5/2009|4|\r\nfoo|3/6/2009|1|\r\n";
    const QByteArray json = "[\r\n{\"keyword\":\"new york\",\"date\":\"3/5/2009\",\"count\":4},\r\n"
                            "{\"keyword\":\"foo\",\"date\":\"3/6/2009\",\"count\":1}\r\n]\r\n";
    QTest::newRow("csv added") << "out" << 0 << "out.csv" << lines << finished << "";
    QTest::newRow("other extension") << "out.txt" << 0 << "out.txt.csv" << lines << finished << "";
    QTest::newRow("upper-case extension kept") << "OUT.CSV" << 0 << "OUT.CSV" << lines << finished << "";
    QTest::newRow("existing file replaced without a question")
        << "old.csv" << 0 << "old.csv" << lines << finished << "";
    QTest::newRow("json chosen: json added") << "out" << 3 << "out.json" << json << finished << "";
    QTest::newRow("json chosen: upper-case extension kept")
        << "OUT.JSON" << 3 << "OUT.JSON" << json << finished << "";
    QTest::newRow("csv chosen for a json name")
        << "out.json" << 1 << "out.json.csv"
        << QByteArray("Keyword,Date,Count\r\nnew york,3/5/2009,4\r\nfoo,3/6/2009,1\r\n") << finished << "";
    QTest::newRow("cancelled") << "" << 0 << "" << QByteArray() << ""
                               << "";
    QTest::newRow("cannot replace")
        << "taken.csv" << 0 << "" << QByteArray() << "Exporting items..."
        << "Can't replace existing file. Please close any application that could be open it.";
}

void TestMainWindow::exportTrends()
{
    QFETCH(QString, chosen);
    QFETCH(int, choice);
    QFETCH(QString, written);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, status);
    QFETCH(QString, warning);
    writeFile(file(u"dabatase.dat"_s), "new\xc2\xa7york|3/5/2009|4|\r\nfoo|3/6/2009|1|\r\n");
    QVERIFY(QDir(m_fixture->home()).mkpath(u"taken.csv/inside"_s));
    if (chosen == u"old.csv"_s)
        writeFile(file(u"old.csv"_s), "older export\r\n");
    const auto window = makeWindow();
    if (!chosen.isEmpty())
        m_fakes->saveDialog->answers.enqueue({file(chosen), choice});
    control<QPushButton>(*window, "bsSkinButton3")->click();
    QTRY_VERIFY(!window->hotTrendsPage()->findChild<TableExporter*>()->isRunning());

    QCOMPARE(m_fakes->saveDialog->titles, QStringList{u"Export all data"_s});
    // The page's own format is the first choice, the one a plain "Save" takes.
    QCOMPARE(m_fakes->saveDialog->choices.value(0),
             (QStringList{u"Comma delimitted(*.csv)|*.csv"_s, u"CSV (RFC 4180) (*.csv)|*.csv"_s,
                          u"Excel-friendly CSV (UTF-8 with byte-order mark) (*.csv)|*.csv"_s,
                          u"JSON (*.json)|*.json"_s}));
    QCOMPARE(m_fakes->saveDialog->folders, QStringList{m_fixture->home()});
    if (status.contains(u"%1"_s))
        status = status.arg(written, QDir::toNativeSeparators(m_fixture->home()));
    QCOMPARE(control<QLabel>(*window, "MainStatusPanel")->text(), status);
    QCOMPARE(m_fakes->messages->shown.value(0).text, warning);
    if (!written.isEmpty())
        QCOMPARE(readFile(file(written)), bytes);
    // Beside the settings and the history of trends, the table and the export alone.
    QStringList files = QDir(m_fixture->home()).entryList(QDir::Files);
    files.removeAll(u"quillory.ini"_s);
    files.removeIf([](const QString& name) { return name.startsWith(u"trends.sqlite"_s); });
    QCOMPARE(files.size(), written.isEmpty() ? 1 : 2);
}

void TestMainWindow::exportGoesOnBesideTheWindow()
{
    // The file is written on a worker from the rows as they were at the click: the table changes
    // meanwhile, and a second export is refused until the first is done.
    FakeSaveDialog dialog;
    FakeMessageBoxes messages;
    QStringList statuses;
    QObject page;
    TableExporter exporter(
        dialog, messages, [&statuses](const QString& text) { statuses << text; }, &page);
    TrendTableModel table;
    table.setRows(TrendRows{{u"a"_s, u"d"_s, u"1"_s}});
    Gate gate;
    gate.hold(u"write"_s);
    const auto writeHeld = [&table, pass = gate.passage()] {
        return [rows = table.rows(), pass](const QString& fileName, ExportFormat format) {
            pass(u"write"_s);
            return ExportTrendTable(fileName, rows, format);
        };
    };
    dialog.answers.enqueue({file(u"out.csv"_s)});
    QCoro::Task<> first = exporter.exportWith(writeHeld());
    QTRY_COMPARE(gate.waitingAt(u"write"_s), 1);
    QCOMPARE(statuses, QStringList{u"Exporting items..."_s});

    table.appendRow({u"b"_s, u"d"_s, u"1"_s});
    dialog.answers.enqueue({file(u"second.csv"_s)});
    QCoro::waitFor(exporter.exportWith(writeHeld()));
    QCOMPARE(statuses.last(), u"An export is still being written; try again once it is done."_s);
    QCOMPARE(dialog.titles.size(), 1);

    gate.release(u"write"_s);
    QCoro::waitFor(first);
    QCOMPARE(readFile(file(u"out.csv"_s)), QByteArray("a|d|1|\r\n"));
    QVERIFY(statuses.last().startsWith(u"Process finished! Written to out.csv"_s));
    QVERIFY(!exporter.isRunning());
    QVERIFY(messages.shown.isEmpty());
}

void TestMainWindow::longStatusKeepsTheWindowSize()
{
    const auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    const QSize size = window->size();
    m_fakes->saveDialog->answers.enqueue({file(QString(150, u'n'))});
    control<QPushButton>(*window, "bsSkinButton3")->click();
    QTRY_VERIFY(!window->hotTrendsPage()->findChild<TableExporter*>()->isRunning());
    QVERIFY(control<QLabel>(*window, "MainStatusPanel")->text().contains(QString(150, u'n') + u".csv"_s));
    QCoreApplication::processEvents();
    QCOMPARE(window->size(), size);
    QVERIFY(window->minimumSizeHint().width() <= size.width());
}

void TestMainWindow::bannerStaysCentred()
{
    // The band is there for a reseller's banner only.
    QImage banner(105, 40, QImage::Format_RGB32);
    banner.fill(Qt::darkBlue);
    QVERIFY(banner.save(file(u"banner1.dat"_s), "BMP"));
    QVERIFY(EncryptToFile("<%%Banner1%%>pic.bmp^<%%/Banner1%%>\r\n", file(u"dbsettings.dat"_s)));
    const auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    control<ClickableLabel>(*window, "imgBanner")->resize(105, 40);
    window->resize(900, 600);
    QTRY_COMPARE(control<QFrame>(*window, "panBanner")->width(),
                 control<QWidget>(*window, "stsMain")->width());
    const int panelWidth = control<QFrame>(*window, "panBanner")->width();
    QCOMPARE(control<ClickableLabel>(*window, "imgBanner")->x(), panelWidth / 2 - 105 / 2);
    QCOMPARE(control<ClickableLabel>(*window, "imgBanner")->y(),
             control<QFrame>(*window, "panBanner")->height() / 2 - 40 / 2);

    // A banner wider than its panel is clipped evenly on both sides.
    control<ClickableLabel>(*window, "imgBanner")->resize(panelWidth + 101, 40);
    window->resize(901, 600);
    QTRY_COMPARE(control<ClickableLabel>(*window, "imgBanner")->x(),
                 control<QFrame>(*window, "panBanner")->width() / 2 - (panelWidth + 101) / 2);
    QVERIFY(control<ClickableLabel>(*window, "imgBanner")->x() < 0);
}

void TestMainWindow::opensCentredOnItsScreen_data()
{
    QTest::addColumn<QSize>("size"); // empty: as the window makes itself
    QTest::newRow("as designed") << QSize();
    QTest::newRow("small") << QSize(500, 300);
}

void TestMainWindow::opensCentredOnItsScreen()
{
    QFETCH(QSize, size);
    const auto window = makeWindow();
    if (!size.isEmpty())
        window->resize(size);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    const QRect screen = window->screen()->availableGeometry();
    const QRect frame = window->frameGeometry();
    // Centred where it fits; a window larger than the screen keeps its top-left corner on it.
    const auto expected = [](int free, int start) { return free >= 0 ? start + free / 2 : start; };
    QVERIFY(qAbs(frame.x() - expected(screen.width() - frame.width(), screen.x())) <= 1);
    QVERIFY(qAbs(frame.y() - expected(screen.height() - frame.height(), screen.y())) <= 1);
}

void TestMainWindow::longTextsElideInsteadOfWidening_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("text");
    const QString phrase = u"cheap flights to new york "_s.repeated(12);
    QTest::newRow("status text") << "MainStatusPanel" << u"Getting suggestion of: "_s + phrase + u"..."_s;
    QTest::newRow("long URL") << "MainStatusPanel"
                              << u"Getting URL: http://www.google.com/complete/search?q="_s + phrase +
                                     u"..."_s;
    QTest::newRow("last scrape") << "lblLastParsed" << u"Last scrapped on: "_s + phrase;
    QTest::newRow("left link") << "lblLink1URL" << phrase;
    QTest::newRow("right link") << "lblLink2URL" << phrase;
}

void TestMainWindow::longTextsElideInsteadOfWidening()
{
    QFETCH(QString, label);
    QFETCH(QString, text);
    const auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    const int width = window->width();
    auto* shown = window->findChild<QLabel*>(label);
    QVERIFY(shown);

    shown->setText(text);
    QCoreApplication::sendPostedEvents(); // the layouts take the new text in
    QCOMPARE(window->width(), width);
    QVERIFY(window->minimumSizeHint().width() <= width);
    QVERIFY(shown->geometry().right() < shown->parentWidget()->width());
    QCOMPARE(shown->text(), text);

    // The whole text is its tooltip, above the label's own if it has one; a text that fits shows
    // only the label's own tooltip.
    const QPoint inside = shown->rect().center();
    QHelpEvent help(QEvent::ToolTip, inside, shown->mapToGlobal(inside));
    QCoreApplication::sendEvent(shown, &help);
    QCOMPARE(QToolTip::text(), shown->toolTip().isEmpty() ? text : text + u"\n"_s + shown->toolTip());
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());
    shown->setText(u"Ready"_s);
    QCoreApplication::sendEvent(shown, &help);
    QCOMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), shown->toolTip());
}

void TestMainWindow::fitsAScreenAtLargeScale()
{
    ApplySkin(BuiltInSkin());
    const auto resetSkin = qScopeGuard([] { qApp->setStyleSheet(QString()); });
    writeFile(file(u"config.dat"_s), "<%%LastParsed%%>12/10/2026 12:15:00 PM<%%/LastParsed%%>\r\n");
    const auto window = makeWindow();
    control<QLabel>(*window, "MainStatusPanel")
        ->setText(u"Getting suggestion of: "_s + u"new york hotels "_s.repeated(8));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    // A 1280-pixel screen at a scale of 1.5 holds 853 of the window's pixels.
    QVERIFY2(window->minimumSizeHint().width() <= 1280 / 1.5,
             qPrintable(QString::number(window->minimumSizeHint().width())));
    window->resize(window->minimumSizeHint());
    for (QWidget* tab :
         {control<QWidget>(*window, "bsSkinTabSheet1"), control<QWidget>(*window, "bsSkinTabSheet2")}) {
        control<QTabWidget>(*window, "pgcMain")->setCurrentWidget(tab);
        QCoreApplication::sendPostedEvents();
        for (QPushButton* button : window->findChildren<QPushButton*>()) {
            if (!button->isVisible())
                continue;
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QSize caption = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
            const int needed =
                button->style()->sizeFromContents(QStyle::CT_PushButton, &option, caption, button).width();
            QVERIFY2(button->width() >= needed, qPrintable(button->text()));
        }
    }
}

void TestMainWindow::buttonBarsAlignAlike()
{
    const auto window = makeWindow();
    window->resize(1200, 600);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QList<int> gaps;
    const QList<QPair<QWidget*, QPushButton*>> bars{
        {control<QWidget>(*window, "bsSkinTabSheet1"), control<QPushButton>(*window, "btnDeleteAll")},
        {control<QWidget>(*window, "bsSkinTabSheet2"), control<QPushButton>(*window, "bsSkinButton7")}};
    for (const auto& [tab, last] : bars) {
        control<QTabWidget>(*window, "pgcMain")->setCurrentWidget(tab);
        QCoreApplication::sendPostedEvents();
        gaps << last->parentWidget()->width() - last->geometry().right();
    }
    QCOMPARE(gaps[0], gaps[1]);
    QVERIFY(gaps[0] < 20); // at the right edge, however wide the window
}

void TestMainWindow::lastScrapeShowsWholeAtTheDesignSize()
{
    ApplySkin(BuiltInSkin());
    const auto resetSkin = qScopeGuard([] { qApp->setStyleSheet(QString()); });
    writeFile(file(u"config.dat"_s), "<%%LastParsed%%>12/10/2026 12:15:00 PM<%%/LastParsed%%>\r\n");
    const auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(window->minimumSizeHint().width() <= 834);
    window->resize(834, 556);
    QCoreApplication::sendPostedEvents();
    const auto* label = qobject_cast<ElidedLabel*>(control<QLabel>(*window, "lblLastParsed"));
    QVERIFY(label);
    QVERIFY2(!label->isElided(),
             qPrintable(QString::number(label->width()) + u" of "_s +
                        QString::number(label->fontMetrics().horizontalAdvance(label->text()))));
    QVERIFY(label->geometry().right() < control<QPushButton>(*window, "bsSkinButton2")->geometry().left());
}

void TestMainWindow::everyControlIsNamedForAssistiveTools_data()
{
    QTest::addColumn<bool>("welcome");
    QTest::addColumn<int>("tab");
    QTest::newRow("Hot Trends") << false << 0;
    QTest::newRow("Suggest") << false << 1;
    QTest::newRow("welcome page") << true << 0;
}

void TestMainWindow::everyControlIsNamedForAssistiveTools()
{
    QFETCH(bool, welcome);
    QFETCH(int, tab);
    if (welcome)
        QVERIFY(EncryptToFile("<%%Welcome1%%><p>Hello</p><%%/Welcome1%%>\r\n", file(u"dbsettings.dat"_s)));
    const auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    control<QTabWidget>(*window, "pgcMain")->setCurrentIndex(tab);
    QCOMPARE(control<QStackedWidget>(*window, "pgcPrinc")->currentWidget(),
             welcome ? control<QWidget>(*window, "stsWelcome") : control<QWidget>(*window, "stsMain"));
    QStringList unnamed, withoutToolTip;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (!widget->isVisible())
            continue;
        const bool button = qobject_cast<QAbstractButton*>(widget);
        const bool acts =
            button || qobject_cast<ClickableLabel*>(widget) || widget->focusPolicy() != Qt::NoFocus;
        if (!acts)
            continue;
        const QString describe = widget->objectName().isEmpty()
                                     ? QString::fromUtf8(widget->metaObject()->className())
                                     : widget->objectName();
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
        if (!accessible || accessible->text(QAccessible::Name).trimmed().isEmpty() ||
            widget->accessibleName().isEmpty())
            unnamed << describe;
        if (button && widget->toolTip().isEmpty())
            withoutToolTip << describe;
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(u"no accessible name: "_s + unnamed.join(u", "_s)));
    QVERIFY2(withoutToolTip.isEmpty(), qPrintable(u"no tooltip: "_s + withoutToolTip.join(u", "_s)));
}

void TestMainWindow::minimiseGoesToTheTrayOnlyWhereThereIsOne_data()
{
    QTest::addColumn<bool>("trayAvailable");
    QTest::newRow("tray") << true;
    QTest::newRow("no tray") << false;
}

void TestMainWindow::minimiseGoesToTheTrayOnlyWhereThereIsOne()
{
    QFETCH(bool, trayAvailable);
    m_fakes->tray->available = trayAvailable;
    const auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(!control<QSystemTrayIcon>(*window, "bsTrayIcon1")->isVisible());

    window->setWindowState(Qt::WindowMinimized);
    if (trayAvailable) {
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(control<QSystemTrayIcon>(*window, "bsTrayIcon1")->isVisible());
        control<QAction>(*window, "Restore1")->trigger();
        QVERIFY(window->isVisible());
        QVERIFY(!window->isMinimized());
        QVERIFY(control<QSystemTrayIcon>(*window, "bsTrayIcon1")->isVisible()); // the icon stays once shown
    } else {
        QTest::qWait(50);
        QVERIFY(window->isVisible());
        QVERIFY(!control<QSystemTrayIcon>(*window, "bsTrayIcon1")->isVisible());
    }
}

void TestMainWindow::closeAsksFirst_data()
{
    QTest::addColumn<MsgAnswer>("answer");
    QTest::newRow("ok") << MsgAnswer::Ok;
    QTest::newRow("cancel") << MsgAnswer::Cancel;
}

void TestMainWindow::closeAsksFirst()
{
    QFETCH(MsgAnswer, answer);
    writeFile(file(u"dabatase.dat"_s), fourRows);
    const auto window = makeWindow();
    window->show();
    m_fakes->messages->answers.enqueue(answer);
    const bool closed = window->close();

    QCOMPARE(m_fakes->messages->shown.size(), 1);
    QCOMPARE(m_fakes->messages->shown[0].text,
             u"If you close you will stop to monitor data. Remember you can always\r\n"
             "minimize to tray. Do you want to close your application?"_s);
    QCOMPARE(m_fakes->messages->shown[0].kind, MsgKind::Information);
    QCOMPARE(m_fakes->messages->shown[0].buttons, MsgButtons::OkCancel);
    QCOMPARE(closed, answer == MsgAnswer::Ok);
    QCOMPARE(window->isClosing(), answer == MsgAnswer::Ok);
    QCOMPARE(window->stopRequested(), answer == MsgAnswer::Ok);
    QCOMPARE(window->isVisible(), answer == MsgAnswer::Cancel);
    QCOMPARE(readFile(file(u"dabatase.dat"_s)), fourRows);
}

void TestMainWindow::trayExitAsksToo()
{
    const auto window = makeWindow();
    window->show();
    window->hide(); // as in the tray
    m_fakes->messages->answers.enqueue(MsgAnswer::Cancel);
    control<QAction>(*window, "actExit1")->trigger();
    QCOMPARE(m_fakes->messages->shown.size(), 1);
    QVERIFY(!window->isClosing());

    m_fakes->messages->answers.enqueue(MsgAnswer::Ok);
    control<QAction>(*window, "actExit1")->trigger();
    QVERIFY(window->isClosing());
}

void TestMainWindow::failedSaveIsReportedAndTheProgramGoesOn()
{
    writeFile(file(u"dabatase.dat"_s), fourRows);
    const auto window = makeWindow();
    // A folder in the file's place makes the save fail.
    m_fakes->messages->answers.enqueue(MsgAnswer::Ok);
    QVERIFY(QFile::remove(file(u"dabatase.dat"_s)));
    QVERIFY(QDir(m_fixture->home()).mkdir(u"dabatase.dat"_s));

    control<QPushButton>(*window, "btnDeleteAll")->click();

    QVERIFY(WaitForSaves(*window));
    QCOMPARE(m_fakes->messages->shown.size(), 2);
    QCOMPARE(m_fakes->messages->shown[1].kind, MsgKind::Warning);
    QVERIFY2(m_fakes->messages->shown[1].text.contains(u"dabatase.dat"_s),
             qPrintable(m_fakes->messages->shown[1].text));
    const QByteArray log = readFile(file(u"crash.log"_s));
    QVERIFY(log.contains("SaveTrendTable"));
    QVERIFY(log.contains("dabatase.dat"));
    QCOMPARE(control<QLabel>(*window, "panSecondary")->text(),
             u"0 items"_s); // the window is still in working order
}

void TestMainWindow::terminationSignalEndsInOrder_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestMainWindow::terminationSignalEndsInOrder()
{
    QFETCH(int, signalNumber);
    writeFile(file(u"dabatase.dat"_s), fourRows);
    writeFile(file(u"dbsuggest.dat"_s), "red\xc2\xa7wine|||||||||||||||||||||\r\n");
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"QUILLORY_HOME"_s, m_fixture->home());
    environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(QUILLORY_EXECUTABLE), {});
    QVERIFY(program.waitForStarted());
    // The program names its data folder once it is up.
    QByteArray output;
    QTRY_VERIFY_WITH_TIMEOUT((output += program.readAllStandardError()).contains("data folder"), 10000);

    QCOMPARE(::kill(program.processId(), signalNumber), 0);
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(!QFile::exists(file(u"crash.log"_s)));
    QCOMPARE(readFile(file(u"dabatase.dat"_s)), fourRows);
    // What a confirmed close saves is saved: the Suggest table.
    QCOMPARE(readFile(file(u"dbsuggest.dat"_s)), "red\xc2\xa7wine|||||||||||||||||||||\r\n");
}

QUILLORY_REGISTER_TEST(TestMainWindow);
#include "tst_main_window.moc"
