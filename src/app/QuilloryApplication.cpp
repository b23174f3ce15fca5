#include "app/QuilloryApplication.h"

#include "util/CrashReporter.h"

bool QuilloryApplication::notify(QObject* receiver, QEvent* event)
{
    bool handled = false;
    CrashReporter::guard(QStringLiteral("event %1 for %2")
                             .arg(int(event->type()))
                             .arg(QString::fromLatin1(receiver->metaObject()->className())),
                         [&] { handled = QApplication::notify(receiver, event); });
    return handled;
}
