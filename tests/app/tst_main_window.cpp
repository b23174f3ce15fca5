#include "app/AppFixture.h"
#include "app/AppIcons.h"
#include "app/FMain.h"
#include "app/Skin.h"
#include "crypto/CipherFiles.h"
#include "suggest/SuggestHarvester.h"
#include "suggest/SuggestTableModel.h"
#include "support/Gate.h"
#include "support/TestRegistry.h"
#include "trends/HotTrendsMonitor.h"
#include "trends/TrendExport.h"
#include "trends/TrendLedger.h"
#include "trends/TrendTableModel.h"
#include "trends/ui/FRising.h"
#include "trends/ui/TrendHistoryPanel.h"
#include "util/CrashReporter.h"
#include "util/KeywordIndex.h"
#include "util/RowFilterModel.h"
#include "util/ui/ClickableLabel.h"
#include "util/ui/ElidedLabel.h"
#include "util/ui/TableActions.h"
#include "util/ui/TableExporter.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QChartView>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QGraphicsTextItem>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSettings>
#include <QStackedWidget>
#include <QStyleOptionButton>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QToolTip>

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <memory>
#include <tuple>

using namespace Qt::StringLiterals;

namespace {

const QByteArray fourRows =
    "alpha|3/5/2009|1|\r\nbeta|3/5/2009|2|\r\ngamma|3/5/2009|3|\r\ndelta|3/5/2009|4|\r\n";

// The contrast of two colours as the WCAG defines it: 1 (the same) to 21 (black on white).
double contrastRatio(const QColor& one, const QColor& other)
{
    const auto luminance = [](const QColor& colour) {
        const auto linear = [](double channel) {
            return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
               0.0722 * linear(colour.blueF());
    };
    const double a = luminance(one);
    const double b = luminance(other);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// The declarations of every rule of `sheet` whose selector list names `selector` exactly, later
// ones over earlier ones, as the style sheet itself cascades.
QHash<QString, QString> declarationsOf(const QString& sheet, const QString& selector)
{
    QString text = sheet;
    text.remove(QRegularExpression(u"/\\*.*?\\*/"_s, QRegularExpression::DotMatchesEverythingOption));
    QHash<QString, QString> declarations;
    static const QRegularExpression rule(u"([^{}]+)\\{([^}]*)\\}"_s);
    for (const QRegularExpressionMatch& match : rule.globalMatch(text)) {
        const QStringList selectors = match.captured(1).split(u',');
        const bool named = std::any_of(selectors.begin(), selectors.end(),
                                       [&](const QString& one) { return one.trimmed() == selector; });
        if (!named)
            continue;
        for (const QString& declaration : match.captured(2).split(u';')) {
            const qsizetype colon = declaration.indexOf(u':');
            if (colon > 0)
                declarations.insert(declaration.left(colon).trimmed(), declaration.mid(colon + 1).trimmed());
        }
    }
    return declarations;
}

// The colour of a border declaration ("1px solid #123456") or of a colour value.
QColor colourIn(const QString& value)
{
    static const QRegularExpression hex(u"#[0-9a-fA-F]{6}\\b"_s);
    const QRegularExpressionMatch match = hex.match(value);
    return match.hasMatch() ? QColor(match.captured()) : QColor();
}

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
    void topBarTabOrderFollowsTheLayout();
    void iconButtonsShowTheirFocus_data();
    void iconButtonsShowTheirFocus();
    void rowMenuOpensFromTheKeyboard_data();
    void rowMenuOpensFromTheKeyboard();
    void risingDoubleClickGoesToTheKeyword_data();
    void risingDoubleClickGoesToTheKeyword();
    void risingSendsToSuggest();
    void risingExports_data();
    void risingExports();
    void deleteSelected_data();
    void deleteSelected();
    void findBoxNarrowsTheList();
    void historyPanelShowsTheKeyword();
    void historyChartKeepsItsLabelsWhole_data();
    void historyChartKeepsItsLabelsWhole();
    void historyPanelFollowsTheList_data();
    void historyPanelFollowsTheList();
    void historyTroubleShowsInTheStatusBar();
    void feedFactsFilterTheList_data();
    void feedFactsFilterTheList();
    void feedFactsShowAsColumns();
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
    void controlEdgesStandOutInTheSheet_data();
    void controlEdgesStandOutInTheSheet();
    void controlEdgesStandOutWhenDrawn_data();
    void controlEdgesStandOutWhenDrawn();
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
    // Digit groups, as the find box counts ("1,204 of 1,204").
    QByteArray many;
    for (int row = 0; row < 1204; ++row)
        many += "k" + QByteArray::number(row) + "|3/5/2009|1|\r\n";
    QTest::newRow("thousands") << many << QByteArray() << "1,204 items";
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
    QCOMPARE(texts, (QStringList{u"Copy"_s, u""_s, u"&Scrap Now"_s, u"&Export Results"_s,
                                 u"Send &to Suggest"_s, u"Select &All"_s, u"&Clear Selection"_s,
                                 u"&Delete Selected"_s, u"Delete A&ll"_s, u""_s, u"Columns…"_s}));
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

void TestMainWindow::topBarTabOrderFollowsTheLayout()
{
    const auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QList<QAbstractButton*> bar;
    for (QAbstractButton* button :
         control<QFrame>(*window, "bsSkinPanel1")->findChildren<QAbstractButton*>()) {
        if (button->isVisible())
            bar << button;
    }
    std::sort(bar.begin(), bar.end(), [](const QWidget* a, const QWidget* b) { return a->x() < b->x(); });
    QStringList shown;
    for (const QWidget* button : bar)
        shown << button->objectName();
    QCOMPARE(shown, (QStringList{u"btnMakeMoney"_s, u"btnAbout"_s, u"btnOptions"_s, u"btnNews"_s,
                                 u"btnUpdate"_s, u"btnHelp"_s}));

    // Tab from the first goes along the bar as it reads, Shift+Tab back.
    bar.first()->setFocus(Qt::TabFocusReason);
    QStringList reached{bar.first()->objectName()};
    for (qsizetype step = 1; step < bar.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(reached, shown);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), bar[bar.size() - 2]);
}

void TestMainWindow::iconButtonsShowTheirFocus_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("before");
    QTest::newRow("news") << u"btnNews"_s << u"btnOptions"_s;
    QTest::newRow("updates") << u"btnUpdate"_s << u"btnNews"_s;
    QTest::newRow("help") << u"btnHelp"_s << u"btnUpdate"_s;
}

void TestMainWindow::iconButtonsShowTheirFocus()
{
    // Reached by Tab, an icon button wears the accent round its edge; left, it does not.
    QFETCH(QString, name);
    QFETCH(QString, before);
    ApplySkin(BuiltInSkin());
    const auto resetSkin = qScopeGuard([] { qApp->setStyleSheet(QString()); });
    const auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    auto* button = window->findChild<QAbstractButton*>(name);
    auto* previous = window->findChild<QAbstractButton*>(before);
    QVERIFY(button && previous);
    const auto edge = [button] {
        const QImage shot = button->grab().toImage();
        return shot.pixelColor(1, shot.height() / 2);
    };
    const QColor accent = AccentColor(SkinTone::Light);
    previous->setFocus(Qt::TabFocusReason);
    QVERIFY(edge() != accent);
    QTest::keyClick(previous, Qt::Key_Tab);
    QVERIFY(button->hasFocus());
    QCOMPARE(edge(), accent);
    QTest::keyClick(button, Qt::Key_Backtab);
    QVERIFY(edge() != accent);
}

void TestMainWindow::rowMenuOpensFromTheKeyboard_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::newRow("Menu key") << int(Qt::Key_Menu) << Qt::KeyboardModifiers();
    QTest::newRow("Shift+F10") << int(Qt::Key_F10) << Qt::KeyboardModifiers(Qt::ShiftModifier);
}

