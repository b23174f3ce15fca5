#include "suggest/PhraseDigging.h"
#include "suggest/PhraseExpansion.h"
#include "suggest/PreviewModel.h"
#include "suggest/SuggestAnswer.h"
#include "suggest/SuggestCsv.h"
#include "suggest/SuggestFiles.h"
#include "suggest/SuggestImport.h"
#include "suggest/SuggestTableModel.h"
#include "support/SortWait.h"
#include "support/TestFiles.h"
#include "trends/TrendTableModel.h"
#include "util/DateTimeText.h"
#include "util/DateTimeTextReader.h"
#include "util/ListSort.h"
#include "util/TextCollation.h"

#include <QCollator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPersistentModelIndex>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SuggestRows)
Q_DECLARE_METATYPE(ExportFormat)

namespace {

// Cells from a list of up to 20 texts; the rest stay empty.
SuggestCells cellsOf(const QStringList& texts)
{
    SuggestCells cells;
    for (qsizetype i = 0; i < texts.size() && i < SuggestCellCount; ++i)
        cells[size_t(i)] = texts[i];
    return cells;
}

QStringList textsOf(const SuggestCells& cells)
{
    return QStringList(cells.begin(), cells.end());
}

QStringList repeated(const QString& text, int count)
{
    return QStringList(count, text);
}

// Each row as one text, "phrase=cell,cell,...", so that a comparison shows the rows that differ.
QStringList rowTexts(const SuggestRows& rows)
{
    QStringList texts;
    for (const SuggestRecord& row : rows)
        texts << row.phrase + u"="_s + textsOf(row.cells).join(u","_s);
    return texts;
}

SuggestRecord harvested(const QString& phrase, const QList<std::pair<QString, QString>>& pairs)
{
    SuggestRecord record{phrase, {}};
    ApplySuggestions(record.cells, {});
    for (int k = 1; k <= pairs.size(); ++k) {
        record.cells[SuggestionCell(k)] = pairs[k - 1].first;
        record.cells[ResultsCell(k)] = pairs[k - 1].second;
    }
    return record;
}

QStringList phrasesOf(const SuggestTableModel& model)
{
    QStringList phrases;
    for (const SuggestRecord& record : model.records())
        phrases << record.phrase;
    return phrases;
}

QStringList columnOf(const RowListModel& model, int column)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.cellText(row, column).toString();
    return texts;
}

QString answerPage(const QStringList& entries)
{
    return u"window.google.ac.h([\"q\",[[\"q\",\"0 results\",\"0\"],"_s + entries.join(u","_s) + u"]])"_s;
}

// Hot Trends rows of every kind the columns meet, with many ties: keywords in several cases and
// scripts, long ones, empty ones; date-times as the program writes them, repeated, with commas,
// in other regional settings or unreadable; counts with digit groups, "N/A", out of range.
TrendRows mixedTrendRows(int count, quint32 seed)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QStringList words{u"apple"_s,
                            u"Apple"_s,
                            u"APPLE"_s,
                            u"äpple"_s,
                            u"Äpfel"_s,
                            u"zebra"_s,
                            u"Zoë"_s,
                            u"zoe"_s,
                            u"co-op"_s,
                            u"coop"_s,
                            u"co op"_s,
                            u"café"_s,
                            u"cafe"_s,
                            u"CAFÉ"_s,
                            u"straße"_s,
                            u"strasse"_s,
                            u"東京"_s,
                            u"タワー"_s,
                            u"#tag"_s,
                            u"10"_s,
                            u"9"_s,
                            u""_s,
                            u"émile"_s,
                            u"Ångström"_s,
                            u"a very long phrase that runs well past the first sixteen bytes of its key"_s};
    const QStringList oddDates{
        u""_s, u"n/a"_s, u"05.03.2009 14:15:00"_s, u"3/5/2009"_s, u"3/5/2009, 2:15:00 PM"_s, u"garbage"_s};
    const QStringList oddCounts{u""_s,           u"N/A"_s, u"-5"_s,   u"3,000,000,000"_s,
                                u"2147483647"_s, u"1.5"_s, u"1,000"_s};
    QRandomGenerator random(seed);
    const auto pick = [&random](const QStringList& list) { return list[random.bounded(int(list.size()))]; };
    QStringList dates; // a few thousand scrapes, each with its own time
    for (int scrape = 0; scrape < 3000; ++scrape)
        dates << DateTimeText(QDateTime(QDate(2020, 1, 1), QTime(0, 0)).addSecs(qint64(scrape) * 3607), us);
    TrendRows rows;
    for (int i = 0; i < count; ++i) {
        QString keyword = pick(words);
        if (random.bounded(3) != 0)
            keyword += u' ' + pick(words);
        if (random.bounded(4) != 0)
            keyword += u' ' + QString::number(random.bounded(50));
        const QString date = random.bounded(10) == 0 ? pick(oddDates) : pick(dates);
        const QString number =
            random.bounded(8) == 0 ? pick(oddCounts) : us.toString(random.bounded(2000000));
        rows.append({keyword, date, number});
    }
    return rows;
}

// The rows as a plain stable sort puts them, comparing two cells at a time by the rules of the
// column: the order any faster sort has to give.
TrendRows plainStableSort(const TrendRows& rows, int column, bool ascending)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const TextCollation collation(us);
    const DateTimeTextReader dates(us, DateTimeCommas::Removed);
    const auto compare = [&](const TrendRecord& a, const TrendRecord& b) {
        switch (column) {
        case TrendTableModel::KeywordColumn:
            return collation.compare(a.keyword, b.keyword);
        case TrendTableModel::DateColumn: {
            const qint64 x = dates.msecsSinceZero(a.date).value_or(0);
            const qint64 y = dates.msecsSinceZero(b.date).value_or(0);
            return x < y ? -1 : (y < x ? 1 : 0);
        }
        default:
            return CompareNumbers(a.count, b.count);
        }
    };
    QList<TrendRecord> records(rows.begin(), rows.end());
    std::stable_sort(records.begin(), records.end(), [&](const TrendRecord& a, const TrendRecord& b) {
        const int result = compare(a, b);
        return ascending ? result < 0 : result > 0;
    });
    TrendRows sorted;
    for (const TrendRecord& record : records)
        sorted.append(record);
    return sorted;
}

// The rows in the order SortedRowOrder gives at once, on this thread.
TrendRows sortedAtOnce(const TrendRows& rows, int column, bool ascending)
{
    TrendTableModel table;
    table.setRows(rows);
    const QList<qsizetype> order = SortedRowOrder(
        rows.size(), [&table, column](qsizetype row) { return table.cellText(row, column); },
        table.columnSortKind(column), ascending, QLocale(QLocale::English, QLocale::UnitedStates));
    TrendRows sorted;
    for (const qsizetype row : order)
        sorted.append(rows.at(row));
    return sorted;
}

// Each row as one text, so that a comparison names the first row that differs.
QStringList rowTexts(const TrendRows& rows)
{
    QStringList texts;
    for (const TrendRecord& row : rows)
        texts << row.keyword + u'|' + row.date + u'|' + row.count;
    return texts;
}

// The records of a CSV export as Python's csv module reads them (the header first), or nothing
// with a reason in `error`.
QList<QStringList> csvReadByPython(const QString& python, const QString& path, const char* encoding,
                                   QString& error)
{
    const QString script = uR"(import csv, json, sys
with open(sys.argv[1], newline='', encoding=sys.argv[2]) as f:
    print(json.dumps(list(csv.reader(f, strict=True))))
)"_s;
    const ProcessRun run = runProcess(python, {u"-c"_s, script, path, QString::fromLatin1(encoding)},
                                      QFileInfo(path).absolutePath());
    if (run.status != 0) {
        error = QString::fromUtf8(run.err);
        return {};
    }
    QList<QStringList> records;
    for (const QJsonValue record : QJsonDocument::fromJson(run.out).array()) {
        QStringList fields;
        for (const QJsonValue field : record.toArray())
            fields << field.toString();
        records << fields;
    }
    return records;
}

// The pairs of a JSON export as the CSV exports list them, the header first.
QList<QStringList> jsonPairs(const QByteArray& bytes, QString& error)
{
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parse);
    if (parse.error != QJsonParseError::NoError || !document.isArray()) {
        error = parse.errorString();
        return {};
    }
    QList<QStringList> records{{u"Keyword Phrase"_s, u"Suggestion"_s, u"Results"_s}};
    for (const QJsonValue row : document.array()) {
        for (const QJsonValue pair : row[u"suggestions"_s].toArray())
            records << QStringList{row[u"phrase"_s].toString(), pair[u"suggestion"_s].toString(),
                                   pair[u"results"_s].toString()};
    }
    return records;
}

} // namespace

