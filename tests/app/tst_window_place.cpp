#include "app/AppFixture.h"
#include "crypto/CipherFiles.h"
#include "support/TestRegistry.h"

#include <QFrame>
#include <QHeaderView>
#include <QImage>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QRect availableArea()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

} // namespace

// The window's size, position, splitters and column widths, from one run to the next, and the
// banner band that only a reseller's banner needs.
class TestWindowPlace : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void placeComesBackAfterAClose();
    void lastColumnKeepsStretching_data();
    void lastColumnKeepsStretching();
    void placeIsBroughtOntoTheScreen_data();
    void placeIsBroughtOntoTheScreen();
    void bannerBandOnlyForABanner_data();
    void bannerBandOnlyForABanner();

private:
    std::unique_ptr<AppFixture> m_fixture;
};

void TestWindowPlace::init()
{
    m_fixture = std::make_unique<AppFixture>();
}

void TestWindowPlace::cleanup()
{
    m_fixture.reset();
}

void TestWindowPlace::placeComesBackAfterAClose()
{
    // The user's comments in the file stay.
    writeFile(m_fixture->file(u"quillory.ini"_s), "; mine\r\n[HotTrends]\r\nGeo=US ; home\r\n");
    const QRect area = availableArea();
    QRect place;
    QList<int> splitterSizes;
    int columnWidth = 0;
    {
        const auto window = m_fixture->makeWindow();
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QSize minimum = window->minimumSizeHint();
        const QSize border = window->frameGeometry().size() - window->size();
        // The test's screen may leave the window little room across: none to spare will do.
        QVERIFY2(minimum.width() + border.width() <= area.width() &&
                     minimum.height() + border.height() + 80 < area.height(),
                 qPrintable(u"the screen (%1 x %2) is too small for this test (%3 x %4)"_s.arg(area.width())
                                .arg(area.height())
                                .arg(minimum.width())
                                .arg(minimum.height())));
        // The frame's corner, as move() takes it, and the size inside the frame.
        place = QRect(area.topLeft() + QPoint(0, 31), minimum + QSize(0, 57));
        window->resize(place.size());
        window->move(place.topLeft());
        QTRY_COMPARE(window->pos(), place.topLeft());
        QTRY_COMPARE(window->size(), place.size());

        window->hotTrendsPage()->setHistoryShown(true);
        auto* splitter = control<QSplitter>(*window, "splHotTrends");
        QTRY_VERIFY(!splitter->sizes().contains(0));
        const QList<int> sizes = splitter->sizes();
        const int total = sizes[0] + sizes[1];
        splitter->setSizes({total - sizes[1] - 37, sizes[1] + 37});
        splitterSizes = splitter->sizes();
        QVERIFY(splitterSizes.last() != sizes.last());

        QHeaderView* header = control<QTableView>(*window, "lvwItems")->horizontalHeader();
        columnWidth = header->sectionSize(1) + 29;
        header->resizeSection(1, columnWidth);

        m_fixture->fakes.messages->answers.enqueue(MsgAnswer::Ok); // yes, close
        QVERIFY(window->close());
    }
    const QByteArray saved = readFile(m_fixture->file(u"quillory.ini"_s));
    QVERIFY2(saved.startsWith("; mine\r\n[HotTrends]\r\nGeo=US ; home\r\n"), saved.constData());
    QVERIFY2(saved.contains("\r\n[window]\r\n"), saved.constData());

    const auto again = std::make_unique<TfrmMain>(FakeSeams().take());
    QVERIFY(WaitForTables(*again));
    again->show();
    QVERIFY(QTest::qWaitForWindowExposed(again.get()));
    QTRY_COMPARE(again->pos(), place.topLeft());
    QCOMPARE(again->size(), place.size());
    QVERIFY(again->hotTrendsPage()->isHistoryShown());
    // The splitters and columns follow once the layout has the window's size; the panel beside the
    // list keeps its width.
    QTRY_COMPARE(control<QSplitter>(*again, "splHotTrends")->sizes().last(), splitterSizes.last());
    QTRY_COMPARE(control<QTableView>(*again, "lvwItems")->horizontalHeader()->sectionSize(1), columnWidth);
}

// The last column shown stretches over what the list has left, so that its right-aligned figures
// stay in sight: neither a remembered width nor its caption pushes it past the list.
void TestWindowPlace::lastColumnKeepsStretching_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<int>("width"); // of the window; 0: its first size
    QTest::newRow("a width remembered too wide")
        << QByteArray("[window]\r\nlvwItemsColumns=200, 150, 2000, 0, 0\r\n") << 0;
    // Room for the first columns and the figures beside the panel.
    QTest::newRow("the history panel open") << QByteArray("[window]\r\nhistoryPanel=true\r\n") << 1150;
}

