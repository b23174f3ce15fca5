#include "app/Skin.h"
#include "publisher/ui/FAbout.h"
#include "publisher/ui/FNews.h"
#include "publisher/ui/NewsBalloon.h"
#include "publisher/ui/OfflineHtmlView.h"
#include "suggest/ui/FAddKeywords.h"
#include "support/FakeSeams.h"
#include "support/TestRegistry.h"

#include <QApplication>
#include <QCoro/QCoroSignal>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryFile>
#include <QWheelEvent>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// News bodies that arrive when the test says so.
class PendingBodies : public QObject {
    Q_OBJECT

public:
    NewsBodyFetcher fetcher()
    {
        return [this](const QString& newsId) -> QCoro::Task<std::optional<QString>> {
            asked.append(newsId);
            co_await qCoro(this, &PendingBodies::answered);
            ++delivered;
            co_return m_answer;
        };
    }
    void answer(const std::optional<QString>& html)
    {
        m_answer = html;
        Q_EMIT answered();
    }

    QStringList asked;
    int delivered = 0;

Q_SIGNALS:
    void answered();

private:
    std::optional<QString> m_answer;
};

const QStringList records{u"5^First news^Jan 1, 2024"_s, u"6^Second news^Feb 2, 2024"_s, u"7"_s,
                          u"^No id^Mar 3"_s};

void clickRow(QTableView& list, int row)
{
    const QRect cell = list.visualRect(list.model()->index(row, 0));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, cell.center());
}

int selectedRow(const QTableView& list)
{
    const QModelIndexList rows = list.selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

// How many of the window, its list and its body view show the wait cursor.
int waitCursors(const TfrmNews& news)
{
    int count = 0;
    const QList<const QWidget*> widgets{&news, news.lvwItems, news.prfEditorNews};
    for (const QWidget* widget : widgets)
        count += widget->cursor().shape() == Qt::WaitCursor ? 1 : 0;
    return count;
}

// Counts the mouse and wheel input that reaches a widget.
class InputCounter : public QObject {
public:
    explicit InputCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            ++count;
            break;
        default:
            break;
        }
        return false;
    }
};

int visibleBalloons()
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += qobject_cast<NewsBalloon*>(widget) && widget->isVisible() ? 1 : 0;
    return count;
}

} // namespace

class TestPublisherWindows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup();

    void newsListFilledOnShow();
    void newsBodyShownAndSelectionHeldWhileBusy();
    void failedBodyKeepsThePreviousOne();
    void newsWindowClosedWhileFetching();
    void newsCloseButton();
    void newsBodyLoadsNothingFromOutside();

    void aboutTexts_data();
    void aboutTexts();
    void aboutOkCloses();
    void aboutTextHasNoBorder_data();
    void aboutTextHasNoBorder();
    void fixedDialogsOpenCentredOnTheScreen_data();
    void fixedDialogsOpenCentredOnTheScreen();

    void balloonGoesAway_data();
    void balloonGoesAway();
    void balloonIsSingle();
    void balloonTextFits_data();
    void balloonTextFits();

private:
    std::unique_ptr<QWidget> m_owner;
};

void TestPublisherWindows::cleanup()
{
    if (NewsBalloon* balloon = NewsBalloon::current())
        delete balloon;
    m_owner.reset();
    qApp->setStyleSheet(QString());
}

void TestPublisherWindows::newsListFilledOnShow()
{
    PendingBodies bodies;
    TfrmNews news(records, bodies.fetcher());
    news.show();

    QCOMPARE(news.windowTitle(), u"News"_s);
    QCOMPARE(news.size(), QSize(682, 411));
    const QAbstractItemModel* model = news.lvwItems->model();
    QCOMPARE(model->rowCount(), 4);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), u"News Title"_s);
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), u"Published"_s);
    QCOMPARE(model->index(1, 0).data().toString(), u"Second news"_s);
    QCOMPARE(model->index(1, 1).data().toString(), u"Feb 2, 2024"_s);
    QCOMPARE(model->index(2, 0).data().toString(), u""_s);
    QCOMPARE(model->index(3, 0).data().toString(), u"No id"_s);
    QCOMPARE(news.lvwItems->horizontalHeader()->sectionSize(1), 160);
    QCOMPARE(selectedRow(*news.lvwItems), -1);
    QVERIFY(news.prfEditorNews->toPlainText().isEmpty());
    QVERIFY(bodies.asked.isEmpty());
    QVERIFY(!news.NewsBusy);
}

