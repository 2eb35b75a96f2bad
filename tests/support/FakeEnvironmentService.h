#pragma once

#include "services/EnvironmentService.h"

#include <atomic>
#include <memory>
#include <mutex>

namespace norvelle::test {

class TestGate;

// An environment check that answers a set status at once and counts its calls.
class FakeEnvironmentService : public EnvironmentService {
public:
    explicit FakeEnvironmentService(EnvironmentStatus status = {true, true, true,
                                                                QStringLiteral("/usr/local/bin/brew")});

    EnvironmentStatus checkEnvironment() override;

    void setStatus(const EnvironmentStatus& status);
    // Only the next check waits at this gate before it answers.
    void setNextCheckGate(std::shared_ptr<TestGate> gate);
    int checkCount() const { return m_checks.load(); }

private:
    mutable std::mutex m_mutex;
    EnvironmentStatus m_status;
    std::shared_ptr<TestGate> m_nextCheckGate;
    std::atomic<int> m_checks{0};
};

} // namespace norvelle::test
