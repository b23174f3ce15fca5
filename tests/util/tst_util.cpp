#include "util/CutBetween.h"
#include "util/DateTimeText.h"
#include "util/DateTimeTextReader.h"
#include "util/DefaultBrowser.h"
#include "util/Launcher.h"
#include "util/ListSort.h"
#include "util/ProgramFolder.h"
#include "util/RowFile.h"
#include "util/TaggedValue.h"
#include "util/TextFile.h"
#include "util/UUtils.h"

#include "support/FailingFolder.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <ctime>

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
    void taggedValues();
    void dateTimeTextRoundTrip_data();
    void dateTimeTextRoundTrip();
    void dateTimeTextForms_data();
    void dateTimeTextForms();
    void everyLocaleReadsBackItsDateTimes();
    void earlierTimeTextsStillRead_data();
    void earlierTimeTextsStillRead();
    void readerReadsAsQLocale_data();
    void readerReadsAsQLocale();
    void readerReadsAsQLocaleAcrossClockChanges();
    void programOfDesktopExec_data();
    void programOfDesktopExec();
    void defaultBrowser();
    void programFolderFollowsOverride();
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
    QTest::newRow("in order") << ab << QStringList{"<%%A%%>", "<%%/A%%>", "<%%B%%>", "<%%/B%%>"} << 0
                              << QStringList{"x", "y"} << "<%%/B%%>";
    QTest::newRow("out of order") << ab << QStringList{"<%%B%%>", "<%%/B%%>", "<%%A%%>", "<%%/A%%>"} << 0
                                  << QStringList{"y", ""} << "<%%/B%%>";
    QTest::newRow("no end marker") << "<%%A%%>xyz" << QStringList{"<%%A%%>", "<%%/A%%>"} << 0
                                   << QStringList{""} << "xyz";
    QTest::newRow("no start marker") << "abc" << QStringList{"<%%A%%>", "<%%/A%%>"} << 0 << QStringList{""}
                                     << "abc";
    QTest::newRow("welcome1 is not welcome10")
        << "<%%Welcome10%%>ten<%%/Welcome10%%><%%Welcome1%%>one<%%/Welcome1%%>"
        << QStringList{"<%%welcome1%%>", "<%%/welcome1%%>"} << 0 << QStringList{"one"} << "<%%/Welcome1%%>";
    QTest::newRow("only a-z ignore case")
        << QStringLiteral("<É>x</É><é>y</é>") << QStringList{QStringLiteral("<é>"), QStringLiteral("</é>")}
        << 0 << QStringList{"y"} << QStringLiteral("</é>");
    QTest::newRow("value right at the end marker")
        << "<a></a>rest" << QStringList{"<a>", "</a>"} << 0 << QStringList{""} << "</a>rest";
    QTest::newRow("same quote as both markers")
        << "\"a\",\"b\"" << QStringList{"\"", "\"", "\"", "\"", "\"", "\""} << 0 << QStringList{"a", ",", "b"}
        << "\"";
    QTest::newRow("skip drops characters")
        << "[ab]cd]" << QStringList{"[", "]"} << 1 << QStringList{"b"} << "cd]";
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

    QTest::newRow("empty piece kept") << QChar(u'^') << "a^^b" << QStringList{"a", "", "b"};
    QTest::newRow("leading separator") << QChar(u'^') << "^a" << QStringList{"", "a"};
    QTest::newRow("trailing separator") << QChar(u'^') << "a^" << QStringList{"a"};
    QTest::newRow("banner without address") << QChar(u'^') << "banner.gif^" << QStringList{"banner.gif"};
    QTest::newRow("empty text") << QChar(u'^') << "" << QStringList{};
    QTest::newRow("news framing") << QChar(u'\u00AF') << QStringLiteral("1^T^D\u00AF2^U^E\u00AFOK")
                                  << QStringList{"1^T^D", "2^U^E", "OK"};
}

