#include "platform/http/HttpEngine.h"

#include "platform/http/HttpTransfer.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace norvelle {

namespace {

// How long the network thread sleeps at most before it looks at idle timeouts, deadlines and
// cancellations again; curl_multi_wakeup cuts it short for new transfers and stop requests.
constexpr int maxPollMs = 50;

HttpError cancelledError()
{
    return HttpError(HttpError::Kind::cancelled, QStringLiteral("The request was cancelled."));
}

} // namespace

struct HttpEngine::Impl {
    std::mutex mutex;
    std::deque<HttpTransfer*> incoming;
    bool shuttingDown = false;
    bool threadStarted = false;
    std::thread thread;

    // Network thread only.
    CURLM* multi = nullptr;
    CURLSH* share = nullptr;
    std::vector<HttpTransfer*> active;

    Impl()
    {
        multi = curl_multi_init();
        share = curl_share_init();
        // One thread uses both, so the share needs no lock functions.
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, 64L);
    }

    ~Impl()
    {
        stop();
        curl_multi_cleanup(multi);
        curl_share_cleanup(share);
    }

    void stop()
    {
        {
            std::lock_guard lock(mutex);
            shuttingDown = true;
        }
        curl_multi_wakeup(multi);
        if (thread.joinable())
            thread.join();
    }

    void startThreadLocked()
    {
        if (threadStarted)
            return;
        threadStarted = true;
        thread = std::thread([this] { loop(); });
    }

    // Hands the transfer back to its caller. Called on the network thread with the handle
    // still attached to the multi handle when it had been added.
    void finish(HttpTransfer* transfer, HttpTransfer::End end, CURLcode result, bool added)
    {
        if (added) {
            curl_multi_remove_handle(multi, transfer->handle);
            active.erase(std::find(active.begin(), active.end(), transfer));
        }
        curl_easy_setopt(transfer->handle, CURLOPT_SHARE, nullptr);
        if (transfer->end == HttpTransfer::End::running)
            transfer->end = end;
        transfer->result = result;
        std::lock_guard lock(mutex);
        transfer->finished = true;
        transfer->changed.notify_all();
    }

    void loop()
    {
        for (;;) {
            std::vector<HttpTransfer*> starting;
            std::vector<HttpTransfer*> cancelled;
            bool stopping = false;
            {
                std::lock_guard lock(mutex);
                stopping = shuttingDown;
                starting.assign(incoming.begin(), incoming.end());
                incoming.clear();
                for (HttpTransfer* transfer : active)
                    if (transfer->cancelRequested)
                        cancelled.push_back(transfer);
            }
            if (stopping) {
                for (HttpTransfer* transfer : starting)
                    finish(transfer, HttpTransfer::End::cancelled, CURLE_OK, false);
                while (!active.empty())
                    finish(active.front(), HttpTransfer::End::cancelled, CURLE_OK, true);
                return;
            }
            for (HttpTransfer* transfer : cancelled)
                finish(transfer, HttpTransfer::End::cancelled, CURLE_OK, true);
            const auto now = HttpTransfer::Clock::now();
            for (HttpTransfer* transfer : starting) {
                transfer->started = now;
                transfer->lastActivity = now;
                curl_easy_setopt(transfer->handle, CURLOPT_SHARE, share);
                curl_easy_setopt(transfer->handle, CURLOPT_PRIVATE, transfer);
                if (curl_multi_add_handle(multi, transfer->handle) != CURLM_OK) {
                    finish(transfer, HttpTransfer::End::done, CURLE_FAILED_INIT, false);
                    continue;
                }
                active.push_back(transfer);
            }
            expire(now);

            int running = 0;
            curl_multi_perform(multi, &running);
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
                if (message->msg != CURLMSG_DONE)
                    continue;
                HttpTransfer* transfer = nullptr;
                curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
                const CURLcode result = message->data.result;
                finish(transfer, HttpTransfer::End::done, result, true);
            }
            curl_multi_poll(multi, nullptr, 0, maxPollMs, nullptr);
        }
    }

    // URLSession's request timeout counts from the last data received, so a long but steady
    // transfer never times out; the deadline bounds the whole transfer however steady it is.
    void expire(HttpTransfer::Clock::time_point now)
    {
        std::vector<HttpTransfer*> expired;
        for (HttpTransfer* transfer : active) {
            if (now - transfer->lastActivity > transfer->idleTimeout ||
                now - transfer->started > transfer->deadline)
                expired.push_back(transfer);
        }
        for (HttpTransfer* transfer : expired)
            finish(transfer, HttpTransfer::End::timedOut, CURLE_OK, true);
    }
};

HttpEngine::HttpEngine() : d(std::make_unique<Impl>()) {}

HttpEngine::~HttpEngine() = default;

void HttpEngine::shutdown()
{
    d->stop();
}

void HttpEngine::run(HttpTransfer& transfer, const std::stop_token& stop)
{
    const HttpClient::ProgressHandler* progress = transfer.progress;
    transfer.engineMutex = &d->mutex;
    {
        std::lock_guard lock(d->mutex);
        if (d->shuttingDown || stop.stop_requested())
            throw cancelledError();
        d->incoming.push_back(&transfer);
        d->startThreadLocked();
    }
    curl_multi_wakeup(d->multi);

    std::stop_callback onStop(stop, [this, &transfer] {
        {
            std::lock_guard lock(d->mutex);
            transfer.cancelRequested = true;
        }
        curl_multi_wakeup(d->multi);
    });

    std::unique_lock lock(d->mutex);
    for (;;) {
        transfer.changed.wait(lock, [&] { return transfer.finished || transfer.progressPending; });
        if (transfer.progressPending) {
            transfer.progressPending = false;
            const qint64 received = transfer.progressReceived;
            const qint64 expected = transfer.progressExpected;
            if (progress && *progress && !transfer.callbackError) {
                lock.unlock();
                try {
                    (*progress)(received, expected);
                } catch (...) {
                    transfer.callbackError = std::current_exception();
                }
                lock.lock();
                if (transfer.callbackError) {
                    transfer.cancelRequested = true;
                    curl_multi_wakeup(d->multi);
                }
            }
            continue;
        }
        if (transfer.finished)
            return;
    }
}

} // namespace norvelle
