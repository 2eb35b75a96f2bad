#pragma once

#include "LogCapture.h"
#include "model/EnvironmentStatus.h"

#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace norvelle::test {

inline EnvironmentStatus bothTools()
{
    return EnvironmentStatus{true, true, true, QStringLiteral("/opt/homebrew/bin/brew")};
}

inline EnvironmentStatus noTools()
{
    return EnvironmentStatus{false, false, true, std::nullopt};
}

// The info lines a capture recorded, in order.
inline QStringList infoLines(const LogCapture& log)
{
    QStringList lines;
    for (const auto& [level, text] : log.lines())
        if (level == Logger::Level::info)
            lines << text;
    return lines;
}

// A latch that lets `count` threads go on once all have arrived; gives up after five seconds,
// so a missing arrival fails the test instead of hanging it.
class Meeting {
public:
    explicit Meeting(int count = 2) : m_count(count) {}
    bool arriveAndWait()
    {
        std::unique_lock lock(m_mutex);
        ++m_arrived;
        m_changed.notify_all();
        return m_changed.wait_for(lock, std::chrono::seconds(5), [this] { return m_arrived >= m_count; });
    }

private:
    const int m_count;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_arrived = 0;
};

} // namespace norvelle::test
