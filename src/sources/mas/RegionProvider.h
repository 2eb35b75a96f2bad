#pragma once

#include <QString>
#include <optional>

namespace norvelle {

// Tells which region the user's settings name, as a region code such as "US" or "DE".
// Injected so that tests can choose the region.
class RegionProvider {
public:
    virtual ~RegionProvider();

    // None when the user's locale names no region.
    virtual std::optional<QString> currentRegion() const = 0;
};

} // namespace norvelle
