#include "app/Seams.h"
#include "support/TestRegistry.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include <functional>

Q_DECLARE_METATYPE(MsgKind)
Q_DECLARE_METATYPE(MsgButtons)
Q_DECLARE_METATYPE(MsgAnswer)

namespace {

// Answers the real modal windows that the program's own seams open: `answer` gets each window as it
// becomes the active modal one. Whatever is still open after a few seconds is rejected, so that a
// test can fail but never hang.
class ModalAnswerer : public QObject {
public:
    explicit ModalAnswerer(std::function<void(QWidget&)> answer)
        : m_answer(std::move(answer))
    {
        connect(&m_poll, &QTimer::timeout, this, &ModalAnswerer::poll);
        m_poll.start(10);
        QTimer::singleShot(5000, this, [this] {
            m_poll.stop();
            while (QWidget* modal = QApplication::activeModalWidget()) {
                unanswered << modal->metaObject()->className();
                if (auto* dialog = qobject_cast<QDialog*>(modal))
                    dialog->reject();
                else
                    modal->close();
            }
        });
    }

    QStringList unanswered;

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || m_answered.contains(modal))
            return;
        m_answered << modal;
        // Answered outside this timer's own call, so that a window opened by the answer is seen too.
        QTimer::singleShot(0, modal, [this, modal] { m_answer(*modal); });
    }

    std::function<void(QWidget&)> m_answer;
    QTimer m_poll;
    QList<QPointer<QWidget>> m_answered;
};

} // namespace

class TestSystemDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void messageBoxOpensCentred_data();
    void messageBoxOpensCentred();
};

void TestSystemDialogs::messageBoxOpensCentred_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<MsgKind>("kind");
    QTest::addColumn<MsgButtons>("buttons");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<MsgAnswer>("escape"); // what Escape answers

    QTest::newRow("short information")
        << "There's no new updates for this application!" << MsgKind::Information << MsgButtons::Ok
        << "Information" << MsgAnswer::Ok;
    QTest::newRow("update question")
        << "There is a new update: (version 2.02) available for your application!. Do you want download "
           "this update now?"
        << MsgKind::Information << MsgButtons::OkCancel << "Information" << MsgAnswer::Cancel;
    QTest::newRow("two-line warning")
        << "If you close you will stop to monitor data. Remember you can always\r\nminimize to tray. Do you "
           "want to close your application?"
        << MsgKind::Warning << MsgButtons::OkCancel << "Warning" << MsgAnswer::Cancel;
}

void TestSystemDialogs::messageBoxOpensCentred()
{
    QFETCH(QString, text);
    QFETCH(MsgKind, kind);
    QFETCH(MsgButtons, buttons);
    QFETCH(QString, caption);
    QFETCH(MsgAnswer, escape);

    QRect frame;
    QRect screen;
    QString shownCaption;
    bool okIsDefault = false;
    ModalAnswerer answerer([&](QWidget& window) {
        auto* box = qobject_cast<QMessageBox*>(&window);
        if (!box)
            return;
        frame = box->frameGeometry();
        screen = box->screen()->availableGeometry();
        shownCaption = box->windowTitle();
        okIsDefault = static_cast<QAbstractButton*>(box->defaultButton()) == box->button(QMessageBox::Ok);
        QTest::keyClick(box, Qt::Key_Escape);
    });
    const MsgAnswer answer = Seams::system().messages->show(text, kind, buttons);

    QVERIFY2(answerer.unanswered.isEmpty(), qPrintable("left open: " + answerer.unanswered.join(", ")));
    QCOMPARE(answer, escape);
    QCOMPARE(shownCaption, caption);
    QVERIFY(okIsDefault);
    QVERIFY2(qAbs(frame.center().x() - screen.center().x()) <= 1 &&
                 qAbs(frame.center().y() - screen.center().y()) <= 1,
             qPrintable(QString("box at %1,%2 %3x%4 on a screen of %5x%6")
                            .arg(frame.x())
                            .arg(frame.y())
                            .arg(frame.width())
                            .arg(frame.height())
                            .arg(screen.width())
                            .arg(screen.height())));
}

QUILLORY_REGISTER_TEST(TestSystemDialogs);
#include "tst_system_dialogs.moc"
