#include "trends/TrendingFeed.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// (Plain literals here: moc's reader stumbles over some raw ones, and then finds no test class.)
const QByteArray FeedHead = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<rss version=\"2.0\" xmlns:ht=\"https://trends.google.com/trending/rss\" "
                            "xmlns:atom=\"http://www.w3.org/2005/Atom\">\n"
                            "<channel><title>Trending now</title><link>https://trends.example.com/</link>\n";
const QByteArray FeedTail = "</channel></rss>\n";

// One feed of our own: entities and character references, a CDATA section, a Japanese title, an item
// without traffic or news, items without a title, a title a cell cannot hold as it is, and
// elements the reader does not know.
const QByteArray Feed = FeedHead + R"(
<item>
  <title> Fish &amp; chips </title>
  <ht:approx_traffic>20K+</ht:approx_traffic>
  <description></description>
  <link>https://trends.example.com/a</link>
  <pubDate>Wed, 8 Jul 2026 12:50:00 -0700</pubDate>
  <ht:picture>https://img.example.com/p.jpg?a=1&amp;b=2</ht:picture>
  <ht:picture_source>Example Pictures</ht:picture_source>
  <ht:news_item>
    <ht:news_item_title>Chips &lt;up&gt; &#8212; &quot;fish&quot; &#x27;too&#x27;</ht:news_item_title>
    <ht:news_item_snippet>ignored</ht:news_item_snippet>
    <ht:news_item_url>https://news.example.com/1?x=1&amp;y=2</ht:news_item_url>
    <ht:news_item_picture>https://img.example.com/n.jpg</ht:news_item_picture>
    <ht:news_item_source>Example News</ht:news_item_source>
  </ht:news_item>
  <ht:news_item>
    <ht:news_item_title><![CDATA[Second & <last>]]></ht:news_item_title>
    <ht:news_item_url>https://news.example.com/2</ht:news_item_url>
    <ht:news_item_source>Other Paper</ht:news_item_source>
  </ht:news_item>
</item>
<item>
  <title>東京タワー</title>
  <pubDate>Thu, 9 Jul 2026 01:05:00 +0900</pubDate>
</item>
<item><ht:approx_traffic>500+</ht:approx_traffic></item>
<item><title>   </title><ht:approx_traffic>100+</ht:approx_traffic></item>
<item>
  <title>left|right&#9;tab</title>
  <ht:approx_traffic>1M+</ht:approx_traffic>
  <pubDate>not a date</pubDate>
  <extra><title>not the item's</title></extra>
</item>
)" + FeedTail;

QStringList keywordsOf(const QList<TrendingItem>& items)
{
    QStringList keywords;
    for (const TrendingItem& item : items)
        keywords << item.keyword;
    return keywords;
}

QStringList trafficOf(const QList<TrendingItem>& items)
{
    QStringList traffic;
    for (const TrendingItem& item : items)
        traffic << item.traffic;
    return traffic;
}

} // namespace

class TestTrending : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void feedUrl_data();
    void feedUrl();
    void readsFeed();
    void feedShapes_data();
    void feedShapes();
    void rfc822Dates_data();
    void rfc822Dates();
    void trafficLowerBound_data();
    void trafficLowerBound();
};

void TestTrending::feedUrl_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("geo");
    QTest::addColumn<QString>("url");
    QTest::newRow("default") << "https://trends.google.com"
                             << "US"
                             << "https://trends.google.com/trending/rss?geo=US";
    QTest::newRow("own base with a slash") << "http://127.0.0.1:8080/"
                                           << "JP"
                                           << "http://127.0.0.1:8080/trending/rss?geo=JP";
    QTest::newRow("odd code encoded") << "https://t.example"
                                      << "A&B"
                                      << "https://t.example/trending/rss?geo=A%26B";
}

void TestTrending::feedUrl()
{
    QFETCH(QString, base);
    QFETCH(QString, geo);
    QFETCH(QString, url);
    QCOMPARE(TrendingFeedUrl(base, geo), url);
}