void TestMainWindow::rowMenuOpensFromTheKeyboard()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    writeFile(file(u"dabatase.dat"_s), fourRows);
    const auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto* list = control<QTableView>(*window, "lvwItems");
    list->setFocus();
    const QModelIndex current = list->model()->index(2, 0);
    list->setCurrentIndex(current);

    // The row menu opens under the current row, as a right click's does.
    QTest::keyClick(list, Qt::Key(key), modifiers);
    QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    const auto closeMenu = qScopeGuard([menu] { menu->close(); });
    QCOMPARE(menu->objectName(), u"lvwItemsMenu"_s);
    QCOMPARE(menu->pos(), list->viewport()->mapToGlobal(list->visualRect(current).bottomLeft()));
    QCOMPARE(menu->actions().value(0) ? menu->actions()[0]->text() : QString(), u"Copy"_s);

    // The header's column menu is in it, and works as the header's does.
    QAction* columnsEntry = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->text() == u"Columns…"_s)
            columnsEntry = action;
    }
    QVERIFY(columnsEntry && columnsEntry->menu());
    QStringList columns;
    QAction* countries = nullptr;
    for (QAction* action : columnsEntry->menu()->actions()) {
        columns << action->text();
        if (action->text() == u"Countries"_s)
            countries = action;
    }
    QStringList headerColumns;
    const std::unique_ptr<QMenu> headerMenu(window->hotTrendsPage()->historyColumnMenu());
    for (const QAction* action : headerMenu->actions())
        headerColumns << action->text();
    QCOMPARE(columns, headerColumns);
    QVERIFY(countries);
    QVERIFY(list->isColumnHidden(TrendTableModel::CountriesColumn));
    countries->trigger();
    QVERIFY(!list->isColumnHidden(TrendTableModel::CountriesColumn));
}

