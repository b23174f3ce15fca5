// The three result lists as the user sees them: alignment, tooltips of cut texts, the width of the
// last column, the sort indicator and where the view stands after a sort.
#include "app/AppFixture.h"
#include "app/Skin.h"
#include "suggest/SuggestTableModel.h"
#include "support/SortWait.h"
#include "support/TestRegistry.h"
#include "trends/TrendTableModel.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QStyleOptionHeader>
#include <QTabWidget>
#include <QTableView>
#include <QToolTip>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray trendRows(int count)
{
    // Keywords run backwards, so that a sort by keyword turns the table upside down.
    QByteArray rows;
    for (int i = 0; i < count; ++i)
        rows += "k" + QByteArray::number(900000 - i) + "|3/5/2009|" + QByteArray::number(i) + "|\r\n";
    return rows;
}

QPoint sectionCentre(const QHeaderView* header, int section)
{
    return {header->sectionViewportPosition(section) + header->sectionSize(section) / 2,
            header->height() / 2};
}

// The tooltip shown for `point` of `widget`, or nothing when none shows.
QString toolTipAt(QWidget* widget, QPoint point)
{
    QToolTip::hideText();
    if (!QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000))
        return QStringLiteral("(an earlier tooltip stays)");
    QHelpEvent help(QEvent::ToolTip, point, widget->mapToGlobal(point));
    QCoreApplication::sendEvent(widget, &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

} // namespace

class TestReportLists : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void numbersAlignRight_data();
    void numbersAlignRight();
    void toolTipsShowWhatIsCut_data();
    void toolTipsShowWhatIsCut();
    void harvestNoteJoinsTheCutText_data();
    void harvestNoteJoinsTheCutText();
    void lastColumnFillsTheWidth();
    void sortIndicatorFollowsTheClicks();
    void sortIndicatorLeavesTheCaptionFree();
    void captionsFitWhereThereIsRoom_data();
    void captionsFitWhereThereIsRoom();
    void sortKeepsTheSelectionInSight_data();
    void sortKeepsTheSelectionInSight();
    void sortShowsItsProgress();
    void deleteDuringSortIsKept();

private:
    void showWindow(const QByteArray& trends, const QByteArray& suggest = {});
    QTableView* list(const QString& name) const { return m_window->findChild<QTableView*>(name); }

    std::unique_ptr<AppFixture> m_fixture;
    std::unique_ptr<TfrmMain> m_window;
};

void TestReportLists::init()
{
    m_fixture = std::make_unique<AppFixture>();
}

void TestReportLists::cleanup()
{
    m_window.reset();
    m_fixture.reset();
}

void TestReportLists::showWindow(const QByteArray& trends, const QByteArray& suggest)
{
    writeFile(m_fixture->file(u"dabatase.dat"_s), trends);
    if (!suggest.isEmpty())
        writeFile(m_fixture->file(u"dbsuggest.dat"_s), suggest);
    m_window = m_fixture->makeWindow();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void TestReportLists::numbersAlignRight_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("right");
    QTest::newRow("keyword") << "lvwItems" << 0 << false;
    QTest::newRow("scrape date") << "lvwItems" << 1 << false;
    QTest::newRow("appearances") << "lvwItems" << 2 << true;
    QTest::newRow("phrase") << "lvwSuggest" << 0 << false;
    QTest::newRow("suggestion") << "lvwSuggest" << 1 << false;
    QTest::newRow("results") << "lvwSuggest" << 20 << true;
    QTest::newRow("preview suggestion") << "lvwPreview" << 0 << false;
    QTest::newRow("preview results") << "lvwPreview" << 1 << true;
}

void TestReportLists::numbersAlignRight()
{
    QFETCH(QString, list);
    QFETCH(int, column);
    QFETCH(bool, right);
    showWindow(trendRows(1), "red|a|45,100,000" + QByteArray(19, '|') + "\r\n");
    control<QTableView>(*m_window, "lvwSuggest")->selectRow(0); // fills the preview
    const QModelIndex cell = this->list(list)->model()->index(0, column);
    const auto alignment = Qt::Alignment(cell.data(Qt::TextAlignmentRole).toInt());
    QCOMPARE(bool(alignment & Qt::AlignRight), right);
    const auto header = Qt::Alignment(
        this->list(list)->model()->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole).toInt());
    QCOMPARE(bool(header & Qt::AlignRight), right);
}

