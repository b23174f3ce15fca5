#pragma once

#include "suggest/SuggestRecord.h"

#include <QList>
#include <QString>

// Google Suggest: the address asked for a phrase, and the reduction of its answer to the
// completion/count pairs that fill a row of the Suggest table.

// "http://" + host + "/complete/search?hl=en&js=true&qu=" + the phrase, which is sent as UTF-8
// percent-encoded with its spaces and non-breaking spaces as "+" ("red wine" -> "red+wine").
QString SuggestQueryUrl(const QString& host, const QString& phrase);

// The pair text of an answer page: the completions of its entries with their count texts as
// received, "completion(count)" joined by "; "; empty when the page holds no entry.
// Only the entries that can give the first ten pairs are read (see SuggestPairs).
QString SuggestPairText(QString page);

struct SuggestPair {
    QString suggestion;
    QString results;

    friend bool operator==(const SuggestPair&, const SuggestPair&) = default;
};

// The pairs of a pair text, at most ten: " results" taken out of the counts, both texts trimmed,
// "N/A" for an empty one, and what a cell cannot hold made spaces (CleanCellText). A completion
// that holds parentheses gives more than one pair.
QList<SuggestPair> SuggestPairs(QString pairText);

// Writes the pairs of a pair text into a row's cells (pair k into cells 2(k-1) and 2k-1), then
// fills every cell that is still empty with "N/A"; cells beyond the pairs keep what they held.
void ApplySuggestions(SuggestCells& cells, const QString& pairText);
// The same with pairs read already. Where `figures` is false (a source that gives none) the result
// cells left empty stay so, rather than "N/A".
void ApplySuggestionPairs(SuggestCells& cells, const QList<SuggestPair>& pairs, bool figures);
