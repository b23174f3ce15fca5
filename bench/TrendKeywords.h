#pragma once

#include <QRandomGenerator>
#include <QString>
#include <QStringList>

using namespace Qt::StringLiterals;

// Keywords like those of the Hot Trends feed: two or three words from news-like vocabularies, some
// of them outside ASCII, followed by `serial` so that a big table can hold them all as distinct.
inline QString TrendKeyword(QRandomGenerator& random, qsizetype serial)
{
    static const QStringList first = {u"taylor"_s, u"super"_s,   u"world"_s,   u"new"_s,      u"best"_s,
                                      u"cheap"_s,  u"how"_s,     u"weather"_s, u"election"_s, u"apple"_s,
                                      u"nfl"_s,    u"premier"_s, u"zoë"_s,     u"münchen"_s,  u"café"_s,
                                      u"東京"_s,   u"são"_s,     u"crème"_s};
    static const QStringList second = {u"swift"_s,    u"bowl"_s,   u"cup"_s,      u"york"_s,    u"recipes"_s,
                                       u"flights"_s,  u"to"_s,     u"forecast"_s, u"results"_s, u"iphone"_s,
                                       u"playoffs"_s, u"league"_s, u"kravitz"_s,  u"wetter"_s,  u"olé"_s,
                                       u"タワー"_s,   u"paulo"_s,  u"brûlée"_s};
    static const QStringList third = {u"tickets"_s, u"2026"_s,    u"live"_s,       u"score"_s,
                                      u"near me"_s, u"update"_s,  u"today"_s,      u"schedule"_s,
                                      u"news"_s,    u"release"_s, u"highlights"_s, u"table"_s,
                                      u"review"_s,  u"prices"_s,  u"tour"_s,       u"map"_s};
    QString keyword =
        first[random.bounded(int(first.size()))] + u' ' + second[random.bounded(int(second.size()))];
    if (random.bounded(2))
        keyword += u' ' + third[random.bounded(int(third.size()))];
    return keyword + u' ' + QString::number(serial);
}
