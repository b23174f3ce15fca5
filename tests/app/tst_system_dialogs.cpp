#include "app/Seams.h"
#include "support/TestFiles.h"
#include "support/TestRegistry.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

using namespace Qt::StringLiterals;

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
                unanswered << QString::fromUtf8(modal->metaObject()->className());
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

QString mainText(const QWidget& window)
{
    const auto* box = qobject_cast<const QMessageBox*>(&window);
    return box ? box->text() : QString();
}

} // namespace

class TestSystemDialogs : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void messageBoxOpensCentred_data();
    void messageBoxOpensCentred();
    void saveDialogLeavesReplacingToTheProgram_data();
    void saveDialogLeavesReplacingToTheProgram();
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

    QVERIFY2(answerer.unanswered.isEmpty(), qPrintable(u"left open: "_s + answerer.unanswered.join(u", "_s)));
    QCOMPARE(answer, escape);
    QCOMPARE(shownCaption, caption);
    QVERIFY(okIsDefault);
    QVERIFY2(qAbs(frame.center().x() - screen.center().x()) <= 1 &&
                 qAbs(frame.center().y() - screen.center().y()) <= 1,
             qPrintable(u"box at %1,%2 %3x%4 on a screen of %5x%6"_s.arg(frame.x())
                            .arg(frame.y())
                            .arg(frame.width())
                            .arg(frame.height())
                            .arg(screen.width())
                            .arg(screen.height())));
}

void TestSystemDialogs::saveDialogLeavesReplacingToTheProgram_data()
{
    QTest::addColumn<QStringList>("choices");
    QTest::addColumn<QStringList>("shown"); // the filters the dialog offers
    QTest::addColumn<QStringList>("masks"); // the files the first of them lists
    QTest::addColumn<int>("picked");        // the filter the user selects, -1: none
    QTest::addColumn<int>("choice");        // the answer's choice
    QTest::addColumn<QString>("chosen");    // the name the dialog gives

    QTest::newRow("export: the description shows its mask")
        << QStringList{u"Comma delimitted(*.csv)|*.csv"_s} << QStringList{u"Comma delimitted(*.csv)"_s}
        << QStringList{u"*.csv"_s} << -1 << 0 << "report.csv";
    QTest::newRow("description without its masks")
        << QStringList{u"Text files|*.txt;*.log"_s} << QStringList{u"Text files (*.txt *.log)"_s}
        << QStringList{u"*.txt"_s, u"*.log"_s} << -1 << 0 << "report.csv";
    QTest::newRow("two filters: the first taken")
        << QStringList{u"Comma delimitted(*.csv)|*.csv"_s, u"All files|*"_s}
        << QStringList{u"Comma delimitted(*.csv)"_s, u"All files (*)"_s} << QStringList{u"*.csv"_s} << -1 << 0
        << "report.csv";
    // Selecting another format makes the typed name take its extension, and the answer tells which.
    QTest::newRow("export formats: json picked")
        << QStringList{u"Comma delimitted(*.csv)|*.csv"_s, u"CSV (RFC 4180) (*.csv)|*.csv"_s,
                       u"JSON (*.json)|*.json"_s}
        << QStringList{u"Comma delimitted(*.csv)"_s, u"CSV (RFC 4180) (*.csv)"_s, u"JSON (*.json)"_s}
        << QStringList{u"*.csv"_s} << 2 << 2 << "report.json";
    QTest::newRow("export formats: the second csv picked")
        << QStringList{u"Comma delimitted(*.csv)|*.csv"_s, u"CSV (RFC 4180) (*.csv)|*.csv"_s,
                       u"JSON (*.json)|*.json"_s}
        << QStringList{u"Comma delimitted(*.csv)"_s, u"CSV (RFC 4180) (*.csv)"_s, u"JSON (*.json)"_s}
        << QStringList{u"*.csv"_s} << 1 << 1 << "report.csv";
}

void TestSystemDialogs::saveDialogLeavesReplacingToTheProgram()
{
    QFETCH(QStringList, choices);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, masks);
    QFETCH(int, picked);
    QFETCH(int, choice);
    QFETCH(QString, chosen);
    QTemporaryDir folder;
    writeFile(folder.filePath(u"report.csv"_s), "an earlier export\r\n");

    QString title;
    QStringList offered;
    QStringList listed;
    bool confirmsOverwrite = true;
    QStringList questions;
    ModalAnswerer answerer([&](QWidget& window) {
        if (auto* dialog = qobject_cast<QFileDialog*>(&window)) {
            title = dialog->windowTitle();
            offered = dialog->nameFilters();
            if (const auto* files = dialog->findChild<QFileSystemModel*>())
                listed = files->nameFilters();
            confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
            // The user types the name of a file that is there: the program, not the dialog, decides
            // about it.
            if (auto* name = dialog->findChild<QLineEdit*>(u"fileNameEdit"_s))
                QTest::keyClicks(name, u"report.csv"_s);
            if (picked >= 0)
                dialog->selectNameFilter(shown[picked]);
            static_cast<QDialog*>(dialog)->accept();
            return;
        }
        questions << mainText(window);
        if (auto* dialog = qobject_cast<QDialog*>(&window))
            dialog->reject();
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* fileDialog = qobject_cast<QFileDialog*>(top); fileDialog && fileDialog->isVisible())
                fileDialog->reject();
        }
    });
    const SaveAnswer answer = Seams::system().saveDialog->ask(u"Export all data"_s, choices, folder.path());

    QVERIFY2(answerer.unanswered.isEmpty(), qPrintable(u"left open: "_s + answerer.unanswered.join(u", "_s)));
    QCOMPARE(title, u"Export all data"_s);
    QCOMPARE(offered, shown);
    QCOMPARE(listed, masks);
    QVERIFY(!confirmsOverwrite);
    QCOMPARE(questions, QStringList());
    QCOMPARE(answer.path, QDir(folder.path()).filePath(chosen));
    QCOMPARE(answer.choice, choice);
    QCOMPARE(readFile(folder.filePath(u"report.csv"_s)), QByteArray("an earlier export\r\n"));
}

QUILLORY_REGISTER_TEST(TestSystemDialogs);
#include "tst_system_dialogs.moc"
