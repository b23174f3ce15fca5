#include "support/SortWait.h"
#include "support/TestFiles.h"
#include "support/TrendingFeedBody.h"
#include "trends/HotTrendsFeed.h"
#include "trends/TrendExport.h"
#include "trends/TrendFiles.h"
#include "trends/TrendTableModel.h"
#include "trends/TrendingFeed.h"
#include "util/CutBetween.h"
#include "util/DateTimeText.h"
#include "util/KeywordIndex.h"
#include "util/RowFilterModel.h"
#include "util/TextFile.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>
#include <limits>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(TrendRows)
Q_DECLARE_METATYPE(ExportFormat)

namespace {

TrendRows keywordsOnly(const QStringList& keywords)
{
    TrendRows rows;
    for (const QString& keyword : keywords)
        rows.append({keyword, u"3/5/2009 2:15:00 PM"_s, u"1"_s});
    return rows;
}

QStringList keywordsOf(const TrendRows& rows)
{
    QStringList keywords;
    for (const TrendRecord& row : rows)
        keywords << row.keyword;
    return keywords;
}

// The keywords a filter shows, in its order.
QStringList shownKeywords(const RowFilterModel& filter)
{
    QStringList keywords;
    for (int row = 0; row < filter.rowCount(); ++row)
        keywords << filter.index(row, TrendTableModel::KeywordColumn).data().toString();
    return keywords;
}

} // namespace

class TestTrends : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parseTable_data();
    void parseTable();
    void roundTrip_data();
    void roundTrip();
    void legacyWindowsFile();
    void mixedEncodingFile();
    void fileFormat();
    void emptyTableIsEmptyFile();
    void lastParsedFile_data();
    void lastParsedFile();
    void newestDateTime_data();
    void newestDateTime();
    void keywordIndex();
    void removeRows_data();
    void removeRows();
    void historyColumns();
    void feedStatusText_data();
    void feedStatusText();
    void rowGateNarrowsTheList_data();
    void rowGateNarrowsTheList();
    void findFollowsTheTable();
    void findKeepsUpWithBulkChanges();
    void foldFeed_data();
    void foldFeed();
    void foldFeedReadsAsCutsDo();
    void tallyCountsEachKeywordOnce_data();
    void tallyCountsEachKeywordOnce();
    void readsEndWhenAskedToStop();
    void foldedKeywordSurvivesReload_data();
    void foldedKeywordSurvivesReload();
    void foldFeedOfBareItemsIsLinear();
    void wholeHours_data();
    void wholeHours();
    void exportFile();
    void exportFormats_data();
    void exportFormats();
    void jsonExportReadsBack_data();
    void jsonExportReadsBack();
    void exportDatesAreIso_data();
    void exportDatesAreIso();
    void jsonExportCarriesTheHistoryColumnsShown();
    void exportKeepsWhatCannotBeReplaced();
};

void TestTrends::parseTable_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<TrendRows>("rows");

    QTest::newRow("stored rows") << QByteArray("new§york|3/5/2009§2:15:00§PM|4|\r\nfoo|3/6/2009|1|\r\n")
                                 << TrendRows{{u"new york"_s, u"3/5/2009 2:15:00 PM"_s, u"4"_s},
                                              {u"foo"_s, u"3/6/2009"_s, u"1"_s}};
    QTest::newRow("line breaks of any kind")
        << QByteArray("a|d|1|\rb|d|2|\nc|d|3|")
        << TrendRows{{u"a"_s, u"d"_s, u"1"_s}, {u"b"_s, u"d"_s, u"2"_s}, {u"c"_s, u"d"_s, u"3"_s}};
    QTest::newRow("empty and blank lines skipped")
        << QByteArray("\r\na|d|1|\r\n \t \r\n\r\nb|d|2|\r\n")
        << TrendRows{{u"a"_s, u"d"_s, u"1"_s}, {u"b"_s, u"d"_s, u"2"_s}};
    QTest::newRow("short lines get empty cells")
        << QByteArray("a|\r\nb|d\r\nc\r\n")
        << TrendRows{{u"a"_s, u""_s, u""_s}, {u"b"_s, u"d"_s, u""_s}, {u"c"_s, u""_s, u""_s}};
    QTest::newRow("extra fields ignored")
        << QByteArray("a|d|1|x|y|\r\n") << TrendRows{{u"a"_s, u"d"_s, u"1"_s}};
    // Plain lines (ASCII and "§") are read in one pass; any other goes the general way: both agree.
    QTest::newRow("plain and other lines mixed")
        << QByteArray(" a | d |1|\r\n|\r\na||1|\r\nzo\xc3\xab|d|1|\r\ncaf\xe9\xa7noir|d|1|\r\na\xc2|d|1|\r\n"
                      "b\xc2\xa7"
                      "c|d\xc2\xa7"
                      "e|1|z\xff|\r\n")
        << TrendRows{{u"a"_s, u"d"_s, u"1"_s},
                     {u""_s, u""_s, u""_s},
                     {u"a"_s, u""_s, u"1"_s},
                     {u"zoë"_s, u"d"_s, u"1"_s},
                     {u"café noir"_s, u"d"_s, u"1"_s},
                     {u"a\u00c2"_s, u"d"_s, u"1"_s},
                     {u"b\u00c2 c"_s, u"d\u00c2 e"_s, u"1"_s}};
    QTest::newRow("duplicate keywords stay two rows")
        << QByteArray("a|d|1|\r\na|e|2|\r\n")
        << TrendRows{{u"a"_s, u"d"_s, u"1"_s}, {u"a"_s, u"e"_s, u"2"_s}};
}

void TestTrends::parseTable()
{
    QFETCH(QByteArray, text);
    QFETCH(TrendRows, rows);
    QCOMPARE(ParseTrendTable(text), rows);
}

// What survives a save and a load, and what a row file cannot hold.
void TestTrends::roundTrip_data()
{
    QTest::addColumn<TrendRows>("saved");
    QTest::addColumn<TrendRows>("loaded");

    QTest::newRow("spaces") << TrendRows{{u"new york"_s, u"3/5/2009 2:15:00 PM"_s, u"4"_s}}
                            << TrendRows{{u"new york"_s, u"3/5/2009 2:15:00 PM"_s, u"4"_s}};
    QTest::newRow("non-ascii") << TrendRows{{u"zoë straße 東京"_s, u"d"_s, u"12"_s}}
                               << TrendRows{{u"zoë straße 東京"_s, u"d"_s, u"12"_s}};
    QTest::newRow("section sign becomes a space")
        << TrendRows{{u"a§b"_s, u"d"_s, u"1"_s}} << TrendRows{{u"a b"_s, u"d"_s, u"1"_s}};
    QTest::newRow("bar splits the keyword")
        << TrendRows{{u"a|b"_s, u"d"_s, u"1"_s}} << TrendRows{{u"a"_s, u"b"_s, u"d"_s}};
    QTest::newRow("tab splits the keyword")
        << TrendRows{{u"a\tb"_s, u"d"_s, u"1"_s}} << TrendRows{{u"a"_s, u"b"_s, u"d"_s}};
    QTest::newRow("empty keyword") << TrendRows{{u""_s, u"d"_s, u"1"_s}}
                                   << TrendRows{{u""_s, u"d"_s, u"1"_s}};
}