class TestSuggest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void answer_data();
    void answer();
    void queryUrl_data();
    void queryUrl();
    void applySuggestions_data();
    void applySuggestions();

    void import_data();
    void import();
    void expandPhrase_data();
    void expandPhrase();
    void excludedWords_data();
    void excludedWords();
    void importAppendsToModel();
    void sentPhrases_data();
    void sentPhrases();
    void enteredCellsSurviveReload();

    void parseFile_data();
    void parseFile();
    void roundTrip_data();
    void roundTrip();
    void fileFormat();
    void legacyWindowsFile();
    void mixedEncodingFile();
    void emptyAndMissingFile();

    void csv_data();
    void csv();
    void csvFileReplaced();
    void exportFormats_data();
    void exportFormats();
    void exportReadsBack_data();
    void exportReadsBack();

    void modelColumns();
    void rowsTrackedById();
    void removeManyRows();

    void compareValues_data();
    void compareValues();
    void compareTexts_data();
    void compareTexts();
    void textSortAgreesWithQCollator_data();
    void textSortAgreesWithQCollator();
    void sortedOrder_data();
    void sortedOrder();
    void bigDateColumnSortsInOrder();
    void sortState_data();
    void sortState();
    void sortTrendTable();
    void sortSuggestAndPreview();
    void sortMatchesPlainStableSort_data();
    void sortMatchesPlainStableSort();
    void sortLeavesTheEventLoopFree_data();
    void sortLeavesTheEventLoopFree();
    void newerSortSupersedes_data();
    void newerSortSupersedes();
    void changeDuringSortIsKept_data();
    void changeDuringSortIsKept();
};

void TestSuggest::initTestCase()
{
    // Date-times and collation follow the user's locale; these tests are written for US English.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

void TestSuggest::answer_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("pairText");
    QTest::addColumn<QStringList>("pairs"); // suggestion and results, pair by pair

    QTest::newRow("worked example")
        << "f([\"red\",[[\"red\",\"0 results\",\"0\"],[\"red wine\",\"45,100,000 results\",\"1\"],"
           "[\"red dress\",\"8,040,000 results\",\"2\"]]])"
        << "red wine(45,100,000 results); red dress(8,040,000 results)"
        << QStringList{u"red wine"_s, u"45,100,000"_s, u"red dress"_s, u"8,040,000"_s};
    QTest::newRow("no body start") << "f([\"red\",[\"red wine\",\"1 results\",\"1\"]]])"
                                   << "" << QStringList{};
    QTest::newRow("no body end") << "f([\"red\",[[\"red\",\"0\",\"0\"],[\"red wine\",\"1 results\",\"1\"]"
                                 << "" << QStringList{};
    QTest::newRow("no entries") << "f([\"red\",[[\"red\",\"0 results\",\"0\"]]])"
                                << "" << QStringList{};
    QTest::newRow("parentheses in a completion")
        << answerPage({u"[\"red (band)\",\"17 results\",\"1\"]"_s}) << "red (band)(17 results)"
        << QStringList{u"red"_s, u"band"_s, u"N/A"_s, u"17"_s};
    QTest::newRow("escaped quotes") << answerPage({u"[\"red \\x22hot\\x22 chili\",\"5 results\",\"1\"]"_s,
                                                   u"[\"rock \\x27n\\x27 roll\",\"6\",\"2\"]"_s})
                                    << "red \"hot\" chili(5 results); rock 'n' roll(6)"
                                    << QStringList{u"red \"hot\" chili"_s, u"5"_s, u"rock 'n' roll"_s,
                                                   u"6"_s};
    QTest::newRow("two-field entry swallows the next")
        << answerPage({u"[\"a\",\"1 results\"]"_s, u"[\"b\",\"2 results\",\"1\"]"_s,
                       u"[\"c\",\"3 results\",\"2\"]"_s})
        << "a(1 results); c(3 results)" << QStringList{u"a"_s, u"1"_s, u"c"_s, u"3"_s};
    QTest::newRow("count without \" results\"") << answerPage({u"[\"one\",\"1 result\",\"1\"]"_s})
                                                << "one(1 result)" << QStringList{u"one"_s, u"1 result"_s};
    QTest::newRow("empty fields") << answerPage({u"[\"\",\"\",\"1\"]"_s}) << "()"
                                  << QStringList{u"N/A"_s, u"N/A"_s};
    QTest::newRow("blanks trimmed") << answerPage({u"[\" x \t\",\" 7 results \",\"1\"]"_s})
                                    << " x \t( 7 results )" << QStringList{u"x"_s, u"7"_s};

    QStringList entries;
    QStringList texts;
    QStringList pairs;
    for (int i = 1; i <= 12; ++i) {
        entries << u"[\"s%1\",\"%1 results\",\"%1\"]"_s.arg(i);
        if (i <= 10) {
            texts << u"s%1(%1 results)"_s.arg(i);
            pairs << u"s%1"_s.arg(i) << QString::number(i);
        }
    }
    QTest::newRow("pairs beyond the tenth ignored") << answerPage(entries) << texts.join(u"; "_s) << pairs;
}

void TestSuggest::answer()
{
    QFETCH(QString, page);
    QFETCH(QString, pairText);
    QFETCH(QStringList, pairs);
    QCOMPARE(SuggestPairText(page), pairText);
    QStringList found;
    for (const SuggestPair& pair : SuggestPairs(pairText))
        found << pair.suggestion << pair.results;
    QCOMPARE(found, pairs);
}

void TestSuggest::queryUrl_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("url");

    const QString base = u"http://www.google.com/complete/search?hl=en&js=true&qu="_s;
    QTest::newRow("spaces") << "www.google.com"
                            << "red wine" << base + u"red+wine"_s;
    QTest::newRow("non-breaking space") << "www.google.com" << u"red\u00a0wine"_s << base + u"red+wine"_s;
    QTest::newRow("query characters") << "www.google.com"
                                      << "a&b #1 100%" << base + u"a%26b+%231+100%25"_s;
    QTest::newRow("plus and slash") << "www.google.com"
                                    << "c++/c" << base + u"c%2B%2B%2Fc"_s;
    QTest::newRow("letters outside ASCII")
        << "www.google.com" << u"café 東京"_s << base + u"caf%C3%A9+%E6%9D%B1%E4%BA%AC"_s;
    QTest::newRow("unreserved kept") << "www.google.com"
                                     << "A-z_0.9~" << base + u"A-z_0.9~"_s;
    QTest::newRow("host with port") << "127.0.0.1:8080"
                                    << "x"
                                    << "http://127.0.0.1:8080/complete/search?hl=en&js=true&qu=x";
}

void TestSuggest::queryUrl()
{
    QFETCH(QString, host);
    QFETCH(QString, phrase);
    QFETCH(QString, url);
    QCOMPARE(SuggestQueryUrl(host, phrase), url);
}

void TestSuggest::applySuggestions_data()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("pairText");
    QTest::addColumn<QStringList>("after");

    QTest::newRow("first harvest, two pairs")
        << QStringList{} << "red wine(45,100,000 results); red dress(8,040,000 results)"
        << QStringList{u"red wine"_s, u"45,100,000"_s, u"red dress"_s, u"8,040,000"_s} +
               repeated(u"N/A"_s, 16);

    QStringList old;
    for (int i = 0; i < SuggestCellCount; ++i)
        old << u"old %1"_s.arg(i);
    QTest::newRow("second harvest keeps what the answer does not reach")
        << old << "new(5 results)" << QStringList{u"new"_s, u"5"_s} + old.mid(2);

    QTest::newRow("failed fetch fills only empty cells")
        << QStringList{u"kept"_s, u"1"_s, u""_s, u"2"_s} << ""
        << QStringList{u"kept"_s, u"1"_s, u"N/A"_s, u"2"_s} + repeated(u"N/A"_s, 16);

    QStringList many;
    QStringList cells;
    for (int i = 1; i <= 12; ++i) {
        many << u"s%1(%1)"_s.arg(i);
        if (i <= 10)
            cells << u"s%1"_s.arg(i) << QString::number(i);
    }
    QTest::newRow("more than ten pairs") << QStringList{} << many.join(u"; "_s) << cells;
}

void TestSuggest::applySuggestions()
{
    QFETCH(QStringList, before);
    QFETCH(QString, pairText);
    QFETCH(QStringList, after);
    SuggestCells cells = cellsOf(before);
    ApplySuggestions(cells, pairText);
    QCOMPARE(textsOf(cells), after);
}

