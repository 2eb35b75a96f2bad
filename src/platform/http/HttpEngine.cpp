#include "platform/http/HttpEngine.h"

#include "platform/http/HttpOutcome.h"
#include "platform/http/HttpPrefetch.h"
#include "platform/http/HttpSlots.h"
#include "platform/http/HttpTransfer.h"
#include "util/Async.h"

#include <QThread>

#include <algorithm>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace norvelle {

namespace {

// How long a network thread with transfers sleeps at most before it looks at their idle timeouts
// and deadlines again; curl_multi_wakeup cuts it short for new transfers and stop requests. One
// without transfers sleeps until it is woken.
constexpr int maxPollMs = 50;

// Enough threads that TLS handshakes do not queue on one core, few enough to stay cheap.
constexpr int maxNetworkThreads = 4;

HttpError cancelledError()
{
    return HttpError(HttpError::Kind::cancelled, QStringLiteral("The request was cancelled."));
}

} // namespace

struct HttpEngine::Impl {
    // One network thread with its multi handle. `incoming` is guarded by the engine's mutex;
    // the rest belongs to the thread.
    struct Worker {
        CURLM* multi = nullptr;
        CURLSH* share = nullptr;
        std::deque<HttpTransfer*> incoming;
        std::vector<HttpTransfer*> active;
        std::thread thread;
        bool started = false;
        bool canWake = false;