void TestTrends::roundTrip()
{
    QFETCH(TrendRows, saved);
    QFETCH(TrendRows, loaded);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"dabatase.dat"_s);
    QCOMPARE(WriteTrendTable(path, saved), QString());
    const TrendTableRead read = ReadTrendTable(path);
    QCOMPARE(read.error, QString());
    QCOMPARE(read.rows, loaded);
}

void TestTrends::legacyWindowsFile()
{
    // Written by the older Windows program: Windows-1252, "§" as the single byte 0xA7.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"dabatase.dat"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("new\xa7york|3/5/2009\xa7"
               "2:15:00\xa7PM|4|\r\ncaf\xe9\xa7"
               "cr\xe8me|3/5/2009|1|\r\n");
    file.close();

    const TrendRows rows = ReadTrendTable(path).rows;
    QCOMPARE(rows, (TrendRows{{u"new york"_s, u"3/5/2009 2:15:00 PM"_s, u"4"_s},
                              {QStringLiteral("café crème"), u"3/5/2009"_s, u"1"_s}}));

    // Saved again, the file is UTF-8 and reads back the same.
    QCOMPARE(WriteTrendTable(path, rows), QString());
    QVERIFY(readFile(path).contains("caf\xc3\xa9\xc2\xa7"));
    QCOMPARE(ReadTrendTable(path).rows, rows);
}

void TestTrends::mixedEncodingFile()
{
    // UTF-8 lines and one line with a lone Windows-1252 byte: each line is read by its own
    // encoding, also where two lines hold the same bytes in a date cell.
    QTemporaryDir dir;
    const QString path = dir.filePath(u"dabatase.dat"_s);
    writeFile(path, "caf\xc3\xa9|5\xc2\xa7m\xc3\xa4rz|1|\r\n"
                    "cr\xe8me|5\xc2\xa7m\xc3\xa4rz|2|\r\n"
                    "na\xc3\xafve|d|3|\r\n");
    const TrendRows expected = {{QStringLiteral("café"), QStringLiteral("5 märz"), u"1"_s},
                                {QStringLiteral("crème"), QStringLiteral("5Â mÃ¤rz"), u"2"_s},
                                {QStringLiteral("naïve"), u"d"_s, u"3"_s}};
    QCOMPARE(ReadTrendTable(path).rows, expected);

    // Saved again, every line is UTF-8 and reads back the same.
    QCOMPARE(WriteTrendTable(path, expected), QString());
    QCOMPARE(readFile(path), QByteArray("caf\xc3\xa9|5\xc2\xa7m\xc3\xa4rz|1|\r\n"
                                        "cr\xc3\xa8me|5\xc3\x82\xc2\xa7m\xc3\x83\xc2\xa4rz|2|\r\n"
                                        "na\xc3\xafve|d|3|\r\n"));
    QCOMPARE(ReadTrendTable(path).rows, expected);
}

void TestTrends::fileFormat()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"dabatase.dat"_s);
    QCOMPARE(WriteTrendTable(path, {{u"new york"_s, u"3/5/2009 2:15:00 PM"_s, u"4"_s},
                                    {u"foo"_s, u"3/6/2009"_s, u"1"_s}}),
             QString());
    QCOMPARE(readFile(path), QByteArray("new\xc2\xa7york|3/5/2009\xc2\xa7"
                                        "2:15:00\xc2\xa7PM|4|\r\nfoo|3/6/2009|1|\r\n"));
}

void TestTrends::emptyTableIsEmptyFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"dabatase.dat"_s);
    QCOMPARE(WriteTrendTable(path, {}), QString());
    QVERIFY(QFile::exists(path));
    QCOMPARE(QFileInfo(path).size(), 0);
    QVERIFY(ReadTrendTable(dir.filePath(u"missing.dat"_s)).rows.isEmpty());
    QCOMPARE(ReadTrendTable(dir.filePath(u"missing.dat"_s)).error, QString());
}

void TestTrends::lastParsedFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("text");

    QTest::newRow("as written") << QByteArray("<%%LastParsed%%>3/5/2009 2:15:00 PM<%%/LastParsed%%>\r\n")
                                << "3/5/2009 2:15:00 PM";
    QTest::newRow("lower-case markers")
        << QByteArray("<%%lastparsed%%>3/5/2009<%%/lastparsed%%>\r\n") << "3/5/2009";
    QTest::newRow("no markers") << QByteArray("3/5/2009\r\n") << "";
    QTest::newRow("no end marker") << QByteArray("<%%LastParsed%%>3/5/2009\r\n") << "";
}

void TestTrends::lastParsedFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"config.dat"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    QCOMPARE(ReadLastParsedText(path), text);

    QCOMPARE(WriteLastParsed(path, u"3/5/2009 2:15:00 PM"_s), QString());
    QCOMPARE(readFile(path), QByteArray("<%%LastParsed%%>3/5/2009 2:15:00 PM<%%/LastParsed%%>\r\n"));
}

void TestTrends::newestDateTime_data()
{
    QTest::addColumn<QStringList>("dates");
    QTest::addColumn<std::optional<QDateTime>>("newest");

    QTest::newRow("newest of several") << QStringList{u"3/5/2009 2:15:00 PM"_s, u"12/10/2026 9:00:00 AM"_s,
                                                      u"12/10/2026"_s, u"1/1/2026 11:59:59 PM"_s}
                                       << std::optional(QDateTime(QDate(2026, 12, 10), QTime(9, 0)));
    QTest::newRow("by value, not as text")
        << QStringList{u"9/30/2009 11:00:00 PM"_s, u"10/1/2009 1:00:00 AM"_s}
        << std::optional(QDateTime(QDate(2009, 10, 1), QTime(1, 0)));
    QTest::newRow("cells that do not read are passed over")
        << QStringList{u"garbage"_s, u""_s, u"3/5/2009"_s, u"05.03.2099 14:15:00"_s, u"N/A"_s}
        << std::optional(QDateTime(QDate(2009, 3, 5), QTime(0, 0)));
    QTest::newRow("no cell reads") << QStringList{u"garbage"_s, u""_s} << std::optional<QDateTime>();
    QTest::newRow("empty table") << QStringList{} << std::optional<QDateTime>();
}

