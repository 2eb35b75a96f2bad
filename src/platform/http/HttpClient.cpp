#include "platform/http/HttpClient.h"

#include "platform/http/HttpEngine.h"
#include "platform/http/HttpPrefetch.h"
#include "platform/http/HttpTransfer.h"
#include "util/Async.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <future>
#include <memory>
#include <mutex>

namespace norvelle {

namespace {

using End = HttpTransfer::End;

constexpr long maxRedirects = 10;
constexpr qint64 maxHeaderBytes = qint64(1) << 20;

void ensureCurlInitialised()
{
    // curl_global_init is not thread-safe itself, and clients are made on many threads.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

// The callbacks run on the network thread. Nothing may throw out of them into libcurl, so
// every allocation sits in a try block and a failure ends the transfer with its reason.

void reportProgress(HttpTransfer& t, qint64 expected)
{
    std::lock_guard lock(*t.engineMutex);
    t.progressReceived = t.received;
    t.progressExpected = expected;
    t.progressPending = true;
    t.changed.notify_all();
}

size_t onBody(char* data, size_t size, size_t count, void* user) noexcept
{
    auto* t = static_cast<HttpTransfer*>(user);
    const auto bytes = qint64(size * count);
    t->lastActivity = HttpTransfer::Clock::now();
    if (bytes > t->maxBytes - t->received) {
        t->end = End::tooLarge;
        return 0; // makes libcurl stop with a write error
    }
    t->received += bytes;
    try {
        if (t->body) {
            t->body->append(data, qsizetype(bytes));
            return size_t(bytes);
        }
        errno = 0;
        if (t->file->write(data, bytes) != bytes) {
            // The file is unbuffered, so this is the system's own reason (a full disk, say);
            // QFileDevice would only say "Unknown error".
            t->fileErrno = errno;
            t->end = End::fileFailed;
            return 0;
        }
    } catch (...) {
        t->end = End::outOfMemory;
        return 0;
    }
    curl_off_t length = -1;
    curl_easy_getinfo(t->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (length >= 0 && t->received > qint64(length)) {
        t->end = End::tooLarge;
        return 0;
    }
    if (bytes > 0 && t->progress)
        reportProgress(*t, length >= 0 ? qint64(length) : -1);
    return size_t(bytes);
}

size_t onHeader(char* data, size_t size, size_t count, void* user) noexcept
{
    auto* t = static_cast<HttpTransfer*>(user);
    const size_t bytes = size * count;
    t->lastActivity = HttpTransfer::Clock::now();
    t->headerBytes += qint64(bytes);
    if (t->headerBytes > maxHeaderBytes) {
        t->end = End::tooLarge;
        return 0;
    }
    try {
        const QByteArray line = QByteArray(data, qsizetype(bytes)).trimmed();
        if (line.startsWith("HTTP/")) {
            // A new response begins (after a redirect or an interim 1xx): keep only the last one's headers.
            t->headers.clear();
            t->headerBytes = qint64(bytes);
        } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
            t->headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
    } catch (...) {
        t->end = End::outOfMemory;
        return 0;
    }
    return bytes;
}

[[noreturn]] void throwInvalidUrl(const QUrl& url)
{
    throw HttpError(HttpError::Kind::invalidUrl,
                    QStringLiteral("Unsupported URL: \"%1\" is not an http or https address.")
                        .arg(url.toDisplayString()));
}

void validate(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https") || url.host().isEmpty())
        throwInvalidUrl(url);
}

// Checks a CURLcode from curl_easy_setopt; a failure here is a broken build, not a network fault.
void check(CURLcode code)
{
    if (code != CURLE_OK)
        throw HttpError(HttpError::Kind::transport, QString::fromUtf8(curl_easy_strerror(code)));
}

QString curlText(const HttpTransfer& transfer)
{
    return transfer.errorText[0] ? QString::fromUtf8(transfer.errorText)
                                 : QString::fromUtf8(curl_easy_strerror(transfer.result));
}

bool isHttps(const QUrl& url)
{
    return url.scheme().compare(u"https", Qt::CaseInsensitive) == 0;
}

// What the connection caps count as one host.
std::string hostKey(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    const int port = url.port(scheme == u"https" ? 443 : 80);
    return (scheme + QStringLiteral("://") + url.host().toLower() + u':' + QString::number(port)).toStdString();
}

QString fileError(const HttpTransfer& transfer)
{
    return transfer.fileErrno != 0 ? qt_error_string(transfer.fileErrno) : transfer.file->errorString();
}

// Turns an ended transfer into its answer, or throws what went wrong.
HttpResponse conclude(const QUrl& url, HttpTransfer& transfer)
{
    if (transfer.callbackError)
        std::rethrow_exception(transfer.callbackError);
    switch (transfer.end) {
    case End::cancelled:
        throw HttpError(HttpError::Kind::cancelled, QStringLiteral("The request was cancelled."));
    case End::timedOut:
        throw HttpError(HttpError::Kind::timeout, QStringLiteral("The request timed out."));
    case End::tooLarge:
        throw HttpError(HttpError::Kind::tooLarge,
                        QStringLiteral("The answer from %1 is larger than this request accepts.")
                            .arg(url.host()));
    case End::outOfMemory:
        throw HttpError(HttpError::Kind::transport,
                        QStringLiteral("Not enough memory for the answer from %1.").arg(url.host()));
    case End::fileFailed:
        throw HttpError(HttpError::Kind::file, QStringLiteral("Could not write \"%1\": %2")
                                                   .arg(transfer.file->fileName(), fileError(transfer)));
    case End::running:
    case End::done:
        break;
    }
    CURL* h = transfer.handle;
    if (transfer.result == CURLE_OPERATION_TIMEDOUT)
        throw HttpError(HttpError::Kind::timeout, QStringLiteral("The request timed out."));
    // Only a redirect gets here (the first address was checked): it led outside http(s), or
    // away from https.
    if (transfer.result == CURLE_URL_MALFORMAT || transfer.result == CURLE_UNSUPPORTED_PROTOCOL) {
        // The refused address is the Location of the last answer, which libcurl does not follow.
        QByteArray location;
        for (const auto& [name, value] : transfer.headers)
            if (name.compare("Location", Qt::CaseInsensitive) == 0)
                location = value;
        char* last = nullptr;
        curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &last);
        const QUrl from = last ? QUrl::fromEncoded(QByteArray(last)) : url;
        const QUrl target = from.resolved(QUrl::fromEncoded(location));
        if (isHttps(url) && !location.isEmpty() && target.scheme().compare(u"https", Qt::CaseInsensitive) != 0)
            throw HttpError(HttpError::Kind::invalidUrl,
                            QStringLiteral("Refused the redirect from %1 to %2: it leaves https.")
                                .arg(from.toDisplayString(), target.toDisplayString()));
        throw HttpError(HttpError::Kind::invalidUrl, curlText(transfer));
    }
    if (transfer.result != CURLE_OK)
        throw HttpError(HttpError::Kind::transport, curlText(transfer));

    HttpResponse response;
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    char* effectiveUrl = nullptr;
    curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effectiveUrl);
    response.statusCode = int(status);
    response.url = effectiveUrl ? QUrl::fromEncoded(QByteArray(effectiveUrl)) : url;
    response.headers = std::move(transfer.headers);
    return response;
}

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

QByteArray HttpResponse::header(const QByteArray& name) const
{
    for (const auto& [key, value] : headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return {};
}

HttpClient::HttpClient() : HttpClient(Options{}) {}

HttpClient::HttpClient(Options options) : m_options(std::move(options))
{
    ensureCurlInitialised();
    if (!m_options.engine)
        m_options.engine = std::make_shared<HttpEngine>();
}

HttpClient::~HttpClient() = default;

void HttpClient::prepare(const QUrl& url, HttpTransfer& transfer) const
{
    CURL* h = transfer.handle;
    transfer.idleTimeout = m_options.timeout;
    transfer.hostKey = hostKey(url);

    const QByteArray encodedUrl = url.toEncoded();
    const QByteArray caFile = QFile::encodeName(m_options.caFile);

    check(curl_easy_setopt(h, CURLOPT_URL, encodedUrl.constData()));
    check(curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L));
    check(curl_easy_setopt(h, CURLOPT_ERRORBUFFER, transfer.errorText));
#if LIBCURL_VERSION_NUM >= 0x075500
    check(curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https"));
    // Once on https, a redirect may not fall back to plain http: the answer would no longer
    // come from whom the address named.
    check(curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, isHttps(url) ? "https" : "http,https"));
#else
    check(curl_easy_setopt(h, CURLOPT_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS)));
    check(curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS,
                           isHttps(url) ? long(CURLPROTO_HTTPS) : long(CURLPROTO_HTTP | CURLPROTO_HTTPS)));
#endif
    check(curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L));
    check(curl_easy_setopt(h, CURLOPT_MAXREDIRS, maxRedirects));
    check(curl_easy_setopt(h, CURLOPT_USERAGENT, m_options.userAgent.constData()));
    // HTTP/2 where the server offers it; requests to a host whose connection is still being set
    // up wait to share it rather than each opening one of their own.
    check(curl_easy_setopt(h, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS)));
    if (isHttps(url))
        check(curl_easy_setopt(h, CURLOPT_PIPEWAIT, 1L));
    // A download reports progress against Content-Length, which counts the bytes on the
    // wire; asking for a compressed answer there would make the two disagree.
    if (transfer.body)
        check(curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, ""));
    if (!caFile.isEmpty())
        check(curl_easy_setopt(h, CURLOPT_CAINFO, caFile.constData()));
    // The bundle file alone: libcurl keeps a parsed store across handshakes only when no CA
    // folder is configured (Debian's build names one), and parsing some 150 certificates again
    // for every connection costs more CPU than the rest of the request.
    check(curl_easy_setopt(h, CURLOPT_CAPATH, nullptr));