void TestPublisherWindows::newsBodyShownAndSelectionHeldWhileBusy()
{
    PendingBodies bodies;
    TfrmNews news(records, bodies.fetcher());
    QSignalSpy shown(&news, &TfrmNews::newsShown);
    news.show();

    clickRow(*news.lvwItems, 1);
    QCOMPARE(bodies.asked, QStringList{u"6"_s});
    QVERIFY(news.NewsBusy);
    QCOMPARE(waitCursors(news), 3);

    // While the body is on its way the list keeps its selection, by mouse and by code.
    clickRow(*news.lvwItems, 0);
    news.lvwItems->selectRow(2);
    QCOMPARE(selectedRow(*news.lvwItems), 1);
    QCOMPARE(bodies.asked, QStringList{u"6"_s});

    bodies.answer(u"<p>The <b>second</b> body</p>"_s);
    QTRY_VERIFY(!news.NewsBusy);
    QCOMPARE(news.prfEditorNews->toPlainText(), u"The second body"_s);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().first().toString(), u"6"_s);
    QCOMPARE(waitCursors(news), 0);

    clickRow(*news.lvwItems, 0);
    QCOMPARE(selectedRow(*news.lvwItems), 0);
    QCOMPARE(bodies.asked, (QStringList{u"6"_s, u"5"_s}));
    bodies.answer(u"<p>First</p>"_s);
    QTRY_COMPARE(shown.size(), 2);
    QCOMPARE(news.prfEditorNews->toPlainText(), u"First"_s);
}

void TestPublisherWindows::failedBodyKeepsThePreviousOne()
{
    PendingBodies bodies;
    TfrmNews news(records, bodies.fetcher());
    QSignalSpy shown(&news, &TfrmNews::newsShown);
    news.show();

    clickRow(*news.lvwItems, 0);
    bodies.answer(u"<p>Kept</p>"_s);
    QTRY_VERIFY(!news.NewsBusy);

    clickRow(*news.lvwItems, 1);
    QVERIFY(news.NewsBusy);
    bodies.answer(std::nullopt);
    QTRY_VERIFY(!news.NewsBusy);
    QCOMPARE(news.prfEditorNews->toPlainText(), u"Kept"_s);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(waitCursors(news), 0);

    // A record without an id asks for nothing.
    clickRow(*news.lvwItems, 3);
    QCOMPARE(selectedRow(*news.lvwItems), 3);
    QCOMPARE(bodies.asked, (QStringList{u"5"_s, u"6"_s}));
    QVERIFY(!news.NewsBusy);
}

void TestPublisherWindows::newsWindowClosedWhileFetching()
{
    PendingBodies bodies;
    auto news = std::make_unique<TfrmNews>(records, bodies.fetcher());
    news->show();
    clickRow(*news->lvwItems, 1);
    QVERIFY(news->NewsBusy);
    news.reset();
    bodies.answer(u"<p>Too late</p>"_s);
    QTRY_COMPARE(bodies.delivered, 1);
    QCOMPARE(bodies.asked, QStringList{u"6"_s});
}

void TestPublisherWindows::newsCloseButton()
{
    PendingBodies bodies;
    TfrmNews news(records, bodies.fetcher());
    news.show();
    QCOMPARE(news.btnExit->text(), u"Close"_s);
    QCOMPARE(news.btnExit->size(), QSize(97, 20));
    QTest::mouseClick(news.btnExit, Qt::LeftButton);
    QVERIFY(!news.isVisible());
    QCOMPARE(news.result(), int(QDialog::Accepted));
}

