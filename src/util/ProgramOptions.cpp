#include "util/ProgramOptions.h"

#include "net/ServiceAddresses.h"
#include "util/DateTimeText.h"
#include "util/IniLines.h"
#include "util/TextFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <functional>
#include <optional>

namespace {

const QList<std::pair<TrendSource, QString>>& trendSourceKeys()
{
    static const QList<std::pair<TrendSource, QString>> keys{
        {TrendSource::Trending, QStringLiteral("trending")},
        {TrendSource::Classic, QStringLiteral("classic")}};
    return keys;
}

const QList<std::pair<SuggestEngine, QString>>& engineKeys()
{
    static const QList<std::pair<SuggestEngine, QString>> keys{
        {SuggestEngine::Google, QStringLiteral("google")},
        {SuggestEngine::YouTube, QStringLiteral("youtube")},
        {SuggestEngine::Bing, QStringLiteral("bing")},
        {SuggestEngine::DuckDuckGo, QStringLiteral("duckduckgo")},
        {SuggestEngine::Amazon, QStringLiteral("amazon")},
        {SuggestEngine::Classic, QStringLiteral("classic")}};
    return keys;
}

const QList<std::pair<LookTheme, QString>>& themeKeys()
{
    static const QList<std::pair<LookTheme, QString>> keys{{LookTheme::System, QStringLiteral("system")},
                                                           {LookTheme::Light, QStringLiteral("light")},
                                                           {LookTheme::Dark, QStringLiteral("dark")}};
    return keys;
}

template <typename Choice>
std::optional<Choice> choiceOf(const QList<std::pair<Choice, QString>>& keys, const QString& text)
{
    const QString key = text.trimmed().toLower();
    for (const auto& [choice, word] : keys) {
        if (word == key)
            return choice;
    }
    return std::nullopt;
}

template <typename Choice> QString keyOf(const QList<std::pair<Choice, QString>>& keys, Choice choice)
{
    for (const auto& [each, word] : keys) {
        if (each == choice)
            return word;
    }
    return keys.first().second;
}

bool isCountryCode(const QString& code)
{
    static const QRegularExpression pattern(QStringLiteral("^[A-Z]{2}$"));
    return pattern.match(code).hasMatch();
}

bool isLanguageCode(const QString& code)
{
    static const QRegularExpression pattern(QStringLiteral("^[a-z]{2,3}$"));
    return pattern.match(code).hasMatch();
}

QString translated(const char* text)
{
    return QCoreApplication::translate("ProgramOptions", text);
}

// One choice of the file: its key; how its text is read (as the choice in the words the program
// writes, or nothing when it cannot be read); how such a choice is taken into the options; the
// options' choice in those words; and the text written for it.
struct ChoiceKey {
    QString group;
    QString name;
    std::function<std::optional<QString>(const QString& text)> read;
    std::function<void(ProgramOptions& options, const QString& choice)> take;
    std::function<QString(const ProgramOptions& options)> choice;
    std::function<QByteArray(const ProgramOptions& options)> write;
};

template <typename Choice>
ChoiceKey wordKey(const char* group, const char* name, const QList<std::pair<Choice, QString>>* keys,
                  Choice ProgramOptions::*member)
{
    return {QLatin1String(group),
            QLatin1String(name),
            [keys](const QString& text) -> std::optional<QString> {
                if (const auto choice = choiceOf(*keys, text))
                    return keyOf(*keys, *choice);
                return std::nullopt;
            },
            [keys, member](ProgramOptions& options, const QString& word) {
                if (const auto choice = choiceOf(*keys, word))
                    options.*member = *choice;
            },
            [keys, member](const ProgramOptions& options) { return keyOf(*keys, options.*member); },
            [keys, member](const ProgramOptions& options) {
                return IniValueText(keyOf(*keys, options.*member));
            }};
}

// The countries as the options keep them (known codes, upper case, each once), or nothing.
std::optional<QString> geoOf(const QString& text)
{
    QStringList geo;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        const QString code = part.trimmed().toUpper();
        if (isCountryCode(code) && !geo.contains(code))
            geo << code;
    }
    if (geo.isEmpty())
        return std::nullopt;
    return geo.join(u',');
}

