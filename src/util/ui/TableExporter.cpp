#include "util/ui/TableExporter.h"

#include "util/ExportFile.h"
#include "util/MessageBoxes.h"
#include "util/ProgramFolder.h"
#include "util/TextFile.h"
#include "util/ui/DialogSeams.h"

#include <QCoroFuture>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QtConcurrentRun>

TableExporter::TableExporter(SaveDialog& dialog, MessageBoxes& messages,
                             std::function<void(const QString&)> showStatus, QObject* parent)
    : QObject(parent)
    , m_dialog(dialog)
    , m_messages(messages)
    , m_showStatus(std::move(showStatus))
{
}

QCoro::Task<> TableExporter::exportWith(Write write)
{
    if (m_running) {
        m_showStatus(tr("An export is still being written; try again once it is done."));
        co_return;
    }
    const QList<ExportChoice>& choices = ExportChoices();
    QStringList filters;
    for (const ExportChoice& choice : choices)
        filters << choice.filter;
    const SaveAnswer answer = m_dialog.ask(ExportDialogTitle, filters, ProgramFolder());
    if (answer.path.isEmpty())
        co_return;
    const ExportChoice chosen = choices.value(answer.choice, choices.first());
    const QString fileName = WithExtension(answer.path, chosen.extension);
    const ExportFormat format = chosen.format;
    m_showStatus(QStringLiteral("Exporting items..."));
    m_running = true;
    QPointer<TableExporter> self(this);
    const auto done = qScopeGuard([self] {
        if (self)
            self->m_running = false;
    });
    const ExportResult result = co_await QtConcurrent::run(std::move(write), fileName, format);
    if (!self)
        co_return; // the window is gone; the file is written or left as it was
    switch (result.outcome) {
    case ExportOutcome::Written:
        // The extension may have been added: the status names the file as it was written, its name
        // first, so that a long folder is what the status bar cuts off.
        m_showStatus(QStringLiteral("Process finished! Written to %1 in %2")
                         .arg(QFileInfo(fileName).fileName(),
                              QDir::toNativeSeparators(QFileInfo(fileName).absolutePath())));
        break;
    case ExportOutcome::CannotReplace:
        m_messages.show(
            QStringLiteral(
                "Can't replace existing file. Please close any application that could be open it."),
            MsgKind::Warning, MsgButtons::Ok);
        break;
    case ExportOutcome::Failed:
        throw FileWriteError(fileName, result.error);
    }
}
