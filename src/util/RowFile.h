#pragma once

#include <QByteArrayView>
#include <QIODevice>
#include <QList>
#include <QString>
#include <QStringView>

class CellRows;

#include <functional>
#include <initializer_list>

// The row files ("dabatase.dat", "dbsuggest.dat"): one line per row, every field followed by "|",
// and every space of the line stored as "§" so that a field never holds a space.

inline constexpr QChar StoredSpace = u'\u00A7'; // "§"

// Appends a row line to `out`: each field followed by "|", with every space stored as "§".
void AppendRowLine(QString& out, std::initializer_list<QStringView> fields);

// Splits a row line into its fields. Characters with codes 1 to 32 end a field like "|" does and
// are skipped around the separators; a "|" at the very end adds one empty field. "§" is not
// turned back into a space here (see RestoreSpaces). The separators are ASCII, so the raw bytes of
// a UTF-8 or Windows-1252 line split the same way as its text.
QList<QStringView> SplitRowLine(QStringView line);
// The same into `fields` (cleared first), so that a loop over many lines reuses one list.
void SplitRowLine(QStringView line, QList<QStringView>& fields);
void SplitRowLine(QByteArrayView line, QList<QByteArrayView>& fields);

// A field as stored, with every "§" turned back into a space, and what a cell cannot hold (a NUL,
// see CleanCellText) made a space as well.
QString RestoreSpaces(QStringView field);
// The same into `text`, reusing its room.
void RestoreSpaces(QStringView field, QString& text);
// A field of a row file's raw bytes as text into `text`, as RestoreSpaces makes it:
// read as UTF-8 (false when the bytes are not valid UTF-8), or as Windows-1252. A loop over many
// fields reuses one string's room.
bool DecodeRowField(QByteArrayView field, bool utf8, QString& text);

// Calls `line` for each line of a row file's bytes: CR, LF or both end a line, and empty lines are
// passed over (they hold no row).
void ForEachRowLine(QByteArrayView bytes, const std::function<void(QByteArrayView)>& line);
void ForEachRowLine(QStringView text, const std::function<void(QStringView)>& line);
// The same for the lines of a file, read a few megabytes at a time, so that a big table is never in
// memory as bytes and as rows at once; false when reading failed (the lines before were given).
bool ForEachRowLine(QIODevice& file, const std::function<void(QByteArrayView)>& line);

// The lines of the row file at `path` (as ForEachRowLine gives them); a missing file has none.
// Why a file that exists could not be read (the lines before were given), else an empty string.
QString ReadRowFile(const QString& path, const std::function<void(QByteArrayView)>& line);
// Replaces the row file at `path` atomically with one line per row of `rows`, every cell as a
// field; an empty string on success, else the reason.
[[nodiscard]] QString WriteRowFile(const QString& path, const CellRows& rows);

// The text as a cell can hold it: "|", the control characters (C0, DEL, C1) and the line and
// paragraph separators become spaces. The row file cannot keep them (they end a field, so the
// cell would split on reload), so text is cleaned where it enters a table and what is shown is
// what comes back after a restart.
QString CleanCellText(QString text);
