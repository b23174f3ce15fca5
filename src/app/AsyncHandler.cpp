#include "app/AsyncHandler.h"

namespace {

QCoro::Task<> reportErrors(QString where, QCoro::Task<> task)
{
    try {
        co_await std::move(task);
    } catch (const std::exception& error) {
        CrashReporter::report(where, QString::fromUtf8(error.what()));
    } catch (...) {
        CrashReporter::report(where, QStringLiteral("an unknown error"));
    }
}

} // namespace

void RunDetached(const QString& where, QCoro::Task<> task)
{
    // The returned task is dropped: the coroutine runs on and frees itself when it ends.
    reportErrors(where, std::move(task));
}
