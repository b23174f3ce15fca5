#include "util/CellRows.h"
#include "util/CutBetween.h"
#include "util/DateTimeText.h"
#include "util/DateTimeTextReader.h"
#include "util/DefaultBrowser.h"
#include "util/ExportFile.h"
#include "util/Launcher.h"
#include "util/ListSort.h"
#include "util/ProgramFolder.h"
#include "util/ProgramOptions.h"
#include "util/RowFile.h"
#include "util/RowFilter.h"
#include "util/TaggedValue.h"
#include "util/TextFile.h"
#include "util/UUtils.h"

#include "support/FailingFolder.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <ctime>
#include <memory>
#include <optional>

#include <unistd.h>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ExportOutcome)
Q_DECLARE_METATYPE(ExportFormat)

namespace {

class RecordingLauncher final : public Launcher {
public:
    bool startProgram(const QString& program, const QStringList& arguments) override
    {
        started.append({program, arguments});
        return true;
    }
    bool openUrl(const QUrl&) override { return true; }
    QList<QPair<QString, QStringList>> started;
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The whole file, or nothing when it cannot be read.
QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList viewsToStrings(const QList<QStringView>& views)
{
    QStringList strings;
    for (const QStringView view : views)
        strings << view.toString();
    return strings;
}

// The sort number of a date-time: milliseconds from midnight of 30 December 1899, wall-clock time.
qint64 msecsSinceZero(const QDateTime& when)
{
    return QDate(1899, 12, 30).daysTo(when.date()) * 86400000 + when.time().msecsSinceStartOfDay();
}

// A device that takes `room` bytes and then fails every write, as a full disk or a pipe whose
// reader went away does.
class FullDevice final : public QIODevice {
public:
    explicit FullDevice(qint64 room)
        : m_room(room)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    QByteArray taken;
    int failedWrites = 0;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (m_room == 0) {
            ++failedWrites;
            setErrorString(u"No space left on device"_s);
            return -1;
        }
        const qint64 taking = std::min(size, m_room);
        taken.append(data, qsizetype(taking));
        m_room -= taking;
        return taking;
    }

private:
    qint64 m_room;
};

} // namespace

class TestUtil : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cutBetween_data();
    void cutBetween();
    void splitByChar_data();
    void splitByChar();
    void decodeDollarHex_data();
    void decodeDollarHex();
    void decodeText_data();
    void decodeText();
    void splitLines_data();
    void splitLines();
    void splitRowLine_data();
    void splitRowLine();
    void rowLineStoresSpacesAsSection();
    void cleanCellText_data();
    void cleanCellText();
    void cellRowsKeepEveryCell();
    void cellRowsCopiesNeverWriteOverEachOther();
    void fileLinesReadInChunksAsWhole();
    void searchIgnoresCaseAndAccents_data();
    void searchIgnoresCaseAndAccents();
    void matchingRowsInOrder();
    void taggedValues();
    void dateTimeTextRoundTrip_data();
    void dateTimeTextRoundTrip();
    void dateTimeTextForms_data();
    void dateTimeTextForms();
    void everyLocaleReadsBackItsDateTimes();
    void datesReadWhicheverLocaleWroteTheFolder_data();
    void datesReadWhicheverLocaleWroteTheFolder();
    void earlierTimeTextsStillRead_data();
    void earlierTimeTextsStillRead();
    void readerReadsAsQLocale_data();
    void readerReadsAsQLocale();
    void readerReadsAsQLocaleAcrossClockChanges();
    void programOfDesktopExec_data();
    void programOfDesktopExec();
    void defaultBrowser();
    void programFolderFollowsOverride();
    void installFilesAreLookedForBesideTheExecutableFirst_data();
    void installFilesAreLookedForBesideTheExecutableFirst();
    void extensionOfTheChosenFormat_data();
    void extensionOfTheChosenFormat();
    void csvRecord_data();
    void csvRecord();
    void jsonStringReadsBack_data();
    void jsonStringReadsBack();
    void exportReplacesAnExistingFileByTrying_data();
    void exportReplacesAnExistingFileByTrying();
    void exportToADeviceStopsAtItsFirstFailedWrite_data();
    void exportToADeviceStopsAtItsFirstFailedWrite();
    void atomicWriteReportsFailure();
    void failedWriteKeepsTheOldFileAndSaysWhy_data();
    void failedWriteKeepsTheOldFileAndSaysWhy();
};

// Each row reads the markers in order (start and end alternate in `markers`) and lists the values
// read and the working text left at the end.
void TestUtil::cutBetween_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("markers");
    QTest::addColumn<int>("skip");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("rest");

    const QString ab = QStringLiteral("<%%A%%>x<%%/A%%><%%B%%>y<%%/B%%>");
    QTest::newRow("in order") << ab << QStringList{u"<%%A%%>"_s, u"<%%/A%%>"_s, u"<%%B%%>"_s, u"<%%/B%%>"_s}
                              << 0 << QStringList{u"x"_s, u"y"_s} << "<%%/B%%>";
    QTest::newRow("out of order") << ab
                                  << QStringList{u"<%%B%%>"_s, u"<%%/B%%>"_s, u"<%%A%%>"_s, u"<%%/A%%>"_s}
                                  << 0 << QStringList{u"y"_s, u""_s} << "<%%/B%%>";
    QTest::newRow("no end marker") << "<%%A%%>xyz" << QStringList{u"<%%A%%>"_s, u"<%%/A%%>"_s} << 0
                                   << QStringList{u""_s} << "xyz";
    QTest::newRow("no start marker") << "abc" << QStringList{u"<%%A%%>"_s, u"<%%/A%%>"_s} << 0
                                     << QStringList{u""_s} << "abc";
    QTest::newRow("welcome1 is not welcome10")
        << "<%%Welcome10%%>ten<%%/Welcome10%%><%%Welcome1%%>one<%%/Welcome1%%>"
        << QStringList{u"<%%welcome1%%>"_s, u"<%%/welcome1%%>"_s} << 0 << QStringList{u"one"_s}
        << "<%%/Welcome1%%>";
    QTest::newRow("only a-z ignore case")
        << QStringLiteral("<É>x</É><é>y</é>") << QStringList{QStringLiteral("<é>"), QStringLiteral("</é>")}
        << 0 << QStringList{u"y"_s} << QStringLiteral("</é>");
    QTest::newRow("value right at the end marker")
        << "<a></a>rest" << QStringList{u"<a>"_s, u"</a>"_s} << 0 << QStringList{u""_s} << "</a>rest";
    QTest::newRow("same quote as both markers")
        << "\"a\",\"b\"" << QStringList{u"\""_s, u"\""_s, u"\""_s, u"\""_s, u"\""_s, u"\""_s} << 0
        << QStringList{u"a"_s, u","_s, u"b"_s} << "\"";
    QTest::newRow("skip drops characters")
        << "[ab]cd]" << QStringList{u"["_s, u"]"_s} << 1 << QStringList{u"b"_s} << "cd]";
}

