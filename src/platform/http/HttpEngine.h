#pragma once

#include "platform/http/HttpLimits.h"

#include <functional>
#include <memory>
#include <stop_token>

namespace norvelle {

class HttpPrefetch;
struct HttpTransfer;

// The network threads behind HttpClient. The transfers of the clients that share one engine run
// on a few libcurl multi handles, so connections (HTTP/2 where the server offers it), TLS
// sessions, DNS answers and the loaded CA store are reused across requests instead of being set
// up again for each, and a waiting request costs no thread of its own. Every request of a host
// goes to the same network thread (so its connections are reused); the hosts are spread over
// the threads, so the TLS work of many new connections does not queue on one core.
//
// A transfer waits in the engine's queue, not in libcurl, until it fits the connection caps
// (HttpLimits); its idle timeout and deadline count only while it runs. A redirect is followed
// by queueing the transfer again for the host it leads to, so the caps hold for the host each
// connection really goes to. Thread-safe. The threads start with the first transfer and end in
// shutdown() or the destructor, whichever comes first; a thread without transfers sleeps.
class HttpEngine {
public:
    explicit HttpEngine(HttpLimits limits = {});
    ~HttpEngine();
    HttpEngine(const HttpEngine&) = delete;
    HttpEngine& operator=(const HttpEngine&) = delete;

    const HttpLimits& limits() const;

    // For quitting: ends every running and queued transfer with HttpError::Kind::cancelled,
    // refuses later ones the same way, and returns once the network threads have ended.
    void shutdown();

    // Runs one prepared transfer and returns when it has ended, delivering its download
    // progress on the calling thread meanwhile. Stopping the token ends it as cancelled.
    void run(HttpTransfer& transfer, const std::stop_token& stop);

    // Starts one prepared transfer and returns at once; onEnd is called exactly once when it has
    // ended (on a network thread, or on the thread that stops or shuts it down), and must return
    // quickly. The transfer must live until then. Stopping the token ends it as cancelled.
    void start(HttpTransfer& transfer, const std::stop_token& stop, std::function<void()> onEnd);

    // The answers asked for ahead of their use (HttpClient::prefetch).
    HttpPrefetch& prefetches();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace norvelle
