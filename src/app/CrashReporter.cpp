#include "app/CrashReporter.h"

#include "app/Seams.h"
#include "util/ProgramFolder.h"

#include <QDateTime>
#include <QFile>

#include <cstdio>

namespace {

MessageBoxes* messageBoxes = nullptr;

} // namespace

void CrashReporter::setMessageBoxes(MessageBoxes* messages)
{
    messageBoxes = messages;
}

QString CrashReporter::logPath()
{
    return ProgramFile(QStringLiteral("crash.log"));
}

void CrashReporter::report(const QString& where, const QString& what)
{
    const QString entry =
        QStringLiteral("%1  %2: %3\r\n").arg(QDateTime::currentDateTime().toString(Qt::ISODate), where, what);
    QFile log(logPath());
    if (log.open(QIODevice::Append))
        log.write(entry.toUtf8());
    std::fprintf(stderr, "Quillory: %s", qPrintable(entry));

    if (messageBoxes) {
        messageBoxes->show(QStringLiteral("Something went wrong and the last action did not finish:\n\n%1\n\n"
                                          "Quillory goes on running. A report was added to %2.")
                               .arg(what, logPath()),
                           MsgKind::Warning, MsgButtons::Ok);
    }
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
