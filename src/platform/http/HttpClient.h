#pragma once

#include "util/Error.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <stop_token>

namespace norvelle {

// A transport failure: the request never produced an HTTP answer. HTTP status
// codes, 4xx and 5xx included, are answers and come back in HttpResponse.
class HttpError : public Error {
public:
    enum class Kind { invalidUrl, timeout, transport, cancelled, file, tooLarge };
    HttpError(Kind kind, const QString& description) : Error(description), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

struct HttpResponse {
    int statusCode = 0;
    QByteArray body;
    QUrl url; // the final address, after redirects
    QList<QPair<QByteArray, QByteArray>> headers;

    // The first header of that name, compared without case; empty when absent.
    QByteArray header(const QByteArray& name) const;
};

class HttpEngine;
class HttpPrefetchBatch;
struct HttpTransfer;

// HTTP over libcurl, blocking (called from worker threads) or with a completion handler; one
// client may serve many threads at once. Only http and https addresses are fetched (redirects
// included, at most 10 of them; a redirect that leaves https is refused), compressed answers are
// decoded, and no headers are added beyond the user agent and the accepted encodings. The timeout is an idle
// timeout: it ends a request that receives nothing for that long (connecting included), however long a
// steadily flowing transfer takes; the deadline ends it however steady it is. An answer
// larger than its limit, counted after decompression, ends with Kind::tooLarge before it
// is held in full. Cancelling the stop token ends a running request within a fraction of
// a second with HttpError::Kind::cancelled.
//
// The transfers run on an HttpEngine's network thread; clients given the same engine
// share its connections, TLS sessions and CA store.
class HttpClient {
public:
    struct Options {
        std::chrono::milliseconds timeout{std::chrono::seconds(60)};
        QString caFile{}; // the trusted CA bundle in place of the system's; empty for the system's
        QByteArray userAgent{"Norvelle"};
        qint64 maxBodyBytes = qint64(16) << 20;    // get
        qint64 maxDownloadBytes = qint64(8) << 30; // download, when the server names no length
        std::chrono::milliseconds deadline{std::chrono::minutes(10)};      // get
        std::chrono::milliseconds downloadDeadline{std::chrono::hours(4)}; // download
        std::shared_ptr<HttpEngine> engine{};                              // none: the client runs its own
    };

    using ProgressHandler = std::function<void(qint64 received, qint64 expected)>;
    // The answer, or the HttpError (or other error) that get() would have thrown.
    using ResponseHandler = std::function<void(HttpResponse response, std::exception_ptr error)>;

    HttpClient();
    explicit HttpClient(Options options);
    virtual ~HttpClient();

    const Options& options() const { return m_options; }

    // Sees the body of an answer while it arrives, on the network thread: quick, and never throws.
    using BodyObserver = std::function<void(QByteArrayView piece)>;

    // GET the address and return its answer; throws HttpError when no answer came. The observer,
    // when given, sees the final answer's body (decoded, never a redirect's) as it is collected,
    // each piece once and in order, so the caller can read it before the last byte; an answer
    // taken over from a prefetch is not observed.
    virtual HttpResponse get(const QUrl& url, std::stop_token stop = {},
                             const BodyObserver& observer = {}) const;

    // get() without a waiting thread: returns at once, and the handler receives the outcome
    // exactly once, on a thread of networkPool() (never inside this call), where it may do
    // some work but must not wait for other work of that pool.
    virtual void getAsync(const QUrl& url, ResponseHandler handler, std::stop_token stop = {}) const;

    // Starts a GET of the address now, for the first later get() or getAsync() of the same
    // address through any client of this engine, which then takes this answer instead of
    // asking again. Nothing happens for an address that is already waiting to be taken or
    // that get() would refuse. The answer, untaken, is dropped with the batch. `arrived`, when
    // given, sees a successful answer first, on a thread of networkPool().
    void prefetch(const QUrl& url, HttpPrefetchBatch& batch,
                  std::function<void(const HttpResponse&)> arrived = {}) const;

    // GET the address into a file (the body of the returned response stays empty),
    // reporting progress on the calling thread each time bytes arrive; expected is -1
    // when the server names no length. The file appears, complete, only when the answer
    // has fully arrived (whatever its status); after an error nothing is left behind. It is
    // not flushed to the disk: what is downloaded is unpacked and thrown away.
    // No compressed answer is asked for, so received and expected count the same bytes;
    // an answer longer than it announced ends with Kind::tooLarge.
    virtual HttpResponse download(const QUrl& url, const QString& filePath, ProgressHandler progress,
                                  std::stop_token stop = {}) const;

private:
    static void prepare(const Options& options, const QUrl& url, HttpTransfer& transfer);
    HttpResponse perform(const QUrl& url, HttpTransfer& transfer, const std::stop_token& stop) const;
    void startGet(const QUrl& url, ResponseHandler handler, const std::stop_token& stop) const;

    Options m_options;
};

} // namespace norvelle
