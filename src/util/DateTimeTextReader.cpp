#include "util/DateTimeTextReader.h"

#include <algorithm>
#include <array>

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// The runs of ASCII digits in a text, or -1 when it holds a digit of another script (also one
// outside the Basic Multilingual Plane), which is left to QLocale.
qsizetype asciiDigitRuns(QStringView text)
{
    qsizetype runs = 0;
    bool inRun = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool digit = isAsciiDigit(text[i]);
        if (digit && !inRun)
            ++runs;
        inRun = digit;
        if (text[i].unicode() < 0x80)
            continue;
        char32_t codePoint = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        if (QChar::isDigit(codePoint))
            return -1;
    }
    return runs;
}

// QStringView::startsWith without its call into the library: the texts here are a few characters.
bool startsWith(QStringView text, QStringView prefix)
{
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin());
}

bool hasDigit(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

// One part of a compiled form: literal text, a number, a month's name or an AM/PM text.
struct Part {
    enum Kind { Literal, Day, Month, Year, Hour, Minute, Second, AmPm };
    Kind kind;
    int digits = 0; // a number's exact count of digits; 0: one or two
    QString literal;
    QStringList monthNames; // a month written by its name: the twelve names as the form writes them
};

} // namespace

struct DateTimeTextReader::CompiledForm {
    QList<Part> parts;
    qsizetype numbers = 0;
    bool twelveHour = false; // the hour counts 1 to 12 beside an AM/PM text
    bool twoDigitYear = false;
    QString am; // the AM/PM texts as the form writes them
    QString pm;
};

struct DateTimeTextReader::Fields {
    std::array<int, Part::AmPm> numbers{}; // by the kind of their part, Day to Second; 0 when absent
    bool pm = false;

    int operator[](Part::Kind kind) const { return numbers[kind]; }
};

namespace {

using CompiledForm = DateTimeTextReader::CompiledForm;

// The number a run of one format letter stands for, or nothing when the reader does not read it.
std::optional<Part> numberPart(QChar letter, qsizetype run)
{
    switch (letter.unicode()) {
    case u'd':
    case u'M':
    case u'h':
    case u'H':
    case u'm':
    case u's': {
        if (run > 2)
            return std::nullopt; // names of days and months, or two numbers in a row
        const Part::Kind kinds[] = {Part::Day,  Part::Month,  Part::Hour,
                                    Part::Hour, Part::Minute, Part::Second};
        const qsizetype kind = QStringView(u"dMhHms").indexOf(letter);
        return Part{kinds[kind], run == 2 ? 2 : 0, {}, {}};
    }
    case u'y':
        if (run != 2 && run != 4)
            return std::nullopt;
        return Part{Part::Year, int(run), {}, {}};
    default:
        return std::nullopt;
    }
}

// A month written by its name ("MMM", "MMMM"), or nothing when the names could be mistaken for
// each other or for numbers.
std::optional<Part> monthNamePart(const QLocale& locale, const QString& token)
{
    Part part{Part::Month, 0, {}, {}};
    for (int month = 1; month <= 12; ++month) {
        const QString name = locale.toString(QDate(2001, month, 1), token);
        if (name.isEmpty() || hasDigit(name) || part.monthNames.contains(name))
            return std::nullopt;
        part.monthNames << name;
    }
    return part;
}

// Reads a month's name at `pos`: the longest name the text starts with.
bool readMonthName(const Part& part, QStringView text, qsizetype& pos, int& month)
{
    qsizetype longest = 0;
    for (qsizetype index = 0; index < part.monthNames.size(); ++index) {
        const QString& name = part.monthNames[index];
        if (name.size() > longest && startsWith(text.sliced(pos), name)) {
            longest = name.size();
            month = int(index) + 1;
        }
    }
    pos += longest;
    return longest > 0;
}

// The letters of Qt's date-time formats; any other letter is literal text.
bool isFormatLetter(QChar c)
{
    return QStringView(u"dMyhHmszaAt").contains(c);
}

void appendLiteral(CompiledForm& form, QStringView text)
{
    if (!form.parts.isEmpty() && form.parts.last().kind == Part::Literal)
        form.parts.last().literal += text;
    else
        form.parts.append({Part::Literal, 0, text.toString(), {}});
}

// The form as parts, or nothing when it holds what the reader does not read: names of days,
// fractions of a second, time zones, numbers next to each other, digits in literal text, AM/PM texts that
// contain digits or start like each other.
std::optional<CompiledForm> compile(const DateTimeForm& form, const QLocale& locale)
{
    CompiledForm compiled;
    compiled.twoDigitYear = form.twoDigitYear;
    const QString& format = form.format;
    bool hourIsH = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'') {
            // Quoted literal text; two quotes stand for one.
            qsizetype end = i + 1;
            QString literal;
            while (end < format.size()) {
                if (format[end] == u'\'' && end + 1 < format.size() && format[end + 1] == u'\'') {
                    literal += u'\'';
                    end += 2;
                } else if (format[end] == u'\'') {
                    break;
                } else {
                    literal += format[end++];
                }
            }
            appendLiteral(compiled, i + 1 == end ? QStringView(u"'") : QStringView(literal));
            i = end + 1;
            continue;
        }
        if (!isFormatLetter(c)) {
            appendLiteral(compiled, QStringView(&c, 1));
            ++i;
            continue;
        }
        if (c == u'a' || c == u'A') {
            const qsizetype length =
                (i + 1 < format.size() && (format[i + 1] == u'p' || format[i + 1] == u'P')) ? 2 : 1;
            const QString token = format.mid(i, length);
            compiled.am = locale.toString(QTime(1, 0), token);
            compiled.pm = locale.toString(QTime(13, 0), token);
            compiled.parts.append({Part::AmPm, 0, {}, {}});
            i += length;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        const std::optional<Part> number = c == u'M' && (run == 3 || run == 4)
                                               ? monthNamePart(locale, format.mid(i, run))
                                               : numberPart(c, run);
        if (!number)
            return std::nullopt;
        if (!compiled.parts.isEmpty() && compiled.parts.last().kind != Part::Literal &&
            compiled.parts.last().kind != Part::AmPm)
            return std::nullopt;
        hourIsH = hourIsH || c == u'H';
        compiled.parts.append(*number);
        if (number->monthNames.isEmpty())
            ++compiled.numbers; // the runs of digits the form reads
        i += run;
    }

