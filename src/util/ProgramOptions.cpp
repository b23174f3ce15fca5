#include "util/ProgramOptions.h"

#include <QRegularExpression>
#include <QSettings>
#include <QUrl>

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

// A base address: http or https with a host, kept without a trailing slash.
std::optional<QString> endpointOf(const QString& text)
{
    QString address = text.trimmed();
    while (address.endsWith(u'/'))
        address.chop(1);
    const QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
        return std::nullopt;
    return address;
}

// QSettings reads a value holding a comma as a list: the text the user wrote, either way.
QString textOf(const QVariant& value)
{
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    return value.toString();
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
    const QSettings file(path, QSettings::IniFormat);
    const auto text = [&file](const char* key) { return textOf(file.value(QLatin1String(key))); };

    if (const auto source = choiceOf(trendSourceKeys(), text("HotTrends/Source")))
        options.trendSource = *source;
    QStringList geo;
    for (const QString& part : text("HotTrends/Geo").split(u',', Qt::SkipEmptyParts)) {
        const QString code = part.trimmed().toUpper();
        if (isCountryCode(code) && !geo.contains(code))
            geo << code;
    }
    if (!geo.isEmpty())
        options.geo = geo;

    if (const auto engine = choiceOf(engineKeys(), text("Suggest/Engine")))
        options.engine = *engine;
    if (const QString language = text("Suggest/Language").trimmed().toLower(); isLanguageCode(language))
        options.language = language;
    if (const QString country = text("Suggest/Country").trimmed().toUpper(); isCountryCode(country))
        options.country = country;
    bool minRead = false;
    bool maxRead = false;
    const int pauseMin = text("Suggest/PauseMin").trimmed().toInt(&minRead);
    const int pauseMax = text("Suggest/PauseMax").trimmed().toInt(&maxRead);
    if (minRead && pauseMin >= 0 && pauseMin <= MaxPauseSeconds)
        options.pauseMin = pauseMin;
    if (maxRead && pauseMax >= 0 && pauseMax <= MaxPauseSeconds)
        options.pauseMax = pauseMax;
    if (options.pauseMax < options.pauseMin)
        options.pauseMax = options.pauseMin;

    if (const auto theme = choiceOf(themeKeys(), text("Look/Theme")))
        options.theme = *theme;
    const std::pair<const char*, QString ServiceEndpoints::*> endpoints[] = {
        {"Endpoints/Trends", &ServiceEndpoints::trends},
        {"Endpoints/GoogleSuggest", &ServiceEndpoints::googleSuggest},
        {"Endpoints/Bing", &ServiceEndpoints::bing},
        {"Endpoints/DuckDuckGo", &ServiceEndpoints::duckDuckGo},
        {"Endpoints/Amazon", &ServiceEndpoints::amazon}};
    for (const auto& [key, member] : endpoints) {
        if (const auto address = endpointOf(text(key)))
            options.endpoints.*member = *address;
    }
    return options;
}

QString WriteProgramOptions(const QString& path, const ProgramOptions& options)
{
    // QSettings writes into a temporary file of the same folder and renames it over the old one.
    QSettings file(path, QSettings::IniFormat);
    // Only the options' own groups are written anew: the window's remembered places stay.
    for (const char* group : {"HotTrends", "Suggest", "Endpoints", "Look"})
        file.remove(QLatin1String(group));
    file.setValue(QStringLiteral("HotTrends/Source"), TrendSourceKey(options.trendSource));
    file.setValue(QStringLiteral("HotTrends/Geo"), options.geo.join(u','));
    file.setValue(QStringLiteral("Suggest/Engine"), SuggestEngineKey(options.engine));
    file.setValue(QStringLiteral("Suggest/Language"), options.language);
    file.setValue(QStringLiteral("Suggest/Country"), options.country);
    file.setValue(QStringLiteral("Suggest/PauseMin"), options.pauseMin);
    file.setValue(QStringLiteral("Suggest/PauseMax"), options.pauseMax);
    file.setValue(QStringLiteral("Look/Theme"), LookThemeKey(options.theme));
    file.setValue(QStringLiteral("Endpoints/Trends"), options.endpoints.trends);
    file.setValue(QStringLiteral("Endpoints/GoogleSuggest"), options.endpoints.googleSuggest);
    file.setValue(QStringLiteral("Endpoints/Bing"), options.endpoints.bing);
    file.setValue(QStringLiteral("Endpoints/DuckDuckGo"), options.endpoints.duckDuckGo);
    file.setValue(QStringLiteral("Endpoints/Amazon"), options.endpoints.amazon);
    file.sync();
    switch (file.status()) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return QStringLiteral("Could not write \"%1\": access denied").arg(OptionsFileName);
    case QSettings::FormatError:
        break;
    }
    return QStringLiteral("Could not write \"%1\"").arg(OptionsFileName);
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