void TestReportLists::toolTipsShowWhatIsCut_data()
{
    QTest::addColumn<bool>("header");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("toolTip"); // empty: none

    const QString keyword = u"cheap flights to new york "_s.repeated(4).trimmed();
    QTest::newRow("cut cell") << false << 0 << 0 << keyword;
    QTest::newRow("cell that fits") << false << 1 << 0 << "";
    QTest::newRow("cut header") << true << -1 << 1 << "Date Keyword Was Last Scraped";
    QTest::newRow("header that fits") << true << -1 << 0 << "";
}

void TestReportLists::toolTipsShowWhatIsCut()
{
    QFETCH(bool, header);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QString, toolTip);
    const QString keyword = u"cheap flights to new york "_s.repeated(4).trimmed();
    QByteArray stored = keyword.toUtf8().replace(' ', "\xc2\xa7");
    showWindow(stored + "|3/5/2009|1|\r\nparis|3/5/2009|2|\r\n");
    QTableView* items = control<QTableView>(*m_window, "lvwItems");
    items->setColumnWidth(1, 120);

    if (header) {
        QCOMPARE(toolTipAt(items->horizontalHeader()->viewport(),
                           sectionCentre(items->horizontalHeader(), column)),
                 toolTip);
    } else {
        const QRect cell = items->visualRect(items->model()->index(row, column));
        QCOMPARE(toolTipAt(items->viewport(), cell.center()), toolTip);
    }
}

void TestReportLists::harvestNoteJoinsTheCutText_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("toolTip");
    const QString phrase = u"cheap flights to new york "_s.repeated(4).trimmed();
    QTest::newRow("cut phrase with a note") << 0 << phrase + u"\nFailed: refused"_s;
    QTest::newRow("phrase that fits, with a note") << 1 << "Failed: refused";
    QTest::newRow("phrase that fits, no note") << 2 << "";
}

void TestReportLists::harvestNoteJoinsTheCutText()
{
    QFETCH(int, row);
    QFETCH(QString, toolTip);
    const QByteArray phrase = u"cheap flights to new york "_s.repeated(4).trimmed().toUtf8();
    const QByteArray empty(20, '|');
    showWindow(trendRows(1), QByteArray(phrase).replace(' ', "\xc2\xa7") + "|" + empty + "\r\nred|" + empty +
                                 "\r\nblue|" + empty + "\r\n");
    control<QTabWidget>(*m_window, "pgcMain")
        ->setCurrentWidget(control<QWidget>(*m_window, "bsSkinTabSheet2"));
    SuggestTableModel* table = m_window->suggestTable();
    for (const int noted : {0, 1})
        table->setHarvestNote(table->idOfRow(noted), SuggestTableModel::HarvestNote::Failed, u"refused"_s);

    QTableView* phrases = control<QTableView>(*m_window, "lvwSuggest");
    const QRect cell = phrases->visualRect(phrases->model()->index(row, 0));
    QCOMPARE(toolTipAt(phrases->viewport(), cell.center()), toolTip);
}

void TestReportLists::lastColumnFillsTheWidth()
{
    showWindow(trendRows(3));
    m_window->resize(1200, 600);
    QHeaderView* header = control<QTableView>(*m_window, "lvwItems")->horizontalHeader();
    QTRY_COMPARE(header->sectionPosition(2) + header->sectionSize(2),
                 control<QTableView>(*m_window, "lvwItems")->viewport()->width());
    QVERIFY(header->sectionSize(2) > 240);
    // A list wider than its view scrolls: its last column keeps its width.
    QCOMPARE(control<QTableView>(*m_window, "lvwSuggest")->horizontalHeader()->sectionSize(20), 100);
}

