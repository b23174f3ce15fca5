#pragma once

#include "suggest/SuggestAnswer.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

struct ProgramOptions;
enum class SuggestEngine;

// What a source needs of an answer.
struct SuggestReply {
    int statusCode = 0;
    QByteArray body;
    QByteArray contentType;
};

// A service that completes phrases: the address asked for a phrase, and the reading of its answer.
class SuggestSource {
public:
    virtual ~SuggestSource() = default;

    // "Google", "YouTube", "Bing", "DuckDuckGo", "Amazon", "Google (classic)".
    virtual QString name() const = 0;
    virtual QString requestUrl(const QString& phrase) const = 0;
    // Up to ten pairs (results empty where the source gives no figure); nothing when the answer
    // cannot be read (an error status, malformed JSON, a wrong shape), so that it counts as a
    // failed fetch rather than filling cells with garbage.
    virtual std::optional<QList<SuggestPair>> readReply(const SuggestReply& reply) const = 0;
    // Whether the pairs carry result figures (the classic counts, Google's relevance).
    virtual bool hasFigures() const = 0;
};

// The source of the user's engine, with its language, country and base address. `classicHost` is
// the Google web host of the classic service (host or host:port).
std::unique_ptr<SuggestSource> MakeSuggestSource(const ProgramOptions& options, const QString& classicHost);

// What the figures of `engine`'s pairs hold.
SuggestFigures FiguresOf(SuggestEngine engine);
// The tooltip of a figure column: what it holds, and that relevance is not search volume.
QString FiguresToolTip(SuggestFigures figures);
