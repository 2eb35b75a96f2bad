#include "FakeMASService.h"

namespace norvelle::test {

namespace {

MASService::Options inertOptions()
{
    MASService::Options options;
    options.paths = Paths::underRoot(QStringLiteral("/nonexistent-norvelle-root"));
    return options;
}

} // namespace

FakeMASService::FakeMASService() : MASService(nullptr, inertOptions()) {}

void FakeMASService::install(const QString& bundleIdentifier, const QString& appID)
{
    std::lock_guard lock(m_mutex);
    m_installed.insert(bundleIdentifier, appID);
}

void FakeMASService::offerUpdate(const QString& bundleIdentifier, const Update& update)
{
    std::lock_guard lock(m_mutex);
    m_updates.insert(bundleIdentifier, update);
}

QStringList FakeMASService::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

int FakeMASService::count(const QString& call) const
{
    return int(calls().count(call));
}

void FakeMASService::record(const QString& call) const
{
    std::lock_guard lock(m_mutex);
    m_calls.append(call);
}

void FakeMASService::loadInstalledApps()
{
    record(QStringLiteral("loadInstalledApps"));
    if (onLoadInstalledApps)
        onLoadInstalledApps();
}

void FakeMASService::loadOutdatedApps()
{
    record(QStringLiteral("loadOutdatedApps"));
    if (onLoadOutdatedApps)
        onLoadOutdatedApps();
}

std::optional<MAS> FakeMASService::masInfo(const QString& bundleIdentifier,
                                           const QString& currentVersion) const
{
    record(QStringLiteral("masInfo ") + bundleIdentifier + u' ' + currentVersion);
    std::lock_guard lock(m_mutex);
    const auto appID = m_installed.constFind(bundleIdentifier);
    if (appID == m_installed.cend())
        return std::nullopt;
    return MAS{*appID, currentVersion, currentVersion, bundleIdentifier, std::nullopt};
}

std::optional<Update> FakeMASService::checkForUpdate(const QString& bundleIdentifier)
{
    record(QStringLiteral("checkForUpdate ") + bundleIdentifier);
    std::lock_guard lock(m_mutex);
    const auto update = m_updates.constFind(bundleIdentifier);
    return update == m_updates.cend() ? std::nullopt : std::optional<Update>(*update);
}

void FakeMASService::checkForUpdateAsync(const QString& bundleIdentifier, UpdateHandler handler)
{
    handler(checkForUpdate(bundleIdentifier));
}

void FakeMASService::upgrade(const QString& appID, const LineHandler& onLine)
{
    record(QStringLiteral("upgrade ") + appID);
    if (onUpgrade)
        onUpgrade(appID, onLine);
}

} // namespace norvelle::test
