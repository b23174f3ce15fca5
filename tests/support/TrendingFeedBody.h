#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <utility>

// A trending-now feed of our own writing: one item per keyword with its traffic (none when empty)
// and one news item.
inline QByteArray TrendingFeedBody(const QList<std::pair<QString, QString>>& items)
{
    QByteArray body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<rss version=\"2.0\" xmlns:ht=\"https://trends.google.com/trending/rss\">\n"
                      "<channel><title>Daily Search Trends</title>\n";
    for (const auto& [keyword, traffic] : items) {
        body += "<item><title>" + keyword.toHtmlEscaped().toUtf8() + "</title>";
        if (!traffic.isEmpty())
            body += "<ht:approx_traffic>" + traffic.toUtf8() + "</ht:approx_traffic>";
        body += "<pubDate>Thu, 10 Dec 2026 13:40:00 +0000</pubDate>"
                "<ht:news_item><ht:news_item_title>About " +
                keyword.toHtmlEscaped().toUtf8() +
                "</ht:news_item_title><ht:news_item_url>https://news.example/a</ht:news_item_url>"
                "<ht:news_item_source>Example News</ht:news_item_source></ht:news_item></item>\n";
    }
    return body + "</channel></rss>\n";
}
