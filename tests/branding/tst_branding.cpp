#include "branding/BrandingPicks.h"
#include "branding/BrandingText.h"
#include "crypto/CipherFiles.h"
#include "support/TestFiles.h"
#include "util/TaggedValue.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// One tagged value on a line of its own.
QString line(const QString& name, const QString& value)
{
    return TaggedValue(name, value) + u"\r\n"_s;
}

// Every value read that is not empty, as "name=value", in reading order, then the entries.
QStringList readValues(const BrandingText& branding)
{
    QStringList values;
    for (const auto& [name, value] : BrandingTagValues(branding)) {
        if (!value.isEmpty())
            values << name + u"="_s + value;
    }
    const auto addEntries = [&values](const QString& prefix, const QStringList& entries) {
        for (qsizetype i = 0; i < entries.size(); ++i)
            values << prefix + QString::number(i + 1) + u"="_s + entries[i];
    };
    addEntries(u"Welcome"_s, branding.WelcomeEntries);
    addEntries(u"Banner"_s, branding.BannerEntries);
    addEntries(u"Link"_s, branding.LinkEntries);
    return values;
}

ProcessRun runTool(const QStringList& arguments, const QString& folder)
{
    return runProcess(QStringLiteral(QUILLORY_BRANDING_TOOL), arguments, folder);
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
        << line(u"ApplicationName"_s, u"Keyword Pro"_s) + line(u"BranderCode"_s, u"KP1"_s) +
               line(u"BranderType"_s, u"Gold"_s) + line(u"AffiliateURL"_s, u"http://a.example/"_s) +
               line(u"AffiliateTYPE"_s, u"cb"_s) + line(u"AffiliateID"_s, u"77"_s) +
               line(u"MasterNewsBaseURL"_s, u"http://m/"_s) + line(u"PlatinumNewsBaseURL"_s, u"http://p/"_s) +
               line(u"GoldNewsBaseURL"_s, u"http://g/"_s) + line(u"MasterPublID"_s, u"m1"_s) +
               line(u"PlatinumPublID"_s, u"p1"_s) + line(u"GoldPublID"_s, u"g1"_s) +
               line(u"MakeMoneyButton"_s, u"Earn"_s) + line(u"AppHelpURL"_s, u"http://h/"_s) +
               line(u"CopyrightYears"_s, u"2007"_s) + line(u"CopyrightCompany"_s, u"Kp Ltd"_s) +
               line(u"AboutText"_s, u"About"_s) + line(u"Welcome1"_s, u"<p>w</p>"_s) +
               line(u"Banner1"_s, u"b.gif^http://b/"_s) + line(u"Link1"_s, u"One^http://1/"_s) +
               line(u"Link2"_s, u"Two^http://2/"_s)
        << QStringList{u"ApplicationName=Keyword Pro"_s,
                       u"BranderCode=KP1"_s,
                       u"BranderType=Gold"_s,
                       u"AffiliateURL=http://a.example/"_s,
                       u"AffiliateTYPE=cb"_s,
                       u"AffiliateID=77"_s,
                       u"MasterNewsBaseURL=http://m/"_s,
                       u"PlatinumNewsBaseURL=http://p/"_s,
                       u"GoldNewsBaseURL=http://g/"_s,
                       u"MasterPublID=m1"_s,
                       u"PlatinumPublID=p1"_s,
                       u"GoldPublID=g1"_s,
                       u"MakeMoneyButton=Earn"_s,
                       u"AppHelpURL=http://h/"_s,
                       u"CopyrightYears=2007"_s,
                       u"CopyrightCompany=Kp Ltd"_s,
                       u"AboutText=About"_s,
                       u"Welcome1=<p>w</p>"_s,
                       u"Banner1=b.gif^http://b/"_s,
                       u"Link1=One^http://1/"_s,
                       u"Link2=Two^http://2/"_s};
    // BranderCode stands after three later tags: reading it skips them, and they are not found later.
    QTest::newRow("tags out of order")
        << line(u"ApplicationName"_s, u"A"_s) + line(u"BranderType"_s, u"T"_s) +
               line(u"AffiliateURL"_s, u"U"_s) + line(u"AffiliateID"_s, u"I"_s) +
               line(u"BranderCode"_s, u"C"_s) + line(u"GoldPublID"_s, u"G"_s) +
               line(u"Welcome2"_s, u"late"_s) + line(u"Welcome1"_s, u"w1"_s)
        << QStringList{u"ApplicationName=A"_s, u"BranderCode=C"_s, u"GoldPublID=G"_s, u"Welcome1=w1"_s};
    QTest::newRow("tag names in lower case")
        << "<%%applicationname%%>A<%%/APPLICATIONNAME%%><%%welcome1%%>w<%%/Welcome1%%>"
        << QStringList{u"ApplicationName=A"_s, u"Welcome1=w"_s};
    QTest::newRow("affiliate id twice, and in lower case")
        << line(u"AffiliateURL"_s, u"http://x/?a=%%AFFILIATEID%%&b=%%AFFILIATEID%%&c=%%affiliateid%%"_s) +
               line(u"AffiliateID"_s, u"77"_s)
        << QStringList{u"AffiliateURL=http://x/?a=77&b=77&c=%%affiliateid%%"_s, u"AffiliateID=77"_s};
    QTest::newRow("gaps end the entries")
        << line(u"Welcome1"_s, u"w1"_s) + line(u"Welcome2"_s, u"w2"_s) + line(u"Welcome4"_s, u"w4"_s) +
               line(u"Banner1"_s, u"b1"_s) + line(u"Banner3"_s, u"b3"_s) + line(u"Link2"_s, u"l2"_s)
        << QStringList{u"Welcome1=w1"_s, u"Welcome2=w2"_s, u"Banner1=b1"_s};
    QTest::newRow("an empty entry is a gap")
        << line(u"Link1"_s, u"l1"_s) + line(u"Link2"_s, u""_s) + line(u"Link3"_s, u"l3"_s)
        << QStringList{u"Link1=l1"_s};
    QTest::newRow("one Welcome entry")
        << line(u"Welcome1"_s, u"<html>only</html>"_s) << QStringList{u"Welcome1=<html>only</html>"_s};
    QString seventeen;
    QStringList sixteen;
    for (int n = 1; n <= 17; ++n) {
        seventeen += line(u"Link"_s + QString::number(n), u"L"_s + QString::number(n));
        if (n <= 16)
            sixteen << u"Link"_s + QString::number(n) + u"=L"_s + QString::number(n);
    }
    QTest::newRow("sixteen entries at most") << seventeen << sixteen;
    QTest::newRow("values span lines, untrimmed, text outside tags ignored")
        << "header\r\n<%%AboutText%%>  first\r\nsecond  "
           "<%%/AboutText%%>\r\n<%%LastNewsId%%>12<%%/LastNewsId%%>\r\n"
        << QStringList{u"AboutText=  first\r\nsecond  "_s};
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
    QCOMPARE(branding.LinkEntries, QStringList{u"x^y"_s});
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
    const QString path = dir.filePath(u"dbsettings.dat"_s);
    QVERIFY(EncryptToFile("<%%ApplicationName%%>Pro\xc3\xa9<%%/ApplicationName%%>\r\n", path));
    const std::optional<BrandingText> branding = ReadBrandingFile(path);
    QVERIFY(branding);
    QCOMPARE(branding->Settings.ApplicationName, QString::fromUtf8("Pro\u00e9"));
    QVERIFY(!ReadBrandingFile(path, u"another password"_s));
    QVERIFY(!ReadBrandingFile(dir.filePath(u"absent.dat"_s)));
}

