#include "branding/BrandingSettings.h"
#include "crypto/CipherFiles.h"
#include "net/ServiceAddresses.h"
#include "publisher/BalloonPlacement.h"
#include "publisher/DocumentLinks.h"
#include "publisher/LastNewsId.h"
#include "publisher/LiveUpdate.h"
#include "publisher/NewsListModel.h"
#include "publisher/NewsProtocol.h"
#include "support/TestFiles.h"
#include "util/Launcher.h"
#include "util/MessageBoxes.h"
#include "util/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(BalloonSide)

namespace {

enum class Kind { List, Latest, Body };

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : m_name(name)
        , m_old(qgetenv(name))
        , m_wasSet(qEnvironmentVariableIsSet(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_wasSet)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    QByteArray m_old;
    bool m_wasSet;
};

BrandingSettings tieredBranding(const QString& type)
{
    BrandingSettings settings;
    settings.BranderType = type;
    settings.BranderCode = u"QX-7"_s;
    settings.MasterPublID = u"pub-master"_s;
    settings.MasterNewsBaseURL = u"http://master.example/news"_s;
    settings.PlatinumPublID = u"pub-platinum"_s;
    settings.PlatinumNewsBaseURL = u"http://platinum.example/news/"_s;
    settings.GoldPublID = u"pub-gold"_s;
    settings.GoldNewsBaseURL = u"http://gold.example"_s;
    return settings;
}

const NewsTier goldTier{u"BG"_s, u"pub-gold"_s, u"http://gold.example/n"_s};

QByteArray part(const char* name, const QByteArray& value)
{
    return "----------030724090504032\r\nContent-Disposition: form-data; name=\"" + QByteArray(name) +
           "\"\r\n\r\n" + value + "\r\n";
}

QStringList fileNames(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

// The boxes of the update questions, answered from a script (Cancel once it runs out), and the
// programs started, both recorded.
class ScriptedUpdateUser final : public MessageBoxes, public Launcher {
public:
    MsgAnswer show(const QString& text, MsgKind, MsgButtons) override
    {
        shown << text;
        return answers.isEmpty() ? MsgAnswer::Cancel : answers.takeFirst();
    }
    bool startProgram(const QString& program, const QStringList& arguments) override
    {
        started << program + u" "_s + arguments.join(u' ');
        return true;
    }
    bool openUrl(const QUrl&) override { return false; }

    QList<MsgAnswer> answers;
    QStringList shown;
    QStringList started;
};

} // namespace

class TestPublisher : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tiers_data();
    void tiers();
    void requestUrls_data();
    void requestUrls();
    void postBodies_data();
    void postBodies();
    void answers_data();
    void answers();
    void newsRecords_data();
    void newsRecords();
    void newsListModel();
    void announcement_data();
    void announcement();
    void lastNewsIdWrite_data();
    void lastNewsIdWrite();
    void lastNewsIdLeavesBadFileAlone_data();
    void lastNewsIdLeavesBadFileAlone();
    void lastNewsIdRefusesLineBreaks();
    void updateVersions_data();
    void updateVersions();
    void updateDescription_data();
    void updateDescription();
    void fixedTexts();
    void updateAddresses();
    void updaterPath_data();
    void updaterPath();
    void homeUpdaterOnly();
    void updateQuestions_data();
    void updateQuestions();
    void documentLinks_data();
    void documentLinks();
    void balloonPlacement_data();
    void balloonPlacement();
};

void TestPublisher::tiers_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("emptyPublisherId");
    QTest::addColumn<QStringList>("expected"); // product type, publisher id, base URL; empty: no news

    QTest::newRow("master") << "Master" << false
                            << QStringList{u"BM"_s, u"pub-master"_s, u"http://master.example/news"_s};
    QTest::newRow("platinum") << "Platinum" << false
                              << QStringList{u"BP"_s, u"pub-platinum"_s, u"http://platinum.example/news/"_s};
    QTest::newRow("gold") << "Gold" << false << QStringList{u"BG"_s, u"pub-gold"_s, u"http://gold.example"_s};
    QTest::newRow("free") << "Free" << false << QStringList();
    QTest::newRow("empty type") << "" << false << QStringList();
    QTest::newRow("other letter case") << "gold" << false << QStringList();
    QTest::newRow("padded") << "Gold " << false << QStringList();
    QTest::newRow("no publisher id") << "Platinum" << true << QStringList();
}

