#include "platform/process/ProcessGroups.h"

#include <mutex>
#include <set>
#include <unistd.h>

namespace norvelle {

namespace {

struct Registry {
    std::mutex mutex;
    std::multiset<qint64> groups;
    bool terminating = false;
};

// Never destroyed: a worker may unregister its tool while the process is already exiting.
Registry& registry()
{
    static Registry* const r = new Registry;
    return *r;
}

// Only a real group that is not our own: a child whose setsid failed shares our group, and
// signalling that would end us too.
void signalGroup(qint64 groupId, int signal)
{
    if (groupId <= 0)
        return;
    const auto id = static_cast<pid_t>(groupId);
    if (id == ::getpgrp())
        return;
    if (::getpgid(id) == id)
        ::kill(-id, signal);
    else
        ::kill(id, signal);
}

} // namespace

bool ProcessGroups::add(qint64 groupId)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    if (r.terminating) {
        signalGroup(groupId, SIGKILL);
        return false;
    }
    r.groups.insert(groupId);
    return true;
}

void ProcessGroups::remove(qint64 groupId)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.groups.find(groupId);
    if (it != r.groups.end())
        r.groups.erase(it);
}

int ProcessGroups::terminateAll(int signal)
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.terminating = true;
    // A group leaves the registry right after its child is reaped; the lock keeps that from
    // happening in the middle of this loop.
    for (const qint64 groupId : r.groups)
        signalGroup(groupId, signal);
    return static_cast<int>(r.groups.size());
}

int ProcessGroups::runningCount()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return static_cast<int>(r.groups.size());
}

bool ProcessGroups::isTerminating()
{
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    return r.terminating;
}

} // namespace norvelle
