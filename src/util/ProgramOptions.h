#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>

#include <optional>

// The user's choices of the Options window, kept in "quillory.ini" in the program folder. A missing
// file, key or value that cannot be read gives the default; the keys are fixed, so that other
// tools can write the file.

inline const QString OptionsFileName = QStringLiteral("quillory.ini");

// The longest pause between phrases the options take, in seconds.
inline constexpr int MaxPauseSeconds = 3600;

enum class TrendSource { Trending, Classic };
enum class SuggestEngine { Google, YouTube, Bing, DuckDuckGo, Amazon, Classic };
// The look of the built-in skin: the desktop's colour scheme, or always light or dark.
enum class LookTheme { System, Light, Dark };

// The base addresses of today's services; http is accepted as well as https (tests, mirrors).
struct ServiceEndpoints {
    QString trends = QStringLiteral("https://trends.google.com");
    QString googleSuggest = QStringLiteral("https://suggestqueries.google.com");
    QString bing = QStringLiteral("https://api.bing.com");
    QString duckDuckGo = QStringLiteral("https://duckduckgo.com");
    QString amazon = QStringLiteral("https://completion.amazon.com");

    friend bool operator==(const ServiceEndpoints&, const ServiceEndpoints&) = default;
};

struct ProgramOptions {
    TrendSource trendSource = TrendSource::Trending;
    // ISO 3166 country codes, upper case, at least one.
    QStringList geo{QStringLiteral("US")};
    SuggestEngine engine = SuggestEngine::Google;
    QString language = QStringLiteral("en"); // ISO 639, lower case
    QString country = QStringLiteral("US");  // ISO 3166, upper case
    // The pause before each phrase of a harvest but the first, drawn between these, in seconds.
    int pauseMin = 0;
    int pauseMax = 7;
    ServiceEndpoints endpoints;
    LookTheme theme = LookTheme::System;

    // The defaults for a user of `locale`: its country and language, else US and English.
    static ProgramOptions defaults(const QLocale& locale = QLocale());

    friend bool operator==(const ProgramOptions&, const ProgramOptions&) = default;
};

// The options of the file at `path`, each value that is missing or cannot be read taken from
// `ProgramOptions::defaults(locale)`.
ProgramOptions ReadProgramOptions(const QString& path, const QLocale& locale = QLocale());
// Writes every key, replacing the file at once; the reason when it could not, else empty.
QString WriteProgramOptions(const QString& path, const ProgramOptions& options);

// The words of the file for each choice ("trending", "google", …) and back.
QString TrendSourceKey(TrendSource source);
QString SuggestEngineKey(SuggestEngine engine);
QString LookThemeKey(LookTheme theme);

// A country or language code as the file takes it (spaces around it dropped, in either letter
// case): "gb" gives "GB", "EN " gives "en"; nothing for any other text.
std::optional<QString> CountryCodeOf(const QString& text);
std::optional<QString> LanguageCodeOf(const QString& text);
