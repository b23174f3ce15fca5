#include "branding/BrandingPicks.h"
#include "branding/BrandingText.h"
#include "crypto/CipherFiles.h"
#include "support/TestFiles.h"
#include "util/TaggedValue.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// One tagged value on a line of its own.
QString line(const QString& name, const QString& value)
{
    return TaggedValue(name, value) + "\r\n";
}

// Every value read that is not empty, as "name=value", in reading order, then the entries.
QStringList readValues(const BrandingText& branding)
{
    QStringList values;
    for (const auto& [name, value] : BrandingTagValues(branding)) {
        if (!value.isEmpty())
            values << name + "=" + value;
    }
    const auto addEntries = [&values](const QString& prefix, const QStringList& entries) {
        for (qsizetype i = 0; i < entries.size(); ++i)
            values << prefix + QString::number(i + 1) + "=" + entries[i];
    };
    addEntries("Welcome", branding.WelcomeEntries);
    addEntries("Banner", branding.BannerEntries);
    addEntries("Link", branding.LinkEntries);
    return values;
}

ProcessRun runTool(const QStringList& arguments, const QString& folder)
{
    return runProcess(QUILLORY_BRANDING_TOOL, arguments, folder);
}

} // namespace

class TestBranding : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void parse_data();
    void parse();
    void bytesFollowTheLineRule();
    void bannerPictureName_data();
    void bannerPictureName();
    void splitEntry_data();
    void splitEntry();
    void readEncryptedFile();
    void toolRoundTrip();
    void toolRefusesUndecryptableFile_data();
    void toolRefusesUndecryptableFile();
    void toolUsageErrors_data();
    void toolUsageErrors();
    void toolShowsWhatTheProgramReads();
};

void TestBranding::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("values");

    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("every tag in order")
        << line("ApplicationName", "Keyword Pro") + line("BranderCode", "KP1") + line("BranderType", "Gold") +
               line("AffiliateURL", "http://a.example/") + line("AffiliateTYPE", "cb") +
               line("AffiliateID", "77") + line("MasterNewsBaseURL", "http://m/") +
               line("PlatinumNewsBaseURL", "http://p/") + line("GoldNewsBaseURL", "http://g/") +
               line("MasterPublID", "m1") + line("PlatinumPublID", "p1") + line("GoldPublID", "g1") +
               line("MakeMoneyButton", "Earn") + line("AppHelpURL", "http://h/") +
               line("CopyrightYears", "2007") + line("CopyrightCompany", "Kp Ltd") +
               line("AboutText", "About") + line("Welcome1", "<p>w</p>") +
               line("Banner1", "b.gif^http://b/") + line("Link1", "One^http://1/") +
               line("Link2", "Two^http://2/")
        << QStringList{"ApplicationName=Keyword Pro",
                       "BranderCode=KP1",
                       "BranderType=Gold",
                       "AffiliateURL=http://a.example/",
                       "AffiliateTYPE=cb",
                       "AffiliateID=77",
                       "MasterNewsBaseURL=http://m/",
                       "PlatinumNewsBaseURL=http://p/",
                       "GoldNewsBaseURL=http://g/",
                       "MasterPublID=m1",
                       "PlatinumPublID=p1",
                       "GoldPublID=g1",
                       "MakeMoneyButton=Earn",
                       "AppHelpURL=http://h/",
                       "CopyrightYears=2007",
                       "CopyrightCompany=Kp Ltd",
                       "AboutText=About",
                       "Welcome1=<p>w</p>",
                       "Banner1=b.gif^http://b/",
                       "Link1=One^http://1/",
                       "Link2=Two^http://2/"};
    // BranderCode stands after three later tags: reading it skips them, and they are not found later.
    QTest::newRow("tags out of order")
        << line("ApplicationName", "A") + line("BranderType", "T") + line("AffiliateURL", "U") +
               line("AffiliateID", "I") + line("BranderCode", "C") + line("GoldPublID", "G") +
               line("Welcome2", "late") + line("Welcome1", "w1")
        << QStringList{"ApplicationName=A", "BranderCode=C", "GoldPublID=G", "Welcome1=w1"};
    QTest::newRow("tag names in lower case")
        << "<%%applicationname%%>A<%%/APPLICATIONNAME%%><%%welcome1%%>w<%%/Welcome1%%>"
        << QStringList{"ApplicationName=A", "Welcome1=w"};
    QTest::newRow("affiliate id twice, and in lower case")
        << line("AffiliateURL", "http://x/?a=%%AFFILIATEID%%&b=%%AFFILIATEID%%&c=%%affiliateid%%") +
               line("AffiliateID", "77")
        << QStringList{"AffiliateURL=http://x/?a=77&b=77&c=%%affiliateid%%", "AffiliateID=77"};
    QTest::newRow("gaps end the entries")
        << line("Welcome1", "w1") + line("Welcome2", "w2") + line("Welcome4", "w4") + line("Banner1", "b1") +
               line("Banner3", "b3") + line("Link2", "l2")
        << QStringList{"Welcome1=w1", "Welcome2=w2", "Banner1=b1"};
    QTest::newRow("an empty entry is a gap")
        << line("Link1", "l1") + line("Link2", "") + line("Link3", "l3") << QStringList{"Link1=l1"};
    QTest::newRow("one Welcome entry")
        << line("Welcome1", "<html>only</html>") << QStringList{"Welcome1=<html>only</html>"};
    QString seventeen;
    QStringList sixteen;
    for (int n = 1; n <= 17; ++n) {
        seventeen += line("Link" + QString::number(n), "L" + QString::number(n));
        if (n <= 16)
            sixteen << "Link" + QString::number(n) + "=L" + QString::number(n);
    }
    QTest::newRow("sixteen entries at most") << seventeen << sixteen;
    QTest::newRow("values span lines, untrimmed, text outside tags ignored")
        << "header\r\n<%%AboutText%%>  first\r\nsecond  "
           "<%%/AboutText%%>\r\n<%%LastNewsId%%>12<%%/LastNewsId%%>\r\n"
        << QStringList{"AboutText=  first\r\nsecond  "};
}

