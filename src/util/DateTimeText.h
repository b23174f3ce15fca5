#pragma once

#include <QDateTime>
#include <QLocale>

#include <optional>

// Date-time text as the program shows and stores it: the locale's short date with a four-digit
// year, then, unless the time of day is exactly midnight, a space and the locale's long time
// without its time-zone field ("3/5/2009 2:15:00 PM" in the US).
QString DateTimeText(const QDateTime& when, const QLocale& locale = QLocale());

// Reads a date-time text back under `locale`: what DateTimeText writes, the date alone, and the
// locale's two-digit-year date of older files, whose year falls within 50 years of `today`.
std::optional<QDateTime> ParseDateTimeText(QStringView text, const QLocale& locale = QLocale(),
                                           QDate today = QDate::currentDate());

// The zero of the program's date-time values: midnight of 30 December 1899.
QDateTime ZeroDateTime();

// The two formats DateTimeText uses, made from the locale's own.
QString StoredDateFormat(const QLocale& locale);
QString StoredTimeFormat(const QLocale& locale);
