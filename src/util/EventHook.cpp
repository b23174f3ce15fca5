#include "util/EventHook.h"

namespace {

class EventHook final : public QObject {
public:
    EventHook(QObject* target, QEvent::Type type, std::function<bool(QEvent*)> action)
        : QObject(target)
        , m_type(type)
        , m_action(std::move(action))
    {
        target->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        return watched == parent() && event->type() == m_type && m_action(event);
    }

private:
    QEvent::Type m_type;
    std::function<bool(QEvent*)> m_action;
};

} // namespace

void HookEvent(QObject* target, QEvent::Type type, std::function<bool(QEvent* event)> action)
{
    new EventHook(target, type, std::move(action));
}
