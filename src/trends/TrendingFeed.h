#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>
#include <stop_token>

// The trending-now feed: RSS 2.0 with the service's own elements (prefix "ht") for the traffic,
// a picture and the news of each keyword.

inline const QString TrendingFeedNamespace = QStringLiteral("https://trends.google.com/trending/rss");

// "{trendsBase}/trending/rss?geo=XX".
QString TrendingFeedUrl(const QString& trendsBase, const QString& geo);

struct TrendingNews {
    QString title;
    QString url;
    QString source;

    friend bool operator==(const TrendingNews&, const TrendingNews&) = default;
};

struct TrendingItem {
    QString keyword;     // as a cell holds it (see CleanCellText)
    QString traffic;     // as written, "2000+"; empty when missing
    QDateTime published; // UTC; invalid when missing or unreadable
    QString picture;
    QList<TrendingNews> news;

    friend bool operator==(const TrendingItem&, const TrendingItem&) = default;
};

// The items of a feed in their order, every text trimmed and its entities decoded; items without
// a title are left out. Nothing when the body is not well-formed XML or not RSS, or when asked to
// stop (a big feed is read on a worker).
std::optional<QList<TrendingItem>> ReadTrendingFeed(const QByteArray& body, std::stop_token stop = {});

// An RFC 822 date as RSS writes it ("Wed, 8 Jul 2026 12:50:00 -0700": the day name optional and
// not checked, a two-digit year taken as 1950-2049, the zone also as "GMT", "UT", "Z" or a US
// zone name) in UTC; invalid when unreadable.
QDateTime Rfc822DateTime(const QString& text);

// The least count a traffic figure stands for: "2000+" 2000, "20K+" 20000, "1,000,000+" 1000000,
// "1M+" 1000000; nothing when it cannot be read.
std::optional<qint64> TrafficLowerBound(const QString& traffic);
