#pragma once

#include <QString>

// The program registered as the handler of http addresses, as a path or a name to look up in PATH,
// or an empty text when none is registered. On Linux this follows the freedesktop MIME
// associations for x-scheme-handler/http; on Windows the registered open command of http.
QString RegisteredHttpBrowser();

// The program part of a desktop entry's Exec value: its first word, with quoting removed.
QString ProgramOfDesktopExec(const QString& exec);

// What the user is told when a link could not be opened (no browser registered, or it could not
// be started): the address on a line of its own, to be copied into a browser by hand.
QString LinkNotOpenedText(const QString& url);
