#pragma once

#include "model/Update.h"
#include "sources/sparkle/SparkleUpdate.h"

#include <QHash>
#include <QString>
#include <QUrl>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace norvelle {

class Application;
class HttpClient;
struct HttpResponse;
class HttpPrefetchBatch;
class SparkleDriver;
class SparkleUpdateOperation;
class UpdaterFactory;

// The Sparkle adapter: asks another application's appcast for a newer version and
// installs it, by driving an updater against that application's bundle.
//
// Thread-safe. The blocking calls are for worker threads, never the main thread, which they
// need free; a check can also run without a waiting thread (checkForUpdateAsync). The update
// drivers are created, started and answered on the main thread; each call waits for its
// driver's one outcome. The lock is never held while waiting.
class SparkleService {
public:
    // Release notes are a page of HTML or Markdown.
    static constexpr qint64 maxReleaseNotesBytes = qint64(4) << 20;

    using ProgressHandler = std::function<void(const QString& message, double fraction)>;
    using CheckHandler = std::function<void(std::optional<Update> update, std::exception_ptr error)>;

    // releaseNotesClient fetches the release-notes pages.
    SparkleService(std::shared_ptr<const UpdaterFactory> updaterFactory,
                   std::shared_ptr<const HttpClient> releaseNotesClient);
    virtual ~SparkleService();
    SparkleService(const SparkleService&) = delete;
    SparkleService& operator=(const SparkleService&) = delete;

    // The offered update with its release notes as Markdown; none when the feed offers
    // nothing newer or the updater reported an error. Throws what performUpdateCheck throws.
    virtual std::optional<Update> checkForUpdate(const std::shared_ptr<Application>& application);

    // checkForUpdate without a waiting thread: the handler receives its outcome exactly once,
    // on a worker thread (possibly inside this call), never on the main thread.
    virtual void checkForUpdateAsync(const std::shared_ptr<Application>& application, CheckHandler handler);

    // Starts fetching, ahead of their checks, the applications' feeds and, as each feed
    // arrives, the release-notes page its check will fetch. The checks then take these answers.
    // What nobody takes is dropped with the returned batch; none when there is no shared client.
    virtual std::shared_ptr<HttpPrefetchBatch>
    prefetchChecks(const QList<std::shared_ptr<Application>>& applications);

    // For quitting, on the main thread once its loop has ended (no driver answers any more):
    // every check and install still waiting for its driver ends at once with CancelledError,
    // and every driver stops its updater and is let go. An install that is swapping the bundle
    // finishes the swap first, so the bundle is the old one or the new one.
    void cancelForQuit();

    // Installs the update the application's last check found, reporting each phase on the
    // main thread. Throws NorvelleError (updateAlreadyInProgress, failedToLoadBundle,
    // sparkleNotFound, noUpdateAvailable, sparkleUpdateFailed) or the updater's error.
    virtual void update(const std::shared_ptr<Application>& application, ProgressHandler progressHandler);

    // The newest appcast offer; none when there is none. Throws failedToLoadBundle, the
    // error of an updater that cannot start, or sparkleUpdateFailed when the check ends
    // without an answer.
    virtual std::optional<SparkleUpdate> performUpdateCheck(const std::shared_ptr<Application>& application);

private:
    struct PendingCheck;
    using FoundHandler = std::function<void(std::optional<SparkleUpdate> update, std::exception_ptr error)>;

    // Keeps a weak hold on a driver created on the main thread, for cancelForQuit.
    void track(const std::shared_ptr<SparkleDriver>& driver);
    void startUpdateCheck(const std::shared_ptr<Application>& application, FoundHandler handler);
    void completeCheck(const std::shared_ptr<Application>& application, const SparkleUpdate& found,
                       const CheckHandler& handler);
    void fetchReleaseNotes(const QString& address, std::function<void(std::optional<QString>)> done) const;
    void prefetchReleaseNotes(const QString& bundlePath, const QUrl& feedUrl, const HttpResponse& feed,
                              HttpPrefetchBatch& batch) const;

    std::shared_ptr<const UpdaterFactory> m_updaterFactory;
    std::shared_ptr<const HttpClient> m_releaseNotesClient;

    std::mutex m_mutex;
    QHash<QString, SparkleUpdate> m_sparkleUpdates;
    std::set<std::shared_ptr<PendingCheck>> m_pendingChecks;
    // Every driver that may still run; the expired ones are pruned as more are added.
    std::vector<std::weak_ptr<SparkleDriver>> m_drivers;
    std::size_t m_driversPruneAt = 64;
    // An entry exists from the moment an install is accepted until it has ended; the
    // operation is filled in once it has been created on the main thread.
    QHash<QString, std::shared_ptr<SparkleUpdateOperation>> m_activeUpdateOperations;
};

} // namespace norvelle
