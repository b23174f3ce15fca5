#include "net/PageText.h"
#include "suggest/SuggestSource.h"
#include "support/SuggestAnswerBody.h"
#include "util/ProgramOptions.h"

#include <QtTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SuggestEngine)

namespace {

const QString ClassicHost = u"www.example.com"_s;

std::unique_ptr<SuggestSource> sourceFor(SuggestEngine engine, const QString& language = u"en"_s,
                                         const QString& country = u"US"_s)
{
    ProgramOptions options;
    options.engine = engine;
    options.language = language;
    options.country = country;
    return MakeSuggestSource(options, ClassicHost);
}

// Pairs as "suggestion (results)", so that a comparison shows the pairs that differ.
QStringList pairTexts(const QList<SuggestPair>& pairs)
{
    QStringList texts;
    for (const SuggestPair& pair : pairs)
        texts << pair.suggestion + u" ("_s + pair.results + u')';
    return texts;
}

// "\"stem 1\",\"stem 2\",…" for a JSON list.
QByteArray quotedCompletions(int count, const QByteArray& stem)
{
    QByteArrayList items;
    for (int i = 1; i <= count; ++i)
        items << '"' + stem + ' ' + QByteArray::number(i) + '"';
    return items.join(',');
}

QStringList numbered(int count, const QString& stem, const QString& results = {})
{
    QStringList texts;
    for (int i = 1; i <= count; ++i)
        texts << u"%1 %2 (%3)"_s.arg(stem).arg(i).arg(results);
    return texts;
}

} // namespace

class TestSources : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void requestUrl_data();
    void requestUrl();
    void readReply_data();
    void readReply();
    void cutAnswersAreUnreadable_data();
    void cutAnswersAreUnreadable();
};

void TestSources::requestUrl_data()
{
    QTest::addColumn<SuggestEngine>("engine");
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("country");
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("figures");
    QTest::addColumn<QString>("url");

    QTest::newRow("google, space") << SuggestEngine::Google << "en"
                                   << "US"
                                   << ""
                                   << "red shoes"
                                   << "Google" << true
                                   << "https://suggestqueries.google.com/complete/search?client=chrome&hl=en"
                                      "&gl=US&oe=utf-8&q=red%20shoes";
    QTest::newRow("google, own base with slash, non-ASCII")
        << SuggestEngine::Google << "de"
        << "AT"
        << "http://127.0.0.1:8080/" << u"café über"_s << "Google" << true
        << "http://127.0.0.1:8080/complete/search?client=chrome&hl=de&gl=AT&oe=utf-8&q=caf%C3%A9%20%C3%BCber";
    QTest::newRow("youtube, Japanese") << SuggestEngine::YouTube << "ja"
                                       << "JP"
                                       << "" << u"東京"_s << "YouTube" << false
                                       << "https://suggestqueries.google.com/complete/search?client=firefox"
                                          "&ds=yt&hl=ja&gl=JP&q=%E6%9D%B1%E4%BA%AC";
    QTest::newRow("bing, reserved characters")
        << SuggestEngine::Bing << "fr"
        << "FR"
        << ""
        << "a&b=c+d#e"
        << "Bing" << false << "https://api.bing.com/osjson.aspx?query=a%26b%3Dc%2Bd%23e&setlang=fr-FR";
    QTest::newRow("duckduckgo, country first in lower case")
        << SuggestEngine::DuckDuckGo << "de"
        << "AT"
        << ""
        << "red shoes"
        << "DuckDuckGo" << false << "https://duckduckgo.com/ac/?q=red%20shoes&type=list&kl=at-de";
    QTest::newRow("amazon") << SuggestEngine::Amazon << "en"
                            << "US"
                            << ""
                            << "c++ book"
                            << "Amazon" << false
                            << "https://completion.amazon.com/api/2017/suggestions?mid=ATVPDKIKX0DER"
                               "&alias=aps&prefix=c%2B%2B%20book";
    QTest::newRow("classic, as before") << SuggestEngine::Classic << "de"
                                        << "AT"
                                        << "" << u"red wine"_s << "Google (classic)" << true
                                        << "http://www.example.com/complete/search?hl=en&js=true&qu=red+wine";
}

