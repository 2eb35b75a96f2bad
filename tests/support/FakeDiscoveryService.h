#pragma once

#include "services/DiscoveryService.h"

#include <QHash>
#include <QStringList>
#include <memory>
#include <mutex>
#include <optional>

namespace norvelle::test {

class TestGate;

// A discovery that scans nothing: the full discovery answers a set list, the rediscovery
// of one bundle answers the application set for its path (none when nothing is set).
// Either can be told to fail or to wait at a gate. Calls are recorded.
class FakeDiscoveryService : public DiscoveryService {
public:
    using ApplicationList = QList<std::shared_ptr<Application>>;

    FakeDiscoveryService();

    ApplicationList discoverApplications(const EnvironmentStatus& environment,
                                         QList<SourceFailure>* failures = nullptr) override;
    std::shared_ptr<Application> discoverApplication(const QUrl& url, bool hasHomebrew, bool hasMAS) override;
    // What was set for the path alone: the rediscovery's version would pass every update's test.
    std::optional<QString> versionOnDisk(const QUrl& url, const QString& bundleIdentifier) const override;

    void setApplications(ApplicationList applications);
    void setDiscoveryFailure(std::optional<QString> description);
    // The sources that every later full discovery reports it could not read.
    void setSourceFailures(QList<SourceFailure> failures);
    void setDiscoveryGate(std::shared_ptr<TestGate> gate);
    // What rediscovering the bundle at `url` yields; a null application means "not accepted".
    void setRediscovered(const QUrl& url, std::shared_ptr<Application> application);
    void setRediscoveryFailure(std::optional<QString> description);
    void setVersionOnDisk(const QUrl& url, std::optional<QString> version);

    QList<EnvironmentStatus> discoveries() const;
    // "path|hasHomebrew|hasMAS" per rediscovery, the flags as 0 or 1.
    QStringList rediscoveries() const;

private:
    mutable std::mutex m_mutex;
    ApplicationList m_applications;
    std::optional<QString> m_discoveryFailure;
    QList<SourceFailure> m_sourceFailures;
    std::shared_ptr<TestGate> m_discoveryGate;
    QHash<QString, std::shared_ptr<Application>> m_rediscovered;
    std::optional<QString> m_rediscoveryFailure;
    QHash<QString, QString> m_versionsOnDisk;
    QList<EnvironmentStatus> m_discoveries;
    QStringList m_rediscoveries;
};

} // namespace norvelle::test