void TestPublisherWindows::newsBodyLoadsNothingFromOutside()
{
    QTemporaryFile picture;
    QVERIFY(picture.open());
    QImage(4, 4, QImage::Format_RGB32).save(&picture, "PNG");
    picture.close();

    OfflineHtmlView view;
    QVERIFY(!view.openLinks());
    const QUrl localPicture = QUrl::fromLocalFile(picture.fileName());
    QVERIFY(!view.loadResource(QTextDocument::ImageResource, localPicture).isValid());
    const QUrl remotePicture(u"http://127.0.0.1:9/tracker.png"_s);
    QVERIFY(!view.loadResource(QTextDocument::ImageResource, remotePicture).isValid());
    QVERIFY(!view.loadResource(QTextDocument::StyleSheetResource, QUrl(u"style.css"_s)).isValid());
}

void TestPublisherWindows::aboutTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("years");
    QTest::addColumn<QString>("company");
    QTest::addColumn<QString>("about");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("copyright");
    QTest::addColumn<QString>("memo");

    QTest::newRow("full") << "Quillory Gold Edition"
                          << "2008-2024"
                          << "Reseller Ltd."
                          << "Line one\r\nLine two\r\nLine three"
                          << "About Quillory Gold Edition..."
                          << "Copyright © 2008-2024 Reseller Ltd."
                          << "Line one\nLine two\nLine three";
    QTest::newRow("no name") << ""
                             << "2024"
                             << ""
                             << "Text"
                             << "About ..."
                             << "Copyright © 2024"
                             << "Text";
    QTest::newRow("no copyright values") << "Q"
                                         << ""
                                         << ""
                                         << ""
                                         << "About Q..."
                                         << ""
                                         << "";
    QTest::newRow("markup shown as written") << "<b>Q</b>"
                                             << ""
                                             << "<i>Co</i>"
                                             << "a<br>b"
                                             << "About <b>Q</b>..."
                                             << "Copyright © <i>Co</i>"
                                             << "a<br>b";
}

void TestPublisherWindows::aboutTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, years);
    QFETCH(QString, company);
    QFETCH(QString, about);
    QFETCH(QString, caption);
    QFETCH(QString, copyright);
    QFETCH(QString, memo);

    BrandingSettings branding;
    branding.ApplicationName = name;
    branding.CopyrightYears = years;
    branding.CopyrightCompany = company;
    branding.AboutText = about;
    TfrmAbout box(branding);
    box.show();

    QCOMPARE(box.windowTitle(), caption);
    QCOMPARE(box.lblProductName->text(), name);
    QVERIFY(box.lblProductName->font().bold());
    QCOMPARE(box.lblProductVersion->text(), u"Product Version: 2.01"_s);
    QCOMPARE(box.lblCopyright1->text(), copyright);
    QCOMPARE(box.memAbout->toPlainText(), memo);
    QVERIFY(box.memAbout->isReadOnly());
    QCOMPARE(box.size(), QSize(368, 211));
    QVERIFY(!(box.windowFlags() & Qt::WindowCloseButtonHint));
}

void TestPublisherWindows::fixedDialogsOpenCentredOnTheScreen_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QSize>("size");
    QTest::newRow("about box") << u"about"_s << QSize(368, 211);
    QTest::newRow("add new keywords") << u"add keywords"_s << QSize(362, 191);
}

