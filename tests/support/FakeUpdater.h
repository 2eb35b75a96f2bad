#pragma once

#include "platform/updater/Updater.h"

#include <atomic>

namespace norvelle::test {

// An updater whose readiness the test sets; it counts the checks it is asked to start.
class FakeUpdater : public Updater {
public:
    explicit FakeUpdater(bool canCheck = true) : m_canCheck(canCheck) {}

    void start() override { ++m_starts; }
    bool checkForUpdates() override
    {
        ++m_checks;
        return m_canCheck.load();
    }
    bool canCheckForUpdates() const override
    {
        ++m_reads;
        return m_canCheck.load();
    }
    bool sessionInProgress() const override { return !m_canCheck.load(); }
    QUrl feedUrl() const override { return {}; }

    void setCanCheck(bool value) { m_canCheck = value; }
    int checkCount() const { return m_checks.load(); }
    int startCount() const { return m_starts.load(); }
    int readCount() const { return m_reads.load(); }

private:
    std::atomic<bool> m_canCheck;
    std::atomic<int> m_checks{0};
    std::atomic<int> m_starts{0};
    mutable std::atomic<int> m_reads{0};
};

} // namespace norvelle::test
