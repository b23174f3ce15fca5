#include "suggest/AllSuggestions.h"
#include "suggest/AllSuggestionsModel.h"
#include "support/SortWait.h"
#include "support/TestFiles.h"
#include "util/RowFilterModel.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A row of the Suggest table: the phrase and its suggestions, each with the figure "1".
SuggestRecord row(const QString& phrase, const QStringList& suggestions)
{
    SuggestRecord record{phrase, {}};
    for (int k = 1; k <= suggestions.size(); ++k) {
        record.cells[size_t(SuggestionCell(k))] = suggestions[k - 1];
        record.cells[size_t(ResultsCell(k))] = u"1"_s;
    }
    return record;
}

SuggestRows rowsOf(const QList<SuggestRecord>& records)
{
    SuggestRows rows;
    for (const SuggestRecord& record : records)
        rows.append(record);
    return rows;
}

// Each row as "suggestion|phrase|level|position|service".
QStringList linesOf(const AllSuggestionRows& rows)
{
    QStringList lines;
    for (qsizetype r = 0; r < rows.size(); ++r) {
        QStringList cells;
        for (int c = 0; c < AllSuggestionRows::CellCount; ++c)
            cells << rows.cell(r, c).toString();
        lines << cells.join(u'|');
    }
    return lines;
}

} // namespace

class TestAllSuggestions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void collect_data();
    void collect();
    void exportFormats_data();
    void exportFormats();
    void modelSortsAndFinds_data();
    void modelSortsAndFinds();
};

void TestAllSuggestions::collect_data()
{
    QTest::addColumn<QList<SuggestRecord>>("table");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty table") << QList<SuggestRecord>{} << QStringList{};
    QTest::newRow("never harvested, nothing found")
        << QList<SuggestRecord>{row(u"red"_s, {}), row(u"blue"_s, {u"N/A"_s, u"N/A"_s})} << QStringList{};
    QTest::newRow("one phrase, by place")
        << QList<SuggestRecord>{row(u"red"_s, {u"red wine"_s, u"red dress"_s})}
        << QStringList{u"red wine|red|1|1|Bing"_s, u"red dress|red|1|2|Bing"_s};
    QTest::newRow("a gap keeps the places")
        << QList<SuggestRecord>{row(u"red"_s, {u"red wine"_s, u"N/A"_s, u""_s, u"red car"_s})}
        << QStringList{u"red wine|red|1|1|Bing"_s, u"red car|red|1|4|Bing"_s};
    QTest::newRow("once across phrases, letter case aside, first phrase kept")
        << QList<SuggestRecord>{row(u"red"_s, {u"wine"_s, u"dress"_s}), row(u"blue"_s, {u"Wine"_s, u"sky"_s})}
        << QStringList{u"wine|red|1|1|Bing"_s, u"dress|red|1|2|Bing"_s, u"sky|blue|1|2|Bing"_s};
    // "red wine" is a suggestion of "red": one level below it, wherever its row is.
    QTest::newRow("levels follow the digging")
        << QList<SuggestRecord>{row(u"red wine"_s, {u"red wine glasses"_s, u"red dress"_s}),
                                row(u"red"_s, {u"red wine"_s}),
                                row(u"red wine glasses"_s, {u"red wine glasses set"_s})}
        << QStringList{u"red wine|red|1|1|Bing"_s, u"red wine glasses|red wine|2|1|Bing"_s,
                       u"red dress|red wine|2|2|Bing"_s, u"red wine glasses set|red wine glasses|3|1|Bing"_s};
    // Met first at the shallower level, even where a deeper phrase comes first in the table.
    QTest::newRow("the shallowest phrase keeps a suggestion")
        << QList<SuggestRecord>{row(u"red wine"_s, {u"cheap wine"_s}),
                                row(u"red"_s, {u"red wine"_s, u"cheap wine"_s})}
        << QStringList{u"red wine|red|1|1|Bing"_s, u"cheap wine|red|1|2|Bing"_s};
    // Phrases that suggest each other: the first in the table starts.
    QTest::newRow("phrases suggesting each other")
        << QList<SuggestRecord>{row(u"a"_s, {u"b"_s}), row(u"b"_s, {u"a"_s, u"c"_s})}
        << QStringList{u"b|a|1|1|Bing"_s, u"a|b|2|1|Bing"_s, u"c|b|2|2|Bing"_s};
    QTest::newRow("a phrase suggesting itself stays a seed")
        << QList<SuggestRecord>{row(u"red"_s, {u"RED"_s, u"red wine"_s})}
        << QStringList{u"RED|red|1|1|Bing"_s, u"red wine|red|1|2|Bing"_s};
}

void TestAllSuggestions::collect()
{
    QFETCH(QList<SuggestRecord>, table);
    QFETCH(QStringList, lines);
    QCOMPARE(linesOf(CollectAllSuggestions(rowsOf(table), u"Bing"_s)), lines);
}

