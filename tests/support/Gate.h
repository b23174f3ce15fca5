#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

// Holds work on other threads at a named point until the test lets it go: a file's load, or a
// writer, kept waiting as long as the test looks. Names not held pass at once; everything passes
// once the gate goes, so that no thread waits for a test that has ended.
class Gate {
public:
    Gate() = default;
    Gate(const Gate&) = delete;
    Gate& operator=(const Gate&) = delete;
    ~Gate() { releaseAll(); }

    void hold(const QString& name)
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->held.insert(name);
    }
    void release(const QString& name)
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->held.remove(name);
        m_state->changed.notify_all();
    }
    void releaseAll()
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->held.clear();
        m_state->changed.notify_all();
    }
    // How many threads wait at `name` now.
    int waitingAt(const QString& name) const
    {
        const std::lock_guard lock(m_state->mutex);
        return int(m_state->waiting.count(name));
    }

    // Where a thread waits while its name is held; it shares the gate's state and may outlive it.
    std::function<void(const QString& name)> passage() const
    {
        return [state = m_state](const QString& name) {
            std::unique_lock lock(state->mutex);
            state->waiting.append(name);
            state->changed.wait(lock, [&] { return !state->held.contains(name); });
            state->waiting.removeOne(name);
        };
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        QSet<QString> held;
        QStringList waiting;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};
