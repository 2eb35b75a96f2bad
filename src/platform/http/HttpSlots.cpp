#include "platform/http/HttpSlots.h"

#include "platform/http/HttpTransfer.h"

#include <algorithm>

namespace norvelle {

void HttpSlots::queue(HttpTransfer* transfer)
{
    transfer->stage = HttpTransfer::Stage::queued;
    Host& host = m_hosts[transfer->hostKey];
    host.waiting.push_back(transfer);
    markReady(transfer->hostKey, host);
}

HttpTransfer* HttpSlots::admitNext()
{
    while (m_running < m_limits.connections && !m_ready.empty()) {
        const std::string key = std::move(m_ready.front());
        m_ready.pop_front();
        Host& host = m_hosts[key];
        host.ready = false;
        if (host.waiting.empty() || host.running >= m_limits.connectionsPerHost)
            continue;
        HttpTransfer* transfer = host.waiting.front();
        host.waiting.pop_front();
        ++host.running;
        ++m_running;
        transfer->stage = HttpTransfer::Stage::admitted;
        markReady(key, host);
        return transfer;
    }
    return nullptr;
}

void HttpSlots::release(const std::string& hostKey)
{
    const auto found = m_hosts.find(hostKey);
    if (found != m_hosts.end()) {
        --found->second.running;
        markReady(hostKey, found->second);
        forgetIfUnused(found);
    }
    --m_running;
}

bool HttpSlots::withdraw(HttpTransfer* transfer)
{
    // The stage first: a running transfer's host may be changing on its network thread.
    if (transfer->stage != HttpTransfer::Stage::queued)
        return false;
    const auto found = m_hosts.find(transfer->hostKey);
    if (found == m_hosts.end())
        return false;
    auto& waiting = found->second.waiting;
    waiting.erase(std::find(waiting.begin(), waiting.end(), transfer));
    forgetIfUnused(found);
    return true;
}

std::vector<HttpTransfer*> HttpSlots::takeQueued()
{
    std::vector<HttpTransfer*> queued;
    for (auto& [key, host] : m_hosts)
        queued.insert(queued.end(), host.waiting.begin(), host.waiting.end());
    m_hosts.clear();
    m_ready.clear();
    return queued;
}

void HttpSlots::markReady(const std::string& key, Host& host)
{
    if (!host.ready && !host.waiting.empty() && host.running < m_limits.connectionsPerHost) {
        host.ready = true;
        m_ready.push_back(key);
    }
}

void HttpSlots::forgetIfUnused(std::unordered_map<std::string, Host>::iterator host)
{
    if (host->second.running == 0 && host->second.waiting.empty() && !host->second.ready)
        m_hosts.erase(host);
}

} // namespace norvelle