void TestAllSuggestions::exportFormats_data()
{
    QTest::addColumn<ExportFormat>("format");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray csv = "Suggestion,Phrase,Level,Position,Service\r\n"
                           "\"wine, red\",red,1,1,Google\r\n\"say \"\"hi\"\"\",red,1,2,Google\r\n";
    QTest::newRow("the page's choice is CSV") << ExportFormat::PageLines << csv;
    QTest::newRow("csv") << ExportFormat::Csv << csv;
    QTest::newRow("excel csv") << ExportFormat::ExcelCsv << "\xef\xbb\xbf" + csv;
    QTest::newRow("json") << ExportFormat::Json
                          << QByteArray("[\r\n{\"suggestion\":\"wine, red\",\"phrase\":\"red\",\"level\":1,"
                                        "\"position\":1,\"service\":\"Google\"},\r\n"
                                        "{\"suggestion\":\"say \\\"hi\\\"\",\"phrase\":\"red\",\"level\":1,"
                                        "\"position\":2,\"service\":\"Google\"}\r\n]\r\n");
}

void TestAllSuggestions::exportFormats()
{
    QFETCH(ExportFormat, format);
    QFETCH(QByteArray, bytes);
    const AllSuggestionRows all =
        CollectAllSuggestions(rowsOf({row(u"red"_s, {u"wine, red"_s, u"say \"hi\""_s})}), u"Google"_s);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"all.csv"_s);
    QCOMPARE(WriteAllSuggestions(path, all, format).outcome, ExportOutcome::Written);
    QCOMPARE(readFile(path), bytes);
    // To a device (the command line) the same bytes.
    QBuffer device;
    QVERIFY(device.open(QIODevice::WriteOnly));
    QCOMPARE(WriteAllSuggestions(device, all, format), QString());
    QCOMPARE(device.data(), bytes);
    if (format == ExportFormat::Json)
        QCOMPARE(QJsonDocument::fromJson(bytes).array()[1].toObject().value(u"level"_s), QJsonValue(1));
}

void TestAllSuggestions::modelSortsAndFinds_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<Qt::SortOrder>("order");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QStringList>("suggestions"); // the suggestion column as shown

    // Twelve levels deep: "s2" under "s1" and so on, so that level 10 follows level 9 as a number.
    QTest::newRow("as collected") << -1 << Qt::AscendingOrder << QString()
                                  << QStringList{u"s1"_s, u"x1"_s, u"s2"_s, u"s3"_s, u"s4"_s,  u"s5"_s,
                                                 u"s6"_s, u"s7"_s, u"s8"_s, u"s9"_s, u"s10"_s, u"s11"_s};
    QTest::newRow("level, deepest first")
        << int(AllSuggestionsModel::LevelColumn) << Qt::DescendingOrder << QString()
        << QStringList{u"s11"_s, u"s10"_s, u"s9"_s, u"s8"_s, u"s7"_s, u"s6"_s,
                       u"s5"_s,  u"s4"_s,  u"s3"_s, u"s2"_s, u"s1"_s, u"x1"_s};
    QTest::newRow("position, then collected order")
        << int(AllSuggestionsModel::PositionColumn) << Qt::DescendingOrder << QString()
        << QStringList{u"x1"_s, u"s1"_s, u"s2"_s, u"s3"_s, u"s4"_s,  u"s5"_s,
                       u"s6"_s, u"s7"_s, u"s8"_s, u"s9"_s, u"s10"_s, u"s11"_s};
    QTest::newRow("found by phrase") << -1 << Qt::AscendingOrder << u"S10"_s
                                     << QStringList{u"s10"_s, u"s11"_s};
    QTest::newRow("found by suggestion, sorted") << int(AllSuggestionsModel::SuggestionColumn)
                                                 << Qt::DescendingOrder << u"x"_s << QStringList{u"x1"_s};
}

void TestAllSuggestions::modelSortsAndFinds()
{
    QFETCH(int, column);
    QFETCH(Qt::SortOrder, order);
    QFETCH(QString, needle);
    QFETCH(QStringList, suggestions);
    QList<SuggestRecord> table{row(u"s0"_s, {u"s1"_s, u"x1"_s})};
    for (int level = 1; level <= 10; ++level)
        table << row(u"s%1"_s.arg(level), {u"s%1"_s.arg(level + 1)});
    AllSuggestionsModel model;
    model.setRows(CollectAllSuggestions(rowsOf(table), u"Google"_s));
    RowFilterModel shown(model);
    if (column >= 0) {
        model.sort(column, order);
        QVERIFY(SortDone(model));
    }
    shown.setNeedle(needle);
    QTRY_VERIFY(!shown.isSearching());
    QStringList texts;
    for (int r = 0; r < shown.rowCount(); ++r)
        texts << shown.index(r, AllSuggestionsModel::SuggestionColumn).data().toString();
    QCOMPARE(texts, suggestions);
    QCOMPARE(model.headerData(AllSuggestionsModel::LevelColumn, Qt::Horizontal).toString(), u"Level"_s);
}

QTEST_GUILESS_MAIN(TestAllSuggestions)
#include "tst_all_suggestions.moc"
