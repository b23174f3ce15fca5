#include "trends/TrendingFeed.h"

#include "util/RowFile.h"

#include <QLocale>
#include <QUrl>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace {

bool IsRss(const QXmlStreamReader& reader, QStringView name)
{
    return reader.name() == name && reader.namespaceUri().isEmpty();
}

// The service's own elements; by prefix as well, so that a changed namespace address does not
// silently empty every item.
bool IsTrends(const QXmlStreamReader& reader, QStringView name)
{
    return reader.name() == name &&
           (reader.namespaceUri() == TrendingFeedNamespace || reader.prefix() == QLatin1String("ht"));
}

QString ElementText(QXmlStreamReader& reader)
{
    return reader.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
}

TrendingNews ReadNews(QXmlStreamReader& reader)
{
    TrendingNews news;
    while (reader.readNextStartElement()) {
        if (IsTrends(reader, u"news_item_title"))
            news.title = ElementText(reader);
        else if (IsTrends(reader, u"news_item_url"))
            news.url = ElementText(reader);
        else if (IsTrends(reader, u"news_item_source"))
            news.source = ElementText(reader);
        else
            reader.skipCurrentElement();
    }
    return news;
}

TrendingItem ReadItem(QXmlStreamReader& reader)
{
    TrendingItem item;
    while (reader.readNextStartElement()) {
        if (IsRss(reader, u"title"))
            item.keyword = CleanCellText(ElementText(reader)).trimmed();
        else if (IsRss(reader, u"pubDate"))
            item.published = Rfc822DateTime(ElementText(reader));
        else if (IsTrends(reader, u"approx_traffic"))
            item.traffic = ElementText(reader);
        else if (IsTrends(reader, u"picture"))
            item.picture = ElementText(reader);
        else if (IsTrends(reader, u"news_item"))
            item.news.append(ReadNews(reader));
        else
            reader.skipCurrentElement();
    }
    return item;
}

// The zone names RFC 822 allows besides numeric offsets; Qt reads only the offsets.
QString NumericZone(QStringView zone)
{
    static const QList<std::pair<QStringView, QStringView>> zones = {
        {u"GMT", u"+0000"}, {u"UT", u"+0000"},  {u"UTC", u"+0000"}, {u"Z", u"+0000"},
        {u"EST", u"-0500"}, {u"EDT", u"-0400"}, {u"CST", u"-0600"}, {u"CDT", u"-0500"},
        {u"MST", u"-0700"}, {u"MDT", u"-0600"}, {u"PST", u"-0800"}, {u"PDT", u"-0700"}};
    for (const auto& [name, offset] : zones) {
        if (zone.compare(name, Qt::CaseInsensitive) == 0)
            return offset.toString();
    }
    return zone.toString();
}

bool AllDigits(QStringView text)
{
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

QString TrendingFeedUrl(const QString& trendsBase, const QString& geo)
{
    QString base = trendsBase;
    while (base.endsWith(u'/'))
        base.chop(1);
    return base + QStringLiteral("/trending/rss?geo=") + QString::fromLatin1(QUrl::toPercentEncoding(geo));
}

std::optional<QList<TrendingItem>> ReadTrendingFeed(const QByteArray& body, std::stop_token stop)
{
    QXmlStreamReader reader(body);
    if (!reader.readNextStartElement() || !IsRss(reader, u"rss"))
        return std::nullopt;
    QList<TrendingItem> items;
    while (reader.readNextStartElement()) {
        if (!IsRss(reader, u"channel")) {
            reader.skipCurrentElement();
            continue;
        }
        while (reader.readNextStartElement()) {
            if (stop.stop_requested())
                return std::nullopt;
            if (!IsRss(reader, u"item")) {
                reader.skipCurrentElement();
                continue;
            }
            TrendingItem item = ReadItem(reader);
            if (!item.keyword.isEmpty())
                items.append(std::move(item));
        }
    }
    // What follows the feed must be well-formed too, or the document was cut or damaged.
    for (qsizetype tokens = 0; !reader.atEnd(); ++tokens) {
        if (tokens % 4096 == 0 && stop.stop_requested())
            return std::nullopt;
        reader.readNext();
    }
    if (reader.hasError())
        return std::nullopt;
    return items;
}

QDateTime Rfc822DateTime(const QString& text)
{
    // "[Ddd,] d Mmm yy[yy] hh:mm[:ss] zone"; the day name is left out, so that a wrong one does not
    // cost a good date.
    QStringList parts = text.simplified().split(u' ');
    if (!parts.isEmpty() && parts.first().endsWith(u','))
        parts.removeFirst();
    if (parts.size() != 5)
        return {};
    if (parts[2].size() == 2 && AllDigits(parts[2]))
        parts[2] = QString::number(parts[2].toInt() + (parts[2].toInt() < 50 ? 2000 : 1900));
    parts[4] = NumericZone(parts[4]);
    const QDateTime time = QDateTime::fromString(parts.join(u' '), Qt::RFC2822Date);
    return time.isValid() ? time.toUTC() : QDateTime();
}

std::optional<qint64> TrafficLowerBound(const QString& traffic)
{
    QString text = traffic.trimmed();
    if (text.endsWith(u'+'))
        text.chop(1);
    qint64 unit = 1;
    if (text.endsWith(u'K', Qt::CaseInsensitive))
        unit = 1000;
    else if (text.endsWith(u'M', Qt::CaseInsensitive))
        unit = 1000 * 1000;
    if (unit != 1)
        text.chop(1);
    text = text.trimmed();

    if (unit == 1) {
        // Thousands may be grouped by commas, points or spaces, depending on the country.
        for (const char16_t separator : {u',', u'.', u' ', u'\u00A0', u'\u202F'})
            text.remove(separator);
        if (!AllDigits(text) || text.size() > 18)
            return std::nullopt;
        return text.toLongLong();
    }
    // "1.5M+": a fraction, with a point or a comma, before the unit.
    text.replace(u',', u'.');
    const qsizetype point = text.indexOf(u'.');
    const QStringView whole = QStringView(text).first(point < 0 ? text.size() : point);
    const QStringView fraction = point < 0 ? QStringView() : QStringView(text).sliced(point + 1);
    if (!AllDigits(whole) || whole.size() > 9 || (point >= 0 && !AllDigits(fraction)))
        return std::nullopt;
    return std::llround(QLocale::c().toDouble(text) * static_cast<double>(unit));
}
