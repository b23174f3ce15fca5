#pragma once

#include <QEvent>
#include <QObject>

#include <functional>

// Runs `action` for every event of `type` that reaches `target`, before the target's own handler;
// the action returns true when it has taken the event. The hook lives as long as the target.
//
// Key presses reach a page only when the control with the focus left them unhandled, so a hook on
// a page sees exactly the keys that none of its controls wanted.
void HookEvent(QObject* target, QEvent::Type type, std::function<bool(QEvent* event)> action);
