#include "app/AppFixture.h"
#include "app/Skin.h"
#include "app/ui/FOptions.h"
#include "suggest/SuggestImport.h"
#include "suggest/SuggestTableModel.h"
#include "suggest/ui/SuggestPage.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestRegistry.h"
#include "trends/HotTrendsMonitor.h"
#include "trends/ui/HotTrendsPage.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QListWidgetItem* countryItem(QDialog& dialog, const QString& code)
{
    QListWidget* list = control<QListWidget>(dialog, "lstCountries");
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->data(Qt::UserRole).toString() == code)
            return list->item(row);
    }
    qFatal("no country %s", qPrintable(code));
}

void chooseData(QComboBox* box, const QVariant& data)
{
    box->setCurrentIndex(box->findData(data));
}

} // namespace

class TestOptionsWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void choicesAreSavedAndUsed();
    void cancelChangesNothing();
    void trendingNeedsACountry();
    void countryListIsSearchable();
    void countriesTickedByKeyboard_data();
    void countriesTickedByKeyboard();
    void openedFromTheTray();
    void themeFollowsTheChoiceUnlessAResellerSkinIsThere();
    void unusableAddressIsToldAndAskedNothing_data();
    void unusableAddressIsToldAndAskedNothing();
    void savingKeepsTheFilesComments();
    void datesWrittenUnderAnotherLocaleRead_data();
    void datesWrittenUnderAnotherLocaleRead();

private:
    std::unique_ptr<AppFixture> m_fixture;
};

void TestOptionsWindow::init()
{
    m_fixture = std::make_unique<AppFixture>();
}

void TestOptionsWindow::cleanup()
{
    m_fixture.reset();
}

void TestOptionsWindow::choicesAreSavedAndUsed()
{
    writeFile(m_fixture->file(u"quillory.ini"_s),
              "[HotTrends]\nGeo=US\n[Endpoints]\nTrends=http://127.0.0.1:9/\n");
    const auto window = m_fixture->makeWindow();
    QCOMPARE(window->options().geo, QStringList{u"US"_s});
    QCOMPARE(window->options().endpoints.trends, u"http://127.0.0.1:9"_s);

    m_fixture->fakes.dialogs->answers.enqueue([](QDialog& dialog) {
        countryItem(dialog, u"GB"_s)->setCheckState(Qt::Checked);
        chooseData(control<QComboBox>(dialog, "cmbSuggestEngine"), int(SuggestEngine::Bing));
        chooseData(control<QComboBox>(dialog, "cmbLanguage"), u"de"_s);
        chooseData(control<QComboBox>(dialog, "cmbCountry"), u"AT"_s);
        control<QSpinBox>(dialog, "spnPauseMax")->setValue(3);
        control<QSpinBox>(dialog, "spnPauseMin")->setValue(5); // raises the longest pause with it
        control<QPushButton>(dialog, "btnOk")->click();
        return dialog.result();
    });
    control<QPushButton>(*window, "btnOptions")->click();
    QCOMPARE(m_fixture->fakes.dialogs->titles, QStringList{u"Options"_s});

    ProgramOptions expected = ReadProgramOptions(u"/nonexistent/quillory.ini"_s, QLocale::c());
    expected.geo = {u"US"_s, u"GB"_s};
    expected.engine = SuggestEngine::Bing;
    expected.language = u"de"_s;
    expected.country = u"AT"_s;
    expected.pauseMin = 5;
    expected.pauseMax = 5;
    expected.endpoints.trends = u"http://127.0.0.1:9"_s; // kept as the file had it
    QVERIFY(window->options() == expected);
    QVERIFY(ReadProgramOptions(m_fixture->file(u"quillory.ini"_s)) == expected);
}

void TestOptionsWindow::cancelChangesNothing()
{
    const auto window = m_fixture->makeWindow();
    const ProgramOptions before = window->options();
    const QByteArray file = readFile(m_fixture->file(u"quillory.ini"_s));
    m_fixture->fakes.dialogs->answers.enqueue([](QDialog& dialog) {
        chooseData(control<QComboBox>(dialog, "cmbSuggestEngine"), int(SuggestEngine::Amazon));
        control<QPushButton>(dialog, "btnCancel")->click();
        return dialog.result();
    });
    control<QPushButton>(*window, "btnOptions")->click();
    QVERIFY(window->options() == before);
    QCOMPARE(readFile(m_fixture->file(u"quillory.ini"_s)), file);
}

