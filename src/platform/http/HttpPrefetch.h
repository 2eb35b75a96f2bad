#pragma once

#include "platform/http/HttpClient.h"

#include <QByteArray>
#include <QHash>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <vector>

namespace norvelle {

class HttpPrefetchBatch;

// The answers an engine's clients asked for ahead of their use (HttpClient::prefetch): the first
// later GET of the same address through any client of the engine takes the answer, arrived or
// still on its way, instead of asking again. An answer that nobody takes is dropped with its
// batch. Thread-safe.
class HttpPrefetch {
public:
    using Handler = HttpClient::ResponseHandler;
    struct Entry;

    HttpPrefetch();
    ~HttpPrefetch();
    HttpPrefetch(const HttpPrefetch&) = delete;
    HttpPrefetch& operator=(const HttpPrefetch&) = delete;

    // A new entry for the address, or none when one is already waiting to be taken.
    std::shared_ptr<Entry> reserve(const QByteArray& address, const HttpPrefetchBatch* owner);
    // What the request of a reserved entry is stopped by.
    static std::stop_token stopToken(const Entry& entry);
    // The request's outcome; handed to the taker, now or once it takes it.
    static void complete(const std::shared_ptr<Entry>& entry, HttpResponse response,
                         std::exception_ptr error);

    // Takes the entry for the address: false when there is none. Otherwise the handler gets its
    // outcome exactly once, on a thread of networkPool(), or HttpError::Kind::cancelled when the
    // taker's token is stopped first.
    bool take(const QByteArray& address, Handler handler, const std::stop_token& stop);

    // Drops the entries of the owner (all of them) that nobody took, cancelling their requests.
    void release(const HttpPrefetchBatch* owner);
    void clear();

private:
    void dropIf(const std::function<bool(const Entry&)>& match);

    std::mutex m_mutex;
    QHash<QByteArray, std::shared_ptr<Entry>> m_entries;
};

// One owner's answers asked for ahead. Destroying it drops those nobody took.
class HttpPrefetchBatch {
public:
    HttpPrefetchBatch() = default;
    ~HttpPrefetchBatch();
    HttpPrefetchBatch(const HttpPrefetchBatch&) = delete;
    HttpPrefetchBatch& operator=(const HttpPrefetchBatch&) = delete;

    // The client's engine, remembered so its entries of this batch can be dropped.
    void use(const std::shared_ptr<HttpEngine>& engine);

private:
    std::mutex m_mutex;
    std::vector<std::shared_ptr<HttpEngine>> m_engines;
};

} // namespace norvelle
