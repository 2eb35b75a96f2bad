// Ignore, unignore, skip, unskip, adoption into Homebrew and custom casks.

#include "coordinator/AppCoordinator.h"

#include "coordinator/CoordinatorError.h"
#include "platform/Clock.h"
#include "platform/Logger.h"
#include "services/ApplicationStore.h"
#include "services/DiscoveryService.h"
#include "services/IgnoreService.h"
#include "services/UpdateService.h"
#include "sources/ToolRunner.h"
#include "sources/brew/BrewService.h"
#include "util/Async.h"

#include <QUuid>

namespace norvelle {

namespace {

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// One line that shows what the rediscovery made of the cask, absent included.
QString describeCask(const std::optional<Cask>& cask)
{
    if (!cask)
        return QStringLiteral("none");
    return QStringLiteral(
               "Cask(caskName: %1, currentVersion: %2, latestVersion: %3, adopted: %4, adoptable: %5)")
        .arg(cask->caskName, cask->currentVersion, cask->latestVersion, boolText(cask->adopted),
             boolText(cask->adoptable));
}

// What Homebrew answers for a cask it lists but the catalogue does not describe.
bool isTokenOnly(const Cask& cask)
{
    return cask.latestVersion.isEmpty() && !cask.description && !cask.homepage;
}

std::optional<Cask> adoptedCask(std::optional<Cask> cask)
{
    if (cask) {
        cask->adopted = true;
        cask->adoptable = false;
    }
    return cask;
}

} // namespace

void AppCoordinator::ignoreApplication(const ApplicationPtr& application)
{
    m_ignoreService->ignoreApp(application->bundleIdentifier());
    invokeOnMain([&] {
        if (const std::optional<Update> update = application->update())
            holdUpdate(application, *update);
        application->setIgnored(true);
        application->setUpdate(std::nullopt);
        application->setSkippedVersion(std::nullopt);
        // An ignored application is not checked: a failure of its last check says nothing any more.
        application->setCheckFailure(std::nullopt);
        if (auto cask = application->cask()) {
            cask->adoptable = false;
            application->setCask(cask);
        }
        m_store.updateDockBadge();
    });
    Logger::info(QStringLiteral("Ignored application: ") + application->name());
}

void AppCoordinator::unignoreApplication(const ApplicationPtr& application)
{
    m_ignoreService->unignoreApp(application->bundleIdentifier());
    invokeOnMain([&] {
        application->setIgnored(false);
        application->setSkippedVersion(std::nullopt);
        releaseHeldUpdate(application);
        m_store.updateDockBadge();
    });
    Logger::info(QStringLiteral("Unignored application: ") + application->name());
}

void AppCoordinator::skipVersion(const ApplicationPtr& application)
{
    const std::optional<Update> update = invokeOnMain([&] { return application->update(); });
    if (!update)
        throw CoordinatorError::noUpdateAvailable();
    const QString version = update->latestVersion;
    m_ignoreService->ignoreVersion(application->bundleIdentifier(), version);
    invokeOnMain([&] {
        holdUpdate(application, *update);
        application->setSkippedVersion(version);
        application->setUpdate(std::nullopt);
        m_store.updateDockBadge();
    });
    Logger::info(QStringLiteral("Ignored version ") + version + QStringLiteral(" for ") +
                 application->name());
}

void AppCoordinator::unskipVersion(const ApplicationPtr& application)
{
    m_ignoreService->unignoreVersion(application->bundleIdentifier());
    invokeOnMain([&] {
        application->setSkippedVersion(std::nullopt);
        releaseHeldUpdate(application);
        m_store.updateDockBadge();
    });
    Logger::info(QStringLiteral("Unignored version for ") + application->name());
}

void AppCoordinator::holdUpdate(const ApplicationPtr& application, const Update& update)
{
    const Application::Snapshot taken = application->snapshot();
    m_heldUpdates.insert(taken.path, HeldUpdate{taken.bundleIdentifier, update});
}

void AppCoordinator::releaseHeldUpdate(const ApplicationPtr& application)
{
    // Given back only by the refresh that follows: until it has read the bundle, nobody knows
    // whether the application updated itself meanwhile, or is gone.
    const auto held = m_heldUpdates.find(application->path());
    if (held != m_heldUpdates.end())
        held->released = true;
}

std::optional<Update> AppCoordinator::takeReleasedUpdate(const ApplicationPtr& application,
                                                         const std::optional<QString>& onDisk,
                                                         const QList<Application::Source>& sources)
{
    const auto held = m_heldUpdates.find(application->path());
    if (held == m_heldUpdates.end() || !held->released)
        return std::nullopt;
    const HeldUpdate taken = held.value();
    m_heldUpdates.erase(held);
    const Application::Snapshot now = application->snapshot();
    if (!onDisk || now.ignored || now.skippedVersion == taken.update.latestVersion ||
        now.bundleIdentifier != taken.bundleIdentifier || !UpdateService::isNewerThan(taken.update, *onDisk) ||
        !UpdateService::hasRoute(taken.update, sources))
        return std::nullopt;
    return taken.update;
}

void AppCoordinator::settleHeldUpdate(const ApplicationPtr& application, const Update* found, bool unread)
{
    if (m_heldUpdates.isEmpty())
        return;
    const auto kept = m_heldUpdates.find(application->path());
    if (kept == m_heldUpdates.end())
        return;
    // Found again, the version comes back as the sources now describe it; a check that read them
    // all without it, or found another (which ends a skip), makes it history.
    if (found && found->latestVersion == kept->update.latestVersion)
        kept->update = *found;
    else if (found || !unread)
        m_heldUpdates.erase(kept);
}

void AppCoordinator::adoptApplication(const ApplicationPtr& application,
                                      const AdoptionProgressHandler& progress)
{
    const std::optional<Cask> cask = invokeOnMain([&] { return application->cask(); });
    if (!cask || !cask->adoptable)
        throw CoordinatorError::notAdoptable();

    // Stored also for a request refused below, so the screens show what was found.
    const EnvironmentStatus status = checkAndStoreEnvironment();
    if (!status.hasHomebrew) {
        Logger::warning(QStringLiteral("Cannot adopt cask - Homebrew not installed"));
        throw CoordinatorError::homebrewNotAvailable();
    }

    Refusal refusal = Refusal::none;
    {
        std::lock_guard lock(m_mutex);
        if (m_isAdopting)
            refusal = Refusal::adopting;
        else if (m_isUpdating)
            refusal = Refusal::updating;
        else
            m_isAdopting = true;
    }
    if (refusal == Refusal::adopting) {
        Logger::warning(QStringLiteral("Adoption already in progress"));
        throw CoordinatorError::adopting();
    }
    if (refusal == Refusal::updating) {
        Logger::warning(QStringLiteral("Cannot adopt while updates are in progress"));
        throw CoordinatorError::updating();
    }
    FlagReset reset(*this, &AppCoordinator::m_isAdopting);

    const QString name = application->name();
    Logger::info(QStringLiteral("Adopting cask for application: ") + name);

    const QDateTime startTime = m_clock->now();
    auto report = [&](AdoptionProgress::Status state, double fraction, const QString& step) {
        if (!progress)
            return;
        AdoptionProgress value;
        value.id = QUuid::createUuid();
        value.application = application;
        value.status = state;
        value.progress = fraction;
        value.currentStep = step;
        value.startTime = startTime;
        progress(value);
    };
    report(AdoptionProgress::Status::queued, 0.0,
           QStringLiteral("Starting adoption... (this may take a moment)"));

    ApplicationPtr rediscovered;
    try {
        m_brewService->adoptCask(cask->caskName, [&](const QString& line, double fraction) {
            report(adoptionStatus(line), fraction, line);
        });
        report(AdoptionProgress::Status::completed, 1.0, QStringLiteral("Adoption completed successfully"));
        Logger::info(QStringLiteral("Successfully adopted cask for ") + name);
        loadInstalledCasksFor(name);
        rediscovered = m_discoveryService->discoverApplication(application->path(), true, status.hasMAS);
    } catch (...) {
        const QString description = describeException(std::current_exception());
        report(AdoptionProgress::Status::failed, 0.0, description);
        Logger::error(QStringLiteral("Failed to adopt cask for ") + name + QStringLiteral(": ") +
                      description);
        throw;
    }

    invokeOnMain([&] {
        writeBackAdoption(application, rediscovered);
        m_store.updateDockBadge();
    });

    // The adopted application shows at once what a refresh would: the update its cask offers.
    // The adoption itself has succeeded, so a failed check only costs the update.
    try {
        checkForUpdate(application);
    } catch (...) {
        const QString description = describeException(std::current_exception());
        Logger::warning(QStringLiteral("Failed to check for updates after adopting ") + name +
                        QStringLiteral(": ") + description);
        // Only Homebrew's listing ends a check of a Homebrew application; the pane says so
        // instead of showing it as having no update.
        if (!ToolRunner::isEndedByQuitting(std::current_exception()))
            invokeOnMain([&] {
                application->setCheckFailure(SourceFailure{SourceFailure::homebrew(), description});
            });
    }
}

void AppCoordinator::writeBackAdoption(const ApplicationPtr& application, const ApplicationPtr& rediscovered)
{
    if (rediscovered) {
        const Application::Snapshot found = rediscovered->snapshot();
        Logger::info(QStringLiteral("Rediscovered app - cask: ") + describeCask(found.cask));
        std::optional<Cask> cask = found.cask;
        const std::optional<Cask> known = application->cask();
        // Homebrew now owns the application, but the catalogue has no facts for a cask of a tap
        // (or could not be read): what was known of the cask just adopted stays, marked adopted,
        // instead of its token alone or nothing.
        if (found.source.contains(Application::Source::homebrew) && known &&
            (!cask || (cask->caskName == known->caskName && isTokenOnly(*cask))))
            cask = adoptedCask(known);
        else
            cask = withKnownFacts(cask, known);
        application->setCask(cask);
        application->setMas(found.mas);
        application->setSource(found.source);
        application->setUpdate(std::nullopt);
        return;
    }
    Logger::error(QStringLiteral("Failed to rediscover application after adoption"));
    if (const std::optional<Cask> cask = adoptedCask(application->cask())) {
        application->setCask(cask);
        application->setSource({Application::Source::homebrew});
    }
    application->setUpdate(std::nullopt);
}

void AppCoordinator::verifyCustomCask(const ApplicationPtr& application, const QString& caskName,
                                      const std::optional<QString>& tap)
{
    const Cask cask = m_brewService->verifyCustomCask(caskName, tap, application->path().toLocalFile());
    invokeOnMain([&] {
        application->setCask(cask);
        m_store.updateDockBadge();
    });
    Logger::info(QStringLiteral("Successfully verified custom cask for ") + application->name());
}

} // namespace norvelle