void TestBranding::toolRoundTrip()
{
    QTemporaryDir dir;
    const QByteArray plain = "<%%ApplicationName%%>Name<%%/ApplicationName%%>\r\n";
    writeFile(dir.filePath(u"plain.txt"_s), plain);

    QCOMPARE(runTool({u"encrypt"_s, u"plain.txt"_s, u"dbsettings.dat"_s}, dir.path()).status, 0);
    QCOMPARE(QFileInfo(dir.filePath(u"dbsettings.dat"_s)).size(), plain.size() + 20);
    QCOMPARE(DecryptFileToMemory(dir.filePath(u"dbsettings.dat"_s)).value_or("failed"), plain);
    QCOMPARE(runTool({u"decrypt"_s, u"dbsettings.dat"_s, u"back.txt"_s}, dir.path()).status, 0);
    QCOMPARE(readFile(dir.filePath(u"back.txt"_s)), plain);

    QCOMPARE(runTool({u"--password"_s, u"other"_s, u"encrypt"_s, u"plain.txt"_s, u"other.dat"_s}, dir.path())
                 .status,
             0);
    QCOMPARE(DecryptFileToMemory(dir.filePath(u"other.dat"_s), u"other"_s).value_or("failed"), plain);
    QCOMPARE(runTool({u"decrypt"_s, u"other.dat"_s, u"--password"_s, u"other"_s, u"back2.txt"_s}, dir.path())
                 .status,
             0);
    QCOMPARE(readFile(dir.filePath(u"back2.txt"_s)), plain);
}