void TestUtil::cutBetween()
{
    QFETCH(QString, text);
    QFETCH(QStringList, markers);
    QFETCH(int, skip);
    QFETCH(QStringList, values);
    QFETCH(QString, rest);

    QStringList read;
    for (qsizetype i = 0; i + 1 < markers.size(); i += 2)
        read << CutBetween(markers[i], markers[i + 1], skip, text);
    QCOMPARE(read, values);
    QCOMPARE(text, rest);
}

void TestUtil::splitByChar_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("pieces");

    QTest::newRow("empty piece kept") << QChar(u'^') << "a^^b" << QStringList{u"a"_s, u""_s, u"b"_s};
    QTest::newRow("leading separator") << QChar(u'^') << "^a" << QStringList{u""_s, u"a"_s};
    QTest::newRow("trailing separator") << QChar(u'^') << "a^" << QStringList{u"a"_s};
    QTest::newRow("banner without address") << QChar(u'^') << "banner.gif^" << QStringList{u"banner.gif"_s};
    QTest::newRow("empty text") << QChar(u'^') << "" << QStringList{};
    QTest::newRow("news framing") << QChar(u'\u00AF') << QStringLiteral("1^T^D\u00AF2^U^E\u00AFOK")
                                  << QStringList{u"1^T^D"_s, u"2^U^E"_s, u"OK"_s};
}

void TestUtil::splitByChar()
{
    QFETCH(QChar, separator);
    QFETCH(QString, text);
    QFETCH(QStringList, pieces);
    QStringList list{u"left over"_s};
    SplitByChar(separator, text, list);
    QCOMPARE(list, pieces);
}

void TestUtil::decodeDollarHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("decoded");

    QTest::newRow("two escapes") << "$48$69!"
                                 << "Hi!";
    QTest::newRow("percent") << "100$25"
                             << "100%";
    QTest::newRow("bad escape empties all") << "5$ off"
                                            << "";
    QTest::newRow("one digit at the end") << "$4" << QString(QChar(4));
    QTest::newRow("dollar at the end") << "abc$"
                                       << "";
    QTest::newRow("escaped dollar") << "$24"
                                    << "$";
    QTest::newRow("lower-case digits") << "$3c$2fp$3e"
                                       << "</p>";
    QTest::newRow("utf-8 bytes") << "caf$C3$A9" << QStringLiteral("café");
    QTest::newRow("windows-1252 byte") << "caf$E9" << QStringLiteral("café");
    QTest::newRow("plain text") << "plain"
                                << "plain";
    // Letters outside ASCII beside escapes stay as they are; each run of escapes is read by itself.
    QTest::newRow("letter before an escape") << QStringLiteral("é$E9") << QStringLiteral("éé");
    QTest::newRow("letter after an escape") << QStringLiteral("caf$E9 ü") << QStringLiteral("café ü");
    QTest::newRow("euro sign beside its windows-1252 byte") << QStringLiteral("€$80") << QStringLiteral("€€");
    QTest::newRow("runs read apart") << "$E9x$C3$A9" << QStringLiteral("éxé");
}

void TestUtil::decodeDollarHex()
{
    QFETCH(QString, text);
    QFETCH(QString, decoded);
    QCOMPARE(DecodeDollarHex(text), decoded);
}

void TestUtil::decodeText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("utf-8") << QByteArray("new\xc2\xa7york") << QStringLiteral("new§york");
    QTest::newRow("windows-1252 section") << QByteArray("new\xa7york") << QStringLiteral("new§york");
    QTest::newRow("windows-1252 euro and quotes")
        << QByteArray("\x80 \x93q\x94 caf\xe9") << QStringLiteral("€ “q” café");
    QTest::newRow("ascii") << QByteArray("plain") << QStringLiteral("plain");
    // Each line by itself: a line with a byte that is not UTF-8 leaves the UTF-8 lines alone.
    QTest::newRow("mixed lines") << QByteArray("caf\xc3\xa9\r\ncaf\xe9\r\n\xe2\x82\xac 5\r\n")
                                 << QStringLiteral("café\r\ncafé\r\n€ 5\r\n");
    QTest::newRow("mixed lines, any line break") << QByteArray("\x80\ncaf\xc3\xa9\rcaf\xe9\n\ncr\xc3\xa8me")
                                                 << QStringLiteral("€\ncafé\rcafé\n\ncrème");
}

void TestUtil::decodeText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(DecodeText(bytes), text);
}

void TestUtil::splitLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("mixed breaks") << "a\r\nb\rc\nd" << QStringList{u"a"_s, u"b"_s, u"c"_s, u"d"_s};
    QTest::newRow("final break") << "a\r\n" << QStringList{u"a"_s};
    QTest::newRow("empty line kept") << "a\n\nb" << QStringList{u"a"_s, u""_s, u"b"_s};
    QTest::newRow("lf cr is two breaks") << "a\n\rb" << QStringList{u"a"_s, u""_s, u"b"_s};
    QTest::newRow("empty") << "" << QStringList{};
}

void TestUtil::splitLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(SplitLines(text), lines);
    QCOMPARE(JoinLinesCrLf(lines), lines.isEmpty() ? QString() : lines.join(u"\r\n"_s) + u"\r\n"_s);
}

void TestUtil::splitRowLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("fields");

    QTest::newRow("stored row") << QStringLiteral("new§york|3/5/2009§2:15:00§PM|4|")
                                << QStringList{QStringLiteral("new§york"),
                                               QStringLiteral("3/5/2009§2:15:00§PM"), u"4"_s, u""_s};
    QTest::newRow("empty field between") << "a||b" << QStringList{u"a"_s, u""_s, u"b"_s};
    QTest::newRow("final bar adds empty field") << "a|b|" << QStringList{u"a"_s, u"b"_s, u""_s};
    QTest::newRow("leading blanks skipped") << " \t a|b" << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("tab ends a field") << "a\tb|c|" << QStringList{u"a"_s, u"b"_s, u"c"_s, u""_s};
    QTest::newRow("space ends a field")
        << "new york|d|1|" << QStringList{u"new"_s, u"york"_s, u"d"_s, u"1"_s, u""_s};
    QTest::newRow("blanks around bar") << "a \t| b|" << QStringList{u"a"_s, u"b"_s, u""_s};
    QTest::newRow("empty line") << "" << QStringList{};
    QTest::newRow("blank line") << " \t " << QStringList{};
}

void TestUtil::splitRowLine()
{
    QFETCH(QString, line);
    QFETCH(QStringList, fields);
    QCOMPARE(viewsToStrings(SplitRowLine(line)), fields);
}

void TestUtil::rowLineStoresSpacesAsSection()
{
    QString line;
    AppendRowLine(line, {u"new york", u"3/5/2009 2:15:00 PM", u"4"});
    QCOMPARE(line, QStringLiteral("new§york|3/5/2009§2:15:00§PM|4|"));
    QCOMPARE(RestoreSpaces(QStringLiteral("new§york")), QStringLiteral("new york"));
}

