#include "app/AppFixture.h"
#include "crypto/CipherFiles.h"
#include "publisher/LastNewsId.h"
#include "publisher/ui/FAbout.h"
#include "publisher/ui/FNews.h"
#include "publisher/ui/NewsBalloon.h"
#include "publisher/ui/OfflineHtmlView.h"
#include "support/ScriptedHttpServer.h"
#include "support/TestRegistry.h"
#include "util/ui/ClickableLabel.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QString tag(const QString& name, const QString& value)
{
    return u"<%%"_s + name + u"%%>"_s + value + u"<%%/"_s + name + u"%%>\r\n"_s;
}

// The server's framing of a payload: payload, the byte 0xAF, "OK".
QByteArray framed(const QByteArray& payload)
{
    return payload + "\xaf"
                     "OK";
}

// The fields of a news post in order, each as "name=value".
QStringList formFields(const QByteArray& request)
{
    QStringList fields;
    const QList<QByteArray> parts = request.split('\n');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QByteArray line = parts[i].trimmed();
        if (line.startsWith("Content-Disposition: form-data; name=\"") && i + 2 < parts.size())
            fields << QString::fromUtf8(line.mid(38).chopped(1) + "=" + parts[i + 2].trimmed());
    }
    return fields;
}

} // namespace

class TestPublisherFlows : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void startupCheckPostsAndThenChecksForUpdate();
    void announcement_data();
    void announcement();
    void noNewsAccountMeansNoRequest_data();
    void noNewsAccountMeansNoRequest();
    void checkNews_data();
    void checkNews();
    void newsWindowRemembersTheLastItemRead();
    void readOnlyInstallationKeepsTheNewsReadInTheDataFolder();
    void update_data();
    void update();
    void failedUpdateCheckSaysItFailed_data();
    void failedUpdateCheckSaysItFailed();
    void updaterBesideReadOnlyExecutable();
    void aboutBox();
    void outboundLinks();
    void emptyAddressOpensTheBrowserBare_data();
    void emptyAddressOpensTheBrowserBare();
    void linkNotOpenedIsToldWithItsAddress_data();
    void linkNotOpenedIsToldWithItsAddress();

private:
    // Writes the branding file, into the program folder unless `path` names another place.
    void brand(const QString& tier, const QString& publisherId, const QString& path = QString());
    // A browser of the test's own, registered for http addresses (until the test ends); its path.
    QString registerBrowser();
    // Check News with items 7 and 5, the user opening item 5; the body shown.
    QString readNewsItemFive();
    void makeWindow() { m_window = m_fixture->makeWindow(); }
    void serveUpdate(const QByteArray& version)
    {
        m_server->enqueue(
            ScriptedHttpServer::ok("[APPLICATION]\r\nName=Quillory\r\nVersion=" + version + "\r\n"));
    }
    QByteArray post(qsizetype index) const { return m_server->requests().value(index); }

    std::unique_ptr<AppFixture> m_fixture;
    std::unique_ptr<ScriptedHttpServer> m_server;
    std::unique_ptr<TfrmMain> m_window;
    FakeSeams* m_fakes = nullptr;
};

void TestPublisherFlows::init()
{
    m_fixture = std::make_unique<AppFixture>();
    m_fakes = &m_fixture->fakes;
    m_fakes->clock->current = QDateTime(QDate(2026, 12, 10), QTime(14, 15, 7, 89));
    m_server = std::make_unique<ScriptedHttpServer>();
    qputenv("QUILLORY_UPDATE_URL", m_server->url(u"/liveupdate/quillory/"_s).toEncoded());
}

