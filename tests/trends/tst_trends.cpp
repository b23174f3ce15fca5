#include "trends/KeywordIndex.h"
#include "trends/TrendFiles.h"
#include "trends/TrendTableModel.h"
#include "util/TextFile.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

Q_DECLARE_METATYPE(TrendRows)

namespace {

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TrendRows keywordsOnly(const QStringList& keywords)
{
    TrendRows rows;
    for (const QString& keyword : keywords)
        rows.append({keyword, "3/5/2009 2:15:00 PM", "1"});
    return rows;
}

QStringList keywordsOf(const TrendRows& rows)
{
    QStringList keywords;
    for (const TrendRecord& row : rows)
        keywords << row.keyword;
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
    void fileFormat();
    void emptyTableIsEmptyFile();
    void lastParsedFile_data();
    void lastParsedFile();
    void keywordIndex();
    void removeRows_data();
    void removeRows();
};

void TestTrends::parseTable_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<TrendRows>("rows");

    QTest::newRow("stored rows") << QByteArray("new§york|3/5/2009§2:15:00§PM|4|\r\nfoo|3/6/2009|1|\r\n")
                                 << TrendRows{{"new york", "3/5/2009 2:15:00 PM", "4"}, {"foo", "3/6/2009", "1"}};
    QTest::newRow("line breaks of any kind") << QByteArray("a|d|1|\rb|d|2|\nc|d|3|")
                                             << TrendRows{{"a", "d", "1"}, {"b", "d", "2"}, {"c", "d", "3"}};
    QTest::newRow("empty and blank lines skipped") << QByteArray("\r\na|d|1|\r\n \t \r\n\r\nb|d|2|\r\n")
                                                   << TrendRows{{"a", "d", "1"}, {"b", "d", "2"}};
    QTest::newRow("short lines get empty cells") << QByteArray("a|\r\nb|d\r\nc\r\n")
                                                 << TrendRows{{"a", "", ""}, {"b", "d", ""}, {"c", "", ""}};
    QTest::newRow("extra fields ignored") << QByteArray("a|d|1|x|y|\r\n") << TrendRows{{"a", "d", "1"}};
    QTest::newRow("duplicate keywords stay two rows") << QByteArray("a|d|1|\r\na|e|2|\r\n")
                                                      << TrendRows{{"a", "d", "1"}, {"a", "e", "2"}};
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

    QTest::newRow("spaces") << TrendRows{{"new york", "3/5/2009 2:15:00 PM", "4"}}
                            << TrendRows{{"new york", "3/5/2009 2:15:00 PM", "4"}};
    QTest::newRow("non-ascii") << TrendRows{{"zoë straße 東京", "d", "12"}} << TrendRows{{"zoë straße 東京", "d", "12"}};
    QTest::newRow("section sign becomes a space") << TrendRows{{"a§b", "d", "1"}} << TrendRows{{"a b", "d", "1"}};
    QTest::newRow("bar splits the keyword") << TrendRows{{"a|b", "d", "1"}} << TrendRows{{"a", "b", "d"}};
    QTest::newRow("tab splits the keyword") << TrendRows{{"a\tb", "d", "1"}} << TrendRows{{"a", "b", "d"}};
    QTest::newRow("empty keyword") << TrendRows{{"", "d", "1"}} << TrendRows{{"", "d", "1"}};
}

void TestTrends::roundTrip()
{
    QFETCH(TrendRows, saved);
    QFETCH(TrendRows, loaded);
    QTemporaryDir dir;
    const QString path = dir.filePath("dabatase.dat");
    QCOMPARE(WriteTrendTable(path, saved), QString());
    const TrendTableRead read = ReadTrendTable(path);
    QCOMPARE(read.error, QString());
    QCOMPARE(read.rows, loaded);
}

void TestTrends::legacyWindowsFile()
{
    // Written by the older Windows program: Windows-1252, "§" as the single byte 0xA7.
    QTemporaryDir dir;
    const QString path = dir.filePath("dabatase.dat");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("new\xa7york|3/5/2009\xa7" "2:15:00\xa7PM|4|\r\ncaf\xe9\xa7" "cr\xe8me|3/5/2009|1|\r\n");
    file.close();

    const TrendRows rows = ReadTrendTable(path).rows;
    QCOMPARE(rows, (TrendRows{{"new york", "3/5/2009 2:15:00 PM", "4"}, {QStringLiteral("café crème"), "3/5/2009", "1"}}));

    // Saved again, the file is UTF-8 and reads back the same.
    QCOMPARE(WriteTrendTable(path, rows), QString());
    QVERIFY(readBytes(path).contains("caf\xc3\xa9\xc2\xa7"));
    QCOMPARE(ReadTrendTable(path).rows, rows);
}

void TestTrends::fileFormat()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("dabatase.dat");
    QCOMPARE(WriteTrendTable(path, {{"new york", "3/5/2009 2:15:00 PM", "4"}, {"foo", "3/6/2009", "1"}}), QString());
    QCOMPARE(readBytes(path), QByteArray("new\xc2\xa7york|3/5/2009\xc2\xa7" "2:15:00\xc2\xa7PM|4|\r\nfoo|3/6/2009|1|\r\n"));
}

void TestTrends::emptyTableIsEmptyFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("dabatase.dat");
    QCOMPARE(WriteTrendTable(path, {}), QString());
    QVERIFY(QFile::exists(path));
    QCOMPARE(QFileInfo(path).size(), 0);
    QVERIFY(ReadTrendTable(dir.filePath("missing.dat")).rows.isEmpty());
    QCOMPARE(ReadTrendTable(dir.filePath("missing.dat")).error, QString());
}

void TestTrends::lastParsedFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("text");

    QTest::newRow("as written") << QByteArray("<%%LastParsed%%>3/5/2009 2:15:00 PM<%%/LastParsed%%>\r\n")
                                << "3/5/2009 2:15:00 PM";
    QTest::newRow("lower-case markers") << QByteArray("<%%lastparsed%%>3/5/2009<%%/lastparsed%%>\r\n") << "3/5/2009";
    QTest::newRow("no markers") << QByteArray("3/5/2009\r\n") << "";
    QTest::newRow("no end marker") << QByteArray("<%%LastParsed%%>3/5/2009\r\n") << "";
}

void TestTrends::lastParsedFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath("config.dat");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    QCOMPARE(ReadLastParsedText(path), text);

    QCOMPARE(WriteLastParsed(path, "3/5/2009 2:15:00 PM"), QString());
    QCOMPARE(readBytes(path), QByteArray("<%%LastParsed%%>3/5/2009 2:15:00 PM<%%/LastParsed%%>\r\n"));
}

void TestTrends::keywordIndex()
{
    TrendTableModel model;
    model.setRows(keywordsOnly({"Apple", "pear", "apple", QStringLiteral("ÄPFEL"), ""}));
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
        model.appendRow({QStringLiteral("Keyword %1").arg(i), "d", "1"});
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

QTEST_GUILESS_MAIN(TestTrends)
#include "tst_trends.moc"
