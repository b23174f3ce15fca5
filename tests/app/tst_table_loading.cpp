#include "app/AppFixture.h"
#include "suggest/SuggestTableModel.h"
#include "support/TestRegistry.h"
#include "trends/TrendTableModel.h"
#include "util/DataFileStore.h"
#include "util/ui/TableLoadHold.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString TrendFile = u"dabatase.dat"_s;
const QString SuggestFile = u"dbsuggest.dat"_s;

// Get Suggestions and Stop are enabled only with phrases selected and a harvest running.
bool actsOnlyOnASelection(const QString& name)
{
    return name == u"btnSearch"_s || name == u"btnStop"_s;
}
const QByteArray fourRows =
    "alpha|3/5/2009|1|\r\nbeta|3/5/2009|2|\r\ngamma|3/5/2009|3|\r\ndelta|3/5/2009|4|\r\n";
const QByteArray onePhrase = "red\xc2\xa7wine|||||||||||||||||||||\r\n";

QByteArray contentOf(const QString& name)
{
    return name == TrendFile ? fourRows : onePhrase;
}

} // namespace

// The window while its tables are read: up at once, the status bar saying so, what acts on a table
// that is not there yet waiting for it, and a close meanwhile that loses nothing.
class TestTableLoading : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void controlsWaitForTheirTable_data();
    void controlsWaitForTheirTable();
    void closeWhileLoadingKeepsTheFiles_data();
    void closeWhileLoadingKeepsTheFiles();

private:
    QString file(const QString& name) const { return m_fixture->file(name); }

    std::unique_ptr<AppFixture> m_fixture;
    FakeSeams* m_fakes = nullptr;
};

void TestTableLoading::init()
{
    m_fixture = std::make_unique<AppFixture>();
    m_fakes = &m_fixture->fakes;
}

void TestTableLoading::cleanup()
{
    m_fixture.reset();
}

void TestTableLoading::controlsWaitForTheirTable_data()
{
    QTest::addColumn<QString>("held");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("waiting"); // the held table's list and buttons
    QTest::addColumn<QStringList>("free");    // some of the other page's
    QTest::addColumn<QString>("deleteAll");

    const QStringList trendControls{u"lvwItems"_s,         u"bsSkinButton2"_s, u"bsSkinButton3"_s,
                                    u"btnSendToSuggest"_s, u"btnSelectAll"_s,  u"btnClearAll"_s,
                                    u"btnDelete"_s,        u"btnDeleteAll"_s};
    const QStringList suggestControls{u"lvwSuggest"_s,        u"btnAdd"_s,        u"btnExpand"_s,
                                      u"btnAddSuggestions"_s, u"btnSearch"_s,     u"btnStop"_s,
                                      u"btnExport"_s,         u"bsSkinButton4"_s, u"bsSkinButton5"_s,
                                      u"bsSkinButton6"_s,     u"bsSkinButton7"_s};
    // The Suggest table comes in after the Hot Trends table: a held Hot Trends table holds both.
    QTest::newRow("Hot Trends") << TrendFile << QStringList{TrendFile} << trendControls << suggestControls
                                << u"btnDeleteAll"_s;
    QTest::newRow("Suggest") << SuggestFile << QStringList{TrendFile, SuggestFile} << suggestControls
                             << trendControls << u"bsSkinButton7"_s;
}