void TestUtil::cleanCellText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cell");

    QTest::newRow("bar") << "a|b|"
                         << "a b ";
    QTest::newRow("tab and line breaks") << "a\tb\r\nc\nd\re"
                                         << "a b  c d e";
    QTest::newRow("every C0 control") << u"a"_s + QChar(0) + QChar(0x1F) + QChar(0x0B) + u"b"_s << "a   b";
    QTest::newRow("DEL and the C1 controls")
        << u"a"_s + QChar(0x7F) + QChar(0x80) + QChar(0x85) + QChar(0x9F) << "a    ";
    QTest::newRow("line and paragraph separators")
        << u"a"_s + QChar(0x2028) + u"b"_s + QChar(0x2029) << "a b ";
    QTest::newRow("what a cell holds stays") << QStringLiteral("café ü \u00A0 § ¡ € 東京 \"q\" ~")
                                             << QStringLiteral("café ü \u00A0 § ¡ € 東京 \"q\" ~");
}

void TestUtil::cleanCellText()
{
    QFETCH(QString, text);
    QFETCH(QString, cell);
    QCOMPARE(CleanCellText(text), cell);
}

void TestUtil::cellRowsKeepEveryCell()
{
    // Empty, missing, long (a two-unit length) and bigger-than-a-block cells, and a row rewritten
    // from its own cells.
    const QString longCell(0x8000 + 5, u'x');
    const QString hugeCell((1 << 20) + 3, u'y');
    CellRows rows(3);
    rows.append({u"a"_s, u""_s, u"1"_s});
    rows.append({u"b"_s});
    rows.append({longCell, u"zoë 東京"_s, hugeCell});
    rows.append({u"c"_s, u"d"_s, u"e"_s});
    rows.replace(0, {rows.cell(0, 0), u"new"_s, rows.cell(2, 1)});
    const QList<QStringList> expected = {{u"a"_s, u"new"_s, u"zoë 東京"_s},
                                         {u"b"_s, u""_s, u""_s},
                                         {longCell, u"zoë 東京"_s, hugeCell},
                                         {u"c"_s, u"d"_s, u"e"_s}};
    const auto cellsOf = [](const CellRows& rows) {
        QList<QStringList> cells;
        for (qsizetype row = 0; row < rows.size(); ++row)
            cells.append(
                {rows.cell(row, 0).toString(), rows.cell(row, 1).toString(), rows.cell(row, 2).toString()});
        return cells;
    };
    QCOMPARE(cellsOf(rows), expected);

    rows.removeSorted({0, 2});
    QCOMPARE(cellsOf(rows), (QList<QStringList>{expected[1], expected[3]}));
    CellRows reordered(3);
    reordered.shareBlocksOf(rows);
    reordered.appendRowOf(rows, 1);
    reordered.appendRowOf(rows, 0);
    QCOMPARE(cellsOf(reordered), (QList<QStringList>{expected[3], expected[1]}));

    // Rows built elsewhere join by their blocks; what is written after them lands after them.
    CellRows built(3);
    built.append({u"x"_s, u"y"_s});
    built.append({hugeCell});
    reordered.appendAll(built);
    reordered.append({u"after"_s});
    QCOMPARE(cellsOf(reordered), (QList<QStringList>{expected[3],
                                                     expected[1],
                                                     {u"x"_s, u"y"_s, u""_s},
                                                     {hugeCell, u""_s, u""_s},
                                                     {u"after"_s, u""_s, u""_s}}));
    QCOMPARE(built.size(), 2);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, reordered.appendAll(CellRows(2)));
}

void TestUtil::cellRowsCopiesNeverWriteOverEachOther()
{
    // A copy (a save's or a sort's) shares the text; whichever side writes next gets the free room
    // of the shared block, the other a new block.
    CellRows table(2);
    table.append({u"kept"_s, u"1"_s});
    const CellRows copy = table;
    CellRows otherCopy = table;
    otherCopy.append({u"copy's row"_s, u"2"_s});
    table.append({u"table's row"_s, u"3"_s});
    table.replace(0, {u"kept"_s, u"4"_s});

    QCOMPARE(copy.size(), 1);
    QCOMPARE(copy.cell(0, 1), u"1");
    QCOMPARE(otherCopy.cell(1, 0), u"copy's row");
    QCOMPARE(table.cell(1, 0), u"table's row");
    QCOMPARE(table.cell(0, 1), u"4");
    QVERIFY(!(copy == table));
    QVERIFY(copy == CellRows(copy));
}

void TestUtil::fileLinesReadInChunksAsWhole()
{
    // Lines of every ending, across the reader's chunks of a few megabytes, one longer than a chunk.
    QByteArray bytes;
    for (int i = 0; bytes.size() < (9 << 20); ++i) {
        bytes += QByteArray(i % 50, 'a' + char(i % 26));
        bytes += i % 3 == 0 ? "\r\n" : (i % 3 == 1 ? "\n" : "\r");
        if (i == 1000)
            bytes += QByteArray(5 << 20, 'L') + "\n";
    }
    bytes += "last line without an end";
    QList<QByteArray> whole;
    ForEachRowLine(QByteArrayView(bytes),
                   [&whole](QByteArrayView line) { whole.append(line.toByteArray()); });
    QCOMPARE(whole.last(), "last line without an end");

    QTemporaryDir dir;
    QFile file(dir.filePath(u"lines.dat"_s));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    QList<QByteArray> chunked;
    QVERIFY(ForEachRowLine(file, [&chunked](QByteArrayView line) { chunked.append(line.toByteArray()); }));
    QCOMPARE(chunked.size(), whole.size());
    QVERIFY(chunked == whole);
}

void TestUtil::searchIgnoresCaseAndAccents_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<bool>("found");
    QTest::newRow("case") << u"New York Times"_s << u"YORK t"_s << true;
    QTest::newRow("accent in the cell") << u"Café Crème"_s << u"cafe creme"_s << true;
    QTest::newRow("accent in the needle") << u"cafe"_s << u"CAFÉ"_s << true;
    QTest::newRow("sharp s") << u"STRASSE"_s << u"straße"_s << true;
    QTest::newRow("sharp s in the cell") << u"Straße"_s << u"STRASSE"_s << true;
    QTest::newRow("other scripts") << u"東京タワー"_s << u"タワー"_s << true;
    QTest::newRow("not there") << u"red wine"_s << u"white"_s << false;
    QTest::newRow("accented needle, plain cell") << u"zoe"_s << u"zoë"_s << true;
    QTest::newRow("no accent folding of letters") << u"øre"_s << u"ore"_s << false;
    QTest::newRow("empty needle") << u"anything"_s << u""_s << true;
}