namespace {

// A Hot Trends table of 300 keywords, "zeta" far down, and a history where zeta and kw3 rose in the
// last hours: what the Rising tests start from.
QDateTime writeRisingFolder(const AppFixture& fixture)
{
    QByteArray rows;
    for (int row = 0; row < 300; ++row)
        rows += (row == 280 ? QByteArray("zeta") : "kw" + QByteArray::number(row)) + "|3/5/2009|1|\r\n";
    writeFile(fixture.file(u"dabatase.dat"_s), rows);
    TrendLedger ledger(fixture.file(u"trends.sqlite"_s));
    if (!ledger.open().isEmpty() || !ledger.importTable({}).isEmpty())
        return {};
    // Whole seconds, as the history keeps them.
    const QDateTime at =
        QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch() - 2 * 3600, Qt::UTC);
    const QString recorded =
        ledger.recordScrape(at, LedgerSource::Trending,
                            {{u"zeta"_s, u"US"_s, u"5000+"_s, 1, {}}, {u"kw3"_s, u"GB"_s, u"200+"_s, 2, {}}});
    return recorded.isEmpty() ? at : QDateTime();
}

// The row of the Rising list that shows `keyword`.
QModelIndex risingRow(const TfrmRising& dialog, const QString& keyword)
{
    const QAbstractItemModel& rows = *dialog.lvwRising->model();
    for (int row = 0; row < rows.rowCount(); ++row) {
        if (rows.index(row, TfrmRising::KeywordColumn).data().toString() == keyword)
            return rows.index(row, TfrmRising::KeywordColumn);
    }
    return {};
}

} // namespace

void TestMainWindow::risingDoubleClickGoesToTheKeyword_data()
{
    QTest::addColumn<QString>("find");
    QTest::newRow("every row shown") << QString();
    QTest::newRow("hidden by the find box") << u"kw1"_s;
}

