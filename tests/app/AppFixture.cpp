#include "app/AppFixture.h"

#include "trends/TrendHistory.h"

#include "util/DataFileStore.h"
#include "util/ProgramFolder.h"

#include <QDir>
#include <QLocale>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::StringLiterals;

AppFixture::AppFixture()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    qputenv("QUILLORY_HOME", m_home.path().toUtf8());
    // Nothing a test starts reaches beyond this machine: the services point at a closed local port
    // unless the test brings a server of its own.
    qputenv("QUILLORY_GOOGLE_HOST", "127.0.0.1:1");
    qputenv("QUILLORY_UPDATE_URL", "http://127.0.0.1:1/liveupdate/quillory/");
    // The classic services, which the tests of the window speak, unless a test chooses others.
    // Today's services point at the same closed port.
    writeFile(file(u"quillory.ini"_s),
              "[HotTrends]\nSource=classic\n[Suggest]\nEngine=classic\n"
              "[Endpoints]\nTrends=http://127.0.0.1:1\nGoogleSuggest=http://127.0.0.1:1\n"
              "Bing=http://127.0.0.1:1\nDuckDuckGo=http://127.0.0.1:1\n"
              "Amazon=http://127.0.0.1:1\n");
}

AppFixture::~AppFixture()
{
    qunsetenv("QUILLORY_HOME");
    qunsetenv("QUILLORY_GOOGLE_HOST");
    qunsetenv("QUILLORY_UPDATE_URL");
}

std::unique_ptr<TfrmMain> AppFixture::makeWindow()
{
    std::unique_ptr<TfrmMain> window = makeLoadingWindow();
    if (!WaitForTables(*window))
        qWarning("the tables are still loading");
    // The history of trends opens after the tables and closes its file once it has nothing to do:
    // the tests find the folder free.
    if (!QTest::qWaitFor([&] { return window->trendHistory()->isIdle(); }, 30000))
        qWarning("the history of trends is still at work");
    return window;
}

std::unique_ptr<TfrmMain> AppFixture::makeLoadingWindow()
{
    return std::make_unique<TfrmMain>(fakes.take());
}

bool WaitForTables(const TfrmMain& window)
{
    return QTest::qWaitFor([&] { return !window.isLoading(); }, 30000);
}

bool WaitForSaves(const TfrmMain& window)
{
    return QTest::qWaitFor(
        [&] {
            return !window.dataFile(TfrmMain::DataFile::TrendTable).isSaving() &&
                   !window.dataFile(TfrmMain::DataFile::SuggestTable).isSaving();
        },
        30000);
}

ReadOnlyInstall::ReadOnlyInstall()
    : m_home(qgetenv("QUILLORY_HOME"))
{
    if (qEnvironmentVariableIsSet("XDG_DATA_HOME"))
        m_dataHome = qgetenv("XDG_DATA_HOME");
    QDir(m_root.path()).mkpath(QStringLiteral("install"));
    qunsetenv("QUILLORY_HOME");
    qputenv("XDG_DATA_HOME", m_root.filePath(QStringLiteral("xdg")).toUtf8());
    SetExecutableFolderForTests(m_root.filePath(QStringLiteral("install")));
}

ReadOnlyInstall::~ReadOnlyInstall()
{
    m_readOnly.reset();
    SetExecutableFolderForTests(QString());
    if (m_dataHome)
        qputenv("XDG_DATA_HOME", *m_dataHome);
    else
        qunsetenv("XDG_DATA_HOME");
    if (!m_home.isEmpty())
        qputenv("QUILLORY_HOME", m_home);
}

QString ReadOnlyInstall::installFile(const QString& name) const
{
    return m_root.filePath(QStringLiteral("install/") + name);
}

QString ReadOnlyInstall::dataFolder() const
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString ReadOnlyInstall::dataFile(const QString& name) const
{
    QDir().mkpath(dataFolder());
    return QDir(dataFolder()).filePath(name);
}

bool ReadOnlyInstall::lock(QString* error)
{
    m_readOnly = std::make_unique<FailingFolder>(m_root.filePath(QStringLiteral("install")),
                                                 FailingFolder::Kind::ReadOnly);
    *error = m_readOnly->error();
    return m_readOnly->ready();
}
