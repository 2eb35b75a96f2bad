#include "platform/http/HttpPrefetch.h"

#include "platform/http/HttpEngine.h"
#include "util/Async.h"

#include <algorithm>
#include <optional>

namespace norvelle {

struct HttpPrefetch::Entry {
    const HttpPrefetchBatch* owner = nullptr;
    std::stop_source requestStop;

    std::mutex mutex;
    bool done = false;
    HttpResponse response;
    std::exception_ptr error;
    Handler taker; // set once taken; called once, then cleared
    std::optional<std::stop_callback<std::function<void()>>> takerStop;
};

namespace {

using Entry = HttpPrefetch::Entry;

void deliver(HttpPrefetch::Handler handler, HttpResponse response, std::exception_ptr error)
{
    networkPool().start([handler = std::move(handler), response = std::move(response), error]() mutable {
        handler(std::move(response), error);
    });
}

std::exception_ptr cancelled()
{
    return std::make_exception_ptr(
        HttpError(HttpError::Kind::cancelled, QStringLiteral("The request was cancelled.")));
}

} // namespace

HttpPrefetch::HttpPrefetch() = default;

HttpPrefetch::~HttpPrefetch()
{
    clear();
}

std::shared_ptr<Entry> HttpPrefetch::reserve(const QByteArray& address, const HttpPrefetchBatch* owner)
{
    std::lock_guard lock(m_mutex);
    if (m_entries.contains(address))
        return nullptr;
    auto entry = std::make_shared<Entry>();
    entry->owner = owner;
    m_entries.insert(address, entry);
    return entry;
}

std::stop_token HttpPrefetch::stopToken(const Entry& entry)
{
    return entry.requestStop.get_token();
}

void HttpPrefetch::complete(const std::shared_ptr<Entry>& entry, HttpResponse response,
                            std::exception_ptr error)
{
    Handler taker;
    {
        std::lock_guard lock(entry->mutex);
        if (entry->done)
            return;
        entry->done = true;
        taker = std::move(entry->taker);
        if (!taker) {
            entry->response = std::move(response);
            entry->error = error;
            return;
        }
    }
    // Called on the request's own pool thread already.
    taker(std::move(response), error);
}

bool HttpPrefetch::take(const QByteArray& address, Handler handler, const std::stop_token& stop)
{
    std::shared_ptr<Entry> entry;
    {
        std::lock_guard lock(m_mutex);
        entry = m_entries.take(address);
    }
    if (!entry)
        return false;
    {
        std::unique_lock lock(entry->mutex);
        if (entry->done) {
            HttpResponse response = std::move(entry->response);
            const std::exception_ptr error = entry->error;
            lock.unlock();
            deliver(std::move(handler), std::move(response), error);
            return true;
        }
        entry->taker = std::move(handler);
    }
    // A taker that stops waiting gets its cancellation now; the answer is dropped when it comes.
    std::weak_ptr<Entry> weak = entry;
    auto onStop = [weak] {
        const std::shared_ptr<Entry> stopped = weak.lock();
        if (!stopped)
            return;
        Handler taker;
        {
            std::lock_guard lock(stopped->mutex);
            if (stopped->done)
                return;
            stopped->done = true;
            taker = std::move(stopped->taker);
        }
        stopped->requestStop.request_stop();
        if (taker)
            deliver(std::move(taker), {}, cancelled());
    };
    // Outside the entry's lock: a token stopped already runs onStop right here.
    entry->takerStop.emplace(stop, std::function<void()>(onStop));
    return true;
}

void HttpPrefetch::dropIf(const std::function<bool(const Entry&)>& match)
{
    std::vector<std::shared_ptr<Entry>> dropped;
    {
        std::lock_guard lock(m_mutex);
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            if (match(*it.value())) {
                dropped.push_back(it.value());
                it = m_entries.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto& entry : dropped)
        entry->requestStop.request_stop();
}

void HttpPrefetch::release(const HttpPrefetchBatch* owner)
{
    dropIf([owner](const Entry& entry) { return entry.owner == owner; });
}

void HttpPrefetch::clear()
{
    dropIf([](const Entry&) { return true; });
}

HttpPrefetchBatch::~HttpPrefetchBatch()
{
    for (const auto& engine : m_engines)
        engine->prefetches().release(this);
}

void HttpPrefetchBatch::use(const std::shared_ptr<HttpEngine>& engine)
{
    std::lock_guard lock(m_mutex);
    if (std::find(m_engines.begin(), m_engines.end(), engine) == m_engines.end())
        m_engines.push_back(engine);
}

} // namespace norvelle