        explicit Worker(int idleConnections)
        {
            multi = curl_multi_init();
            share = curl_share_init();
            // One thread uses both, so the share needs no lock functions.
            curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
            curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
            // The engine admits only what its caps allow, so libcurl needs no caps of its own,
            // which would hold transfers back with their clocks running. Only the connections
            // kept for reuse are libcurl's to bound: once more are open than this, it closes the
            // oldest idle one whenever a transfer ends.
            curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, long(idleConnections));
            // Without a wake-up channel (no file left for it) the thread must look by itself.
            canWake = curl_multi_wakeup(multi) == CURLM_OK;
        }
        ~Worker()
        {
            curl_multi_cleanup(multi);
            curl_share_cleanup(share);
        }
    };

    const HttpLimits limits;
    std::mutex mutex;
    bool shuttingDown = false;
    std::vector<std::unique_ptr<Worker>> workers;
    HttpSlots slots;
    HttpPrefetch prefetch;

    explicit Impl(HttpLimits caps) : limits(caps), slots(limits)
    {
        // The connections kept for reuse are shared out among the threads, at least one each.
        const int count = std::clamp(QThread::idealThreadCount(), 1,
                                     std::clamp(limits.idleConnections, 1, maxNetworkThreads));
        const int idle = std::max(limits.idleConnections, count);
        for (int i = 0; i < count; ++i)
            workers.push_back(std::make_unique<Worker>(idle / count + (i < idle % count ? 1 : 0)));
    }

    ~Impl() { stop(); }

    void stop()
    {
        std::vector<HttpTransfer*> queued;
        {
            std::lock_guard lock(mutex);
            if (shuttingDown && std::none_of(workers.begin(), workers.end(),
                                             [](const auto& w) { return w->thread.joinable(); }))
                return;
            shuttingDown = true;
            queued = slots.takeQueued();
            // Marked as ended here, so a stop request that comes meanwhile leaves them to us.
            for (HttpTransfer* transfer : queued)
                transfer->stage = HttpTransfer::Stage::ended;
        }
        for (HttpTransfer* transfer : queued)
            end(transfer, HttpTransfer::End::cancelled, CURLE_OK, false);
        for (auto& worker : workers) {
            curl_multi_wakeup(worker->multi);
            if (worker->thread.joinable())
                worker->thread.join();
        }
    }

    // Queues a transfer for its host's turn. False once shutting down.
    bool submit(HttpTransfer* transfer)
    {
        std::vector<Worker*> wake;
        {
            std::lock_guard lock(mutex);
            if (shuttingDown || transfer->cancelRequested)
                return false;
            queueLocked(transfer, wake);
        }
        for (Worker* worker : wake)
            curl_multi_wakeup(worker->multi);
        return true;
    }

    void queueLocked(HttpTransfer* transfer, std::vector<Worker*>& wake)
    {
        slots.queue(transfer);
        admitLocked(wake);
    }

    // Hands the transfers that fit the caps now to their hosts' network threads.
    void admitLocked(std::vector<Worker*>& wake)
    {
        while (HttpTransfer* transfer = slots.admitNext()) {
            transfer->worker = std::hash<std::string>{}(transfer->hostKey) % workers.size();
            Worker& worker = *workers[transfer->worker];
            worker.incoming.push_back(transfer);
            if (!worker.started) {
                worker.started = true;
                worker.thread = std::thread([this, &worker] { loop(worker); });
            }
            if (std::find(wake.begin(), wake.end(), &worker) == wake.end())
                wake.push_back(&worker);
        }
    }

    // Gives back the slot a transfer held for the host it ran to.
    void releaseLocked(const std::string& key, std::vector<Worker*>& wake)
    {
        slots.release(key);
        admitLocked(wake);
    }

    // Hands the transfer back to its owner. Nothing touches it after `finished` is set: the
    // owner of a blocking run may destroy it at once.
    void end(HttpTransfer* transfer, HttpTransfer::End how, CURLcode result, bool admitted)
    {
        if (transfer->end == HttpTransfer::End::running)
            transfer->end = how;
        transfer->result = result;
        // A stop that comes later must not reach the engine, which may be gone by then. (Called
        // from that very callback, this does not wait for it.)
        transfer->stopLink.reset();
        std::function<void()> onEnd = std::move(transfer->onEnd);
        std::vector<Worker*> wake;
        {
            std::lock_guard lock(mutex);
            if (admitted && !shuttingDown)
                releaseLocked(transfer->hostKey, wake);
            transfer->stage = HttpTransfer::Stage::ended;
            transfer->finished = true;
            transfer->changed.notify_all();
        }
        for (Worker* worker : wake)
            curl_multi_wakeup(worker->multi);
        if (onEnd)
            onEnd();
    }

    // Network thread: takes the transfer off this thread's multi handle.
    static void detach(Worker& worker, HttpTransfer* transfer, bool added)
    {
        if (added) {
            curl_multi_remove_handle(worker.multi, transfer->handle);
            worker.active.erase(std::find(worker.active.begin(), worker.active.end(), transfer));
        }
        if (transfer->handle)
            curl_easy_setopt(transfer->handle, CURLOPT_SHARE, nullptr);
    }

    // Network thread: detaches the transfer, then ends it.
    void finish(Worker& worker, HttpTransfer* transfer, HttpTransfer::End how, CURLcode result, bool added)
    {
        detach(worker, transfer, added);
        end(transfer, how, result, true);
    }

    // Network thread: a transfer redirected away from the host `from` gives back its slot there
    // and waits for one at its new host, its clocks stopped meanwhile.
    void requeue(Worker& worker, HttpTransfer* transfer, const std::string& from)
    {
        detach(worker, transfer, true);
        transfer->ranBefore += HttpTransfer::Clock::now() - transfer->started;
        std::vector<Worker*> wake;
        bool queued = false;
        {
            std::lock_guard lock(mutex);
            if (!shuttingDown) {
                releaseLocked(from, wake);
                queued = !transfer->cancelRequested;
                if (queued)
                    queueLocked(transfer, wake);
            }
        }
        for (Worker* other : wake)
            curl_multi_wakeup(other->multi);
        if (!queued)
            end(transfer, HttpTransfer::End::cancelled, CURLE_OK, false);
    }

    // A stop request: a transfer still waiting for its turn ends at once; a running one ends on
    // its network thread.
    void cancel(HttpTransfer* transfer)
    {
        bool wasQueued = false;
        CURLM* multi = nullptr;
        {
            std::lock_guard lock(mutex);
            if (transfer->stage == HttpTransfer::Stage::created) {
                transfer->cancelRequested = true; // submit() refuses it
            } else if (slots.withdraw(transfer)) {
                transfer->stage = HttpTransfer::Stage::ended;
                wasQueued = true;
            } else if (transfer->stage == HttpTransfer::Stage::admitted) {
                transfer->cancelRequested = true;
                multi = workers[transfer->worker]->multi;
            }
        }
        if (wasQueued)
            end(transfer, HttpTransfer::End::cancelled, CURLE_OK, false);
        else if (multi)
            curl_multi_wakeup(multi);
    }

    void loop(Worker& worker)
    {
        for (;;) {
            // Here rather than once: a thread started for the catalogue before the first check
            // is lowered as the check's transfers reach it.
            enterBackground();
            std::vector<HttpTransfer*> starting;
            std::vector<HttpTransfer*> cancelled;
            bool stopping = false;
            {
                std::lock_guard lock(mutex);
                stopping = shuttingDown;
                starting.assign(worker.incoming.begin(), worker.incoming.end());
                worker.incoming.clear();
                for (HttpTransfer* transfer : worker.active)
                    if (transfer->cancelRequested)
                        cancelled.push_back(transfer);
            }
            if (stopping) {
                for (HttpTransfer* transfer : starting)
                    finish(worker, transfer, HttpTransfer::End::cancelled, CURLE_OK, false);
                while (!worker.active.empty())
                    finish(worker, worker.active.front(), HttpTransfer::End::cancelled, CURLE_OK, true);
                return;
            }
            for (HttpTransfer* transfer : cancelled)
                finish(worker, transfer, HttpTransfer::End::cancelled, CURLE_OK, true);
            const auto now = HttpTransfer::Clock::now();
            for (HttpTransfer* transfer : starting) {
                if (transfer->setUp && !transfer->handle) {
                    bool ready = false;
                    try {
                        ready = transfer->setUp(*transfer);
                    } catch (...) {
                        transfer->callbackError = std::current_exception();
                    }
                    if (!ready) {
                        finish(worker, transfer, HttpTransfer::End::done, CURLE_FAILED_INIT, false);
                        continue;
                    }
                }
                transfer->started = now;
                transfer->lastActivity = now;
                curl_easy_setopt(transfer->handle, CURLOPT_SHARE, worker.share);
                curl_easy_setopt(transfer->handle, CURLOPT_PRIVATE, transfer);
                if (curl_multi_add_handle(worker.multi, transfer->handle) != CURLM_OK) {
                    finish(worker, transfer, HttpTransfer::End::done, CURLE_FAILED_INIT, false);
                    continue;
                }
                worker.active.push_back(transfer);
            }
            expire(worker, now);

            int stillRunning = 0;
            curl_multi_perform(worker.multi, &stillRunning);
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(worker.multi, &queued)) {
                if (message->msg != CURLMSG_DONE)
                    continue;
                HttpTransfer* transfer = nullptr;
                curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
                const CURLcode result = message->data.result;
                const std::string from = transfer->hostKey;
                if (httpoutcome::followRedirect(*transfer))
                    requeue(worker, transfer, from);
                else
                    finish(worker, transfer, HttpTransfer::End::done, result, true);
            }
            const bool idle = worker.active.empty() && worker.canWake;
            curl_multi_poll(worker.multi, nullptr, 0, idle ? std::numeric_limits<int>::max() : maxPollMs,
                            nullptr);
        }
    }

    // URLSession's request timeout counts from the last data received, so a long but steady
    // transfer never times out; the deadline bounds the whole transfer however steady it is.
    void expire(Worker& worker, HttpTransfer::Clock::time_point now)
    {
        std::vector<HttpTransfer*> expired;
        for (HttpTransfer* transfer : worker.active) {
            if (now - transfer->lastActivity > transfer->idleTimeout ||
                now - transfer->started + transfer->ranBefore > transfer->deadline)
                expired.push_back(transfer);
        }
        for (HttpTransfer* transfer : expired)
            finish(worker, transfer, HttpTransfer::End::timedOut, CURLE_OK, true);
    }
};