void TestTrending::readsFeed()
{
    const std::optional<QList<TrendingItem>> items = ReadTrendingFeed(Feed);
    QVERIFY(items);
    QCOMPARE(keywordsOf(*items), QStringList({u"Fish & chips"_s, u"東京タワー"_s, u"left right tab"_s}));
    QCOMPARE(trafficOf(*items), QStringList({u"20K+"_s, QString(), u"1M+"_s}));

    const TrendingItem& first = items->at(0);
    QCOMPARE(first.published, QDateTime(QDate(2026, 7, 8), QTime(19, 50), Qt::UTC));
    QCOMPARE(first.picture, u"https://img.example.com/p.jpg?a=1&b=2"_s);
    QCOMPARE(first.news, QList<TrendingNews>(
                             {{u"Chips <up> — \"fish\" 'too'"_s, u"https://news.example.com/1?x=1&y=2"_s,
                               u"Example News"_s},
                              {u"Second & <last>"_s, u"https://news.example.com/2"_s, u"Other Paper"_s}}));

    const TrendingItem& second = items->at(1);
    QCOMPARE(second.published, QDateTime(QDate(2026, 7, 8), QTime(16, 5), Qt::UTC));
    QVERIFY(second.picture.isEmpty());
    QVERIFY(second.news.isEmpty());

    QVERIFY(!items->at(2).published.isValid());
}

void TestTrending::feedShapes_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QStringList>("keywords");
    QTest::addColumn<QStringList>("traffic");

    const QByteArray item = "<item><title>a</title><ht:approx_traffic>200+</ht:approx_traffic></item>";
    QTest::newRow("empty channel") << FeedHead + FeedTail << true << QStringList() << QStringList();
    QTest::newRow("other prefix, same namespace")
        << QByteArray(
               R"(<rss version="2.0" xmlns:t="https://trends.google.com/trending/rss"><channel>)"
               R"(<item><title>a</title><t:approx_traffic>5K+</t:approx_traffic></item></channel></rss>)")
        << true << QStringList{u"a"_s} << QStringList{u"5K+"_s};
    QTest::newRow("ISO-8859-1 document")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><rss><channel><item><title>caf\xe9"
                      "</title></item></channel></rss>")
        << true << QStringList{u"café"_s} << QStringList{QString()};
    QTest::newRow("unclosed item") << FeedHead + "<item><title>a</title>" + FeedTail << false << QStringList()
                                   << QStringList();
    QTest::newRow("cut short") << (FeedHead + item + FeedTail).chopped(12) << false << QStringList()
                               << QStringList();
    QTest::newRow("undeclared entity") << FeedHead + "<item><title>a&nbsp;b</title></item>" + FeedTail
                                       << false << QStringList() << QStringList();
    QTest::newRow("undeclared prefix")
        << QByteArray("<rss><channel><item><title>a</title><ht:approx_traffic>1+</ht:approx_traffic></item>"
                      "</channel></rss>")
        << false << QStringList() << QStringList();
    QTest::newRow("a second document after it")
        << FeedHead + item + FeedTail + "<rss></rss>" << false << QStringList() << QStringList();
    QTest::newRow("atom, not rss")
        << QByteArray(R"(<feed xmlns="http://www.w3.org/2005/Atom"><entry><title>a</title></entry></feed>)")
        << false << QStringList() << QStringList();
    QTest::newRow("html page") << QByteArray("<html><body><p>Sorry</p></body></html>") << false
                               << QStringList() << QStringList();
    QTest::newRow("empty body") << QByteArray() << false << QStringList() << QStringList();
    QTest::newRow("json") << QByteArray(R"({"items":[]})") << false << QStringList() << QStringList();
}

void TestTrending::feedShapes()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, readable);
    QFETCH(QStringList, keywords);
    QFETCH(QStringList, traffic);

    const std::optional<QList<TrendingItem>> items = ReadTrendingFeed(body);
    QCOMPARE(items.has_value(), readable);
    if (!items)
        return;
    QCOMPARE(keywordsOf(*items), keywords);
    QCOMPARE(trafficOf(*items), traffic);
}