void TestMainWindow::risingDoubleClickGoesToTheKeyword()
{
    QFETCH(QString, find);
    QVERIFY(writeRisingFolder(*m_fixture).isValid());
    const auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto* list = control<QTableView>(*window, "lvwItems");
    if (!find.isEmpty()) {
        auto* box = window->hotTrendsPage()->findChild<QLineEdit*>();
        QVERIFY(box);
        box->setText(find);
        QTRY_VERIFY(list->model()->rowCount() < 300);
    }
    m_fakes->dialogs->answers.enqueue([](QDialog& dialog) {
        auto& rising = static_cast<TfrmRising&>(dialog);
        if (!QTest::qWaitFor([&] { return risingRow(rising, u"zeta"_s).isValid(); }))
            return -1;
        Q_EMIT rising.lvwRising->doubleClicked(risingRow(rising, u"zeta"_s));
        return rising.result();
    });
    control<QPushButton>(*window, "btnRising")->click();
    QVERIFY(m_fakes->dialogs->answers.isEmpty());

    // The keyword is the current row, selected alone, and in view.
    const QModelIndex current = list->currentIndex();
    QCOMPARE(current.siblingAtColumn(0).data().toString(), u"zeta"_s);
    QCOMPARE(list->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(list->selectionModel()->selectedRows()[0].row(), current.row());
    QVERIFY(list->viewport()->rect().contains(list->visualRect(current)));
}

void TestMainWindow::risingSendsToSuggest()
{
    QVERIFY(writeRisingFolder(*m_fixture).isValid());
    const auto window = makeWindow();
    QStringList menuTexts;
    m_fakes->dialogs->answers.enqueue([&menuTexts](QDialog& dialog) {
        auto& rising = static_cast<TfrmRising&>(dialog);
        if (!QTest::qWaitFor([&] { return rising.lvwRising->model()->rowCount() == 2; }))
            return -1;
        auto* send = rising.findChild<QPushButton*>(u"btnRisingToSuggest"_s);
        if (!send || send->isEnabled()) // nothing selected yet: nothing to send
            return -2;
        for (const QString& keyword : {u"zeta"_s, u"kw3"_s})
            rising.lvwRising->selectionModel()->select(
                risingRow(rising, keyword), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        // The row menu offers what the buttons do.
        std::unique_ptr<QMenu> menu(rising.lvwRising->findChild<TableActions*>()->contextMenu());
        for (const QAction* action : menu->actions())
            menuTexts << action->text();
        send->click();
        return rising.result();
    });
    control<QPushButton>(*window, "btnRising")->click();
    QCOMPARE(menuTexts, (QStringList{u"Copy"_s, QString(), u"Send &to Suggest"_s, u"&Export Results"_s}));
    // In the order shown: the biggest traffic first.
    const SuggestTableModel& phrases = *window->suggestTable();
    QTRY_COMPARE(phrases.rowCount(), 2); // matched beside the window
    QCOMPARE(phrases.cellText(0, 0).toString(), u"zeta"_s);
    QCOMPARE(phrases.cellText(1, 0).toString(), u"kw3"_s);
    QCOMPARE(control<QTabWidget>(*window, "pgcMain")->currentWidget(),
             control<QWidget>(*window, "bsSkinTabSheet2"));
}

void TestMainWindow::risingExports_data()
{
    QTest::addColumn<int>("choice");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected"); // %1: the time the two were first seen
    QTest::newRow("own lines") << 0 << u"rising.csv"_s << u"zeta|%1|1|0|5000|\r\nkw3|%1|1|0|200|\r\n"_s;
    QTest::newRow("csv") << 1 << u"rising.csv"_s
                         << u"Keyword,First seen,Last 7 days,7 days before,Peak traffic\r\n"
                            u"zeta,%1,1,0,5000\r\nkw3,%1,1,0,200\r\n"_s;
    QTest::newRow("json")
        << 3 << u"rising.json"_s
        << u"[\r\n{\"keyword\":\"zeta\",\"firstSeen\":\"%1\",\"lastWeek\":1,\"weekBefore\":0,"
           u"\"peakTraffic\":5000},\r\n{\"keyword\":\"kw3\",\"firstSeen\":\"%1\",\"lastWeek\":1,"
           u"\"weekBefore\":0,\"peakTraffic\":200}\r\n]\r\n"_s;
}

void TestMainWindow::risingExports()
{
    QFETCH(int, choice);
    QFETCH(QString, name);
    QFETCH(QString, expected);
    const QDateTime at = writeRisingFolder(*m_fixture);
    QVERIFY(at.isValid());
    const auto window = makeWindow();
    m_fakes->saveDialog->answers.enqueue({file(name), choice});
    m_fakes->dialogs->answers.enqueue([](QDialog& dialog) {
        auto& rising = static_cast<TfrmRising&>(dialog);
        if (!QTest::qWaitFor([&] { return rising.lvwRising->model()->rowCount() == 2; }))
            return -1;
        rising.findChild<QPushButton*>(u"btnRisingExport"_s)->click();
        return int(QDialog::Rejected);
    });
    control<QPushButton>(*window, "btnRising")->click();
    // The export goes on after the dialog closed; the page's exporter writes it.
    QTRY_COMPARE(QString::fromUtf8(readFile(file(name))), expected.arg(at.toString(Qt::ISODate)));
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
    QCOMPARE(control<QLabel>(*window, "lblPeakTraffic")->text(), u"20,000+"_s); // "20K+" in the feed
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
    QCOMPARE(rising, (QStringList{u"alpha"_s, u"20,000+"_s}));

    // The history columns, shown from the header's menu.
    QMenu* columns = window->hotTrendsPage()->historyColumnMenu();
    QCOMPARE(columns->actions().size(), 5);
    columns->actions()[1]->trigger(); // "Peak traffic"
    columns->actions()[2]->trigger(); // "Countries"
    delete columns;
    QVERIFY(list->isColumnHidden(TrendTableModel::FirstSeenColumn));
    QVERIFY(!list->isColumnHidden(TrendTableModel::PeakTrafficColumn));
    QTRY_COMPARE(list->model()->index(0, TrendTableModel::PeakTrafficColumn).data().toString(),
                 QLocale().toString(20000) + u'+');
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

namespace {

// A history where alpha trended 2 hours ago in US, beta 30 hours ago in GB, gamma 3 days ago in US
// and delta 10 days ago in DE; the table also holds "epsilon", which the history never saw.
void writeFeedFactsFolder(const AppFixture& fixture)
{
    writeFile(fixture.file(u"dabatase.dat"_s), QByteArray(fourRows) + "epsilon|3/5/2009|5|\r\n");
    TrendLedger ledger(fixture.file(u"trends.sqlite"_s));
    QCOMPARE(ledger.open(), QString());
    QCOMPARE(ledger.importTable({}), QString());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const std::tuple<const char*, const char*, qint64> seen[] = {
        {"alpha", "US", 2}, {"beta", "GB", 30}, {"gamma", "US", 72}, {"delta", "DE", 240}};
    for (const auto& [keyword, country, hoursAgo] : seen) {
        LedgerSighting sighting{QString::fromLatin1(keyword), QString::fromLatin1(country), u"100+"_s, 1, {}};
        sighting.started = now.addSecs(-hoursAgo * 3600 - 600);
        QCOMPARE(ledger.recordScrape(now.addSecs(-hoursAgo * 3600), LedgerSource::Trending, {sighting}),
                 QString());
    }
}

QStringList shownKeywords(const QTableView& list)
{
    QStringList keywords;
    for (int row = 0; row < list.model()->rowCount(); ++row)
        keywords << list.model()->index(row, TrendTableModel::KeywordColumn).data().toString();
    keywords.sort();
    return keywords;
}

} // namespace

void TestMainWindow::feedFactsFilterTheList_data()
{
    QTest::addColumn<QString>("country");
    QTest::addColumn<int>("hours");
    QTest::addColumn<QString>("find");
    QTest::addColumn<QStringList>("shown");
    const QStringList all{u"alpha"_s, u"beta"_s, u"delta"_s, u"epsilon"_s, u"gamma"_s};
    QTest::newRow("everything") << QString() << 0 << QString() << all;
    QTest::newRow("4 hours") << QString() << 4 << QString() << QStringList{u"alpha"_s};
    QTest::newRow("24 hours") << QString() << 24 << QString() << QStringList{u"alpha"_s};
    QTest::newRow("48 hours") << QString() << 48 << QString() << QStringList{u"alpha"_s, u"beta"_s};
    QTest::newRow("7 days") << QString() << 168 << QString()
                            << QStringList{u"alpha"_s, u"beta"_s, u"gamma"_s};
    QTest::newRow("US") << u"US"_s << 0 << QString() << QStringList{u"alpha"_s, u"gamma"_s};
    QTest::newRow("US, 48 hours") << u"US"_s << 48 << QString() << QStringList{u"alpha"_s};
    QTest::newRow("DE, 7 days") << u"DE"_s << 168 << QString() << QStringList{};
    QTest::newRow("7 days and the find box") << QString() << 168 << u"mm"_s << QStringList{u"gamma"_s};
}

void TestMainWindow::feedFactsFilterTheList()
{
    QFETCH(QString, country);
    QFETCH(int, hours);
    QFETCH(QString, find);
    QFETCH(QStringList, shown);
    writeFeedFactsFolder(*m_fixture);
    const auto window = makeWindow();
    auto* list = control<QTableView>(*window, "lvwItems");
    auto* countries = control<QComboBox>(*window, "cmbTrendCountry");
    auto* span = control<QComboBox>(*window, "cmbTrendWindow");
    QCOMPARE(shownKeywords(*list).size(), 5);
    // The countries come from the history.
    QTRY_COMPARE(countries->count(), 4);
    QCOMPARE(countries->itemData(1).toString(), u"DE"_s);
    QCOMPARE(span->count(), 5);
    if (!find.isEmpty()) {
        window->hotTrendsPage()->findChild<QLineEdit*>()->setText(find);
        QTRY_COMPARE(list->model()->rowCount(), 1); // gamma
    }

    // Narrowed first to something else, so that every choice is seen to change the list.
    QSignalSpy applied(window->hotTrendsPage(), &HotTrendsPage::factsFilterApplied);
    countries->setCurrentIndex(countries->findData(u"GB"_s));
    QVERIFY(applied.wait(10000));
    QTRY_COMPARE(shownKeywords(*list), find.isEmpty() ? QStringList{u"beta"_s} : QStringList{});
    applied.clear();
    const int countryIndex = country.isEmpty() ? 0 : countries->findData(country);
    QVERIFY(countryIndex >= 0);
    countries->setCurrentIndex(countryIndex);
    span->setCurrentIndex(span->findData(hours));
    // Only the newest choice is applied; no row's choice leaves the list as the step between.
    QTRY_COMPARE(shownKeywords(*list), shown);
}

void TestMainWindow::feedFactsShowAsColumns()
{
    writeFeedFactsFolder(*m_fixture);
    const QByteArray table = readFile(file(u"dabatase.dat"_s));
    const auto window = makeWindow();
    auto* list = control<QTableView>(*window, "lvwItems");
    for (const int column : {TrendTableModel::StartedColumn, TrendTableModel::StatusColumn})
        QVERIFY(list->isColumnHidden(column));
    window->hotTrendsPage()->setHistoryColumnsShown({u"started"_s, u"status"_s, u"countries"_s});
    QVERIFY(!list->isColumnHidden(TrendTableModel::StatusColumn));
    const auto cell = [list](const QString& keyword, int column) {
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            if (list->model()->index(row, 0).data().toString() == keyword)
                return list->model()->index(row, column).data().toString();
        }
        return QString();
    };
    // The newest scrape saw alpha; the others ended when they were last seen.
    QTRY_COMPARE(cell(u"alpha"_s, TrendTableModel::StatusColumn), u"active"_s);
    QCOMPARE(cell(u"beta"_s, TrendTableModel::StatusColumn), u"ended 30 h ago"_s);
    QCOMPARE(cell(u"delta"_s, TrendTableModel::StatusColumn), u"ended 10 days ago"_s);
    QCOMPARE(cell(u"epsilon"_s, TrendTableModel::StatusColumn), QString());
    QCOMPARE(cell(u"gamma"_s, TrendTableModel::CountriesColumn), u"US"_s);
    QVERIFY(!cell(u"gamma"_s, TrendTableModel::StartedColumn).isEmpty());
    QCOMPARE(list->model()->headerData(TrendTableModel::StatusColumn, Qt::Horizontal).toString(),
             u"In the feed"_s);
    // Showing them changes nothing of the table's file.
    QCOMPARE(readFile(file(u"dabatase.dat"_s)), table);
}

void TestMainWindow::historyChartKeepsItsLabelsWhole_data()
{
    QTest::addColumn<int>("width");   // 0: the panel's narrowest
    QTest::addColumn<int>("height");  // of the panel
    QTest::addColumn<qreal>("scale"); // of the font
    QTest::newRow("narrowest") << 0 << 700 << 1.0;
    QTest::newRow("narrowest, 1.5 times the text") << 0 << 700 << 1.5;
    QTest::newRow("its own width") << 380 << 700 << 1.0;
    QTest::newRow("its own width, 1.5 times the text") << 380 << 700 << 1.5;
    QTest::newRow("wide") << 700 << 700 << 1.0;
    // A short panel leaves the chart a few lines: fewer steps on the value axes.
    QTest::newRow("short") << 380 << 330 << 1.0;
    QTest::newRow("short, 1.5 times the text") << 380 << 330 << 1.5;
}

void TestMainWindow::historyChartKeepsItsLabelsWhole()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(qreal, scale);
    TrendHistoryPanel panel;
    QFont font = panel.font();
    font.setPointSizeF(font.pointSizeF() * scale);
    panel.setFont(font);
    panel.resize(width > 0 ? width : panel.minimumWidth(), height);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    KeywordHistory history;
    history.keyword = u"alpha"_s;
    history.firstSeen = QDateTime(QDate(2026, 11, 1), QTime(10, 0), Qt::UTC);
    history.lastSeen = QDateTime(QDate(2026, 12, 10), QTime(10, 0), Qt::UTC);
    history.sightings = 400;
    for (int day = 0; day < 40; ++day)
        history.days.append({QDate(2026, 11, 1).addDays(day), 10 + day % 7, 200000 + day * 1000});
    panel.showHistory(history);
    auto* chart = panel.findChild<QChartView*>(u"chvHistory"_s);
    QVERIFY(chart);
    // Every label the chart draws, once it has laid itself out.
    const auto labels = [chart] {
        QStringList texts;
        for (const QGraphicsItem* item : chart->scene()->items()) {
            if (const auto* text = dynamic_cast<const QGraphicsTextItem*>(item); text && text->isVisible())
                texts << text->toPlainText();
        }
        return texts;
    };
    const QRegularExpression day(u"^[A-Z][a-z]{2} \\d{1,2}$"_s);
    QTRY_VERIFY(labels().filter(day).size() >= 2);
    for (const QString& label : labels()) {
        QVERIFY2(!label.contains(u"…"_s) && !label.contains(u"..."_s), qPrintable(label));
    }
}

void TestMainWindow::historyPanelFollowsTheList_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("keyword"); // the keyword whose history shows; empty: none
    QTest::addColumn<QString>("text");    // else the panel's word why
    QTest::newRow("Down") << "down"
                          << "beta"
                          << "";
    QTest::newRow("find box hides it") << "find gam"
                                       << ""
                                       << "Select one of the keywords shown to see its history.";
    QTest::newRow("find box keeps it") << "find alp"
                                       << "alpha"
                                       << "";
    QTest::newRow("find box, then Down into the list") << "find gam|down"
                                                       << "gamma"
                                                       << "";
    QTest::newRow("Clear Selection") << "clear selection"
                                     << ""
                                     << "Select a keyword to see its history.";
    QTest::newRow("deleted") << "delete"
                             << ""
                             << "Select a keyword to see its history.";
}

