#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// Starting other programs: the user's browser, the desktop's URL opener, the updater. Tests
// replace it with a recorder so that nothing is started for real.
class Launcher {
public:
    virtual ~Launcher() = default;
    // Starts `program` with `arguments`, each passed as one argument and never through a shell.
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
    // Hands `url` to whatever the desktop associates with it.
    virtual bool openUrl(const QUrl& url) = 0;
};
