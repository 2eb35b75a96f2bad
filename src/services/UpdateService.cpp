#include "services/UpdateService.h"

#include "services/VersionOrdering.h"
#include "sources/brew/BrewService.h"
#include "sources/mas/MASService.h"
#include "sources/sparkle/SparkleService.h"
#include "platform/Logger.h"
#include "util/TaskGroup.h"

#include <QElapsedTimer>
#include <algorithm>
#include <utility>

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
                                                      const EnvironmentStatus& environment)
{
    QElapsedTimer total;
    total.start();
    {
        // Both listings run to their end even when one fails; then the first failure ends the check.
        TaskGroup<void> listings;
        if (environment.hasHomebrew)
            listings.add([this] { m_brewService->loadOutdatedCasks(); });
        else
            Logger::info(QStringLiteral("Skipping Homebrew outdated check - Homebrew not installed"));
        if (environment.hasMAS)
            listings.add([this] { m_masService->loadOutdatedApps(); });
        else
            Logger::info(QStringLiteral("Skipping MAS outdated check - MAS CLI not installed"));
        listings.waitAll();
    }
    Logger::info(QStringLiteral("Parallel outdated checks: ") + seconds(total));

    QElapsedTimer stage;
    stage.start();
    TaskGroup<Candidate> checks(networkPool(), {}, Overflow::queue);
    for (const std::shared_ptr<Application>& application : applications) {
        checks.add([this, application]() -> Candidate {
            return {application->bundleIdentifier(), checkForUpdate(application, application->source())};
        });
    }
    QHash<QString, Update> updates;
    // Completion order: for two applications with one identifier, the later answer wins.
    for (Candidate& candidate : checks.waitAll()) {
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
    const Application::Snapshot snapshot = application->snapshot();
    QList<Update> candidates;
    for (const Application::Source source : sources) {
        std::optional<Update> offer;
        switch (source) {
        case Application::Source::homebrew:
            offer = m_brewService->checkUpdate(snapshot.path.toLocalFile(), snapshot.currentVersion);
            break;
        case Application::Source::sparkle:
            try {
                offer = m_sparkleService->checkForUpdate(application);
            } catch (...) {
                // A feed that cannot be checked offers nothing; the other sources still count.
            }
            break;
        case Application::Source::appStore:
            offer = m_masService->checkForUpdate(snapshot.bundleIdentifier);
            break;
        case Application::Source::other:
            break;
        }
        if (offer)
            candidates.append(std::move(*offer));
    }
    return selectCandidate(snapshot.name, candidates);
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
