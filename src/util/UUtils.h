#pragma once

#include <QString>
#include <QStringList>

class Launcher;

// Splits `text` at every `separator` into `list` (cleared first). Empty pieces between separators
// are kept; a final empty piece is not.
void SplitByChar(QChar separator, const QString& text, QStringList& list);

// Undoes dollar-hex escaping: "$" and one or two hexadecimal digits stand for the byte with that
// code. Any other "$" makes the whole result empty. Each run of escapes is read as text by the
// program's text rule (UTF-8 when valid, else Windows-1252), and every other character stays as
// it is.
QString DecodeDollarHex(const QString& text);

// Starts the web browser registered for http addresses with `url` as its only argument, or with no
// argument when `url` is empty. False when no browser is registered or it could not be started.
bool OpenInDefaultBrowser(const QString& url, Launcher& launcher);