void TestUtil::searchIgnoresCaseAndAccents()
{
    QFETCH(QString, cell);
    QFETCH(QString, needle);
    QFETCH(bool, found);
    QCOMPARE(CellMatches(cell, FoldForSearch(needle)), found);
}

void TestUtil::matchingRowsInOrder()
{
    // More rows than one thread searches, the matches spread over all of them.
    CellRows rows(2);
    QList<qsizetype> expected;
    for (qsizetype row = 0; row < 100000; ++row) {
        const bool match = row % 997 == 0;
        rows.append({match ? u"Zoë %1"_s.arg(row) : u"zoe"_s, u"x"_s});
        if (match)
            expected << row;
    }
    QCOMPARE(MatchingRows(rows, u"ZOË "_s), expected);
    QCOMPARE(MatchingRows(rows, u""_s).size(), rows.size());
    std::stop_source stopped;
    stopped.request_stop();
    QVERIFY(MatchingRows(rows, u"zoe"_s, stopped.get_token()).isEmpty());
}

void TestUtil::taggedValues()
{
    QCOMPARE(TaggedValue(u"LastParsed"_s, u"3/5/2009"_s), u"<%%LastParsed%%>3/5/2009<%%/LastParsed%%>"_s);
    QString text = TaggedValue(u"LastParsed"_s, u"3/5/2009"_s) + u"\r\n<%%other%%>x<%%/other%%>"_s;
    QCOMPARE(ReadTaggedValue(u"lastparsed"_s, text), QStringLiteral("3/5/2009"));
    QCOMPARE(ReadTaggedValue(u"OTHER"_s, text), QStringLiteral("x"));
}

void TestUtil::dateTimeTextRoundTrip_data()
{
    QTest::addColumn<QString>("locale");
    for (const char* name : {"C", "en_US", "de_DE", "en_GB", "fr_FR", "ja_JP", "ar_EG"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestUtil::dateTimeTextRoundTrip()
{
    QFETCH(QString, locale);
    const QLocale loc = locale == QLatin1String("C") ? QLocale::c() : QLocale(locale);
    // Summer and winter, afternoon and midnight: the zone field is left out, so none shifts.
    for (const QDateTime& when :
         {QDateTime(QDate(2009, 3, 5), QTime(14, 15, 0)), QDateTime(QDate(2026, 7, 1), QTime(9, 5, 7)),
          QDateTime(QDate(2026, 12, 10), QTime(0, 0, 0))}) {
        const QString text = DateTimeText(when, loc);
        const std::optional<QDateTime> back = ParseDateTimeText(text, loc);
        QVERIFY2(back.has_value(), qPrintable(text));
        QCOMPARE(*back, when);
    }
}

void TestUtil::dateTimeTextForms_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QString>("text");

    QTest::newRow("afternoon") << QDateTime(QDate(2009, 3, 5), QTime(14, 15, 0)) << "3/5/2009 2:15:00 PM";
    QTest::newRow("midnight has no time") << QDateTime(QDate(2009, 3, 5), QTime(0, 0, 0, 500)) << "3/5/2009";
    QTest::newRow("a second after midnight")
        << QDateTime(QDate(2009, 3, 5), QTime(0, 0, 1)) << "3/5/2009 12:00:01 AM";
}

void TestUtil::dateTimeTextForms()
{
    QFETCH(QDateTime, when);
    QFETCH(QString, text);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    QCOMPARE(DateTimeText(when, us), text);

    // Older files may hold two-digit years; they fall within fifty years of today.
    const QDate today(2026, 12, 10);
    QCOMPARE(ParseDateTimeText(u"3/5/09 2:15:00 PM", us, today),
             std::optional(QDateTime(QDate(2009, 3, 5), QTime(14, 15))));
    QCOMPARE(ParseDateTimeText(u"3/5/80", us, today)->date(), QDate(1980, 3, 5));
    QCOMPARE(ParseDateTimeText(u"3/5/70", us, today)->date(), QDate(2070, 3, 5));
    QCOMPARE(ParseDateTimeText(u"not a date", us, today), std::nullopt);
    QCOMPARE(ParseDateTimeText(u"", us, today), std::nullopt);
    QCOMPARE(ParseDateTimeText(u"05.03.2009 14:15:00", us, today), std::nullopt);
}

void TestUtil::everyLocaleReadsBackItsDateTimes()
{
    // Afternoon and morning, a second after midnight and midnight, summer and winter.
    const QList<QDateTime> moments = {
        QDateTime(QDate(2009, 3, 5), QTime(14, 15, 0)), QDateTime(QDate(2026, 7, 1), QTime(9, 5, 7)),
        QDateTime(QDate(2026, 12, 10), QTime(0, 0, 1)), QDateTime(QDate(2026, 12, 10), QTime(0, 0)),
        QDateTime(QDate(2027, 1, 15), QTime(23, 59, 59))};
    QStringList failures;
    for (const QLocale& locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
        for (const QDateTime& when : moments) {
            const QString text = DateTimeText(when, locale);
            const std::optional<QDateTime> back = ParseDateTimeText(text, locale);
            const qint64 sortNumber = SortDateTime(text, locale);
            if (back != when || sortNumber != msecsSinceZero(when)) {
                failures << u"%1: \"%2\" reads %3, sorts as %4"_s
                                .arg(locale.bcp47Name(), text,
                                     back ? back->toString(Qt::ISODate) : u"nothing"_s)
                                .arg(sortNumber);
            }
        }
    }
    for (const QString& failure : failures)
        qWarning("%s", qPrintable(failure));
    QVERIFY2(failures.isEmpty(),
             qPrintable(u"%1 texts do not read back (listed above)"_s.arg(failures.size())));
}

void TestUtil::datesReadWhicheverLocaleWroteTheFolder_data()
{
    // QLocale objects rather than the process's locale: the machine need not have these installed,
    // and the forms are Qt's own either way. C stands for C.UTF-8 (a service without regional
    // settings), whose QLocale is the C locale.
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("reader");
    const QStringList names{u"C"_s, u"de_DE"_s, u"en_US"_s};
    for (const QString& writer : names) {
        for (const QString& reader : names)
            QTest::addRow("written under %s, read under %s", qPrintable(writer), qPrintable(reader))
                << writer << reader;
    }
}

void TestUtil::datesReadWhicheverLocaleWroteTheFolder()
{
    QFETCH(QString, writer);
    QFETCH(QString, reader);
    const auto localeOf = [](const QString& name) { return name == u"C"_s ? QLocale::c() : QLocale(name); };
    const QLocale writing = localeOf(writer);
    const QLocale reading = localeOf(reader);
    const auto forget = qScopeGuard([] { SetFolderWriterLocales({}); });
    QTemporaryDir folder;
    const QString ini = folder.filePath(u"quillory.ini"_s);
    writeFile(ini, "; kept by hand\r\n[HotTrends]\r\nGeo=US ; the first\r\n");

    // Morning, afternoon (AM/PM where the locale has it) and midnight (the date alone).
    const QList<QDateTime> moments = {QDateTime(QDate(2026, 12, 11), QTime(7, 29, 4)),
                                      QDateTime(QDate(2009, 3, 5), QTime(14, 15, 0)),
                                      QDateTime(QDate(2026, 12, 10), QTime(0, 0))};
    QStringList texts;
    for (const QDateTime& when : moments)
        texts << DateTimeText(when, writing);
    if (writer == u"C"_s)
        QCOMPARE(texts[0], u"11 Dec 2026 07:29:04"_s); // the writer's own form, as before

    // Another locale's texts do not read as such: only the record of the writer makes them read.
    SetFolderWriterLocales({});
    if (writer == u"de_DE"_s && reader != writer)
        QCOMPARE(DateTimeTextReader(reading).read(texts[0]), std::nullopt);

    // Whoever writes the folder records its locale once, keeping the file's lines.
    QCOMPARE(UseDataFolderLocales(ini, writing), QString());
    QCOMPARE(UseDataFolderLocales(ini, writing), QString());
    const QByteArray recorded =
        "; kept by hand\r\n[HotTrends]\r\nGeo=US ; the first\r\n\r\n[Data]\r\nLocale=" + writer.toLatin1() +
        "\r\n";
    QCOMPARE(readFile(ini), recorded);

    // The reader opens the folder: its own locale is recorded beside, and every text reads back.
    QCOMPARE(UseDataFolderLocales(ini, reading), QString());
    QCOMPARE(ReadDataLocales(ini).first().name(), writing.name());
    if (reader != writer)
        QCOMPARE(ReadDataLocales(ini).last().name(), reading.name());
    const DateTimeTextReader read(reading);
    const DateTimeTextReader sortRead(reading, DateTimeCommas::Removed);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        QCOMPARE(ParseDateTimeText(texts[i], reading), moments[i]);
        QCOMPARE(read.read(texts[i]), moments[i]);
        QCOMPARE(sortRead.msecsSinceZero(texts[i]), msecsSinceZero(moments[i]));
        // What the reader writes itself still reads, beside the writer's texts.
        QCOMPARE(read.read(DateTimeText(moments[i], reading)), moments[i]);
    }
}

// Texts written before the time-zone field left with its separator keep reading.
void TestUtil::earlierTimeTextsStillRead_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");

    QTest::newRow("comma") << "be_BY"
                           << "5.03.2009 14:15:00,";
    QTest::newRow("brackets") << "eu_ES"
                              << "2009/3/5 14:15:00 ()";
    QTest::newRow("comma after AM/PM") << "sq_AL"
                                       << "5.3.2009 2:15:00 E PASDITES,";
}

