#pragma once

#include "model/AdoptionProgress.h"
#include "model/Application.h"
#include "model/EnvironmentStatus.h"
#include "model/SourceFailure.h"
#include "model/Update.h"
#include "model/UpdateProgress.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

namespace norvelle {

class ApplicationStore;
class BrewService;
class Clock;
class DiscoveryService;
class EnvironmentService;
class IgnoreService;
class UpdateService;

// The one place through which every user operation that changes the applications
// passes. It refuses an operation while a conflicting one runs, makes sure the
// environment is known, calls the services, and writes the outcome into the store
// and the Application objects.
//
// Thread-safe. Every operation blocks and is meant for a worker thread (view models
// call it through runAsync). The busy flags sit behind a mutex that is never held
// across a service call; each write-back to the Application objects and the store
// runs as one step on the main thread, followed there by the Dock badge.
class AppCoordinator {
public:
    using ApplicationPtr = std::shared_ptr<Application>;
    using ApplicationList = QList<ApplicationPtr>;
    using UpdateMap = QHash<QString, Update>; // bundle identifier → the update found
    using UpdateProgressHandler = std::function<void(const UpdateProgress&)>;
    using AdoptionProgressHandler = std::function<void(const AdoptionProgress&)>;

    // `store` lives on the main thread and must outlive the coordinator.
    AppCoordinator(std::shared_ptr<DiscoveryService> discoveryService,
                   std::shared_ptr<UpdateService> updateService, std::shared_ptr<IgnoreService> ignoreService,
                   std::shared_ptr<EnvironmentService> environmentService,
                   std::shared_ptr<BrewService> brewService, ApplicationStore& store,
                   std::shared_ptr<const Clock> clock = nullptr);
    virtual ~AppCoordinator();
    AppCoordinator(const AppCoordinator&) = delete;
    AppCoordinator& operator=(const AppCoordinator&) = delete;

    ApplicationStore& store() const { return m_store; }
    // The environment check that the sidebar runs before it asks for a discovery.
    std::shared_ptr<EnvironmentService> environmentService() const { return m_environmentService; }

    // Discovery and update checks. A discovery answers the sources it could not read.
    // The check of one application and the refresh answer the source their check could not read,
    // if any: what they wrote back then rests partly on what was known before.
    virtual QList<SourceFailure> discoverApplications();
    virtual void checkForUpdates();
    virtual std::optional<SourceFailure> checkForUpdate(const ApplicationPtr& application);
    // Reads the bundle again and checks it, writing into the application listed at its path.
    virtual std::optional<SourceFailure> refreshApplication(const ApplicationPtr& application);

    // Updates. A batch never throws; a refused one returns an empty list. A batch size
    // below 1 counts as 1. Each chunk updates the applications listed at its paths when its turn
    // comes; one gone from the list or without an update is skipped and has no result.
    virtual Update::Result updateApplication(const ApplicationPtr& application,
                                             const UpdateProgressHandler& progress);
    virtual QList<Update::Result> updateApplications(const ApplicationList& applications, int batchSize,
                                                     const UpdateProgressHandler& progress);
    // Stops the running batch before its next chunk; the chunk under way finishes.
    virtual void cancelUpdates();

    // Ignore, skip, adoption and custom casks.
    virtual void ignoreApplication(const ApplicationPtr& application);
    virtual void unignoreApplication(const ApplicationPtr& application);
    virtual void skipVersion(const ApplicationPtr& application);
    virtual void unskipVersion(const ApplicationPtr& application);
    // `progress` may be called from several threads at once (brew's two output streams).
    virtual void adoptApplication(const ApplicationPtr& application, const AdoptionProgressHandler& progress);
    virtual void verifyCustomCask(const ApplicationPtr& application, const QString& caskName,
                                  const std::optional<QString>& tap);

    bool isDiscovering() const;
    bool isUpdating() const;
    bool isAdopting() const;
    bool hasActiveBatch() const;

    // The display state of one line of adoption output (case-insensitive keywords).
    static AdoptionProgress::Status adoptionStatus(const QString& line);
    // Consecutive chunks of at most `batchSize` applications, in list order.
    static QList<ApplicationList> makeBatches(const ApplicationList& applications, int batchSize);

private:
    struct BatchTask {
        std::stop_source stop;
    };
    enum class Refusal { none, discovering, updating, adopting };

    // Clears one busy flag when the operation that set it ends, by any path.
    class FlagReset {
    public:
        FlagReset(AppCoordinator& coordinator, bool AppCoordinator::*flag)
            : m_coordinator(coordinator), m_flag(flag)
        {
        }
        ~FlagReset() { m_coordinator.clearFlag(m_flag); }
        FlagReset(const FlagReset&) = delete;
        FlagReset& operator=(const FlagReset&) = delete;

    private:
        AppCoordinator& m_coordinator;
        bool AppCoordinator::*m_flag;
    };

    // Registers the applications an update runs on for as long as it runs, so that a discovery
    // it overlaps keeps them listed as they are (keepUpdatedListed).
    class UpdateRegistration {
    public:
        UpdateRegistration(AppCoordinator& coordinator, ApplicationList applications);
        ~UpdateRegistration();
        UpdateRegistration(const UpdateRegistration&) = delete;
        UpdateRegistration& operator=(const UpdateRegistration&) = delete;

    private:
        AppCoordinator& m_coordinator;
        const ApplicationList m_applications;
    };

