#include "app/AppFixture.h"

#include <QLocale>

AppFixture::AppFixture()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    qputenv("QUILLORY_HOME", m_home.path().toUtf8());
    // Nothing a test starts reaches beyond this machine: the services point at a closed local port
    // unless the test brings a server of its own.
    qputenv("QUILLORY_GOOGLE_HOST", "127.0.0.1:1");
    qputenv("QUILLORY_UPDATE_URL", "http://127.0.0.1:1/liveupdate/quillory/");
}

AppFixture::~AppFixture()
{
    qunsetenv("QUILLORY_HOME");
    qunsetenv("QUILLORY_GOOGLE_HOST");
    qunsetenv("QUILLORY_UPDATE_URL");
}

std::unique_ptr<TfrmMain> AppFixture::makeWindow()
{
    return std::make_unique<TfrmMain>(fakes.take());
}