void TestReportLists::sortIndicatorFollowsTheClicks()
{
    showWindow(trendRows(3));
    QHeaderView* header = control<QTableView>(*m_window, "lvwItems")->horizontalHeader();
    QVERIFY(header->isSortIndicatorShown());
    QCOMPARE(header->sortIndicatorSection(), -1); // the list starts unsorted

    const QList<QPair<int, Qt::SortOrder>> clicks{
        {2, Qt::AscendingOrder}, {2, Qt::DescendingOrder}, {0, Qt::DescendingOrder}};
    for (const auto& [section, order] : clicks) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sectionCentre(header, section));
        QCOMPARE(header->sortIndicatorSection(), section);
        QCOMPARE(header->sortIndicatorOrder(), order);
    }
    QVERIFY(SortDone(*m_window->trendTable()));
    QCOMPARE(m_window->trendTable()->row(0).keyword, u"k900000"_s); // keywords descending
}

void TestReportLists::sortIndicatorLeavesTheCaptionFree()
{
    ApplySkin(BuiltInSkin());
    const auto resetSkin = qScopeGuard([] { qApp->setStyleSheet(QString()); });
    showWindow(trendRows(3));
    QHeaderView* header = control<QTableView>(*m_window, "lvwItems")->horizontalHeader();
    m_window->hotTrendsPage()->lvwItemsColumnClick(2);
    QVERIFY(SortDone(*m_window->trendTable()));

    QStyleOptionHeader option;
    option.initFrom(header);
    option.section = 2;
    option.text = header->model()->headerData(2, Qt::Horizontal).toString();
    option.textAlignment = Qt::AlignRight | Qt::AlignVCenter;
    option.sortIndicator = QStyleOptionHeader::SortDown;
    option.rect = QRect(header->sectionViewportPosition(2), 0, header->sectionSize(2), header->height());
    const QRect arrow = header->style()->subElementRect(QStyle::SE_HeaderArrow, &option, header);
    const QRect caption = header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header);
    QVERIFY(!arrow.isEmpty());
    QVERIFY(option.rect.contains(arrow));
    QVERIFY2(!caption.intersects(arrow), "the sort indicator covers the caption");
}

void TestReportLists::captionsFitWhereThereIsRoom_data()
{
    QTest::addColumn<bool>("skin");
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("caption");
    for (const bool skin : {true, false}) {
        const char* look = skin ? "skin" : "plain";
        QTest::addRow("%s: keyword", look) << skin << "lvwItems" << 0 << "Keyword";
        QTest::addRow("%s: date", look) << skin << "lvwItems" << 1 << "Date Keyword Was Last Scraped";
        QTest::addRow("%s: appearances (the last)", look)
            << skin << "lvwItems" << 2 << "Number of Appearances In The Top 100 List";
        QTest::addRow("%s: phrase", look) << skin << "lvwSuggest" << 0 << "Keyword Phrase";
        QTest::addRow("%s: a result", look) << skin << "lvwSuggest" << 20 << "Results 10";
        QTest::addRow("%s: preview", look) << skin << "lvwPreview" << 0 << "Suggestions";
    }
}

void TestReportLists::captionsFitWhereThereIsRoom()
{
    QFETCH(bool, skin);
    QFETCH(QString, list);
    QFETCH(int, column);
    QFETCH(QString, caption);
    if (skin)
        ApplySkin(BuiltInSkin());
    const auto resetSkin = qScopeGuard([] { qApp->setStyleSheet(QString()); });
    showWindow(trendRows(3), "red|a|45,100,000" + QByteArray(19, '|') + "\r\n");
    QTabWidget* pages = m_window->findChild<QTabWidget*>(u"pgcMain"_s);
    pages->setCurrentIndex(list == u"lvwItems" ? 0 : 1);
    QHeaderView* header = this->list(list)->horizontalHeader();
    QTRY_VERIFY(header->isVisible());
    QCOMPARE(header->model()->headerData(column, Qt::Horizontal).toString(), caption);
    // The captions are drawn bold; whole, with the skin's room for the sort indicator beside them.
    QFont bold = header->font();
    bold.setBold(true);
    const int text = QFontMetrics(bold).horizontalAdvance(caption) + (skin ? 6 + 16 : 0);
    QTRY_VERIFY2(header->sectionSize(column) >= text,
                 qPrintable(u"%1 wide for %2"_s.arg(header->sectionSize(column)).arg(text)));
}