void TestUtil::earlierTimeTextsStillRead()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    const QDateTime when(QDate(2009, 3, 5), QTime(14, 15));
    QCOMPARE(ParseDateTimeText(text, QLocale(locale)), when);
    QCOMPARE(SortDateTime(text, QLocale(locale)),
             SortDateTime(DateTimeText(when, QLocale(locale)), QLocale(locale)));
}

namespace {

// The texts of `locale` on which DateTimeTextReader differs from QLocale, read as written and as
// the date column sorts. Where QLocale cannot read a form safely (AM/PM before the time, see
// QLocaleMisreadsAmPm), only what it reads is compared.
QStringList readerDifferences(const QLocale& locale, const QStringList& texts)
{
    const QDate today(2026, 12, 10);
    QStringList differences;
    for (const DateTimeCommas commas : {DateTimeCommas::Kept, DateTimeCommas::Removed}) {
        const DateTimeTextReader reader(locale, commas, today);
        const QList<DateTimeForm> forms = DateTimeForms(locale, commas);
        const bool someFormsUnread = std::any_of(forms.begin(), forms.end(), [&](const DateTimeForm& form) {
            return QLocaleMisreadsAmPm(form.format, locale);
        });
        for (const QString& text : texts) {
            std::optional<QDateTime> expected =
                ReadDateTimeWithLocale(DateTimeTextToRead(text, locale, commas), locale, forms, today);
            if (someFormsUnread && !expected)
                continue;
            // What the locale does not read is read in the forms of the folder's other locales.
            for (const QLocale& other : OtherDateTimeLocales(locale)) {
                if (!expected)
                    expected = ReadDateTimeWithLocale(DateTimeTextToRead(text, other, commas), other,
                                                      DateTimeForms(other, commas), today);
            }
            const std::optional<QDateTime> read = reader.read(text);
            const std::optional<qint64> msecs = reader.msecsSinceZero(text);
            if (read != expected ||
                msecs != (expected ? std::optional(msecsSinceZero(*expected)) : std::nullopt)) {
                differences << u"%1%2: \"%3\" reads %4, QLocale %5"_s.arg(
                    locale.bcp47Name(), commas == DateTimeCommas::Removed ? u" (sorting)"_s : u""_s, text,
                    read ? read->toString(Qt::ISODate) : u"nothing"_s,
                    expected ? expected->toString(Qt::ISODate) : u"nothing"_s);
            }
        }
    }
    return differences;
}

// The texts of a locale's date-time forms at moments around noon and midnight, and, with `variants`,
// the same texts in other letter case, with blanks and commas added or removed, and texts that no
// form reads.
QStringList dateTimeTexts(const QLocale& locale, bool variants)
{
    QList<QDateTime> moments = {
        QDateTime(QDate(2009, 3, 5), QTime(14, 15, 7)), QDateTime(QDate(2026, 12, 10), QTime(0, 0, 1)),
        QDateTime(QDate(2026, 12, 10), QTime(0, 0)), QDateTime(QDate(1999, 12, 31), QTime(11, 59, 59))};
    if (variants) {
        moments +=
            {QDateTime(QDate(2000, 2, 29), QTime(12, 0)), QDateTime(QDate(2010, 10, 10), QTime(12, 30, 45)),
             QDateTime(QDate(2027, 1, 15), QTime(23, 59, 59)), QDateTime(QDate(1975, 7, 1), QTime(9, 5, 7))};
    }
    QStringList texts;
    for (const QDateTime& when : moments) {
        texts << DateTimeText(when, locale);
        for (const DateTimeForm& form : DateTimeForms(locale, DateTimeCommas::Kept))
            texts << locale.toString(when, form.format);
    }
    if (!variants)
        return texts;
    for (const QString& text : QStringList(texts)) {
        texts << text.toLower() << text.toUpper() << text + u","_s << u"  "_s + text + u" "_s
              << QString(text).remove(u',') << QString(text).replace(u' ', u"  "_s)
              << QString(text).replace(u' ', u", "_s) << text.left(text.size() - 1);
    }
    return texts + QStringList{u""_s,
                               u"N/A"_s,
                               u"garbage"_s,
                               u"3/5/2009"_s,
                               u"05.03.2009 14:15:00"_s,
                               u"2009-03-05"_s,
                               u"13/45/2009"_s,
                               u"1/1/1"_s,
                               u"2/30/2009"_s,
                               u"3/5/2009 25:00:00 PM"_s,
                               u"0:00"_s,
                               u"12/30/1899"_s,
                               QStringLiteral("２００９/３/５"),
                               u"3/5/09 2:15 PM"_s};
}

} // namespace