void TestPublisher::tiers()
{
    QFETCH(QString, type);
    QFETCH(bool, emptyPublisherId);
    QFETCH(QStringList, expected);

    BrandingSettings settings = tieredBranding(type);
    if (emptyPublisherId)
        settings.PlatinumPublID.clear();
    const std::optional<NewsTier> tier = LookUpNewsTier(settings);
    QCOMPARE(tier.has_value(), !expected.isEmpty());
    if (tier)
        QCOMPARE((QStringList{tier->ProductType, tier->PublisherId, tier->NewsBaseUrl}), expected);
}

void TestPublisher::requestUrls_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("listUrl"); // the list and the latest id
    QTest::addColumn<QString>("bodyUrl");

    QTest::newRow("no final slash") << "http://n.example/x"
                                    << "http://n.example/x/getlastnews.php"
                                    << "http://n.example/x/getnewsdetails.php";
    QTest::newRow("final slash") << "http://n.example/x/"
                                 << "http://n.example/x/getlastnews.php"
                                 << "http://n.example/x/getnewsdetails.php";
    QTest::newRow("host only") << "http://n.example"
                               << "http://n.example/getlastnews.php"
                               << "http://n.example/getnewsdetails.php";
    QTest::newRow("empty base") << ""
                                << "/getlastnews.php"
                                << "/getnewsdetails.php";
}

void TestPublisher::requestUrls()
{
    QFETCH(QString, base);
    QFETCH(QString, listUrl);
    QFETCH(QString, bodyUrl);

    const NewsTier tier{u"BM"_s, u"p"_s, base};
    QCOMPARE(NewsListRequest(tier, u"c"_s).Url, listUrl);
    QCOMPARE(LatestNewsRequest(tier, u"c"_s).Url, listUrl);
    QCOMPARE(NewsBodyRequest(tier, u"c"_s, u"1"_s).Url, bodyUrl);
}

void TestPublisher::postBodies_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray account =
        part("memusername", "pub-gold") + part("prodcode", "QX-7") + part("prodtype", "BG");
    const QByteArray tail =
        part("newstarget", "UA") + part("something", "") + "\r\n----------030724090504032--\r\n";
    QTest::newRow("list") << int(Kind::List) << account + part("conttype", "all") + tail;
    QTest::newRow("latest id") << int(Kind::Latest) << account + part("conttype", "lastcode") + tail;
    QTest::newRow("body") << int(Kind::Body) << account + part("newsid", "41") + tail;
}

void TestPublisher::postBodies()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, expected);

    NewsRequest request;
    switch (Kind(kind)) {
    case Kind::List:
        request = NewsListRequest(goldTier, u"QX-7"_s);
        break;
    case Kind::Latest:
        request = LatestNewsRequest(goldTier, u"QX-7"_s);
        break;
    case Kind::Body:
        request = NewsBodyRequest(goldTier, u"QX-7"_s, u"41"_s);
        break;
    }
    // 7 March 2024, 09:05:04.032 local time.
    const QDateTime time(QDate(2024, 3, 7), QTime(9, 5, 4, 32));
    const MultipartForm form = EncodeMultipartForm(request.Fields, time);
    QCOMPARE(form.Body, expected);
    QCOMPARE(form.ContentType, QByteArray("multipart/form-data; boundary=--------030724090504032"));
}

