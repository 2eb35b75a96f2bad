#pragma once

#include <QtGlobal>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace norvelle::test {

// A TCP relay on the loopback interface that puts a local server as far away as a real host.
// Every chunk of bytes it passes on, in either direction, arrives half a round trip after it was
// sent; the first bytes of a connection wait one round trip more, for the TCP handshake that a
// loopback connect does not pay. So from connect to answer a plain request costs two round
// trips, and one over TLS 1.3 three, as on the Internet. Bandwidth, slow start and loss are not
// modelled.
//
// It listens on 127.0.0.1 (and on ::1 where the system has it) at a free port and forwards every
// connection to the target port on 127.0.0.1, on a thread of its own that the destructor stops.
// Pending bytes are held in memory, at most a few megabytes per direction of a connection before
// it stops reading that side.
class LatencyRelay {
public:
    explicit LatencyRelay(std::chrono::milliseconds roundTrip);
    ~LatencyRelay();
    LatencyRelay(const LatencyRelay&) = delete;
    LatencyRelay& operator=(const LatencyRelay&) = delete;

    bool isListening() const { return m_port != 0; }
    quint16 port() const { return m_port; }

    // Starts relaying to that port; connections accepted before wait for it. Call once.
    void start(quint16 targetPort);

    // The connections accepted so far.
    int connectionCount() const { return m_connections; }

    // Seconds from the first connection accepted since the last markActivity() to the last one
    // that has ended since; zero when none has. Both thread-safe.
    void markActivity();
    double activitySeconds() const;

private:
    struct Loop;

    void run(quint16 targetPort);

    std::chrono::milliseconds m_roundTrip;
    int m_listeners[2] = {-1, -1};
    int m_wake[2] = {-1, -1};
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    // Steady-clock nanoseconds; zero for none.
    std::atomic<qint64> m_firstAccepted{0};
    std::atomic<qint64> m_lastEnded{0};
    std::thread m_thread;
};

} // namespace norvelle::test
