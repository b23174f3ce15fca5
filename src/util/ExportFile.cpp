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
    const QFileInfo target(path);
    const bool existed = target.exists();
    if (existed && (!target.isFile() || !target.isWritable()))
        return {ExportOutcome::CannotReplace, {}};

    AtomicTextFileWriter writer(path);
    fill(writer);
    const QString error = writer.commit();
    if (error.isEmpty())
        return {ExportOutcome::Written, {}};
    return {existed ? ExportOutcome::CannotReplace : ExportOutcome::Failed, error};
}