void TestPublisherFlows::cleanup()
{
    m_window.reset();
    m_server.reset();
    m_fixture.reset();
    for (const char* variable : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"})
        qunsetenv(variable);
}

void TestPublisherFlows::brand(const QString& tier, const QString& publisherId, const QString& path)
{
    const QString news = m_server->url(u"/news"_s).toString();
    const QString text = tag(u"ApplicationName"_s, u"Acme"_s) + tag(u"BranderCode"_s, u"AC1"_s) +
                         tag(u"BranderType"_s, tier) + tag(u"MasterNewsBaseURL"_s, news) +
                         tag(u"PlatinumNewsBaseURL"_s, news + u"/"_s) + tag(u"GoldNewsBaseURL"_s, u""_s) +
                         tag(u"MasterPublID"_s, publisherId) + tag(u"PlatinumPublID"_s, publisherId) +
                         tag(u"AppHelpURL"_s, u"http://help.example/"_s) +
                         tag(u"AboutText"_s, u"Line one\r\nLine two"_s);
    QVERIFY(EncryptToFile(text.toUtf8(), path.isEmpty() ? m_fixture->file(u"dbsettings.dat"_s) : path));
}

void TestPublisherFlows::startupCheckPostsAndThenChecksForUpdate()
{
    brand(u"Master"_s, u"pub7"_s);
    makeWindow();
    m_server->enqueue(ScriptedHttpServer::ok("  OK  "));
    serveUpdate("2.01");
    QCoro::waitFor(m_window->Timer1Timer());
    QVERIFY(!control<QTimer>(*m_window, "Timer1")->isActive());
    QCOMPARE(m_server->requests().size(), 2);

    // The post, byte for byte up to its body.
    const QByteArray boundary = "--------121026141507089";
    const QByteArray body = post(0).mid(post(0).indexOf("\r\n\r\n") + 4);
    QCOMPARE(
        post(0).left(post(0).indexOf("\r\n\r\n") + 4),
        "POST /news/getlastnews.php HTTP/1.0\r\nConnection: keep-alive\r\nContent-Type: multipart/form-data; "
        "boundary=" +
            boundary + "\r\nContent-Length: " + QByteArray::number(body.size()) +
            "\r\nHost: 127.0.0.1:" + QByteArray::number(m_server->port()) +
            "\r\nAccept: text/html, */*\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 5.5; Windows NT "
            "4.0)\r\n\r\n");
    QVERIFY(body.startsWith("--" + boundary +
                            "\r\nContent-Disposition: form-data; name=\"memusername\"\r\n\r\npub7\r\n"));
    QVERIFY(body.endsWith("\r\n--" + boundary + "--\r\n"));
    QCOMPARE(formFields(post(0)), (QStringList{u"memusername=pub7"_s, u"prodcode=AC1"_s, u"prodtype=BM"_s,
                                               u"conttype=lastcode"_s, u"newstarget=UA"_s, u"something="_s}));

    // The update check that follows keeps the connection value and the content type of the post.
    QCOMPARE(m_server->requestLines()[1], "GET /liveupdate/quillory/mainappupdate.inf HTTP/1.1");
    QVERIFY(
        post(1).startsWith("GET /liveupdate/quillory/mainappupdate.inf HTTP/1.1\r\nConnection: keep-alive\r\n"
                           "Content-Type: multipart/form-data; boundary=" +
                           boundary + "\r\nHost: "));
    QVERIFY(m_fakes->messages->shown.isEmpty()); // quiet: no update, no message
}

void TestPublisherFlows::announcement_data()
{
    QTest::addColumn<QString>("stored"); // empty: no stored id
    QTest::addColumn<bool>("announced");
    QTest::newRow("nothing stored") << "" << true;
    QTest::newRow("not a number") << "abc" << true;
    QTest::newRow("older stored") << "11" << true;
    QTest::newRow("same stored") << "12" << false;
    QTest::newRow("newer stored") << "13" << false;
}

void TestPublisherFlows::announcement()
{
    QFETCH(QString, stored);
    QFETCH(bool, announced);
    brand(u"Platinum"_s, u"pub9"_s);
    if (!stored.isEmpty())
        QVERIFY(WriteLastNewsId(m_fixture->file(u"dbsettings.dat"_s), stored));
    makeWindow();
    m_window->show();
    m_server->enqueue(ScriptedHttpServer::ok(framed("12^Big news^2026-12-01")));
    QCoro::waitFor(m_window->Timer1Timer());
    QCOMPARE(m_server->requestLines()[0], "POST /news/getlastnews.php HTTP/1.0");
    QCOMPARE(NewsBalloon::current() != nullptr, announced);
    if (announced)
        QCOMPARE(NewsBalloon::current()->text(), u"You've Got A Message!\nBig news"_s);
    // The announcement does not count as reading.
    QCOMPARE(ReadLastNewsId(m_fixture->file(u"dbsettings.dat"_s)), stored);
}

void TestPublisherFlows::noNewsAccountMeansNoRequest_data()
{
    QTest::addColumn<QString>("tier");
    QTest::addColumn<QString>("publisherId");
    QTest::newRow("free") << "Free"
                          << "pub7";
    QTest::newRow("lower-case tier") << "master"
                                     << "pub7";
    QTest::newRow("no publisher id") << "Master"
                                     << "";
}

void TestPublisherFlows::noNewsAccountMeansNoRequest()
{
    QFETCH(QString, tier);
    QFETCH(QString, publisherId);
    brand(tier, publisherId);
    makeWindow();
    QCoro::waitFor(m_window->Timer1Timer());
    QCOMPARE(m_server->requestLines(),
             QList<QByteArray>{"GET /liveupdate/quillory/mainappupdate.inf HTTP/1.1"});
    QCoro::waitFor(m_window->publisher()->btnNewsClick());
    QCOMPARE(m_server->requests().size(), 1);
    QCOMPARE(m_fakes->messages->shown.last().text, u"There's no news for this application!"_s);
}

void TestPublisherFlows::checkNews_data()
{
    QTest::addColumn<ScriptedHttpServer::Reply>("reply");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("newsWindows");

    const QString noNews = u"There's no news for this application!"_s;
    QTest::newRow("records") << ScriptedHttpServer::ok(framed("1^One^Mon\xaf"
                                                              "2^Two^Tue"))
                             << QStringList{} << 1;
    QTest::newRow("OK alone") << ScriptedHttpServer::ok("OK") << QStringList{noNews} << 0;
    QTest::newRow("unreachable")
        << ScriptedHttpServer::status(500)
        << QStringList{u"There is a trouble accessing the news site. Contact your provider."_s, noNews} << 0;
    QTest::newRow("invalid user")
        << ScriptedHttpServer::ok(" INVALIDUSER\r\n")
        << QStringList{u"There is a trouble with the Publisher Id. Contact your provider."_s, noNews} << 0;
    QTest::newRow("invalid news is not a list word")
        << ScriptedHttpServer::ok("INVALIDNEWS") << QStringList{noNews} << 0;
}

void TestPublisherFlows::checkNews()
{
    QFETCH(ScriptedHttpServer::Reply, reply);
    QFETCH(QStringList, messages);
    QFETCH(int, newsWindows);
    brand(u"Master"_s, u"pub7"_s);
    makeWindow();
    m_server->enqueue(reply);
    int rows = -1;
    m_fakes->dialogs->answers.enqueue([&rows](QDialog& dialog) {
        auto& news = static_cast<TfrmNews&>(dialog);
        news.FormShow();
        rows = control<QTableView>(news, "lvwItems")->model()->rowCount();
        return int(QDialog::Accepted);
    });
    QCoro::waitFor(m_window->publisher()->btnNewsClick());
    QCOMPARE(formFields(post(0)).value(3), u"conttype=all"_s);
    QStringList shown;
    for (const ShownMessage& message : m_fakes->messages->shown)
        shown << message.text;
    QCOMPARE(shown, messages);
    QCOMPARE(m_fakes->dialogs->titles.size(), newsWindows);
    if (newsWindows)
        QCOMPARE(rows, 2);
}

QString TestPublisherFlows::readNewsItemFive()
{
    m_server->enqueue(ScriptedHttpServer::ok(framed("7^Seven^Mon\xaf"
                                                    "5^Five^Tue")));
    m_server->enqueue(
        ScriptedHttpServer::ok(framed("$3Cb$3EFive$3C/b$3E <a href=\"http://acme.example/\">x</a>")));
    QString html;
    m_fakes->dialogs->answers.enqueue([&html](QDialog& dialog) -> int {
        auto& news = static_cast<TfrmNews&>(dialog);
        news.FormShow();
        control<QTableView>(news, "lvwItems")->selectRow(1);
        if (!QTest::qWaitFor(
                [&news] { return !news.NewsBusy && !news.prfEditorNews->toPlainText().isEmpty(); }, 5000))
            return int(QDialog::Rejected);
        html = news.prfEditorNews->toHtml();
        Q_EMIT news.prfEditorNews->anchorClicked(QUrl(u"http://acme.example/"_s));
        return int(QDialog::Accepted);
    });
    QCoro::waitFor(m_window->publisher()->btnNewsClick());
    return html;
}

void TestPublisherFlows::newsWindowRemembersTheLastItemRead()
{
    brand(u"Master"_s, u"pub7"_s);
    makeWindow();
    const QString html = readNewsItemFive();
    QCOMPARE(formFields(post(1)), (QStringList{u"memusername=pub7"_s, u"prodcode=AC1"_s, u"prodtype=BM"_s,
                                               u"newsid=5"_s, u"newstarget=UA"_s, u"something="_s}));
    QCOMPARE(m_server->requestLines()[1], "POST /news/getnewsdetails.php HTTP/1.0");
    QVERIFY(html.contains(u"Five"_s));
    QCOMPARE(ReadLastNewsId(m_fixture->file(u"dbsettings.dat"_s)), u"5"_s);
    QCOMPARE(m_fakes->launcher->opened, QList<QUrl>{QUrl(u"http://acme.example/"_s)});
    QVERIFY(!QFile::exists(m_fixture->file(u"dbsettings.sim"_s)));
}

void TestPublisherFlows::readOnlyInstallationKeepsTheNewsReadInTheDataFolder()
{
    ReadOnlyInstall install;
    brand(u"Master"_s, u"pub7"_s, install.installFile(u"dbsettings.dat"_s));
    QString error;
    if (!install.lock(&error))
        QSKIP(qPrintable(u"the executable's folder cannot be made read-only: "_s + error));
    const QByteArray shipped = readFile(install.installFile(u"dbsettings.dat"_s));
    makeWindow();
    QVERIFY(readNewsItemFive().contains(u"Five"_s));

    // The branding file beside the executable stays as shipped; the data folder keeps the id.
    QCOMPARE(readFile(install.installFile(u"dbsettings.dat"_s)), shipped);
    QCOMPARE(ReadLastNewsId(install.dataFile(u"dbsettings.dat"_s)), u"5"_s);
    // The start-up check reads it there: item 5 is not announced again, a newer one is.
    m_window->show();
    for (const QByteArray& latest : {QByteArray("5^Five^Tue"), QByteArray("8^Eight^Wed")}) {
        m_server->enqueue(ScriptedHttpServer::ok(framed(latest)));
        serveUpdate("2.01");
        QCoro::waitFor(m_window->Timer1Timer());
        QCOMPARE(NewsBalloon::current() != nullptr, latest.startsWith('8'));
    }
    QCOMPARE(NewsBalloon::current()->text(), u"You've Got A Message!\nEight"_s);
    // The branding itself still comes from beside the executable.
    QCOMPARE(m_window->windowTitle(), u"Acme v2.01"_s);
    delete NewsBalloon::current();
    m_window.reset();
}

void TestPublisherFlows::update_data()
{
    QTest::addColumn<QByteArray>("version");
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<bool>("updaterPresent");
    QTest::addColumn<QList<MsgAnswer>>("answers"); // offer, close question, close confirmation
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("closing");

    const QString none = u"There's no new updates for this application!"_s;
    const QString offer = u"There is a new update: (version %1) available for your application!. Do you want "
                          "download this update now?"_s;
    const QString closeQuestion =
        u"To update your software the application will close to\n\rreplace some files. "
        "Do you want to update now?"_s;
    const QString closeBox =
        u"If you close you will stop to monitor data. Remember you can always\r\nminimize to "
        "tray. Do you want to close your application?"_s;
    const QList<MsgAnswer> yes{MsgAnswer::Ok, MsgAnswer::Ok, MsgAnswer::Ok};
    QTest::newRow("same version") << QByteArray("2.01") << false << true << yes << QStringList{none} << false
                                  << false;
    QTest::newRow("same version, quiet")
        << QByteArray("2.01") << true << true << yes << QStringList{} << false << false;
    QTest::newRow("comma") << QByteArray("2,5") << false << true << yes << QStringList{none} << false
                           << false;
    QTest::newRow("a word") << QByteArray("latest") << false << true << yes << QStringList{none} << false
                            << false;
    QTest::newRow("newer, all confirmed")
        << QByteArray("2.02") << false << true << yes
        << QStringList{offer.arg(u"2.02"_s), closeQuestion, closeBox} << true << true;
    QTest::newRow("2.1 is newer, quiet still asks")
        << QByteArray("2.1") << true << true << yes
        << QStringList{offer.arg(u"2.1"_s), closeQuestion, closeBox} << true << true;
    QTest::newRow("offer declined") << QByteArray("2.02") << false << true
                                    << QList<MsgAnswer>{MsgAnswer::Cancel}
                                    << QStringList{offer.arg(u"2.02"_s)} << false << false;
    QTest::newRow("close question declined")
        << QByteArray("2.02") << false << true << QList<MsgAnswer>{MsgAnswer::Ok, MsgAnswer::Cancel}
        << QStringList{offer.arg(u"2.02"_s), closeQuestion} << false << false;
    QTest::newRow("close declined: updater started, program stays")
        << QByteArray("2.02") << false << true
        << QList<MsgAnswer>{MsgAnswer::Ok, MsgAnswer::Ok, MsgAnswer::Cancel}
        << QStringList{offer.arg(u"2.02"_s), closeQuestion, closeBox} << true << false;
    QTest::newRow("updater missing")
        << QByteArray("2.02") << false << false << yes
        << QStringList{offer.arg(u"2.02"_s),
                       u"The updater module is missing. Please reinstall again the current "
                       "version!"_s}
        << false << false;
}

void TestPublisherFlows::update()
{
    QFETCH(QByteArray, version);
    QFETCH(bool, quiet);
    QFETCH(bool, updaterPresent);
    QFETCH(QList<MsgAnswer>, answers);
    QFETCH(QStringList, messages);
    QFETCH(bool, started);
    QFETCH(bool, closing);
    const QString updater =
        m_fixture->file(QSysInfo::productType() == u"windows"_s ? u"Updater.exe"_s : u"Updater"_s);
    if (updaterPresent) {
        writeFile(updater, "#!/bin/sh\nexit 0\n");
        QFile::setPermissions(updater, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    makeWindow();
    m_window->show();
    serveUpdate(version);
    for (const MsgAnswer answer : answers)
        m_fakes->messages->answers.enqueue(answer);
    QCoro::waitFor(m_window->publisher()->CheckForUpdate(quiet));

    QStringList shown;
    for (const ShownMessage& message : m_fakes->messages->shown)
        shown << message.text;
    QCOMPARE(shown, messages);
    QCOMPARE(m_fakes->launcher->started.size(), started ? 1 : 0);
    if (started) {
        QCOMPARE(m_fakes->launcher->started[0].first, updater);
        QCOMPARE(m_fakes->launcher->started[0].second,
                 (QStringList{m_server->url(u"/liveupdate/quillory/"_s).toString(), u"2.01"_s, u"A"_s}));
    }
    QCOMPARE(m_window->isClosing(), closing);
    // The description stays in the program folder after the check.
    QVERIFY(readFile(m_fixture->file(u"mainappupdate.inf"_s)).contains("Version=" + version));
}

void TestPublisherFlows::failedUpdateCheckSaysItFailed_data()
{
    QTest::addColumn<int>("status"); // 0: the connection is closed without an answer
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<QString>("reason"); // what the box says of it; empty: no box
    QTest::newRow("not found") << 404 << false << u"404 Not Found"_s;
    QTest::newRow("server error") << 500 << false << u"500"_s;
    QTest::newRow("no answer") << 0 << false << u"closed the connection"_s;
    QTest::newRow("not found, quiet after start-up") << 404 << true << QString();
}

void TestPublisherFlows::failedUpdateCheckSaysItFailed()
{
    QFETCH(int, status);
    QFETCH(bool, quiet);
    QFETCH(QString, reason);
    // An old description with a newer version: were it read, an update would be offered.
    writeFile(m_fixture->file(u"mainappupdate.inf"_s), "[APPLICATION]\r\nVersion=9.0\r\n");
    makeWindow();
    m_server->enqueue(status ? ScriptedHttpServer::status(status, "[APPLICATION]\r\nVersion=9.0\r\n")
                             : ScriptedHttpServer::raw(QByteArray()));
    if (quiet)
        QCoro::waitFor(m_window->publisher()->CheckForUpdate(true));
    else
        QCoro::waitFor(m_window->publisher()->btnUpdateClick());
    QCOMPARE(m_server->requestLines(),
             QList<QByteArray>{"GET /liveupdate/quillory/mainappupdate.inf HTTP/1.1"});
    QVERIFY(!QFile::exists(m_fixture->file(u"mainappupdate.inf"_s))); // the old version is not read again
    QVERIFY(m_fakes->launcher->started.isEmpty());
    if (reason.isEmpty()) {
        QCOMPARE(m_fakes->messages->shown.size(), 0);
        return;
    }
    QCOMPARE(m_fakes->messages->shown.size(), 1);
    const ShownMessage& told = m_fakes->messages->shown[0];
    QVERIFY2(told.text.startsWith(u"The check for updates failed: "_s), qPrintable(told.text));
    QVERIFY2(told.text.contains(reason), qPrintable(told.text));
    QVERIFY(!told.text.contains(u"no new updates"_s));
    QCOMPARE(told.kind, MsgKind::Warning);
}

void TestPublisherFlows::updaterBesideReadOnlyExecutable()
{
    ReadOnlyInstall install;
    const QString updater =
        install.installFile(QSysInfo::productType() == u"windows"_s ? u"Updater.exe"_s : u"Updater"_s);
    writeFile(updater, "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(updater, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QString error;
    if (!install.lock(&error))
        QSKIP(qPrintable(u"the executable's folder cannot be made read-only: "_s + error));
    makeWindow();
    serveUpdate("2.02");
    for (int i = 0; i < 3; ++i)
        m_fakes->messages->answers.enqueue(MsgAnswer::Ok);
    QCoro::waitFor(m_window->publisher()->CheckForUpdate(false));

    QCOMPARE(m_fakes->messages->shown.size(), 3); // the offer, the close question, the close box
    QCOMPARE(m_fakes->launcher->started.size(), 1);
    QCOMPARE(m_fakes->launcher->started[0].first, updater);
    // The description was downloaded into the data folder, the one that can be written.
    QVERIFY(readFile(install.dataFile(u"mainappupdate.inf"_s)).contains("Version=2.02"));
    m_window.reset();
}

void TestPublisherFlows::aboutBox()
{
    brand(u"Master"_s, u"pub7"_s);
    makeWindow();
    QStringList texts;
    for (int i = 0; i < 2; ++i) {
        m_fakes->dialogs->answers.enqueue([&texts](QDialog& dialog) {
            auto& about = static_cast<TfrmAbout&>(dialog);
            texts << about.windowTitle() << about.lblProductName->text() << about.lblProductVersion->text()
                  << about.memAbout->toPlainText();
            return int(QDialog::Accepted);
        });
        control<QPushButton>(*m_window, "btnAbout")->click();
    }
    QCOMPARE(texts.mid(0, 4), (QStringList{u"About Acme..."_s, u"Acme"_s, u"Product Version: 2.01"_s,
                                           u"Line one\nLine two"_s}));
    QCOMPARE(texts.mid(4), texts.mid(0, 4)); // a fresh box each time
}

QString TestPublisherFlows::registerBrowser()
{
    const QString data = m_fixture->file(u"xdg"_s);
    const QString browser = m_fixture->file(u"browser"_s);
    writeFile(browser, "#!/bin/sh\n");
    QFile::setPermissions(browser, QFile::ReadOwner | QFile::ExeOwner);
    QDir().mkpath(data + u"/applications"_s);
    writeFile(data + u"/applications/test-browser.desktop"_s,
              "[Desktop Entry]\nExec=" + browser.toUtf8() + " %u\n");
    writeFile(data + u"/applications/mimeinfo.cache"_s,
              "[MIME Cache]\nx-scheme-handler/http=test-browser.desktop;\n");
    qputenv("XDG_DATA_HOME", data.toUtf8());
    qputenv("XDG_DATA_DIRS", data.toUtf8());
    qputenv("XDG_CONFIG_HOME", m_fixture->file(u"no-config"_s).toUtf8());
    qputenv("XDG_CONFIG_DIRS", m_fixture->file(u"no-config"_s).toUtf8());
    return browser;
}

void TestPublisherFlows::outboundLinks()
{
    const QString browser = registerBrowser();
    const QString text = tag(u"AffiliateURL"_s, u"http://aff.example/?id=%%AFFILIATEID%%"_s) +
                         tag(u"AffiliateID"_s, u"42"_s) + tag(u"AppHelpURL"_s, u"http://help.example/"_s) +
                         u"<%%Banner1%%>ad.gif^http://ad.example/<%%/Banner1%%>"_s +
                         u"<%%Link1%%>Blog^http://blog.example/<%%/Link1%%>"_s;
    QVERIFY(EncryptToFile(text.toUtf8(), m_fixture->file(u"dbsettings.dat"_s)));
    makeWindow();
    control<QToolButton>(*m_window, "btnHelp")->click();
    control<QPushButton>(*m_window, "btnMakeMoney")->click();
    m_window->publisher()->imgBannerClick();
    m_window->publisher()->gifBannerClick();
    QCOMPARE(m_fakes->launcher->started.size(), 4);
    QStringList addresses;
    for (const auto& [program, arguments] : m_fakes->launcher->started) {
        QCOMPARE(program, browser);
        addresses << arguments;
    }
    QCOMPARE(addresses, (QStringList{u"http://help.example/"_s, u"http://aff.example/?id=42"_s,
                                     u"http://ad.example/"_s, u"http://ad.example/"_s}));
    // The link labels go through the desktop's opener.
    Q_EMIT control<ClickableLabel>(*m_window, "lblLink1URL")->clicked();
    QCOMPARE(m_fakes->launcher->opened, QList<QUrl>{QUrl(u"http://blog.example/"_s)});
}

void TestPublisherFlows::emptyAddressOpensTheBrowserBare_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("help") << "btnHelp";
    QTest::newRow("make money") << "btnMakeMoney";
}

void TestPublisherFlows::emptyAddressOpensTheBrowserBare()
{
    QFETCH(QString, button);
    const QString browser = registerBrowser();
    QVERIFY(EncryptToFile(
        (tag(u"ApplicationName"_s, u"Acme"_s) + tag(u"AffiliateURL"_s, u""_s) + tag(u"AppHelpURL"_s, u""_s))
            .toUtf8(),
        m_fixture->file(u"dbsettings.dat"_s)));
    makeWindow();
    m_window->findChild<QAbstractButton*>(button)->click();
    QCOMPARE(m_fakes->launcher->started.size(), 1);
    QCOMPARE(m_fakes->launcher->started[0].first, browser);
    QCOMPARE(m_fakes->launcher->started[0].second, QStringList());
}

void TestPublisherFlows::linkNotOpenedIsToldWithItsAddress_data()
{
    QTest::addColumn<QString>("control"); // what the user clicks
    QTest::addColumn<bool>("browserRegistered");
    QTest::addColumn<bool>("launchFails"); // the browser or the desktop's opener cannot start
    QTest::addColumn<QString>("told");     // the address in the box; empty: no box
    QTest::newRow("help, no browser registered") << "btnHelp" << false << false << "http://help.example/";
    QTest::newRow("make money, the browser does not start")
        << "btnMakeMoney" << true << true << "http://aff.example/?id=42";
    QTest::newRow("link label, the desktop opens nothing")
        << "lblLink1URL" << true << true << "http://blog.example/";
    QTest::newRow("help, opened") << "btnHelp" << true << false << QString();
    QTest::newRow("link label, opened") << "lblLink1URL" << false << false << QString();
}

void TestPublisherFlows::linkNotOpenedIsToldWithItsAddress()
{
    QFETCH(QString, control);
    QFETCH(bool, browserRegistered);
    QFETCH(bool, launchFails);
    QFETCH(QString, told);
    if (browserRegistered) {
        registerBrowser();
    } else {
        // Folders of the test's own, with no handler of http addresses in them.
        for (const char* variable : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"})
            qputenv(variable, m_fixture->file(u"empty"_s).toUtf8());
    }
    const QString text = tag(u"AffiliateURL"_s, u"http://aff.example/?id=%%AFFILIATEID%%"_s) +
                         tag(u"AffiliateID"_s, u"42"_s) + tag(u"AppHelpURL"_s, u"http://help.example/"_s) +
                         u"<%%Link1%%>Blog^http://blog.example/<%%/Link1%%>"_s;
    QVERIFY(EncryptToFile(text.toUtf8(), m_fixture->file(u"dbsettings.dat"_s)));
    makeWindow();
    m_fakes->launcher->startFails = launchFails;
    m_fakes->launcher->openFails = launchFails;
    if (auto* label = m_window->findChild<ClickableLabel*>(control))
        Q_EMIT label->clicked();
    else
        m_window->findChild<QAbstractButton*>(control)->click();

    if (told.isEmpty()) {
        QCOMPARE(m_fakes->messages->shown.size(), 0);
        QCOMPARE(m_fakes->launcher->started.size() + m_fakes->launcher->opened.size(), 1);
        return;
    }
    QCOMPARE(m_fakes->messages->shown.size(), 1);
    const ShownMessage& box = m_fakes->messages->shown[0];
    QVERIFY2(box.text.startsWith(u"The link could not be opened"_s), qPrintable(box.text));
    // The address stands on a line of its own, whole, to be copied.
    QVERIFY2(box.text.split(u'\n').contains(told), qPrintable(box.text));
    QCOMPARE(box.kind, MsgKind::Warning);
}

QUILLORY_REGISTER_TEST(TestPublisherFlows);
#include "tst_publisher_flows.moc"
