#pragma once

#include "platform/http/HttpLimits.h"

#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

namespace norvelle {

struct HttpTransfer;

// HttpEngine's connection slots: the transfers that wait for one, by host, and how many run, in
// all and per host. Takes turns between hosts, so a host with thousands of requests does not
// hold up the others. Not thread-safe: the engine uses it under its mutex.
class HttpSlots {
public:
    explicit HttpSlots(const HttpLimits& limits) : m_limits(limits) {}

    // Queues the transfer for a slot at its host (hostKey).
    void queue(HttpTransfer* transfer);
    // The next queued transfer that fits the caps, now counted as running; null when none does.
    HttpTransfer* admitNext();
    // A transfer that ran to that host has given its slot back.
    void release(const std::string& hostKey);
    // Takes a queued transfer out of its queue; false when it is not queued.
    bool withdraw(HttpTransfer* transfer);
    // Empties every queue, returning what waited there.
    std::vector<HttpTransfer*> takeQueued();

private:
    struct Host {
        std::deque<HttpTransfer*> waiting;
        int running = 0;
        bool ready = false; // listed in m_ready
    };
    void markReady(const std::string& key, Host& host);
    void forgetIfUnused(std::unordered_map<std::string, Host>::iterator host);

    const HttpLimits m_limits;
    std::unordered_map<std::string, Host> m_hosts;
    std::deque<std::string> m_ready; // hosts with a waiting transfer and a free slot, in turn
    int m_running = 0;
};

} // namespace norvelle