void TestUtil::readerReadsAsQLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<bool>("variants");
    for (const char* name : {"C", "en_US", "en_GB", "de_DE", "fr_FR", "ja_JP", "ar_EG", "sq_AL", "be_BY",
                             "bg_BG", "as_IN", "ee_GH", "ko_KR", "zh_TW", "nds_DE", "th_TH", "ccp"})
        QTest::newRow(name) << (QByteArray(name) == "C" ? QLocale::c() : QLocale(QString::fromUtf8(name)))
                            << true;
    // Every locale Qt knows, with the texts of its forms.
    for (const QLocale& locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory))
        QTest::newRow(qPrintable(u"every locale: "_s + locale.bcp47Name())) << locale << false;
}

void TestUtil::readerReadsAsQLocale()
{
    QFETCH(QLocale, locale);
    QFETCH(bool, variants);
    const QStringList differences = readerDifferences(locale, dateTimeTexts(locale, variants));
    QVERIFY2(differences.isEmpty(), qPrintable(differences.mid(0, 10).join(u"\n"_s)));
}

void TestUtil::readerReadsAsQLocaleAcrossClockChanges()
{
    // Some local times of a day when the clock goes forward do not exist, and on the day it goes
    // back some exist twice; the reader reads them as QLocale does.
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "America/New_York");
    tzset();
    const QStringList differences =
        readerDifferences(QLocale(QLocale::English, QLocale::UnitedStates),
                          {u"3/8/2026 2:30:00 AM"_s, u"3/8/2026 1:59:59 AM"_s, u"3/8/2026 3:00:00 AM"_s,
                           u"3/8/2026"_s, u"3/8/26 2:30:00 AM"_s, u"3/7/2026 2:30:00 AM"_s,
                           u"11/1/2026 1:30:00 AM"_s, u"11/1/2026 2:30:00 AM"_s});
    qputenv("TZ", zone);
    tzset();
    QVERIFY2(differences.isEmpty(), qPrintable(differences.join(u"\n"_s)));
}

void TestUtil::programOfDesktopExec_data()
{
    QTest::addColumn<QString>("exec");
    QTest::addColumn<QString>("program");

    QTest::newRow("plain") << "firefox %u"
                           << "firefox";
    QTest::newRow("quoted path") << "\"/opt/My Browser/browser\" --new-window %U"
                                 << "/opt/My Browser/browser";
    QTest::newRow("escaped quote") << "\"/opt/a\\\"b\" %u"
                                   << "/opt/a\"b";
    QTest::newRow("leading spaces") << "   chromium %U"
                                    << "chromium";
    QTest::newRow("empty") << ""
                           << "";
}

void TestUtil::programOfDesktopExec()
{
    QFETCH(QString, exec);
    QFETCH(QString, program);
    QCOMPARE(ProgramOfDesktopExec(exec), program);
}

void TestUtil::defaultBrowser()
{
    QTemporaryDir root;
    const QString config = root.filePath(QStringLiteral("config"));
    const QString data = root.filePath(QStringLiteral("data"));
    qputenv("XDG_CONFIG_HOME", config.toUtf8());
    qputenv("XDG_CONFIG_DIRS", root.filePath(QStringLiteral("etc")).toUtf8());
    qputenv("XDG_DATA_HOME", data.toUtf8());
    qputenv("XDG_DATA_DIRS", root.filePath(QStringLiteral("share")).toUtf8());

    RecordingLauncher launcher;
    QVERIFY(!OpenInDefaultBrowser(QStringLiteral("http://example.com/"), launcher));
    QVERIFY(launcher.started.isEmpty());

    // An executable of our own stands in for the browser.
    const QString browser = root.filePath(QStringLiteral("bin/my browser"));
    writeFile(browser, "#!/bin/sh\n");
    QFile::setPermissions(browser, QFile::ReadOwner | QFile::ExeOwner);
    writeFile(data + QStringLiteral("/applications/mine.desktop"),
              "[Desktop Entry]\nName=Mine\nExec=\"" + browser.toUtf8() + "\" %u\n");

    // Known only from the desktop database's cache.
    writeFile(root.filePath(QStringLiteral("share/applications/mimeinfo.cache")),
              "[MIME Cache]\nx-scheme-handler/http=mine.desktop;\n");
    QCOMPARE(RegisteredHttpBrowser(), browser);

    // A default in mimeapps.list comes first; an entry that is missing is passed over.
    writeFile(config + QStringLiteral("/mimeapps.list"),
              "[Added Associations]\nx-scheme-handler/http=other.desktop;\n"
              "[Default Applications]\nx-scheme-handler/https=x.desktop\n"
              "x-scheme-handler/http=gone.desktop;mine.desktop;\n");
    QVERIFY(OpenInDefaultBrowser(QStringLiteral("http://example.com/a b?c&d"), launcher));
    QCOMPARE(launcher.started.size(), 1);
    QCOMPARE(launcher.started[0].first, browser);
    QCOMPARE(launcher.started[0].second, QStringList{QStringLiteral("http://example.com/a b?c&d")});

    // A hidden entry does not count.
    writeFile(data + QStringLiteral("/applications/mine.desktop"),
              "[Desktop Entry]\nHidden=true\nExec=\"" + browser.toUtf8() + "\" %u\n");
    QCOMPARE(RegisteredHttpBrowser(), QString());
}

