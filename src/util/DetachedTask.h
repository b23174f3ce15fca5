#pragma once

#include <QCoroTask>
#include <QString>

// Lets a coroutine go on by itself once whoever started it has returned. An exception that escapes
// it goes to the error handler, as one that escapes an event handler goes to the crash reporter.
void RunDetached(const QString& where, QCoro::Task<> task);

// Where the errors of detached tasks go: the program sets its crash reporter. Without a handler
// they are only logged.
using DetachedTaskErrorHandler = void (*)(const QString& where, const QString& what);
void SetDetachedTaskErrorHandler(DetachedTaskErrorHandler handler);
