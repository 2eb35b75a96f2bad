#include "TestGate.h"

namespace norvelle::test {

void TestGate::pass()
{
    std::unique_lock lock(m_mutex);
    ++m_arrivals;
    m_changed.wait(lock, [this] { return m_open || m_permits > 0; });
    if (!m_open)
        --m_permits;
    ++m_passed;
}

void TestGate::release(int count)
{
    {
        std::lock_guard lock(m_mutex);
        m_permits += count;
    }
    m_changed.notify_all();
}

void TestGate::open()
{
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
    }
    m_changed.notify_all();
}

int TestGate::arrivals() const
{
    std::lock_guard lock(m_mutex);
    return m_arrivals;
}

int TestGate::passed() const
{
    std::lock_guard lock(m_mutex);
    return m_passed;
}

} // namespace norvelle::test