void TestMainWindow::historyPanelFollowsTheList()
{
    QFETCH(QString, action);
    QFETCH(QString, keyword);
    QFETCH(QString, text);
    writeFile(file(u"dabatase.dat"_s), fourRows);
    auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    auto* list = control<QTableView>(*window, "lvwItems");
    auto* box = control<QLineEdit>(*window, "lvwItemsFind");
    const auto* shownRows = static_cast<const RowFilterModel*>(list->model());
    auto* label = control<QLabel>(*window, "lblHistoryKeyword");
    control<QPushButton>(*window, "btnHistory")->click();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(0, 0)).center());
    QTRY_VERIFY(list->hasFocus());
    // The table's keywords are in the history from the start: the panel names the one it shows.
    QTRY_COMPARE(label->text(), u"alpha"_s);

    for (const QString& step : action.split(u'|')) {
        if (step == u"down") {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        } else if (step.startsWith(u"find ")) {
            QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
            QTRY_VERIFY(box->hasFocus());
            QTest::keyClicks(box, step.mid(5));
            QTRY_VERIFY(!shownRows->isSearching() && shownRows->isFiltering());
        } else if (step == u"clear selection") {
            control<QPushButton>(*window, "btnClearAll")->click();
        } else if (step == u"delete") {
            m_fakes->messages->answers.enqueue(MsgAnswer::Ok);
            control<QPushButton>(*window, "btnDelete")->click();
            QCOMPARE(window->trendTable()->rowCount(), 3);
        } else {
            QFAIL(qPrintable(u"unknown step "_s + step));
        }
    }
    QTRY_COMPARE(label->text(), keyword.isEmpty() ? text : keyword);
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
    // Other programs get ISO 8601 dates (the tests run with TZ=UTC); the page's own lines keep the table's.
    const QByteArray json =
        "[\r\n{\"keyword\":\"new york\",\"date\":\"2009-03-05T00:00:00Z\",\"count\":4},\r\n"
        "{\"keyword\":\"foo\",\"date\":\"2009-03-06T00:00:00Z\",\"count\":1}\r\n]\r\n";
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
        << QByteArray(
               "Keyword,Date,Count\r\nnew york,2009-03-05T00:00:00Z,4\r\nfoo,2009-03-06T00:00:00Z,1\r\n")
        << finished << "";
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