void TestTrends::newestDateTime()
{
    QFETCH(QStringList, dates);
    QFETCH(std::optional<QDateTime>, newest);
    TrendRows rows;
    for (const QString& date : dates)
        rows.append({u"keyword"_s, date, u"1"_s});
    QCOMPARE(NewestDateTime(rows, QLocale(QLocale::English, QLocale::UnitedStates)), newest);
}

void TestTrends::keywordIndex()
{
    TrendTableModel model;
    model.setRows(keywordsOnly({u"Apple"_s, u"pear"_s, u"apple"_s, QStringLiteral("ÄPFEL"), u""_s}));
    const KeywordIndex& index = model.knownKeywords();
    QCOMPARE(index.size(), 4);
    QCOMPARE(index.find(u"APPLE"), 0); // the first of the two rows
    QCOMPARE(index.find(u"Pear"), 1);
    QCOMPARE(index.find(QStringLiteral("äpfel")), 3);
    QCOMPARE(index.find(u""), 4);
    QCOMPARE(index.find(u"plum"), -1);

    // Removing the first "apple" row leaves the other one known.
    model.removeRowList({0});
    QCOMPARE(index.find(u"apple"), 1);

    // Appended rows are found at once; the table grows past the index's first capacity.
    for (int i = 0; i < 100; ++i)
        model.appendRow({QStringLiteral("Keyword %1").arg(i), u"d"_s, u"1"_s});
    QCOMPARE(index.find(u"keyword 99"), 4 + 99);
    QCOMPARE(index.find(u"pear"), 0);
    model.clear();
    QCOMPARE(index.find(u"pear"), -1);
}

void TestTrends::removeRows_data()
{
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QList<qsizetype>>("remove");

    QTest::newRow("one block") << 10 << QList<qsizetype>{3, 4, 5};
    QTest::newRow("scattered, unsorted, repeated") << 10 << QList<qsizetype>{9, 0, 4, 4, 2};
    QList<qsizetype> everyOther;
    for (qsizetype row = 0; row < 200; row += 2)
        everyOther << row;
    QTest::newRow("many blocks") << 200 << everyOther;
}

void TestTrends::removeRows()
{
    QFETCH(int, rowCount);
    QFETCH(QList<qsizetype>, remove);
    QStringList keywords;
    for (int i = 0; i < rowCount; ++i)
        keywords << QString::number(i);
    TrendTableModel model;
    model.setRows(keywordsOnly(keywords));

    QStringList expected;
    for (int i = 0; i < rowCount; ++i) {
        if (!remove.contains(i))
            expected << QString::number(i);
    }
    model.removeRowList(remove);
    QCOMPARE(keywordsOf(model.rows()), expected);
    QCOMPARE(model.rowCount(), expected.size());
    for (const qsizetype row : remove)
        QVERIFY(!model.knownKeywords().contains(QString::number(row)));
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(model.knownKeywords().find(expected[i]), i);
}

void TestTrends::historyColumns()
{
    TrendTableModel table;
    table.setRows(keywordsOnly({u"a"_s, u"B"_s, u"c"_s}));
    const QDateTime seen(QDate(2026, 12, 1), QTime(10, 0), Qt::UTC);
    QCOMPARE(table.index(1, TrendTableModel::PeakTrafficColumn).data().toString(), QString());
    table.setKeywordSummaries({{u"b"_s, {seen, 5000, {u"US"_s}}}, {u"c"_s, {seen, 200, {u"GB"_s, u"US"_s}}}});
    QCOMPARE(table.index(1, TrendTableModel::PeakTrafficColumn).data().toString(),
             QLocale().toString(5000) + u'+');
    QCOMPARE(table.index(2, TrendTableModel::CountriesColumn).data().toString(), u"GB, US"_s);
    QCOMPARE(table.index(1, TrendTableModel::FirstSeenColumn).data().toString(),
             DateTimeText(seen.toLocalTime()));
    QCOMPARE(table.index(0, TrendTableModel::PeakTrafficColumn).data().toString(), QString());

    // The columns sort as numbers and date-times, and the texts follow their keywords.
    table.sort(TrendTableModel::PeakTrafficColumn, Qt::DescendingOrder);
    QVERIFY(SortDone(table));
    QCOMPARE(keywordsOf(table.rows()), (QStringList{u"B"_s, u"c"_s, u"a"_s}));
    QCOMPARE(table.index(0, TrendTableModel::PeakTrafficColumn).data().toString(),
             QLocale().toString(5000) + u'+');
    table.updateKeywordSummaries({{u"a"_s, {seen, 9000, {}}}});
    QCOMPARE(table.index(2, TrendTableModel::PeakTrafficColumn).data().toString(),
             QLocale().toString(9000) + u'+');
    QCOMPARE(table.index(0, TrendTableModel::PeakTrafficColumn).data().toString(),
             QLocale().toString(5000) + u'+');
    // The find box searches the table's own cells only: new history texts start no search.
    QVERIFY(!table.rowMatches(0, u"us"_s));
    RowFilterModel filter(table);
    filter.setNeedle(u"b"_s);
    QTRY_VERIFY(!filter.isSearching());
    table.updateKeywordSummaries({{u"c"_s, {seen, 100, {}}}});
    QVERIFY(!filter.isSearching());
    QCOMPARE(filter.rowCount(), 1);
}

void TestTrends::feedStatusText_data()
{
    QTest::addColumn<bool>("active");
    QTest::addColumn<qint64>("minutesAgo"); // -1: never seen
    QTest::addColumn<QString>("text");
    QTest::newRow("in the newest scrape") << true << qint64(5) << u"active"_s;
    QTest::newRow("minutes") << false << qint64(40) << u"ended 40 min ago"_s;
    QTest::newRow("an hour") << false << qint64(60) << u"ended 1 h ago"_s;
    QTest::newRow("hours") << false << qint64(3 * 60 + 59) << u"ended 3 h ago"_s;
    QTest::newRow("just under two days") << false << qint64(48 * 60 - 1) << u"ended 47 h ago"_s;
    QTest::newRow("days") << false << qint64(5 * 24 * 60 + 70) << u"ended 5 days ago"_s;
    QTest::newRow("never seen") << false << qint64(-1) << QString();
}

void TestTrends::feedStatusText()
{
    QFETCH(bool, active);
    QFETCH(qint64, minutesAgo);
    QFETCH(QString, text);
    const QDateTime now(QDate(2026, 12, 11), QTime(9, 0), Qt::UTC);
    KeywordSummary summary;
    summary.active = active;
    if (minutesAgo >= 0)
        summary.lastSeen = now.addSecs(-minutesAgo * 60);
    QCOMPARE(TrendTableModel::feedStatusText(summary, now), text);
}

