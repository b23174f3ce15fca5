#pragma once

#include <QString>

#include <exception>
#include <functional>

class MessageBoxes;

// The one place where an error that escaped an event handler ends: it appends a short report to
// "crash.log" in the program folder and tells the user what failed; the program carries on.
class CrashReporter {
public:
    // The message boxes through which the user is told (the main window's); null until set, and
    // null again while the program ends on a signal, when nobody is there to answer a box.
    static void setMessageBoxes(MessageBoxes* messages);

    // Logs the error and tells the user, unless a box of the reporter is already open.
    static void report(const QString& where, const QString& what);
    // Logs a failure that ended no action (a save that will be tried again) and shows `text` about it,
    // under the same rule: no box over a box of the reporter, none while nobody can answer.
    static void tell(const QString& where, const QString& what, const QString& text);
    // Only logs it (to "crash.log" and stderr); false when "crash.log" could not be written.
    static bool log(const QString& where, const QString& what);

    // Runs `handler`; an exception that escapes it is reported and goes no further.
    static void guard(const QString& where, const std::function<void()>& handler);

    static QString logPath();

private:
    static void showBox(const QString& text);
};

// Wraps a member handler so that its errors reach the reporter, for use in connect().
template <typename Object, typename... Args>
auto Guarded(Object* object, void (Object::*handler)(Args...), const char* name)
{
    return [object, handler, name](Args... args) {
        CrashReporter::guard(QString::fromLatin1(name), [&] { (object->*handler)(args...); });
    };
}
