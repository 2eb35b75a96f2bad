#pragma once

#include <QSet>
#include <QString>
#include <optional>

namespace norvelle {

// Settings an updater's owner may supply; asked on the main thread when the updater
// starts (feed) and at each check (channels).
class UpdaterDelegate {
public:
    virtual ~UpdaterDelegate() = default;

    // The feed address to use instead of the bundle's "SUFeedURL"; none for the bundle's.
    virtual std::optional<QString> feedUrlString() { return std::nullopt; }

    // Channels besides the default one whose items may be offered.
    virtual QSet<QString> allowedChannels() { return {}; }
};

} // namespace norvelle
