// Discovery, the update checks of all applications and of one, and the refresh.

#include "coordinator/AppCoordinator.h"

#include "coordinator/CoordinatorError.h"
#include "platform/Clock.h"
#include "platform/Logger.h"
#include "services/ApplicationStore.h"
#include "services/DiscoveryService.h"
#include "services/IgnoreService.h"
#include "services/UpdateService.h"
#include "sources/brew/BrewService.h"
#include "sources/brew/CatalogueError.h"
#include "util/Async.h"

#include <QHash>
#include <QUrl>
#include <algorithm>

namespace norvelle {

QList<SourceFailure> AppCoordinator::discoverApplications()
{
    bool refused = false;
    {
        std::lock_guard lock(m_mutex);
        refused = m_isDiscovering;
        m_isDiscovering = true;
        if (!refused)
            m_updatedDuringDiscovery = m_updating;
    }
    if (refused) {
        Logger::warning(QStringLiteral("Discovery already in progress"));
        throw CoordinatorError::discovering();
    }
    FlagReset reset(*this, &AppCoordinator::m_isDiscovering);

    // Without a network the applications on disk are still there: the loads that need it fail
    // and are told as the sources they cost, so only an unknown environment stops a discovery.
    const std::optional<EnvironmentStatus> status = invokeOnMain([&] { return m_store.environmentStatus(); });
    if (!status) {
        Logger::warning(QStringLiteral("Environment not ready for discovery"));
        throw CoordinatorError::environmentNotReady();
    }

    QList<SourceFailure> failures;
    ApplicationList applications = m_discoveryService->discoverApplications(*status, &failures);
    // The list is not published yet, so the ignore state may be written off the main thread.
    applications = m_ignoreService->applyIgnoreState(std::move(applications));
    invokeOnMain([&] {
        keepKnownUpdates(applications);
        keepUpdatedListed(applications);
        m_store.setApplications(applications);
        m_store.setSourceFailures(failures);
    });
    Logger::info(QStringLiteral("Discovery complete: %1 applications found").arg(applications.size()));
    return failures;
}

void AppCoordinator::keepUpdatedListed(ApplicationList& discovered)
{
    ApplicationList updated;
    {
        std::lock_guard lock(m_mutex);
        updated.swap(m_updatedDuringDiscovery);
    }
    if (updated.isEmpty())
        return;
    // By path, as listedAt finds them: a batch may hold thousands of applications.
    const QHash<QUrl, ApplicationPtr> listed = m_store.applicationsByPath();
    QHash<QUrl, qsizetype> found;
    for (qsizetype i = 0; i < discovered.size(); ++i)
        found.insert(discovered.at(i)->path(), i);
    const qsizetype discoveredCount = discovered.size();
    for (const ApplicationPtr& application : updated) {
        const ApplicationPtr kept = listed.value(application->path(), application);
        const auto at = found.constFind(kept->path());
        if (at != found.cend()) {
            // What manages it is as the discovery found it (adopted into Homebrew outside
            // Norvelle, say): a batch's later turn judges the update's route by it.
            const Application::Snapshot fresh = discovered.at(at.value())->snapshot();
            if (fresh.bundleIdentifier == kept->bundleIdentifier()) {
                kept->setSource(fresh.source);
                kept->setCask(fresh.cask);
                kept->setMas(fresh.mas);
            }
            discovered[at.value()] = kept;
        } else {
            found.insert(kept->path(), discovered.size());
            discovered.append(kept);
        }
    }
    if (discovered.size() > discoveredCount)
        DiscoveryService::sortByName(discovered, m_discoveryService->sortLocale());
}

void AppCoordinator::keepKnownUpdates(const ApplicationList& discovered) const
{
    const QHash<QUrl, ApplicationPtr> listed = m_store.applicationsByPath();
    for (const ApplicationPtr& application : discovered) {
        const ApplicationPtr before = listed.value(application->path());
        if (!before || before == application)
            continue;
        const Application::Snapshot was = before->snapshot();
        const Application::Snapshot found = application->snapshot();
        if (was.bundleIdentifier != found.bundleIdentifier || was.currentVersion != found.currentVersion)
            continue;
        application->setCheckFailure(was.checkFailure);
        // The ignore list may have changed since: its rules decide again. An update installs only
        // through the source that offered it, which the application may have left meanwhile.
        if (found.update || !was.update || found.ignored ||
            found.skippedVersion == was.update->latestVersion ||
            !UpdateService::hasRoute(*was.update, found.source))
            continue;
        application->setUpdate(was.update);
    }
}

AppCoordinator::ApplicationPtr AppCoordinator::listedAt(const ApplicationPtr& application) const
{
    return m_store.applicationsByPath().value(application->path(), application);
}

void AppCoordinator::checkForUpdates()
{
    const ApplicationList snapshot = invokeOnMain([&] { return m_store.applications(); });
    if (snapshot.isEmpty()) {
        Logger::warning(QStringLiteral("No applications to check for updates"));
        throw CoordinatorError::noApplicationsFound();
    }
    const std::optional<EnvironmentStatus> status = invokeOnMain([&] { return m_store.environmentStatus(); });
    if (!status || !status->hasNetwork) {
        Logger::warning(QStringLiteral("Environment not ready for update checking"));
        throw CoordinatorError::environmentNotReady();
    }

    CheckFailures failures;
    const UpdateMap updates = m_updateService->checkForUpdates(snapshot, *status, &failures);

    // Written back a few hundred applications at a time, each part a call of its own on the main
    // thread: all at once held a frame for tens of milliseconds with thousands of applications.
    // The list stays busy until the check ends, so nothing shows a result half written.
    constexpr qsizetype resultsPerCall = 250;
    for (qsizetype first = 0; first < snapshot.size(); first += resultsPerCall)
        invokeOnMain([&] { applyUpdateResults(snapshot.mid(first, resultsPerCall), updates, failures); });
    const qsizetype available = invokeOnMain([&] {
        m_store.setLastUpdateCheck(m_clock->now());
        m_store.updateDockBadge();
        return std::count_if(snapshot.cbegin(), snapshot.cend(), [](const ApplicationPtr& application) {
            return application->read([](const Application::Snapshot& state) {
                return state.update.has_value() && !state.ignored;
            });
        });
    });
    Logger::info(QStringLiteral("Update check complete: %1 updates available").arg(available));
}

void AppCoordinator::applyUpdateResults(const ApplicationList& applications, const UpdateMap& updates,
                                        const CheckFailures& failures)
{
    for (const ApplicationPtr& application : applications) {
        const auto failure = failures.constFind(application->bundleIdentifier());
        const bool unread = failure != failures.cend();
        const auto entry = updates.constFind(application->bundleIdentifier());
        settleHeldUpdate(application, entry == updates.cend() ? nullptr : &entry.value(), unread);
        if (application->ignored()) {
            application->setUpdate(std::nullopt);
            application->setCheckFailure(std::nullopt);
            Logger::debug(QStringLiteral("Skipping update for ignored app: ") + application->name());
            continue;
        }
        application->setCheckFailure(unread ? std::optional(failure.value()) : std::nullopt);
        if (entry == updates.cend()) {
            // A source that could not be read said nothing: what it offered before stays.
            if (!unread)
                application->setUpdate(std::nullopt);
            continue;
        }
        const Update& found = entry.value();
        const std::optional<QString> skipped = application->skippedVersion();
        if (skipped && *skipped == found.latestVersion) {
            application->setUpdate(std::nullopt);
            Logger::debug(QStringLiteral("Skipping update for ") + application->name() +
                          QStringLiteral(" version ") + found.latestVersion +
                          QStringLiteral(" - version is skipped"));
            continue;
        }
        application->setUpdate(found);
        if (skipped)
            clearSkippedVersion(application, found.latestVersion, *skipped);
        if (found.cask)
            application->setCask(withKnownFacts(found.cask, application->cask()));
        if (found.mas)
            application->setMas(found.mas);
    }
}

std::optional<Cask> AppCoordinator::withKnownFacts(std::optional<Cask> found, const std::optional<Cask>& known)
{
    if (!found || !known || found->caskName != known->caskName || found->description || found->homepage)
        return found;
    found->description = known->description;
    found->homepage = known->homepage;
    found->requiresSudo = known->requiresSudo;
    if (found->warnings.isEmpty())
        found->warnings = known->warnings;
    if (found->artifacts.isEmpty())
        found->artifacts = known->artifacts;
    return found;
}

void AppCoordinator::clearSkippedVersion(const ApplicationPtr& application, const QString& latestVersion,
                                         const QString& oldSkippedVersion)
{
    application->setSkippedVersion(std::nullopt);
    Logger::info(QStringLiteral("Clearing skipped version for ") + application->name() +
                 QStringLiteral(" - new version ") + latestVersion +
                 QStringLiteral(" is available (was skipping ") + oldSkippedVersion + QStringLiteral(")"));
    // Nobody waits for the ignore list; the file write stays off the main thread.
    ioPool().start([ignoreService = m_ignoreService, bundleIdentifier = application->bundleIdentifier()] {
        try {
            ignoreService->unignoreVersion(bundleIdentifier);
        } catch (...) {
            Logger::warning(QStringLiteral("Failed to clear skipped version for ") + bundleIdentifier +
                            QStringLiteral(": ") + describeException(std::current_exception()));
        }
    });
}

std::optional<SourceFailure> AppCoordinator::checkForUpdate(const ApplicationPtr& application)
{
    const EnvironmentStatus status = checkAndStoreEnvironment();
    CheckFailures failures;
    const UpdateMap updates = m_updateService->checkForUpdates({application}, status, &failures);
    const auto entry = updates.constFind(application->bundleIdentifier());
    const std::optional<Update> found =
        entry == updates.cend() ? std::nullopt : std::optional<Update>(entry.value());
    const auto failure = failures.constFind(application->bundleIdentifier());
    const std::optional<SourceFailure> unread =
        failure == failures.cend() ? std::nullopt : std::optional<SourceFailure>(failure.value());
    invokeOnMain([&] {
        applyUpdateResult(found, application, unread);
        m_store.updateDockBadge();
    });
    return unread;
}

void AppCoordinator::applyUpdateResult(const std::optional<Update>& found, const ApplicationPtr& application,
                                       const std::optional<SourceFailure>& failure)
{
    application->setCheckFailure(failure);
    settleHeldUpdate(application, found ? &*found : nullptr, failure.has_value());
    if (found && found->cask)
        application->setCask(withKnownFacts(found->cask, application->cask()));
    if (found && found->mas)
        application->setMas(found->mas);

    if (found && found->status == Update::Status::failed) {
        Update available = *found;
        available.status = Update::Status::available;
        available.lastUpdateError = std::nullopt;
        application->setUpdate(available);
        return;
    }
    const std::optional<Update> previous = application->update();
    if (previous && found) {
        Update replacement = *found;
        if (!replacement.releaseDate)
            replacement.releaseDate = previous->releaseDate;
        application->setUpdate(replacement);
        return;
    }
    if (!found) {
        // A source that could not be read said nothing: what it offered before stays.
        if (!failure)
            application->setUpdate(std::nullopt);
        return;
    }
    const std::optional<QString> skipped = application->skippedVersion();
    if (!skipped) {
        application->setUpdate(found);
        return;
    }
    if (*skipped == found->latestVersion) {
        application->setUpdate(std::nullopt);
        Logger::debug(QStringLiteral("Skipping update for ") + application->name() +
                      QStringLiteral(" version ") + found->latestVersion +
                      QStringLiteral(" - version is skipped"));
        return;
    }
    application->setUpdate(found);
    clearSkippedVersion(application, found->latestVersion, *skipped);
}

std::optional<SourceFailure> AppCoordinator::refreshApplication(const ApplicationPtr& given)
{
    std::optional<SourceFailure> catalogue;
    ApplicationPtr rediscovered;
    try {
        const EnvironmentStatus status = checkAndStoreEnvironment();
        catalogue = status.hasHomebrew ? loadInstalledCasksFor(given->name()) : std::nullopt;
        rediscovered = m_discoveryService->discoverApplication(given->path(), status.hasHomebrew, status.hasMAS);
    } catch (...) {
        // Failed before it had read the bundle (`brew` refused): an update an unskip or an
        // unignore released is judged by what the bundle holds, read on its own.
        giveBackReleasedUpdate(given, m_discoveryService->versionOnDisk(given->path(), given->bundleIdentifier()));
        throw;
    }
    if (!rediscovered) {
        giveBackReleasedUpdate(given, std::nullopt);
        Logger::error(QStringLiteral("Failed to rediscover application at path: ") +
                      given->path().toLocalFile());
        throw CoordinatorError::applicationNotFound();
    }

    const ApplicationPtr written = invokeOnMain([&] {
        // A discovery since the caller took it may list another object at its path.
        const ApplicationPtr application = listedAt(given);
        const std::optional<Update> remembered = application->update();
        const Application::Snapshot found = rediscovered->snapshot();
        // Only an update newer than what the bundle now holds stays while the check below runs:
        // the application may have installed it, or a newer one, itself. Nor does one stay that
        // came from a source the bundle has left.
        const bool kept = remembered && UpdateService::isNewerThan(*remembered, found.currentVersion) &&
                          UpdateService::hasRoute(*remembered, found.source);
        const std::optional<QString> onDisk =
            found.bundleIdentifier == application->bundleIdentifier() ? std::optional(found.currentVersion)
                                                                      : std::nullopt;
        const std::optional<Update> released = takeReleasedUpdate(application, onDisk, found.source);
        application->setCurrentVersion(found.currentVersion);
        application->setSource(found.source);
        application->setCask(withKnownFacts(found.cask, application->cask()));
        application->setMas(found.mas);
        application->setUpdate(kept ? remembered : released);
        m_store.updateDockBadge();
        return application;
    });

    const std::optional<SourceFailure> unread = checkForUpdate(written);
    invokeOnMain([&] { m_store.updateDockBadge(); });
    // The facts only the catalogue knows were not read again either.
    return unread ? unread : catalogue;
}

void AppCoordinator::giveBackReleasedUpdate(const ApplicationPtr& given, const std::optional<QString>& onDisk)
{
    try {
        invokeOnMain([&] {
            const ApplicationPtr application = listedAt(given);
            const std::optional<Update> update = takeReleasedUpdate(application, onDisk, application->source());
            if (update && !application->update()) {
                application->setUpdate(update);
                m_store.updateDockBadge();
            }
        });
    } catch (...) {
        // Quitting: nothing is shown any more.
    }
}

std::optional<SourceFailure> AppCoordinator::loadInstalledCasksFor(const QString& name)
{
    try {
        m_brewService->loadInstalledCasks();
    } catch (const CatalogueError& error) {
        // `brew` answered and the casks are mapped: the bundle is read as a discovery reads it.
        Logger::warning(SourceFailure::homebrewCatalogue() +
                        QStringLiteral(" could not be read, rediscovering ") + name +
                        QStringLiteral(" without it: ") + error.description());
        return SourceFailure{SourceFailure::homebrewCatalogue(), error.description()};
    }
    return std::nullopt;
}

} // namespace norvelle