void TestSuggest::import_data()
{
    QTest::addColumn<QStringList>("table");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("added");

    QTest::newRow("duplicates of the table and of earlier lines")
        << QStringList{u"RED WINE"_s} << QStringList{u"red wine"_s, u"  Red Wine  "_s, u"red wine glasses"_s}
        << QStringList{u"red wine glasses"_s};
    QTest::newRow("same phrase twice") << QStringList{} << QStringList{u"cheap flights"_s, u"cheap flights"_s}
                                       << QStringList{u"cheap flights"_s};
    QTest::newRow("own letter case kept")
        << QStringList{u"a"_s} << QStringList{u"Cheap Flights"_s, u"CHEAP flights"_s}
        << QStringList{u"Cheap Flights"_s};
    QTest::newRow("blank lines are one empty phrase")
        << QStringList{u"a"_s} << QStringList{u""_s, u"  "_s, u"\t"_s, u"b"_s} << QStringList{u""_s, u"b"_s};
    QTest::newRow("empty phrase already in the table")
        << QStringList{u""_s} << QStringList{u" "_s, u"b"_s} << QStringList{u"b"_s};
    QTest::newRow("control characters trimmed, inner ones made spaces")
        << QStringList{} << QStringList{u"\x01 red\tw\x1f"_s, u"red\tw"_s} << QStringList{u"red w"_s};
    QTest::newRow("duplicates seen after the cleaning")
        << QStringList{u"a b"_s} << QStringList{u"a|b"_s, u"c|\x7f"_s, u"c \x7f"_s} << QStringList{u"c  "_s};
    QTest::newRow("letters outside ASCII")
        << QStringList{u"Äpfel"_s} << QStringList{u"äPFEL"_s, u"äpfelbaum"_s} << QStringList{u"äpfelbaum"_s};
}

void TestSuggest::expandPhrase_data()
{
    QTest::addColumn<int>("sets");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QStringList>("phrases");

    QStringList alphabet;
    for (const char c : QByteArray("abcdefghijklmnopqrstuvwxyz0123456789"))
        alphabet << u"red "_s + QLatin1Char(c);
    const QStringList english = {u"how red"_s,  u"what red"_s, u"why red"_s,   u"where red"_s,
                                 u"when red"_s, u"who red"_s,  u"which red"_s, u"can red"_s,
                                 u"is red"_s,   u"are red"_s,  u"will red"_s};
    QStringList before;
    for (const char c : QByteArray("abcdefghijklmnopqrstuvwxyz0123456789"))
        before << QLatin1Char(c) + u" red"_s;
    QTest::newRow("alphabet") << int(Expansion::Alphabet) << u"en"_s << alphabet;
    QTest::newRow("alphabet before") << int(Expansion::AlphabetBefore) << u"en"_s << before;
    QTest::newRow("alphabet after, then before")
        << int(Expansion::Alphabet | Expansion::AlphabetBefore) << u"en"_s << alphabet + before;
    QTest::newRow("questions") << int(Expansion::Questions) << u"en"_s << english;
    QTest::newRow("unknown language: English") << int(Expansion::Questions) << u"ja"_s << english;
    QTest::newRow("German prepositions")
        << int(Expansion::Prepositions) << u"de"_s
        << QStringList{u"red für"_s,         u"red mit"_s, u"red ohne"_s, u"red vs"_s,
                       u"red in der nähe"_s, u"red zu"_s,  u"red wie"_s};
    QTest::newRow("French questions, upper-case code")
        << int(Expansion::Questions) << u"FR"_s
        << QStringList{u"comment red"_s, u"quoi red"_s, u"pourquoi red"_s, u"où red"_s,
                       u"quand red"_s,   u"qui red"_s,  u"quel red"_s,     u"peut red"_s,
                       u"est red"_s,     u"sont red"_s, u"sera red"_s};
    QTest::newRow("all, in order")
        << int(Expansion::Alphabet | Expansion::Questions | Expansion::Prepositions) << u"en"_s
        << alphabet + english + QStringList{u"red for"_s,  u"red with"_s, u"red without"_s, u"red vs"_s,
                                            u"red near"_s, u"red to"_s,   u"red like"_s};
}

void TestSuggest::excludedWords_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QStringList>("kept");

    const QStringList suggestions{u"red wine"_s,         u"winery tours"_s, u"Red WINE glasses"_s,
                                  u"wine-tasting"_s,     u"rosé"_s,         u"cheap  red   dress"_s,
                                  u"vin rosé de loire"_s};
    QTest::newRow("nothing excluded") << "" << QStringList{} << suggestions;
    QTest::newRow("a whole word, any case")
        << "wine" << QStringList{u"wine"_s}
        << QStringList{u"winery tours"_s, u"rosé"_s, u"cheap  red   dress"_s, u"vin rosé de loire"_s};
    QTest::newRow("several, blanks and repeats dropped")
        << " dress , ,DRESS, rosé" << QStringList{u"dress"_s, u"rosé"_s}
        << QStringList{u"red wine"_s, u"winery tours"_s, u"Red WINE glasses"_s, u"wine-tasting"_s};
    QTest::newRow("an entry of several words, spaces as typed")
        << "red  dress" << QStringList{u"red dress"_s}
        << QStringList{u"red wine"_s,     u"winery tours"_s, u"Red WINE glasses"_s,
                       u"wine-tasting"_s, u"rosé"_s,         u"vin rosé de loire"_s};
    // An accented letter belongs to its word: "ros" is no word of "rosé".
    QTest::newRow("no part of a word") << "ros, tour" << QStringList{u"ros"_s, u"tour"_s} << suggestions;
    QTest::newRow("characters of patterns are plain")
        << "r.d, (vin" << QStringList{u"r.d"_s, u"(vin"_s} << suggestions;
}

// The words whose suggestions Expand leaves out: whole words, without regard to letter case.
void TestSuggest::excludedWords()
{
    QFETCH(QString, typed);
    QFETCH(QStringList, words);
    QFETCH(QStringList, kept);
    QCOMPARE(ExcludedWordsOf(typed), words);
    const QStringList suggestions{u"red wine"_s,         u"winery tours"_s, u"Red WINE glasses"_s,
                                  u"wine-tasting"_s,     u"rosé"_s,         u"cheap  red   dress"_s,
                                  u"vin rosé de loire"_s};
    QCOMPARE(WithoutExcludedWords(suggestions, words), kept);
}

void TestSuggest::expandPhrase()
{
    QFETCH(int, sets);
    QFETCH(QString, language);
    QFETCH(QStringList, phrases);
    QCOMPARE(ExpandPhrase(u"red"_s, Expansions(sets), language), phrases);
    // Every language the program knows has a word for each English one.
    for (const QString& known : {u"de"_s, u"fr"_s, u"es"_s, u"pt"_s, u"it"_s, u"nl"_s}) {
        QCOMPARE(QuestionWords(known).size(), QuestionWords(u"en"_s).size());
        QCOMPARE(Prepositions(known).size(), Prepositions(u"en"_s).size());
    }
}

void TestSuggest::import()
{
    QFETCH(QStringList, table);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, added);
    SuggestRows rows;
    for (const QString& phrase : table)
        rows.append({phrase, {}});
    QCOMPARE(NewImportPhrases(rows, lines), added);
}

void TestSuggest::importAppendsToModel()
{
    SuggestTableModel model;
    model.appendRecord(harvested(u"b"_s, {{u"b1"_s, u"1"_s}}));
    model.sort(SuggestTableModel::PhraseColumn, Qt::DescendingOrder);
    QVERIFY(SortDone(model));
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);

    QCOMPARE(ImportPhrases(model, {u"c"_s, u"B"_s, u"a"_s}), 2);
    QCOMPARE(phrasesOf(model), (QStringList{u"b"_s, u"c"_s, u"a"_s}));
    QCOMPARE(inserted.size(), 1);
    QCOMPARE(model.record(1).cells, SuggestCells());
    QCOMPARE(model.record(0).cells[0], u"b1"_s);
    QCOMPARE(ImportPhrases(model, {u"A"_s, u"C"_s}), 0);
    QCOMPARE(model.rowCount(), 3);
}

