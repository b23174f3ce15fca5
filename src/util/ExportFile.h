#pragma once

#include <QString>

#include <functional>

class AtomicTextFileWriter;

// What both exports share: the name rule of the save dialog and the all-or-nothing write.

inline const QString ExportDialogTitle = QStringLiteral("Export all data");
inline const QString ExportDialogFilter = QStringLiteral("Comma delimitted(*.csv)|*.csv");

// The chosen name with ".csv" added unless it already ends so (in any letter case).
QString WithCsvExtension(const QString& chosenName);

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
ExportResult WriteExportFile(const QString& path, const std::function<void(AtomicTextFileWriter&)>& fill);
