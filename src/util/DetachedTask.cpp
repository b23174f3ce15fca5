#include "util/DetachedTask.h"

#include <QDebug>

#include <exception>

namespace {

DetachedTaskErrorHandler errorHandler = nullptr;

void reportError(const QString& where, const QString& what)
{
    if (errorHandler)
        errorHandler(where, what);
    else
        qWarning("%s: %s", qPrintable(where), qPrintable(what));
}

QCoro::Task<> reportErrors(QString where, QCoro::Task<> task)
{
    try {
        co_await std::move(task);
    } catch (const std::exception& error) {
        reportError(where, QString::fromUtf8(error.what()));
    } catch (...) {
        reportError(where, QStringLiteral("an unknown error"));
    }
}

} // namespace

void RunDetached(const QString& where, QCoro::Task<> task)
{
    // The returned task is dropped: the coroutine runs on and frees itself when it ends.
    reportErrors(where, std::move(task));
}

void SetDetachedTaskErrorHandler(DetachedTaskErrorHandler handler)
{
    errorHandler = handler;
}