void TestUtil::splitByChar()
{
    QFETCH(QChar, separator);
    QFETCH(QString, text);
    QFETCH(QStringList, pieces);
    QStringList list{"left over"};
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

    QTest::newRow("mixed breaks") << "a\r\nb\rc\nd" << QStringList{"a", "b", "c", "d"};
    QTest::newRow("final break") << "a\r\n" << QStringList{"a"};
    QTest::newRow("empty line kept") << "a\n\nb" << QStringList{"a", "", "b"};
    QTest::newRow("lf cr is two breaks") << "a\n\rb" << QStringList{"a", "", "b"};
    QTest::newRow("empty") << "" << QStringList{};
}

void TestUtil::splitLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(SplitLines(text), lines);
    QCOMPARE(JoinLinesCrLf(lines), lines.isEmpty() ? QString() : lines.join("\r\n") + "\r\n");
}

void TestUtil::splitRowLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("fields");

    QTest::newRow("stored row") << QStringLiteral("new§york|3/5/2009§2:15:00§PM|4|")
                                << QStringList{QStringLiteral("new§york"),
                                               QStringLiteral("3/5/2009§2:15:00§PM"), "4", ""};
    QTest::newRow("empty field between") << "a||b" << QStringList{"a", "", "b"};
    QTest::newRow("final bar adds empty field") << "a|b|" << QStringList{"a", "b", ""};
    QTest::newRow("leading blanks skipped") << " \t a|b" << QStringList{"a", "b"};
    QTest::newRow("tab ends a field") << "a\tb|c|" << QStringList{"a", "b", "c", ""};
    QTest::newRow("space ends a field") << "new york|d|1|" << QStringList{"new", "york", "d", "1", ""};
    QTest::newRow("blanks around bar") << "a \t| b|" << QStringList{"a", "b", ""};
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
    QTest::newRow("every C0 control") << QString("a") + QChar(0) + QChar(0x1F) + QChar(0x0B) + "b"
                                      << "a   b";
    QTest::newRow("DEL and the C1 controls")
        << QString("a") + QChar(0x7F) + QChar(0x80) + QChar(0x85) + QChar(0x9F) << "a    ";
    QTest::newRow("line and paragraph separators")
        << QString("a") + QChar(0x2028) + "b" + QChar(0x2029) << "a b ";
    QTest::newRow("what a cell holds stays") << QStringLiteral("café ü \u00A0 § ¡ € 東京 \"q\" ~")
                                             << QStringLiteral("café ü \u00A0 § ¡ € 東京 \"q\" ~");
}

void TestUtil::cleanCellText()
{
    QFETCH(QString, text);
    QFETCH(QString, cell);
    QCOMPARE(CleanCellText(text), cell);
}

void TestUtil::taggedValues()
{
    QCOMPARE(TaggedValue("LastParsed", "3/5/2009"), "<%%LastParsed%%>3/5/2009<%%/LastParsed%%>");
    QString text = TaggedValue("LastParsed", "3/5/2009") + "\r\n<%%other%%>x<%%/other%%>";
    QCOMPARE(ReadTaggedValue("lastparsed", text), QStringLiteral("3/5/2009"));
    QCOMPARE(ReadTaggedValue("OTHER", text), QStringLiteral("x"));
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
                failures << QString("%1: \"%2\" reads %3, sorts as %4")
                                .arg(locale.bcp47Name(), text, back ? back->toString(Qt::ISODate) : "nothing")
                                .arg(sortNumber);
            }
        }
    }
    for (const QString& failure : failures)
        qWarning("%s", qPrintable(failure));
    QVERIFY2(failures.isEmpty(),
             qPrintable(QString("%1 texts do not read back (listed above)").arg(failures.size())));
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
            const std::optional<QDateTime> expected =
                ReadDateTimeWithLocale(DateTimeTextToRead(text, locale, commas), locale, forms, today);
            if (someFormsUnread && !expected)
                continue;
            const std::optional<QDateTime> read = reader.read(text);
            const std::optional<qint64> msecs = reader.msecsSinceZero(text);
            if (read != expected ||
                msecs != (expected ? std::optional(msecsSinceZero(*expected)) : std::nullopt)) {
                differences << QString("%1%2: \"%3\" reads %4, QLocale %5")
                                   .arg(locale.bcp47Name(),
                                        commas == DateTimeCommas::Removed ? " (sorting)" : "", text,
                                        read ? read->toString(Qt::ISODate) : "nothing",
                                        expected ? expected->toString(Qt::ISODate) : "nothing");
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
        texts << text.toLower() << text.toUpper() << text + ","
              << "  " + text + " " << QString(text).remove(',') << QString(text).replace(' ', "  ")
              << QString(text).replace(' ', ", ") << text.left(text.size() - 1);
    }
    return texts + QStringList{"",
                               "N/A",
                               "garbage",
                               "3/5/2009",
                               "05.03.2009 14:15:00",
                               "2009-03-05",
                               "13/45/2009",
                               "1/1/1",
                               "2/30/2009",
                               "3/5/2009 25:00:00 PM",
                               "0:00",
                               "12/30/1899",
                               QStringLiteral("２００９/３/５"),
                               "3/5/09 2:15 PM"};
}

} // namespace

