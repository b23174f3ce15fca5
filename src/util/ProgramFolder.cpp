#include "util/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString& executableFolderForTests()
{
    static QString folder;
    return folder;
}

QString homeOverride()
{
    return qEnvironmentVariable("QUILLORY_HOME");
}

// An installed program: its executable in a bin/ folder beside the share/ folder of its metadata.
// It keeps its data in the per-user folder even when it could write beside itself (run as root).
bool IsInstalled(const QString& executableFolder)
{
    return QFileInfo::exists(
        QDir(executableFolder)
            .filePath(QStringLiteral("../share/metainfo/app.quillory.Quillory.metainfo.xml")));
}

} // namespace

QString ProgramFolder()
{
    const QString home = homeOverride();
    if (!home.isEmpty()) {
        QDir().mkpath(home);
        return QDir(home).absolutePath();
    }
    const QString executableFolder = ExecutableFolder();
    if (QFileInfo(executableFolder).isWritable() && !IsInstalled(executableFolder))
        return executableFolder;
    const QString userFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(userFolder);
    return userFolder;
}

QString ProgramFile(const QString& name)
{
    return QDir(ProgramFolder()).filePath(name);
}

QString ExecutableFolder()
{
    const QString& forTests = executableFolderForTests();
    return forTests.isEmpty() ? QCoreApplication::applicationDirPath() : QDir(forTests).absolutePath();
}

void SetExecutableFolderForTests(const QString& folder)
{
    executableFolderForTests() = folder;
}

QStringList InstallFolders()
{
    if (!homeOverride().isEmpty())
        return {ProgramFolder()};
    QStringList folders{ExecutableFolder()};
    if (const QString data = ProgramFolder(); data != folders.first())
        folders << data;
    return folders;
}

QString FindInstallFile(const QString& name)
{
    for (const QString& folder : InstallFolders()) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo(path).isFile())
            return path;
    }
    return {};
}
