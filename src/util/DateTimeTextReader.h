#pragma once

#include "util/DateTimeText.h"

#include <QHash>

#include <memory>
#include <optional>
#include <vector>

// Reads many date-time texts under one locale exactly as ParseDateTimeText reads them, but fast.
// QLocale takes microseconds for a text, too long for a column of a million distinct date-times
// (every scrape has its own time). So the forms are compiled once into small readers of digits,
// literal text and AM/PM texts that read the program's own texts directly. Whatever they cannot
// decide (month names, a form they do not know, a day on which the clock is changed for summer
// time, any unusual text) is read with QLocale, so every text reads as ParseDateTimeText reads it.
// A text its locale does not read is read under the other locales a data folder's texts may
// follow (OtherDateTimeLocales), so a date written under another locale is never lost.
// A reader remembers what it learns on the way and serves one thread at a time.
class DateTimeTextReader {
public:
    explicit DateTimeTextReader(const QLocale& locale = QLocale(),
                                DateTimeCommas commas = DateTimeCommas::Kept,
                                QDate today = QDate::currentDate());
    ~DateTimeTextReader();

    std::optional<QDateTime> read(QStringView text) const;
    // The date-time read, in milliseconds from midnight of 30 December 1899 (wall-clock time, as the
    // date column sorts), without the cost of a QDateTime.
    std::optional<qint64> msecsSinceZero(QStringView text) const;

    struct CompiledForm;
    struct Fields;

private:
    struct OwnFormsOnly {};
    DateTimeTextReader(const QLocale& locale, DateTimeCommas commas, QDate today, OwnFormsOnly);
    std::optional<QDateTime> readOwn(QStringView text) const;
    std::optional<qint64> msecsOwn(QStringView text) const;

    struct WallClock {
        QDate date;
        QTime time;
    };
    // What the compiled forms make of a text: a date-time, "no form reads it", or "ask QLocale".
    struct Reading {
        enum { Read, Unreadable, Undecided } outcome;
        WallClock when;
    };

    QStringView textToRead(QStringView text, QString& storage) const;
    Reading readCompiled(QStringView text) const;
    // The date-time of the fields a form read, or nothing when QLocale may read them otherwise.
    std::optional<WallClock> wallClock(const CompiledForm& form, const Fields& fields) const;
    bool clockChangesOn(QDate date) const;
    const std::optional<QDateTime>& readWithLocale(QStringView text) const;

    QLocale m_locale;
    DateTimeCommas m_commas;
    QDate m_today;
    QList<DateTimeForm> m_forms;
    bool m_localeDigits;                                 // the locale writes digits other than ASCII ones
    std::vector<std::optional<CompiledForm>> m_compiled; // beside m_forms; nothing: not compiled
    mutable QHash<qint64, bool> m_clockChangesOn;        // by Julian day
    mutable QHash<QString, std::optional<QDateTime>> m_readWithLocale; // each such text read once
    std::vector<std::unique_ptr<DateTimeTextReader>> m_others;         // under the other locales, in order
};
