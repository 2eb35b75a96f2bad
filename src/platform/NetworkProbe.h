#pragma once

#include <functional>
#include <memory>

namespace norvelle {

// Watches whether the network can be reached. Each start() begins a fresh
// monitor that reports paths to its handler until it is cancelled.
class NetworkProbe {
public:
    // Called with whether the reported path is usable. May run on any thread,
    // also inside start(), and any number of times until cancel().
    using PathHandler = std::function<void(bool satisfied)>;

    class Monitor {
    public:
        virtual ~Monitor() = default;
        // Stops reporting. A report already under way may still arrive, so a
        // handler must stay safe to call (own its state through a shared pointer).
        virtual void cancel() = 0;
    };

    virtual ~NetworkProbe() = default;

    virtual std::unique_ptr<Monitor> start(PathHandler handler) = 0;

protected:
    NetworkProbe() = default;
    NetworkProbe(const NetworkProbe&) = default;
    NetworkProbe& operator=(const NetworkProbe&) = default;
};

} // namespace norvelle