void TestSuggest::sentPhrases_data()
{
    QTest::addColumn<QStringList>("table");
    QTest::addColumn<QStringList>("sent");
    QTest::addColumn<QStringList>("fresh");
    QTest::addColumn<QString>("runs"); // first-last of each run of rows to select

    QTest::newRow("all new, one run")
        << QStringList{u"a"_s} << QStringList{u"b"_s, u"c"_s} << QStringList{u"b"_s, u"c"_s} << u"1-2"_s;
    QTest::newRow("known in any case, cleaned")
        << QStringList{u"a"_s, u"Red Wine"_s, u"z"_s} << QStringList{u"  red wine\r"_s, u"new\tone"_s}
        << QStringList{u"new one"_s} << u"1-1 3-3"_s;
    QTest::newRow("sent twice, once added")
        << QStringList{} << QStringList{u"x"_s, u"X"_s, u"x"_s} << QStringList{u"x"_s} << u"0-0"_s;
    QTest::newRow("neighbours of the table and the new rows merge")
        << QStringList{u"a"_s, u"b"_s} << QStringList{u"b"_s, u"c"_s, u"a"_s} << QStringList{u"c"_s}
        << u"0-2"_s;
    QTest::newRow("nothing sent") << QStringList{u"a"_s} << QStringList{} << QStringList{} << u""_s;
}

void TestSuggest::sentPhrases()
{
    QFETCH(QStringList, table);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, fresh);
    QFETCH(QString, runs);
    SuggestRows rows;
    for (const QString& phrase : table)
        rows.appendPhrase(phrase);
    const SentPhrases plan = PlanSentPhrases(rows, sent);
    QStringList freshPhrases;
    for (qsizetype row = 0; row < plan.fresh.size(); ++row)
        freshPhrases << plan.fresh.phrase(row).toString();
    QCOMPARE(freshPhrases, fresh);
    QStringList runTexts;
    for (const auto& [first, last] : plan.runs)
        runTexts << u"%1-%2"_s.arg(first).arg(last);
    QCOMPARE(runTexts.join(u' '), runs);
    QCOMPARE(rows.size(), table.size()); // the table's copy is left as it was
}

void TestSuggest::enteredCellsSurviveReload()
{
    // What a cell cannot hold becomes a space as an imported phrase or a harvested pair enters the
    // table, so the rows that are shown are the rows that come back from the file.
    SuggestTableModel model;
    QCOMPARE(ImportPhrases(model, {u" red|wine\tglasses\r"_s, u"caf\u00e9\u2028noir"_s}), 2);
    SuggestCells cells;
    ApplySuggestions(cells, u"red|wine\nglasses(1|2\t3 results); a"_s + QChar(0x85) + u"b(7)"_s);
    QVERIFY(model.setCells(model.idOfRow(0), cells));
    QCOMPARE(rowTexts(model.records()),
             (QStringList{u"red wine glasses=red wine glasses,1 2 3,a b,7,"_s +
                              repeated(u"N/A"_s, 16).join(u","_s),
                          u"caf\u00e9 noir="_s + repeated(u""_s, 20).join(u","_s)}));

    QTemporaryDir dir;
    const QString path = dir.filePath(SuggestTableFileName);
    QCOMPARE(WriteSuggestTable(path, model.records()), QString());
    QCOMPARE(ReadSuggestTable(path).rows, model.records());
}

void TestSuggest::parseFile_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("rows"); // phrase=cells joined by ","

    const QString empty20 = QStringList(repeated(u""_s, 20)).join(u","_s);
    QTest::newRow("not harvested") << "red§wine|||||||||||||||||||||\r\n"
                                   << QStringList{u"red wine="_s + empty20};
    QTest::newRow("harvested") << "red§wine|red§wine§glasses|2,350,000|red§wine§vinegar|1,120,000|N/A|N/A|N/"
                                  "A|N/A|N/A|N/A|N/A|N/A|N/A|N/A|"
                                  "N/A|N/A|N/A|N/A|N/A|N/A|\r\n"
                               << QStringList{
                                      u"red wine=red wine glasses,2,350,000,red wine vinegar,1,120,000,"_s +
                                      repeated(u"N/A"_s, 16).join(u","_s)};
    QTest::newRow("short line padded") << "a|b|c" << QStringList{u"a=b,c"_s + u","_s.repeated(18)};
    QTest::newRow("fields after the 21st ignored")
        << u"p|"_s + QStringList(repeated(u"x"_s, 20)).join(u"|"_s) + u"|extra|more|"_s
        << QStringList{u"p="_s + repeated(u"x"_s, 20).join(u","_s)};
    QTest::newRow("empty and blank lines skipped")
        << "\r\na|\r\n \t \nb|\rc|" << QStringList{u"a="_s + empty20, u"b="_s + empty20, u"c="_s + empty20};
    QTest::newRow("tab ends a field") << "a\tb|c|" << QStringList{u"a=b,c"_s + u","_s.repeated(18)};
}

void TestSuggest::parseFile()
{
    QFETCH(QString, text);
    QFETCH(QStringList, rows);
    QTemporaryDir dir;
    const QString path = dir.filePath(SuggestTableFileName);
    writeFile(path, text.toUtf8());
    const SuggestTableRead read = ReadSuggestTable(path);
    QCOMPARE(read.error, QString());
    QCOMPARE(rowTexts(read.rows), rows);
}

void TestSuggest::roundTrip_data()
{
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QStringList>("loaded"); // phrase=cells joined by ","

    QTest::newRow("inner spaces") << "red wine glasses"
                                  << QStringList{u"red wine glasses="_s + repeated(u""_s, 20).join(u","_s)};
    QTest::newRow("section sign becomes a space")
        << u"a§b"_s << QStringList{u"a b="_s + repeated(u""_s, 20).join(u","_s)};
    QTest::newRow("bar splits the phrase") << "a|b" << QStringList{u"a=b"_s + u","_s.repeated(19)};
    QTest::newRow("tab splits the phrase") << "a\tb" << QStringList{u"a=b"_s + u","_s.repeated(19)};
    QTest::newRow("empty phrase") << "" << QStringList{u"="_s + repeated(u""_s, 20).join(u","_s)};
    QTest::newRow("quotes and letters outside ASCII")
        << u"\"zoë\" 東京"_s << QStringList{u"\"zoë\" 東京="_s + repeated(u""_s, 20).join(u","_s)};
}

void TestSuggest::roundTrip()
{
    QFETCH(QString, phrase);
    QFETCH(QStringList, loaded);
    QTemporaryDir dir;
    const QString path = dir.filePath(SuggestTableFileName);
    QCOMPARE(WriteSuggestTable(path, {{phrase, {}}}), QString());
    QCOMPARE(rowTexts(ReadSuggestTable(path).rows), loaded);
}

void TestSuggest::fileFormat()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(SuggestTableFileName);
    const SuggestRows rows{{u"red wine"_s, {}},
                           harvested(u"red wine"_s, {{u"red wine glasses"_s, u"2,350,000"_s},
                                                     {u"red wine vinegar"_s, u"1,120,000"_s}})};
    QCOMPARE(WriteSuggestTable(path, rows), QString());
    const QByteArray na = QByteArray("N/A|").repeated(16);
    QCOMPARE(readFile(path),
             "red\xc2\xa7wine|||||||||||||||||||||\r\n"
             "red\xc2\xa7wine|red\xc2\xa7wine\xc2\xa7glasses|2,350,000|red\xc2\xa7wine\xc2\xa7vinegar|"
             "1,120,000|" +
                 na + "\r\n");
    QCOMPARE(ReadSuggestTable(path).rows, rows);

    // A row read from a short line has all its cells and is written back whole.
    writeFile(path, "a|b|c\r\n");
    QCOMPARE(WriteSuggestTable(path, ReadSuggestTable(path).rows), QString());
    QCOMPARE(readFile(path), "a|b|c|" + QByteArray("|").repeated(18) + "\r\n");
}

void TestSuggest::legacyWindowsFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(SuggestTableFileName);
    writeFile(path, "caf\xe9\xa7"
                    "cr\xe8me|caf\xe9\xa7noir|1,000|" +
                        QByteArray("N/A|").repeated(18) + "\r\n");
    const SuggestRows rows = ReadSuggestTable(path).rows;
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.at(0).phrase, u"café crème"_s);
    QCOMPARE(rows.at(0).cells[0], u"café noir"_s);
    QCOMPARE(rows.at(0).cells[1], u"1,000"_s);
    QCOMPARE(rows.at(0).cells[19], u"N/A"_s);
}

