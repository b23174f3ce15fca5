#include "app/AppFixture.h"
#include "app/Skin.h"
#include "app/ui/FOptions.h"
#include "support/TestRegistry.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
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
    void openedFromTheTray();
    void themeFollowsTheChoiceUnlessAResellerSkinIsThere();

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

void TestOptionsWindow::openedFromTheTray()
{
    const auto window = m_fixture->makeWindow();
    control<QAction>(*window, "actOptions1")->trigger();
    QCOMPARE(m_fixture->fakes.dialogs->titles, QStringList{u"Options"_s});
}

QUILLORY_REGISTER_TEST(TestOptionsWindow);
#include "tst_options_window.moc"

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