void TestPublisher::answers_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<QStringList>("result"); // records; id and title; or the HTML

    const QString noSite = u"There is a trouble accessing the news site. Contact your provider."_s;
    QTest::newRow("list, no answer") << int(Kind::List) << QByteArray() << false << noSite << QStringList();
    QTest::newRow("latest, blanks only")
        << int(Kind::Latest) << QByteArray(" \r\n\t") << false << noSite << QStringList{u""_s, u""_s};
    QTest::newRow("body, no answer") << int(Kind::Body) << QByteArray() << false << noSite
                                     << QStringList{u""_s};

    QTest::newRow("list, OK alone") << int(Kind::List) << QByteArray("OK\r\n") << true << "" << QStringList();
    QTest::newRow("latest, OK alone")
        << int(Kind::Latest) << QByteArray("OK") << true << "" << QStringList{u""_s, u""_s};
    QTest::newRow("body, OK alone") << int(Kind::Body) << QByteArray("OK") << true << ""
                                    << QStringList{u""_s};

    QTest::newRow("list with records")
        << int(Kind::List)
        << QByteArray("\r\n5^First^Jan 2, 2024\xAF"
                      "6^Second^Feb 3\xAFOK\r\n")
        << true << "" << QStringList{u"5^First^Jan 2, 2024"_s, u"6^Second^Feb 3"_s};
    QTest::newRow("list, empty pieces skipped") << int(Kind::List)
                                                << QByteArray("\xAF\xAF"
                                                              "7^T^P\xAFOK\xAF")
                                                << true << "" << QStringList{u"7^T^P"_s};
    QTest::newRow("list in UTF-8") << int(Kind::List) << QByteArray("8^Caf\xC3\xA9^P\xC2\xAFOK") << true << ""
                                   << QStringList{u"8^Café^P"_s};
    // A UTF-8 server frames its payload with the raw byte all the same.
    QTest::newRow("list in UTF-8, raw frame bytes")
        << int(Kind::List)
        << QByteArray("8^Caf\xC3\xA9 news \xC3\xBC"
                      "ber alles^P\xAF"
                      "9^na\xC3\xAFve^Q\xAFOK")
        << true << "" << QStringList{u"8^Café news über alles^P"_s, u"9^naïve^Q"_s};
    QTest::newRow("list, Windows-1252 record beside a UTF-8 one")
        << int(Kind::List)
        << QByteArray("8^caf\xE9^P\xAF"
                      "9^caf\xC3\xA9^Q\xAFOK")
        << true << "" << QStringList{u"8^café^P"_s, u"9^café^Q"_s};
    QTest::newRow("latest in UTF-8, raw frame byte")
        << int(Kind::Latest) << QByteArray("12^caf\xC3\xA9 \xC3\xBC\xAFOK") << true << ""
        << QStringList{u"12"_s, u"café ü"_s};
    QTest::newRow("body in UTF-8, raw frame byte") << int(Kind::Body)
                                                   << QByteArray("<p>\xC3\xBC"
                                                                 "ber</p>\xAFOK")
                                                   << true << "" << QStringList{u"<p>über</p>"_s};
    QTest::newRow("latest item") << int(Kind::Latest) << QByteArray("12^Big news\xAFOK\r\n") << true << ""
                                 << QStringList{u"12"_s, u"Big news"_s};
    QTest::newRow("latest without title")
        << int(Kind::Latest) << QByteArray("12\xAFOK") << true << "" << QStringList{u"12"_s, u""_s};
    QTest::newRow("body in dollar-hex") << int(Kind::Body) << QByteArray("$3Cb$3Ehi$3C/b$3E\xAFOK") << true
                                        << "" << QStringList{u"<b>hi</b>"_s};
    QTest::newRow("body, Windows-1252 byte")
        << int(Kind::Body) << QByteArray("caf$E9 $26 co\xAFOK") << true << "" << QStringList{u"café & co"_s};
    QTest::newRow("lower-case ok is no success")
        << int(Kind::Latest) << QByteArray("5^x\xAFok") << false << "" << QStringList{u""_s, u""_s};

    const QList<QPair<QByteArray, QString>> words{
        {"CONNECTIONFAIL", u"There is a trouble in the settings file on the news site."_s},
        {"INVALIDUSER", u"There is a trouble with the Publisher Id. Contact your provider."_s},
        {"INVALIDPRODUCT", u"There is a trouble with the product validation. Contact your provider."_s},
        {"INVALIDNEWS", u"There is a trouble with this news. Contact your provider."_s},
        {"SOMETHINGELSE", u""_s},
        {"INVALIDUSERS", u""_s}};
    for (const auto& [word, message] : words) {
        const QByteArray padded = " " + word + "\r\n";
        // Only the body request knows "INVALIDNEWS".
        const QString listMessage = word == "INVALIDNEWS" ? QString() : message;
        QTest::addRow("list, %s", word.constData())
            << int(Kind::List) << padded << false << listMessage << QStringList();
        QTest::addRow("latest, %s", word.constData())
            << int(Kind::Latest) << padded << false << listMessage << QStringList{u""_s, u""_s};
        QTest::addRow("body, %s", word.constData())
            << int(Kind::Body) << padded << false << message << QStringList{u""_s};
    }
}

