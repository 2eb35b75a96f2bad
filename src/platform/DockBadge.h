#pragma once

#include <optional>

namespace norvelle {

// The number shown on the application's launcher or Dock tile. Implementations
// are called on the main thread only.
class DockBadge {
public:
    virtual ~DockBadge() = default;

    // Shows `count` as the badge; no value removes the badge entirely.
    virtual void setCount(std::optional<int> count) = 0;

protected:
    DockBadge() = default;
    DockBadge(const DockBadge&) = default;
    DockBadge& operator=(const DockBadge&) = default;
};

} // namespace norvelle
