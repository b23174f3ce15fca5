#include "trends/TrendExport.h"

#include "util/TextFile.h"

ExportResult ExportTrendTable(const QString& fileName, const TrendRows& rows)
{
    return WriteExportFile(fileName, [&rows](AtomicTextFileWriter& writer) {
        for (qsizetype row = 0; row < rows.size(); ++row) {
            QString& text = writer.text();
            text += rows.keyword(row);
            text += u'|';
            text += rows.date(row);
            text += u'|';
            text += rows.count(row);
            text += QLatin1String("|\r\n");
            writer.flushIfFull();
        }
    });
}