void TestTrends::rowGateNarrowsTheList_data()
{
    QTest::addColumn<bool>("gated");
    QTest::addColumn<QStringList>("gate");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("gate alone") << true << QStringList{u"cafe au lait"_s, u"tea"_s} << QString()
                                << QStringList{u"tea"_s, u"CAFE au lait"_s};
    QTest::newRow("gate and needle") << true << QStringList{u"cafe au lait"_s, u"tea"_s} << u"cafe"_s
                                     << QStringList{u"CAFE au lait"_s};
    QTest::newRow("empty gate") << true << QStringList{} << QString() << QStringList{};
    QTest::newRow("needle alone") << false << QStringList{} << u"cafe"_s
                                  << QStringList{u"Café Paris"_s, u"CAFE au lait"_s};
}

void TestTrends::rowGateNarrowsTheList()
{
    QFETCH(bool, gated);
    QFETCH(QStringList, gate);
    QFETCH(QString, needle);
    QFETCH(QStringList, shown);
    TrendTableModel table;
    table.setRows(keywordsOnly({u"Café Paris"_s, u"tea"_s, u"CAFE au lait"_s, u"coffee"_s}));
    RowFilterModel filter(table);
    const QAbstractItemModelTester tester(&filter, QAbstractItemModelTester::FailureReportingMode::QtTest);
    filter.setNeedle(needle);
    if (gated) {
        table.setRowGate(std::make_shared<const QSet<QString>>(gate.begin(), gate.end()));
        filter.refilter();
    }
    QTRY_VERIFY(!filter.isSearching());
    QCOMPARE(shownKeywords(filter), shown);
    QCOMPARE(filter.isFiltering(), gated || !needle.isEmpty());

    // A row added later shows only when it passes both.
    table.appendRow({u"milk"_s, u"d"_s, u"1"_s});
    QCOMPARE(shownKeywords(filter), shown);
    table.appendRow({u"Tea"_s, u"d"_s, u"1"_s});
    const bool teaShows = (!gated || gate.contains(u"tea"_s)) && needle.isEmpty();
    QCOMPARE(shownKeywords(filter), teaShows ? shown + QStringList{u"Tea"_s} : shown);

    // Without the gate, the needle alone decides again.
    table.setRowGate(nullptr);
    filter.refilter();
    QTRY_VERIFY(!filter.isSearching());
    QCOMPARE(filter.rowCount(), needle.isEmpty() ? 6 : 2);
}

void TestTrends::findFollowsTheTable()
{
    TrendTableModel table;
    table.setRows(keywordsOnly({u"Café Paris"_s, u"tea"_s, u"CAFE au lait"_s, u"coffee"_s}));
    RowFilterModel filter(table);
    const QAbstractItemModelTester tester(&filter, QAbstractItemModelTester::FailureReportingMode::QtTest);

    filter.setNeedle(u"cafe"_s);
    QVERIFY(filter.isSearching());
    QTRY_VERIFY(!filter.isSearching());
    QVERIFY(filter.isFiltering());
    QCOMPARE(shownKeywords(filter), (QStringList{u"Café Paris"_s, u"CAFE au lait"_s}));

    // Appended rows show as they match; a changed row shows or goes by what it holds now.
    table.appendRow({u"cafeteria"_s, u"d"_s, u"1"_s});
    table.appendRow({u"milk"_s, u"d"_s, u"1"_s});
    table.setDateAndCount(1, u"cafe day"_s, u"2"_s);
    table.setDateAndCount(0, u"2026"_s, u"3"_s);
    QCOMPARE(shownKeywords(filter),
             (QStringList{u"Café Paris"_s, u"tea"_s, u"CAFE au lait"_s, u"cafeteria"_s}));
    table.setDateAndCount(1, u"d"_s, u"2"_s);
    table.removeRowList({2});
    QCOMPARE(shownKeywords(filter), (QStringList{u"Café Paris"_s, u"cafeteria"_s}));
    QCOMPARE(filter.shownTableRows(), (QList<qsizetype>{0, 3}));

    // A sort moves the rows shown with the table's, and what points at them.
    const QPersistentModelIndex cafeteria = filter.index(1, 0);
    table.appendRow({u"Cafe Bar"_s, u"d"_s, u"1"_s});
    table.sort(TrendTableModel::CountColumn);
    QVERIFY(SortDone(table));
    QCOMPARE(keywordsOf(table.rows()),
             (QStringList{u"coffee"_s, u"cafeteria"_s, u"milk"_s, u"Cafe Bar"_s, u"tea"_s, u"Café Paris"_s}));
    QCOMPARE(shownKeywords(filter), (QStringList{u"cafeteria"_s, u"Cafe Bar"_s, u"Café Paris"_s}));
    QCOMPARE(filter.shownTableRows(), (QList<qsizetype>{1, 3, 5}));
    QCOMPARE(cafeteria.row(), 0);
    QCOMPARE(cafeteria.data().toString(), u"cafeteria"_s);

    // An empty needle shows every row again at once.
    filter.setNeedle({});
    QVERIFY(!filter.isFiltering() && !filter.isSearching());
    QCOMPARE(filter.rowCount(), 6);
    QCOMPARE(filter.tableRow(5), 5);
}

void TestTrends::findKeepsUpWithBulkChanges()
{
    // Row n holds an "x" when n is a multiple of 3.
    QStringList keywords;
    for (int n = 0; n < 100; ++n)
        keywords << u"row %1%2"_s.arg(n).arg(n % 3 == 0 ? u" x"_s : QString());
    TrendTableModel table;
    table.setRows(keywordsOnly(keywords));
    RowFilterModel filter(table);
    const QAbstractItemModelTester tester(&filter, QAbstractItemModelTester::FailureReportingMode::QtTest);
    filter.setNeedle(u"X"_s);
    QTRY_VERIFY(!filter.isSearching());
    QCOMPARE(filter.rowCount(), 34);

    // Every odd row removed in one pass: those shown that are left are the multiples of 6.
    QList<qsizetype> odd;
    for (qsizetype n = 1; n < 100; n += 2)
        odd << n;
    table.removeRowList(odd);
    QStringList expected;
    for (int n = 0; n < 100; n += 6)
        expected << u"row %1 x"_s.arg(n);
    QCOMPARE(shownKeywords(filter), expected);
    for (int row = 0; row < filter.rowCount(); ++row)
        QCOMPARE(table.rows().keyword(filter.tableRow(row)), expected[row]);

    // New rows are searched anew; a search that began before a change starts again over the rows as
    // they are now; a newer needle drops an older search.
    table.setRows(keywordsOnly(keywords));
    QCOMPARE(filter.rowCount(), 0);
    QTRY_VERIFY(!filter.isSearching());
    QCOMPARE(filter.rowCount(), 34);
    filter.setNeedle(u"row 1"_s);
    table.appendRow({u"row 1000"_s, u"d"_s, u"1"_s});
    QTRY_VERIFY(!filter.isSearching());
    QCOMPARE(filter.rowCount(), 12); // 1, 10 to 19, 1000
    QCOMPARE(shownKeywords(filter).constLast(), u"row 1000"_s);
    filter.setNeedle(u"row 2"_s);
    filter.setNeedle(u"row 33"_s);
    QTRY_VERIFY(!filter.isSearching());
    QCOMPARE(shownKeywords(filter), QStringList{u"row 33 x"_s});

    // Typing on looks among the rows shown, unless the table's new rows are still to be searched.
    filter.setNeedle(u"row 33 "_s);
    QTRY_VERIFY(!filter.isSearching());
    QCOMPARE(shownKeywords(filter), QStringList{u"row 33 x"_s});
    table.setRows(keywordsOnly({u"row 33 y"_s, u"row 33 x"_s}));
    filter.setNeedle(u"row 33 y"_s);
    QTRY_VERIFY(!filter.isSearching());
    QCOMPARE(shownKeywords(filter), QStringList{u"row 33 y"_s});
}