void TestSources::requestUrl()
{
    QFETCH(SuggestEngine, engine);
    QFETCH(QString, language);
    QFETCH(QString, country);
    QFETCH(QString, base);
    QFETCH(QString, phrase);
    QFETCH(QString, name);
    QFETCH(bool, figures);
    QFETCH(QString, url);

    ProgramOptions options;
    options.engine = engine;
    options.language = language;
    options.country = country;
    if (!base.isEmpty()) {
        options.endpoints.googleSuggest = options.endpoints.bing = options.endpoints.duckDuckGo =
            options.endpoints.amazon = base;
    }
    const std::unique_ptr<SuggestSource> source = MakeSuggestSource(options, ClassicHost);
    QCOMPARE(source->name(), name);
    QCOMPARE(source->hasFigures(), figures);
    QCOMPARE(source->requestUrl(phrase), url);
    if (engine == SuggestEngine::Classic)
        QCOMPARE(source->requestUrl(phrase), SuggestQueryUrl(ClassicHost, phrase));
    // What the client sends is the address as written.
    QCOMPARE(QUrl(url).toString(QUrl::FullyEncoded), url);
}

void TestSources::readReply_data()
{
    QTest::addColumn<SuggestEngine>("engine");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QByteArray>("contentType");
    QTest::addColumn<int>("status");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QStringList>("pairs");

    const QByteArray json = "application/json; charset=UTF-8";
    const auto row = [&](const char* name, SuggestEngine engine, const QByteArray& body,
                         const QStringList& pairs, const QByteArray& contentType = "application/json") {
        QTest::newRow(name) << engine << body << contentType << 200 << true << pairs;
    };
    const auto unreadable = [](const char* name, SuggestEngine engine, const QByteArray& body,
                               int status = 200) {
        QTest::newRow(name) << engine << body << QByteArray("application/json") << status << false
                            << QStringList();
    };

    row("google, relevance, navigation left out", SuggestEngine::Google,
        R"(["red",["red shoes","red dress","www.red.example","red wine"],["","","",""],[],)"
        R"({"google:suggestrelevance":[1250,601,600,550],)"
        R"("google:suggesttype":["QUERY","QUERY","NAVIGATION","QUERY"]}])",
        {u"red shoes (1250)"_s, u"red dress (601)"_s, u"red wine (550)"_s}, json);
    row("google, no details", SuggestEngine::Google, R"(["red",["a","b"]])", {u"a ()"_s, u"b ()"_s});
    row("google, short and odd relevance", SuggestEngine::Google,
        R"(["q",["a","b","c"],[],[],{"google:suggestrelevance":[5,"7"]}])",
        {u"a (5)"_s, u"b ()"_s, u"c ()"_s});
    row("google, latin-1 charset", SuggestEngine::Google, "[\"caf\xe9\",[\"caf\xe9 cr\xe8me\"]]",
        {u"café crème ()"_s}, "text/javascript; charset=ISO-8859-1");
    row("google, windows-1252 charset", SuggestEngine::Google, "[\"q\",[\"\x93quoted\x94 \x80\"]]",
        {u"“quoted” € ()"_s}, "application/json; charset=\"windows-1252\"");
    row("google, empty list", SuggestEngine::Google, R"(["zzqx",[],[],[],{}])", {});
    row("google, ten queries of twelve, navigation skipped first", SuggestEngine::Google,
        R"(["q",["www.q.example",)" + quotedCompletions(12, "q") +
            R"(],[],[],{"google:suggesttype":["NAVIGATION"]}])",
        numbered(10, u"q"_s));
    row("google, trimmed, cleaned, empty and non-text skipped", SuggestEngine::Google,
        R"(["q",["  a|b\t ","   ","",1,null,{},"\u2028c\r\nd"]])", {u"a b ()"_s, u"c  d ()"_s});
    unreadable("google, malformed", SuggestEngine::Google, R"(["q",["a")");
    unreadable("google, object instead of array", SuggestEngine::Google, R"({"q":["a","b"]})");
    unreadable("google, completions not a list", SuggestEngine::Google, R"(["q","a"])");
    unreadable("google, empty body", SuggestEngine::Google, "");
    unreadable("google, html page", SuggestEngine::Google, "<html><body>Sorry</body></html>");
    unreadable("google, error status", SuggestEngine::Google, R"(["q",["a"]])", 500);

    row("youtube, nested arrays", SuggestEngine::YouTube,
        R"(["q",[["q one",0,[512,433]],["q two",0],"q three",[],[7,"no"]],{"k":"v"}])",
        {u"q one ()"_s, u"q two ()"_s, u"q three ()"_s});
    row("youtube, UTF-8 without charset", SuggestEngine::YouTube,
        "[\"\xe6\x9d\xb1\",[\"\xe6\x9d\xb1\xe4\xba\xac\"]]", {u"東京 ()"_s}, "text/javascript");
    row("youtube, more than ten", SuggestEngine::YouTube, R"(["q",[)" + quotedCompletions(15, "q") + "]]",
        numbered(10, u"q"_s));
    unreadable("youtube, wrapped in a call", SuggestEngine::YouTube, R"(window.f(["q",["a"]]))");

    row("bing", SuggestEngine::Bing, R"(["red",["red shoes","red wine"]])",
        {u"red shoes ()"_s, u"red wine ()"_s});
    row("bing, empty list", SuggestEngine::Bing, R"(["red",[]])", {});
    unreadable("bing, only the phrase", SuggestEngine::Bing, R"(["red"])");

    row("duckduckgo", SuggestEngine::DuckDuckGo, R"(["red",["red shoes","red wine"]])",
        {u"red shoes ()"_s, u"red wine ()"_s}, "application/x-suggestions+json");
    unreadable("duckduckgo, list of objects", SuggestEngine::DuckDuckGo, R"([{"phrase":"red shoes"}])");

    row("amazon", SuggestEngine::Amazon,
        R"({"alias":"aps","prefix":"red","suggestions":[{"value":"red shoes","type":"KEYWORD"},)"
        R"({"value":" red wine "},{"other":1},"red hat",{"value":"red\u0007dye"}]})",
        {u"red shoes ()"_s, u"red wine ()"_s, u"red dye ()"_s});
    row("amazon, empty list", SuggestEngine::Amazon, R"({"suggestions":[]})", {});
    QByteArrayList amazonMany;
    for (int i = 1; i <= 11; ++i)
        amazonMany << R"({"value":"a )" + QByteArray::number(i) + R"("})";
    row("amazon, more than ten", SuggestEngine::Amazon, R"({"suggestions":[)" + amazonMany.join(',') + "]}",
        numbered(10, u"a"_s));
    unreadable("amazon, array instead of object", SuggestEngine::Amazon, R"(["red",["red shoes"]])");
    unreadable("amazon, no suggestions", SuggestEngine::Amazon, R"({"alias":"aps"})");
    unreadable("amazon, suggestions not a list", SuggestEngine::Amazon, R"({"suggestions":{"value":"a"}})");

    row("classic", SuggestEngine::Classic, SuggestAnswerBody({{"red shoes", "1,200"}, {"red wine", "35"}}),
        {u"red shoes (1,200)"_s, u"red wine (35)"_s}, "text/html");
    row("classic, escaped quotes, Windows-1252", SuggestEngine::Classic,
        SuggestAnswerBody({{"\\x22caf\xe9\\x22", "7"}}), {u"\"café\" (7)"_s}, "text/html");
    row("classic, no entries", SuggestEngine::Classic, "<html>nothing</html>", {}, "text/html");
    unreadable("classic, error status", SuggestEngine::Classic, SuggestAnswerBody({{"a", "1"}}), 404);
}

