// The requests of HttpClient that wait without a thread, and answers asked for ahead.

#include "platform/http/HttpClient.h"

#include "platform/http/HttpEngine.h"
#include "platform/http/HttpOutcome.h"
#include "platform/http/HttpPrefetch.h"
#include "util/Async.h"

#include <memory>

namespace norvelle {

using namespace httpoutcome;

namespace {

void deliverLater(HttpClient::ResponseHandler handler, std::exception_ptr error)
{
    networkPool().start([handler = std::move(handler), error] { handler({}, error); });
}

// A GET in flight without a waiting caller; it owns everything the network thread touches.
struct AsyncGet {
    QUrl url;
    QByteArray body;
    HttpTransfer transfer;
    std::unique_ptr<CURL, EasyDeleter> handle;
    HttpClient::ResponseHandler handler;
};

} // namespace

void HttpClient::startGet(const QUrl& url, ResponseHandler handler, const std::stop_token& stop) const
{
    auto request = std::make_shared<AsyncGet>();
    request->url = url;
    request->handler = std::move(handler);
    try {
        validate(url);
    } catch (...) {
        deliverLater(std::move(request->handler), std::current_exception());
        return;
    }
    request->transfer.body = &request->body;
    request->transfer.maxBytes = m_options.maxBodyBytes;
    request->transfer.deadline = m_options.deadline;
    request->transfer.hostKey = hostKey(url);
    // The libcurl handle (with its buffers) is made only when the request's turn comes, so
    // thousands of waiting requests cost little memory. Without the engine: the lambda may be
    // destroyed on a network thread, which must never end its own engine.
    Options settings = m_options;
    settings.engine = nullptr;
    request->transfer.setUp = [weak = std::weak_ptr<AsyncGet>(request), settings](HttpTransfer& transfer) {
        const std::shared_ptr<AsyncGet> owner = weak.lock();
        if (!owner)
            return false;
        owner->handle.reset(curl_easy_init());
        if (!owner->handle)
            throw HttpError(HttpError::Kind::transport, QStringLiteral("Could not start an HTTP request."));
        transfer.handle = owner->handle.get();
        prepare(settings, owner->url, transfer);
        return true;
    };
    // The network thread only signals the end; the answer is made on the pool, which also
    // keeps the handler's work off the network threads.
    m_options.engine->start(request->transfer, stop, [request] {
        networkPool().start([request] {
            request->transfer.stopLink.reset();
            HttpResponse response;
            std::exception_ptr error;
            try {
                response = conclude(request->url, request->transfer);
                response.body = std::move(request->body);
            } catch (...) {
                error = std::current_exception();
            }
            ResponseHandler deliver = std::move(request->handler);
            deliver(std::move(response), error);
        });
    });
}

void HttpClient::getAsync(const QUrl& url, ResponseHandler handler, std::stop_token stop) const
{
    if (m_options.engine->prefetches().take(url.toEncoded(), handler, stop))
        return;
    startGet(url, std::move(handler), stop);
}

void HttpClient::prefetch(const QUrl& url, HttpPrefetchBatch& batch,
                          std::function<void(const HttpResponse&)> arrived) const
{
    try {
        validate(url);
    } catch (const HttpError&) {
        return;
    }
    batch.use(m_options.engine);
    const std::shared_ptr<HttpPrefetch::Entry> entry =
        m_options.engine->prefetches().reserve(url.toEncoded(), &batch);
    if (!entry)
        return;
    startGet(
        url,
        [entry, arrived = std::move(arrived)](HttpResponse response, std::exception_ptr error) {
            if (arrived && !error)
                arrived(response);
            HttpPrefetch::complete(entry, std::move(response), error);
        },
        HttpPrefetch::stopToken(*entry));
}

} // namespace norvelle