    const auto count = [&](Part::Kind kind) {
        return std::count_if(compiled.parts.cbegin(), compiled.parts.cend(),
                             [kind](const Part& part) { return part.kind == kind; });
    };
    const bool hasAmPm = count(Part::AmPm) == 1;
    compiled.twelveHour = hasAmPm && count(Part::Hour) == 1;
    const bool oneOfEach = count(Part::Day) == 1 && count(Part::Month) == 1 && count(Part::Year) == 1 &&
                           count(Part::Hour) <= 1 && count(Part::Minute) <= 1 && count(Part::Second) <= 1 &&
                           count(Part::AmPm) <= 1;
    const bool amPmReadable =
        !hasAmPm || (compiled.twelveHour && !hourIsH && !compiled.am.isEmpty() && !compiled.pm.isEmpty() &&
                     !hasDigit(compiled.am) && !hasDigit(compiled.pm) &&
                     !compiled.am.startsWith(compiled.pm, Qt::CaseInsensitive) &&
                     !compiled.pm.startsWith(compiled.am, Qt::CaseInsensitive));
    const bool literalsWithoutDigits =
        std::none_of(compiled.parts.cbegin(), compiled.parts.cend(),
                     [](const Part& part) { return part.kind == Part::Literal && hasDigit(part.literal); });
    if (!oneOfEach || !amPmReadable || !literalsWithoutDigits)
        return std::nullopt;
    return compiled;
}

using Fields = DateTimeTextReader::Fields;

// How a text fits one compiled form.
enum class Fit { Fits, NotThisForm, Undecided };

// Reads the number of a part at `pos`. A year with the digits of the other year format is
// certainly not this form: QLocale reads a four-digit year from four digits and a two-digit year
// from two. Anything else unusual is left to QLocale.
Fit readNumber(const Part& part, QStringView text, qsizetype& pos, int& value)
{
    qsizetype end = pos;
    while (end < text.size() && isAsciiDigit(text[end]))
        ++end;
    const qsizetype digits = end - pos;
    if (part.kind == Part::Year && digits != part.digits && (digits == 2 || digits == 4))
        return Fit::NotThisForm;
    if (part.digits ? digits != part.digits : (digits < 1 || digits > 2))
        return Fit::Undecided;
    value = 0;
    for (; pos < end; ++pos)
        value = value * 10 + (text[pos].unicode() - u'0');
    return Fit::Fits;
}