void TestBranding::parse()
{
    QFETCH(QString, text);
    QFETCH(QStringList, values);
    QCOMPARE(readValues(ParseBrandingText(text)), values);
}

// Any line end is read, the text is joined again with CR LF, and bytes that are not UTF-8 are
// read as Windows-1252.
void TestBranding::bytesFollowTheLineRule()
{
    const BrandingText branding =
        ParseBrandingBytes("<%%AboutText%%>a\nb\rc\r\nd\x80<%%/AboutText%%>\n<%%Link1%%>x^y<%%/Link1%%>");
    QCOMPARE(branding.Settings.AboutText, QString::fromUtf8("a\r\nb\r\nc\r\nd\u20ac"));
    QCOMPARE(branding.LinkEntries, QStringList{"x^y"});
}

void TestBranding::bannerPictureName_data()
{
    QTest::addColumn<QString>("image");
    QTest::addColumn<QString>("name");
    QTest::newRow("bare name") << "Banner.GIF"
                               << "banner.gif";
    QTest::newRow("Windows folder") << "C:\\Ads\\top.JPG"
                                    << "top.jpg";
    QTest::newRow("drive only") << "D:logo.bmp"
                                << "logo.bmp";
    QTest::newRow("slashes") << "ads/2009/wide.png"
                             << "wide.png";
    QTest::newRow("nothing after the folder") << "ads/"
                                              << "";
}

void TestBranding::bannerPictureName()
{
    QFETCH(QString, image);
    QFETCH(QString, name);
    QCOMPARE(BannerPictureName(image), name);
}

void TestBranding::splitEntry_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("address");
    QTest::newRow("both fields") << "AD.GIF^http://b.example/"
                                 << "AD.GIF"
                                 << "http://b.example/";
    QTest::newRow("nothing after the caret") << "AD.GIF^"
                                             << "AD.GIF"
                                             << "";
    QTest::newRow("no caret") << "Label only"
                              << "Label only"
                              << "";
    QTest::newRow("nothing before the caret") << "^http://x/"
                                              << ""
                                              << "http://x/";
    QTest::newRow("a third field is ignored") << "a^b^c"
                                              << "a"
                                              << "b";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
}

void TestBranding::splitEntry()
{
    QFETCH(QString, entry);
    QFETCH(QString, name);
    QFETCH(QString, address);
    const BrandingEntry fields = SplitBrandingEntry(entry);
    QCOMPARE(fields.Name, name);
    QCOMPARE(fields.Address, address);
}

void TestBranding::readEncryptedFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("dbsettings.dat");
    QVERIFY(EncryptToFile("<%%ApplicationName%%>Pro\xc3\xa9<%%/ApplicationName%%>\r\n", path));
    const std::optional<BrandingText> branding = ReadBrandingFile(path);
    QVERIFY(branding);
    QCOMPARE(branding->Settings.ApplicationName, QString::fromUtf8("Pro\u00e9"));
    QVERIFY(!ReadBrandingFile(path, "another password"));
    QVERIFY(!ReadBrandingFile(dir.filePath("absent.dat")));
}

