#include "util/CrashReporter.h"

#include "util/MessageBoxes.h"
#include "util/ProgramFolder.h"

#include <QDateTime>
#include <QFile>
#include <QScopeGuard>

#include <cstdio>

namespace {

MessageBoxes* messageBoxes = nullptr;

// Appends the entry and closes the file before anything else happens, so that the report is on
// disk even when the program is killed while the user reads the box.
bool appendToLog(const QString& path, const QString& entry)
{
    QFile log(path);
    if (!log.open(QIODevice::Append))
        return false;
    const QByteArray bytes = entry.toUtf8();
    const bool written = log.write(bytes) == bytes.size();
    return log.flush() && written;
}

// One box at a time: an error while a box is open (a save that fails again during a harvest, say)
// is logged but does not stack another box.
bool boxOpen = false;

} // namespace

void CrashReporter::setMessageBoxes(MessageBoxes* messages)
{
    messageBoxes = messages;
}

QString CrashReporter::logPath()
{
    return ProgramFile(QStringLiteral("crash.log"));
}

bool CrashReporter::log(const QString& where, const QString& what)
{
    const QString entry =
        QStringLiteral("%1  %2: %3\r\n").arg(QDateTime::currentDateTime().toString(Qt::ISODate), where, what);
    std::fprintf(stderr, "Quillory: %s", qPrintable(entry));
    return appendToLog(logPath(), entry);
}

void CrashReporter::report(const QString& where, const QString& what)
{
    const bool logged = log(where, what);
    const QString outcome = logged ? QStringLiteral("A report was added to %1.").arg(logPath())
                                   : QStringLiteral("No report could be written to %1.").arg(logPath());
    showBox(QStringLiteral("Something went wrong and the last action did not finish:\n\n%1\n\n"
                           "Quillory goes on running. %2")
                .arg(what, outcome));
}

void CrashReporter::tell(const QString& where, const QString& what, const QString& text)
{
    log(where, what);
    showBox(text);
}

void CrashReporter::showBox(const QString& text)
{
    if (!messageBoxes || boxOpen)
        return;
    boxOpen = true;
    const auto reopen = qScopeGuard([] { boxOpen = false; });
    messageBoxes->show(text, MsgKind::Warning, MsgButtons::Ok);
}

void CrashReporter::guard(const QString& where, const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        report(where, QString::fromUtf8(error.what()));
    } catch (...) {
        report(where, QStringLiteral("an unknown error"));
    }
}