void TestSuggest::mixedEncodingFile()
{
    // UTF-8 lines and one line with a lone Windows-1252 byte: each line is read by its own encoding.
    QTemporaryDir dir;
    const QString path = dir.filePath(SuggestTableFileName);
    const QByteArray rest = QByteArray("N/A|").repeated(18) + "\r\n";
    writeFile(path, "caf\xc3\xa9|caf\xc3\xa9\xc2\xa7noir|1,000|" + rest +
                        "cr\xe8me|cr\xe8me\xa7"
                        "br\xfbl\xe9"
                        "e|7|" +
                        rest + "na\xc3\xafve|\xe2\x82\xac|2|" + rest);
    const QStringList expected = {
        QStringLiteral("café=café noir,1,000,") + repeated(u"N/A"_s, 18).join(u","_s),
        QStringLiteral("crème=crème brûlée,7,") + repeated(u"N/A"_s, 18).join(u","_s),
        QStringLiteral("naïve=€,2,") + repeated(u"N/A"_s, 18).join(u","_s)};
    QCOMPARE(rowTexts(ReadSuggestTable(path).rows), expected);

    // Saved again, every line is UTF-8 and reads back the same.
    QCOMPARE(WriteSuggestTable(path, ReadSuggestTable(path).rows), QString());
    QVERIFY(readFile(path).contains("cr\xc3\xa8me|cr\xc3\xa8me\xc2\xa7"
                                    "br\xc3\xbbl\xc3\xa9"
                                    "e|7|"));
    QCOMPARE(QString::fromUtf8(readFile(path)).toUtf8(), readFile(path));
    QCOMPARE(rowTexts(ReadSuggestTable(path).rows), expected);
}

void TestSuggest::emptyAndMissingFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(SuggestTableFileName);
    const SuggestTableRead missing = ReadSuggestTable(path);
    QVERIFY(missing.rows.isEmpty());
    QCOMPARE(missing.error, QString());

    writeFile(path, "old|\r\n");
    QCOMPARE(WriteSuggestTable(path, {}), QString());
    QVERIFY(QFile::exists(path));
    QCOMPARE(QFileInfo(path).size(), 0);
}

void TestSuggest::csv_data()
{
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QStringList>("lines"); // after the header

    QTest::newRow("harvested row") << "red"
                                   << QStringList{u"red wine"_s, u"45,100,000"_s, u"red dress"_s,
                                                  u"8,040,000"_s} +
                                          repeated(u"N/A"_s, 16)
                                   << QStringList{u"red,red wine,45100000"_s, u"red,red dress,8040000"_s} +
                                          repeated(u"red,N/A,N/A"_s, 8);
    QTest::newRow("commas inside a suggestion and a count")
        << "ways" << QStringList{u"1,000 ways"_s, u"2,150"_s} << QStringList{u"ways,1000 ways,2150"_s};
    QTest::newRow("comma inside the phrase kept") << "paris, france" << QStringList{u"paris hotels"_s, u"9"_s}
                                                  << QStringList{u"paris, france,paris hotels,9"_s};
    QTest::newRow("never harvested") << "red" << QStringList{} << QStringList{};
    QTest::newRow("empty count still written")
        << "red" << QStringList{u""_s, u"5"_s, u"b"_s, u""_s} << QStringList{u"red,b,"_s};
}

void TestSuggest::csv()
{
    QFETCH(QString, phrase);
    QFETCH(QStringList, cells);
    QFETCH(QStringList, lines);
    QString expected = u"Keyword Phrase,Suggestion,Results\r\n"_s;
    for (const QString& line : lines)
        expected += line + u"\r\n"_s;
    QCOMPARE(FormatSuggestCsv({{phrase, cellsOf(cells)}}), expected);
}

void TestSuggest::csvFileReplaced()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"report.csv"_s);
    writeFile(path, "an older and longer export\r\n");
    QCOMPARE(WriteSuggestCsv(path, {}).outcome, ExportOutcome::Written);
    QCOMPARE(readFile(path), "Keyword Phrase,Suggestion,Results\r\n");

    const SuggestRows rows{harvested(u"café"_s, {{u"café noir"_s, u"1,000"_s}})};
    QCOMPARE(WriteSuggestCsv(path, rows).outcome, ExportOutcome::Written);
    QCOMPARE(readFile(path), FormatSuggestCsv(rows).toUtf8());
    QCOMPARE(WriteSuggestCsv(dir.filePath(u"missing/report.csv"_s), rows).outcome, ExportOutcome::Failed);
}

void TestSuggest::exportFormats_data()
{
    QTest::addColumn<ExportFormat>("format");
    QTest::addColumn<SuggestRows>("rows");
    QTest::addColumn<QByteArray>("bytes");

    // An empty suggestion has no line, an empty count has; a phrase never harvested has none.
    const SuggestRows rows{
        {u"paris, france"_s, cellsOf({u"say \"hi\""_s, u"45,100,000"_s, u""_s, u"5"_s, u"b"_s, u""_s})},
        {u"never"_s, {}}};
    const QByteArray csv = "Keyword Phrase,Suggestion,Results\r\n"
                           "\"paris, france\",\"say \"\"hi\"\"\",\"45,100,000\"\r\n\"paris, france\",b,\r\n";
    QTest::newRow("the page's lines") << ExportFormat::PageLines << rows
                                      << QByteArray("Keyword Phrase,Suggestion,Results\r\nparis, france,say "
                                                    "\"hi\",45100000\r\nparis, france,b,\r\n");
    QTest::newRow("csv") << ExportFormat::Csv << rows << csv;
    QTest::newRow("excel csv") << ExportFormat::ExcelCsv << rows << "\xef\xbb\xbf" + csv;
    QTest::newRow("json") << ExportFormat::Json << rows
                          << QByteArray("[\r\n{\"phrase\":\"paris, france\",\"suggestions\":["
                                        "{\"suggestion\":\"say \\\"hi\\\"\",\"results\":\"45,100,000\"},"
                                        "{\"suggestion\":\"b\",\"results\":\"\"}]},\r\n"
                                        "{\"phrase\":\"never\",\"suggestions\":[]}\r\n]\r\n");
    QTest::newRow("empty table: csv")
        << ExportFormat::Csv << SuggestRows() << QByteArray("Keyword Phrase,Suggestion,Results\r\n");
    QTest::newRow("empty table: excel csv")
        << ExportFormat::ExcelCsv << SuggestRows()
        << QByteArray("\xef\xbb\xbfKeyword Phrase,Suggestion,Results\r\n");
    QTest::newRow("empty table: json") << ExportFormat::Json << SuggestRows() << QByteArray("[]\r\n");
}

void TestSuggest::exportFormats()
{
    QFETCH(ExportFormat, format);
    QFETCH(SuggestRows, rows);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"report"_s);
    writeFile(path, "an older and longer export\r\n");
    QCOMPARE(WriteSuggestCsv(path, rows, format).outcome, ExportOutcome::Written);
    QCOMPARE(readFile(path), bytes);
}

void TestSuggest::exportReadsBack_data()
{
    QTest::addColumn<ExportFormat>("format");
    QTest::newRow("csv") << ExportFormat::Csv;
    QTest::newRow("excel csv") << ExportFormat::ExcelCsv;
    QTest::newRow("json") << ExportFormat::Json;
}

void TestSuggest::exportReadsBack()
{
    // Texts that a reader of each format must get back whole, line breaks included (the table's file
    // cannot hold them, the export can).
    QFETCH(ExportFormat, format);
    const SuggestRows rows{
        {u"paris, \"france\""_s,
         cellsOf({u"line\r\nbreak"_s, u"45,100,000"_s, u"lf\nonly"_s, u"N/A"_s, u""_s, u"left out"_s,
                  u"tab\tünïcödé 😀 \\"_s, u""_s, u" spaced "_s, u"\"\""_s, u"cr\ronly"_s, u"1"_s})},
        {u"never"_s, {}},
        {u"plain"_s, cellsOf({u"a"_s, u"b"_s})}};
    const QList<QStringList> expected{{u"Keyword Phrase"_s, u"Suggestion"_s, u"Results"_s},
                                      {u"paris, \"france\""_s, u"line\r\nbreak"_s, u"45,100,000"_s},
                                      {u"paris, \"france\""_s, u"lf\nonly"_s, u"N/A"_s},
                                      {u"paris, \"france\""_s, u"tab\tünïcödé 😀 \\"_s, u""_s},
                                      {u"paris, \"france\""_s, u" spaced "_s, u"\"\""_s},
                                      {u"paris, \"france\""_s, u"cr\ronly"_s, u"1"_s},
                                      {u"plain"_s, u"a"_s, u"b"_s}};
    QTemporaryDir dir;
    const QString path = dir.filePath(u"report"_s);
    QCOMPARE(WriteSuggestCsv(path, rows, format).outcome, ExportOutcome::Written);
    const QByteArray bytes = readFile(path);
    QString error;
    if (format == ExportFormat::Json) {
        QCOMPARE(jsonPairs(bytes, error), expected);
        QCOMPARE(error, QString());
        return;
    }
    QCOMPARE(bytes.startsWith("\xef\xbb\xbf"), format == ExportFormat::ExcelCsv);
    const QString python = QStandardPaths::findExecutable(u"python3"_s);
    if (python.isEmpty())
        QSKIP("python3 is not installed");
    // "utf-8" keeps a byte-order mark as a character of the first field, "utf-8-sig" takes it away.
    const auto read =
        csvReadByPython(python, path, format == ExportFormat::ExcelCsv ? "utf-8-sig" : "utf-8", error);
    QCOMPARE(error, QString());
    QCOMPARE(read, expected);
}