Fit readParts(const CompiledForm& form, QStringView text, Fields& fields)
{
    qsizetype pos = 0;
    for (const Part& part : form.parts) {
        const QStringView rest = text.sliced(pos);
        Fit fit = Fit::Fits;
        switch (part.kind) {
        case Part::Literal:
            if (!startsWith(rest, part.literal))
                return Fit::Undecided;
            pos += part.literal.size();
            break;
        case Part::AmPm:
            fields.pm = startsWith(rest, form.pm);
            if (!fields.pm && !startsWith(rest, form.am))
                return Fit::Undecided;
            pos += fields.pm ? form.pm.size() : form.am.size();
            break;
        default:
            if (!part.monthNames.isEmpty())
                fit = readMonthName(part, text, pos, fields.numbers[part.kind]) ? Fit::Fits : Fit::Undecided;
            else
                fit = readNumber(part, text, pos, fields.numbers[part.kind]);
            break;
        }
        if (fit != Fit::Fits)
            return fit;
    }
    return pos == text.size() ? Fit::Fits : Fit::Undecided;
}

// The hour of the day, or -1 for an hour QLocale may read otherwise than the program writes it.
int hourOfDay(const CompiledForm& form, const Fields& fields)
{
    const int hour = fields[Part::Hour];
    if (!form.twelveHour)
        return hour <= 23 ? hour : -1;
    if (hour < 1 || hour > 12)
        return -1;
    return hour % 12 + (fields.pm ? 12 : 0);
}

constexpr qint64 MsecsPerDay = 24 * 60 * 60 * 1000;
// The day of ZeroDateTime(), without the cost of a local date-time.
const QDate ZeroDay(1899, 12, 30);

} // namespace

DateTimeTextReader::DateTimeTextReader(const QLocale& locale, DateTimeCommas commas, QDate today)
    : DateTimeTextReader(locale, commas, today, OwnFormsOnly{})
{
    for (const QLocale& other : OtherDateTimeLocales(locale))
        m_others.push_back(std::unique_ptr<DateTimeTextReader>(
            new DateTimeTextReader(other, commas, today, OwnFormsOnly{})));
}

DateTimeTextReader::DateTimeTextReader(const QLocale& locale, DateTimeCommas commas, QDate today,
                                       OwnFormsOnly)
    : m_locale(locale)
    , m_commas(commas)
    , m_today(today)
    , m_forms(DateTimeForms(locale, commas))
    , m_localeDigits(locale.zeroDigit() != QLatin1String("0"))
{
    for (const DateTimeForm& form : m_forms)
        m_compiled.push_back(compile(form, locale));
}

DateTimeTextReader::~DateTimeTextReader() = default;

DateTimeTextReader::Reading DateTimeTextReader::readCompiled(QStringView text) const
{
    const Reading undecided{Reading::Undecided, {}};
    if (text.isEmpty())
        return {Reading::Unreadable, {}};
    // Each number of a form takes one run of digits (numbers are never next to each other, and
    // literal texts hold no digits), so QLocale cannot read a text with a form of another count.
    const qsizetype runs = asciiDigitRuns(text);
    if (runs < 0)
        return undecided;
    for (const std::optional<CompiledForm>& form : m_compiled) {
        if (!form)
            return undecided;
        if (form->numbers != runs)
            continue;
        Fields fields;
        const Fit fit = readParts(*form, text, fields);
        if (fit == Fit::NotThisForm)
            continue;
        const std::optional<WallClock> when = fit == Fit::Fits ? wallClock(*form, fields) : std::nullopt;
        return when ? Reading{Reading::Read, *when} : undecided;
    }
    return {Reading::Unreadable, {}};
}

