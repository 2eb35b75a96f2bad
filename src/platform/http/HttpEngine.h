#pragma once

#include <memory>
#include <stop_token>

namespace norvelle {

struct HttpTransfer;

// The network thread behind HttpClient. Every transfer of the clients that share one engine
// runs on a single libcurl multi handle, so connections (HTTP/2 where the server offers it),
// TLS sessions, DNS answers and the loaded CA store are reused across requests instead of
// being set up again for each, and a waiting request costs no thread of its own on this side.
//
// Thread-safe. The thread starts with the first transfer and ends in shutdown() or the
// destructor, whichever comes first.
class HttpEngine {
public:
    HttpEngine();
    ~HttpEngine();
    HttpEngine(const HttpEngine&) = delete;
    HttpEngine& operator=(const HttpEngine&) = delete;

    // For quitting: ends every running and queued transfer with HttpError::Kind::cancelled,
    // refuses later ones the same way, and returns once the network thread has ended.
    void shutdown();

    // Runs one prepared transfer and returns when it has ended, delivering its download
    // progress on the calling thread meanwhile. Stopping the token ends it as cancelled.
    void run(HttpTransfer& transfer, const std::stop_token& stop);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace norvelle
