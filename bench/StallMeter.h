#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

// How long the event loop stands still: a timer ticks every few milliseconds from construction on,
// and how late it comes at worst is the longest stand-still. (A timer of 0 ms would keep the thread
// busy, and the system would make it wait its turn behind the workers as it does a busy program.)
class StallMeter {
public:
    static constexpr int TickMs = 5;

    StallMeter()
    {
        m_clock.start();
        m_ticks.setTimerType(Qt::PreciseTimer);
        m_ticks.setInterval(TickMs);
        QObject::connect(&m_ticks, &QTimer::timeout, [this] {
            m_longest = longestMs();
            m_lastTick = m_clock.nsecsElapsed();
        });
        m_ticks.start();
    }

    // Milliseconds since construction.
    double elapsedMs() const { return double(m_clock.nsecsElapsed()) / 1e6; }
    // The longest stand-still so far, the time since the last tick included (a tick still due).
    double longestMs() const
    {
        return std::max(m_longest, double(m_clock.nsecsElapsed() - m_lastTick) / 1e6 - TickMs);
    }

private:
    QElapsedTimer m_clock;
    QTimer m_ticks;
    qint64 m_lastTick = 0;
    double m_longest = 0;
};
