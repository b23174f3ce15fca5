#pragma once

#include <QString>
#include <QStringList>

class Launcher;
class MessageBoxes;

// The rules of the live update: the update description the server publishes, the version
// comparison, the questions asked and the updater that is started.

// The update description, published in the update base folder and downloaded into the program
// folder under the same name.
inline const QString UpdateDescriptionFileName = QStringLiteral("mainappupdate.inf");
QString UpdateDescriptionUrl();

// The Version value of section APPLICATION, as written (spaces around it and one pair of double
// quotes removed); empty when the file, the section or the key is missing, or the file is not an INI
// file. The section name may be in any letter case, the key is "Version" exactly; the first section
// of that name and its first Version line count, later repeats do not.
QString ReadUpdateVersion(const QString& path);

// A version as one decimal number, the point its decimal separator whatever the user's locale:
// "2.1" and "2.10" are the same number. Anything else ("2,5", a word, nothing) counts as 0.
double VersionNumber(const QString& version);
// Whether the server's version is greater than this program's AppVersion.
bool IsNewerVersion(const QString& serverVersion);

QString UpdateOfferQuestion(const QString& serverVersion);
// Line feed before carriage return: the text has always been written so.
inline const QString UpdateCloseQuestion =
    QStringLiteral("To update your software the application will close to\n\r"
                   "replace some files. Do you want to update now?");
inline const QString UpdaterMissingWarning =
    QStringLiteral("The updater module is missing. Please reinstall again the current version!");
inline const QString NoUpdateMessage = QStringLiteral("There's no new updates for this application!");

// What the user is told when the update description could not be fetched (an HTTP error, the
// server not reached, the file not written): the check failed and why, never that nothing is new.
QString UpdateCheckFailedText(const QString& reason);
// Tells it, unless the check is the quiet one after start-up.
void TellUpdateCheckFailed(const QString& reason, bool quiet, MessageBoxes& messages);

// The updater program, "Updater" or else "Updater.exe", on any system. It belongs to the
// installation and is looked for where the installation's files are (FindInstallFile); when it is
// nowhere, the path of this system's name ("Updater.exe" on Windows) in the first of those folders.
QString UpdaterPath();
// The updater's arguments, each passed as one: the update base URL, AppVersion and "A".
QStringList UpdaterArguments();

// The questions of a live update once the server's version is known (empty when the description
// could not be fetched): no newer version is told only when the user asked (not `quiet`); a newer
// one is offered, the updater looked for, the close confirmed, and the updater started. True when it
// was started: the program should then close, since its files can only be replaced once it is gone.
bool AskToUpdate(const QString& serverVersion, bool quiet, MessageBoxes& messages, Launcher& launcher);