void TestPublisherWindows::fixedDialogsOpenCentredOnTheScreen()
{
    QFETCH(QString, dialog);
    QFETCH(QSize, size);
    // The main window in a corner of the screen: a dialog placed over it would open there.
    m_owner = std::make_unique<QWidget>();
    m_owner->setGeometry(0, 0, 240, 160);
    m_owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_owner.get()));
    FakeMessageBoxes messages;
    std::unique_ptr<QDialog> box;
    if (dialog == u"about"_s)
        box = std::make_unique<TfrmAbout>(BrandingSettings(), m_owner.get());
    else
        box = std::make_unique<TfrmAddKeywords>(messages, m_owner.get());
    box->show();
    QVERIFY(QTest::qWaitForWindowExposed(box.get()));

    const QRect screen = box->screen()->availableGeometry();
    const QPoint offCentre = box->frameGeometry().center() - screen.center();
    QVERIFY2(offCentre.manhattanLength() <= 2,
             qPrintable(u"%1, %2 off the centre of the screen"_s.arg(offCentre.x()).arg(offCentre.y())));
    // A fixed dialog frame: a caption alone, no icon, no title-bar button, a size that does not change.
    const Qt::WindowFlags flags = box->windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    QVERIFY(
        flags.testFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint));
    QCOMPARE(flags & (Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint |
                      Qt::WindowContextHelpButtonHint),
             Qt::WindowFlags());
    QCOMPARE(box->minimumSize(), size);
    QCOMPARE(box->maximumSize(), size);
    QCOMPARE(box->size(), size);
}

void TestPublisherWindows::aboutOkCloses()
{
    BrandingSettings branding;
    QStringList lines;
    for (int i = 1; i <= 30; ++i)
        lines << u"About line %1"_s.arg(i);
    branding.AboutText = lines.join(u"\r\n"_s);
    TfrmAbout box(branding);
    box.show();
    QCOMPARE(box.memAbout->document()->blockCount(), 30);
    QVERIFY(box.memAbout->verticalScrollBar()->maximum() > 0);

    QCOMPARE(box.editAbout->text(), u"Ok"_s);
    QTest::mouseClick(box.editAbout, Qt::LeftButton);
    QVERIFY(!box.isVisible());
    QCOMPARE(box.result(), int(QDialog::Accepted));
}

void TestPublisherWindows::balloonGoesAway_data()
{
    QTest::addColumn<QString>("how");

    QTest::newRow("mouse press elsewhere") << "press";
    QTest::newRow("press on the balloon") << "press balloon";
    QTest::newRow("wheel turn") << "wheel";
    QTest::newRow("program deactivated") << "deactivate";
}

