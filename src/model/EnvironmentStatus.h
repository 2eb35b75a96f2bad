#pragma once

#include <QMetaType>
#include <QString>
#include <optional>

namespace norvelle {

// Which outside tools and whether the network were available at the last check.
// "Not checked yet" is an absent std::optional<EnvironmentStatus>, not all flags false.
struct EnvironmentStatus {
    bool hasHomebrew = false;
    bool hasMAS = false;
    bool hasNetwork = false;
    std::optional<QString> homebrewPath;

    bool operator==(const EnvironmentStatus& other) const = default;
};

size_t qHash(const EnvironmentStatus& status, size_t seed = 0);

} // namespace norvelle

Q_DECLARE_METATYPE(norvelle::EnvironmentStatus)
