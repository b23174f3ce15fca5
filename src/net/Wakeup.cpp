#include "net/Wakeup.h"

#include <utility>

void Wakeup::fire()
{
    m_pending = true;
    if (!m_waiting || m_resumeQueued)
        return;
    m_resumeQueued = true;
    QMetaObject::invokeMethod(
        &m_context,
        [this] {
            m_resumeQueued = false;
            // The coroutine may end and free this object while it runs: nothing of it is used after.
            if (auto waiting = std::exchange(m_waiting, {}))
                waiting.resume();
        },
        Qt::QueuedConnection);
}