// A feed page of items in the shape of the hourly feed.
static QString feed(const QStringList& keywords)
{
    QString page = u"<?xml version=\"1.0\"?><feed><content type=\"html\"><ol>"_s;
    for (const QString& keyword : keywords)
        page += u"<li><span class=\"x\"><a href=\"http://www.google.com/search?q=x\">"_s + keyword +
                u"</a></span></li>\n"_s;
    return page + u"</ol></content></feed>"_s;
}

void TestTrends::foldFeed_data()
{
    QTest::addColumn<TrendRows>("before");
    QTest::addColumn<QString>("page");
    QTest::addColumn<TrendRows>("after");
    QTest::addColumn<int>("items");

    const QString now = u"12/10/2026 2:15:00 PM"_s;
    QTest::newRow("new keyword") << TrendRows{} << feed({u"foo"_s}) << TrendRows{{u"foo"_s, now, u"1"_s}}
                                 << 1;
    QTest::newRow("known keyword counts up")
        << TrendRows{{u"foo"_s, u"3/5/2009"_s, u"1"_s}, {u"bar"_s, u"3/5/2009"_s, u"7"_s}} << feed({u"foo"_s})
        << TrendRows{{u"foo"_s, now, u"2"_s}, {u"bar"_s, u"3/5/2009"_s, u"7"_s}} << 1;
    QTest::newRow("listed twice counts two")
        << TrendRows{{u"foo"_s, u"3/5/2009"_s, u"4"_s}} << feed({u"foo"_s, u"foo"_s})
        << TrendRows{{u"foo"_s, now, u"6"_s}} << 2;
    QTest::newRow("letter case aside")
        << TrendRows{{u"New York"_s, u"3/5/2009"_s, u"4"_s}} << feed({u"new york"_s})
        << TrendRows{{u"New York"_s, now, u"5"_s}} << 1;
    QTest::newRow("empty link text") << TrendRows{} << feed({u""_s}) << TrendRows{{u""_s, now, u"1"_s}} << 1;
    QTest::newRow("taken unchanged") << TrendRows{} << feed({u" a &amp; b "_s})
                                     << TrendRows{{u" a &amp; b "_s, now, u"1"_s}} << 1;
    QTest::newRow("damaged count counts as 0")
        << TrendRows{{u"foo"_s, u""_s, u""_s}, {u"bar"_s, u"d"_s, u"x1"_s}} << feed({u"foo"_s, u"bar"_s})
        << TrendRows{{u"foo"_s, now, u"1"_s}, {u"bar"_s, now, u"1"_s}} << 2;
    QTest::newRow("no items") << TrendRows{{u"foo"_s, u"d"_s, u"1"_s}} << "<feed></feed>"
                              << TrendRows{{u"foo"_s, u"d"_s, u"1"_s}} << 0;
    // An upper-case item alone starts nothing; with a lower-case one after it, it is read first.
    QTest::newRow("upper-case item alone")
        << TrendRows{} << "<LI><a href=\"u\">up</a></LI>" << TrendRows{} << 0;
    QTest::newRow("upper-case item first")
        << TrendRows{} << "<LI><a href=\"u\">up</a></LI><li><a href=\"l\">low</a></li>"
        << TrendRows{{u"up"_s, now, u"1"_s}, {u"low"_s, now, u"1"_s}} << 2;
    // An item without a link reaches into the next item, whose keyword is then taken once.
    QTest::newRow("item without link") << TrendRows{} << "<li>plain</li><li><a href=\"l\">next</a></li>"
                                       << TrendRows{{u"next"_s, now, u"1"_s}} << 1;
}

void TestTrends::foldFeed()
{
    QFETCH(TrendRows, before);
    QFETCH(QString, page);
    QFETCH(TrendRows, after);
    QFETCH(int, items);
    TrendTableModel table;
    table.setRows(before);
    QSignalSpy resets(&table, &QAbstractItemModel::modelReset);
    QSignalSpy inserted(&table, &QAbstractItemModel::rowsInserted);
    QCOMPARE(FoldFeedIntoTable(page, u"12/10/2026 2:15:00 PM"_s, table), items);
    QCOMPARE(table.rows(), after);
    for (const TrendRecord& row : after)
        QVERIFY(table.knownKeywords().contains(row.keyword));
    // Taken over as cells changed and rows added in one step, never as a new table: the list keeps
    // its selection and its place.
    QCOMPARE(resets.size(), 0);
    QCOMPARE(inserted.size(), after.size() > before.size() ? 1 : 0);
    if (!inserted.isEmpty()) {
        QCOMPARE(inserted[0][1].toInt(), before.size());
        QCOMPARE(inserted[0][2].toInt(), after.size() - 1);
    }
}

// The fold as a run of plain CutBetween calls on a shrinking copy of the page, one item at a time.
static int foldByCuts(QString page, const QString& dateText, TrendTableModel& table)
{
    int items = 0;
    while (page.contains(u"<li>"_s)) {
        CutBetween(u"<li>", u"<a href=\"", 0, page);
        CutBetween(u"<a href=\"", u"\">", 0, page);
        const QString keyword = CutBetween(u"\">", u"</a>", 0, page);
        ++items;
        const qsizetype row = table.knownKeywords().find(keyword);
        if (row < 0)
            table.appendRow({keyword, dateText, u"1"_s});
        else
            table.setDateAndCount(row, dateText, QString::number(table.row(row).count.toLongLong() + 1));
    }
    return items;
}

