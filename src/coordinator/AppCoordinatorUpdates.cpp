// The single update, the batch in chunks, and cancelling the batch.

#include "coordinator/AppCoordinator.h"

#include "coordinator/CoordinatorError.h"
#include "model/NorvelleError.h"
#include "platform/Logger.h"
#include "services/ApplicationStore.h"
#include "services/DiscoveryService.h"
#include "services/UpdateService.h"
#include "sources/ToolRunner.h"
#include "util/Async.h"

#include <QUuid>
#include <algorithm>

namespace norvelle {

AppCoordinator::Refusal AppCoordinator::claimUpdating()
{
    std::lock_guard lock(m_mutex);
    if (m_isUpdating)
        return Refusal::updating;
    if (m_isAdopting)
        return Refusal::adopting;
    m_isUpdating = true;
    return Refusal::none;
}

Update::Result AppCoordinator::updateApplication(const ApplicationPtr& application,
                                                 const UpdateProgressHandler& progress)
{
    // Claimed before the environment check, not after it: two updates, or an update and an
    // adoption, asked for at nearly the same moment must not both get past this point.
    switch (claimUpdating()) {
    case Refusal::updating:
        Logger::warning(QStringLiteral("Update already in progress"));
        throw CoordinatorError::updating();
    case Refusal::adopting:
        Logger::warning(QStringLiteral("Cannot update while adoptions are in progress"));
        throw CoordinatorError::adopting();
    default:
        break;
    }
    FlagReset reset(*this, &AppCoordinator::m_isUpdating);
    const UpdateRegistration registered(*this, {application});

    const EnvironmentStatus status = checkAndStoreEnvironment();
    const std::optional<Update> update = invokeOnMain([&] { return application->update(); });
    if (!update)
        throw CoordinatorError::noUpdateAvailable();
    if (update->source == Update::Source::homebrew && !status.hasHomebrew)
        throw CoordinatorError::homebrewNotAvailable();
    if (update->source == Update::Source::appStore && !status.hasMAS)
        throw CoordinatorError::masNotAvailable();

    std::optional<QString> installed = installedMeanwhile(application, *update);
    Update::Result result;
    if (!installed) {
        Logger::info(QStringLiteral("Updating application: ") + application->name());
        result = m_updateService->updateApplication(application, progress);
        // The updater found nothing newer than the bundle: it may have updated itself meanwhile.
        if (!result.success && foundNothingNewer(result))
            installed = installedMeanwhile(application, *update);
    }
    if (installed) {
        Logger::info(application->name() + QStringLiteral(" already has version ") + *installed +
                     QStringLiteral(": nothing to install"));
        settleInstalledMeanwhile(application, *installed);
        return Update::Result{QUuid::createUuid(), application, false, std::nullopt, QDateTime::currentDateTime(),
                              true};
    }
    // After a success the update stays until the bundle on disk has been read again and checked:
    // it goes only once the new version is really installed. When that cannot be learnt, the
    // tool's word is taken and the update goes all the same.
    if (!result.success || !rediscoverAfterUpdate(application)) {
        invokeOnMain([&] {
            applyUpdateOutcome(result, application);
            m_store.updateDockBadge();
        });
    }
    return result;
}

bool AppCoordinator::rediscoverAfterUpdate(const ApplicationPtr& application)
{
    // The bundle on disk now holds the new version: read it again and check again, so the
    // installed version shows at once and an update that did not really land stays.
    const QString name = application->name();
    try {
        refreshApplication(application);
        Logger::info(QStringLiteral("Rediscovered ") + name + QStringLiteral(" after successful update"));
        return true;
    } catch (...) {
        if (ToolRunner::isEndedByQuitting(std::current_exception()))
            Logger::info(QStringLiteral("Rediscovery of ") + name + QStringLiteral(" ended by quitting"));
        else
            Logger::error(QStringLiteral("Failed to rediscover ") + name + QStringLiteral(" after update: ") +
                          describeException(std::current_exception()));
        return false;
    }
}

std::optional<QString> AppCoordinator::installedMeanwhile(const ApplicationPtr& application,
                                                          const Update& update) const
{
    // The store's versions need not follow the bundle's, and mas decides what is outdated: only
    // an offer that was found newer than the bundle's version is judged by it again.
    if (update.source == Update::Source::appStore)
        return std::nullopt;
    const std::optional<QString> onDisk =
        m_discoveryService->versionOnDisk(application->path(), application->bundleIdentifier());
    if (onDisk && !UpdateService::isNewerThan(update, *onDisk))
        return onDisk;
    return std::nullopt;
}

void AppCoordinator::settleInstalledMeanwhile(const ApplicationPtr& application, const QString& installed)
{
    // Read again and checked as after an update of ours: the version shows, and a newer offer with it.
    try {
        refreshApplication(application);
        return;
    } catch (...) {
        if (ToolRunner::isEndedByQuitting(std::current_exception()))
            return;
        Logger::warning(QStringLiteral("Failed to rediscover ") + application->name() + QStringLiteral(": ") +
                        describeException(std::current_exception()));
    }
    invokeOnMain([&] {
        const ApplicationPtr listed = listedAt(application);
        listed->setCurrentVersion(installed);
        if (const std::optional<Update> update = listed->update();
            update && !UpdateService::isNewerThan(*update, installed))
            listed->setUpdate(std::nullopt);
        m_store.updateDockBadge();
    });
}

bool AppCoordinator::foundNothingNewer(const Update::Result& result)
{
    // The updater's own words for it; the run that ends so has nothing to retry.
    return !result.success && result.error == NorvelleError::noUpdateAvailable().description();
}

void AppCoordinator::applyUpdateOutcome(const Update::Result& result, const ApplicationPtr& application)
{
    if (!application)
        return;
    // An offer the feed has withdrawn since the check goes: retrying it could only fail again.
    if (result.success || foundNothingNewer(result)) {
        application->setUpdate(std::nullopt);
        return;
    }
    if (auto update = application->update()) {
        update->status = Update::Status::failed;
        update->lastUpdateError = result.error;
        application->setUpdate(update);
    }
}

QList<Update::Result> AppCoordinator::updateApplications(const ApplicationList& applications, int batchSize,
                                                         const UpdateProgressHandler& progress)
{
    auto task = std::make_shared<BatchTask>();
    Refusal refusal = Refusal::none;
    {
        std::lock_guard lock(m_mutex);
        if (m_isUpdating) {
            refusal = Refusal::updating;
        } else if (m_isAdopting) {
            refusal = Refusal::adopting;
        } else {
            m_isUpdating = true;
            m_updateTask = task;
        }
    }
    if (refusal == Refusal::updating) {
        Logger::warning(QStringLiteral("Update already in progress"));
        return {};
    }
    if (refusal == Refusal::adopting) {
        Logger::warning(QStringLiteral("Cannot update while adoptions are in progress"));
        return {};
    }

    // Clears the flag and the handle only while they still belong to this batch: once cancelled,
    // a newer batch may own them.
    struct Finish {
        AppCoordinator& coordinator;
        const std::shared_ptr<BatchTask>& task;
        ~Finish() { coordinator.finishBatch(task); }
    } finish{*this, task};
    const UpdateRegistration registered(*this, applications);

    Logger::info(QStringLiteral("Starting batch update: %1 applications").arg(applications.size()));
    return runBatch(applications, batchSize, progress, task->stop.get_token());
}

AppCoordinator::UpdateRegistration::UpdateRegistration(AppCoordinator& coordinator,
                                                       ApplicationList applications)
    : m_coordinator(coordinator), m_applications(std::move(applications))
{
    std::lock_guard lock(m_coordinator.m_mutex);
    m_coordinator.m_updating.append(m_applications);
    if (m_coordinator.m_isDiscovering)
        m_coordinator.m_updatedDuringDiscovery.append(m_applications);
}

AppCoordinator::UpdateRegistration::~UpdateRegistration()
{
    std::lock_guard lock(m_coordinator.m_mutex);
    for (const ApplicationPtr& application : m_applications)
        m_coordinator.m_updating.removeOne(application);
}

void AppCoordinator::finishBatch(const std::shared_ptr<BatchTask>& task)
{
    std::lock_guard lock(m_mutex);
    if (m_updateTask != task)
        return;
    m_isUpdating = false;
    m_updateTask.reset();
}

QList<Update::Result> AppCoordinator::runBatch(const ApplicationList& applications, int batchSize,
                                               const UpdateProgressHandler& progress, std::stop_token stop)
{
    const QList<ApplicationList> batches = makeBatches(applications, batchSize);
    QList<Update::Result> results;
    for (qsizetype i = 0; i < batches.size(); ++i) {
        if (stop.stop_requested()) {
            Logger::info(QStringLiteral("Update batch cancelled"));
            break;
        }
        Logger::info(QStringLiteral("Processing batch %1 of %2").arg(i + 1).arg(batches.size()));
        ApplicationList due;
        for (const ApplicationPtr& application : invokeOnMain([&] { return listedWithUpdate(batches.at(i)); })) {
            if (!skipInstalledMeanwhile(application, application->update()))
                due.append(application);
        }
        if (due.isEmpty())
            continue;
        // The offers as they were, for a run the updater ends with nothing newer to install.
        QHash<const Application*, std::optional<Update>> offered;
        for (const ApplicationPtr& application : due)
            offered.insert(application.get(), application->update());
        QList<Update::Result> chunk = m_updateService->updateAll(due, progress);
        chunk.removeIf([&](const Update::Result& result) {
            return foundNothingNewer(result) && result.application &&
                   skipInstalledMeanwhile(result.application, offered.value(result.application.get()));
        });
        results.append(chunk);
        invokeOnMain([&] {
            for (const Update::Result& result : chunk)
                applyUpdateOutcome(result, result.application);
            m_store.updateDockBadge();
        });
        for (const Update::Result& result : chunk) {
            if (result.success && result.application)
                rediscoverAfterUpdate(result.application);
        }
    }
    invokeOnMain([&] { m_store.updateDockBadge(); });
    // Only what ran counts: a skipped application, or one a cancel kept from its turn, is neither
    // a success nor a failure.
    const auto successful =
        std::count_if(results.cbegin(), results.cend(), [](const Update::Result& r) { return r.success; });
    Logger::info(
        QStringLiteral("Batch update complete: %1/%2 successful").arg(successful).arg(results.size()));
    return results;
}

bool AppCoordinator::skipInstalledMeanwhile(const ApplicationPtr& application, const std::optional<Update>& update)
{
    const std::optional<QString> installed = update ? installedMeanwhile(application, *update) : std::nullopt;
    if (!installed)
        return false;
    // Installed outside Norvelle before its turn came: neither a success nor a failure.
    Logger::info(QStringLiteral("Skipped ") + application->name() +
                 QStringLiteral(": no update available any more"));
    settleInstalledMeanwhile(application, *installed);
    return true;
}

AppCoordinator::ApplicationList AppCoordinator::listedWithUpdate(const ApplicationList& chunk) const
{
    // A discovery since the batch was put together publishes new objects: the one listed at the
    // path now is the application, the one given may hold a version long replaced. One gone from
    // the list, or whose update went while the batch waited for its turn (installed by a single
    // update or outside Norvelle, or gone on a check), has nothing to install: that is no failed
    // update, so it gets no result at all.
    const QHash<QUrl, ApplicationPtr> listed = m_store.applicationsByPath();
    ApplicationList due;
    for (const ApplicationPtr& given : chunk) {
        if (!given)
            continue;
        const ApplicationPtr application = listed.value(given->path());
        if (application && application->update())
            due.append(application);
        else
            Logger::info(QStringLiteral("Skipped ") + given->name() +
                         QStringLiteral(": no update available any more"));
    }
    return due;
}

void AppCoordinator::cancelUpdates()
{
    std::shared_ptr<BatchTask> task;
    {
        std::lock_guard lock(m_mutex);
        task = std::move(m_updateTask);
        m_updateTask.reset();
        if (task)
            m_isUpdating = false;
    }
    if (!task) {
        Logger::warning(QStringLiteral("No active update to cancel"));
        return;
    }
    Logger::info(QStringLiteral("Cancelling active updates"));
    task->stop.request_stop();
}

} // namespace norvelle