void TestTrending::rfc822Dates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDateTime>("utc");

    const auto at = [](int day, int hour, int minute, int second = 0) {
        return QDateTime(QDate(2026, 7, day), QTime(hour, minute, second), Qt::UTC);
    };
    QTest::newRow("negative offset") << "Wed, 8 Jul 2026 12:50:00 -0700" << at(8, 19, 50);
    QTest::newRow("positive offset, day before") << "Thu, 09 Jul 2026 01:05:09 +0900" << at(8, 16, 5, 9);
    QTest::newRow("half-hour offset") << "Wed, 8 Jul 2026 12:50:00 +0530" << at(8, 7, 20);
    QTest::newRow("no day name, GMT") << "8 Jul 2026 12:50:00 GMT" << at(8, 12, 50);
    QTest::newRow("no seconds, UT") << "Wed, 8 Jul 2026 12:50 UT" << at(8, 12, 50);
    QTest::newRow("US zone name") << "Wed, 8 Jul 2026 12:50:00 PDT" << at(8, 19, 50);
    QTest::newRow("wrong day name") << "Mon, 8 Jul 2026 12:50:00 +0000" << at(8, 12, 50);
    QTest::newRow("two-digit year") << "Wed, 8 Jul 26 12:50:00 +0000" << at(8, 12, 50);
    QTest::newRow("extra spaces") << "  Wed,  8 Jul 2026   12:50:00 +0000 " << at(8, 12, 50);
    QTest::newRow("empty") << "" << QDateTime();
    QTest::newRow("unknown zone") << "Wed, 8 Jul 2026 12:50:00 XYZ" << QDateTime();
    QTest::newRow("no zone") << "Wed, 8 Jul 2026 12:50:00" << QDateTime();
    QTest::newRow("no such day") << "31 Jun 2026 12:50:00 +0000" << QDateTime();
    QTest::newRow("ISO 8601") << "2026-07-08T12:50:00Z" << QDateTime();
}

void TestTrending::rfc822Dates()
{
    QFETCH(QString, text);
    QFETCH(QDateTime, utc);
    const QDateTime read = Rfc822DateTime(text);
    QCOMPARE(read, utc);
    if (read.isValid())
        QCOMPARE(read.timeSpec(), Qt::UTC);
}

void TestTrending::trafficLowerBound_data()
{
    QTest::addColumn<QString>("traffic");
    QTest::addColumn<qint64>("bound"); // -1: unreadable

    QTest::newRow("2000+") << "2000+" << qint64(2000);
    QTest::newRow("200+") << "200+" << qint64(200);
    QTest::newRow("5K+") << "5K+" << qint64(5000);
    QTest::newRow("20K+") << "20K+" << qint64(20000);
    QTest::newRow("1M+") << "1M+" << qint64(1000000);
    QTest::newRow("commas") << "1,000,000+" << qint64(1000000);
    QTest::newRow("points and spaces") << u"1.000 000+"_s << qint64(1000000);
    QTest::newRow("fraction before a unit") << "1.5M+" << qint64(1500000);
    QTest::newRow("decimal comma before a unit") << "2,5K+" << qint64(2500);
    QTest::newRow("lower case, no plus, spaces") << " 50k " << qint64(50000);
    QTest::newRow("empty") << "" << qint64(-1);
    QTest::newRow("plus alone") << "+" << qint64(-1);
    QTest::newRow("unit alone") << "K+" << qint64(-1);
    QTest::newRow("words") << "lots+" << qint64(-1);
    QTest::newRow("negative") << "-5+" << qint64(-1);
    QTest::newRow("unknown unit") << "5G+" << qint64(-1);
    QTest::newRow("two points before a unit") << "1.2.3K+" << qint64(-1);
    QTest::newRow("too long") << "99999999999999999999+" << qint64(-1);
    QTest::newRow("other digits") << u"٥٠+"_s << qint64(-1);
}

void TestTrending::trafficLowerBound()
{
    QFETCH(QString, traffic);
    QFETCH(qint64, bound);
    const std::optional<qint64> read = TrafficLowerBound(traffic);
    QCOMPARE(read.value_or(-1), bound);
}

QTEST_GUILESS_MAIN(TestTrending)
#include "tst_trending.moc"
