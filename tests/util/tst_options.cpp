#include "util/ProgramOptions.h"

#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestOptions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void defaultsFollowTheLocale_data();
    void defaultsFollowTheLocale();
    void readsTheFile_data();
    void readsTheFile();
    void writesEveryKeyAndReadsItBack();
    void writingKeepsTheWindowsPlaces();
    void writeFailureIsReported();
};

void TestOptions::defaultsFollowTheLocale_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("country");
    QTest::addColumn<QString>("language");
    QTest::newRow("German, Germany") << QLocale(QLocale::German, QLocale::Germany) << u"DE"_s << u"de"_s;
    QTest::newRow("English, UK") << QLocale(QLocale::English, QLocale::UnitedKingdom) << u"GB"_s << u"en"_s;
    QTest::newRow("C locale: US, English") << QLocale::c() << u"US"_s << u"en"_s;
}

void TestOptions::defaultsFollowTheLocale()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, country);
    QFETCH(QString, language);
    QTemporaryDir folder;
    const ProgramOptions options = ReadProgramOptions(folder.filePath(OptionsFileName), locale);
    QCOMPARE(options.geo, QStringList{country});
    QCOMPARE(options.country, country);
    QCOMPARE(options.language, language);
    QCOMPARE(options.trendSource, TrendSource::Trending);
    QCOMPARE(options.engine, SuggestEngine::Google);
    QCOMPARE(options.pauseMin, 0);
    QCOMPARE(options.pauseMax, 7);
    QCOMPARE(options.endpoints, ServiceEndpoints());
}

void TestOptions::readsTheFile_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<ProgramOptions>("expected");

    const ProgramOptions us = ProgramOptions::defaults(QLocale::c());
    ProgramOptions all = us;
    all.trendSource = TrendSource::Classic;
    all.geo = {u"US"_s, u"GB"_s};
    all.engine = SuggestEngine::DuckDuckGo;
    all.language = u"fr"_s;
    all.country = u"CA"_s;
    all.pauseMin = 2;
    all.pauseMax = 9;
    all.endpoints.trends = u"http://127.0.0.1:8080"_s;
    all.endpoints.amazon = u"https://mirror.example/amazon"_s;
    all.theme = LookTheme::Dark;
    QTest::newRow("every key") << QByteArray("[Look]\nTheme=Dark\n[HotTrends]\nSource=classic\nGeo=US, gb\n"
                                             "[Suggest]\nEngine=DuckDuckGo\nLanguage=FR\nCountry=ca\n"
                                             "PauseMin=2\nPauseMax=9\n"
                                             "[Endpoints]\nTrends=http://127.0.0.1:8080/\n"
                                             "Amazon=https://mirror.example/amazon\n")
                               << all;

    QTest::newRow("unknown values fall back one by one")
        << QByteArray(
               "[HotTrends]\nSource=hourly\nGeo=USA,1,\n[Suggest]\nEngine=altavista\nLanguage=english\n"
               "Country=U\nPauseMin=-1\nPauseMax=lots\n[Endpoints]\nBing=ftp://bing.example\n"
               "DuckDuckGo=not an address\n[Look]\nTheme=purple\n")
        << us;

    ProgramOptions swapped = us;
    swapped.pauseMin = 5;
    swapped.pauseMax = 5;
    QTest::newRow("a maximum below the minimum is raised to it")
        << QByteArray("[Suggest]\nPauseMin=5\nPauseMax=3\n") << swapped;

    ProgramOptions geo = us;
    geo.geo = {u"DE"_s, u"FR"_s};
    QTest::newRow("repeated countries once") << QByteArray("[HotTrends]\nGeo=de,FR,DE\n") << geo;
    QTest::newRow("not an INI file") << QByteArray("\x01\x02garbage\n=\n[") << us;
}

void TestOptions::readsTheFile()
{
    QFETCH(QByteArray, text);
    QFETCH(ProgramOptions, expected);
    QTemporaryDir folder;
    writeFile(folder.filePath(OptionsFileName), text);
    QVERIFY(ReadProgramOptions(folder.filePath(OptionsFileName), QLocale::c()) == expected);
}

void TestOptions::writesEveryKeyAndReadsItBack()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(OptionsFileName);
    ProgramOptions options = ProgramOptions::defaults(QLocale::c());
    options.geo = {u"US"_s, u"GB"_s};
    options.engine = SuggestEngine::YouTube;
    options.pauseMax = 12;
    options.theme = LookTheme::Light;
    QCOMPARE(WriteProgramOptions(path, options), QString());
    QVERIFY(ReadProgramOptions(path, QLocale(QLocale::German, QLocale::Germany)) == options);

    const QString written = QString::fromUtf8(readFile(path));
    for (const QString& line :
         {u"[HotTrends]"_s, u"Source=trending"_s, u"Geo=\"US,GB\""_s, u"[Suggest]"_s, u"Engine=youtube"_s,
          u"Language=en"_s, u"Country=US"_s, u"PauseMin=0"_s, u"PauseMax=12"_s, u"[Endpoints]"_s,
          u"Trends=https://trends.google.com"_s, u"GoogleSuggest=https://suggestqueries.google.com"_s,
          u"Bing=https://api.bing.com"_s, u"DuckDuckGo=https://duckduckgo.com"_s,
          u"Amazon=https://completion.amazon.com"_s, u"[Look]"_s, u"Theme=light"_s})
        QVERIFY2(written.contains(line), qPrintable(line + u" in:\n"_s + written));
}

void TestOptions::writingKeepsTheWindowsPlaces()
{
    QTemporaryDir folder;
    const QString path = folder.filePath(OptionsFileName);
    writeFile(path, "[window]\nhistoryPanel=true\n[Suggest]\nEngine=bing\nObsolete=1\n");
    QCOMPARE(WriteProgramOptions(path, ProgramOptions::defaults(QLocale::c())), QString());
    const QString written = QString::fromUtf8(readFile(path));
    QVERIFY2(written.contains(u"historyPanel=true"_s), qPrintable(written));
    QVERIFY2(written.contains(u"Engine=google"_s) && !written.contains(u"Obsolete"_s), qPrintable(written));
}

void TestOptions::writeFailureIsReported()
{
    QTemporaryDir folder;
    // A folder where the file should be cannot be replaced.
    QVERIFY(QDir(folder.path()).mkdir(OptionsFileName));
    QVERIFY(!WriteProgramOptions(folder.filePath(OptionsFileName), ProgramOptions()).isEmpty());
}

QTEST_GUILESS_MAIN(TestOptions)
#include "tst_options.moc"