void TestSuggest::modelColumns()
{
    SuggestTableModel model;
    QCOMPARE(model.columnCount(), 21);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), u"Keyword Phrase"_s);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), u"Suggest 1"_s);
    QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), u"Results 1"_s);
    QCOMPARE(model.headerData(19, Qt::Horizontal).toString(), u"Suggest 10"_s);
    QCOMPARE(model.headerData(20, Qt::Horizontal).toString(), u"Results 10"_s);

    model.appendRecord(harvested(u"red"_s, {{u"red wine"_s, u"45,100,000"_s}}));
    QCOMPARE(model.data(model.index(0, 0)).toString(), u"red"_s);
    QCOMPARE(model.data(model.index(0, 1)).toString(), u"red wine"_s);
    QCOMPARE(model.data(model.index(0, 2)).toString(), u"45,100,000"_s);
    QCOMPARE(model.data(model.index(0, 20)).toString(), u"N/A"_s);

    PreviewModel preview;
    preview.showRecord(model.record(0));
    QCOMPARE(preview.rowCount(), 10);
    QCOMPARE(columnOf(preview, 0), QStringList{u"red wine"_s} + repeated(u"N/A"_s, 9));
    QCOMPARE(columnOf(preview, 1), QStringList{u"45,100,000"_s} + repeated(u"N/A"_s, 9));
    preview.showRecord({u"new"_s, {}});
    QCOMPARE(columnOf(preview, 0), repeated(u""_s, 10));
    preview.clear();
    QCOMPARE(preview.rowCount(), 0);
}

void TestSuggest::rowsTrackedById()
{
    SuggestTableModel model;
    model.setRecords({{u"a"_s, {}}, {u"b"_s, {}}, {u"c"_s, {}}, {u"d"_s, {}}});
    const QList<SuggestTableModel::RowId> ids = model.idsOfRows({1, 3}); // b, d
    const QPersistentModelIndex followed = model.index(1, 0);

    model.reorder({3, 2, 1, 0}); // d c b a
    QCOMPARE(phrasesOf(model), (QStringList{u"d"_s, u"c"_s, u"b"_s, u"a"_s}));
    QCOMPARE(model.rowOfId(ids[0]), 2);
    QCOMPARE(followed.row(), 2);

    model.removeRowList({0}); // d goes
    QCOMPARE(model.rowOfId(ids[1]), -1);
    QVERIFY(!model.recordOfId(ids[1]));
    QCOMPARE(model.recordOfId(ids[0])->phrase, u"b"_s);
    QVERIFY(!model.setCells(ids[1], cellsOf({u"lost"_s})));
    ImportPhrases(model, {u"e"_s});
    QVERIFY(model.setCells(ids[0], cellsOf({u"b1"_s, u"1"_s})));
    QCOMPARE(phrasesOf(model), (QStringList{u"c"_s, u"b"_s, u"a"_s, u"e"_s}));
    QCOMPARE(model.record(1).cells[0], u"b1"_s);
    QCOMPARE(model.record(0).cells[0], u""_s);

    QVERIFY(!model.reorder({0, 0, 1, 2}));
    QVERIFY(!model.reorder({0, 1, 2}));
    QCOMPARE(phrasesOf(model), (QStringList{u"c"_s, u"b"_s, u"a"_s, u"e"_s}));

    // Ids are never handed out twice, even after the table was emptied.
    model.clear();
    model.setRecords({{u"x"_s, {}}, {u"y"_s, {}}});
    QCOMPARE(model.rowOfId(ids[0]), -1);
    QVERIFY(!ids.contains(model.idOfRow(0)) && !ids.contains(model.idOfRow(1)));
}

void TestSuggest::removeManyRows()
{
    SuggestTableModel model;
    QStringList phrases;
    for (int i = 0; i < 200; ++i)
        phrases << QString::number(i);
    model.appendPhrases(phrases);
    const SuggestTableModel::RowId last = model.idOfRow(199);
    QList<qsizetype> everyOther;
    QStringList kept;
    for (int i = 0; i < 200; ++i) {
        if (i % 2 == 0)
            everyOther << i;
        else
            kept << QString::number(i);
    }
    everyOther << 500 << -1;
    model.removeRowList(everyOther);
    QCOMPARE(phrasesOf(model), kept);
    QCOMPARE(model.rowOfId(last), 99);
}

void TestSuggest::compareValues_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("result");

    const int number = int(SortKind::Number);
    QTest::newRow("9 before 10") << number << "9"
                                 << "10" << -1;
    QTest::newRow("100 after 10") << number << "100"
                                  << "10" << 1;
    QTest::newRow("digit groups") << number << "45,100,000"
                                  << "8,040,000" << 1;
    QTest::newRow("N/A below a count") << number << "N/A"
                                       << "8,040,000" << -1;
    QTest::newRow("above 32 bits is 0") << number << "3,000,000,000"
                                        << "N/A" << 0;
    QTest::newRow("largest 32-bit") << number << "2147483647"
                                    << "2147483648" << 1;
    QTest::newRow("negative") << number << "-5"
                              << "" << -1;
    QTest::newRow("not a whole number") << number << "1.5"
                                        << "0" << 0;
    QTest::newRow("equal numbers") << number << "1,000"
                                   << "1000" << 0;

    const int dateTime = int(SortKind::DateTime);
    QTest::newRow("time of day") << dateTime << "3/5/2009 2:15:00 PM"
                                 << "3/5/2009 9:00:00 AM" << 1;
    QTest::newRow("midnight is the date alone") << dateTime << "3/5/2009"
                                                << "3/4/2009 11:59:59 PM" << 1;
    QTest::newRow("by value, not as text") << dateTime << "10/1/2009"
                                           << "9/30/2009" << 1;
    QTest::newRow("other regional settings sort first") << dateTime << "05.03.2009 14:15:00"
                                                        << "1/1/1900" << -1;
    QTest::newRow("unreadable is 30 December 1899") << dateTime << "garbage"
                                                    << "12/30/1899" << 0;
    QTest::newRow("commas removed") << dateTime << "3/5/2009, 2:15:00 PM"
                                    << "3/5/2009 2:15:00 PM" << 0;
}

void TestSuggest::compareValues()
{
    QFETCH(int, kind);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, result);
    const auto compare = [kind](const QString& x, const QString& y) {
        return SortKind(kind) == SortKind::Number ? CompareNumbers(x, y) : CompareDateTimes(x, y);
    };
    QCOMPARE(compare(a, b), result);
    QCOMPARE(compare(b, a), -result);
}

void TestSuggest::compareTexts_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("result");

    const QLocale us(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("apple before Banana") << us << "apple"
                                         << "Banana" << -1;
    QTest::newRow("Banana before cherry") << us << "Banana"
                                          << "cherry" << -1;
    QTest::newRow("case ignored") << us << "Apple"
                                  << "aPPLE" << 0;
    QTest::newRow("accents by the locale") << us << u"café"_s << "cafz" << -1;
    QTest::newRow("C locale ignores case too") << QLocale::c() << "apple"
                                               << "Banana" << -1;
    QTest::newRow("Swedish puts ä after z")
        << QLocale(QLocale::Swedish, QLocale::Sweden) << "zebra" << u"äpple"_s << -1;
}

void TestSuggest::compareTexts()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, result);
    QCOMPARE(qBound(-1, CompareTexts(a, b, locale), 1), result);
    QCOMPARE(qBound(-1, CompareTexts(b, a, locale), 1), -result);

    // A sort sees the same order through its precomputed keys.
    const QStringList cells{a, b};
    const QList<qsizetype> order = SortedRowOrder(
        2, [&](qsizetype row) { return QStringView(cells[row]); }, SortKind::Text, true, locale);
    QCOMPARE(order, (result > 0 ? QList<qsizetype>{1, 0} : QList<qsizetype>{0, 1}));
}

void TestSuggest::textSortAgreesWithQCollator_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany);
    QTest::newRow("sv_SE") << QLocale(QLocale::Swedish, QLocale::Sweden);
}

