#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// A Suggest answer with the given completions (each with its count), after a first entry that the
// reading skips, as the service sends them.
inline QByteArray SuggestAnswerBody(const QList<QPair<QByteArray, QByteArray>>& completions)
{
    QByteArray body = "window.google.ac.h([\"q\",[[\"q\",\"0 results\",\"0\"]";
    for (const auto& [text, count] : completions)
        body += ",[\"" + text + "\",\"" + count + " results\",\"1\"]";
    return body + "]])";
}
