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
        // The machine's architecture as appcasts name it ("arm64", "x86_64"): items
        // whose hardware requirements it does not meet are left out.
        QString machineArchitecture = currentMachineArchitecture();
    };

    // The newest item that fits the system, the machine, the channels and the
    // installed version (sparkle:minimumUpdateVersion), when it is newer than the
    // installed version; its informationOnly flag is settled for that installed version.
    static std::optional<AppcastItem> newestUpdate(const QList<AppcastItem>& items, const Criteria& criteria);

    static bool fitsSystem(const AppcastItem& item, const std::optional<QString>& systemVersion);

    // Every requirement must be met; one this machine cannot tell about is not.
    static bool fitsMachine(const AppcastItem& item, const QString& architecture);

    // This machine's architecture under the names appcasts use.
    static QString currentMachineArchitecture();

private:
    AppcastSelector() = delete;
};

} // namespace norvelle
