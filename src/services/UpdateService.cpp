#include "services/UpdateService.h"

#include "platform/Logger.h"
#include "services/VersionOrdering.h"
#include "sources/ToolRunner.h"
#include "sources/brew/BrewService.h"
#include "sources/mas/MASService.h"
#include "sources/sparkle/SparkleService.h"
#include "util/Async.h"
#include "util/Error.h"
#include "util/TaskGroup.h"

#include <QElapsedTimer>
#include <algorithm>
#include <condition_variable>
#include <future>
#include <mutex>
#include <utility>
#include <vector>

namespace norvelle {

namespace {

QString seconds(const QElapsedTimer& timer)
{
    return QString::number(double(timer.nsecsElapsed()) / 1e9, 'f', 2) + QStringLiteral("s");
}

using Candidate = std::pair<QString, std::optional<Update>>;

} // namespace

UpdateService::UpdateService(std::shared_ptr<BrewService> brewService, std::shared_ptr<MASService> masService,
                             std::shared_ptr<SparkleService> sparkleService)
    : m_brewService(std::move(brewService)), m_masService(std::move(masService)),
      m_sparkleService(std::move(sparkleService))
{
}

UpdateService::~UpdateService() = default;

QHash<QString, Update> UpdateService::checkForUpdates(const QList<std::shared_ptr<Application>>& applications,
                                                      const EnvironmentStatus& environment,
                                                      CheckFailures* failures)
{
    QElapsedTimer total;
    total.start();
    // From here on the network threads and the network pool give way to the main thread.
    beginBackgroundWork();
    std::shared_ptr<HttpPrefetchBatch> prefetched;
    std::optional<SourceFailure> appStoreUnread;
    {
        // Both listings run to their end even when one fails; then Homebrew's failure ends the check.
        TaskGroup<void> listings;
        if (environment.hasHomebrew)
            listings.add([this] { m_brewService->loadOutdatedCasks(); });
        else
            Logger::info(QStringLiteral("Skipping Homebrew outdated check - Homebrew not installed"));
        if (environment.hasMAS)
            // A store that cannot be read costs the store's updates only, as a feed does.
            listings.add([this, &appStoreUnread] {
                try {
                    m_masService->loadOutdatedApps();
                } catch (...) {
                    if (ToolRunner::isEndedByQuitting(std::current_exception()))
                        throw;
                    appStoreUnread =
                        SourceFailure{SourceFailure::appStore(), describeException(std::current_exception())};
                    Logger::warning(SourceFailure::appStore() + QStringLiteral(" could not be read: ") +
                                    appStoreUnread->description);
                }
            });
        else
            Logger::info(QStringLiteral("Skipping MAS outdated check - MAS CLI not installed"));
        // The feeds and their release notes need neither listing, so they are on their way while
        // the tools run; the checks below take their answers. What no check takes goes with the
        // batch.
        prefetched = m_sparkleService->prefetchChecks(applications);
        listings.waitAll();
    }
    Logger::info(QStringLiteral("Parallel outdated checks: ") + seconds(total));

    QElapsedTimer stage;
    stage.start();
    // Every application's check starts at once; the answers are gathered in completion order.
    struct Gathered {
        std::mutex mutex;
        std::condition_variable allEnded;
        qsizetype remaining = 0;
        std::vector<Candidate> candidates;
        CheckFailures failures;
        std::exception_ptr firstError;
    };
    const auto gathered = std::make_shared<Gathered>();
    gathered->remaining = applications.size();
    for (const std::shared_ptr<Application>& application : applications) {
        networkPool().start([this, application, gathered, appStoreUnread] {
            walkSources(application, application->source(), appStoreUnread,
                        [gathered, identifier = application->bundleIdentifier()](
                            std::optional<Update> update, std::exception_ptr error,
                            std::optional<SourceFailure> failure) {
                            std::lock_guard lock(gathered->mutex);
                            if (error && !gathered->firstError)
                                gathered->firstError = error;
                            else if (!error)
                                gathered->candidates.emplace_back(identifier, std::move(update));
                            if (failure)
                                gathered->failures.insert(identifier, std::move(*failure));
                            if (--gathered->remaining == 0)
                                gathered->allEnded.notify_all();
                        });
        });
    }
    std::vector<Candidate> candidates;
    {
        std::unique_lock lock(gathered->mutex);
        gathered->allEnded.wait(lock, [&] { return gathered->remaining == 0; });
        if (gathered->firstError)
            std::rethrow_exception(gathered->firstError);
        candidates = std::move(gathered->candidates);
        if (failures)
            *failures = std::move(gathered->failures);
    }
    QHash<QString, Update> updates;
    // Completion order: for two applications with one identifier, the later answer wins.
    for (Candidate& candidate : candidates) {
        if (candidate.second)
            updates.insert(candidate.first, std::move(*candidate.second));
    }
    Logger::info(QStringLiteral("Update checks: ") + seconds(stage));
    Logger::info(QStringLiteral("Total update check: ") + seconds(total));
    return updates;
}

std::optional<Update> UpdateService::checkForUpdate(const std::shared_ptr<Application>& application,
                                                    const QList<Application::Source>& sources)
{
    std::promise<std::optional<Update>> chosen;
    checkForUpdateAsync(
        application, sources,
        [&chosen](std::optional<Update> update, std::exception_ptr error, std::optional<SourceFailure>) {
            if (error)
                chosen.set_exception(error);
            else
                chosen.set_value(std::move(update));
        });
    return chosen.get_future().get();
}

// One application's walk through its sources, carried from one answer to the next.
struct UpdateService::SourceWalk {
    std::shared_ptr<Application> application;
    Application::Snapshot snapshot;
    QList<Application::Source> sources;
    qsizetype next = 0;
    QList<Update> candidates;
    std::optional<SourceFailure> failure;
    // Set when the store's listing could not be read: the store is not asked, and says so.
    std::optional<SourceFailure> appStoreUnread;
    CandidateHandler handler;
};

void UpdateService::checkForUpdateAsync(const std::shared_ptr<Application>& application,
                                        const QList<Application::Source>& sources, CandidateHandler handler)
{
    walkSources(application, sources, std::nullopt, std::move(handler));
}

void UpdateService::walkSources(const std::shared_ptr<Application>& application,
                                const QList<Application::Source>& sources,
                                std::optional<SourceFailure> appStoreUnread, CandidateHandler handler)
{
    auto walk = std::make_shared<SourceWalk>();
    walk->application = application;
    walk->snapshot = application->snapshot();
    walk->sources = sources;
    walk->appStoreUnread = std::move(appStoreUnread);
    walk->handler = std::move(handler);
    askSources(walk);
}

void UpdateService::askSources(const std::shared_ptr<SourceWalk>& walk)
{
    try {
        while (walk->next < walk->sources.size()) {
            switch (walk->sources.at(walk->next++)) {
            case Application::Source::homebrew:
                if (std::optional<Update> offer = m_brewService->checkUpdate(
                        walk->snapshot.path.toLocalFile(), walk->snapshot.currentVersion))
                    walk->candidates.append(std::move(*offer));
                continue;
            case Application::Source::sparkle:
                m_sparkleService->checkForUpdateAsync(
                    walk->application, [this, walk](std::optional<Update> offer, std::exception_ptr error) {
                        // A feed that cannot be read offers nothing and says so; the other
                        // sources still count. The store's failure, shared by all its
                        // applications, is the one named where both failed.
                        if (error && !walk->failure)
                            walk->failure = SourceFailure{SourceFailure::updateFeed(), describeException(error)};
                        else if (offer)
                            walk->candidates.append(std::move(*offer));
                        askSources(walk);
                    });
                return;
            case Application::Source::appStore:
                if (walk->appStoreUnread) {
                    // The last listing may offer what has been installed since.
                    walk->failure = walk->appStoreUnread;
                    continue;
                }
                m_masService->checkForUpdateAsync(walk->snapshot.bundleIdentifier,
                                                  [this, walk](std::optional<Update> offer) {
                                                      if (offer)
                                                          walk->candidates.append(std::move(*offer));
                                                      askSources(walk);
                                                  });
                return;
            case Application::Source::other:
                continue;
            }
        }
    } catch (...) {
        walk->handler(std::nullopt, std::current_exception(), std::nullopt);
        return;
    }
    walk->handler(selectCandidate(walk->snapshot.name, walk->candidates), nullptr, std::move(walk->failure));
}

std::optional<Update> UpdateService::selectCandidate(const QString& name,
                                                     const QList<Update>& candidates) const
{
    if (candidates.isEmpty())
        return std::nullopt;
    if (candidates.size() == 1)
        return candidates.first();

    const bool hasAppStore = std::any_of(candidates.cbegin(), candidates.cend(), [](const Update& update) {
        return update.source == Update::Source::appStore;
    });
    qsizetype chosen = 0;
    for (qsizetype next = 1; next < candidates.size(); ++next) {
        const Update& current = candidates.at(chosen);
        const Update& offer = candidates.at(next);
        const bool older = VersionOrdering::compareVersions(current.latestVersion, offer.latestVersion,
                                                            current.source, offer.source) < 0;
        if (hasAppStore) {
            const int currentRank = VersionOrdering::sourceRank(current.source);
            const int offerRank = VersionOrdering::sourceRank(offer.source);
            if (offerRank < currentRank || (offerRank == currentRank && older))
                chosen = next;
        } else if (older) {
            chosen = next;
        }
    }
    const Update& choice = candidates.at(chosen);
    if (hasAppStore)
        Logger::info(QStringLiteral("Multiple updates available for ") + name +
                     QStringLiteral(", selected ") + choice.latestVersion + QStringLiteral(" from ") +
                     toRawValue(choice.source) + QStringLiteral(" (MAS priority)"));
    else
        Logger::info(QStringLiteral("Multiple updates available for ") + name +
                     QStringLiteral(", selected newest: ") + choice.latestVersion + QStringLiteral(" from ") +
                     toRawValue(choice.source));
    return choice;
}

} // namespace norvelle
