#include "app/AppFixture.h"
#include "crypto/CipherFiles.h"
#include "support/TestRegistry.h"
#include "util/ProgramFolder.h"
#include "util/ui/ClickableLabel.h"

#include "publisher/ui/OfflineHtmlView.h"
#include <QApplication>
#include <QFrame>
#include <QImage>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QString tag(const QString& name, const QString& value)
{
    return u"<%%"_s + name + u"%%>"_s + value + u"<%%/"_s + name + u"%%>\r\n"_s;
}

QString entries(const QString& kind, const QStringList& values)
{
    QString text;
    for (int i = 0; i < values.size(); ++i)
        text += tag(kind + QString::number(i + 1), values[i]);
    return text;
}

// A GIF whose logical screen is 120 x 40 (one pixel drawn).
const QByteArray gif120x40("GIF89a\x78\x00\x28\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff"
                           "\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3b",
                           35);

QByteArray picture(const QSize& size, const char* format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray bmp200x30()
{
    return picture(QSize(200, 30), "BMP");
}

} // namespace

class TestBrandingWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { m_fixture = std::make_unique<AppFixture>(); }
    void cleanup()
    {
        m_fixture.reset();
        qApp->setStyleSheet(QString());
    }

    void captionAndButtons_data();
    void captionAndButtons();
    void welcomePageComesFirst();
    void returnLeavesTheWelcomePage_data();
    void returnLeavesTheWelcomePage();
    void bannerCentredWhenTheWelcomePageIsLeft();
    void picksAreDrawnIndependently();
    void banner_data();
    void banner();
    void links_data();
    void links();
    void skinAppliesEvenWithoutValues();
    void readOnlyInstallationKeepsItsBranding_data();
    void readOnlyInstallationKeepsItsBranding();

private:
    void writeBranding(const QString& text)
    {
        QVERIFY(EncryptToFile(text.toUtf8(), m_fixture->file(u"dbsettings.dat"_s)));
    }

    std::unique_ptr<AppFixture> m_fixture;
};

void TestBrandingWindow::captionAndButtons_data()
{
    QTest::addColumn<QString>("branding"); // "garbage": a file that does not decrypt
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("newsVisible");
    QTest::addColumn<QString>("makeMoney");

    const QString master = tag(u"MasterNewsBaseURL"_s, u"http://news.example/"_s) +
                           tag(u"PlatinumNewsBaseURL"_s, u""_s) + tag(u"GoldNewsBaseURL"_s, u""_s) +
                           tag(u"MasterPublID"_s, u"77"_s);
    QTest::newRow("master tier") << tag(u"ApplicationName"_s, u"Acme Research"_s) +
                                        tag(u"BranderType"_s, u"Master"_s) + master +
                                        tag(u"MakeMoneyButton"_s, u"Earn With Us"_s)
                                 << "Acme Research v2.01" << true << "Earn With Us";
    QTest::newRow("tier in lower case")
        << tag(u"ApplicationName"_s, u"Acme"_s) + tag(u"BranderType"_s, u"master"_s) + master << "Acme v2.01"
        << false << "Make Money";
    QTest::newRow("free tier uses the master account")
        << tag(u"BranderType"_s, u"Free"_s) + master << "Quillory" << true << "Make Money";
    QTest::newRow("gold without a news server")
        << tag(u"BranderType"_s, u"Gold"_s) + tag(u"GoldPublID"_s, u"5"_s) << "Quillory" << false
        << "Make Money";
    QTest::newRow("undecryptable file") << "garbage"
                                        << "Quillory" << false << "Make Money";
}

void TestBrandingWindow::captionAndButtons()
{
    QFETCH(QString, branding);
    QFETCH(QString, caption);
    QFETCH(bool, newsVisible);
    QFETCH(QString, makeMoney);
    if (branding == u"garbage"_s)
        writeFile(m_fixture->file(u"dbsettings.dat"_s), QByteArray(300, 'x'));
    else
        writeBranding(branding);
    const auto window = m_fixture->makeWindow();
    QCOMPARE(window->windowTitle(), caption);
    QCOMPARE(!control<QToolButton>(*window, "btnNews")->isHidden(), newsVisible);
    QCOMPARE(control<QPushButton>(*window, "btnMakeMoney")->text(), makeMoney);
}

