#pragma once

#include "app/CrashReporter.h"

#include <QCoroTask>
#include <QString>

// Lets a handler's coroutine go on by itself once the handler has returned. An exception that
// escapes the coroutine reaches the crash reporter, like one that escapes an event handler.
void RunDetached(const QString& where, QCoro::Task<> task);

// Wraps a member handler that is a coroutine for use in connect().
template <typename Object, typename... Args>
auto GuardedAsync(Object* object, QCoro::Task<> (Object::*handler)(Args...), const char* name)
{
    return [object, handler, name](Args... args) {
        RunDetached(QString::fromLatin1(name), (object->*handler)(args...));
    };
}