void TestBranding::toolRoundTrip()
{
    QTemporaryDir dir;
    const QByteArray plain = "<%%ApplicationName%%>Name<%%/ApplicationName%%>\r\n";
    writeFile(dir.filePath("plain.txt"), plain);

    QCOMPARE(runTool({"encrypt", "plain.txt", "dbsettings.dat"}, dir.path()).status, 0);
    QCOMPARE(QFileInfo(dir.filePath("dbsettings.dat")).size(), plain.size() + 20);
    QCOMPARE(DecryptFileToMemory(dir.filePath("dbsettings.dat")).value_or("failed"), plain);
    QCOMPARE(runTool({"decrypt", "dbsettings.dat", "back.txt"}, dir.path()).status, 0);
    QCOMPARE(readFile(dir.filePath("back.txt")), plain);

    QCOMPARE(runTool({"--password", "other", "encrypt", "plain.txt", "other.dat"}, dir.path()).status, 0);
    QCOMPARE(DecryptFileToMemory(dir.filePath("other.dat"), "other").value_or("failed"), plain);
    QCOMPARE(runTool({"decrypt", "other.dat", "--password", "other", "back2.txt"}, dir.path()).status, 0);
    QCOMPARE(readFile(dir.filePath("back2.txt")), plain);
}

void TestBranding::toolRefusesUndecryptableFile_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("encrypted");
    const QByteArray good = [] {
        QTemporaryDir dir;
        const QString path = dir.filePath("f");
        return EncryptToFile("<%%ApplicationName%%>Name<%%/ApplicationName%%>", path) ? readFile(path)
                                                                                      : QByteArray();
    }();
    QByteArray damaged = good;
    damaged[15] = char(damaged[15] ^ 1);
    QTest::newRow("decrypt, wrong password")
        << QStringList{"--password", "wrong", "decrypt", "in.dat", "out.txt"} << good;
    QTest::newRow("decrypt, damaged file") << QStringList{"decrypt", "in.dat", "out.txt"} << damaged;
    QTest::newRow("decrypt, truncated file") << QStringList{"decrypt", "in.dat", "out.txt"} << good.left(19);
    QTest::newRow("show, wrong password") << QStringList{"--password", "wrong", "show", "in.dat"} << good;
    QTest::newRow("show, damaged file") << QStringList{"show", "in.dat"} << damaged;
    QTest::newRow("decrypt, missing file") << QStringList{"decrypt", "absent.dat", "out.txt"} << good;
}

void TestBranding::toolRefusesUndecryptableFile()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, encrypted);
    QTemporaryDir dir;
    writeFile(dir.filePath("in.dat"), encrypted);
    const ProcessRun run = runTool(arguments, dir.path());
    QCOMPARE(run.status, 1);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY(run.err.endsWith('\n'));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"in.dat"});
}

void TestBranding::toolUsageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("unknown command") << QStringList{"scramble", "a", "b"};
    QTest::newRow("one file too few") << QStringList{"encrypt", "a"};
    QTest::newRow("one file too many") << QStringList{"show", "a", "b"};
    QTest::newRow("password without value") << QStringList{"show", "a", "--password"};
    QTest::newRow("unknown option") << QStringList{"--force", "show", "a"};
}

void TestBranding::toolUsageErrors()
{
    QFETCH(QStringList, arguments);
    QTemporaryDir dir;
    const ProcessRun run = runTool(arguments, dir.path());
    QCOMPARE(run.status, 2);
    QVERIFY(run.err.contains("Usage: quillory-branding"));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

void TestBranding::toolShowsWhatTheProgramReads()
{
    QTemporaryDir dir;
    const QString text = line("ApplicationName", "Pro") + line("BranderType", "Gold") +
                         line("BranderCode", "P1") + line("AffiliateURL", "http://a/?id=%%AFFILIATEID%%") +
                         line("AffiliateID", "9") + line("AboutText", "One\r\nTwo") +
                         line("Welcome1", "<p>Hi</p>") + line("Banner1", "ad.gif^http://b/") +
                         line("Banner2", "ad2.jpg^") + line("Banner4", "never.jpg^") +
                         line("Link1", "Home^http://h/");
    QVERIFY(EncryptToFile(text.toUtf8(), dir.filePath("dbsettings.dat")));

    const ProcessRun run = runTool({"show", "dbsettings.dat"}, dir.path());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(QString::fromUtf8(run.out), QString("ApplicationName: Pro\n"
                                                 "BranderCode: P1\n"
                                                 "BranderType:\n"
                                                 "AffiliateURL: http://a/?id=9\n"
                                                 "AffiliateTYPE:\n"
                                                 "AffiliateID: 9\n"
                                                 "MasterNewsBaseURL:\n"
                                                 "PlatinumNewsBaseURL:\n"
                                                 "GoldNewsBaseURL:\n"
                                                 "MasterPublID:\n"
                                                 "PlatinumPublID:\n"
                                                 "GoldPublID:\n"
                                                 "MakeMoneyButton:\n"
                                                 "AppHelpURL:\n"
                                                 "CopyrightYears:\n"
                                                 "CopyrightCompany:\n"
                                                 "AboutText:\n"
                                                 "    One\n"
                                                 "    Two\n"
                                                 "Welcome1: <p>Hi</p>\n"
                                                 "Banner1: ad.gif^http://b/\n"
                                                 "Banner2: ad2.jpg^\n"
                                                 "Link1: Home^http://h/\n"));
}

QTEST_GUILESS_MAIN(TestBranding)
#include "tst_branding.moc"
