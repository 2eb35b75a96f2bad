#pragma once

#include "SyntheticWorld.h"
#include "platform/Paths.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <sys/types.h>

namespace norvelle::bench {

// A synthetic world that behaves like real hosts, run by bench_world_host in a child process
// on the given CPUs ("2-7"; by default the ones this process may not use): its servers answer
// every address on a host of its own under feeds.localhost, through a relay that adds the round
// trip; with feedsDown every feed's host answers 503. The child is ended when this object goes,
// and by the system when this process dies.
// Takes "--host-cpus=<list>" out of a benchmark's arguments: the CPUs the world host is to run
// on ("2-7", "2,4"); empty when it is not given.
QString takeHostCpus(QStringList& arguments);

class RemoteWorld {
public:
    RemoteWorld(int bundleCount, std::chrono::milliseconds roundTrip, const QString& hostCpus = {},
                bool feedsDown = false);
    ~RemoteWorld();
    RemoteWorld(const RemoteWorld&) = delete;
    RemoteWorld& operator=(const RemoteWorld&) = delete;

    bool isValid() const { return m_valid; }
    const Paths& paths() const { return m_paths; }
    const test::SyntheticWorld::Counts& counts() const { return m_counts; }
    const QList<test::SyntheticWorld::CheckRequest>& checkRequests() const { return m_checkRequests; }
    // The CPUs the host really runs on, as it reports them ("2,3,4").
    const QString& hostCpus() const { return m_hostCpus; }

    // The requests the world's server has answered so far. Thread-safe.
    qsizetype requestCount();
    // Starts a span; activitySeconds() is then the time from the first connection the host
    // accepts to the last one that has ended, as the host measures it. Thread-safe.
    void markActivity();
    double activitySeconds();

private:
    bool readDescription();
    // Sends the command and returns the host's answer to it; empty when the host is gone.
    QString ask(const char* command);

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