void TestReportLists::sortKeepsTheSelectionInSight_data()
{
    QTest::addColumn<int>("selected"); // -1: none
    QTest::newRow("selected row") << 0;
    QTest::newRow("nothing selected") << -1;
}

void TestReportLists::sortKeepsTheSelectionInSight()
{
    QFETCH(int, selected);
    showWindow(trendRows(2000));
    QTableView* items = control<QTableView>(*m_window, "lvwItems");
    if (selected >= 0)
        items->selectRow(selected);
    else
        items->scrollToBottom();

    m_window->hotTrendsPage()->lvwItemsColumnClick(0); // keywords ascending: the first row goes to the end
    QVERIFY(SortDone(*m_window->trendTable()));
    if (selected < 0) {
        QCOMPARE(items->verticalScrollBar()->value(), 0);
        return;
    }
    const QModelIndexList rows = items->selectionModel()->selectedRows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0].row(), 1999);
    QVERIFY(items->viewport()->rect().contains(items->visualRect(rows[0])));
}

void TestReportLists::sortShowsItsProgress()
{
    showWindow(trendRows(50));
    QTableView* items = control<QTableView>(*m_window, "lvwItems");
    QHeaderView* header = items->horizontalHeader();
    TrendTableModel* table = m_window->trendTable();
    const auto caption = [header](int section) {
        return header->model()->headerData(section, Qt::Horizontal).toString();
    };
    const QString countCaption = caption(2);
    HeldSorts holding(*table);
    QSignalSpy layouts(table, &QAbstractItemModel::layoutChanged);

    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sectionCentre(header, 2));
    QCOMPARE(items->cursor().shape(), Qt::BusyCursor);
    QCOMPARE(header->sortIndicatorSection(), 2);
    QVERIFY2(caption(2).contains(u"sorting"_s), qPrintable(caption(2)));
    // A click on another header meanwhile supersedes the sort.
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, sectionCentre(header, 0));
    QCOMPARE(header->sortIndicatorSection(), 0);
    QCOMPARE(caption(2), countCaption);
    QVERIFY2(caption(0).contains(u"sorting"_s), qPrintable(caption(0)));
    QCOMPARE(items->cursor().shape(), Qt::BusyCursor);

    holding.release();
    QVERIFY(SortDone(*table));
    QCOMPARE(layouts.size(), 1);
    QVERIFY(!items->testAttribute(Qt::WA_SetCursor));
    QVERIFY(!caption(0).contains(u"sorting"_s));
    QStringList keywords;
    for (const TrendRecord& row : table->rows())
        keywords << row.keyword;
    QVERIFY(std::is_sorted(keywords.cbegin(), keywords.cend()));
}

void TestReportLists::deleteDuringSortIsKept()
{
    showWindow(trendRows(40));
    QTableView* items = control<QTableView>(*m_window, "lvwItems");
    TrendTableModel* table = m_window->trendTable();
    HeldSorts holding(*table);
    m_window->hotTrendsPage()->lvwItemsColumnClick(0);

    // The user deletes two rows while the keywords are sorted: they go at once, and the sort then
    // orders the rows that are left.
    const QStringList deleted{table->row(3).keyword, table->row(20).keyword};
    items->selectionModel()->select(items->model()->index(3, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    items->selectionModel()->select(items->model()->index(20, 0),
                                    QItemSelectionModel::Select | QItemSelectionModel::Rows);
    m_fixture->fakes.messages->answers.enqueue(MsgAnswer::Ok);
    control<QPushButton>(*m_window, "btnDelete")->click();
    QCOMPARE(table->rowCount(), 38);

    holding.release();
    QVERIFY(SortDone(*table));
    QStringList keywords;
    for (const TrendRecord& row : table->rows())
        keywords << row.keyword;
    QCOMPARE(keywords.size(), 38);
    QVERIFY(std::is_sorted(keywords.cbegin(), keywords.cend()));
    for (const QString& keyword : deleted)
        QVERIFY2(!keywords.contains(keyword), qPrintable(keyword));
}

QUILLORY_REGISTER_TEST(TestReportLists);
#include "tst_report_lists.moc"