void TestWindowPlace::lastColumnKeepsStretching()
{
    QFETCH(QByteArray, settings);
    QFETCH(int, width);
    writeFile(m_fixture->file(u"quillory.ini"_s), settings);
    const auto window = m_fixture->makeWindow();
    if (width > 0)
        window->resize(width, window->height());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto* list = control<QTableView>(*window, "lvwItems");
    const QHeaderView* header = list->horizontalHeader();
    QTRY_VERIFY2(header->sectionViewportPosition(2) + header->sectionSize(2) <= list->viewport()->width(),
                 qPrintable(u"%1 + %2 > %3"_s.arg(header->sectionViewportPosition(2))
                                .arg(header->sectionSize(2))
                                .arg(list->viewport()->width())));
}

void TestWindowPlace::placeIsBroughtOntoTheScreen_data()
{
    // Where the window was when it closed, against the screen's free area; the size is then the
    // window's least size grown by (1, 20).
    QTest::addColumn<QString>("where");
    QTest::newRow("on the screen") << "inside";
    QTest::newRow("beyond the right and bottom edges") << "right below";
    QTest::newRow("beyond the left and top edges") << "left above";
    QTest::newRow("larger than the screen") << "too large";
}

void TestWindowPlace::placeIsBroughtOntoTheScreen()
{
    QFETCH(QString, where);
    const QRect area = availableArea();
    QSize minimum;
    QSize border; // of the frame around the window, as this platform draws it
    {
        TfrmMain probe(FakeSeams().take());
        probe.show();
        QVERIFY(QTest::qWaitForWindowExposed(&probe));
        minimum = probe.minimumSizeHint();
        border = probe.frameGeometry().size() - probe.size();
    }
    QVERIFY2(minimum.width() + border.width() <= area.width() &&
                 minimum.height() + border.height() + 80 < area.height(),
             "the screen is too small for this test");
    const QSize size = minimum + QSize(0, 20);
    // The frame's corner and the size inside it, as written; where the frame is expected.
    QRect saved;
    QRect expected;
    if (where == u"inside") {
        saved = QRect(area.topLeft() + QPoint(0, 23), size);
        expected = QRect(saved.topLeft(), size + border);
    } else if (where == u"right below") {
        saved = QRect(area.bottomRight() + QPoint(3000, 2000), size);
        expected = QRect(QPoint(0, 0), size + border);
        expected.moveBottomRight(area.bottomRight());
    } else if (where == u"left above") {
        saved = QRect(area.topLeft() - QPoint(5000, 4000), size);
        expected = QRect(area.topLeft(), size + border);
    } else {
        saved = QRect(area.topLeft() + QPoint(50, 40), area.size() * 3);
        expected = area;
    }
    writeFile(m_fixture->file(u"quillory.ini"_s), QStringLiteral("[window]\r\ngeometry=%1, %2, %3, %4\r\n")
                                                      .arg(saved.x())
                                                      .arg(saved.y())
                                                      .arg(saved.width())
                                                      .arg(saved.height())
                                                      .toUtf8());
    const auto window = m_fixture->makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTRY_COMPARE(window->frameGeometry(), expected);
    QVERIFY(area.contains(window->frameGeometry()));
}

void TestWindowPlace::bannerBandOnlyForABanner_data()
{
    QTest::addColumn<QByteArray>("branding"); // the branding file's text; none: no file
    QTest::addColumn<bool>("bannerFile");
    QTest::addColumn<bool>("band");
    QTest::newRow("no branding") << QByteArray() << false << false;
    QTest::newRow("branding without a banner")
        << QByteArray("<%%ApplicationName%%>Acme<%%/ApplicationName%%>\r\n") << false << false;
    QTest::newRow("a banner named, its file missing")
        << QByteArray("<%%Banner1%%>pic.bmp^<%%/Banner1%%>\r\n") << false << false;
    QTest::newRow("a banner") << QByteArray("<%%Banner1%%>pic.bmp^<%%/Banner1%%>\r\n") << true << true;
}

void TestWindowPlace::bannerBandOnlyForABanner()
{
    QFETCH(QByteArray, branding);
    QFETCH(bool, bannerFile);
    QFETCH(bool, band);
    if (!branding.isEmpty())
        QVERIFY(EncryptToFile(branding, m_fixture->file(u"dbsettings.dat"_s)));
    if (bannerFile) {
        QImage banner(120, 40, QImage::Format_RGB32);
        banner.fill(Qt::darkGreen);
        QVERIFY(banner.save(m_fixture->file(u"banner1.dat"_s), "BMP"));
    }
    const auto window = m_fixture->makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto* panel = control<QFrame>(*window, "panBanner");
    QCOMPARE(panel->isVisible(), band);
    if (band)
        QVERIFY(panel->height() >= 40);
}

QUILLORY_REGISTER_TEST(TestWindowPlace);
#include "tst_window_place.moc"