void TestTableLoading::controlsWaitForTheirTable()
{
    QFETCH(QString, held);
    QFETCH(QStringList, files);
    QFETCH(QStringList, waiting);
    QFETCH(QStringList, free);
    QFETCH(QString, deleteAll);
    for (const QString& name : files)
        writeFile(file(name), contentOf(name));
    m_fakes->tableLoads.hold(held);
    const auto window = m_fixture->makeLoadingWindow();
    const TfrmMain::DataFile heldTable =
        held == TrendFile ? TfrmMain::DataFile::TrendTable : TfrmMain::DataFile::SuggestTable;
    const TfrmMain::DataFile otherTable =
        held == TrendFile ? TfrmMain::DataFile::SuggestTable : TfrmMain::DataFile::TrendTable;
    QTRY_VERIFY(!window->dataFile(otherTable).isLoading());

    QVERIFY(window->dataFile(heldTable).isLoading());
    QCOMPARE(control<QLabel>(*window, "MainStatusPanel")->text(), u"Loading %1…"_s.arg(held));
    QCOMPARE(control<QProgressBar>(*window, "MainGauge")->maximum(), 0); // busy
    for (const QString& name : waiting) {
        const QWidget* widget = control<QWidget>(*window, qPrintable(name));
        QVERIFY2(!widget->isEnabled(), qPrintable(name));
        QCOMPARE(widget->toolTip(), TableLoadHold::waitingText());
    }
    for (const QString& name : free) {
        if (!actsOnlyOnASelection(name))
            QVERIFY2(control<QWidget>(*window, qPrintable(name))->isEnabled(), qPrintable(name));
    }
    // A press meanwhile does nothing: not even the question.
    control<QPushButton>(*window, qPrintable(deleteAll))->click();
    QVERIFY(m_fakes->messages->shown.isEmpty());

    m_fakes->tableLoads.release(held);
    QVERIFY(WaitForTables(*window));
    QCOMPARE(window->trendTable()->rowCount(), 4);
    QCOMPARE(window->suggestTable()->rowCount(), files.contains(SuggestFile) ? 1 : 0);
    QCOMPARE(control<QLabel>(*window, "MainStatusPanel")->text(), QString());
    QCOMPARE(control<QProgressBar>(*window, "MainGauge")->maximum(), 100);
    for (const QString& name : waiting) {
        const QWidget* widget = control<QWidget>(*window, qPrintable(name));
        // Get Suggestions and Stop then say why they cannot act yet (nothing selected, no harvest).
        QVERIFY2(widget->isEnabled() != actsOnlyOnASelection(name), qPrintable(name));
        QVERIFY2(widget->toolTip() != TableLoadHold::waitingText(), qPrintable(name));
    }
    m_fakes->messages->answers.enqueue(MsgAnswer::Cancel);
    control<QPushButton>(*window, qPrintable(deleteAll))->click();
    QCOMPARE(m_fakes->messages->shown.size(), 1);
    // The question, then (on the Suggest page) how many rows go.
    QVERIFY(m_fakes->messages->shown[0].text.startsWith(u"Are you sure to delete all?"_s));
}

void TestTableLoading::closeWhileLoadingKeepsTheFiles_data()
{
    QTest::addColumn<QStringList>("held");
    QTest::newRow("Hot Trends (and so Suggest)") << QStringList{TrendFile};
    QTest::newRow("Suggest") << QStringList{SuggestFile};
}

void TestTableLoading::closeWhileLoadingKeepsTheFiles()
{
    QFETCH(QStringList, held);
    for (const QString& name : {TrendFile, SuggestFile})
        writeFile(file(name), contentOf(name));
    for (const QString& name : held)
        m_fakes->tableLoads.hold(name);
    const auto window = m_fixture->makeLoadingWindow();
    QVERIFY(window->isLoading());

    m_fakes->messages->answers.enqueue(MsgAnswer::Ok);
    window->close();
    QVERIFY(window->isClosing());
    QCOMPARE(m_fakes->messages->shown.size(), 1); // the close's question; nothing failed

    // The tables come in after the close, and nothing writes them.
    m_fakes->tableLoads.releaseAll();
    QVERIFY(WaitForTables(*window));
    QVERIFY(WaitForSaves(*window));
    QCOMPARE(readFile(file(TrendFile)), fourRows);
    QCOMPARE(readFile(file(SuggestFile)), onePhrase);
}

QUILLORY_REGISTER_TEST(TestTableLoading);
#include "tst_table_loading.moc"
