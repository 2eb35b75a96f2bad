#include "FakeDiscoveryService.h"

#include "TestGate.h"
#include "util/Error.h"

namespace norvelle::test {

FakeDiscoveryService::FakeDiscoveryService() : DiscoveryService(nullptr, nullptr, nullptr, {}) {}

FakeDiscoveryService::ApplicationList
FakeDiscoveryService::discoverApplications(const EnvironmentStatus& environment,
                                           QList<SourceFailure>* failures)
{
    std::shared_ptr<TestGate> gate;
    {
        std::lock_guard lock(m_mutex);
        m_discoveries.append(environment);
        gate = m_discoveryGate;
    }
    if (gate)
        gate->pass();
    std::lock_guard lock(m_mutex);
    if (m_discoveryFailure)
        throw Error(*m_discoveryFailure);
    if (failures)
        failures->append(m_sourceFailures);
    return m_applications;
}

std::shared_ptr<Application> FakeDiscoveryService::discoverApplication(const QUrl& url, bool hasHomebrew,
                                                                       bool hasMAS)
{
    std::lock_guard lock(m_mutex);
    m_rediscoveries.append(
        QStringLiteral("%1|%2|%3").arg(url.toLocalFile()).arg(int(hasHomebrew)).arg(int(hasMAS)));
    if (m_rediscoveryFailure)
        throw Error(*m_rediscoveryFailure);
    return m_rediscovered.value(url.toString());
}

void FakeDiscoveryService::setApplications(ApplicationList applications)
{
    std::lock_guard lock(m_mutex);
    m_applications = std::move(applications);
}

void FakeDiscoveryService::setDiscoveryFailure(std::optional<QString> description)
{
    std::lock_guard lock(m_mutex);
    m_discoveryFailure = std::move(description);
}

void FakeDiscoveryService::setSourceFailures(QList<SourceFailure> failures)
{
    std::lock_guard lock(m_mutex);
    m_sourceFailures = std::move(failures);
}

void FakeDiscoveryService::setDiscoveryGate(std::shared_ptr<TestGate> gate)
{
    std::lock_guard lock(m_mutex);
    m_discoveryGate = std::move(gate);
}

void FakeDiscoveryService::setRediscovered(const QUrl& url, std::shared_ptr<Application> application)
{
    std::lock_guard lock(m_mutex);
    m_rediscovered.insert(url.toString(), std::move(application));
}

std::optional<QString> FakeDiscoveryService::versionOnDisk(const QUrl& url, const QString&) const
{
    std::lock_guard lock(m_mutex);
    const auto found = m_versionsOnDisk.constFind(url.toString());
    return found == m_versionsOnDisk.cend() ? std::nullopt : std::optional(found.value());
}

void FakeDiscoveryService::setVersionOnDisk(const QUrl& url, std::optional<QString> version)
{
    std::lock_guard lock(m_mutex);
    if (version)
        m_versionsOnDisk.insert(url.toString(), *version);
    else
        m_versionsOnDisk.remove(url.toString());
}

void FakeDiscoveryService::setRediscoveryFailure(std::optional<QString> description)
{
    std::lock_guard lock(m_mutex);
    m_rediscoveryFailure = std::move(description);
}

QList<EnvironmentStatus> FakeDiscoveryService::discoveries() const
{
    std::lock_guard lock(m_mutex);
    return m_discoveries;
}

QStringList FakeDiscoveryService::rediscoveries() const
{
    std::lock_guard lock(m_mutex);
    return m_rediscoveries;
}

} // namespace norvelle::test