void TestPublisher::answers()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, answer);
    QFETCH(bool, success);
    QFETCH(QString, warning);
    QFETCH(QStringList, result);

    switch (Kind(kind)) {
    case Kind::List: {
        const NewsListAnswer read = ReadNewsListAnswer(answer);
        QCOMPARE(read.Success, success);
        QCOMPARE(read.Warning, warning);
        QCOMPARE(read.Records, result);
        break;
    }
    case Kind::Latest: {
        const LatestNewsAnswer read = ReadLatestNewsAnswer(answer);
        QCOMPARE(read.Success, success);
        QCOMPARE(read.Warning, warning);
        QCOMPARE((QStringList{read.Id, read.Title}), result);
        break;
    }
    case Kind::Body: {
        const NewsBodyAnswer read = ReadNewsBodyAnswer(answer);
        QCOMPARE(read.Success, success);
        QCOMPARE(read.Warning, warning);
        QCOMPARE(QStringList{read.Html}, result);
        break;
    }
    }
}

void TestPublisher::newsRecords_data()
{
    QTest::addColumn<QString>("record");
    QTest::addColumn<QStringList>("fields");

    QTest::newRow("whole") << "5^Title^March 1" << QStringList{u"5"_s, u"Title"_s, u"March 1"_s};
    QTest::newRow("extra fields ignored")
        << "5^Title^March 1^x^y" << QStringList{u"5"_s, u"Title"_s, u"March 1"_s};
    QTest::newRow("no publication") << "5^Title" << QStringList{u"5"_s, u"Title"_s, u""_s};
    QTest::newRow("id only") << "5" << QStringList{u"5"_s, u""_s, u""_s};
    QTest::newRow("empty title") << "5^^March 1" << QStringList{u"5"_s, u""_s, u"March 1"_s};
}

void TestPublisher::newsRecords()
{
    QFETCH(QString, record);
    QFETCH(QStringList, fields);

    const NewsRecord split = SplitNewsRecord(record);
    QCOMPARE((QStringList{split.Id, split.Title, split.Published}), fields);
}

void TestPublisher::newsListModel()
{
    NewsListModel model;
    model.setRecords({u"5^First^Jan 1"_s, u"6^Second"_s});
    QCOMPARE(model.rowCount(), 2);
    QCOMPARE(model.columnCount(), 2);
    QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), u"News Title"_s);
    QCOMPARE(model.headerData(1, Qt::Horizontal).toString(), u"Published"_s);
    QCOMPARE(model.index(0, 0).data().toString(), u"First"_s);
    QCOMPARE(model.index(0, 1).data().toString(), u"Jan 1"_s);
    QCOMPARE(model.index(1, 1).data().toString(), u""_s);
    QCOMPARE(model.newsId(1), u"6"_s);
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));

    model.setRecords({u"9^Only"_s});
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.newsId(0), u"9"_s);
}

void TestPublisher::announcement_data()
{
    QTest::addColumn<QString>("latest");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("announce");

    QTest::newRow("nothing stored") << "3"
                                    << "" << true;
    QTest::newRow("equal") << "3"
                           << "3" << false;
    QTest::newRow("stored higher") << "3"
                                   << "5" << false;
    QTest::newRow("latest higher") << "12"
                                   << "9" << true;
    QTest::newRow("stored not a number") << "3"
                                         << "abc" << true;
    QTest::newRow("latest not a number") << "abc"
                                         << "0" << false;
    QTest::newRow("latest beyond 32 bits") << "2147483648"
                                           << "5" << false;
    QTest::newRow("largest 32-bit id") << "2147483647"
                                       << "2147483646" << true;
    QTest::newRow("negative stored") << "0"
                                     << "-4" << true;
    QTest::newRow("numbers, not text order") << "10"
                                             << "9" << true;
}

void TestPublisher::announcement()
{
    QFETCH(QString, latest);
    QFETCH(QString, stored);
    QFETCH(bool, announce);

    QCOMPARE(ShouldAnnounceNews(latest, stored), announce);
}

