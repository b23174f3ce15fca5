#include "trends/TrendExport.h"

#include "trends/TrendTableModel.h"

#include <utility>

#include "util/TextFile.h"

namespace {

bool isPlainWholeNumber(QStringView text)
{
    if (text.isEmpty() || text.size() > 15 || (text.size() > 1 && text.front() == u'0'))
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

void writeLines(TextDeviceWriter& writer, const TrendRows& rows)
{
    for (qsizetype row = 0; row < rows.size(); ++row) {
        QString& text = writer.text();
        text += rows.keyword(row);
        text += u'|';
        text += rows.date(row);
        text += u'|';
        text += rows.count(row);
        text += QLatin1String("|\r\n");
        if (!writer.flushIfFull())
            return;
    }
}

void writeCsv(TextDeviceWriter& writer, const TrendRows& rows, ExportFormat format)
{
    const ExportDates dates;
    BeginCsv(writer.text(), format, {u"Keyword", u"Date", u"Count"});
    for (qsizetype row = 0; row < rows.size(); ++row) {
        AppendCsvRecord(writer.text(), {rows.keyword(row), dates.iso(rows.date(row)), rows.count(row)});
        if (!writer.flushIfFull())
            return;
    }
}

// The history fields of a row's object, for the history columns shown.
void appendHistoryFields(QString& text, const TrendHistoryFields& history, QStringView keyword,
                         const ExportDates& dates)
{
    for (const int column : history.columns) {
        const QStringView cell = history.cell(keyword, column);
        switch (column) {
        case TrendTableModel::FirstSeenColumn:
            text += QLatin1String(",\"firstSeen\":");
            AppendJsonString(text, cell.isEmpty() ? QString() : dates.iso(cell));
            break;
        case TrendTableModel::PeakTrafficColumn:
            text += QLatin1String(",\"peakTraffic\":");
            if (isPlainWholeNumber(cell))
                text += cell;
            else
                text += QLatin1String("null");
            break;
        case TrendTableModel::CountriesColumn: {
            text += QLatin1String(",\"countries\":[");
            bool first = true;
            for (const QStringView country : cell.split(u',', Qt::SkipEmptyParts)) {
                if (!std::exchange(first, false))
                    text += u',';
                AppendJsonString(text, country.trimmed());
            }
            text += u']';
            break;
        }
        default:
            break;
        }
    }
}

void writeJson(TextDeviceWriter& writer, const TrendRows& rows, const TrendHistoryFields& history)
{
    const ExportDates dates;
    WriteJsonArray(writer, rows.size(), [&rows, &history, &dates](QString& text, qsizetype row) {
        text += QLatin1String("{\"keyword\":");
        AppendJsonString(text, rows.keyword(row));
        text += QLatin1String(",\"date\":");
        AppendJsonString(text, dates.iso(rows.date(row)));
        text += QLatin1String(",\"count\":");
        const QStringView count = rows.count(row);
        if (isPlainWholeNumber(count))
            text += count;
        else
            AppendJsonString(text, count);
        if (history.cell)
            appendHistoryFields(text, history, rows.keyword(row), dates);
        text += u'}';
    });
}

} // namespace

namespace {

// What each format writes of `rows`.
struct TrendFills {
    ExportFill lines;
    ExportFill csv;
    ExportFill json;
};

TrendFills fillsOf(const TrendRows& rows, ExportFormat format, const TrendHistoryFields& history)
{
    return {[&rows](TextDeviceWriter& writer) { writeLines(writer, rows); },
            [&rows, format](TextDeviceWriter& writer) { writeCsv(writer, rows, format); },
            [&rows, &history](TextDeviceWriter& writer) { writeJson(writer, rows, history); }};
}

} // namespace

ExportResult ExportTrendTable(const QString& fileName, const TrendRows& rows, ExportFormat format,
                              const TrendHistoryFields& history)
{
    const TrendFills fills = fillsOf(rows, format, history);
    return WriteExportFile(fileName, format, fills.lines, fills.csv, fills.json);
}

QString ExportTrendTable(QIODevice& device, const TrendRows& rows, ExportFormat format,
                         const TrendHistoryFields& history)
{
    const TrendFills fills = fillsOf(rows, format, history);
    return WriteExport(device, format, fills.lines, fills.csv, fills.json);
}
