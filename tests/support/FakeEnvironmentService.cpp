#include "FakeEnvironmentService.h"

#include "TestGate.h"

namespace norvelle::test {

FakeEnvironmentService::FakeEnvironmentService(EnvironmentStatus status)
    : EnvironmentService(Paths{}, nullptr), m_status(std::move(status))
{
}

EnvironmentStatus FakeEnvironmentService::checkEnvironment()
{
    ++m_checks;
    std::shared_ptr<TestGate> gate;
    {
        std::lock_guard lock(m_mutex);
        gate = std::move(m_nextCheckGate);
        m_nextCheckGate.reset();
    }
    if (gate)
        gate->pass();
    std::lock_guard lock(m_mutex);
    return m_status;
}

void FakeEnvironmentService::setNextCheckGate(std::shared_ptr<TestGate> gate)
{
    std::lock_guard lock(m_mutex);
    m_nextCheckGate = std::move(gate);
}

void FakeEnvironmentService::setStatus(const EnvironmentStatus& status)
{
    std::lock_guard lock(m_mutex);
    m_status = status;
}

} // namespace norvelle::test
