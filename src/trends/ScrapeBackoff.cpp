#include "trends/ScrapeBackoff.h"

#include <algorithm>

void ScrapeBackoff::failed(const QDateTime& now)
{
    m_delay = m_delay.count() == 0 ? FirstDelay : std::min(m_delay * 2, LongestDelay);
    m_nextTry = now.addSecs(m_delay.count());
}

void ScrapeBackoff::refused(const QDateTime& now)
{
    m_delay = std::clamp(m_delay * 2, FirstRefusalDelay, LongestDelay);
    m_nextTry = now.addSecs(m_delay.count());
}

void ScrapeBackoff::succeeded()
{
    m_delay = std::chrono::seconds(0);
    m_nextTry = QDateTime();
}

bool ScrapeBackoff::allows(const QDateTime& now) const
{
    // A clock set back past the failure does not hold the monitor up for the hours it went back.
    return !m_nextTry.isValid() || now >= m_nextTry || now < m_nextTry.addSecs(-m_delay.count());
}
