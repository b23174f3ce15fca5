#pragma once

#include <QString>
#include <QStringList>

// The folder that holds the program's data files: QUILLORY_HOME when set, else the folder of the
// executable, or the per-user application-data folder when that one cannot be written.
QString ProgramFolder();

// The program folder plus a fixed file name.
QString ProgramFile(const QString& name);

// The folder of the executable.
QString ExecutableFolder();
// Tests stand a folder of their own in for the executable's; an empty text gives back the real one.
void SetExecutableFolderForTests(const QString& folder);

// Where the files that the installation brings and the program only reads (the branding file,
// banners, skin, icon, updater) are looked for, in order: a reseller ships them beside the
// executable, which may be read-only, so that folder comes first and the program folder second.
// With QUILLORY_HOME set, that folder alone.
QStringList InstallFolders();
// The first of the install folders that holds `name` as a file, or an empty text.
QString FindInstallFile(const QString& name);
