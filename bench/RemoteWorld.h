#pragma once

#include "SyntheticWorld.h"
#include "platform/Paths.h"

#include <QList>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <sys/types.h>

namespace norvelle::bench {

// A synthetic world that behaves like real hosts, run by bench_world_host in a child process
// pinned to the cores this process does not use: its servers answer every address on a host of
// its own under feeds.localhost, through a relay that adds the round trip. The child is ended
// when this object goes, and by the system when this process dies.
class RemoteWorld {
public:
    RemoteWorld(int bundleCount, std::chrono::milliseconds roundTrip);
    ~RemoteWorld();
    RemoteWorld(const RemoteWorld&) = delete;
    RemoteWorld& operator=(const RemoteWorld&) = delete;

    bool isValid() const { return m_valid; }
    const Paths& paths() const { return m_paths; }
    const test::SyntheticWorld::Counts& counts() const { return m_counts; }
    const QList<test::SyntheticWorld::CheckRequest>& checkRequests() const { return m_checkRequests; }
    // The CPUs the host runs on, for the report ("2-7"); empty when it shares ours.
    const QString& hostCpus() const { return m_hostCpus; }

    // The requests the world's server has answered so far. Thread-safe.
    qsizetype requestCount();

private:
    bool readDescription();

    pid_t m_pid = -1;
    FILE* m_toHost = nullptr;
    FILE* m_fromHost = nullptr;
    std::mutex m_mutex;
    bool m_valid = false;
    Paths m_paths;
    test::SyntheticWorld::Counts m_counts;
    QList<test::SyntheticWorld::CheckRequest> m_checkRequests;
    QString m_hostCpus;
};

} // namespace norvelle::bench
