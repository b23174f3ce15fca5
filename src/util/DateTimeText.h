#pragma once

#include <QDateTime>
#include <QList>
#include <QLocale>

#include <optional>

// Date-time text as the program shows and stores it: the locale's short date with a four-digit
// year, then, unless the time of day is exactly midnight, a space and the locale's long time
// without its time-zone field ("3/5/2009 2:15:00 PM" in the US).
QString DateTimeText(const QDateTime& when, const QLocale& locale = QLocale());

// How a date-time text is read: as written, or as the date column sorts it, with every "," taken
// out of the text (and out of the formats, so that what DateTimeText writes still reads).
enum class DateTimeCommas { Kept, Removed };

// Reads a date-time text back under `locale`: what DateTimeText writes (and wrote in earlier
// versions), the date alone, and the locale's two-digit-year date of older files, whose year falls
// within 50 years of `today`.
std::optional<QDateTime> ParseDateTimeText(QStringView text, const QLocale& locale = QLocale(),
                                           QDate today = QDate::currentDate(),
                                           DateTimeCommas commas = DateTimeCommas::Kept);

// The locales whose texts a data folder holds besides the reading locale's: those recorded as having
// written it (a service may run without regional settings, another user may have another locale).
// Every reader made afterwards also accepts their forms and the C locale's, after its own.
void SetFolderWriterLocales(const QList<QLocale>& locales);
// The locales a reader under `locale` tries after its own, in order: the folder's writers, then C.
QList<QLocale> OtherDateTimeLocales(const QLocale& locale);

// The zero of the program's date-time values: midnight of 30 December 1899.
QDateTime ZeroDateTime();

// The two formats DateTimeText uses, made from the locale's own.
QString StoredDateFormat(const QLocale& locale);
QString StoredTimeFormat(const QLocale& locale);

// The pieces of ParseDateTimeText, for a reader that reads many texts under one locale
// (DateTimeTextReader).

// A format a text is tried with; a two-digit year is moved to the century nearest today.
struct DateTimeForm {
    QString format;
    bool twoDigitYear = false;
};
// The forms ParseDateTimeText tries, in order: the date with the long time (also as earlier
// versions wrote it, when that differs), with the short time, and alone; first with a four-digit
// year, then with the locale's own two-digit year.
QList<DateTimeForm> DateTimeForms(const QLocale& locale, DateTimeCommas commas);
// The text as the forms read it: trimmed, without its commas when so asked, and with the locale's
// own digits as ASCII digits (QLocale cannot read digits outside the Basic Multilingual Plane).
QString DateTimeTextToRead(QStringView text, const QLocale& locale, DateTimeCommas commas);
// Qt 6.4 copies the AM/PM text it finds as if it were as long as the locale's longest one: when
// the AM and PM texts differ in length and more text follows them in the format ("AP h:mm:ss"), it
// reads past the end of its copy. QLocale is never given such a form.
bool QLocaleMisreadsAmPm(const QString& format, const QLocale& locale);
// Reads a text made by DateTimeTextToRead with QLocale, trying the forms in order (those that
// QLocale can read safely).
std::optional<QDateTime> ReadDateTimeWithLocale(const QString& text, const QLocale& locale,
                                                const QList<DateTimeForm>& forms, QDate today);
