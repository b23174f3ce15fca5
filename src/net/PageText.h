#pragma once

#include <QByteArrayView>
#include <QString>

// A downloaded page as the program reads it: the bytes up to the first zero byte, decoded with
// the program's text rule, every line ended by CR LF.
QString PageTextFromBody(QByteArrayView body);

// A body decoded by the charset of its Content-Type: ISO-8859-1 and ASCII are read as
// Windows-1252 (a superset that servers mean by them); without a charset, or with one Qt cannot
// decode, by the program's text rule (UTF-8, else Windows-1252 line by line). Nothing else is
// changed.
QString BodyText(QByteArrayView body, QByteArrayView contentType);