void TestPublisher::lastNewsIdWrite_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("line with other text replaced")
        << QByteArray("<%%ApplicationName%%>Q<%%/ApplicationName%%>\r\n"
                      "x <%%LastNewsId%%>3<%%/LastNewsId%%> y\r\n<%%AboutText%%>A<%%/AboutText%%>\r\n")
        << QByteArray("<%%ApplicationName%%>Q<%%/ApplicationName%%>\r\n"
                      "<%%LastNewsId%%>17<%%/LastNewsId%%>\r\n<%%AboutText%%>A<%%/AboutText%%>\r\n");
    QTest::newRow("appended when absent") << QByteArray("<%%ApplicationName%%>Q<%%/ApplicationName%%>")
                                          << QByteArray("<%%ApplicationName%%>Q<%%/ApplicationName%%>\r\n"
                                                        "<%%LastNewsId%%>17<%%/LastNewsId%%>\r\n");
    QTest::newRow("only the first line replaced")
        << QByteArray("<%%LastNewsId%%>1\n<%%LastNewsId%%>2\n")
        << QByteArray("<%%LastNewsId%%>17<%%/LastNewsId%%>\r\n<%%LastNewsId%%>2\r\n");
    QTest::newRow("start tag matched in its own letter case")
        << QByteArray("<%%LASTNEWSID%%>1<%%/LASTNEWSID%%>\r\n")
        << QByteArray("<%%LASTNEWSID%%>1<%%/LASTNEWSID%%>\r\n<%%LastNewsId%%>17<%%/LastNewsId%%>\r\n");
    QTest::newRow("empty file") << QByteArray() << QByteArray("<%%LastNewsId%%>17<%%/LastNewsId%%>\r\n");
}

void TestPublisher::lastNewsIdWrite()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);

    QTemporaryDir folder;
    const QString path = folder.filePath(u"dbsettings.dat"_s);
    QVERIFY(EncryptToFile(before, path));
    QVERIFY(WriteLastNewsId(path, u"17"_s));

    QCOMPARE(DecryptFileToMemory(path).value_or("(undecryptable)"), after);
    QCOMPARE(fileNames(folder.path()), QStringList{u"dbsettings.dat"_s});
    if (!before.contains("LASTNEWSID"))
        QCOMPARE(ReadLastNewsId(path), u"17"_s);
}

void TestPublisher::lastNewsIdLeavesBadFileAlone_data()
{
    QTest::addColumn<QByteArray>("bytes"); // empty: encrypted with another password

    QTest::newRow("garbage") << QByteArray("this is not an encrypted file at all, just text\r\n");
    QTest::newRow("empty file") << QByteArray("");
    QTest::newRow("another password") << QByteArray();
}

void TestPublisher::lastNewsIdLeavesBadFileAlone()
{
    QFETCH(QByteArray, bytes);

    QTemporaryDir folder;
    const QString path = folder.filePath(u"dbsettings.dat"_s);
    if (bytes.isNull())
        QVERIFY(EncryptToFile("<%%LastNewsId%%>4<%%/LastNewsId%%>\r\n", path, u"another"_s));
    else
        writeFile(path, bytes);
    const QByteArray original = readFile(path);

    QVERIFY(!WriteLastNewsId(path, u"9"_s));
    QCOMPARE(readFile(path), original);
    QCOMPARE(ReadLastNewsId(path), u""_s);
    QCOMPARE(fileNames(folder.path()), QStringList{u"dbsettings.dat"_s});

    // A missing file stays missing.
    const QString missing = folder.filePath(u"missing.dat"_s);
    QVERIFY(!WriteLastNewsId(missing, u"9"_s));
    QCOMPARE(ReadLastNewsId(missing), u""_s);
    QVERIFY(!QFile::exists(missing));
}

void TestPublisher::lastNewsIdRefusesLineBreaks()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(u"dbsettings.dat"_s);
    QVERIFY(EncryptToFile("<%%LastNewsId%%>4<%%/LastNewsId%%>\r\n", path));
    QVERIFY(!WriteLastNewsId(path, u"5\r\n<%%ApplicationName%%>Other<%%/ApplicationName%%>"_s));
    QCOMPARE(ReadLastNewsId(path), u"4"_s);
}

void TestPublisher::updateVersions_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<double>("number");
    QTest::addColumn<bool>("newer"); // than 2.01

    QTest::newRow("same") << "2.01" << 2.01 << false;
    QTest::newRow("next") << "2.02" << 2.02 << true;
    QTest::newRow("one decimal") << "2.1" << 2.1 << true;
    QTest::newRow("trailing zero") << "2.10" << 2.1 << true;
    QTest::newRow("three decimals") << "2.009" << 2.009 << false;
    QTest::newRow("whole number") << "3" << 3.0 << true;
    QTest::newRow("comma") << "2,5" << 0.0 << false;
    QTest::newRow("word") << "latest" << 0.0 << false;
    QTest::newRow("empty") << "" << 0.0 << false;
    QTest::newRow("two points") << "2.1.3" << 0.0 << false;
    QTest::newRow("not a finite number") << "inf" << 0.0 << false;
}

