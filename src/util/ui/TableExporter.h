#pragma once

#include <QCoroTask>
#include <QObject>
#include <QString>

#include <functional>

class MessageBoxes;
class SaveDialog;
struct ExportResult;
enum class ExportFormat;

// The export of a page's table, as both pages do it: the save dialog with its choice of formats
// (ExportChoices; the chosen format's extension added when missing), the status texts and the
// outcome. A file that exists and cannot be replaced is said in a box; any other failure throws
// FileWriteError for the crash reporter.
//
// The file is written on a worker thread, so that a million rows go out while the window goes on:
// `write` runs there, in the chosen format, and must read nothing but what it holds (a copy of the
// rows, which the tables make cheaply). One export at a time: asking for another while one is
// written is refused with a status text.
class TableExporter final : public QObject {
    Q_OBJECT

public:
    using Write = std::function<ExportResult(const QString& fileName, ExportFormat format)>;

    TableExporter(SaveDialog& dialog, MessageBoxes& messages, std::function<void(const QString&)> showStatus,
                  QObject* parent);

    QCoro::Task<> exportWith(Write write);
    bool isRunning() const { return m_running; }

private:
    SaveDialog& m_dialog;
    MessageBoxes& m_messages;
    std::function<void(const QString&)> m_showStatus;
    bool m_running = false;
};
