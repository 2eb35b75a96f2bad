#pragma once

#include "model/EnvironmentStatus.h"
#include "platform/Paths.h"

#include <QString>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>

namespace norvelle {

class NetworkProbe;

// Tells which outside tools are installed, where brew is, and whether the
// network can be reached. A check never fails and takes at most the network
// limit. Thread-safe; checkEnvironment blocks and is meant for worker threads.
class EnvironmentService {
public:
    static constexpr std::chrono::milliseconds defaultNetworkLimit{2000};

    // The tool locations come from `paths` (brew and mas candidates, tested in order).
    EnvironmentService(Paths paths, std::shared_ptr<NetworkProbe> networkProbe,
                       std::chrono::milliseconds networkLimit = defaultNetworkLimit);
    virtual ~EnvironmentService() = default;
    EnvironmentService(const EnvironmentService&) = delete;
    EnvironmentService& operator=(const EnvironmentService&) = delete;

    // Tests the tools and the network, stores the answer as currentStatus and logs it.
    virtual EnvironmentStatus checkEnvironment();
    // True when the probe's first report says the network is usable; false when
    // it says otherwise or says nothing within the limit.
    virtual bool checkNetworkConnectivity();
    // The first brew candidate at which something exists (existence only).
    virtual std::optional<QString> findHomebrewPath() const;

    std::optional<EnvironmentStatus> currentStatus() const;

private:
    const Paths m_paths;
    const std::shared_ptr<NetworkProbe> m_networkProbe;
    const std::chrono::milliseconds m_networkLimit;

    mutable std::mutex m_mutex;
    std::optional<EnvironmentStatus> m_currentStatus;
};

} // namespace norvelle