ChoiceKey codeKey(const char* name, QString ProgramOptions::*member, bool language)
{
    return {QStringLiteral("Suggest"),
            QLatin1String(name),
            [language](const QString& text) -> std::optional<QString> {
                const QString code = language ? text.trimmed().toLower() : text.trimmed().toUpper();
                if (language ? isLanguageCode(code) : isCountryCode(code))
                    return code;
                return std::nullopt;
            },
            [member](ProgramOptions& options, const QString& code) { options.*member = code; },
            [member](const ProgramOptions& options) { return options.*member; },
            [member](const ProgramOptions& options) { return IniValueText(options.*member); }};
}

ChoiceKey pauseKey(const char* name, int ProgramOptions::*member)
{
    return {QStringLiteral("Suggest"),
            QLatin1String(name),
            [](const QString& text) -> std::optional<QString> {
                bool read = false;
                const int seconds = text.trimmed().toInt(&read);
                if (!read || seconds < 0 || seconds > MaxPauseSeconds)
                    return std::nullopt;
                return QString::number(seconds);
            },
            [member](ProgramOptions& options, const QString& seconds) { options.*member = seconds.toInt(); },
            [member](const ProgramOptions& options) { return QString::number(options.*member); },
            [member](const ProgramOptions& options) { return QByteArray::number(options.*member); }};
}

// The choices in the order a new file lists them.
const QList<ChoiceKey>& choiceKeys()
{
    static const QList<ChoiceKey> keys{
        wordKey("HotTrends", "Source", &trendSourceKeys(), &ProgramOptions::trendSource),
        {QStringLiteral("HotTrends"), QStringLiteral("Geo"), geoOf,
         [](ProgramOptions& options, const QString& geo) { options.geo = geo.split(u','); },
         [](const ProgramOptions& options) { return options.geo.join(u','); },
         [](const ProgramOptions& options) { return IniListText(options.geo); }},
        wordKey("Suggest", "Engine", &engineKeys(), &ProgramOptions::engine),
        codeKey("Language", &ProgramOptions::language, true),
        codeKey("Country", &ProgramOptions::country, false),
        pauseKey("PauseMin", &ProgramOptions::pauseMin),
        pauseKey("PauseMax", &ProgramOptions::pauseMax),
        wordKey("Look", "Theme", &themeKeys(), &ProgramOptions::theme)};
    return keys;
}

const QString EndpointsGroup = QStringLiteral("Endpoints");

struct EndpointKey {
    QString name;
    QString ServiceEndpoints::*member;
};

const QList<EndpointKey>& endpointKeys()
{
    static const QList<EndpointKey> keys{{QStringLiteral("Trends"), &ServiceEndpoints::trends},
                                         {QStringLiteral("GoogleSuggest"), &ServiceEndpoints::googleSuggest},
                                         {QStringLiteral("Bing"), &ServiceEndpoints::bing},
                                         {QStringLiteral("DuckDuckGo"), &ServiceEndpoints::duckDuckGo},
                                         {QStringLiteral("Amazon"), &ServiceEndpoints::amazon}};
    return keys;
}

