#pragma once

#include "trends/TrendRecord.h"
#include "util/TextFile.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>

// The files of the Hot Trends table: "dabatase.dat" (the rows) and "config.dat" (the time of the
// last scrape).

inline const QString TrendTableFileName = QStringLiteral("dabatase.dat");
inline const QString LastParsedFileName = QStringLiteral("config.dat");

// The rows of the bytes of a "dabatase.dat": each line UTF-8 when it is valid UTF-8, else
// Windows-1252 (older versions). Damaged lines load what they can: a line with no field is skipped,
// missing cells are empty.
TrendRows ParseTrendTable(QByteArrayView bytes);

// Reads "dabatase.dat"; a missing file is an empty table.
using TrendTableRead = TableRead<TrendRows>;
TrendTableRead ReadTrendTable(const QString& path);
// Replaces "dabatase.dat" atomically, one line per row, keyword|date|count| with every space stored
// as "§"; an empty string on success, else the reason.
[[nodiscard]] QString WriteTrendTable(const QString& path, const TrendRows& rows);

// The stored date-time text of "config.dat" (empty when the file or its tags are missing).
QString ReadLastParsedText(const QString& path);
[[nodiscard]] QString WriteLastParsed(const QString& path, const QString& dateTimeText);

// The newest date-time among the date cells of `rows`, read as "config.dat" is read (cells that do
// not read are passed over); nothing when no cell reads. Every row of a scrape carries the time of
// that scrape, so this is the time of the last scrape that reached the table, also when the table
// was saved and "config.dat" was not.
std::optional<QDateTime> NewestDateTime(const TrendRows& rows, const QLocale& locale = QLocale());
