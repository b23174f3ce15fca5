#include "suggest/SuggestAnswer.h"

#include "util/CutBetween.h"
#include "util/RowFile.h"
#include "util/TrimText.h"

#include <QUrl>

namespace {

// A completion or a count as its cell takes it.
QString cellOfPair(const QString& text)
{
    const QStringView trimmed = TrimLowChars(text);
    return trimmed.isEmpty() ? NotAvailable : CleanCellText(trimmed.toString());
}

} // namespace

QString SuggestQueryUrl(const QString& host, const QString& phrase)
{
    QString spaced = phrase;
    spaced.replace(QChar(0xA0), u' ');
    QByteArray value = QUrl::toPercentEncoding(spaced, QByteArrayLiteral(" "));
    value.replace(' ', '+');
    return QLatin1String("http://") + host + QLatin1String("/complete/search?hl=en&js=true&qu=") +
           QString::fromLatin1(value);
}

QString SuggestPairText(QString page)
{
    page.replace(QLatin1String("\\x22"), QLatin1String("\""));
    page.replace(QLatin1String("\\x27"), QLatin1String("'"));
    QString body = CutBetween(u"[[", u"]])", 0, page);

    // Every entry gives at least one pair, and a pair never reaches past the entry in which it
    // ends, so entries after the tenth could only give pairs that have no cells. Not reading them
    // also keeps a huge answer from costing more than a few passes over its text.
    QString result;
    for (int entry = 0; entry < SuggestPairCount && body.contains(QLatin1String("[\"")); ++entry) {
        const QString suggestion = CutBetween(u"[\"", u"\",", 0, body);
        CutBetween(u"\"", u"\"", 0, body); // the separator before the count
        const QString count = CutBetween(u"\"", u"\"", 0, body);
        CutBetween(u"\"", u"\"]", 0, body); // the rest of the entry
        if (!result.isEmpty())
            result += QLatin1String("; ");
        result += suggestion + u'(' + count + u')';
    }
    return result;
}

QList<SuggestPair> SuggestPairs(QString pairText)
{
    pairText.remove(QLatin1String(" results"));
    QString text = u';' + pairText;
    QList<SuggestPair> pairs;
    while (pairs.size() < SuggestPairCount && text.contains(u'(')) {
        const QString suggestion = CutBetween(u";", u"(", 0, text);
        const QString results = CutBetween(u"(", u")", 0, text);
        pairs.append({cellOfPair(suggestion), cellOfPair(results)});
    }
    return pairs;
}

void ApplySuggestions(SuggestCells& cells, const QString& pairText)
{
    ApplySuggestionPairs(cells, SuggestPairs(pairText), true);
}

void ApplySuggestionPairs(SuggestCells& cells, const QList<SuggestPair>& pairs, bool figures)
{
    for (int k = 1; k <= std::min<int>(int(pairs.size()), SuggestPairCount); ++k) {
        cells[SuggestionCell(k)] = pairs[k - 1].suggestion;
        cells[ResultsCell(k)] = pairs[k - 1].results;
    }
    for (int k = 1; k <= SuggestPairCount; ++k) {
        if (cells[SuggestionCell(k)].isEmpty())
            cells[SuggestionCell(k)] = NotAvailable;
        // A source without figures leaves the results empty.
        if (cells[ResultsCell(k)].isEmpty() && figures)
            cells[ResultsCell(k)] = NotAvailable;
    }
}
