#pragma once

#include <QFlags>
#include <QString>
#include <QStringList>

// The phrases a seed phrase grows into for a research: the seed followed by each letter and digit
// ("red wine a" … "red wine 9"), each letter and digit before it ("a red wine"), question words
// before it ("how red wine"), and prepositions after
// it ("red wine for"), the words in the Suggest language where the program knows them (English,
// German, French, Spanish, Portuguese, Italian, Dutch; English for any other).
enum class Expansion {
    Alphabet = 0x1,
    Questions = 0x2,
    Prepositions = 0x4,
    AlphabetBefore = 0x8,
};
Q_DECLARE_FLAGS(Expansions, Expansion)
Q_DECLARE_OPERATORS_FOR_FLAGS(Expansions)

// The phrases of `seed` for the chosen sets, in the order above (duplicates are the caller's to
// skip). `language` is an ISO 639 code such as "de"; the alphabet is a to z and 0 to 9 in any.
QStringList ExpandPhrase(const QString& seed, Expansions sets, const QString& language);

// The question words and prepositions used for `language` (English for one the program does not
// know), as the expansion dialog shows them.
QStringList QuestionWords(const QString& language);
QStringList Prepositions(const QString& language);
