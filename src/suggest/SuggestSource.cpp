#include "suggest/SuggestSource.h"

#include <QCoreApplication>

#include "net/PageText.h"
#include "util/ProgramOptions.h"
#include "util/RowFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <limits>

namespace {

QString Encoded(const QString& text)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

// A base address as a path can follow it.
QString WithoutTrailingSlash(QString base)
{
    while (base.endsWith(u'/'))
        base.chop(1);
    return base;
}

// A status of 0 stands for none known.
bool IsErrorStatus(int statusCode)
{
    return statusCode != 0 && (statusCode < 200 || statusCode > 299);
}

// The answer as JSON; nothing for an error status or a body that is not JSON.
std::optional<QJsonDocument> JsonOf(const SuggestReply& reply)
{
    if (IsErrorStatus(reply.statusCode))
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson(BodyText(reply.body, reply.contentType).toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    return document;
}

// The completions of an OpenSearch-like answer, ["phrase", [completion, ...], ...].
std::optional<QJsonArray> CompletionsOf(const QJsonDocument& document)
{
    if (!document.isArray())
        return std::nullopt;
    const QJsonValue completions = document.array().at(1);
    if (!completions.isArray())
        return std::nullopt;
    return completions.toArray();
}

// A completion is a string, or an array that starts with one.
QString CompletionText(const QJsonValue& value)
{
    return value.isArray() ? value.toArray().at(0).toString() : value.toString();
}

// A relevance figure as text; empty when it is missing or no whole number.
QString FigureText(const QJsonValue& value)
{
    constexpr qint64 none = std::numeric_limits<qint64>::min();
    const qint64 figure = value.toInteger(none);
    return figure == none ? QString() : QString::number(figure);
}

// Gathers pairs as the cells take them: completions cleaned and trimmed, empty ones skipped, the
// first ten kept.
class PairList {
public:
    bool full() const { return m_pairs.size() >= SuggestPairCount; }
    void add(const QString& completion, const QString& results = {})
    {
        const QString text = CleanCellText(completion).trimmed();
        if (!full() && !text.isEmpty())
            m_pairs.append({text, results});
    }
    QList<SuggestPair> take() { return std::move(m_pairs); }

private:
    QList<SuggestPair> m_pairs;
};

std::optional<QList<SuggestPair>> ReadCompletions(const SuggestReply& reply)
{
    const std::optional<QJsonDocument> document = JsonOf(reply);
    const std::optional<QJsonArray> completions = document ? CompletionsOf(*document) : std::nullopt;
    if (!completions)
        return std::nullopt;
    PairList pairs;
    for (qsizetype i = 0; i < completions->size() && !pairs.full(); ++i)
        pairs.add(CompletionText(completions->at(i)));
    return pairs.take();
}

class GoogleSource : public SuggestSource {
public:
    explicit GoogleSource(const QString& prefix)
        : m_prefix(prefix)
    {
    }
    QString name() const override { return QStringLiteral("Google"); }
    QString requestUrl(const QString& phrase) const override { return m_prefix + Encoded(phrase); }
    bool hasFigures() const override { return true; }

    std::optional<QList<SuggestPair>> readReply(const SuggestReply& reply) const override
    {
        const std::optional<QJsonDocument> document = JsonOf(reply);
        const std::optional<QJsonArray> completions = document ? CompletionsOf(*document) : std::nullopt;
        if (!completions)
            return std::nullopt;
        // Parallel to the completions; either may be missing or short.
        const QJsonObject details = document->array().at(4).toObject();
        const QJsonArray relevance = details.value(QLatin1String("google:suggestrelevance")).toArray();
        const QJsonArray types = details.value(QLatin1String("google:suggesttype")).toArray();
        PairList pairs;
        for (qsizetype i = 0; i < completions->size() && !pairs.full(); ++i) {
            // Addresses and the like are no phrases to search for.
            const QJsonValue type = types.at(i);
            if (type.isString() && type.toString() != QLatin1String("QUERY"))
                continue;
            pairs.add(CompletionText(completions->at(i)), FigureText(relevance.at(i)));
        }
        return pairs.take();
    }

private:
    QString m_prefix;
};

// The sources that answer with completions alone: each differs in its address only.
class CompletionSource : public SuggestSource {
public:
    CompletionSource(const QString& name, const QString& prefix, const QString& suffix = {})
        : m_name(name)
        , m_prefix(prefix)
        , m_suffix(suffix)
    {
    }
    QString name() const override { return m_name; }
    QString requestUrl(const QString& phrase) const override { return m_prefix + Encoded(phrase) + m_suffix; }
    bool hasFigures() const override { return false; }
    std::optional<QList<SuggestPair>> readReply(const SuggestReply& reply) const override
    {
        return ReadCompletions(reply);
    }

private:
    QString m_name;
    QString m_prefix;
    QString m_suffix;
};

class AmazonSource : public SuggestSource {
public:
    explicit AmazonSource(const QString& base)
        : m_prefix(WithoutTrailingSlash(base) +
                   QStringLiteral("/api/2017/suggestions?mid=ATVPDKIKX0DER&alias=aps&prefix="))
    {
    }
    QString name() const override { return QStringLiteral("Amazon"); }
    QString requestUrl(const QString& phrase) const override { return m_prefix + Encoded(phrase); }
    bool hasFigures() const override { return false; }

    std::optional<QList<SuggestPair>> readReply(const SuggestReply& reply) const override
    {
        // {"suggestions": [{"value": "..."}, ...]}
        const std::optional<QJsonDocument> document = JsonOf(reply);
        if (!document || !document->isObject())
            return std::nullopt;
        const QJsonValue suggestions = document->object().value(QLatin1String("suggestions"));
        if (!suggestions.isArray())
            return std::nullopt;
        PairList pairs;
        const QJsonArray list = suggestions.toArray();
        for (qsizetype i = 0; i < list.size() && !pairs.full(); ++i)
            pairs.add(list.at(i).toObject().value(QLatin1String("value")).toString());
        return pairs.take();
    }

private:
    QString m_prefix;
};

// The old service, read exactly as before its sources existed.
class ClassicSource : public SuggestSource {
public:
    explicit ClassicSource(const QString& host)
        : m_host(host)
    {
    }
    QString name() const override { return QStringLiteral("Google (classic)"); }
    QString requestUrl(const QString& phrase) const override { return SuggestQueryUrl(m_host, phrase); }
    bool hasFigures() const override { return true; }

    std::optional<QList<SuggestPair>> readReply(const SuggestReply& reply) const override
    {
        if (IsErrorStatus(reply.statusCode))
            return std::nullopt;
        return SuggestPairs(SuggestPairText(PageTextFromBody(reply.body)));
    }

private:
    QString m_host;
};

} // namespace

std::unique_ptr<SuggestSource> MakeSuggestSource(const ProgramOptions& options, const QString& classicHost)
{
    const ServiceEndpoints& endpoints = options.endpoints;
    const QString language = Encoded(options.language);
    const QString country = Encoded(options.country);
    const QString google = WithoutTrailingSlash(endpoints.googleSuggest);
    switch (options.engine) {
    case SuggestEngine::Google:
        return std::make_unique<GoogleSource>(google + QStringLiteral("/complete/search?client=chrome&hl=") +
                                              language + QStringLiteral("&gl=") + country +
                                              QStringLiteral("&oe=utf-8&q="));
    case SuggestEngine::YouTube:
        return std::make_unique<CompletionSource>(
            QStringLiteral("YouTube"), google + QStringLiteral("/complete/search?client=firefox&ds=yt&hl=") +
                                           language + QStringLiteral("&gl=") + country +
                                           QStringLiteral("&q="));
    case SuggestEngine::Bing:
        return std::make_unique<CompletionSource>(QStringLiteral("Bing"),
                                                  WithoutTrailingSlash(endpoints.bing) +
                                                      QStringLiteral("/osjson.aspx?query="),
                                                  QStringLiteral("&setlang=") + language + u'-' + country);
    case SuggestEngine::DuckDuckGo:
        return std::make_unique<CompletionSource>(
            QStringLiteral("DuckDuckGo"),
            WithoutTrailingSlash(endpoints.duckDuckGo) + QStringLiteral("/ac/?q="),
            QStringLiteral("&type=list&kl=") + country.toLower() + u'-' + language.toLower());
    case SuggestEngine::Amazon:
        return std::make_unique<AmazonSource>(endpoints.amazon);
    case SuggestEngine::Classic:
        break;
    }
    return std::make_unique<ClassicSource>(classicHost);
}

SuggestFigures FiguresOf(SuggestEngine engine)
{
    switch (engine) {
    case SuggestEngine::Classic:
        return SuggestFigures::Results;
    case SuggestEngine::Google:
        return SuggestFigures::Relevance;
    default:
        return SuggestFigures::None;
    }
}

QString FiguresToolTip(SuggestFigures figures)
{
    switch (figures) {
    case SuggestFigures::Results:
        return QCoreApplication::translate("SuggestSource", "How many results the service counted for the "
                                                            "suggestion");
    case SuggestFigures::Relevance:
        return QCoreApplication::translate("SuggestSource",
                                           "Google's relevance of the suggestion: how high it ranks among "
                                           "the answers, not how often it is searched (no search volume)");
    case SuggestFigures::None:
        break;
    }
    return {};
}