void TestUtil::readerReadsAsQLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<bool>("variants");
    for (const char* name : {"C", "en_US", "en_GB", "de_DE", "fr_FR", "ja_JP", "ar_EG", "sq_AL", "be_BY",
                             "bg_BG", "as_IN", "ee_GH", "ko_KR", "zh_TW", "nds_DE", "th_TH", "ccp"})
        QTest::newRow(name) << (QByteArray(name) == "C" ? QLocale::c() : QLocale(name)) << true;
    // Every locale Qt knows, with the texts of its forms.
    for (const QLocale& locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory))
        QTest::newRow(qPrintable("every locale: " + locale.bcp47Name())) << locale << false;
}

void TestUtil::readerReadsAsQLocale()
{
    QFETCH(QLocale, locale);
    QFETCH(bool, variants);
    const QStringList differences = readerDifferences(locale, dateTimeTexts(locale, variants));
    QVERIFY2(differences.isEmpty(), qPrintable(differences.mid(0, 10).join("\n")));
}

void TestUtil::readerReadsAsQLocaleAcrossClockChanges()
{
    // Some local times of a day when the clock goes forward do not exist, and on the day it goes
    // back some exist twice; the reader reads them as QLocale does.
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "America/New_York");
    tzset();
    const QStringList differences = readerDifferences(
        QLocale(QLocale::English, QLocale::UnitedStates),
        {"3/8/2026 2:30:00 AM", "3/8/2026 1:59:59 AM", "3/8/2026 3:00:00 AM", "3/8/2026", "3/8/26 2:30:00 AM",
         "3/7/2026 2:30:00 AM", "11/1/2026 1:30:00 AM", "11/1/2026 2:30:00 AM"});
    qputenv("TZ", zone);
    tzset();
    QVERIFY2(differences.isEmpty(), qPrintable(differences.join("\n")));
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
    QTest::addColumn<bool>("full");
    QTest::addColumn<bool>("streamed");
    QTest::addColumn<QString>("reason");

    QTest::newRow("full disk, whole") << true << false << "No space left on device";
    QTest::newRow("full disk, streamed") << true << true << "No space left on device";
    QTest::newRow("read-only, whole") << false << false << "";
    QTest::newRow("read-only, streamed") << false << true << "";
}

void TestUtil::failedWriteKeepsTheOldFileAndSaysWhy()
{
    QFETCH(bool, full);
    QFETCH(bool, streamed);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.dat"));
    // A read-only folder keeps its files; a full one is a fresh disk, laid out and filled up.
    if (!full)
        writeFile(path, "old\r\n");
    FailingFolder folder(dir.path(), full ? FailingFolder::Kind::Full : FailingFolder::Kind::ReadOnly);
    if (!folder.ready())
        QSKIP(qPrintable(folder.error()));
    if (full) {
        writeFile(path, "old\r\n");
        folder.fillUp();
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
    QVERIFY(!error.isEmpty());
    QVERIFY2(!error.contains(QStringLiteral("Unknown error")), qPrintable(error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(ReadTextFile(path).text, QStringLiteral("old\r\n"));
}

QTEST_GUILESS_MAIN(TestUtil)
#include "tst_util.moc"