void TestPublisherWindows::balloonGoesAway()
{
    QFETCH(QString, how);

    m_owner = std::make_unique<QWidget>();
    m_owner->resize(300, 200);
    auto* other = new QPushButton(u"Other"_s, m_owner.get());
    const InputCounter reachingOther(other);
    QSignalSpy clicks(other, &QPushButton::clicked);
    m_owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_owner.get()));

    NewsBalloon::showAt(m_owner->mapToGlobal(QPoint(150, 100)), u"You've Got A Message!\r\nSpring sale"_s,
                        m_owner.get());
    const QPointer<NewsBalloon> balloon = NewsBalloon::current();
    QVERIFY(balloon);
    QVERIFY(balloon->isVisible());
    QCOMPARE(balloon->text(), u"You've Got A Message!\nSpring sale"_s);
    QVERIFY(balloon->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(balloon->testAttribute(Qt::WA_ShowWithoutActivating));
    QVERIFY(!balloon->mask().isEmpty());
    // It holds the mouse, so that a click anywhere, in another program too, reaches it first.
    QCOMPARE(QWidget::mouseGrabber(), balloon.data());
    // It stays until something happens: no time-out.
    QTest::qWait(50);
    QVERIFY(balloon->isVisible());

    if (how == u"press"_s) {
        QTest::mouseClick(other, Qt::LeftButton);
    } else if (how == u"press balloon"_s) {
        QTest::mouseClick(balloon.data(), Qt::LeftButton, {}, balloon->mask().boundingRect().center());
    } else if (how == u"wheel"_s) {
        QWheelEvent wheel(QPointF(5, 5), other->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(other, &wheel);
    } else {
        QEvent deactivate(QEvent::ApplicationDeactivate);
        QApplication::sendEvent(qApp, &deactivate);
    }
    QVERIFY(NewsBalloon::current() == nullptr);
    QVERIFY(QWidget::mouseGrabber() == nullptr);
    QTRY_VERIFY(balloon.isNull());
    // The input that removed it goes no further.
    QCOMPARE(reachingOther.count, 0);
    QCOMPARE(clicks.count(), 0);
    // The next click is the user's again.
    QTest::mouseClick(other, Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);
}

void TestPublisherWindows::balloonIsSingle()
{
    m_owner = std::make_unique<QWidget>();
    m_owner->show();
    NewsBalloon::showAt(QPoint(400, 300), u"First"_s, m_owner.get());
    const QPointer<NewsBalloon> first = NewsBalloon::current();
    NewsBalloon::showAt(QPoint(400, 300), u"Second"_s, m_owner.get());

    QVERIFY(NewsBalloon::current() != first);
    QCOMPARE(NewsBalloon::current()->text(), u"Second"_s);
    QCOMPARE(visibleBalloons(), 1);
    QTRY_VERIFY(first.isNull());
}

void TestPublisherWindows::balloonTextFits_data()
{
    QTest::addColumn<QString>("skin");
    QTest::addColumn<QString>("title");

    const QString big = u"QWidget { font-size: 30px; }"_s;
    QTest::newRow("no skin") << ""
                             << "Spring sale";
    QTest::newRow("built-in skin") << BuiltInSkin() << "Spring sale";
    QTest::newRow("built-in skin, long title")
        << BuiltInSkin() << "Our spring sale starts today with new keyword packs for every market we serve";
    QTest::newRow("skin with a big font for every widget") << big << "Spring sale";
    QTest::newRow("big font, long title")
        << big << "Our spring sale starts today with new keyword packs for every market we serve";
}

void TestPublisherWindows::balloonTextFits()
{
    QFETCH(QString, skin);
    QFETCH(QString, title);
    qApp->setStyleSheet(skin);
    m_owner = std::make_unique<QWidget>();
    m_owner->resize(600, 400);
    m_owner->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_owner.get()));

    NewsBalloon::showAt(m_owner->mapToGlobal(QPoint(500, 20)), u"You've Got A Message!\r\n"_s + title,
                        m_owner.get());
    const NewsBalloon* balloon = NewsBalloon::current();
    QVERIFY(balloon);
    QCOMPARE(balloon->size(), balloon->sizeHint());
    // Measured in the font it is drawn with: the whole text lies in its rectangle, which lies in the
    // balloon, and the first line is not broken.
    const QRect textRect = balloon->textRect();
    const QFontMetrics metrics = balloon->fontMetrics();
    const QRect drawn =
        metrics.boundingRect(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, balloon->text());
    QVERIFY2(textRect.contains(drawn), qPrintable(u"text %1x%2 in %3x%4"_s.arg(drawn.width())
                                                      .arg(drawn.height())
                                                      .arg(textRect.width())
                                                      .arg(textRect.height())));
    QVERIFY(balloon->rect().contains(textRect));
    QVERIFY(metrics.horizontalAdvance(u"You've Got A Message!"_s) <= textRect.width());
    QVERIFY(drawn.height() >= 2 * metrics.height()); // the title is there, below the first line
}

void TestPublisherWindows::aboutTextHasNoBorder_data()
{
    QTest::addColumn<QString>("skin");
    QTest::newRow("no skin") << "";
    QTest::newRow("built-in skin") << BuiltInSkin();
    QTest::newRow("skin framing every text box") << "QPlainTextEdit { border: 3px solid red; }";
}

void TestPublisherWindows::aboutTextHasNoBorder()
{
    QFETCH(QString, skin);
    qApp->setStyleSheet(skin);
    BrandingSettings branding;
    branding.AboutText = u"Short"_s;
    TfrmAbout box(branding);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    // The text's view takes the whole box: no border around it.
    QCOMPARE(box.memAbout->viewport()->geometry(), box.memAbout->rect());
}

QUILLORY_REGISTER_TEST(TestPublisherWindows);
#include "tst_publisher_windows.moc"
