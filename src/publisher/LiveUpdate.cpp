#include "publisher/LiveUpdate.h"

#include "branding/BrandingSettings.h"
#include "net/ServiceAddresses.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>

namespace {

// The name among `names` that equals `wanted` without regard to letter case, or an empty text.
QString matchingName(const QStringList& names, const QString& wanted)
{
    for (const QString& name : names) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0)
            return name;
    }
    return {};
}

} // namespace

QString UpdateDescriptionUrl()
{
    return UpdateBaseUrl() + UpdateDescriptionFileName;
}

QString ReadUpdateVersion(const QString& path)
{
    if (!QFileInfo::exists(path))
        return {};
    QSettings ini(path, QSettings::IniFormat);
    const QString section = matchingName(ini.childGroups(), QStringLiteral("APPLICATION"));
    if (section.isEmpty())
        return {};
    ini.beginGroup(section);
    const QString key = matchingName(ini.childKeys(), QStringLiteral("Version"));
    if (key.isEmpty())
        return {};
    // The INI reader splits a value at its commas; the text as written is wanted.
    const QVariant value = ini.value(key);
    return value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',') : value.toString();
}

double VersionNumber(const QString& version)
{
    static const QRegularExpression decimal(QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)$"));
    const QString text = version.trimmed();
    if (!decimal.match(text).hasMatch())
        return 0;
    bool valid = false;
    const double number = text.toDouble(&valid);
    return valid ? number : 0;
}

bool IsNewerVersion(const QString& serverVersion)
{
    return VersionNumber(serverVersion) > VersionNumber(AppVersion);
}

QString UpdateOfferQuestion(const QString& serverVersion)
{
    return QStringLiteral("There is a new update: (version ") + serverVersion +
           QStringLiteral(") available for your application!. Do you want download this update now?");
}

QString UpdaterPath()
{
#ifdef Q_OS_WIN
    const QString name = QStringLiteral("Updater.exe");
#else
    const QString name = QStringLiteral("Updater");
#endif
    const QString home = qEnvironmentVariable("QUILLORY_HOME");
    if (!home.isEmpty() && QFileInfo::exists(QDir(home).filePath(name)))
        return QDir(home).absoluteFilePath(name);
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

QStringList UpdaterArguments()
{
    return {UpdateBaseUrl(), AppVersion, QStringLiteral("A")};
}
