#pragma once

#include "model/MAS.h"
#include "model/Update.h"
#include "platform/Paths.h"
#include "sources/OutputLineReader.h"
#include "sources/mas/AppStoreMetadata.h"
#include "sources/mas/MASOutputParser.h"

#include <QHash>
#include <QString>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace norvelle {

class AppStoreAPIService;
class ToolRunError;
class ToolRunner;

// The Mac App Store source: which installed applications came from the store (`mas list`),
// which of them the store has newer versions of (`mas outdated`), and installing an update
// (`mas upgrade`). An update is decided from the versions `mas outdated` prints; the iTunes
// lookup only adds release notes, date and download size.
//
// Thread-safe; every operation blocks and is meant for worker threads. The listings sit behind
// one mutex that is never held while `mas` runs or the lookup is asked, and each load replaces
// its listing in one step, so readers see the old listing or the new one, never a mix.
class MASService {
public:
    struct Options {
        Paths paths = Paths::defaults();          // mas candidates and the Applications folder
        std::shared_ptr<const ToolRunner> runner; // default: the mas family with its time limits
    };

    explicit MASService(std::shared_ptr<AppStoreAPIService> appStoreAPI);
    MASService(std::shared_ptr<AppStoreAPIService> appStoreAPI, Options options);
    virtual ~MASService();
    MASService(const MASService&) = delete;
    MASService& operator=(const MASService&) = delete;

    // Loads replace their listing; a missing tool leaves it empty. A `mas list` that failed
    // (not started, crashed, timed out, an error exit) or answered without an application's line
    // keeps the last listing and throws; one that quitting ended keeps it and returns. The tool's
    // own "no apps" answer, or an empty one, empties it. What either load throws for a failed run
    // is described by what happened (see ToolRunError).
    virtual void loadInstalledApps();
    virtual void loadOutdatedApps();

    // Answers from the listings as the last loads left them; never throw, run nothing.
    virtual std::optional<MAS> masInfo(const QString& bundleIdentifier, const QString& currentVersion) const;
    virtual std::optional<Update> checkForUpdate(const QString& bundleIdentifier);

    // checkForUpdate without a waiting thread: the handler receives the same answer exactly
    // once, on a worker thread (possibly inside this call).
    using UpdateHandler = std::function<void(std::optional<Update> update)>;
    virtual void checkForUpdateAsync(const QString& bundleIdentifier, UpdateHandler handler);

    // Runs `mas upgrade <appID>`, handing every output line and its progress to onLine.
    virtual void upgrade(const QString& appID, const LineHandler& onLine);

private:
    struct InstalledApp {
        QString appID;
        QString appName;
        QString bundleIdentifier;
    };

    // The listings' entries for an application the store has a newer version of.
    std::optional<std::pair<InstalledApp, MASOutdated>> outdatedEntry(const QString& bundleIdentifier) const;
    static Update makeUpdate(const InstalledApp& installed, const MASOutdated& outdated,
                             const std::optional<AppStoreMetadata>& metadata);

    void forgetInstalledApps();
    // Logs the failure of `mas list` and throws it, described by what happened.
    [[noreturn]] static void failListing(const ToolRunError& error);

    std::optional<QString> findMASPath() const;
    std::optional<QString> bundleIdentifierForApp(const QString& appName) const;
    std::optional<InstalledApp> parseListLine(const QString& line) const;

    const std::shared_ptr<AppStoreAPIService> m_appStoreAPI;
    const Options m_options;

    mutable std::mutex m_mutex;
    QHash<QString, InstalledApp> m_installedApps; // by bundle identifier
    QHash<QString, MASOutdated> m_outdatedApps;   // by App Store identifier
};

} // namespace norvelle