void TestMainWindow::controlEdgesStandOutInTheSheet_data()
{
    QTest::addColumn<SkinTone>("tone");
    QTest::addColumn<QString>("selector");
    const std::pair<const char*, SkinTone> tones[] = {{"light", SkinTone::Light}, {"dark", SkinTone::Dark}};
    for (const auto& [toneName, tone] : tones) {
        for (const char* selector : {"QPushButton", "QLineEdit", "QAbstractSpinBox", "QComboBox", "QListView",
                                     "QTreeView", "QCheckBox::indicator", "QRadioButton::indicator",
                                     "QListView::indicator", "QTreeView::indicator", "QGroupBox::indicator",
                                     "QProgressBar", "QMenu", "QLineEdit:focus", "QPushButton:hover"})
            QTest::addRow("%s %s", toneName, selector) << tone << QString::fromLatin1(selector);
    }
}

void TestMainWindow::controlEdgesStandOutInTheSheet()
{
    // A control's edge tells it from its own fill and from whatever it sits on: the window, a
    // panel's surface or a bar (WCAG's 3:1 for the parts of a control).
    QFETCH(SkinTone, tone);
    QFETCH(QString, selector);
    const QString sheet = BuiltInSkin(tone);
    QVERIFY(!sheet.isEmpty());
    // A state ("QLineEdit:focus") wears the control's own rule with its own over it.
    const bool subControl = selector.contains(u"::"_s);
    const QString kind = subControl ? selector : selector.section(u':', 0, 0);
    QHash<QString, QString> declarations = declarationsOf(sheet, kind);
    if (kind != selector)
        declarations.insert(declarationsOf(sheet, selector));
    QColor edge = colourIn(declarations.value(u"border"_s));
    if (declarations.contains(u"border-color"_s))
        edge = colourIn(declarations.value(u"border-color"_s));
    QVERIFY2(edge.isValid(), "the control has no edge of its own");

    const QPalette palette = SkinPalette(tone);
    QList<std::pair<QString, QColor>> grounds = {{u"window"_s, palette.color(QPalette::Window)},
                                                 {u"surface"_s, palette.color(QPalette::Base)},
                                                 {u"bar"_s, palette.color(QPalette::Midlight)}};
    const QColor fill = colourIn(declarations.value(u"background"_s));
    if (fill.isValid())
        grounds.append({u"its fill"_s, fill});
    for (const auto& [where, ground] : grounds) {
        const double ratio = contrastRatio(edge, ground);
        QVERIFY2(ratio >= 3.0,
                 qPrintable(
                     u"%1 on %2 (%3): %4:1"_s.arg(edge.name(), ground.name(), where).arg(ratio, 0, 'f', 2)));
    }
}