void TestOptionsWindow::trendingNeedsACountry()
{
    ProgramOptions options;
    options.geo = {u"US"_s};
    TfrmOptions dialog(options);
    QPushButton* ok = control<QPushButton>(dialog, "btnOk");
    countryItem(dialog, u"US"_s)->setCheckState(Qt::Unchecked);
    QVERIFY(!ok->isEnabled());
    QVERIFY(!ok->toolTip().isEmpty());
    // The classic feed reads no country; the countries stay as they were.
    chooseData(control<QComboBox>(dialog, "cmbTrendSource"), int(TrendSource::Classic));
    QVERIFY(ok->isEnabled());
    QVERIFY(!control<QListWidget>(dialog, "lstCountries")->isEnabled());
    QCOMPARE(dialog.options().geo, QStringList{u"US"_s});
    QCOMPARE(dialog.options().trendSource, TrendSource::Classic);
}

void TestOptionsWindow::countryListIsSearchable()
{
    TfrmOptions dialog(ProgramOptions{});
    QListWidget* list = control<QListWidget>(dialog, "lstCountries");
    control<QLineEdit>(dialog, "edtCountryFilter")->setText(u"germ"_s);
    QStringList shown;
    for (int row = 0; row < list->count(); ++row) {
        if (!list->item(row)->isHidden())
            shown << list->item(row)->data(Qt::UserRole).toString();
    }
    QCOMPARE(shown, QStringList{u"DE"_s});
    control<QLineEdit>(dialog, "edtCountryFilter")->clear();
    QVERIFY(!countryItem(dialog, u"JP"_s)->isHidden());
}

void TestOptionsWindow::countriesTickedByKeyboard_data()
{
    // What the user does in the Options window, step by step: "find:TEXT" types TEXT into the filter
    // in place of what it held; any other step is a key pressed where the focus is.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("geo"); // what the file holds after OK
    QTest::addColumn<QString>("ticked");  // the line above the list then
    QTest::newRow("two countries found and ticked with Tab and Space")
        << QStringList{u"find:germ"_s, u"Tab"_s, u"Space"_s, u"find:united k"_s, u"Tab"_s, u"Space"_s}
        << QStringList{u"US"_s, u"DE"_s, u"GB"_s} << u"Ticked: US, DE, GB"_s;
    QTest::newRow("Down from the filter goes into the list")
        << QStringList{u"find:germ"_s, u"Down"_s, u"Space"_s} << QStringList{u"US"_s, u"DE"_s}
        << u"Ticked: US, DE"_s;
    QTest::newRow("the current row kept while the filter shows it")
        << QStringList{u"find:united s"_s, u"Tab"_s, u"Space"_s, u"find:germ"_s, u"Tab"_s, u"Space"_s}
        << QStringList{u"DE"_s} << u"Ticked: DE"_s;
    QTest::newRow("nothing shown, nothing ticked")
        << QStringList{u"find:germ"_s, u"Tab"_s, u"Space"_s, u"find:zzz"_s, u"Tab"_s, u"Space"_s}
        << QStringList{u"US"_s, u"DE"_s} << u"Ticked: US, DE"_s;
    QTest::newRow("Space twice takes the tick back")
        << QStringList{u"find:fran"_s, u"Tab"_s, u"Space"_s, u"Space"_s} << QStringList{u"US"_s}
        << u"Ticked: US"_s;
}

