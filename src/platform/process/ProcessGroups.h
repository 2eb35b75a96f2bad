#pragma once

#include <QtGlobal>
#include <csignal>

namespace norvelle {

// The process groups of the tools that run right now, so that quitting can end them all.
// Process groups belong to the whole process, and so does this registry (like the Logger, it
// is not handed around). Thread-safe.
//
// Once quitting has begun, a group registered afterwards is ended at once: a tool that a
// worker starts during the shutdown race dies with the others instead of outliving us.
class ProcessGroups {
public:
    // Registers the group of a child that called setsid (its group id is its pid). Returns
    // false when quitting has begun; the group has then already been sent SIGKILL.
    static bool add(qint64 groupId);
    static void remove(qint64 groupId);

    // Refuses every later group and sends `signal` to each registered one. Calling it again
    // (say with SIGKILL after a grace period) signals the groups still registered.
    // Returns the number of groups signalled.
    static int terminateAll(int signal = SIGTERM);

    static int runningCount();
    static bool isTerminating();

    // Registers a group for the lifetime of the guard.
    class Guard {
    public:
        explicit Guard(qint64 groupId) : m_groupId(groupId) { ProcessGroups::add(groupId); }
        ~Guard() { ProcessGroups::remove(m_groupId); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        qint64 m_groupId;
    };

private:
    ProcessGroups() = delete;
};

} // namespace norvelle