void TestUtil::programFolderFollowsOverride()
{
    QTemporaryDir dir;
    qputenv("QUILLORY_HOME", dir.path().toUtf8());
    QCOMPARE(ProgramFolder(), QDir(dir.path()).absolutePath());
    QCOMPARE(ProgramFile(QStringLiteral("config.dat")),
             QDir(dir.path()).filePath(QStringLiteral("config.dat")));
    qunsetenv("QUILLORY_HOME");

    // Without the override: beside a writable executable, unless the program is installed there.
    QTemporaryDir prefix;
    const QString bin = prefix.filePath(u"bin"_s);
    QVERIFY(QDir().mkpath(bin));
    SetExecutableFolderForTests(bin);
    const auto restore = qScopeGuard([] { SetExecutableFolderForTests(QString()); });
    QCOMPARE(ProgramFolder(), QDir(bin).absolutePath());
    QVERIFY(QDir().mkpath(prefix.filePath(u"share/metainfo"_s)));
    QFile metadata(prefix.filePath(u"share/metainfo/app.quillory.Quillory.metainfo.xml"_s));
    QVERIFY(metadata.open(QIODevice::WriteOnly));
    metadata.close();
    QCOMPARE(ProgramFolder(), QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

void TestUtil::atomicWriteReportsFailure()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.dat"));
    QCOMPARE(WriteTextFileAtomic(path, u"one\r\n"), QString());
    QCOMPARE(ReadTextFile(path).text, QStringLiteral("one\r\n"));

    // A folder that is a file cannot hold the new file; the error is reported, not swallowed.
    const QString blocked = dir.filePath(QStringLiteral("table.dat/inner.dat"));
    QVERIFY(!WriteTextFileAtomic(blocked, u"two\r\n").isEmpty());
    QCOMPARE(ReadTextFile(path).text, QStringLiteral("one\r\n"));
}

void TestUtil::failedWriteKeepsTheOldFileAndSaysWhy_data()
{
    QTest::addColumn<QString>("folder"); // full, read-only, or a folder in the file's place
    QTest::addColumn<bool>("streamed");
    QTest::addColumn<QString>("reason");

    // Without root the read-only folder is one by its permissions: the system then says so.
    const QString readOnly = ::geteuid() == 0 ? u"Read-only file system"_s : u"Permission denied"_s;
    for (const bool streamed : {false, true}) {
        const char* how = streamed ? "streamed" : "whole";
        QTest::addRow("full disk, %s", how) << u"full"_s << streamed << u"No space left on device"_s;
        QTest::addRow("read-only, %s", how) << u"read-only"_s << streamed << readOnly;
        QTest::addRow("a folder in its place, %s", how) << u"folder"_s << streamed << u"Is a directory"_s;
    }
}

void TestUtil::failedWriteKeepsTheOldFileAndSaysWhy()
{
    QFETCH(QString, folder);
    QFETCH(bool, streamed);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.dat"));
    const bool full = folder == u"full"_s;
    // A read-only folder keeps its files; a full one is a fresh disk, laid out and filled up.
    std::unique_ptr<FailingFolder> failing;
    if (folder == u"folder"_s) {
        QVERIFY(QDir(dir.path()).mkpath(u"table.dat/inner"_s));
    } else {
        if (!full)
            writeFile(path, "old\r\n");
        failing = std::make_unique<FailingFolder>(dir.path(), full ? FailingFolder::Kind::Full
                                                                   : FailingFolder::Kind::ReadOnly);
        if (!failing->ready())
            QSKIP(qPrintable(failing->error()));
        if (full) {
            writeFile(path, "old\r\n");
            failing->fillUp();
        }
    }

    // A small text, which a buffered write would only have failed to write at the commit.
    const QString text = QStringLiteral("new\r\n");
    QString error;
    if (streamed) {
        AtomicTextFileWriter writer(path);
        writer.text() = text;
        error = writer.commit();
    } else {
        error = WriteTextFileAtomic(path, text);
    }
    // The system's reason, never Qt's own words for a file it will not replace.
    QCOMPARE(error, reason);
    if (folder == u"folder"_s)
        QVERIFY(QFileInfo(path).isDir());
    else
        QCOMPARE(ReadTextFile(path).text, QStringLiteral("old\r\n"));
}

void TestUtil::installFilesAreLookedForBesideTheExecutableFirst_data()
{
    QTest::addColumn<bool>("home");     // QUILLORY_HOME names the program folder
    QTest::addColumn<bool>("beside");   // the file lies beside the (read-only) executable
    QTest::addColumn<bool>("inFolder"); // the file lies in the program folder
    QTest::addColumn<QString>("found"); // "beside", "folder" or nothing

    QTest::newRow("beside the executable") << false << true << false << "beside";
    QTest::newRow("in the data folder") << false << false << true << "folder";
    QTest::newRow("in both: beside the executable first") << false << true << true << "beside";
    QTest::newRow("nowhere") << false << false << false << "";
    QTest::newRow("QUILLORY_HOME: there") << true << true << true << "folder";
    QTest::newRow("QUILLORY_HOME: nowhere else") << true << true << false << "";
}

void TestUtil::installFilesAreLookedForBesideTheExecutableFirst()
{
    QFETCH(bool, home);
    QFETCH(bool, beside);
    QFETCH(bool, inFolder);
    QFETCH(QString, found);
    QTemporaryDir root;
    const QString executableFolder = root.filePath(QStringLiteral("install"));
    QVERIFY(QDir().mkpath(executableFolder));
    SetExecutableFolderForTests(executableFolder);
    const auto restore = qScopeGuard([] {
        SetExecutableFolderForTests(QString());
        qunsetenv("QUILLORY_HOME");
        qunsetenv("XDG_DATA_HOME");
    });
    if (home)
        qputenv("QUILLORY_HOME", root.filePath(QStringLiteral("home")).toUtf8());
    qputenv("XDG_DATA_HOME", root.filePath(QStringLiteral("xdg")).toUtf8());
    const QString name = QStringLiteral("mainskin.dat");
    const QString besidePath = QDir(executableFolder).filePath(name);
    if (beside)
        writeFile(besidePath, "beside");
    FailingFolder readOnly(executableFolder, FailingFolder::Kind::ReadOnly);
    if (!readOnly.ready())
        QSKIP(qPrintable(readOnly.error()));

    const QString programFolder = home ? QDir(root.filePath(QStringLiteral("home"))).absolutePath()
                                       : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCOMPARE(ProgramFolder(), programFolder);
    if (inFolder)
        writeFile(ProgramFile(name), "folder");
    const QString path = FindInstallFile(name);
    QCOMPARE(readFile(path), found.toUtf8());
    if (!found.isEmpty())
        QCOMPARE(path, found == QStringLiteral("beside") ? besidePath : ProgramFile(name));
}

void TestUtil::extensionOfTheChosenFormat_data()
{
    QTest::addColumn<ExportFormat>("format");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");

    QTest::newRow("csv added") << ExportFormat::PageLines << "/tmp/data"
                               << "/tmp/data.csv";
    QTest::newRow("other extension kept, csv added") << ExportFormat::PageLines << "/tmp/data.txt"
                                                     << "/tmp/data.txt.csv";
    QTest::newRow("upper-case csv kept") << ExportFormat::Csv << "/tmp/DATA.CSV"
                                         << "/tmp/DATA.CSV";
    QTest::newRow("excel csv added") << ExportFormat::ExcelCsv << "/tmp/data"
                                     << "/tmp/data.csv";
    QTest::newRow("json added") << ExportFormat::Json << "/tmp/data"
                                << "/tmp/data.json";
    QTest::newRow("upper-case json kept") << ExportFormat::Json << "/tmp/data.JSON"
                                          << "/tmp/data.JSON";
    QTest::newRow("csv name, json chosen") << ExportFormat::Json << "/tmp/data.csv"
                                           << "/tmp/data.csv.json";
}

void TestUtil::extensionOfTheChosenFormat()
{
    QFETCH(ExportFormat, format);
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    const QList<ExportChoice>& choices = ExportChoices();
    const auto choice = std::find_if(choices.begin(), choices.end(),
                                     [format](const ExportChoice& c) { return c.format == format; });
    QVERIFY(choice != choices.end());
    QCOMPARE(WithExtension(chosen, choice->extension), written);
    // The page's own format comes first: a plain "Save" takes it.
    QCOMPARE(choices.first().format, ExportFormat::PageLines);
    QCOMPARE(choices.first().filter, u"Comma delimitted(*.csv)|*.csv"_s);
}

void TestUtil::csvRecord_data()
{
    QTest::addColumn<QStringList>("fields"); // three, as both exports write
    QTest::addColumn<QString>("record");

    QTest::newRow("plain fields as they are")
        << QStringList{u"new york"_s, u" padded "_s, u"café"_s} << "new york, padded ,café\r\n";
    QTest::newRow("comma quoted") << QStringList{u"a,b"_s, u"x"_s, u"45,100,000"_s}
                                  << "\"a,b\",x,\"45,100,000\"\r\n";
    QTest::newRow("quotes doubled") << QStringList{u"say \"hi\""_s, u"\""_s, u"x"_s}
                                    << "\"say \"\"hi\"\"\",\"\"\"\",x\r\n";
    QTest::newRow("line breaks quoted")
        << QStringList{u"a\r\nb"_s, u"c\nd"_s, u"e\rf"_s} << "\"a\r\nb\",\"c\nd\",\"e\rf\"\r\n";
    QTest::newRow("empty fields") << QStringList{u""_s, u"x"_s, u""_s} << ",x,\r\n";
    QTest::newRow("other separators left alone")
        << QStringList{u"a|b;c"_s, u"d\te"_s, u"f'g"_s} << "a|b;c,d\te,f'g\r\n";
}

void TestUtil::csvRecord()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, record);
    QString text = u"before\r\n"_s;
    AppendCsvRecord(text, {fields[0], fields[1], fields[2]});
    QCOMPARE(text, u"before\r\n"_s + record);
}

