#include "util/DefaultBrowser.h"

#include "util/Launcher.h"
#include "util/UUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#ifdef Q_OS_WIN
#include <QSettings>
#endif

bool OpenInDefaultBrowser(const QString& url, Launcher& launcher)
{
    const QString browser = RegisteredHttpBrowser();
    if (browser.isEmpty())
        return false;
    // No address, no argument: the browser opens on its own start page rather than on an empty one.
    return launcher.startProgram(browser, url.isEmpty() ? QStringList() : QStringList{url});
}

QString LinkNotOpenedText(const QString& url)
{
    return QCoreApplication::translate("DefaultBrowser",
                                       "The link could not be opened: no web browser is set up to open "
                                       "it.\n\n%1\n\nCopy the address into a browser to open it.")
        .arg(url);
}

QString ProgramOfDesktopExec(const QString& exec)
{
    QString program;
    bool quoted = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (c == u'"') {
            quoted = !quoted;
        } else if (c == u'\\' && quoted && i + 1 < exec.size()) {
            program += exec[++i];
        } else if (c.isSpace() && !quoted) {
            if (!program.isEmpty())
                break;
        } else {
            program += c;
        }
    }
    return program;
}

#ifdef Q_OS_WIN

QString RegisteredHttpBrowser()
{
    const QSettings key(QStringLiteral("HKEY_CLASSES_ROOT\\http\\shell\\open\\command"),
                        QSettings::NativeFormat);
    const QString command = key.value(QStringLiteral("Default")).toString().toLower();
    if (command.isEmpty())
        return {};
    QString program = command.left(command.indexOf(QLatin1String(".exe"))) + QLatin1String(".exe");
    return program.remove(u'"');
}

#else

namespace {

const QString httpHandlerType = QStringLiteral("x-scheme-handler/http");

QStringList xdgDirs(const char* homeVariable, const QString& homeDefault, const char* dirsVariable,
                    const QString& dirsDefault)
{
    QString home = qEnvironmentVariable(homeVariable);
    if (home.isEmpty())
        home = QDir::homePath() + homeDefault;
    QString dirs = qEnvironmentVariable(dirsVariable);
    if (dirs.isEmpty())
        dirs = dirsDefault;
    return QStringList{home} + dirs.split(u':', Qt::SkipEmptyParts);
}

QStringList applicationDirs()
{
    QStringList dirs = xdgDirs("XDG_DATA_HOME", QStringLiteral("/.local/share"), "XDG_DATA_DIRS",
                               QStringLiteral("/usr/local/share:/usr/share"));
    for (QString& dir : dirs)
        dir += QLatin1String("/applications");
    return dirs;
}

// The raw value of `key` in `group` of an ini-like file (mimeapps.list, a desktop entry), read as
// it stands: QSettings would split values at their commas.
QString iniValue(const QString& path, const QString& group, const QString& key)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    bool inGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inGroup = line == u'[' + group + u']';
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (inGroup && equals > 0 && QStringView(line).left(equals).trimmed() == key)
            return line.mid(equals + 1).trimmed();
    }
    return {};
}

QStringList handlersIn(const QString& path, const QString& group)
{
    return iniValue(path, group, httpHandlerType).split(u';', Qt::SkipEmptyParts);
}

// The program that a desktop entry starts, resolved to an existing executable, or empty.
QString programOfDesktopEntry(const QString& desktopId)
{
    const QString entryGroup = QStringLiteral("Desktop Entry");
    for (const QString& dir : applicationDirs()) {
        QString path = dir + u'/' + desktopId;
        if (!QFileInfo::exists(path))
            path = dir + u'/' + QString(desktopId).replace(u'-', u'/');
        if (!QFileInfo::exists(path))
            continue;
        if (iniValue(path, entryGroup, QStringLiteral("Hidden")) == QLatin1String("true"))
            return {};
        const QString program = ProgramOfDesktopExec(iniValue(path, entryGroup, QStringLiteral("Exec")));
        if (program.isEmpty() || !QFileInfo(program).isAbsolute())
            return program.isEmpty() ? QString() : QStandardPaths::findExecutable(program);
        return QFileInfo(program).isExecutable() ? program : QString();
    }
    return {};
}

} // namespace

QString RegisteredHttpBrowser()
{
    QStringList lists;
    const QStringList configDirs =
        xdgDirs("XDG_CONFIG_HOME", QStringLiteral("/.config"), "XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg"));
    for (const QString& dir : configDirs)
        lists << dir + QLatin1String("/mimeapps.list");
    for (const QString& dir : applicationDirs())
        lists << dir + QLatin1String("/mimeapps.list");

    QStringList candidates;
    for (const QString& group :
         {QStringLiteral("Default Applications"), QStringLiteral("Added Associations")}) {
        for (const QString& list : lists)
            candidates << handlersIn(list, group);
    }
    for (const QString& dir : applicationDirs())
        candidates << handlersIn(dir + QLatin1String("/mimeinfo.cache"), QStringLiteral("MIME Cache"));

    for (const QString& desktopId : candidates) {
        const QString program = programOfDesktopEntry(desktopId.trimmed());
        if (!program.isEmpty())
            return program;
    }
    return {};
}

#endif