void TestOptionsWindow::countriesTickedByKeyboard()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, geo);
    QFETCH(QString, ticked);
    writeFile(m_fixture->file(u"quillory.ini"_s), "[HotTrends]\nGeo=US\n");
    const auto window = m_fixture->makeWindow();

    bool active = false;
    QStringList hiddenToggled;
    QString tickedShown;
    m_fixture->fakes.dialogs->answers.enqueue([&](QDialog& dialog) {
        dialog.show();
        dialog.activateWindow();
        active = QTest::qWaitForWindowActive(&dialog);
        auto* filter = control<QLineEdit>(dialog, "edtCountryFilter");
        auto* list = control<QListWidget>(dialog, "lstCountries");
        QObject::connect(list, &QListWidget::itemChanged, &dialog, [&](QListWidgetItem* item) {
            if (item->isHidden())
                hiddenToggled << item->data(Qt::UserRole).toString();
        });
        static const QHash<QString, Qt::Key> keys{
            {u"Tab"_s, Qt::Key_Tab}, {u"Space"_s, Qt::Key_Space}, {u"Down"_s, Qt::Key_Down}};
        for (const QString& step : steps) {
            if (step.startsWith(u"find:"_s)) {
                filter->setFocus(Qt::ShortcutFocusReason);
                filter->selectAll();
                QTest::keyClicks(filter, step.mid(5));
            } else {
                QTest::keyClick(QApplication::focusWidget(), keys.value(step));
            }
        }
        tickedShown = control<QLabel>(dialog, "lblTicked")->text();
        control<QPushButton>(dialog, "btnOk")->click();
        return dialog.result();
    });
    control<QPushButton>(*window, "btnOptions")->click();
    QVERIFY(active);
    QCOMPARE(hiddenToggled, QStringList());
    QCOMPARE(tickedShown, ticked);
    QCOMPARE(window->options().geo, geo);
    QCOMPARE(ReadProgramOptions(m_fixture->file(u"quillory.ini"_s)).geo, geo);
}

void TestOptionsWindow::openedFromTheTray()
{
    const auto window = m_fixture->makeWindow();
    control<QAction>(*window, "actOptions1")->trigger();
    QCOMPARE(m_fixture->fakes.dialogs->titles, QStringList{u"Options"_s});
}

void TestOptionsWindow::themeFollowsTheChoiceUnlessAResellerSkinIsThere()
{
    const auto windowLightness = [] { return QApplication::palette().color(QPalette::Window).lightness(); };
    writeFile(m_fixture->file(u"quillory.ini"_s), "[Look]\nTheme=light\n");
    const auto window = m_fixture->makeWindow();
    QVERIFY(windowLightness() > 200);
    QVERIFY(qApp->styleSheet().contains(u"#f4f6f9"_s));
    const qint64 lightNews = control<QToolButton>(*window, "btnNews")->icon().cacheKey();

    m_fixture->fakes.dialogs->answers.enqueue([](QDialog& dialog) {
        chooseData(control<QComboBox>(dialog, "cmbTheme"), int(LookTheme::Dark));
        control<QPushButton>(dialog, "btnOk")->click();
        return dialog.result();
    });
    control<QPushButton>(*window, "btnOptions")->click();
    QCOMPARE(ReadProgramOptions(m_fixture->file(u"quillory.ini"_s)).theme, LookTheme::Dark);
    QVERIFY(windowLightness() < 60);
    QVERIFY(qApp->styleSheet().contains(u"#1b1f26"_s));
    QVERIFY2(!qApp->styleSheet().contains(u'@'), "a colour of the skin left unnamed");
    QVERIFY(control<QToolButton>(*window, "btnNews")->icon().cacheKey() != lightNews);

    // System: the desktop's tone.
    QPalette darkDesktop;
    darkDesktop.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
    QCOMPARE(ToneOf(LookTheme::System, darkDesktop), SkinTone::Dark);
    QCOMPARE(ToneOf(LookTheme::System, SkinPalette(SkinTone::Light)), SkinTone::Light);
    QCOMPARE(ToneOf(LookTheme::Light, darkDesktop), SkinTone::Light);

    // A reseller's skin (it comes with the branding file) wins over either tone.
    writeFile(m_fixture->file(u"dbsettings.dat"_s), QByteArray(100, '\x01'));
    writeFile(m_fixture->file(u"mainskin.dat"_s), "QPushButton { color: #123456; }");
    const auto branded = std::make_unique<TfrmMain>(FakeSeams().take());
    QCOMPARE(qApp->styleSheet(), u"QPushButton { color: #123456; }"_s);
}

