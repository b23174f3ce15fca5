#include "util/DateTimeText.h"

#include "util/DateTimeTextReader.h"

#include <QStringList>

#include <algorithm>
#include <functional>
#include <mutex>
#include <utility>

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

// Which characters of a Qt date-time format are literal text in quotes (the quotes included).
QList<bool> quotedCharacters(QStringView format)
{
    QList<bool> quoted(format.size(), false);
    bool inside = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == u'\'') {
            quoted[i] = true;
            inside = !inside;
        } else {
            quoted[i] = inside;
        }
    }
    return quoted;
}

// The format without its first time-zone field ('t' outside quotes) and the separator (blanks,
// punctuation, brackets) that joins the field to its neighbour, so that no stray "," or "()" is
// left to end the text. Nothing when the format has no such field.
std::optional<QString> withoutFirstTimeZone(QString format)
{
    const QList<bool> quoted = quotedCharacters(format);
    const auto unquoted = [&](qsizetype i, auto test) { return !quoted[i] && test(format[i]); };
    const auto isZone = [](QChar c) { return c == u't'; };
    const auto isSeparator = [](QChar c) { return c.isSpace() || c.isPunct(); };
    const auto isClosingBracket = [](QChar c) { return c.category() == QChar::Punctuation_Close; };

    qsizetype zone = 0;
    while (zone < format.size() && !unquoted(zone, isZone))
        ++zone;
    if (zone == format.size())
        return std::nullopt;
    qsizetype zoneEnd = zone;
    while (zoneEnd < format.size() && unquoted(zoneEnd, isZone))
        ++zoneEnd;
    qsizetype before = zone;
    while (before > 0 && unquoted(before - 1, isSeparator))
        --before;
    qsizetype after = zoneEnd;
    while (after < format.size() && unquoted(after, isSeparator))
        ++after;

    if (before == 0) // the field leads: it goes with the separator after it
        return format.remove(0, after);
    // The field follows another: it goes with the separator before it and the brackets it closes.
    // A dot right after a literal word ("'ч'.") is the word's abbreviation and stays.
    if (format[before] == u'.' &&
        (quoted[before - 1] || (format[before - 1].isLetter() && format[before - 1] > u'z')))
        ++before;
    qsizetype closing = zoneEnd;
    while (closing < after && unquoted(closing, isClosingBracket))
        ++closing;
    return format.remove(before, closing - before);
}

bool isMidnight(const QTime& time)
{
    return time.hour() == 0 && time.minute() == 0 && time.second() == 0;
}

// The text with the locale's own digits written as ASCII digits.
QString withAsciiDigits(const QString& text, const QLocale& locale)
{
    const QString zero = locale.zeroDigit();
    if (zero == QLatin1String("0"))
        return text;
    const char32_t zeroCodePoint =
        zero.size() == 2 ? QChar::surrogateToUcs4(zero[0], zero[1]) : zero[0].unicode();
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t codePoint = text[i].unicode();
        qsizetype units = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(text[i], text[i + 1]);
            units = 2;
        }
        if (codePoint >= zeroCodePoint && codePoint <= zeroCodePoint + 9)
            result += QLatin1Char(char('0' + (codePoint - zeroCodePoint)));
        else
            result += QStringView(text).mid(i, units);
        i += units - 1;
    }
    return result;
}

// Whether an AM/PM section of `format` is followed by more of the format.
bool amPmBeforeMoreText(const QString& format)
{
    bool quoted = false;
    bool amPmSeen = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (amPmSeen && !c.isSpace() && (quoted || (c != u'a' && c != u'A' && c != u'p' && c != u'P')))
            return true;
        if (!quoted && (c == u'a' || c == u'A'))
            amPmSeen = true;
    }
    return false;
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
    QString format = locale.timeFormat(QLocale::LongFormat);
    while (std::optional<QString> shorter = withoutFirstTimeZone(format))
        format = *shorter;
    return format.trimmed();
}

namespace {

std::mutex folderWritersLock;
QList<QLocale>& folderWriters()
{
    static QList<QLocale> locales;
    return locales;
}

} // namespace

void SetFolderWriterLocales(const QList<QLocale>& locales)
{
    const std::lock_guard lock(folderWritersLock);
    folderWriters() = locales;
}

