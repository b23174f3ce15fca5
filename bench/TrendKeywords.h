#pragma once

#include <QRandomGenerator>
#include <QString>
#include <QStringList>

// Keywords like those of the Hot Trends feed: two or three words from news-like vocabularies, some
// of them outside ASCII, followed by `serial` so that a big table can hold them all as distinct.
inline QString TrendKeyword(QRandomGenerator& random, qsizetype serial)
{
    static const QStringList first = {"taylor", "super",   "world",    "new",   "best", "cheap",
                                      "how",    "weather", "election", "apple", "nfl",  "premier",
                                      "zoë",    "münchen", "café",     "東京",  "são",  "crème"};
    static const QStringList second = {"swift",   "bowl",     "cup",     "york",   "recipes",  "flights",
                                       "to",      "forecast", "results", "iphone", "playoffs", "league",
                                       "kravitz", "wetter",   "olé",     "タワー", "paulo",    "brûlée"};
    static const QStringList third = {"tickets", "2026",     "live", "score",   "near me",    "update",
                                      "today",   "schedule", "news", "release", "highlights", "table",
                                      "review",  "prices",   "tour", "map"};
    QString keyword =
        first[random.bounded(int(first.size()))] + u' ' + second[random.bounded(int(second.size()))];
    if (random.bounded(2))
        keyword += u' ' + third[random.bounded(int(third.size()))];
    return keyword + u' ' + QString::number(serial);
}
