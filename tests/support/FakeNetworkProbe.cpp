#include "FakeNetworkProbe.h"

namespace norvelle::test {

class FakeNetworkProbe::FakeMonitor : public NetworkProbe::Monitor {
public:
    FakeMonitor(std::shared_ptr<Entry> entry, std::atomic<int>& cancelled)
        : m_entry(std::move(entry)), m_cancelledCount(cancelled)
    {
    }
    void cancel() override
    {
        std::lock_guard lock(m_entry->mutex);
        if (!m_entry->cancelled) {
            m_entry->cancelled = true;
            m_entry->handler = nullptr;
            ++m_cancelledCount;
        }
    }

private:
    std::shared_ptr<Entry> m_entry;
    std::atomic<int>& m_cancelledCount;
};

std::unique_ptr<NetworkProbe::Monitor> FakeNetworkProbe::start(PathHandler handler)
{
    auto entry = std::make_shared<Entry>();
    entry->handler = std::move(handler);
    ++m_started;
    {
        std::lock_guard lock(m_mutex);
        std::erase_if(m_entries, [](const std::weak_ptr<Entry>& e) { return e.expired(); });
        m_entries.push_back(entry);
    }
    auto monitor = std::make_unique<FakeMonitor>(entry, m_cancelled);
    const Mode mode = m_mode.load();
    if (mode != Mode::silent) {
        PathHandler call;
        {
            std::lock_guard lock(entry->mutex);
            call = entry->handler;
        }
        if (call) {
            call(mode == Mode::up);
        }
    }
    return monitor;
}

void FakeNetworkProbe::deliver(bool satisfied)
{
    std::vector<std::shared_ptr<Entry>> live;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& weak : m_entries) {
            if (auto entry = weak.lock()) {
                live.push_back(entry);
            }
        }
    }
    for (const auto& entry : live) {
        PathHandler call;
        {
            std::lock_guard lock(entry->mutex);
            if (entry->cancelled) {
                continue;
            }
            call = entry->handler;
        }
        if (call) {
            call(satisfied);
        }
    }
}

int FakeNetworkProbe::liveCount() const
{
    std::lock_guard lock(m_mutex);
    int n = 0;
    for (const auto& weak : m_entries) {
        if (auto entry = weak.lock()) {
            std::lock_guard entryLock(entry->mutex);
            n += entry->cancelled ? 0 : 1;
        }
    }
    return n;
}

} // namespace norvelle::test