void TestOptionsWindow::unusableAddressIsToldAndAskedNothing_data()
{
    QTest::addColumn<QByteArray>("settings"); // the rest of the file, "ADDRESS" standing for the address
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("trends"); // else a harvest
    QTest::newRow("trends, a query glued to the address")
        << QByteArray("[HotTrends]\nSource=trending\nGeo=US\n[Endpoints]\nTrends=ADDRESS/feed?x=1\n")
        << u"[Endpoints] Trends="_s << true;
    QTest::newRow("bing, a port out of range")
        << QByteArray("[Suggest]\nEngine=bing\n[Endpoints]\nBing=http://127.0.0.1:99999\n")
        << u"[Endpoints] Bing="_s << false;
    QTest::newRow("google, a fragment")
        << QByteArray("[Suggest]\nEngine=google\n[Endpoints]\nGoogleSuggest=ADDRESS#x\n")
        << u"[Endpoints] GoogleSuggest="_s << false;
}

void TestOptionsWindow::unusableAddressIsToldAndAskedNothing()
{
    QFETCH(QByteArray, settings);
    QFETCH(QString, key);
    QFETCH(bool, trends);
    // Whatever is asked goes to this server: were the value taken as it stands, it would hear of it.
    ScriptedHttpServer server;
    qputenv("QUILLORY_GOOGLE_HOST", server.hostAndPort());
    const auto unsetHost = qScopeGuard([] { qunsetenv("QUILLORY_GOOGLE_HOST"); });
    const QByteArray file = QByteArray(settings).replace("ADDRESS", "http://" + server.hostAndPort());
    writeFile(m_fixture->file(u"quillory.ini"_s), file);
    const auto window = m_fixture->makeWindow();

    // The status bar names the key.
    QLabel* told = control<QLabel>(*window, "lblOptionsProblem");
    QVERIFY(!told->isHidden());
    QVERIFY2(told->text().startsWith(u"quillory.ini: "_s + key), qPrintable(told->text()));

    if (trends) {
        QCoro::waitFor(window->tmrTimer());
        control<QPushButton>(*window, "bsSkinButton2")->click(); // Scrap Now
        QTRY_VERIFY(control<QLabel>(*window, "MainStatusPanel")->text().contains(key));
    } else {
        ImportPhrases(*window->suggestTable(), {u"red wine"_s});
        control<QTableView>(*window, "lvwSuggest")->selectAll();
        QCoro::waitFor(window->suggestPage()->btnSearchClick());
        QCOMPARE(m_fixture->fakes.messages->shown.size(), 1);
        QVERIFY2(m_fixture->fakes.messages->shown[0].text.contains(key),
                 qPrintable(m_fixture->fakes.messages->shown[0].text));
        QCOMPARE(window->suggestTable()->record(0).cells[0], u""_s);
    }
    QCOMPARE(server.requests().size(), 0);
    QCOMPARE(server.connectionCount(), 0);

    // The Options window tells it too; saving other choices leaves the value for the user to mend.
    QString shown;
    m_fixture->fakes.dialogs->answers.enqueue([&shown](QDialog& dialog) {
        QLabel* problems = control<QLabel>(dialog, "lblProblems");
        shown = problems->isHidden() ? QString() : problems->text();
        chooseData(control<QComboBox>(dialog, "cmbTheme"), int(LookTheme::Dark));
        control<QPushButton>(dialog, "btnOk")->click();
        return dialog.result();
    });
    control<QPushButton>(*window, "btnOptions")->click();
    QVERIFY2(shown.contains(key), qPrintable(shown));
    const QByteArray saved = readFile(m_fixture->file(u"quillory.ini"_s));
    const QByteArray unusableLine = file.split('\n').at(file.count('\n') - 1) + '\n';
    QVERIFY2(saved.contains("\n[Endpoints]\n" + unusableLine), saved.constData());
    QVERIFY(saved.contains("Theme=dark"));
    QVERIFY(!told->isHidden());

    // Mended by hand, it is taken once the options are confirmed again: nothing more is told.
    writeFile(m_fixture->file(u"quillory.ini"_s), "[Look]\nTheme=dark\n");
    m_fixture->fakes.dialogs->answers.enqueue([](QDialog& dialog) {
        control<QPushButton>(dialog, "btnOk")->click();
        return dialog.result();
    });
    control<QPushButton>(*window, "btnOptions")->click();
    QVERIFY(window->options().problems.isEmpty());
    QVERIFY(told->isHidden());
}