QList<QLocale> OtherDateTimeLocales(const QLocale& locale)
{
    QList<QLocale> writers;
    {
        const std::lock_guard lock(folderWritersLock);
        writers = folderWriters();
    }
    writers << QLocale::c();
    // A locale's forms are known by its formats: one that writes as the reading locale adds nothing.
    const auto sameForms = [](const QLocale& a, const QLocale& b) {
        return a.dateFormat(QLocale::ShortFormat) == b.dateFormat(QLocale::ShortFormat) &&
               a.timeFormat(QLocale::LongFormat) == b.timeFormat(QLocale::LongFormat) &&
               a.timeFormat(QLocale::ShortFormat) == b.timeFormat(QLocale::ShortFormat) &&
               a.amText() == b.amText() && a.pmText() == b.pmText() && a.zeroDigit() == b.zeroDigit() &&
               a.monthName(1, QLocale::ShortFormat) == b.monthName(1, QLocale::ShortFormat);
    };
    QList<QLocale> others;
    for (const QLocale& writer : std::as_const(writers)) {
        if (sameForms(writer, locale) || std::any_of(others.cbegin(), others.cend(),
                                                     [&](const QLocale& o) { return sameForms(o, writer); }))
            continue;
        others << writer;
    }
    return others;
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

QList<DateTimeForm> DateTimeForms(const QLocale& locale, DateTimeCommas commas)
{
    const QString time = StoredTimeFormat(locale);
    // Earlier versions left the separator of the time-zone field in ("14:15:00," or "14:15:00 ()").
    const QString earlierTime = rewriteRuns(locale.timeFormat(QLocale::LongFormat), u't', [](qsizetype) {
                                    return QString();
                                }).trimmed();
    const QString shortTime = locale.timeFormat(QLocale::ShortFormat);
    const QString date = StoredDateFormat(locale);
    const QString twoDigitDate = rewriteRuns(locale.dateFormat(QLocale::ShortFormat), u'y',
                                             [](qsizetype) { return QStringLiteral("yy"); });
    const std::pair<QString, bool> dateFormats[] = {{date, false}, {twoDigitDate, true}};
    QList<DateTimeForm> forms;
    for (const auto& [dateFormat, twoDigitYear] : dateFormats) {
        if (twoDigitYear && twoDigitDate == date)
            break; // the same forms again
        QStringList formats = {dateFormat + u' ' + time, dateFormat + u' ' + shortTime, dateFormat};
        if (earlierTime != time)
            formats.insert(1, dateFormat + u' ' + earlierTime);
        for (QString& format : formats) {
            if (commas == DateTimeCommas::Removed)
                format.remove(u',');
            forms.append({format, twoDigitYear});
        }
    }
    return forms;
}

QString DateTimeTextToRead(QStringView text, const QLocale& locale, DateTimeCommas commas)
{
    QString result = text.toString();
    if (commas == DateTimeCommas::Removed)
        result.remove(u',');
    return withAsciiDigits(result, locale).trimmed();
}

std::optional<QDateTime> ReadDateTimeWithLocale(const QString& text, const QLocale& locale,
                                                const QList<DateTimeForm>& forms, QDate today)
{
    if (text.isEmpty())
        return std::nullopt;
    for (const DateTimeForm& form : forms) {
        if (QLocaleMisreadsAmPm(form.format, locale))
            continue;
        QDateTime parsed = locale.toDateTime(text, form.format);
        if (!parsed.isValid())
            continue;
        if (form.twoDigitYear) {
            // Qt reads a two-digit year as 19xx; move it to the century nearest today.
            int year = parsed.date().year();
            while (year < today.year() - 50)
                year += 100;
            parsed.setDate(QDate(year, parsed.date().month(), parsed.date().day()));
            // Moved, it may fall into an hour that the clock skipped that year.
            if (!parsed.isValid())
                continue;
        }
        return parsed;
    }
    return std::nullopt;
}

bool QLocaleMisreadsAmPm(const QString& format, const QLocale& locale)
{
    const QString am = locale.amText();
    const QString pm = locale.pmText();
    const bool sameLength =
        am.toUpper().size() == pm.toUpper().size() && am.toLower().size() == pm.toLower().size();
    return !sameLength && amPmBeforeMoreText(format);
}

std::optional<QDateTime> ParseDateTimeText(QStringView text, const QLocale& locale, QDate today,
                                           DateTimeCommas commas)
{
    // The program's own reader reads the program's texts itself and leaves the rest to QLocale.
    return DateTimeTextReader(locale, commas, today).read(text);
}