void TestMainWindow::controlEdgesStandOutWhenDrawn_data()
{
    QTest::addColumn<SkinTone>("tone");
    QTest::addColumn<QString>("kind");
    const std::pair<const char*, SkinTone> tones[] = {{"light", SkinTone::Light}, {"dark", SkinTone::Dark}};
    for (const auto& [toneName, tone] : tones) {
        for (const char* kind : {"check box", "radio button", "line edit"})
            QTest::addRow("%s %s", toneName, kind) << tone << QString::fromLatin1(kind);
    }
}

void TestMainWindow::controlEdgesStandOutWhenDrawn()
{
    // The same, as the style draws it: the darkest or lightest pixel across the left edge of an
    // unticked box or an empty field, against the middle of the control and against the window
    // beside it.
    QFETCH(SkinTone, tone);
    QFETCH(QString, kind);
    const QPalette before = QApplication::palette();
    ApplyBuiltInSkin(tone);
    const auto reset = qScopeGuard([&] {
        qApp->setStyleSheet(QString());
        QApplication::setPalette(before);
    });
    QWidget window;
    window.setAttribute(Qt::WA_StyledBackground);
    window.setObjectName(u"window"_s);
    QWidget* control = nullptr;
    if (kind == u"check box"_s)
        control = new QCheckBox(u"Germany"_s, &window);
    else if (kind == u"radio button"_s)
        control = new QRadioButton(u"Light"_s, &window);
    else
        control = new QLineEdit(&window);
    control->move(20, 20);
    control->resize(160, control->sizeHint().height());
    window.resize(220, 80);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QImage shot = window.grab().toImage();

    QRect box = control->geometry();
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const auto element =
            kind == u"check box"_s ? QStyle::SE_CheckBoxIndicator : QStyle::SE_RadioButtonIndicator;
        box = button->style()->subElementRect(element, &option, button).translated(button->pos());
    }
    QVERIFY(box.width() > 6 && box.height() > 6);
    const QColor inside = shot.pixelColor(box.center());
    const QColor outside = shot.pixelColor(box.left() - 3, box.center().y());
    double bestInside = 1.0;
    double bestOutside = 1.0;
    for (int x = box.left() - 1; x <= box.left() + 2; ++x) {
        const QColor pixel = shot.pixelColor(x, box.center().y());
        bestInside = std::max(bestInside, contrastRatio(pixel, inside));
        bestOutside = std::max(bestOutside, contrastRatio(pixel, outside));
    }
    QVERIFY2(bestInside >= 3.0,
             qPrintable(u"against %1: %2:1"_s.arg(inside.name()).arg(bestInside, 0, 'f', 2)));
    QVERIFY2(bestOutside >= 3.0,
             qPrintable(u"against %1: %2:1"_s.arg(outside.name()).arg(bestOutside, 0, 'f', 2)));
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