void TestBrandingWindow::welcomePageComesFirst()
{
    writeBranding(tag(u"ApplicationName"_s, u"Acme"_s) +
                  entries(u"Welcome"_s, {u"<h1>Hello</h1><a href=\"https://acme.example/\">x</a>"_s}));
    const auto window = m_fixture->makeWindow();
    QVERIFY(!control<QTimer>(*window, "Timer1")
                 ->isActive()); // the start-up check waits for the welcome page to be left
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(control<QStackedWidget>(*window, "pgcPrinc")->currentWidget(),
             control<QWidget>(*window, "stsWelcome"));
    QVERIFY(control<QTextBrowser>(*window, "prfWelcome")->toPlainText().contains(u"Hello"_s));

    // Links of the page open in the browser; anything but web and mail addresses does nothing.
    Q_EMIT control<QTextBrowser>(*window, "prfWelcome")->anchorClicked(QUrl(u"https://acme.example/"_s));
    Q_EMIT control<QTextBrowser>(*window, "prfWelcome")->anchorClicked(QUrl(u"file:///etc/passwd"_s));
    Q_EMIT control<QTextBrowser>(*window, "prfWelcome")->anchorClicked(QUrl(u"javascript:alert(1)"_s));
    QCOMPARE(m_fixture->fakes.launcher->opened, QList<QUrl>{QUrl(u"https://acme.example/"_s)});

    control<QPushButton>(*window, "bsSkinButton1")->click();
    QCOMPARE(control<QStackedWidget>(*window, "pgcPrinc")->currentWidget(),
             control<QWidget>(*window, "stsMain"));
    QVERIFY(control<QTimer>(*window, "Timer1")->isActive());
}

void TestBrandingWindow::returnLeavesTheWelcomePage_data()
{
    QTest::addColumn<QString>("focus"); // where the key goes: "" for wherever the focus is at the start
    QTest::addColumn<int>("key");
    QTest::newRow("at the start") << "" << int(Qt::Key_Return);
    QTest::newRow("in the page") << "prfWelcome" << int(Qt::Key_Return);
    QTest::newRow("keypad Enter in the page") << "prfWelcome" << int(Qt::Key_Enter);
}

void TestBrandingWindow::returnLeavesTheWelcomePage()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    writeBranding(entries(u"Welcome"_s, {u"<h1>Hello</h1>"_s}));
    const auto window = m_fixture->makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QWidget* target = focus.isEmpty() ? QApplication::focusWidget() : window->findChild<QWidget*>(focus);
    QVERIFY(target);
    QTest::keyClick(target, Qt::Key(key));
    QCOMPARE(control<QStackedWidget>(*window, "pgcPrinc")->currentWidget(),
             control<QWidget>(*window, "stsMain"));
    QVERIFY(control<QTimer>(*window, "Timer1")->isActive());
}

void TestBrandingWindow::bannerCentredWhenTheWelcomePageIsLeft()
{
    writeBranding(entries(u"Welcome"_s, {u"<h1>Hello</h1>"_s}) + entries(u"Banner"_s, {u"pic.bmp^"_s}));
    writeFile(m_fixture->file(u"banner1.dat"_s), bmp200x30());
    const auto window = m_fixture->makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    control<QPushButton>(*window, "bsSkinButton1")->click();
    QTRY_COMPARE(control<QFrame>(*window, "panBanner")->width(),
                 control<QWidget>(*window, "stsMain")->width());
    QTRY_COMPARE(control<ClickableLabel>(*window, "imgBanner")->x(),
                 control<QFrame>(*window, "panBanner")->width() / 2 - 200 / 2);
    QCOMPARE(control<ClickableLabel>(*window, "imgBanner")->y(),
             control<QFrame>(*window, "panBanner")->height() / 2 - 30 / 2);
}