void TestBranding::toolRefusesUndecryptableFile_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("encrypted");
    const QByteArray good = [] {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"f"_s);
        return EncryptToFile("<%%ApplicationName%%>Name<%%/ApplicationName%%>", path) ? readFile(path)
                                                                                      : QByteArray();
    }();
    QByteArray damaged = good;
    damaged[15] = char(damaged[15] ^ 1);
    QTest::newRow("decrypt, wrong password")
        << QStringList{u"--password"_s, u"wrong"_s, u"decrypt"_s, u"in.dat"_s, u"out.txt"_s} << good;
    QTest::newRow("decrypt, damaged file") << QStringList{u"decrypt"_s, u"in.dat"_s, u"out.txt"_s} << damaged;
    QTest::newRow("decrypt, truncated file")
        << QStringList{u"decrypt"_s, u"in.dat"_s, u"out.txt"_s} << good.left(19);
    QTest::newRow("show, wrong password")
        << QStringList{u"--password"_s, u"wrong"_s, u"show"_s, u"in.dat"_s} << good;
    QTest::newRow("show, damaged file") << QStringList{u"show"_s, u"in.dat"_s} << damaged;
    QTest::newRow("decrypt, missing file")
        << QStringList{u"decrypt"_s, u"absent.dat"_s, u"out.txt"_s} << good;
}

void TestBranding::toolRefusesUndecryptableFile()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, encrypted);
    QTemporaryDir dir;
    writeFile(dir.filePath(u"in.dat"_s), encrypted);
    const ProcessRun run = runTool(arguments, dir.path());
    QCOMPARE(run.status, 1);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY(run.err.endsWith('\n'));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{u"in.dat"_s});
}

void TestBranding::toolUsageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("nothing") << QStringList{};
    QTest::newRow("unknown command") << QStringList{u"scramble"_s, u"a"_s, u"b"_s};
    QTest::newRow("one file too few") << QStringList{u"encrypt"_s, u"a"_s};
    QTest::newRow("one file too many") << QStringList{u"show"_s, u"a"_s, u"b"_s};
    QTest::newRow("password without value") << QStringList{u"show"_s, u"a"_s, u"--password"_s};
    QTest::newRow("unknown option") << QStringList{u"--force"_s, u"show"_s, u"a"_s};
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
    const QString text = line(u"ApplicationName"_s, u"Pro"_s) + line(u"BranderType"_s, u"Gold"_s) +
                         line(u"BranderCode"_s, u"P1"_s) +
                         line(u"AffiliateURL"_s, u"http://a/?id=%%AFFILIATEID%%"_s) +
                         line(u"AffiliateID"_s, u"9"_s) + line(u"AboutText"_s, u"One\r\nTwo"_s) +
                         line(u"Welcome1"_s, u"<p>Hi</p>"_s) + line(u"Banner1"_s, u"ad.gif^http://b/"_s) +
                         line(u"Banner2"_s, u"ad2.jpg^"_s) + line(u"Banner4"_s, u"never.jpg^"_s) +
                         line(u"Link1"_s, u"Home^http://h/"_s);
    QVERIFY(EncryptToFile(text.toUtf8(), dir.filePath(u"dbsettings.dat"_s)));

    const ProcessRun run = runTool({u"show"_s, u"dbsettings.dat"_s}, dir.path());
    QCOMPARE(run.status, 0);
    QCOMPARE(run.err, QByteArray());
    QCOMPARE(QString::fromUtf8(run.out), u"ApplicationName: Pro\n"
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
                                         "Link1: Home^http://h/\n"_s);
}

QTEST_GUILESS_MAIN(TestBranding)
#include "tst_branding.moc"
