#include "platform/updater/AppcastSelector.h"

#include "platform/updater/VersionComparator.h"

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

std::optional<AppcastItem> AppcastSelector::newestUpdate(const QList<AppcastItem>& items,
                                                         const Criteria& criteria)
{
    const AppcastItem* best = nullptr;
    for (const AppcastItem& item : items) {
        if (!item.channel.isEmpty() && !criteria.allowedChannels.contains(item.channel))
            continue;
        if (!fitsSystem(item, criteria.systemVersion))
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
    return chosen;
}

} // namespace norvelle
