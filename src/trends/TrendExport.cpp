#include "trends/TrendExport.h"

#include "util/TextFile.h"

ExportResult ExportTrendTable(const QString& fileName, const TrendRows& rows)
{
    return WriteExportFile(fileName, [&rows](AtomicTextFileWriter& writer) {
        for (const TrendRecord& row : rows) {
            QString& text = writer.text();
            text += row.keyword;
            text += u'|';
            text += row.date;
            text += u'|';
            text += row.count;
            text += QLatin1String("|\r\n");
            writer.flushIfFull();
        }
    });
}
