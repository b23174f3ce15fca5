#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

#include <optional>

// The user's choices of the Options window, kept in "quillory.ini" in the program folder. A missing
// file or key gives the default, and so does a choice that cannot be read; the keys are fixed, so
// that other tools can write the file. A service address that cannot be used is another matter: the
// user wrote it, so no default stands in for it and the service is asked nothing until it is
// mended (OptionsProblem).

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

// A value of the options file that the program cannot use: the key ("Endpoints/Bing"; empty when
// the file as a whole cannot be read), the value as written and why.
struct OptionsProblem {
    QString key;
    QString value;
    QString reason;

    friend bool operator==(const OptionsProblem&, const OptionsProblem&) = default;
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
    // A service whose address cannot be used has an empty one here, and its problem below.
    ServiceEndpoints endpoints;
    LookTheme theme = LookTheme::System;
    QList<OptionsProblem> problems;

    // The defaults for a user of `locale`: its country and language, else US and English.
    static ProgramOptions defaults(const QLocale& locale = QLocale());

    friend bool operator==(const ProgramOptions&, const ProgramOptions&) = default;
};

// The options of the file at `path`, each choice that is missing or cannot be read taken from
// `ProgramOptions::defaults(locale)`; service addresses that cannot be used are left empty and told
// in `problems`. A file that is not text (UTF-16, binary) or cannot be opened leaves every service
// address empty.
ProgramOptions ReadProgramOptions(const QString& path, const QLocale& locale = QLocale());
// Writes the options into the file, replacing it at once (QSaveFile): a key whose value changed is
// rewritten in its line, a key the file lacks is added, and every other line (comments, the
// window's own keys, keys of other tools) stays as it was. An address left empty because it cannot
// be used stays as the user wrote it. The reason when it could not, else empty.
QString WriteProgramOptions(const QString& path, const ProgramOptions& options);
// Writes one value of the window's own ("window/historyPanel") the same way; lists are written as
// QSettings writes them. The reason when it could not, else empty.
QString WriteOptionsValue(const QString& path, const QString& key, const QVariant& value);
// Several of them at once, in one write of the file.
QString WriteOptionsValues(const QString& path, const QList<std::pair<QString, QVariant>>& values);

// The locales recorded in the file ([Data] Locale=) as having written the data folder's files, the
// first writer first; none when the file names none it can read.
QList<QLocale> ReadDataLocales(const QString& path);
// Records `writer` as a locale that writes the data folder, once: a locale already recorded leaves
// the file as it is. The reason when it could not, else empty.
QString RecordDataLocale(const QString& path, const QLocale& writer);
// Takes the locales recorded for the folder as the ones its dates are read in (SetFolderWriterLocales)
// and records `writer` among them, before anything of the folder is read or written. The reason when
// the record could not be written, else empty.
QString UseDataFolderLocales(const QString& path, const QLocale& writer = QLocale());

// The problem of the address that the trends scrape reads (trending now; the classic feed has no
// address in the file), or nothing.
std::optional<OptionsProblem> TrendsAddressProblem(const ProgramOptions& options);
// The problem of the address of the chosen suggest service, or nothing.
std::optional<OptionsProblem> SuggestAddressProblem(const ProgramOptions& options);
// One line for the user: the file, the key, what it holds, why it is not used and what follows.
QString OptionsProblemText(const OptionsProblem& problem);
// The service addresses that the user chose, those that differ from the defaults.
QStringList ChosenServiceAddresses(const ServiceEndpoints& endpoints);

// The words of the file for each choice ("trending", "google", …) and back.
QString TrendSourceKey(TrendSource source);
QString SuggestEngineKey(SuggestEngine engine);
QString LookThemeKey(LookTheme theme);

// A country or language code as the file takes it (spaces around it dropped, in either letter
// case): "gb" gives "GB", "EN " gives "en"; nothing for any other text.
std::optional<QString> CountryCodeOf(const QString& text);
std::optional<QString> LanguageCodeOf(const QString& text);
