#pragma once

#include <QObject>

#include <coroutine>

// One coroutine waiting for news about something it owns (a socket, a timer, its turn). Whoever
// has news calls fire(); the waiting coroutine is then resumed from the event loop, never from
// inside fire(), so code that fires (a socket signal, disconnect(), a destructor) never finds the
// coroutine running inside it. News that comes while nobody waits is kept: the next wait() returns
// at once. Waking is only a hint; the coroutine looks again at what it waits for.
class Wakeup {
public:
    Wakeup() = default;
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;

    void fire();

    auto wait()
    {
        struct Awaiter {
            Wakeup& wakeup;
            bool await_ready() const noexcept { return wakeup.m_pending; }
            void await_suspend(std::coroutine_handle<> waiting) noexcept { wakeup.m_waiting = waiting; }
            void await_resume() noexcept { wakeup.m_pending = false; }
        };
        return Awaiter{*this};
    }

private:
    // Queued resumptions are bound to this object, so they are dropped if the Wakeup goes first.
    QObject m_context;
    std::coroutine_handle<> m_waiting;
    bool m_pending = false;
    bool m_resumeQueued = false;
};