void TestTrends::foldFeedReadsAsCutsDo()
{
    // Pages made of the markers in both letter cases, their pieces and plain text, in every order.
    const QStringList pieces = {
        u"<li>"_s, u"<LI>"_s, u"<Li>"_s, u"<a href=\""_s, u"<A HREF=\""_s, u"<a href="_s, u"\">"_s, u"\""_s,
        u">"_s,    u"</a>"_s, u"</A>"_s, u"<"_s,          u"x"_s,          u"foo"_s,      u"Foo"_s, u" "_s};
    const TrendRows before = {{u"foo"_s, u"3/5/2009"_s, u"4"_s}, {u"x"_s, u"3/5/2009"_s, u"1"_s}};
    QRandomGenerator random(9);
    for (int page = 0; page < 3000; ++page) {
        QString text;
        const int length = random.bounded(40);
        for (int i = 0; i < length; ++i)
            text += pieces[random.bounded(int(pieces.size()))];

        TrendTableModel folded;
        folded.setRows(before);
        TrendTableModel expected;
        expected.setRows(before);
        const int items = FoldFeedIntoTable(text, u"now"_s, folded);
        QCOMPARE(items, foldByCuts(text, u"now"_s, expected));
        QVERIFY2(folded.rows() == expected.rows(), qPrintable(text));
    }
}

void TestTrends::tallyCountsEachKeywordOnce_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("keywords");
    QTest::addColumn<QList<qint64>>("counts");

    QTest::newRow("none") << QStringList{} << QStringList{} << QList<qint64>{};
    QTest::newRow("in the order of the first item")
        << QStringList{u"b"_s, u"a"_s, u"b"_s, u"c"_s, u"b"_s} << QStringList{u"b"_s, u"a"_s, u"c"_s}
        << QList<qint64>{3, 1, 1};
    QTest::newRow("letter case aside, first spelling kept")
        << QStringList{u"New York"_s, u"new york"_s, u"NEW YORK"_s, u"Äpfel"_s, u"äPFEL"_s}
        << QStringList{u"New York"_s, u"Äpfel"_s} << QList<qint64>{3, 2};
    QTest::newRow("empty keywords") << QStringList{u""_s, u"x"_s, u""_s} << QStringList{u""_s, u"x"_s}
                                    << QList<qint64>{2, 1};
    QTest::newRow("what a cell cannot hold") << QStringList{u"a|b"_s, u"a b"_s, u"a\tb"_s, u"c\u2028"_s}
                                             << QStringList{u"a b"_s, u"c "_s} << QList<qint64>{3, 1};
}

void TestTrends::tallyCountsEachKeywordOnce()
{
    QFETCH(QStringList, items);
    QFETCH(QStringList, keywords);
    QFETCH(QList<qint64>, counts);
    FeedTally tally;
    for (const QString& item : items)
        tally.add(item);
    QCOMPARE(tally.itemCount(), items.size());
    QStringList tallied;
    QList<qint64> talliedCounts;
    for (qsizetype i = 0; i < tally.size(); ++i) {
        tallied << tally.keyword(i).toString();
        talliedCounts << tally.items(i);
    }
    QCOMPARE(tallied, keywords);
    QCOMPARE(talliedCounts, counts);
}

void TestTrends::readsEndWhenAskedToStop()
{
    std::stop_source stopped;
    stopped.request_stop();
    const QString page = feed({u"foo"_s, u"bar"_s});
    int items = 0;
    QVERIFY(ReadFeedItems(page, [&items](QStringView) { ++items; }));
    QCOMPARE(items, 2);
    items = 0;
    QVERIFY(!ReadFeedItems(
        page, [&items](QStringView) { ++items; }, stopped.get_token()));
    QCOMPARE(items, 0);

    FeedTally tally;
    tally.add(u"foo");
    const TrendRows rows = {{u"bar"_s, u"d"_s, u"1"_s}};
    const std::optional<TrendTableModel::FoldedRows> folded = FoldTallyIntoRows(tally, rows, u"now"_s);
    QVERIFY(folded);
    QCOMPARE(folded->table.rows, (TrendRows{{u"bar"_s, u"d"_s, u"1"_s}, {u"foo"_s, u"now"_s, u"1"_s}}));
    QVERIFY(!FoldTallyIntoRows(tally, rows, u"now"_s, stopped.get_token()));

    const QByteArray body = TrendingFeedBody({{u"foo"_s, u"2000+"_s}});
    QCOMPARE(ReadTrendingFeed(body).value_or(QList<TrendingItem>()).size(), 1);
    QVERIFY(!ReadTrendingFeed(body, stopped.get_token()));
}

void TestTrends::foldedKeywordSurvivesReload_data()
{
    QTest::addColumn<QString>("linkText");
    QTest::addColumn<QString>("keyword");

    QTest::newRow("bar") << "a|b"
                         << "a b";
    QTest::newRow("tab") << "a\tb"
                         << "a b";
    QTest::newRow("line break") << "a\r\nb"
                                << "a  b";
    QTest::newRow("all of them") << " x|y\tz\n"
                                 << " x y z ";
}

void TestTrends::foldedKeywordSurvivesReload()
{
    // What a cell cannot hold becomes a space as the keyword enters the table, so the row that is
    // shown is the row that comes back from the file.
    QFETCH(QString, linkText);
    QFETCH(QString, keyword);
    TrendTableModel table;
    FoldFeedIntoTable(feed({linkText, keyword}), u"3/5/2009 2:15:00 PM"_s, table);
    QCOMPARE(table.rows(), (TrendRows{{keyword, u"3/5/2009 2:15:00 PM"_s, u"2"_s}}));

    QTemporaryDir dir;
    const QString path = dir.filePath(u"dabatase.dat"_s);
    QCOMPARE(WriteTrendTable(path, table.rows()), QString());
    QCOMPARE(ReadTrendTable(path).rows, table.rows());
}

