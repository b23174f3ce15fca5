#pragma once

#include <QByteArrayView>
#include <QString>

// A downloaded page as the program reads it: the bytes up to the first zero byte, decoded with
// the program's text rule, every line ended by CR LF.
QString PageTextFromBody(QByteArrayView body);
