#include "FakeBrewService.h"

namespace norvelle::test {

namespace {

BrewService::Options inertOptions()
{
    BrewService::Options options;
    options.paths = Paths::underRoot(QStringLiteral("/nonexistent-norvelle-root"));
    return options;
}

} // namespace

FakeBrewService::FakeBrewService() : BrewService(inertOptions()) {}

void FakeBrewService::manage(const QString& path, std::optional<Cask> cask)
{
    std::lock_guard lock(m_mutex);
    m_managed.insert(path, std::move(cask));
}

void FakeBrewService::matchTrash(const QString& bundleIdentifier, std::optional<Cask> cask)
{
    std::lock_guard lock(m_mutex);
    m_trash.insert(bundleIdentifier, std::move(cask));
}

void FakeBrewService::offerAdoptable(const QString& name, const Cask& cask)
{
    std::lock_guard lock(m_mutex);
    m_adoptable.insert(name, cask);
}

void FakeBrewService::offerUpdate(const QString& path, const Update& update)
{
    std::lock_guard lock(m_mutex);
    m_updates.insert(path, update);
}

QStringList FakeBrewService::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

int FakeBrewService::count(const QString& call) const
{
    return int(calls().count(call));
}

void FakeBrewService::record(const QString& call) const
{
    std::lock_guard lock(m_mutex);
    m_calls.append(call);
}

void FakeBrewService::loadInstalledCasks()
{
    record(QStringLiteral("loadInstalledCasks"));
    if (onLoadInstalledCasks)
        onLoadInstalledCasks();
}

void FakeBrewService::loadOutdatedCasks()
{
    record(QStringLiteral("loadOutdatedCasks"));
    if (onLoadOutdatedCasks)
        onLoadOutdatedCasks();
}

bool FakeBrewService::hasCask(const QString& path) const
{
    record(QStringLiteral("hasCask ") + path);
    std::lock_guard lock(m_mutex);
    return m_managed.contains(path);
}

std::optional<Cask> FakeBrewService::caskInfo(const QString& path) const
{
    record(QStringLiteral("caskInfo ") + path);
    std::lock_guard lock(m_mutex);
    return m_managed.value(path);
}

bool FakeBrewService::matchCaskByTrash(const QString& path, const QString& bundleIdentifier)
{
    record(QStringLiteral("matchCaskByTrash ") + path + u' ' + bundleIdentifier);
    std::lock_guard lock(m_mutex);
    const auto match = m_trash.constFind(bundleIdentifier);
    if (match == m_trash.cend())
        return false;
    // Like the real adapter: the match is remembered for the path.
    m_managed.insert(path, *match);
    return true;
}

std::optional<Update> FakeBrewService::checkUpdate(const QString& path, const QString& currentVersion) const
{
    record(QStringLiteral("checkUpdate ") + path + u' ' + currentVersion);
    std::lock_guard lock(m_mutex);
    const auto update = m_updates.constFind(path);
    return update == m_updates.cend() ? std::nullopt : std::optional<Update>(*update);
}

std::optional<Cask> FakeBrewService::findAdoptableCask(const QString& name, const QString& path) const
{
    record(QStringLiteral("findAdoptableCask ") + name + u' ' + path);
    std::lock_guard lock(m_mutex);
    const auto cask = m_adoptable.constFind(name);
    return cask == m_adoptable.cend() ? std::nullopt : std::optional<Cask>(*cask);
}

QStringList FakeBrewService::upgradeCask(const QString& token, const LineHandler& progress)
{
    record(QStringLiteral("upgradeCask ") + token);
    if (onUpgradeCask)
        onUpgradeCask(token, progress);
    return {};
}

void FakeBrewService::adoptCask(const QString& token, const LineHandler& handler)
{
    record(QStringLiteral("adoptCask ") + token);
    if (onAdoptCask)
        onAdoptCask(token, handler);
}

Cask FakeBrewService::verifyCustomCask(const QString& caskName, const std::optional<QString>& tapName,
                                       const QString& applicationPath)
{
    record(QStringLiteral("verifyCustomCask ") + caskName + u' ' + tapName.value_or(QStringLiteral("-")) +
           u' ' + applicationPath);
    if (onVerifyCustomCask)
        return onVerifyCustomCask(caskName, tapName, applicationPath);
    Cask cask;
    cask.caskName = caskName;
    return cask;
}

} // namespace norvelle::test