void TestUtil::jsonStringReadsBack_data()
{
    QTest::addColumn<QString>("value");

    QTest::newRow("plain") << u"new york"_s;
    QTest::newRow("empty") << QString();
    QTest::newRow("quotes and backslashes") << u"say \"hi\" C:\\dir\\"_s;
    QTest::newRow("line breaks and tabs") << u"a\r\nb\tc\n"_s;
    QTest::newRow("other control characters") << QString(u"\x01\x08\x0c\x1f"_s + QChar(0));
    QTest::newRow("beyond ASCII") << u"café – 日本 😀"_s;
    QTest::newRow("slash and html") << u"</script> & <b>"_s;
}

void TestUtil::jsonStringReadsBack()
{
    QFETCH(QString, value);
    QString text = u"["_s;
    AppendJsonString(text, value);
    text += u"]"_s;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8(), &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(document.array(), QJsonArray{value});
}

void TestUtil::exportReplacesAnExistingFileByTrying_data()
{
    QTest::addColumn<QString>("folder"); // "writable", "read-only" or "full"
    QTest::addColumn<bool>("existing");  // a file of that name is there before
    QTest::addColumn<ExportOutcome>("outcome");

    QTest::newRow("replaced without a question") << "writable" << true << ExportOutcome::Written;
    QTest::newRow("read-only folder: not replaced") << "read-only" << true << ExportOutcome::CannotReplace;
    QTest::newRow("read-only folder, new file") << "read-only" << false << ExportOutcome::Failed;
    // A full disk is no reason to close another program: the write failed, and says why.
    QTest::newRow("full disk: the write failed") << "full" << true << ExportOutcome::Failed;
}

void TestUtil::exportReplacesAnExistingFileByTrying()
{
    QFETCH(QString, folder);
    QFETCH(bool, existing);
    QFETCH(ExportOutcome, outcome);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.csv"));
    const QByteArray old("old|1|\r\n");
    if (existing && folder != QStringLiteral("full"))
        writeFile(path, old);
    std::optional<FailingFolder> failing;
    if (folder != QStringLiteral("writable")) {
        failing.emplace(dir.path(), folder == QStringLiteral("full") ? FailingFolder::Kind::Full
                                                                     : FailingFolder::Kind::ReadOnly);
        if (!failing->ready())
            QSKIP(qPrintable(failing->error()));
    }
    if (folder == QStringLiteral("full")) {
        writeFile(path, old);
        failing->fillUp();
    }

    const ExportResult result =
        WriteExportFile(path, [](TextDeviceWriter& writer) { writer.text() = QStringLiteral("new|2|\r\n"); });
    QCOMPARE(result.outcome, outcome);
    QCOMPARE(result.error.isEmpty(), outcome == ExportOutcome::Written);
    if (outcome == ExportOutcome::Written)
        QCOMPARE(readFile(path), QByteArray("new|2|\r\n"));
    else
        QCOMPARE(readFile(path), existing ? old : QByteArray());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("report")),
             existing || outcome == ExportOutcome::Written ? QStringList{QStringLiteral("report.csv")}
                                                           : QStringList{});
}

void TestUtil::exportToADeviceStopsAtItsFirstFailedWrite_data()
{
    QTest::addColumn<qint64>("room"); // what the device takes, when the export does not fit
    QTest::addColumn<bool>("whole");  // whether the export fits
    QTest::newRow("room for all") << qint64(-1) << true;
    QTest::newRow("full at once") << qint64(0) << false;
    QTest::newRow("full after some") << qint64(300000) << false;
}

void TestUtil::exportToADeviceStopsAtItsFirstFailedWrite()
{
    QFETCH(qint64, room);
    QFETCH(bool, whole);
    const qsizetype count = 100000;
    const QString object = u"{\"keyword\":\"caf\u00e9 au lait\"}"_s;
    const QByteArray expected = [&] {
        QByteArray bytes = "[";
        for (qsizetype index = 0; index < count; ++index)
            bytes += (index == 0 ? "\r\n" : ",\r\n") + object.toUtf8();
        return bytes + "\r\n]\r\n";
    }();
    FullDevice device(whole ? expected.size() : room);
    qsizetype made = 0;
    const QString error = WriteExport(device, [&](TextDeviceWriter& writer) {
        WriteJsonArray(writer, count, [&](QString& text, qsizetype) {
            ++made;
            text += object;
        });
    });
    if (whole) {
        QCOMPARE(error, QString());
        QCOMPARE(device.taken, expected);
        QCOMPARE(device.failedWrites, 0);
        return;
    }
    // The device's reason; nothing more is tried, and the rest of the export is not even made.
    QCOMPARE(error, u"No space left on device"_s);
    QCOMPARE(device.failedWrites, 1);
    QCOMPARE(device.taken, expected.first(room));
    QVERIFY(made < count);
}

QTEST_GUILESS_MAIN(TestUtil)
#include "tst_util.moc"