#if LIBCURL_VERSION_NUM >= 0x075700
    check(curl_easy_setopt(h, CURLOPT_CA_CACHE_TIMEOUT, 3600L));
#endif
    check(curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(m_options.timeout.count())));
    check(curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &onBody));
    check(curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer));
    check(curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &onHeader));
    check(curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer));
}

HttpResponse HttpClient::perform(const QUrl& url, HttpTransfer& transfer, const std::stop_token& stop) const
{
    validate(url);
    if (stop.stop_requested())
        throw HttpError(HttpError::Kind::cancelled, QStringLiteral("The request was cancelled."));
    std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
    if (!handle)
        throw HttpError(HttpError::Kind::transport, QStringLiteral("Could not start an HTTP request."));
    transfer.handle = handle.get();
    prepare(url, transfer);
    m_options.engine->run(transfer, stop);
    return conclude(url, transfer);
}

void HttpClient::startGet(const QUrl& url, ResponseHandler handler, const std::stop_token& stop) const
{
    auto request = std::make_shared<AsyncGet>();
    request->url = url;
    request->handler = std::move(handler);
    try {
        validate(url);
        request->handle.reset(curl_easy_init());
        if (!request->handle)
            throw HttpError(HttpError::Kind::transport, QStringLiteral("Could not start an HTTP request."));
        request->transfer.handle = request->handle.get();
        request->transfer.body = &request->body;
        request->transfer.maxBytes = m_options.maxBodyBytes;
        request->transfer.deadline = m_options.deadline;
        prepare(url, request->transfer);
    } catch (...) {
        deliverLater(std::move(request->handler), std::current_exception());
        return;
    }
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

HttpResponse HttpClient::get(const QUrl& url, std::stop_token stop) const
{
    std::promise<HttpResponse> prefetched;
    const auto handOver = [&prefetched](HttpResponse response, std::exception_ptr error) {
        if (error)
            prefetched.set_exception(error);
        else
            prefetched.set_value(std::move(response));
    };
    if (m_options.engine->prefetches().take(url.toEncoded(), handOver, stop))
        return prefetched.get_future().get();

    QByteArray body;
    HttpTransfer transfer;
    transfer.body = &body;
    transfer.maxBytes = m_options.maxBodyBytes;
    transfer.deadline = m_options.deadline;
    HttpResponse response = perform(url, transfer, stop);
    response.body = std::move(body);
    return response;
}

HttpResponse HttpClient::download(const QUrl& url, const QString& filePath, ProgressHandler progress,
                                  std::stop_token stop) const
{
    validate(url);
    // Written beside the target and renamed on success, so a failed or cancelled
    // download never leaves a truncated file where a complete one is expected.
    QSaveFile file(filePath);
    // Unbuffered, so a failed write is seen (with its reason) when it happens.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw HttpError(HttpError::Kind::file,
                        QStringLiteral("Could not write \"%1\": %2").arg(filePath, file.errorString()));
    HttpTransfer transfer;
    transfer.file = &file;
    transfer.progress = &progress;
    transfer.maxBytes = m_options.maxDownloadBytes;
    transfer.deadline = m_options.downloadDeadline;
    HttpResponse response = perform(url, transfer, stop);
    if (!file.commit())
        throw HttpError(HttpError::Kind::file,
                        QStringLiteral("Could not write \"%1\": %2").arg(filePath, file.errorString()));
    return response;
}

} // namespace norvelle
