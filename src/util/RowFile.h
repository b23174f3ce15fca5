#pragma once

#include <QList>
#include <QString>
#include <QStringView>

// The row files ("dabatase.dat", "dbsuggest.dat"): one line per row, every field followed by "|",
// and every space of the line stored as "§" so that a field never holds a space.

inline constexpr QChar StoredSpace = u'\u00A7'; // "§"

// Builds a row line: each field followed by "|", then every space replaced by "§".
void AppendRowLine(QString& out, const QList<QStringView>& fields);

// Splits a row line into its fields. Characters with codes 1 to 32 end a field like "|" does and
// are skipped around the separators; a "|" at the very end adds one empty field. "§" is not
// turned back into a space here (see RestoreSpaces).
QList<QStringView> SplitRowLine(QStringView line);

// A field as stored, with every "§" turned back into a space.
QString RestoreSpaces(QStringView field);
