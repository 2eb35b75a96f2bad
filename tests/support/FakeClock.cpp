#include "FakeClock.h"

namespace norvelle::test {

FakeClock::FakeClock(QDateTime start) : m_now(start.toUTC()) {}

QDateTime FakeClock::now() const
{
    std::lock_guard lock(m_mutex);
    return m_now;
}

void FakeClock::set(const QDateTime& time)
{
    std::lock_guard lock(m_mutex);
    m_now = time.toUTC();
}

void FakeClock::advance(qint64 seconds)
{
    std::lock_guard lock(m_mutex);
    m_now = m_now.addSecs(seconds);
}

} // namespace norvelle::test
