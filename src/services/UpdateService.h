#pragma once

#include "model/Application.h"
#include "model/EnvironmentStatus.h"
#include "model/SourceFailure.h"
#include "model/Update.h"
#include "model/UpdateProgress.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace norvelle {

class BrewService;
class MASService;
class SparkleService;

// Finds the one update to offer for each application, and installs updates through the
// source that offered them.
//
// Thread-safe and blocking; call it from worker threads. A check refreshes the Homebrew and
// App Store outdated listings in parallel, while the Sparkle feeds (which need neither) are
// already being fetched; then it asks every application's sources at once, each check waiting
// for its web answers without holding a thread. Applications are read through snapshots;
// nothing here changes one.
class UpdateService {
public:
    // Called once per progress value, one call at a time per run, in the order the values
    // were made. It may run on the calling thread, on an adapter's reader thread or (Sparkle)
    // on the main thread, and must return quickly: post to the main thread, never wait for it.
    using ProgressHandler = std::function<void(const UpdateProgress& progress)>;

    UpdateService(std::shared_ptr<BrewService> brewService, std::shared_ptr<MASService> masService,
                  std::shared_ptr<SparkleService> sparkleService);
    virtual ~UpdateService();
    UpdateService(const UpdateService&) = delete;
    UpdateService& operator=(const UpdateService&) = delete;

    // Update per bundle identifier, for the applications some source offers one for; into
    // `failures` (when given) the applications one of whose sources could not be read, which
    // say nothing about that source's update. A failed App Store listing is such a source for
    // every application the store has; only a failed Homebrew listing ends the check, thrown
    // after both listings have ended.
    virtual QHash<QString, Update> checkForUpdates(const QList<std::shared_ptr<Application>>& applications,
                                                   const EnvironmentStatus& environment,
                                                   CheckFailures* failures = nullptr);

    // The update chosen among what the given sources offer; never throws.
    virtual std::optional<Update> checkForUpdate(const std::shared_ptr<Application>& application,
                                                 const QList<Application::Source>& sources);

    // checkForUpdate without a waiting thread: asks the sources one after another, in order, and
    // hands the choice to the handler exactly once, on a worker thread (possibly inside this
    // call); the error is set only when a source failed where none may, the failure when a
    // source could not be read (the choice is then among the others' offers).
    using CandidateHandler = std::function<void(std::optional<Update> update, std::exception_ptr error,
                                                std::optional<SourceFailure> failure)>;
    void checkForUpdateAsync(const std::shared_ptr<Application>& application,
                             const QList<Application::Source>& sources, CandidateHandler handler);

    // Installs the application's update. Throws NorvelleError noUpdateAvailable or
    // updateAlreadyInProgress (refusals); every later failure is a result with success false,
    // among them an update whose source the application no longer has.
    virtual Update::Result updateApplication(const std::shared_ptr<Application>& application,
                                             const ProgressHandler& progressHandler);

    // One run after another, one result per application in input order; never throws.
    virtual QList<Update::Result> updateAll(const QList<std::shared_ptr<Application>>& applications,
                                            const ProgressHandler& progressHandler);

    // Whether `sources` still hold the source that offered the update: only through it can the
    // update be installed.
    static bool hasRoute(const Update& update, const QList<Application::Source>& sources);
    // Whether the update offers a version newer than `installedVersion` (version order, never
    // mere inequality): only such an update is worth offering for a bundle holding that version.
    static bool isNewerThan(const Update& update, const QString& installedVersion);

    // The status a line of tool output or a progress message stands for.
    static UpdateProgress::Status updateProgressStatus(const QString& text);

    // The running updates and their latest values (empty when nothing runs).
    QSet<QString> activeUpdates() const;
    std::optional<UpdateProgress> currentProgress(const QString& bundleIdentifier) const;

private:
    class Run;
    struct SourceWalk;

    void walkSources(const std::shared_ptr<Application>& application,
                     const QList<Application::Source>& sources, std::optional<SourceFailure> appStoreUnread,
                     CandidateHandler handler);
    void askSources(const std::shared_ptr<SourceWalk>& walk);

    std::optional<Update> selectCandidate(const QString& name, const QList<Update>& candidates) const;
    void store(const QString& key, const UpdateProgress& value);
    void finishRun(const QString& key);

    const std::shared_ptr<BrewService> m_brewService;
    const std::shared_ptr<MASService> m_masService;
    const std::shared_ptr<SparkleService> m_sparkleService;

    // Held only for single accesses to the tables; never across a call out.
    mutable std::mutex m_mutex;
    QSet<QString> m_activeUpdates;
    QHash<QString, UpdateProgress> m_updateProgress;
};

} // namespace norvelle
