#include "util/ExportFile.h"

#include "util/TextFile.h"

#include <QFileInfo>

#include <utility>

const QList<ExportChoice>& ExportChoices()
{
    static const QList<ExportChoice> choices{
        {ExportFormat::PageLines, ExportDialogFilter, QStringLiteral(".csv")},
        {ExportFormat::Csv, QStringLiteral("CSV (RFC 4180) (*.csv)|*.csv"), QStringLiteral(".csv")},
        {ExportFormat::ExcelCsv,
         QStringLiteral("Excel-friendly CSV (UTF-8 with byte-order mark) (*.csv)|*.csv"),
         QStringLiteral(".csv")},
        {ExportFormat::Json, QStringLiteral("JSON (*.json)|*.json"), QStringLiteral(".json")},
    };
    return choices;
}

QString WithExtension(const QString& chosenName, QStringView extension)
{
    if (chosenName.endsWith(extension, Qt::CaseInsensitive))
        return chosenName;
    return chosenName + extension.toString();
}

namespace {

const ExportFill& fillOf(ExportFormat format, const ExportFill& pageLines, const ExportFill& csv,
                         const ExportFill& json)
{
    switch (format) {
    case ExportFormat::Csv:
    case ExportFormat::ExcelCsv:
        return csv;
    case ExportFormat::Json:
        return json;
    case ExportFormat::PageLines:
        break;
    }
    return pageLines;
}

} // namespace

ExportResult WriteExportFile(const QString& path, ExportFormat format, const ExportFill& pageLines,
                             const ExportFill& csv, const ExportFill& json)
{
    return WriteExportFile(path, fillOf(format, pageLines, csv, json));
}

QString WriteExport(QIODevice& device, ExportFormat format, const ExportFill& pageLines,
                    const ExportFill& csv, const ExportFill& json)
{
    return WriteExport(device, fillOf(format, pageLines, csv, json));
}

QString WriteExport(QIODevice& device, const ExportFill& fill)
{
    TextDeviceWriter writer(device);
    fill(writer);
    return writer.finish();
}

ExportResult WriteExportFile(const QString& path, const ExportFill& fill)
{
    // Whether an existing file can be replaced is found out by replacing it, whoever runs the
    // program: the new file takes the old one's place only once it is complete, so the old one
    // survives a refusal whole.
    const bool existed = QFileInfo::exists(path);
    AtomicTextFileWriter writer(path);
    fill(writer);
    const QString error = writer.commit();
    if (error.isEmpty())
        return {ExportOutcome::Written, {}};
    if (existed && writer.failedToReplace())
        return {ExportOutcome::CannotReplace, error};
    return {ExportOutcome::Failed, error};
}

void BeginCsv(QString& text, ExportFormat format, std::initializer_list<QStringView> header)
{
    if (format == ExportFormat::ExcelCsv)
        text += QChar(0xFEFF); // written as EF BB BF
    AppendCsvRecord(text, header);
}

void AppendCsvRecord(QString& text, std::initializer_list<QStringView> fields)
{
    bool first = true;
    for (const QStringView field : fields) {
        if (!std::exchange(first, false))
            text += u',';
        const bool quoted =
            field.contains(u',') || field.contains(u'"') || field.contains(u'\r') || field.contains(u'\n');
        if (!quoted) {
            text += field;
            continue;
        }
        text += u'"';
        for (const QChar c : field) {
            if (c == u'"')
                text += u'"';
            text += c;
        }
        text += u'"';
    }
    text += QLatin1String("\r\n");
}

void AppendJsonString(QString& text, QStringView value)
{
    static const char hex[] = "0123456789abcdef";
    text += u'"';
    for (const QChar c : value) {
        switch (c.unicode()) {
        case u'"':
            text += QLatin1String("\\\"");
            break;
        case u'\\':
            text += QLatin1String("\\\\");
            break;
        case u'\n':
            text += QLatin1String("\\n");
            break;
        case u'\r':
            text += QLatin1String("\\r");
            break;
        case u'\t':
            text += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20) {
                text += QLatin1String("\\u00");
                text += QLatin1Char(hex[c.unicode() >> 4]);
                text += QLatin1Char(hex[c.unicode() & 0xF]);
            } else {
                text += c;
            }
        }
    }
    text += u'"';
}

void WriteJsonArray(TextDeviceWriter& writer, qsizetype count,
                    const std::function<void(QString& text, qsizetype index)>& object)
{
    writer.text() += u'[';
    for (qsizetype index = 0; index < count; ++index) {
        QString& text = writer.text();
        text += index == 0 ? QLatin1String("\r\n") : QLatin1String(",\r\n");
        object(text, index);
        if (!writer.flushIfFull())
            return;
    }
    writer.text() += count == 0 ? QLatin1String("]\r\n") : QLatin1String("\r\n]\r\n");
}

ExportDates::ExportDates(const QLocale& locale)
    : m_reader(locale)
{
}

QString ExportDates::iso(QStringView stored) const
{
    const std::optional<QDateTime> when = m_reader.read(stored);
    return when ? IsoDateTimeText(*when) : stored.toString();
}

QString IsoDateTimeText(const QDateTime& when)
{
    const QDateTime local = when.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}