    // Main thread only. A discovery that overlapped an update may have read its bundle set aside
    // (missing) or at the old version: the applications an update ran on meanwhile stay listed as
    // the list holds them, and their own rediscovery settles them.
    void keepUpdatedListed(ApplicationList& discovered);
    // Main thread only. What the last check knew of an application found again as it was (same
    // bundle, same version) stays with its new object, so a check that cannot read its source
    // keeps it, and the list does not lose its updates while the check runs.
    void keepKnownUpdates(const ApplicationList& discovered) const;
    // Main thread only. The update a skip or an ignore took away is released by the unskip or the
    // unignore, and comes back with the refresh that follows, once it has read the bundle: only
    // when the bundle is still there, is still that application and holds an older version, and
    // unless a check has read the application's sources since without finding that version. A
    // check that cannot read the source then keeps it.
    void holdUpdate(const ApplicationPtr& application, const Update& update);
    void releaseHeldUpdate(const ApplicationPtr& application);
    // The released update that may come back to `application`, whose bundle holds `onDisk` with
    // `sources`; none when the bundle is gone (no version). Either way the release is history.
    std::optional<Update> takeReleasedUpdate(const ApplicationPtr& application,
                                             const std::optional<QString>& onDisk,
                                             const QList<Application::Source>& sources);
    void settleHeldUpdate(const ApplicationPtr& application, const Update* found, bool unread);
    // Worker thread. For a refresh that failed before it could rediscover the bundle.
    void giveBackReleasedUpdate(const ApplicationPtr& given, const std::optional<QString>& onDisk);
    // Main thread only. The listed application at the path of `application`, which a discovery
    // since may have replaced by another object; `application` when none is listed there.
    ApplicationPtr listedAt(const ApplicationPtr& application) const;

    // Write-back rules; main thread only.
    void applyUpdateResults(const ApplicationList& applications, const UpdateMap& updates,
                            const CheckFailures& failures);
    void applyUpdateResult(const std::optional<Update>& found, const ApplicationPtr& application,
                           const std::optional<SourceFailure>& failure);
    static void applyUpdateOutcome(const Update::Result& result, const ApplicationPtr& application);
    // A cask that Homebrew names without the catalogue's facts (the catalogue lacks it, or could
    // not be read) says nothing of them: what was known of the same cask stays.
    static std::optional<Cask> withKnownFacts(std::optional<Cask> found, const std::optional<Cask>& known);
    void writeBackAdoption(const ApplicationPtr& application, const ApplicationPtr& rediscovered);
    // After a successful update; false (and logged, never thrown) when it failed.
    bool rediscoverAfterUpdate(const ApplicationPtr& application);
    // Worker thread. An application that updates itself may hold the offered version, or a newer
    // one, by the time its update is asked for: then nothing is left to install, and this is
    // the version the bundle holds now.
    std::optional<QString> installedMeanwhile(const ApplicationPtr& application, const Update& update) const;
    // Worker thread. Shows what the bundle holds and drops the update, which is no failure.
    void settleInstalledMeanwhile(const ApplicationPtr& application, const QString& installed);
    // A run that the updater ended because the feed offers nothing newer than the bundle.
    static bool foundNothingNewer(const Update::Result& result);
    // Worker thread. True (logged as a skip, and settled) when a batch's application already
    // holds its offered version.
    bool skipInstalledMeanwhile(const ApplicationPtr& application, const std::optional<Update>& update);
    // Homebrew's installed casks, before the application named `name` is read again alone. A
    // catalogue that cannot be read costs its facts, not the rediscovery: logged and answered,
    // not thrown.
    std::optional<SourceFailure> loadInstalledCasksFor(const QString& name);
    void clearSkippedVersion(const ApplicationPtr& application, const QString& latestVersion,
                             const QString& oldSkippedVersion);

    EnvironmentStatus checkAndStoreEnvironment();
    // Main thread only. The applications listed now at the paths of a chunk's that have an
    // update; the others are logged as skipped.
    ApplicationList listedWithUpdate(const ApplicationList& chunk) const;
    QList<Update::Result> runBatch(const ApplicationList& applications, int batchSize,
                                   const UpdateProgressHandler& progress, std::stop_token stop);
    void finishBatch(const std::shared_ptr<BatchTask>& task);
    Refusal claimUpdating();
    void clearFlag(bool AppCoordinator::*flag);

    const std::shared_ptr<DiscoveryService> m_discoveryService;
    const std::shared_ptr<UpdateService> m_updateService;
    const std::shared_ptr<IgnoreService> m_ignoreService;
    const std::shared_ptr<EnvironmentService> m_environmentService;
    const std::shared_ptr<BrewService> m_brewService;
    ApplicationStore& m_store;
    const std::shared_ptr<const Clock> m_clock;

    mutable std::mutex m_mutex;
    bool m_isDiscovering = false;
    bool m_isUpdating = false;
    bool m_isAdopting = false;
    std::shared_ptr<BatchTask> m_updateTask; // the running batch, if any
    ApplicationList m_updating;              // of every running update, once per run
    ApplicationList m_updatedDuringDiscovery; // since the running discovery began

    struct HeldUpdate {
        QString bundleIdentifier;
        Update update;
        bool released = false; // by an unskip or an unignore, for the refresh that follows
    };
    QHash<QUrl, HeldUpdate> m_heldUpdates; // by path; main thread only
};

} // namespace norvelle
