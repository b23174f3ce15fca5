#pragma once

#include <QList>
#include <QString>

#include <array>

// One row of the Suggest table: a phrase and ten suggestion/result pairs, every cell the text shown.
// Cell 2(k-1) holds the k-th suggestion and cell 2k-1 its result count (k = 1 to 10); both are
// empty until the phrase is first harvested and "N/A" where the harvest found nothing.

inline constexpr int SuggestPairCount = 10;
inline constexpr int SuggestCellCount = 2 * SuggestPairCount;

using SuggestCells = std::array<QString, SuggestCellCount>;

struct SuggestRecord {
    QString phrase;
    SuggestCells cells;

    friend bool operator==(const SuggestRecord&, const SuggestRecord&) = default;
};

using SuggestRows = QList<SuggestRecord>;

// The cells of pair k (1 to 10).
constexpr int SuggestionCell(int k)
{
    return 2 * (k - 1);
}
constexpr int ResultsCell(int k)
{
    return 2 * k - 1;
}
