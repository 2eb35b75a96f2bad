#pragma once

#include <condition_variable>
#include <mutex>

namespace norvelle::test {

// Holds worker threads at a point of the test's choosing. A fake calls pass(), which
// counts the arrival and blocks until the test lets one caller through (release) or
// opens the gate for good. Destroying the gate does not free its waiters, so fakes
// keep it in a shared_ptr and tests open it before they end.
class TestGate {
public:
    void pass();
    void release(int count = 1);
    void open();

    int arrivals() const;
    int passed() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_arrivals = 0;
    int m_passed = 0;
    int m_permits = 0;
    bool m_open = false;
};

} // namespace norvelle::test