// The processor time this thread takes to fold `page` into an empty table: time the thread spends
// waiting for a core that other programs use does not count.
static qint64 foldNanoseconds(const QString& page)
{
    TrendTableModel table;
    const auto now = [] {
        timespec time{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
        return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
    };
    const qint64 start = now();
    FoldFeedIntoTable(page, u"now"_s, table);
    return now() - start;
}

void TestTrends::foldFeedOfBareItemsIsLinear()
{
    // A page of bare item starts without links folds in time proportional to its size, as a page of
    // real items does. Of the same size, it holds twenty times as many items, each a table update,
    // and takes about twelve times as long; a fold that searched the rest of the page again for
    // every item would take thousands of times as long. Each page is timed a few times in turn and
    // the best times compared, so that caches and a busy machine count alike for both.
    QStringList keywords;
    for (int i = 0; i < 12000; ++i)
        keywords << u"keyword %1"_s.arg(i % 3000);
    const QString items = feed(keywords);
    const QString bare = u"<li>"_s.repeated(items.size() / 4);
    qint64 itemsTime = std::numeric_limits<qint64>::max();
    qint64 bareTime = std::numeric_limits<qint64>::max();
    for (int run = 0; run < 5; ++run) {
        itemsTime = std::min(itemsTime, foldNanoseconds(items));
        bareTime = std::min(bareTime, foldNanoseconds(bare));
    }
    QVERIFY2(bareTime <= 40 * itemsTime,
             qPrintable(u"%1 characters: bare items %2 ms, real items %3 ms"_s.arg(bare.size())
                            .arg(bareTime / 1e6)
                            .arg(itemsTime / 1e6)));
}

void TestTrends::wholeHours_data()
{
    QTest::addColumn<QDateTime>("last");
    QTest::addColumn<qint64>("hours");
    const QDateTime now(QDate(2026, 12, 10), QTime(14, 15));
    QTest::newRow("59 minutes") << now.addSecs(-59 * 60) << qint64(0);
    QTest::newRow("61 minutes") << now.addSecs(-61 * 60) << qint64(1);
    QTest::newRow("clock set back two hours") << now.addSecs(2 * 3600) << qint64(2);
    QTest::newRow("never scraped") << QDateTime(QDate(1899, 12, 30), QTime(0, 0))
                                   << QDate(1899, 12, 30).daysTo(now.date()) * 24 + 14;
}

void TestTrends::wholeHours()
{
    QFETCH(QDateTime, last);
    QFETCH(qint64, hours);
    const QDateTime now(QDate(2026, 12, 10), QTime(14, 15));
    QCOMPARE(WholeHoursBetween(last, now), hours);
    QCOMPARE(WholeHoursBetween(now, last), WholeHoursBetween(last, now));
}

void TestTrends::exportFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"out.csv"_s);
    QCOMPARE(ExportTrendTable(path,
                              {{u"new york"_s, u"3/5/2009 2:15:00 PM"_s, u"4"_s}, {u"a,b"_s, u"d"_s, u"1"_s}})
                 .outcome,
             ExportOutcome::Written);
    QCOMPARE(readFile(path), QByteArray("new york|3/5/2009 2:15:00 PM|4|\r\na,b|d|1|\r\n"));

    // Replaced without a question; an empty table gives an empty file.
    QCOMPARE(ExportTrendTable(path, {}).outcome, ExportOutcome::Written);
    QVERIFY(QFile::exists(path));
    QCOMPARE(QFileInfo(path).size(), 0);

    // A folder that does not exist cannot take the file.
    const ExportResult failed =
        ExportTrendTable(dir.filePath(u"missing/out.csv"_s), {{u"a"_s, u"d"_s, u"1"_s}});
    QCOMPARE(failed.outcome, ExportOutcome::Failed);
    QVERIFY(!failed.error.isEmpty());
}

void TestTrends::exportFormats_data()
{
    QTest::addColumn<ExportFormat>("format");
    QTest::addColumn<TrendRows>("rows");
    QTest::addColumn<QByteArray>("bytes");

    const TrendRows rows{{u"new york"_s, u"3/5/2009 2:15:00 PM"_s, u"4"_s},
                         {u"a,b"_s, u"say \"hi\""_s, u"1,000"_s}};
    // Dates for other programs in ISO 8601 (the tests run with TZ=UTC); a text that is no date stays.
    const QByteArray csv = "Keyword,Date,Count\r\nnew york,2009-03-05T14:15:00Z,4\r\n"
                           "\"a,b\",\"say \"\"hi\"\"\",\"1,000\"\r\n";
    QTest::newRow("the page's lines")
        << ExportFormat::PageLines << rows
        << QByteArray("new york|3/5/2009 2:15:00 PM|4|\r\na,b|say \"hi\"|1,000|\r\n");
    QTest::newRow("csv") << ExportFormat::Csv << rows << csv;
    QTest::newRow("excel csv") << ExportFormat::ExcelCsv << rows << "\xef\xbb\xbf" + csv;
    QTest::newRow("json")
        << ExportFormat::Json << rows
        << QByteArray("[\r\n{\"keyword\":\"new york\",\"date\":\"2009-03-05T14:15:00Z\",\"count\":4},\r\n"
                      "{\"keyword\":\"a,b\",\"date\":\"say \\\"hi\\\"\",\"count\":\"1,000\"}\r\n]\r\n");
    QTest::newRow("empty table: the page's lines") << ExportFormat::PageLines << TrendRows() << QByteArray();
    QTest::newRow("empty table: csv")
        << ExportFormat::Csv << TrendRows() << QByteArray("Keyword,Date,Count\r\n");
    QTest::newRow("empty table: excel csv")
        << ExportFormat::ExcelCsv << TrendRows() << QByteArray("\xef\xbb\xbfKeyword,Date,Count\r\n");
    QTest::newRow("empty table: json") << ExportFormat::Json << TrendRows() << QByteArray("[]\r\n");
}

void TestTrends::exportFormats()
{
    QFETCH(ExportFormat, format);
    QFETCH(TrendRows, rows);
    QFETCH(QByteArray, bytes);
    const QLocale wasDefault;
    const auto restore = qScopeGuard([wasDefault] { QLocale::setDefault(wasDefault); });
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QTemporaryDir dir;
    const QString path = dir.filePath(u"out"_s);
    writeFile(path, "an older and longer export\r\n");
    QCOMPARE(ExportTrendTable(path, rows, format).outcome, ExportOutcome::Written);
    QCOMPARE(readFile(path), bytes);
}

void TestTrends::jsonExportReadsBack_data()
{
    QTest::addColumn<QString>("count");
    QTest::addColumn<QJsonValue>("read"); // the count as a JSON reader sees it

    // A plain whole number becomes a number; any other count stays the text it is.
    QTest::newRow("whole number") << u"4"_s << QJsonValue(4);
    QTest::newRow("zero") << u"0"_s << QJsonValue(0);
    QTest::newRow("fifteen digits") << u"123456789012345"_s << QJsonValue(123456789012345.0);
    QTest::newRow("sixteen digits stay text") << u"1234567890123456"_s << QJsonValue(u"1234567890123456"_s);
    QTest::newRow("leading zero stays text") << u"007"_s << QJsonValue(u"007"_s);
    QTest::newRow("empty") << QString() << QJsonValue(QString());
    QTest::newRow("grouped") << u"1,000"_s << QJsonValue(u"1,000"_s);
    QTest::newRow("signed") << u"-3"_s << QJsonValue(u"-3"_s);
    QTest::newRow("fraction") << u"1.5"_s << QJsonValue(u"1.5"_s);
}

