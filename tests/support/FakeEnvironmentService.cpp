#include "FakeEnvironmentService.h"

namespace norvelle::test {

FakeEnvironmentService::FakeEnvironmentService(EnvironmentStatus status)
    : EnvironmentService(Paths{}, nullptr), m_status(std::move(status))
{
}

EnvironmentStatus FakeEnvironmentService::checkEnvironment()
{
    ++m_checks;
    std::lock_guard lock(m_mutex);
    return m_status;
}

void FakeEnvironmentService::setStatus(const EnvironmentStatus& status)
{
    std::lock_guard lock(m_mutex);
    m_status = status;
}

} // namespace norvelle::test
