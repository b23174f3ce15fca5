#include "publisher/LiveUpdate.h"

#include "branding/BrandingSettings.h"
#include "net/ServiceAddresses.h"
#include "util/Launcher.h"
#include "util/MessageBoxes.h"
#include "util/ProgramFolder.h"
#include "util/TextFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <optional>

namespace {

// The line's section name when it is a section header ("[APPLICATION]"), else nothing.
std::optional<QString> sectionHeader(const QString& line)
{
    if (!line.startsWith(u'[') || !line.endsWith(u']'))
        return std::nullopt;
    return line.mid(1, line.size() - 2).trimmed();
}

bool isComment(const QString& line)
{
    return line.startsWith(u';') || line.startsWith(u'#');
}

// A value as written, without one pair of double quotes around it.
QString unquoted(const QString& value)
{
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
        return value.mid(1, value.size() - 2);
    return value;
}

// The value of `key` in the first section named `section` (in any letter case), from the first line
// that names that key exactly; nothing when there is none. Later repeats of the section or the key
// count for nothing, so a copy appended further down can never change the answer.
std::optional<QString> firstIniValue(const QString& text, const QString& section, const QString& key)
{
    enum { Before, Inside } state = Before;
    for (const QString& rawLine : SplitLines(text)) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || isComment(line))
            continue;
        if (const std::optional<QString> name = sectionHeader(line)) {
            if (state == Inside)
                return std::nullopt;
            if (name->compare(section, Qt::CaseInsensitive) == 0)
                state = Inside;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (state == Inside && equals > 0 && line.left(equals).trimmed() == key)
            return unquoted(line.mid(equals + 1).trimmed());
    }
    return std::nullopt;
}

} // namespace

QString UpdateDescriptionUrl()
{
    return UpdateBaseUrl() + UpdateDescriptionFileName;
}

QString ReadUpdateVersion(const QString& path)
{
    QString text = ReadTextFile(path).text;
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return firstIniValue(text, QStringLiteral("APPLICATION"), QStringLiteral("Version")).value_or(QString());
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

QString UpdateCheckFailedText(const QString& reason)
{
    return QCoreApplication::translate("LiveUpdate",
                                       "The check for updates failed: %1. Please try again later.")
        .arg(reason);
}

void TellUpdateCheckFailed(const QString& reason, bool quiet, MessageBoxes& messages)
{
    if (!quiet)
        messages.show(UpdateCheckFailedText(reason), MsgKind::Warning, MsgButtons::Ok);
}

QString UpdaterPath()
{
    // A reseller ships one set of files for every system: either name is the updater.
    const QString names[] = {QStringLiteral("Updater"), QStringLiteral("Updater.exe")};
    for (const QString& name : names) {
        if (const QString found = FindInstallFile(name); !found.isEmpty())
            return found;
    }
#ifdef Q_OS_WIN
    const QString& missing = names[1];
#else
    const QString& missing = names[0];
#endif
    return QDir(InstallFolders().constFirst()).filePath(missing);
}

QStringList UpdaterArguments()
{
    return {UpdateBaseUrl(), AppVersion, QStringLiteral("A")};
}

bool AskToUpdate(const QString& serverVersion, bool quiet, MessageBoxes& messages, Launcher& launcher)
{
    if (!IsNewerVersion(serverVersion)) {
        if (!quiet)
            messages.show(NoUpdateMessage, MsgKind::Information, MsgButtons::Ok);
        return false;
    }
    if (messages.show(UpdateOfferQuestion(serverVersion), MsgKind::Information, MsgButtons::OkCancel) !=
        MsgAnswer::Ok)
        return false;
    const QString updater = UpdaterPath();
    if (!QFileInfo::exists(updater)) {
        messages.show(UpdaterMissingWarning, MsgKind::Warning, MsgButtons::Ok);
        return false;
    }
    if (messages.show(UpdateCloseQuestion, MsgKind::Information, MsgButtons::OkCancel) != MsgAnswer::Ok)
        return false;
    launcher.startProgram(updater, UpdaterArguments());
    return true;
}