void TestSuggest::textSortAgreesWithQCollator()
{
    QFETCH(QLocale, locale);
    const QStringList cells{u"apple"_s,
                            u"Apple"_s,
                            u"äpple"_s,
                            u"zebra"_s,
                            u"Zoë"_s,
                            u"zoe"_s,
                            u"co-op"_s,
                            u"coop"_s,
                            u"co op"_s,
                            u"10"_s,
                            u"9"_s,
                            u"a1"_s,
                            u"A2"_s,
                            u"é"_s,
                            u"e"_s,
                            u"ß"_s,
                            u"ss"_s,
                            u"東京"_s,
                            u"Ångström"_s,
                            u"angstrom"_s,
                            u""_s,
                            u"#tag"_s,
                            u"Émile"_s,
                            u"emile"_s,
                            u"APPLE"_s,
                            u"a very long phrase that goes on past sixteen bytes of key 1"_s,
                            u"A very long phrase that goes on past sixteen bytes of key 2"_s};
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    QStringList expected = cells;
    std::stable_sort(expected.begin(), expected.end(),
                     [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });

    const QList<qsizetype> order = SortedRowOrder(
        cells.size(), [&](qsizetype row) { return QStringView(cells[row]); }, SortKind::Text, true, locale);
    QStringList sorted;
    for (const qsizetype row : order)
        sorted << cells[row];
    QCOMPARE(sorted, expected);
}

void TestSuggest::sortedOrder_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("ascending");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QStringList>("sorted");

    const int number = int(SortKind::Number);
    const int text = int(SortKind::Text);
    const int dateTime = int(SortKind::DateTime);
    QTest::newRow("numbers, not text")
        << number << true << QStringList{u"10"_s, u"9"_s, u"100"_s} << QStringList{u"9"_s, u"10"_s, u"100"_s};
    QTest::newRow("grouped counts and N/A")
        << number << true << QStringList{u"45,100,000"_s, u"N/A"_s, u"8,040,000"_s}
        << QStringList{u"N/A"_s, u"8,040,000"_s, u"45,100,000"_s};
    QTest::newRow("three billion sorts with N/A, stable")
        << number << true << QStringList{u"3,000,000,000"_s, u"5"_s, u"N/A"_s, u"0"_s}
        << QStringList{u"3,000,000,000"_s, u"N/A"_s, u"0"_s, u"5"_s};
    QTest::newRow("descending keeps equal rows in order")
        << number << false << QStringList{u"N/A"_s, u"x"_s, u"5"_s, u""_s}
        << QStringList{u"5"_s, u"N/A"_s, u"x"_s, u""_s};
    QTest::newRow("letter case ignored") << text << true << QStringList{u"cherry"_s, u"Banana"_s, u"apple"_s}
                                         << QStringList{u"apple"_s, u"Banana"_s, u"cherry"_s};
    QTest::newRow("text descending") << text << false << QStringList{u"Banana"_s, u"apple"_s, u"cherry"_s}
                                     << QStringList{u"cherry"_s, u"Banana"_s, u"apple"_s};
    QTest::newRow("equal texts keep their order")
        << text << false << QStringList{u"apple"_s, u"B"_s, u"APPLE"_s, u"Apple"_s}
        << QStringList{u"B"_s, u"apple"_s, u"APPLE"_s, u"Apple"_s};
    QTest::newRow("unreadable date-times first")
        << dateTime << true
        << QStringList{u"3/5/2009 2:15:00 PM"_s, u"05.03.2009"_s, u"3/5/2009"_s, u""_s, u"1/2/2010"_s}
        << QStringList{u"05.03.2009"_s, u""_s, u"3/5/2009"_s, u"3/5/2009 2:15:00 PM"_s, u"1/2/2010"_s};
    QTest::newRow("empty list") << number << true << QStringList{} << QStringList{};
}

void TestSuggest::sortedOrder()
{
    QFETCH(int, kind);
    QFETCH(bool, ascending);
    QFETCH(QStringList, cells);
    QFETCH(QStringList, sorted);
    const QList<qsizetype> order = SortedRowOrder(
        cells.size(), [&](qsizetype row) { return QStringView(cells[row]); }, SortKind(kind), ascending);
    QStringList result;
    for (const qsizetype row : order)
        result << cells[row];
    QCOMPARE(result, sorted);
}

void TestSuggest::bigDateColumnSortsInOrder()
{
    // Big enough to be read in parts at once: distinct date-times, shuffled, with unreadable texts.
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    constexpr int Rows = 100000;
    QStringList cells;
    QHash<QString, QDateTime> written;
    QList<qsizetype> unreadable;
    QDateTime when(QDate(2020, 1, 1), QTime(0, 0, 1));
    for (int row = 0; row < Rows; ++row) {
        cells << (row % 997 == 0 ? QStringLiteral("n/a %1").arg(row) : DateTimeText(when, us));
        written.insert(cells.last(), when);
        when = when.addSecs(433);
    }
    quint32 seed = 12345;
    for (qsizetype i = cells.size() - 1; i > 0; --i) {
        seed = seed * 1664525u + 1013904223u;
        cells.swapItemsAt(i, qsizetype(seed % quint32(i + 1)));
    }
    for (qsizetype row = 0; row < cells.size(); ++row) {
        if (cells[row].startsWith(QStringLiteral("n/a")))
            unreadable << row;
    }

    for (const bool ascending : {true, false}) {
        const QList<qsizetype> order = SortedRowOrder(
            cells.size(), [&](qsizetype row) { return QStringView(cells[row]); }, SortKind::DateTime,
            ascending, us);
        QCOMPARE(order.size(), qsizetype(Rows));
        // Unreadable texts count as the earliest and keep their order; the rest go by their time.
        const QList<qsizetype> first =
            ascending ? order.first(unreadable.size()) : order.last(unreadable.size());
        QCOMPARE(first, unreadable);
        const QList<qsizetype> dated =
            ascending ? order.sliced(unreadable.size()) : order.first(Rows - unreadable.size());
        for (qsizetype i = 1; i < dated.size(); ++i) {
            const QDateTime earlier = written.value(cells[dated[ascending ? i - 1 : i]]);
            const QDateTime later = written.value(cells[dated[ascending ? i : i - 1]]);
            QVERIFY2(earlier < later, qPrintable(cells[dated[i - 1]] + u" / "_s + cells[dated[i]]));
        }
    }
}

void TestSuggest::sortState_data()
{
    QTest::addColumn<QList<int>>("clicks");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("ascending");

    QTest::newRow("none yet") << QList<int>{} << -1 << true;
    QTest::newRow("first click ascending") << QList<int>{2} << 2 << true;
    QTest::newRow("second click reverses") << QList<int>{2, 2} << 2 << false;
    QTest::newRow("new column keeps the direction") << QList<int>{2, 2, 0} << 0 << false;
    QTest::newRow("third click back to ascending") << QList<int>{1, 1, 1} << 1 << true;
}