HttpEngine::HttpEngine(HttpLimits limits) : d(std::make_unique<Impl>(limits)) {}

HttpEngine::~HttpEngine() = default;

const HttpLimits& HttpEngine::limits() const
{
    return d->limits;
}

void HttpEngine::shutdown()
{
    d->prefetch.clear();
    d->stop();
}

HttpPrefetch& HttpEngine::prefetches()
{
    return d->prefetch;
}

void HttpEngine::start(HttpTransfer& transfer, const std::stop_token& stop, std::function<void()> onEnd)
{
    transfer.engineMutex = &d->mutex;
    transfer.onEnd = std::move(onEnd);
    // Linked before submitting, as the transfer may end (and be released) as soon as it is
    // submitted; a stop that comes first makes submit() refuse it.
    transfer.stopLink.emplace(stop, [this, &transfer] { d->cancel(&transfer); });
    if (!d->submit(&transfer))
        d->end(&transfer, HttpTransfer::End::cancelled, CURLE_OK, false);
}

void HttpEngine::run(HttpTransfer& transfer, const std::stop_token& stop)
{
    const HttpClient::ProgressHandler* progress = transfer.progress;
    transfer.engineMutex = &d->mutex;
    std::stop_callback onStop(stop, [this, &transfer] { d->cancel(&transfer); });
    if (!d->submit(&transfer))
        throw cancelledError();

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
                if (transfer.callbackError && transfer.stage == HttpTransfer::Stage::admitted) {
                    transfer.cancelRequested = true;
                    curl_multi_wakeup(d->workers[transfer.worker]->multi);
                }
            }
            continue;
        }
        if (transfer.finished)
            return;
    }
}

} // namespace norvelle