void TestOptionsWindow::savingKeepsTheFilesComments()
{
    const QByteArray file = "; Quillory's settings, kept by hand\r\n"
                            "[Suggest]\r\n"
                            "Engine=google            ; google | youtube | bing | duckduckgo | amazon\r\n"
                            "[window]\r\n"
                            "historyPanel=false       ; the panel beside the list\r\n";
    writeFile(m_fixture->file(u"quillory.ini"_s), file);
    const auto window = m_fixture->makeWindow();
    m_fixture->fakes.dialogs->answers.enqueue([](QDialog& dialog) {
        chooseData(control<QComboBox>(dialog, "cmbSuggestEngine"), int(SuggestEngine::Bing));
        control<QPushButton>(dialog, "btnOk")->click();
        return dialog.result();
    });
    control<QPushButton>(*window, "btnOptions")->click();
    // The window's own keys are written the same way.
    window->hotTrendsPage()->setHistoryShown(true);

    const QByteArray saved = readFile(m_fixture->file(u"quillory.ini"_s));
    QVERIFY2(saved.startsWith("; Quillory's settings, kept by hand\r\n"
                              "[Suggest]\r\n"
                              "Engine=bing              ; google | youtube | bing | duckduckgo | amazon\r\n"),
             saved.constData());
    QVERIFY2(saved.contains("[window]\r\nhistoryPanel=true        ; the panel beside the list\r\n"),
             saved.constData());
    QCOMPARE(window->options().engine, SuggestEngine::Bing);
    QCOMPARE(ReadProgramOptions(m_fixture->file(u"quillory.ini"_s)).engine, SuggestEngine::Bing);
}

void TestOptionsWindow::datesWrittenUnderAnotherLocaleRead_data()
{
    // The window reads under en_US (the fixture's); the folder was written by `quillory-cli watch`
    // or another window under the recorded locale.
    QTest::addColumn<QByteArray>("recorded"); // the [Data] Locale= value; empty: no record
    QTest::addColumn<QString>("written");     // the date-time as that locale wrote it
    QTest::addColumn<bool>("read");
    QTest::newRow("a service without regional settings (C)")
        << QByteArray("C") << u"11 Dec 2026 07:29:04"_s << true;
    QTest::newRow("German regional settings") << QByteArray("de_DE") << u"11.12.2026 07:29:04"_s << true;
    QTest::newRow("the C locale's forms, nothing recorded")
        << QByteArray() << u"11 Dec 2026 07:29:04"_s << true;
    QTest::newRow("German, nothing recorded") << QByteArray() << u"11.12.2026 07:29:04"_s << false;
}

void TestOptionsWindow::datesWrittenUnderAnotherLocaleRead()
{
    QFETCH(QByteArray, recorded);
    QFETCH(QString, written);
    QFETCH(bool, read);
    if (!recorded.isEmpty())
        writeFile(m_fixture->file(u"quillory.ini"_s), "[Data]\r\nLocale=" + recorded + "\r\n");
    writeFile(m_fixture->file(u"config.dat"_s),
              "<%%LastParsed%%>" + written.toUtf8() + "<%%/LastParsed%%>\r\n");
    // The table keeps the spaces of a cell as "§", as it writes them.
    writeFile(m_fixture->file(u"dabatase.dat"_s),
              "red wine|" + QString(written).replace(u' ', u'\u00a7').toUtf8() + "|1|\r\n");
    m_fixture->fakes.clock->current = QDateTime(QDate(2026, 12, 11), QTime(7, 40));
    const auto window = m_fixture->makeWindow();

    const QDateTime when(QDate(2026, 12, 11), QTime(7, 29, 4));
    QCOMPARE(control<QLabel>(*window, "lblLastParsed")->text(),
             read ? u"Last scrapped on:"_s + written : u"Last scrapped on:"_s);
    // Read, the hour has not passed: no scrape before 08:29:04.
    QCOMPARE(window->monitor()->lastScrapeTime() == when, read);
    QCOMPARE(window->monitor()->hourPassed(), !read);
    // The window records its own locale beside the one that wrote the folder.
    const QList<QLocale> locales = ReadDataLocales(m_fixture->file(u"quillory.ini"_s));
    QCOMPARE(locales.last().name(), u"en_US"_s);
    if (!recorded.isEmpty())
        QCOMPARE(locales.first().name(), QString::fromLatin1(recorded));
}

QUILLORY_REGISTER_TEST(TestOptionsWindow);
#include "tst_options_window.moc"
