#include "coordinator/AppCoordinator.h"

#include "platform/Clock.h"
#include "services/ApplicationStore.h"
#include "services/EnvironmentService.h"
#include "util/Async.h"

#include <algorithm>

namespace norvelle {

AppCoordinator::AppCoordinator(std::shared_ptr<DiscoveryService> discoveryService,
                               std::shared_ptr<UpdateService> updateService,
                               std::shared_ptr<IgnoreService> ignoreService,
                               std::shared_ptr<EnvironmentService> environmentService,
                               std::shared_ptr<BrewService> brewService, ApplicationStore& store,
                               std::shared_ptr<const Clock> clock)
    : m_discoveryService(std::move(discoveryService)), m_updateService(std::move(updateService)),
      m_ignoreService(std::move(ignoreService)), m_environmentService(std::move(environmentService)),
      m_brewService(std::move(brewService)), m_store(store),
      m_clock(clock ? std::move(clock) : std::make_shared<const Clock>())
{
}

AppCoordinator::~AppCoordinator() = default;

bool AppCoordinator::isDiscovering() const
{
    std::lock_guard lock(m_mutex);
    return m_isDiscovering;
}

bool AppCoordinator::isUpdating() const
{
    std::lock_guard lock(m_mutex);
    return m_isUpdating;
}

bool AppCoordinator::isAdopting() const
{
    std::lock_guard lock(m_mutex);
    return m_isAdopting;
}

bool AppCoordinator::hasActiveBatch() const
{
    std::lock_guard lock(m_mutex);
    return m_updateTask != nullptr;
}

void AppCoordinator::clearFlag(bool AppCoordinator::*flag)
{
    std::lock_guard lock(m_mutex);
    this->*flag = false;
}

EnvironmentStatus AppCoordinator::checkAndStoreEnvironment()
{
    const EnvironmentStatus status = m_environmentService->checkEnvironment();
    invokeOnMain([&] { m_store.setEnvironmentStatus(status); });
    return status;
}

AdoptionProgress::Status AppCoordinator::adoptionStatus(const QString& line)
{
    using Status = AdoptionProgress::Status;
    static const std::pair<const char*, Status> keywords[] = {
        {"download", Status::downloading}, {"install", Status::adopting}, {"adopt", Status::adopting},
        {"verif", Status::verifying},      {"link", Status::verifying},   {"complete", Status::completed},
        {"success", Status::completed},    {"fail", Status::failed},      {"error", Status::failed},
    };
    const QString lower = line.toLower();
    for (const auto& [keyword, status] : keywords) {
        if (lower.contains(QLatin1String(keyword)))
            return status;
    }
    return Status::adopting;
}

QList<AppCoordinator::ApplicationList> AppCoordinator::makeBatches(const ApplicationList& applications,
                                                                   int batchSize)
{
    const qsizetype size = std::max(1, batchSize);
    QList<ApplicationList> batches;
    for (qsizetype start = 0; start < applications.size(); start += size)
        batches.append(applications.mid(start, std::min(size, applications.size() - start)));
    return batches;
}

} // namespace norvelle
