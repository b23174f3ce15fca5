#include "util/ExportFile.h"

#include "util/TextFile.h"

#include <QFileInfo>

QString WithCsvExtension(const QString& chosenName)
{
    if (chosenName.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        return chosenName;
    return chosenName + QLatin1String(".csv");
}

ExportResult WriteExportFile(const QString& path, const std::function<void(AtomicTextFileWriter&)>& fill)
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
