#include "util/DateTimeText.h"

#include <functional>

namespace {

// Rewrites the unquoted runs of `letter` in a Qt date-time format; quoted literals stay as they are.
QString rewriteRuns(const QString& format, QChar letter, const std::function<QString(qsizetype)>& replace)
{
    QString result;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'') {
            quoted = !quoted;
            result += c;
            ++i;
        } else if (!quoted && c == letter) {
            qsizetype run = 0;
            while (i + run < format.size() && format[i + run] == letter)
                ++run;
            result += replace(run);
            i += run;
        } else {
            result += c;
            ++i;
        }
    }
    return result;
}

bool isMidnight(const QTime& time)
{
    return time.hour() == 0 && time.minute() == 0 && time.second() == 0;
}

} // namespace

QString StoredDateFormat(const QLocale& locale)
{
    return rewriteRuns(locale.dateFormat(QLocale::ShortFormat), u'y',
                       [](qsizetype run) { return QStringLiteral("yyyy").left(run == 2 ? 4 : run); });
}

QString StoredTimeFormat(const QLocale& locale)
{
    // A time-zone name does not read back reliably (summer time), so the field is left out.
    return rewriteRuns(locale.timeFormat(QLocale::LongFormat), u't', [](qsizetype) { return QString(); })
        .trimmed();
}

QDateTime ZeroDateTime()
{
    return QDateTime(QDate(1899, 12, 30), QTime(0, 0));
}

QString DateTimeText(const QDateTime& when, const QLocale& locale)
{
    const QString date = locale.toString(when.date(), StoredDateFormat(locale));
    if (isMidnight(when.time()))
        return date;
    return date + u' ' + locale.toString(when.time(), StoredTimeFormat(locale));
}

std::optional<QDateTime> ParseDateTimeText(QStringView text, const QLocale& locale, QDate today)
{
    const QString trimmed = text.trimmed().toString();
    if (trimmed.isEmpty())
        return std::nullopt;
    const QString time = StoredTimeFormat(locale);
    const QString shortTime = locale.timeFormat(QLocale::ShortFormat);
    const QString date = StoredDateFormat(locale);
    const QString twoDigitDate = rewriteRuns(locale.dateFormat(QLocale::ShortFormat), u'y',
                                             [](qsizetype) { return QStringLiteral("yy"); });

    for (const QString& dateFormat : {date, twoDigitDate}) {
        for (const QString& format : {dateFormat + u' ' + time, dateFormat + u' ' + shortTime, dateFormat}) {
            QDateTime parsed = locale.toDateTime(trimmed, format);
            if (!parsed.isValid())
                continue;
            if (dateFormat == twoDigitDate && dateFormat != date) {
                // Qt reads a two-digit year as 19xx; move it to the century nearest today.
                int year = parsed.date().year();
                while (year < today.year() - 50)
                    year += 100;
                parsed.setDate(QDate(year, parsed.date().month(), parsed.date().day()));
            }
            return parsed;
        }
    }
    return std::nullopt;
}