std::optional<DateTimeTextReader::WallClock> DateTimeTextReader::wallClock(const CompiledForm& form,
                                                                           const Fields& fields) const
{
    // QLocale reads a two-digit year as 19xx; it is then moved to the century nearest today.
    const int readYear = form.twoDigitYear ? 1900 + fields[Part::Year] : fields[Part::Year];
    const QDate readDate(readYear, fields[Part::Month], fields[Part::Day]);
    int year = readYear;
    while (form.twoDigitYear && year < m_today.year() - 50)
        year += 100;
    const QDate date = year == readYear ? readDate : QDate(year, fields[Part::Month], fields[Part::Day]);
    const int hour = hourOfDay(form, fields);
    if (!readDate.isValid() || !date.isValid() || hour < 0 || fields[Part::Minute] > 59 ||
        fields[Part::Second] > 59 || clockChangesOn(date) || (readDate != date && clockChangesOn(readDate)))
        return std::nullopt;
    return WallClock{date, QTime(hour, fields[Part::Minute], fields[Part::Second])};
}

bool DateTimeTextReader::clockChangesOn(QDate date) const
{
    // On a day when the local clock is changed (summer time) some times do not exist, and QLocale
    // does not read them; such days are left to it. Days are few, so each is asked about once.
    auto known = m_clockChangesOn.constFind(date.toJulianDay());
    if (known == m_clockChangesOn.cend()) {
        const QDateTime start = date.startOfDay();
        const QDateTime end = date.addDays(1).startOfDay();
        const bool changes =
            !start.isValid() || !end.isValid() || start.offsetFromUtc() != end.offsetFromUtc();
        known = m_clockChangesOn.insert(date.toJulianDay(), changes);
    }
    return known.value();
}

const std::optional<QDateTime>& DateTimeTextReader::readWithLocale(QStringView text) const
{
    const QString key = text.toString();
    auto known = m_readWithLocale.constFind(key);
    if (known == m_readWithLocale.cend())
        known = m_readWithLocale.insert(key, ReadDateTimeWithLocale(key, m_locale, m_forms, m_today));
    return known.value();
}

QStringView DateTimeTextReader::textToRead(QStringView text, QString& storage) const
{
    // Nearly always only blanks around the text go, if any, and the text is read where it stands.
    const bool blankAround = !text.isEmpty() && (text.front().isSpace() || text.back().isSpace());
    const QStringView trimmed = blankAround ? text.trimmed() : text;
    if (!m_localeDigits && !(m_commas == DateTimeCommas::Removed && trimmed.contains(u',')))
        return trimmed;
    storage = DateTimeTextToRead(text, m_locale, m_commas);
    return storage;
}

std::optional<QDateTime> DateTimeTextReader::read(QStringView text) const
{
    std::optional<QDateTime> read = readOwn(text);
    for (size_t other = 0; !read && other < m_others.size(); ++other)
        read = m_others[other]->readOwn(text);
    return read;
}

std::optional<qint64> DateTimeTextReader::msecsSinceZero(QStringView text) const
{
    std::optional<qint64> read = msecsOwn(text);
    for (size_t other = 0; !read && other < m_others.size(); ++other)
        read = m_others[other]->msecsOwn(text);
    return read;
}

std::optional<QDateTime> DateTimeTextReader::readOwn(QStringView text) const
{
    QString storage;
    const QStringView toRead = textToRead(text, storage);
    const Reading compiled = readCompiled(toRead);
    switch (compiled.outcome) {
    case Reading::Read:
        return QDateTime(compiled.when.date, compiled.when.time);
    case Reading::Unreadable:
        return std::nullopt;
    case Reading::Undecided:
        break;
    }
    return readWithLocale(toRead);
}

std::optional<qint64> DateTimeTextReader::msecsOwn(QStringView text) const
{
    QString storage;
    const QStringView toRead = textToRead(text, storage);
    Reading compiled = readCompiled(toRead);
    if (compiled.outcome == Reading::Undecided) {
        const std::optional<QDateTime>& byLocale = readWithLocale(toRead);
        compiled = byLocale ? Reading{Reading::Read, {byLocale->date(), byLocale->time()}}
                            : Reading{Reading::Unreadable, {}};
    }
    if (compiled.outcome == Reading::Unreadable)
        return std::nullopt;
    const qint64 days = compiled.when.date.toJulianDay() - ZeroDay.toJulianDay();
    return days * MsecsPerDay + compiled.when.time.msecsSinceStartOfDay();
}
