#pragma once

#include "platform/updater/AppcastItem.h"

#include <QList>
#include <QSet>
#include <QString>
#include <optional>

namespace norvelle {

// Picks the update an appcast offers to one installed version.
class AppcastSelector {
public:
    struct Criteria {
        QString installedVersion;
        // The running system's version; without one (as on Linux) the items' minimum
        // and maximum system versions are not looked at.
        std::optional<QString> systemVersion;
        // Channels besides the default one whose items count.
        QSet<QString> allowedChannels;
    };

    // The newest item that fits the system and the channels, when it is newer than the
    // installed version; its informationOnly flag is settled for that installed version.
    static std::optional<AppcastItem> newestUpdate(const QList<AppcastItem>& items, const Criteria& criteria);

    static bool fitsSystem(const AppcastItem& item, const std::optional<QString>& systemVersion);

private:
    AppcastSelector() = delete;
};

} // namespace norvelle
