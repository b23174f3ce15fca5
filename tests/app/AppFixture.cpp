#include "app/AppFixture.h"

#include <QLocale>

AppFixture::AppFixture()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    qputenv("QUILLORY_HOME", m_home.path().toUtf8());
}

AppFixture::~AppFixture()
{
    qunsetenv("QUILLORY_HOME");
}

std::unique_ptr<TfrmMain> AppFixture::makeWindow()
{
    return std::make_unique<TfrmMain>(fakes.take());
}