void TestBrandingWindow::picksAreDrawnIndependently()
{
    writeBranding(entries(u"Welcome"_s, {u"w1"_s, u"w2"_s, u"w3"_s}) +
                  entries(u"Banner"_s, {u"b1.gif^u1"_s, u"b2.gif^u2"_s}) +
                  entries(u"Link"_s, {u"L1^a1"_s, u"L2^a2"_s, u"L3^a3"_s}));
    for (const int draw : {2, 1, 2, 0})
        m_fixture->fakes.random->draws.enqueue(draw);
    const auto window = m_fixture->makeWindow();
    QCOMPARE(m_fixture->fakes.random->bounds, (QList<int>{3, 2, 3, 2}));
    QCOMPARE(window->branding().WelcomePage, u"w3"_s);
    QCOMPARE(window->branding().BannerImage, u"b2.gif"_s);
    QCOMPARE(window->branding().BannerURL, u"u2"_s);
    QCOMPARE(window->branding().Link1Text, u"L3"_s);
    QCOMPARE(window->branding().Link1URL, u"a3"_s);
    QCOMPARE(window->branding().Link2Text, u"L1"_s); // drawn from the two entries left
    QCOMPARE(window->branding().Link2URL, u"a1"_s);
}

void TestBrandingWindow::banner_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QByteArray>("picture"); // empty: no banner file
    QTest::addColumn<QString>("shown");      // "gif", "image" or "" (panel hidden)
    QTest::addColumn<int>("panelHeight");
    QTest::addColumn<bool>("handCursor");

    QTest::newRow("animated, upper-case name")
        << "AD.GIF^http://ads.example/" << gif120x40 << "gif" << 50 << true;
    QTest::newRow("still picture") << "pic.bmp^" << bmp200x30() << "image" << 40 << false;
    QTest::newRow("path in the name") << "C:\\ads\\pic.bmp^http://x/" << bmp200x30() << "image" << 40 << true;
    QTest::newRow("no banner file") << "pic.bmp^http://x/" << QByteArray() << "" << 0 << true;
    QTest::newRow("picture that does not decode")
        << "pic.jpg^http://x/" << QByteArray("not a jpeg") << "" << 0 << true;
    QTest::newRow("no picture name") << "^http://x/" << bmp200x30() << "" << 0 << true;
}

void TestBrandingWindow::banner()
{
    QFETCH(QString, entry);
    QFETCH(QByteArray, picture);
    QFETCH(QString, shown);
    QFETCH(int, panelHeight);
    QFETCH(bool, handCursor);
    writeBranding(entries(u"Banner"_s, {entry}));
    if (!picture.isEmpty())
        writeFile(m_fixture->file(u"banner1.dat"_s), picture);
    const QStringList before = QDir(m_fixture->home()).entryList(QDir::Files);

    const auto window = m_fixture->makeWindow();
    QCOMPARE(control<QFrame>(*window, "panBanner")->isHidden(), shown.isEmpty());
    if (!shown.isEmpty()) {
        QCOMPARE(control<ClickableLabel>(*window, "gifBanner")->isHidden(), shown != u"gif"_s);
        QCOMPARE(control<ClickableLabel>(*window, "imgBanner")->isHidden(), shown != u"image"_s);
        QCOMPARE(control<QFrame>(*window, "panBanner")->height(), panelHeight);
    }
    QCOMPARE(control<ClickableLabel>(*window, "imgBanner")->cursor().shape() == Qt::PointingHandCursor,
             handCursor);
    // The banner file keeps its name and nothing else appears in the folder (but the history of
    // trends, which begins at the first start).
    QStringList after = QDir(m_fixture->home()).entryList(QDir::Files);
    after.removeIf([](const QString& name) { return name.startsWith(u"trends.sqlite"_s); });
    QCOMPARE(after, before);
}

void TestBrandingWindow::links_data()
{
    QTest::addColumn<QStringList>("links");
    QTest::addColumn<bool>("panelVisible");
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");

    QTest::newRow("two") << QStringList{u"Acme^http://acme/"_s, u"Blog^http://blog/"_s} << true << "Acme"
                         << "Blog";
    QTest::newRow("one") << QStringList{u"Acme^http://acme/"_s} << true << "Acme"
                         << "";
    QTest::newRow("without address") << QStringList{u"Acme"_s} << true << "Acme"
                                     << "";
    QTest::newRow("none") << QStringList{} << false << ""
                          << "";
}

