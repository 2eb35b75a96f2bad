#include "platform/updater/AppcastSelector.h"

#include "platform/updater/VersionComparator.h"

#include <QSysInfo>

namespace norvelle {

bool AppcastSelector::fitsSystem(const AppcastItem& item, const std::optional<QString>& systemVersion)
{
    if (!systemVersion || systemVersion->isEmpty())
        return true;
    if (!item.minimumSystemVersion.isEmpty() &&
        VersionComparator::compare(*systemVersion, item.minimumSystemVersion) < 0)
        return false;
    if (!item.maximumSystemVersion.isEmpty() &&
        VersionComparator::compare(*systemVersion, item.maximumSystemVersion) > 0)
        return false;
    return true;
}

bool AppcastSelector::fitsMachine(const AppcastItem& item, const QString& architecture)
{
    for (const QString& requirement : item.hardwareRequirements) {
        if (requirement.compare(architecture, Qt::CaseInsensitive) != 0)
            return false;
    }
    return true;
}

QString AppcastSelector::currentMachineArchitecture()
{
    const QString architecture = QSysInfo::currentCpuArchitecture();
    if (architecture == QLatin1String("x86_64"))
        return architecture;
    if (architecture == QLatin1String("arm64") || architecture == QLatin1String("aarch64"))
        return QStringLiteral("arm64");
    return architecture;
}

std::optional<AppcastItem> AppcastSelector::newestUpdate(const QList<AppcastItem>& items,
                                                         const Criteria& criteria)
{
    const AppcastItem* best = nullptr;
    for (const AppcastItem& item : items) {
        if (!item.channel.isEmpty() && !criteria.allowedChannels.contains(item.channel))
            continue;
        if (!fitsSystem(item, criteria.systemVersion) || !fitsMachine(item, criteria.machineArchitecture))
            continue;
        // An update that cannot start from the installed version leaves it to an
        // older item to bridge the gap.
        if (!item.minimumUpdateVersion.isEmpty() &&
            VersionComparator::compare(criteria.installedVersion, item.minimumUpdateVersion) < 0)
            continue;
        if (!best || VersionComparator::compare(item.versionString, best->versionString) > 0)
            best = &item;
    }
    if (!best || !VersionComparator::isNewer(best->versionString, criteria.installedVersion))
        return std::nullopt;

    AppcastItem chosen = *best;
    for (const QString& below : chosen.informationalBelowVersions) {
        if (VersionComparator::compare(criteria.installedVersion, below) < 0)
            chosen.informationOnly = true;
    }
    for (const QString& version : chosen.informationalVersions) {
        if (VersionComparator::compare(criteria.installedVersion, version) == 0)
            chosen.informationOnly = true;
    }
    return chosen;
}

} // namespace norvelle