// The file's bytes (none when there is no file), or nothing, with the reason, when the file is
// there but is no text the options can be read from.
std::optional<QByteArray> fileBytes(const QString& path, QString& problem)
{
    QFile file(path);
    if (!file.exists())
        return QByteArray();
    if (!file.open(QIODevice::ReadOnly)) {
        problem = translated("it cannot be read (%1)").arg(file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (bytes.contains('\0') || bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        problem = translated("it is not UTF-8 text (UTF-16 or binary) and cannot be read");
        return std::nullopt;
    }
    return bytes;
}

// Reads the file, lets `edit` change its lines and writes it at once when they changed.
QString editFile(const QString& path, const std::function<void(IniLines&)>& edit)
{
    QString unreadable;
    const std::optional<QByteArray> bytes = fileBytes(path, unreadable);
    if (!bytes)
        return WriteErrorText(path, translated("%1, so it is left as it is").arg(unreadable));
    IniLines lines(*bytes);
    edit(lines);
    const QByteArray edited = lines.bytes();
    if (edited == *bytes && QFileInfo::exists(path))
        return {};
    if (const QString error = WriteFileAtomic(path, edited); !error.isEmpty())
        return WriteErrorText(path, error);
    return {};
}

// The problem of the address of the service under `name` in [Endpoints], or nothing.
std::optional<OptionsProblem> addressProblem(const ProgramOptions& options, const QString& name)
{
    for (const OptionsProblem& problem : options.problems) {
        if (problem.key.isEmpty() || problem.key == EndpointsGroup + u'/' + name)
            return problem;
    }
    return std::nullopt;
}

} // namespace

ProgramOptions ProgramOptions::defaults(const QLocale& locale)
{
    ProgramOptions options;
    if (locale.territory() != QLocale::AnyTerritory && locale.language() != QLocale::C) {
        const QString country = QLocale::territoryToCode(locale.territory());
        if (isCountryCode(country)) {
            options.geo = {country};
            options.country = country;
        }
        const QString language = QLocale::languageToCode(locale.language(), QLocale::ISO639Part1);
        if (isLanguageCode(language))
            options.language = language;
    }
    return options;
}

ProgramOptions ReadProgramOptions(const QString& path, const QLocale& locale)
{
    ProgramOptions options = ProgramOptions::defaults(locale);
    QString unreadable;
    const std::optional<QByteArray> bytes = fileBytes(path, unreadable);
    if (!bytes) {
        // Nothing of the file can be trusted: the choices are the defaults, and no service is asked at
        // an address other than the one the user may have written.
        for (const EndpointKey& key : endpointKeys())
            options.endpoints.*key.member = QString();
        options.problems << OptionsProblem{QString(), QString(), unreadable};
        return options;
    }
    const IniLines file(*bytes);
    for (const ChoiceKey& key : choiceKeys()) {
        if (const auto text = file.value(key.group, key.name)) {
            if (const auto choice = key.read(*text))
                key.take(options, *choice);
        }
    }
    if (options.pauseMax < options.pauseMin)
        options.pauseMax = options.pauseMin;
    for (const EndpointKey& key : endpointKeys()) {
        const QString text = file.value(EndpointsGroup, key.name).value_or(QString());
        const ServiceBaseAddress read = ReadServiceBaseAddress(text);
        if (!read.problem.isEmpty()) {
            options.endpoints.*key.member = QString();
            options.problems << OptionsProblem{EndpointsGroup + u'/' + key.name, text.trimmed(),
                                               read.problem};
        } else if (!read.address.isEmpty()) {
            options.endpoints.*key.member = read.address;
        }
    }
    return options;
}

QString WriteProgramOptions(const QString& path, const ProgramOptions& options)
{
    return editFile(path, [&options](IniLines& file) {
        const auto writeEndpoints = [&] {
            for (const EndpointKey& key : endpointKeys()) {
                // An address that cannot be used reads as none: unless another one is chosen, it stays
                // for the user to mend.
                const QString& wanted = options.endpoints.*key.member;
                const auto text = file.value(EndpointsGroup, key.name);
                if (wanted.isEmpty() || (text && ReadServiceBaseAddress(*text).address == wanted))
                    continue;
                file.setValue(EndpointsGroup, key.name, IniValueText(wanted));
            }
        };
        // A key the file lacks is added, so that the choices made stay when the defaults change
        // (another language of the desktop); a new file lists its sections in this order.
        for (const ChoiceKey& key : choiceKeys()) {
            if (key.group == u"Look")
                writeEndpoints();
            // A value that reads as the same choice stays as the user wrote it.
            const auto text = file.value(key.group, key.name);
            if (!text || key.read(*text) != key.choice(options))
                file.setValue(key.group, key.name, key.write(options));
        }
    });
}

QString WriteOptionsValue(const QString& path, const QString& key, const QVariant& value)
{
    return WriteOptionsValues(path, {{key, value}});
}

QString WriteOptionsValues(const QString& path, const QList<std::pair<QString, QVariant>>& values)
{
    return editFile(path, [&](IniLines& file) {
        for (const auto& [key, value] : values) {
            const qsizetype slash = key.indexOf(u'/');
            QByteArray text;
            if (value.typeId() == QMetaType::QStringList)
                text = IniListText(value.toStringList());
            else if (value.typeId() == QMetaType::Bool)
                text = value.toBool() ? "true" : "false";
            else
                text = IniValueText(value.toString());
            file.setValue(key.left(slash), key.mid(slash + 1), text);
        }
    });
}

namespace {

const QString DataGroup = QStringLiteral("Data");
const QString LocaleKey = QStringLiteral("Locale");

QStringList recordedLocaleNames(const IniLines& file)
{
    QStringList names;
    for (const QString& part : file.value(DataGroup, LocaleKey).value_or(QString()).split(u',')) {
        const QString name = part.trimmed();
        // QLocale takes any text and falls back to C: only a name it knows as such is kept.
        if (!name.isEmpty() && !names.contains(name) &&
            (name == u"C" || QLocale(name).language() != QLocale::C))
            names << name;
    }
    return names;
}

} // namespace

QList<QLocale> ReadDataLocales(const QString& path)
{
    QString unreadable;
    const std::optional<QByteArray> bytes = fileBytes(path, unreadable);
    QList<QLocale> locales;
    if (!bytes)
        return locales;
    for (const QString& name : recordedLocaleNames(IniLines(*bytes)))
        locales << QLocale(name);
    return locales;
}

QString RecordDataLocale(const QString& path, const QLocale& writer)
{
    return editFile(path, [&writer](IniLines& file) {
        QStringList names = recordedLocaleNames(file);
        if (names.contains(writer.name()))
            return;
        names << writer.name();
        file.setValue(DataGroup, LocaleKey, IniListText(names));
    });
}

QString UseDataFolderLocales(const QString& path, const QLocale& writer)
{
    SetFolderWriterLocales(ReadDataLocales(path));
    return RecordDataLocale(path, writer);
}

std::optional<OptionsProblem> TrendsAddressProblem(const ProgramOptions& options)
{
    if (options.trendSource != TrendSource::Trending)
        return std::nullopt;
    return addressProblem(options, QStringLiteral("Trends"));
}

std::optional<OptionsProblem> SuggestAddressProblem(const ProgramOptions& options)
{
    switch (options.engine) {
    case SuggestEngine::Google:
    case SuggestEngine::YouTube:
        return addressProblem(options, QStringLiteral("GoogleSuggest"));
    case SuggestEngine::Bing:
        return addressProblem(options, QStringLiteral("Bing"));
    case SuggestEngine::DuckDuckGo:
        return addressProblem(options, QStringLiteral("DuckDuckGo"));
    case SuggestEngine::Amazon:
        return addressProblem(options, QStringLiteral("Amazon"));
    case SuggestEngine::Classic:
        break;
    }
    return std::nullopt;
}

QString OptionsProblemText(const OptionsProblem& problem)
{
    if (problem.key.isEmpty()) {
        return translated("%1: %2. No service of its [Endpoints] is asked anything until it is saved as "
                          "UTF-8 text.")
            .arg(OptionsFileName, problem.reason);
    }
    const qsizetype slash = problem.key.indexOf(u'/');
    return translated("%1: [%2] %3=%4 is not used: %5. Nothing is sent to that service until it is "
                      "corrected.")
        .arg(OptionsFileName, problem.key.left(slash), problem.key.mid(slash + 1), problem.value,
             problem.reason);
}

QStringList ChosenServiceAddresses(const ServiceEndpoints& endpoints)
{
    static const ServiceEndpoints defaults;
    QStringList chosen;
    for (const EndpointKey& key : endpointKeys()) {
        const QString& address = endpoints.*key.member;
        if (!address.isEmpty() && address != defaults.*key.member)
            chosen << address;
    }
    return chosen;
}

QString TrendSourceKey(TrendSource source)
{
    return keyOf(trendSourceKeys(), source);
}

QString SuggestEngineKey(SuggestEngine engine)
{
    return keyOf(engineKeys(), engine);
}

QString LookThemeKey(LookTheme theme)
{
    return keyOf(themeKeys(), theme);
}

std::optional<QString> CountryCodeOf(const QString& text)
{
    const QString code = text.trimmed().toUpper();
    return isCountryCode(code) ? std::optional(code) : std::nullopt;
}

std::optional<QString> LanguageCodeOf(const QString& text)
{
    const QString code = text.trimmed().toLower();
    return isLanguageCode(code) ? std::optional(code) : std::nullopt;
}
