#include "services/EnvironmentService.h"

#include "platform/NetworkProbe.h"
#include "platform/Logger.h"

#include <condition_variable>

namespace norvelle {

namespace {

QString flag(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

EnvironmentService::EnvironmentService(Paths paths, std::shared_ptr<NetworkProbe> networkProbe,
                                       std::chrono::milliseconds networkLimit)
    : m_paths(std::move(paths)), m_networkProbe(std::move(networkProbe)), m_networkLimit(networkLimit)
{
}

EnvironmentStatus EnvironmentService::checkEnvironment()
{
    EnvironmentStatus status;
    status.hasHomebrew = Paths::firstExisting(m_paths.brewCandidates).has_value();
    status.hasMAS = Paths::firstExisting(m_paths.masCandidates).has_value();
    status.hasNetwork = checkNetworkConnectivity();
    status.homebrewPath = status.hasHomebrew ? findHomebrewPath() : std::nullopt;
    {
        std::lock_guard lock(m_mutex);
        m_currentStatus = status;
    }
    Logger::info(QStringLiteral("Environment check complete: Homebrew=") + flag(status.hasHomebrew) +
                 QStringLiteral(", MAS=") + flag(status.hasMAS) + QStringLiteral(", Network=") +
                 flag(status.hasNetwork));
    return status;
}

bool EnvironmentService::checkNetworkConnectivity()
{
    if (!m_networkProbe) {
        return false;
    }
    // The first path report and the time limit race; whichever settles `answer`
    // first decides, under one lock, and the other finds it set. The handler owns
    // the state through the shared pointer, so a late report after we return is harmless.
    struct Race {
        std::mutex mutex;
        std::condition_variable settled;
        std::optional<bool> answer;
    };
    auto race = std::make_shared<Race>();
    std::unique_ptr<NetworkProbe::Monitor> monitor = m_networkProbe->start([race](bool satisfied) {
        {
            std::lock_guard lock(race->mutex);
            if (race->answer.has_value()) {
                return;
            }
            race->answer = satisfied;
        }
        race->settled.notify_all();
    });
    bool answer = false;
    {
        std::unique_lock lock(race->mutex);
        race->settled.wait_for(lock, m_networkLimit, [&] { return race->answer.has_value(); });
        if (!race->answer.has_value()) {
            race->answer = false;
        }
        answer = *race->answer;
    }
    if (monitor) {
        monitor->cancel();
    }
    return answer;
}

// Existence only: the tool is neither run nor tested for being executable.
std::optional<QString> EnvironmentService::findHomebrewPath() const
{
    return Paths::firstExisting(m_paths.brewCandidates);
}

std::optional<EnvironmentStatus> EnvironmentService::currentStatus() const
{
    std::lock_guard lock(m_mutex);
    return m_currentStatus;
}

} // namespace norvelle
