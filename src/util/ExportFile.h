#pragma once

#include "util/DateTimeTextReader.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <initializer_list>

class QIODevice;
class TextDeviceWriter;

// What both exports share: the choices and name rule of the save dialog, the all-or-nothing write
// and the text rules of CSV and JSON.

inline const QString ExportDialogTitle = QStringLiteral("Export all data");
inline const QString ExportDialogFilter = QStringLiteral("Comma delimitted(*.csv)|*.csv");

// The file formats an export offers, in the order of the save dialog's choices.
enum class ExportFormat {
    PageLines, // the page's own line format (the first choice, taken when the user just saves)
    Csv,       // RFC 4180: fields quoted where needed, a header line, CR LF
    ExcelCsv,  // the same, after a UTF-8 byte-order mark, so that spreadsheets read it as UTF-8
    Json,      // one document: an array of one object per row
};

struct ExportChoice {
    ExportFormat format;
    QString filter;    // the dialog's "description|masks"
    QString extension; // added to a chosen name that does not end so
};

// The choices of both exports, ExportFormat's order.
const QList<ExportChoice>& ExportChoices();

// The chosen name with `extension` (".csv", ".json") added unless it already ends so, in any letter
// case: "report" becomes "report.csv", "report.txt" becomes "report.txt.csv".
QString WithExtension(const QString& chosenName, QStringView extension);

enum class ExportOutcome {
    Written,
    CannotReplace, // the file exists and cannot be replaced (a read-only folder, a folder in the way)
    Failed,        // the file could not be written (folder not writable, disk full); an old one stays
};

struct ExportResult {
    ExportOutcome outcome;
    QString error;
};

// Writes an export file through `fill`. The new file takes the old one's place only once it is
// complete, so a failed export never loses the file that was there.
using ExportFill = std::function<void(TextDeviceWriter&)>;
ExportResult WriteExportFile(const QString& path, const ExportFill& fill);
// The same in `format`, through the table's own fill for it (both CSV formats through `csv`).
ExportResult WriteExportFile(const QString& path, ExportFormat format, const ExportFill& pageLines,
                             const ExportFill& csv, const ExportFill& json);
// The same export written to an open device as it is made (standard output, a pipe): an empty
// string once all of it is written, else why a write failed (nothing more is written then).
QString WriteExport(QIODevice& device, const ExportFill& fill);
QString WriteExport(QIODevice& device, ExportFormat format, const ExportFill& pageLines,
                    const ExportFill& csv, const ExportFill& json);

// Starts a CSV export's text: the byte-order mark for ExcelCsv, then the header line.
void BeginCsv(QString& text, ExportFormat format, std::initializer_list<QStringView> header);

// One CSV record (RFC 4180): the fields separated by commas, a field that holds a comma, a double
// quote, CR or LF between double quotes with its quotes doubled, then CR LF.
void AppendCsvRecord(QString& text, std::initializer_list<QStringView> fields);

// `value` as a JSON string, quotes included: quotes, backslashes and control characters escaped,
// every other character as it is (the file is UTF-8).
void AppendJsonString(QString& text, QStringView value);

// A JSON export's text: an array of `count` objects, one a line, each written by `object`.
void WriteJsonArray(TextDeviceWriter& writer, qsizetype count,
                    const std::function<void(QString& text, qsizetype index)>& object);

// The dates of the exports meant for other programs (both CSV formats and JSON): ISO 8601, whatever
// the locale that wrote the table; the page's own lines keep the table's text.
class ExportDates {
public:
    explicit ExportDates(const QLocale& locale = QLocale());
    // A table's date-time text (see DateTimeText) as ISO 8601 in local time with its offset from
    // UTC ("2009-03-05T14:15:00-05:00"); a text that does not read as a date stays as it is, so
    // that nothing is lost. One thread at a time.
    QString iso(QStringView stored) const;

private:
    DateTimeTextReader m_reader;
};

// `when` as ISO 8601 in local time with its offset from UTC, as every export and the command line
// write a moment.
QString IsoDateTimeText(const QDateTime& when);
