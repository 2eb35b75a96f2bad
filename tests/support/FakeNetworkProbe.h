#pragma once

#include "platform/NetworkProbe.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace norvelle::test {

// A scripted network probe. `up` and `down` report one path at once from start();
// `silent` reports nothing, so the caller's time limit decides. deliver() pushes a
// path to every monitor that is still running, from whatever thread calls it.
class FakeNetworkProbe : public NetworkProbe {
public:
    enum class Mode { up, down, silent };

    explicit FakeNetworkProbe(Mode mode = Mode::up) : m_mode(mode) {}

    std::unique_ptr<Monitor> start(PathHandler handler) override;

    void setMode(Mode mode) { m_mode = mode; }
    void deliver(bool satisfied);

    int startedCount() const { return m_started.load(); }
    int cancelledCount() const { return m_cancelled.load(); }
    int liveCount() const;

private:
    struct Entry {
        std::mutex mutex;
        NetworkProbe::PathHandler handler;
        bool cancelled = false;
    };
    class FakeMonitor;

    std::atomic<Mode> m_mode;
    std::atomic<int> m_started{0};
    std::atomic<int> m_cancelled{0};
    mutable std::mutex m_mutex;
    std::vector<std::weak_ptr<Entry>> m_entries;
};

} // namespace norvelle::test