void TestBrandingWindow::links()
{
    QFETCH(QStringList, links);
    QFETCH(bool, panelVisible);
    QFETCH(QString, left);
    QFETCH(QString, right);
    writeBranding(tag(u"ApplicationName"_s, u"Acme"_s) + entries(u"Link"_s, links));
    const auto window = m_fixture->makeWindow();
    QCOMPARE(!control<QFrame>(*window, "panLinks")->isHidden(), panelVisible);
    QCOMPARE(control<ClickableLabel>(*window, "lblLink1URL")->text(), left);
    QCOMPARE(control<ClickableLabel>(*window, "lblLink2URL")->text(), right);
    if (links.size() == 2)
        QCOMPARE(control<ClickableLabel>(*window, "lblLink2URL")->url(), u"http://blog/"_s);
}

void TestBrandingWindow::skinAppliesEvenWithoutValues()
{
    writeFile(m_fixture->file(u"dbsettings.dat"_s), QByteArray(100, '\x01'));
    writeFile(m_fixture->file(u"mainskin.dat"_s), "QPushButton { color: #123456; }");
    const auto window = m_fixture->makeWindow();
    QCOMPARE(qApp->styleSheet(), u"QPushButton { color: #123456; }"_s);
    QCOMPARE(window->branding().ApplicationName, QString());
}

void TestBrandingWindow::readOnlyInstallationKeepsItsBranding_data()
{
    QTest::addColumn<QString>(
        "beside"); // the reseller's name in the files beside the executable; empty: none
    QTest::addColumn<QString>("inData"); // the same in the data folder
    QTest::addColumn<QString>("shown");  // the name whose files the window wears

    QTest::newRow("beside the executable") << "Acme"
                                           << ""
                                           << "Acme";
    QTest::newRow("in the data folder") << ""
                                        << "Beta"
                                        << "Beta";
    QTest::newRow("in both: the executable's come first") << "Acme"
                                                          << "Beta"
                                                          << "Acme";
}

void TestBrandingWindow::readOnlyInstallationKeepsItsBranding()
{
    QFETCH(QString, beside);
    QFETCH(QString, inData);
    QFETCH(QString, shown);
    ReadOnlyInstall install;
    // Each reseller's files: the branding, a banner of its own width, a skin and an icon.
    const QHash<QString, int> bannerWidths{{u"Acme"_s, 200}, {u"Beta"_s, 150}};
    const auto layOut = [&](const QString& name, const std::function<QString(const QString&)>& place) {
        QVERIFY(
            EncryptToFile((tag(u"ApplicationName"_s, name) + entries(u"Banner"_s, {u"pic.bmp^http://ad/"_s}) +
                           entries(u"Link"_s, {name + u" home^http://home/"_s}))
                              .toUtf8(),
                          place(u"dbsettings.dat"_s)));
        writeFile(place(u"banner1.dat"_s), picture(QSize(bannerWidths[name], 30), "BMP"));
        writeFile(place(u"mainskin.dat"_s),
                  (u"QPushButton { color: #123456; } /* "_s + name + u" */"_s).toUtf8());
        writeFile(place(u"main.ico"_s), picture(QSize(48, 48), "ICO"));
    };
    if (!beside.isEmpty())
        layOut(beside, [&](const QString& file) { return install.installFile(file); });
    if (!inData.isEmpty())
        layOut(inData, [&](const QString& file) { return install.dataFile(file); });
    QString error;
    if (!install.lock(&error))
        QSKIP(qPrintable(u"the executable's folder cannot be made read-only: "_s + error));

    const auto window = m_fixture->makeWindow();
    QCOMPARE(ProgramFolder(), install.dataFolder());
    QCOMPARE(window->windowTitle(), shown + u" v2.01"_s);
    QVERIFY(!control<QFrame>(*window, "panBanner")->isHidden());
    QCOMPARE(control<ClickableLabel>(*window, "imgBanner")->pixmap().width(), bannerWidths[shown]);
    QCOMPARE(control<ClickableLabel>(*window, "lblLink1URL")->text(), shown + u" home"_s);
    QVERIFY(qApp->styleSheet().contains(u"/* "_s + shown + u" */"_s));
    QVERIFY(window->windowIcon().availableSizes().contains(QSize(48, 48)));
}

QUILLORY_REGISTER_TEST(TestBrandingWindow);
#include "tst_branding_window.moc"