void TestSources::readReply()
{
    QFETCH(SuggestEngine, engine);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, contentType);
    QFETCH(int, status);
    QFETCH(bool, readable);
    QFETCH(QStringList, pairs);

    const std::optional<QList<SuggestPair>> read = sourceFor(engine)->readReply({status, body, contentType});
    QCOMPARE(read.has_value(), readable);
    if (!read)
        return;
    QCOMPARE(pairTexts(*read), pairs);
    if (engine == SuggestEngine::Classic)
        QCOMPARE(*read, SuggestPairs(SuggestPairText(PageTextFromBody(body))));
}

void TestSources::cutAnswersAreUnreadable_data()
{
    QTest::addColumn<SuggestEngine>("engine");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("google") << SuggestEngine::Google
                            << QByteArray(R"(["q",["q a","q b"],["",""],[],{"google:suggestrelevance":[9,8],)"
                                          R"("google:suggesttype":["QUERY","QUERY"]}])");
    QTest::newRow("youtube") << SuggestEngine::YouTube << QByteArray(R"(["q",[["q a",0,[1]],"q b"]])");
    QTest::newRow("amazon") << SuggestEngine::Amazon
                            << QByteArray(R"({"suggestions":[{"value":"q a"},{"value":"q b"}]})");
}

void TestSources::cutAnswersAreUnreadable()
{
    QFETCH(SuggestEngine, engine);
    QFETCH(QByteArray, body);

    const std::unique_ptr<SuggestSource> source = sourceFor(engine);
    QVERIFY(source->readReply({200, body, {}}).has_value());
    // An answer cut short anywhere is a failed fetch, never a shorter list.
    for (qsizetype length = 0; length < body.size(); ++length)
        QVERIFY2(!source->readReply({200, body.left(length), {}}), body.left(length).constData());
}

QTEST_GUILESS_MAIN(TestSources)
#include "tst_sources.moc"