void TestPublisher::updateVersions()
{
    QFETCH(QString, version);
    QFETCH(double, number);
    QFETCH(bool, newer);

    // A locale with a decimal comma must not change how versions read.
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QCOMPARE(VersionNumber(version), number);
    QCOMPARE(IsNewerVersion(version), newer);
    QLocale::setDefault(previous);
}

void TestPublisher::updateDescription_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file
    QTest::addColumn<QString>("version");

    QTest::newRow("usual") << QByteArray("[APPLICATION]\r\nName=Quillory\r\nVersion=2.02\r\n") << "2.02";
    QTest::newRow("line feeds only") << QByteArray("[APPLICATION]\nName=Quillory\nVersion=2.02\n") << "2.02";
    QTest::newRow("no final line break") << QByteArray("[APPLICATION]\r\nVersion=2.02") << "2.02";
    QTest::newRow("section in other letter case") << QByteArray("[Application]\nVersion=2.10\n") << "2.10";
    QTest::newRow("key in other letter case") << QByteArray("[APPLICATION]\r\nversion=2.10\r\n") << "";
    QTest::newRow("exact key among others")
        << QByteArray("[APPLICATION]\r\nVERSION=9\r\nversion=8\r\nVersion=2.01\r\n") << "2.01";
    QTest::newRow("repeated key: the first counts")
        << QByteArray("[APPLICATION]\r\nVersion=2.01\r\nVersion=2.50\r\n") << "2.01";
    QTest::newRow("repeated section: the first counts")
        << QByteArray(
               "[APPLICATION]\r\nVersion=2.01\r\n[OTHER]\r\nVersion=7\r\n[application]\r\nVersion=3\r\n")
        << "2.01";
    QTest::newRow("key only in a repeated section")
        << QByteArray("[APPLICATION]\r\nName=Quillory\r\n[APPLICATION]\r\nVersion=3\r\n") << "";
    QTest::newRow("key before the section")
        << QByteArray("Version=5\r\n[APPLICATION]\r\nVersion=2.02\r\n") << "2.02";
    QTest::newRow("spaces around the equals sign")
        << QByteArray("[APPLICATION]\r\n  Version  =  2.02  \r\n") << "2.02";
    QTest::newRow("spaces inside the brackets")
        << QByteArray("[ APPLICATION ]\r\nVersion=2.02\r\n") << "2.02";
    QTest::newRow("quoted value") << QByteArray("[APPLICATION]\r\nVersion=\"2.02\"\r\n") << "2.02";
    QTest::newRow("comments")
        << QByteArray("; Version=9\r\n[APPLICATION]\r\n;Version=9\r\n# Version=8\r\nVersion=2.02\r\n")
        << "2.02";
    QTest::newRow("byte order mark") << QByteArray("\xef\xbb\xbf[APPLICATION]\r\nVersion=2.02\r\n") << "2.02";
    QTest::newRow("comma kept as written") << QByteArray("[APPLICATION]\r\nVersion=2,5\r\n") << "2,5";
    QTest::newRow("empty value") << QByteArray("[APPLICATION]\r\nVersion=\r\nVersion=9\r\n") << "";
    QTest::newRow("no version key") << QByteArray("[APPLICATION]\r\nName=Quillory\r\n") << "";
    QTest::newRow("other section") << QByteArray("[OTHER]\r\nVersion=9\r\n") << "";
    QTest::newRow("not an INI file") << QByteArray("<html><body>404</body></html>\x00\xff", 31) << "";
    QTest::newRow("no file") << QByteArray() << "";
}

void TestPublisher::updateDescription()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, version);

    QTemporaryDir folder;
    const QString path = folder.filePath(UpdateDescriptionFileName);
    if (!content.isNull())
        writeFile(path, content);
    QCOMPARE(ReadUpdateVersion(path), version);
}

void TestPublisher::fixedTexts()
{
    QCOMPARE(NewsAnnouncementText(u"Spring sale"_s), u"You've Got A Message!\r\nSpring sale"_s);
    QCOMPARE(UpdateOfferQuestion(u"2.10"_s), u"There is a new update: (version 2.10) available for your "
                                             "application!. Do you want download this update now?"_s);
    QCOMPARE(UpdateCloseQuestion, u"To update your software the application will close to\n\rreplace "
                                  "some files. Do you want to update now?"_s);
    QCOMPARE(UpdaterMissingWarning,
             u"The updater module is missing. Please reinstall again the current version!"_s);
    QCOMPARE(NoUpdateMessage, u"There's no new updates for this application!"_s);
}

