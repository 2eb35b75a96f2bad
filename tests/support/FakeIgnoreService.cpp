#include "FakeIgnoreService.h"

#include "TestGate.h"
#include "util/Error.h"

namespace norvelle::test {

FakeIgnoreService::FakeIgnoreService() : IgnoreService(folder.path() + QStringLiteral("/Norvelle")) {}

void FakeIgnoreService::record(const QString& call)
{
    std::optional<QString> failure;
    {
        std::lock_guard lock(m_mutex);
        m_calls.append(call);
        failure = m_failure;
    }
    if (failure)
        throw Error(*failure);
}

void FakeIgnoreService::ignoreApp(const QString& bundleIdentifier)
{
    record(QStringLiteral("ignoreApp ") + bundleIdentifier);
    IgnoreService::ignoreApp(bundleIdentifier);
}

void FakeIgnoreService::unignoreApp(const QString& bundleIdentifier)
{
    record(QStringLiteral("unignoreApp ") + bundleIdentifier);
    IgnoreService::unignoreApp(bundleIdentifier);
}

void FakeIgnoreService::ignoreVersion(const QString& bundleIdentifier, const QString& version)
{
    record(QStringLiteral("ignoreVersion ") + bundleIdentifier + QLatin1Char(' ') + version);
    IgnoreService::ignoreVersion(bundleIdentifier, version);
}

void FakeIgnoreService::unignoreVersion(const QString& bundleIdentifier)
{
    std::shared_ptr<TestGate> gate;
    {
        std::lock_guard lock(m_mutex);
        gate = m_unignoreVersionGate;
    }
    if (gate)
        gate->pass();
    record(QStringLiteral("unignoreVersion ") + bundleIdentifier);
    IgnoreService::unignoreVersion(bundleIdentifier);
}

void FakeIgnoreService::setFailure(std::optional<QString> description)
{
    std::lock_guard lock(m_mutex);
    m_failure = std::move(description);
}

void FakeIgnoreService::setUnignoreVersionGate(std::shared_ptr<TestGate> gate)
{
    std::lock_guard lock(m_mutex);
    m_unignoreVersionGate = std::move(gate);
}

QStringList FakeIgnoreService::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

} // namespace norvelle::test