void TestSuggest::sortState()
{
    QFETCH(QList<int>, clicks);
    QFETCH(int, column);
    QFETCH(bool, ascending);
    ListSortState state;
    for (const int click : clicks)
        state.click(click);
    QCOMPARE(state.column(), column);
    QCOMPARE(state.ascending(), ascending);
    QCOMPARE(state.order(), ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    state.reset();
    QCOMPARE(state.column(), -1);
    QVERIFY(state.ascending());
}

void TestSuggest::sortTrendTable()
{
    TrendTableModel model;
    model.setRows({{u"banana"_s, u"3/5/2009 2:15:00 PM"_s, u"10"_s},
                   {u"Apple"_s, u"3/6/2009"_s, u"9"_s},
                   {u"cherry"_s, u"3/4/2009"_s, u"100"_s}});
    const QPersistentModelIndex cherry = model.index(2, 0);
    ListSortState state;

    const auto click = [&](int column) {
        state.click(column);
        model.sort(state.column(), state.order());
        return SortDone(model) ? columnOf(model, TrendTableModel::KeywordColumn) : QStringList();
    };
    QCOMPARE(click(TrendTableModel::CountColumn), (QStringList{u"Apple"_s, u"banana"_s, u"cherry"_s}));
    QCOMPARE(click(TrendTableModel::CountColumn), (QStringList{u"cherry"_s, u"banana"_s, u"Apple"_s}));
    QCOMPARE(click(TrendTableModel::KeywordColumn), (QStringList{u"cherry"_s, u"banana"_s, u"Apple"_s}));
    QCOMPARE(click(TrendTableModel::DateColumn), (QStringList{u"Apple"_s, u"banana"_s, u"cherry"_s}));
    QCOMPARE(cherry.row(), 2);
    QCOMPARE(model.knownKeywords().find(u"apple"), 0); // the keyword index follows the rows
    QCOMPARE(model.knownKeywords().find(u"CHERRY"), 2);

    // With a keyword twice, the index finds the one that now comes first.
    model.setRows({{u"apple"_s, u"3/6/2009"_s, u"1"_s},
                   {u"pear"_s, u"3/6/2009"_s, u"2"_s},
                   {u"Apple"_s, u"3/6/2009"_s, u"3"_s}});
    model.sort(TrendTableModel::CountColumn, Qt::DescendingOrder);
    QVERIFY(SortDone(model));
    QCOMPARE(model.knownKeywords().find(u"APPLE"), 0);
    QCOMPARE(model.knownKeywords().find(u"pear"), 1);

    TrendTableModel empty;
    empty.sort(TrendTableModel::CountColumn);
    QVERIFY(SortDone(empty));
    QCOMPARE(empty.rowCount(), 0);
}

void TestSuggest::sortSuggestAndPreview()
{
    SuggestTableModel model;
    model.setRecords({harvested(u"b"_s, {{u"Y"_s, u"45,100,000"_s}}),
                      harvested(u"a"_s, {{u"x"_s, u"8,040,000"_s}}),
                      harvested(u"c"_s, {{u"z"_s, u"N/A"_s}})});
    model.sort(2); // "Results 1", as numbers
    QVERIFY(SortDone(model));
    QCOMPARE(phrasesOf(model), (QStringList{u"c"_s, u"a"_s, u"b"_s}));
    model.sort(1, Qt::DescendingOrder); // "Suggest 1", as text
    QVERIFY(SortDone(model));
    QCOMPARE(phrasesOf(model), (QStringList{u"c"_s, u"b"_s, u"a"_s}));
    model.sort(SuggestTableModel::PhraseColumn);
    QVERIFY(SortDone(model));
    QCOMPARE(phrasesOf(model), (QStringList{u"a"_s, u"b"_s, u"c"_s}));
    QCOMPARE(model.columnSortKind(19), SortKind::Text);
    QCOMPARE(model.columnSortKind(20), SortKind::Number);

    PreviewModel preview;
    preview.showRecord({u"p"_s, cellsOf({u"b"_s, u"10"_s, u"A"_s, u"9"_s, u"c"_s, u"100"_s})});
    preview.sort(PreviewModel::ResultsColumn);
    QVERIFY(SortDone(preview));
    QCOMPARE(columnOf(preview, 0),
             (QStringList{u""_s, u""_s, u""_s, u""_s, u""_s, u""_s, u""_s, u"A"_s, u"b"_s, u"c"_s}));
    preview.sort(PreviewModel::SuggestionColumn, Qt::DescendingOrder);
    QVERIFY(SortDone(preview));
    QCOMPARE(columnOf(preview, 0).mid(0, 3), (QStringList{u"c"_s, u"b"_s, u"A"_s}));
}

void TestSuggest::sortMatchesPlainStableSort_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("ascending");
    for (const bool ascending : {true, false}) {
        const char* direction = ascending ? "ascending" : "descending";
        QTest::addRow("keyword %s", direction) << int(TrendTableModel::KeywordColumn) << ascending;
        QTest::addRow("date %s", direction) << int(TrendTableModel::DateColumn) << ascending;
        QTest::addRow("count %s", direction) << int(TrendTableModel::CountColumn) << ascending;
    }
}

void TestSuggest::sortMatchesPlainStableSort()
{
    // Enough rows for the column to be read and sorted in parts on several threads.
    QFETCH(int, column);
    QFETCH(bool, ascending);
    const TrendRows rows = mixedTrendRows(20000, 7);
    TrendTableModel model;
    model.setRows(rows);
    model.sort(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    QVERIFY(SortDone(model));
    QCOMPARE(rowTexts(model.rows()), rowTexts(plainStableSort(rows, column, ascending)));
}

void TestSuggest::sortLeavesTheEventLoopFree_data()
{
    QTest::addColumn<bool>("held");
    QTest::newRow("worker busy") << false;
    QTest::newRow("worker held back") << true;
}

void TestSuggest::sortLeavesTheEventLoopFree()
{
    QFETCH(bool, held);
    TrendTableModel model;
    model.setRows(mixedTrendRows(held ? 1000 : 200000, 11));
    const TrendRows before = model.rows();
    std::optional<HeldSorts> holding;
    if (held)
        holding.emplace(model);

    int ticks = 0;
    int ticksWhenSorted = -1;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
    connect(&model, &RowListModel::sortFinished, this, [&] { ticksWhenSorted = ticks; });
    timer.start(0);
    model.sort(TrendTableModel::KeywordColumn);
    QVERIFY(model.isSorting());
    QVERIFY(model.rows() == before); // nothing moved yet: sort() only started the sort
    if (held) {
        QVERIFY(QTest::qWaitFor([&ticks] { return ticks >= 3; }));
        QVERIFY(model.isSorting());
        holding->release();
    }
    QVERIFY(SortDone(model));
    QVERIFY2(ticksWhenSorted > 0, "the timer never fired while the rows were sorted");
    QCOMPARE(rowTexts(model.rows()), rowTexts(sortedAtOnce(before, TrendTableModel::KeywordColumn, true)));
}

void TestSuggest::newerSortSupersedes_data()
{
    QTest::addColumn<bool>("held");
    QTest::newRow("first sort running") << false;
    QTest::newRow("first sort held back") << true;
}

void TestSuggest::newerSortSupersedes()
{
    QFETCH(bool, held);
    TrendTableModel model;
    const TrendRows rows = mixedTrendRows(held ? 2000 : 200000, 13);
    model.setRows(rows);
    std::optional<HeldSorts> holding;
    if (held)
        holding.emplace(model);
    QSignalSpy layouts(&model, &QAbstractItemModel::layoutChanged);
    QSignalSpy finished(&model, &RowListModel::sortFinished);

    model.sort(TrendTableModel::KeywordColumn);
    model.sort(TrendTableModel::CountColumn, Qt::DescendingOrder);
    if (held)
        holding->release();
    QVERIFY(SortDone(model));
    // The older order is never taken, not even for a moment.
    QCOMPARE(layouts.size(), 1);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished[0][0].toInt(), int(TrendTableModel::CountColumn));
    QCOMPARE(finished[0][1].value<Qt::SortOrder>(), Qt::DescendingOrder);
    QCOMPARE(rowTexts(model.rows()), rowTexts(sortedAtOnce(rows, TrendTableModel::CountColumn, false)));
}

void TestSuggest::changeDuringSortIsKept_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("workerDone");

    const QList<std::pair<const char*, int>> changes{
        {"rows appended", TrendTableModel::KeywordColumn},
        {"rows removed", TrendTableModel::KeywordColumn},
        {"table cleared", TrendTableModel::KeywordColumn},
        {"table replaced", TrendTableModel::KeywordColumn},
        {"cell of the sorting column set", TrendTableModel::DateColumn},
        {"cell of another column set", TrendTableModel::KeywordColumn},
    };
    for (const auto& [change, column] : changes) {
        QTest::addRow("%s before the worker starts", change)
            << QString::fromLatin1(change) << column << false;
        QTest::addRow("%s after the worker is done", change) << QString::fromLatin1(change) << column << true;
    }
}

void TestSuggest::changeDuringSortIsKept()
{
    QFETCH(QString, change);
    QFETCH(int, column);
    QFETCH(bool, workerDone);
    TrendTableModel model;
    model.setRows(mixedTrendRows(3000, 17));
    HeldSorts holding(model);
    QSignalSpy finished(&model, &RowListModel::sortFinished);
    model.sort(column);
    if (workerDone)
        holding.releaseAndLetFinish(); // its order waits for the event loop

    const QHash<QString, std::function<void()>> changes{
        {u"rows appended"_s,
         [&] {
             model.appendRow({u"aardvark"_s, u"1/2/2021 3:04:05 AM"_s, u"5"_s});
             model.appendRow({u"Zulu"_s, u"n/a"_s, u"N/A"_s});
         }},
        {u"rows removed"_s,
         [&] {
             model.removeRowList({0, 5, 6, 2999});
         }},
        {u"table cleared"_s, [&] { model.clear(); }},
        {u"table replaced"_s, [&] { model.setRows(mixedTrendRows(500, 19)); }},
        {u"cell of the sorting column set"_s,
         [&] { model.setDateAndCount(1, u"12/31/2099 11:59:59 PM"_s, model.row(1).count); }},
        {u"cell of another column set"_s, [&] { model.setDateAndCount(1, model.row(1).date, u"123,456"_s); }},
    };
    changes.value(change)();
    const TrendRows changed = model.rows();
    holding.release();
    QVERIFY(SortDone(model));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(rowTexts(model.rows()), rowTexts(plainStableSort(changed, column, true)));
}

QTEST_GUILESS_MAIN(TestSuggest)
#include "tst_suggest.moc"