void TestPublisher::updateAddresses()
{
    {
        const ScopedEnv unset("QUILLORY_UPDATE_URL", QByteArray());
        const QString builtIn = u"http://update.quillory.app/liveupdate/quillory/"_s;
        QCOMPARE(UpdateBaseUrl(), builtIn);
        QCOMPARE(UpdateDescriptionUrl(), builtIn + u"mainappupdate.inf"_s);
        QCOMPARE(UpdaterArguments(), (QStringList{builtIn, u"2.01"_s, u"A"_s}));
    }
    const ScopedEnv local("QUILLORY_UPDATE_URL", "http://127.0.0.1:8123/lu");
    QCOMPARE(UpdateBaseUrl(), u"http://127.0.0.1:8123/lu/"_s);
    QCOMPARE(UpdaterArguments(), (QStringList{u"http://127.0.0.1:8123/lu/"_s, u"2.01"_s, u"A"_s}));
}

void TestPublisher::updaterPath_data()
{
    QTest::addColumn<QStringList>("present"); // the updaters beside the executable
    QTest::addColumn<QString>("expected");
#ifdef Q_OS_WIN
    const QString own = u"Updater.exe"_s;
#else
    const QString own = u"Updater"_s;
#endif
    QTest::newRow("Updater") << QStringList{u"Updater"_s} << u"Updater"_s;
    QTest::newRow("Updater.exe alone") << QStringList{u"Updater.exe"_s} << u"Updater.exe"_s;
    QTest::newRow("both: Updater first") << QStringList{u"Updater.exe"_s, u"Updater"_s} << u"Updater"_s;
    QTest::newRow("a folder named Updater is none")
        << QStringList{u"Updater/"_s, u"Updater.exe"_s} << u"Updater.exe"_s;
    QTest::newRow("none: this system's name") << QStringList{} << own;
}

void TestPublisher::updaterPath()
{
    QFETCH(QStringList, present);
    QFETCH(QString, expected);
    // An installation of the test's own, its executable's folder holding the updaters.
    QTemporaryDir executableFolder;
    for (const QString& name : present) {
        if (name.endsWith(u'/'))
            QVERIFY(QDir(executableFolder.path()).mkdir(name.chopped(1)));
        else
            writeFile(executableFolder.filePath(name), "#!/bin/sh\n");
    }
    SetExecutableFolderForTests(executableFolder.path());
    const auto restore = qScopeGuard([] { SetExecutableFolderForTests(QString()); });
    const ScopedEnv noHome("QUILLORY_HOME", QByteArray());
    QCOMPARE(UpdaterPath(), QDir(executableFolder.path()).filePath(expected));
}

void TestPublisher::homeUpdaterOnly()
{
    // QUILLORY_HOME is the one folder for everything: the updater beside the executable does not count.
    QTemporaryDir executableFolder;
    writeFile(executableFolder.filePath(u"Updater"_s), "#!/bin/sh\n");
    SetExecutableFolderForTests(executableFolder.path());
    const auto restore = qScopeGuard([] { SetExecutableFolderForTests(QString()); });
    QTemporaryDir home;
    const ScopedEnv env("QUILLORY_HOME", home.path().toUtf8());
#ifdef Q_OS_WIN
    const QString own = u"Updater.exe"_s;
#else
    const QString own = u"Updater"_s;
#endif
    QCOMPARE(UpdaterPath(), QDir(home.path()).absoluteFilePath(own));
    QVERIFY(!QFileInfo::exists(UpdaterPath()));
    writeFile(home.filePath(u"Updater.exe"_s), "#!/bin/sh\n");
    QCOMPARE(UpdaterPath(), QDir(home.path()).absoluteFilePath(u"Updater.exe"_s));
}