void TestTrends::jsonExportReadsBack()
{
    QFETCH(QString, count);
    QFETCH(QJsonValue, read);
    const QString keyword = u"say \"hi\" \\ tab\there \u0001 café 😀"_s;
    const QString date = u"3/5/2009 2:15:00 PM"_s;
    QTemporaryDir dir;
    const QString path = dir.filePath(u"out.json"_s);
    QCOMPARE(ExportTrendTable(path, {{keyword, date, count}, {u"b"_s, u"d"_s, u"1"_s}}, ExportFormat::Json)
                 .outcome,
             ExportOutcome::Written);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(readFile(path), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonArray expected{QJsonObject{{u"keyword"_s, keyword}, {u"date"_s, date}, {u"count"_s, read}},
                              QJsonObject{{u"keyword"_s, u"b"_s}, {u"date"_s, u"d"_s}, {u"count"_s, 1}}};
    QCOMPARE(document.array(), expected);
}

void TestTrends::exportDatesAreIso_data()
{
    QTest::addColumn<ExportFormat>("format");
    QTest::addColumn<QLocale>("locale"); // the one that wrote the table, and exports it
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("date"); // the date column of the export

    const QDateTime afternoon(QDate(2009, 3, 5), QTime(14, 15));
    const QDateTime midnight(QDate(2026, 12, 11), QTime(0, 0));
    const QList<std::pair<const char*, QLocale>> locales{
        {"en_US", QLocale(QLocale::English, QLocale::UnitedStates)},
        {"de_DE", QLocale(QLocale::German, QLocale::Germany)},
        {"C", QLocale::c()},
        {"ja_JP", QLocale(QLocale::Japanese, QLocale::Japan)}};
    const QList<std::pair<const char*, ExportFormat>> formats{
        {"csv", ExportFormat::Csv}, {"excel csv", ExportFormat::ExcelCsv}, {"json", ExportFormat::Json}};
    for (const auto& [formatName, format] : formats) {
        for (const auto& [localeName, locale] : locales) {
            QTest::addRow("%s, %s", formatName, localeName)
                << format << locale << afternoon << u"2009-03-05T14:15:00Z"_s;
            QTest::addRow("%s, %s, midnight", formatName, localeName)
                << format << locale << midnight << u"2026-12-11T00:00:00Z"_s;
        }
    }
    // The page's own lines keep the table's text.
    for (const auto& [localeName, locale] : locales)
        QTest::addRow("page lines, %s", localeName)
            << ExportFormat::PageLines << locale << afternoon << DateTimeText(afternoon, locale);
}

void TestTrends::exportDatesAreIso()
{
    QFETCH(ExportFormat, format);
    QFETCH(QLocale, locale);
    QFETCH(QDateTime, when);
    QFETCH(QString, date);
    const QLocale wasDefault;
    const auto restore = qScopeGuard([wasDefault] { QLocale::setDefault(wasDefault); });
    QLocale::setDefault(locale);
    const QString stored = DateTimeText(when, locale);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"out"_s);
    QCOMPARE(ExportTrendTable(path, {{u"alpha"_s, stored, u"3"_s}}, format).outcome, ExportOutcome::Written);
    const QByteArray bytes = readFile(path);
    QString written;
    if (format == ExportFormat::Json) {
        const QJsonArray rows = QJsonDocument::fromJson(bytes).array();
        QCOMPARE(rows.size(), 1);
        written = rows[0].toObject().value(u"date"_s).toString();
    } else {
        const QList<QByteArray> lines = bytes.split('\n');
        const QList<QByteArray> fields = lines.value(format == ExportFormat::PageLines ? 0 : 1)
                                             .split(format == ExportFormat::PageLines ? '|' : ',');
        QCOMPARE(fields.value(0), "alpha");
        // A date with a comma (some locales write one) would be quoted: none of these has one.
        written = QString::fromUtf8(fields.value(1));
    }
    QCOMPARE(written, date);
}

void TestTrends::jsonExportCarriesTheHistoryColumnsShown()
{
    TrendTableModel table;
    table.setRows(keywordsOnly({u"a"_s, u"B"_s}));
    table.setKeywordSummaries(
        {{u"b"_s, {QDateTime(QDate(2026, 12, 1), QTime(10, 0), Qt::UTC), 5000, {u"GB"_s, u"US"_s}}}});
    QTemporaryDir dir;
    const QString path = dir.filePath(u"out.json"_s);
    const TrendHistoryFields history{table.historyCells(),
                                     {TrendTableModel::PeakTrafficColumn, TrendTableModel::CountriesColumn}};
    QCOMPARE(ExportTrendTable(path, table.rows(), ExportFormat::Json, history).outcome,
             ExportOutcome::Written);
    const QJsonArray rows = QJsonDocument::fromJson(readFile(path)).array();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].toObject().value(u"peakTraffic"_s), QJsonValue(QJsonValue::Null));
    QCOMPARE(rows[0].toObject().value(u"countries"_s), QJsonValue(QJsonArray()));
    QCOMPARE(rows[1].toObject().value(u"peakTraffic"_s), QJsonValue(5000));
    QCOMPARE(rows[1].toObject().value(u"countries"_s), QJsonValue(QJsonArray{u"GB"_s, u"US"_s}));
    QVERIFY(!rows[1].toObject().contains(u"firstSeen"_s));
    // Shown, the first sighting is written in ISO 8601 as the dates are.
    const TrendHistoryFields withFirstSeen{table.historyCells(), {TrendTableModel::FirstSeenColumn}};
    QCOMPARE(ExportTrendTable(path, table.rows(), ExportFormat::Json, withFirstSeen).outcome,
             ExportOutcome::Written);
    const QJsonArray withDates = QJsonDocument::fromJson(readFile(path)).array();
    QCOMPARE(withDates[0].toObject().value(u"firstSeen"_s), QJsonValue(QString()));
    QCOMPARE(withDates[1].toObject().value(u"firstSeen"_s), QJsonValue(u"2026-12-01T10:00:00Z"_s));
    // The page's own format keeps its three cells.
    QCOMPARE(ExportTrendTable(path, table.rows(), ExportFormat::PageLines, history).outcome,
             ExportOutcome::Written);
    QCOMPARE(readFile(path), QByteArray("a|3/5/2009 2:15:00 PM|1|\r\nB|3/5/2009 2:15:00 PM|1|\r\n"));
}

void TestTrends::exportKeepsWhatCannotBeReplaced()
{
    QTemporaryDir dir;
    // A name taken by a folder cannot be replaced; the folder and what it holds stay.
    const QString taken = dir.filePath(u"taken.csv"_s);
    QVERIFY(QDir().mkpath(taken + u"/inside"_s));
    QCOMPARE(ExportTrendTable(taken, {{u"a"_s, u"d"_s, u"1"_s}}).outcome, ExportOutcome::CannotReplace);
    QVERIFY(QFileInfo(taken + u"/inside"_s).isDir());
}

QTEST_GUILESS_MAIN(TestTrends)
#include "tst_trends.moc"
