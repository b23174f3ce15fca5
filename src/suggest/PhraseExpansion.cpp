#include "suggest/PhraseExpansion.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace {

struct Words {
    QStringList questions;
    QStringList prepositions;
};

const Words& wordsOf(const QString& language)
{
    static const QHash<QString, Words> known = {
        {QStringLiteral("en"),
         {{u"how"_s, u"what"_s, u"why"_s, u"where"_s, u"when"_s, u"who"_s, u"which"_s, u"can"_s, u"is"_s,
           u"are"_s, u"will"_s},
          {u"for"_s, u"with"_s, u"without"_s, u"vs"_s, u"near"_s, u"to"_s, u"like"_s}}},
        {QStringLiteral("de"),
         {{u"wie"_s, u"was"_s, u"warum"_s, u"wo"_s, u"wann"_s, u"wer"_s, u"welche"_s, u"kann"_s, u"ist"_s,
           u"sind"_s, u"wird"_s},
          {u"für"_s, u"mit"_s, u"ohne"_s, u"vs"_s, u"in der nähe"_s, u"zu"_s, u"wie"_s}}},
        {QStringLiteral("fr"),
         {{u"comment"_s, u"quoi"_s, u"pourquoi"_s, u"où"_s, u"quand"_s, u"qui"_s, u"quel"_s, u"peut"_s,
           u"est"_s, u"sont"_s, u"sera"_s},
          {u"pour"_s, u"avec"_s, u"sans"_s, u"vs"_s, u"près de"_s, u"à"_s, u"comme"_s}}},
        {QStringLiteral("es"),
         {{u"cómo"_s, u"qué"_s, u"por qué"_s, u"dónde"_s, u"cuándo"_s, u"quién"_s, u"cuál"_s, u"puede"_s,
           u"es"_s, u"son"_s, u"será"_s},
          {u"para"_s, u"con"_s, u"sin"_s, u"vs"_s, u"cerca de"_s, u"a"_s, u"como"_s}}},
        {QStringLiteral("pt"),
         {{u"como"_s, u"o que"_s, u"por que"_s, u"onde"_s, u"quando"_s, u"quem"_s, u"qual"_s, u"pode"_s,
           u"é"_s, u"são"_s, u"vai"_s},
          {u"para"_s, u"com"_s, u"sem"_s, u"vs"_s, u"perto de"_s, u"a"_s, u"como"_s}}},
        {QStringLiteral("it"),
         {{u"come"_s, u"cosa"_s, u"perché"_s, u"dove"_s, u"quando"_s, u"chi"_s, u"quale"_s, u"può"_s, u"è"_s,
           u"sono"_s, u"sarà"_s},
          {u"per"_s, u"con"_s, u"senza"_s, u"vs"_s, u"vicino a"_s, u"a"_s, u"come"_s}}},
        {QStringLiteral("nl"),
         {{u"hoe"_s, u"wat"_s, u"waarom"_s, u"waar"_s, u"wanneer"_s, u"wie"_s, u"welke"_s, u"kan"_s, u"is"_s,
           u"zijn"_s, u"zal"_s},
          {u"voor"_s, u"met"_s, u"zonder"_s, u"vs"_s, u"bij"_s, u"naar"_s, u"zoals"_s}}},
    };
    auto found = known.constFind(language.toLower());
    if (found == known.cend())
        found = known.constFind(QStringLiteral("en"));
    return found.value();
}

} // namespace

QStringList QuestionWords(const QString& language)
{
    return wordsOf(language).questions;
}

QStringList Prepositions(const QString& language)
{
    return wordsOf(language).prepositions;
}

QStringList ExpandPhrase(const QString& seed, Expansions sets, const QString& language)
{
    QStringList phrases;
    if (sets & Expansion::Alphabet) {
        for (char16_t c = u'a'; c <= u'z'; ++c)
            phrases << seed + u' ' + QChar(c);
        for (char16_t c = u'0'; c <= u'9'; ++c)
            phrases << seed + u' ' + QChar(c);
    }
    if (sets & Expansion::AlphabetBefore) {
        for (char16_t c = u'a'; c <= u'z'; ++c)
            phrases << QChar(c) + u' ' + seed;
        for (char16_t c = u'0'; c <= u'9'; ++c)
            phrases << QChar(c) + u' ' + seed;
    }
    const Words& words = wordsOf(language);
    if (sets & Expansion::Questions) {
        for (const QString& word : words.questions)
            phrases << word + u' ' + seed;
    }
    if (sets & Expansion::Prepositions) {
        for (const QString& word : words.prepositions)
            phrases << seed + u' ' + word;
    }
    return phrases;
}