void TestPublisher::updateQuestions_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<bool>("updaterThere");
    QTest::addColumn<QList<MsgAnswer>>("answers");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<bool>("started");
    const QString offer = UpdateOfferQuestion(u"2.5"_s);
    using A = QList<MsgAnswer>;
    QTest::newRow("nothing newer, asked")
        << "2.01" << false << true << A{} << QStringList{NoUpdateMessage} << false;
    QTest::newRow("nothing fetched, quiet") << "" << true << true << A{} << QStringList{} << false;
    QTest::newRow("offer declined") << "2.5" << true << true << A{} << QStringList{offer} << false;
    QTest::newRow("no updater") << "2.5" << true << false << A{MsgAnswer::Ok}
                                << QStringList{offer, UpdaterMissingWarning} << false;
    QTest::newRow("close declined") << "2.5" << true << true << A{MsgAnswer::Ok}
                                    << QStringList{offer, UpdateCloseQuestion} << false;
    QTest::newRow("updated") << "2.5" << false << true << A{MsgAnswer::Ok, MsgAnswer::Ok}
                             << QStringList{offer, UpdateCloseQuestion} << true;
}

void TestPublisher::updateQuestions()
{
    QFETCH(QString, version);
    QFETCH(bool, quiet);
    QFETCH(bool, updaterThere);
    QFETCH(QList<MsgAnswer>, answers);
    QFETCH(QStringList, shown);
    QFETCH(bool, started);
    QTemporaryDir home;
    const ScopedEnv env("QUILLORY_HOME", home.path().toUtf8());
    if (updaterThere)
        writeFile(UpdaterPath(), "#!/bin/sh\n");
    ScriptedUpdateUser user;
    user.answers = answers;
    QCOMPARE(AskToUpdate(version, quiet, user, user), started);
    QCOMPARE(user.shown, shown);
    QCOMPARE(user.started,
             started ? QStringList{UpdaterPath() + u" "_s + UpdaterArguments().join(u' ')} : QStringList{});
}

void TestPublisher::documentLinks_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("opened");
    QTest::newRow("web") << "http://example.com/a" << true;
    QTest::newRow("secure web, any letter case") << "HTTPS://example.com/" << true;
    QTest::newRow("mail") << "mailto:someone@example.com" << true;
    QTest::newRow("local file") << "file:///etc/passwd" << false;
    QTest::newRow("program") << "javascript:alert(1)" << false;
    QTest::newRow("relative") << "page.html" << false;
}

void TestPublisher::documentLinks()
{
    QFETCH(QString, link);
    QFETCH(bool, opened);
    QCOMPARE(IsSafeDocumentLink(QUrl(link)), opened);
}

void TestPublisher::balloonPlacement_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QPoint>("anchor");
    QTest::addColumn<BalloonSide>("side");
    QTest::addColumn<QRect>("frame");

    // A 200 x 60 balloon: its tip stands 172 from the left (opening left) or 24 (opening right), and
    // 56 down (opening upwards).
    const QRect screen(0, 0, 1000, 800);
    QTest::newRow("room everywhere") << screen << QPoint(500, 400) << BalloonSide::BelowLeft
                                     << QRect(328, 400, 200, 60);
    QTest::newRow("near the left edge")
        << screen << QPoint(50, 400) << BalloonSide::BelowRight << QRect(26, 400, 200, 60);
    QTest::newRow("near the bottom") << screen << QPoint(500, 780) << BalloonSide::AboveLeft
                                     << QRect(328, 724, 200, 60);
    QTest::newRow("near the bottom-left corner")
        << screen << QPoint(50, 780) << BalloonSide::AboveRight << QRect(26, 724, 200, 60);
    QTest::newRow("exactly fitting below-left")
        << screen << QPoint(172, 740) << BalloonSide::BelowLeft << QRect(0, 740, 200, 60);
    QTest::newRow("second screen") << QRect(1000, 0, 800, 600) << QPoint(1030, 300) << BalloonSide::BelowRight
                                   << QRect(1006, 300, 200, 60);
    QTest::newRow("fits nowhere: pushed inside")
        << QRect(0, 0, 300, 100) << QPoint(150, 60) << BalloonSide::BelowLeft << QRect(0, 40, 200, 60);
}

void TestPublisher::balloonPlacement()
{
    QFETCH(QRect, screen);
    QFETCH(QPoint, anchor);
    QFETCH(BalloonSide, side);
    QFETCH(QRect, frame);

    const BalloonPlacement placement = PlaceBalloon(anchor, QSize(200, 60), screen);
    QCOMPARE(placement.Side, side);
    QCOMPARE(placement.Frame, frame);
    if (screen.contains(BalloonFrame(side, anchor, QSize(200, 60))))
        QCOMPARE(placement.Frame.topLeft() + BalloonTip(side, QSize(200, 60)), anchor);
}

QTEST_GUILESS_MAIN(TestPublisher)
#include "tst_publisher.moc"
