#pragma once

#include "model/Update.h"
#include "sources/sparkle/SparkleUpdate.h"

#include <QHash>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace norvelle {

class Application;
class HttpClient;
class SparkleUpdateOperation;
class UpdaterFactory;

// The Sparkle adapter: asks another application's appcast for a newer version and
// installs it, by driving an updater against that application's bundle.
//
// Thread-safe and blocking: call it from worker threads, never from the main thread,
// which it needs free. The update drivers are created, started and answered on the main
// thread; each call waits for its driver's one outcome. The lock is never held while waiting.
class SparkleService {
public:
    // Release notes are a page of HTML or Markdown.
    static constexpr qint64 maxReleaseNotesBytes = qint64(4) << 20;

    using ProgressHandler = std::function<void(const QString& message, double fraction)>;

    // releaseNotesClient fetches the release-notes pages.
    SparkleService(std::shared_ptr<const UpdaterFactory> updaterFactory,
                   std::shared_ptr<const HttpClient> releaseNotesClient);
    virtual ~SparkleService();
    SparkleService(const SparkleService&) = delete;
    SparkleService& operator=(const SparkleService&) = delete;

    // The offered update with its release notes as Markdown; none when the feed offers
    // nothing newer or the updater reported an error. Throws what performUpdateCheck throws.
    virtual std::optional<Update> checkForUpdate(const std::shared_ptr<Application>& application);

    // Installs the update the application's last check found, reporting each phase on the
    // main thread. Throws NorvelleError (updateAlreadyInProgress, failedToLoadBundle,
    // sparkleNotFound, noUpdateAvailable, sparkleUpdateFailed) or the updater's error.
    virtual void update(const std::shared_ptr<Application>& application, ProgressHandler progressHandler);

    // The newest appcast offer; none when there is none. Throws failedToLoadBundle, the
    // error of an updater that cannot start, or sparkleUpdateFailed when the check ends
    // without an answer.
    virtual std::optional<SparkleUpdate> performUpdateCheck(const std::shared_ptr<Application>& application);

private:
    std::optional<QString> releaseNotes(const SparkleUpdate& update) const;
    std::optional<QString> fetchReleaseNotes(const QString& address) const;

    std::shared_ptr<const UpdaterFactory> m_updaterFactory;
    std::shared_ptr<const HttpClient> m_releaseNotesClient;

    std::mutex m_mutex;
    QHash<QString, SparkleUpdate> m_sparkleUpdates;
    // An entry exists from the moment an install is accepted until it has ended; the
    // operation is filled in once it has been created on the main thread.
    QHash<QString, std::shared_ptr<SparkleUpdateOperation>> m_activeUpdateOperations;
};

} // namespace norvelle
