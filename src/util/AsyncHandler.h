#pragma once

#include "util/DetachedTask.h"

#include <QCoroTask>
#include <QString>

// Wraps a member handler that is a coroutine for use in connect(): it goes on by itself once the
// handler has returned, and an exception that escapes it reaches the crash reporter.
template <typename Object, typename... Args>
auto GuardedAsync(Object* object, QCoro::Task<> (Object::*handler)(Args...), const char* name)
{
    return [object, handler, name](Args... args) {
        RunDetached(QString::fromLatin1(name), (object->*handler)(args...));
    };
}
