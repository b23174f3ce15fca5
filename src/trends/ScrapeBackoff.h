#pragma once

#include <QDateTime>

#include <chrono>

// How long the hourly monitor waits after a failed scrape before it tries again by itself: 5 s,
// then twice as long after each further failure, up to 15 minutes. A service that refused to
// answer (asked too fast) is given a minute at least. A success ends the waiting. A scrape the user
// asks for is never held back.
class ScrapeBackoff {
public:
    static constexpr std::chrono::seconds FirstDelay{5};
    static constexpr std::chrono::seconds LongestDelay{15 * 60};
    static constexpr std::chrono::seconds FirstRefusalDelay{60};

    void failed(const QDateTime& now);
    void refused(const QDateTime& now);
    void succeeded();

    // Whether an automatic try may start at `now`.
    bool allows(const QDateTime& now) const;
    // When the next automatic try may start; invalid after a success.
    QDateTime nextTry() const { return m_nextTry; }
    std::chrono::seconds delay() const { return m_delay; }

private:
    std::chrono::seconds m_delay{0};
    QDateTime m_nextTry;
};
