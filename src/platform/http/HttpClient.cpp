#include "platform/http/HttpClient.h"

#include <QFile>
#include <QSaveFile>
#include <curl/curl.h>

#include <exception>
#include <memory>
#include <mutex>

namespace norvelle {

namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr long maxRedirects = 10;

void ensureCurlInitialised()
{
    // curl_global_init is not thread-safe itself, and requests start on many threads.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

// Everything one request shares with the libcurl callbacks; lives on the caller's stack.
struct Transfer {
    CURL* handle = nullptr;
    std::chrono::milliseconds timeout{};
    std::stop_token stop;
    SteadyClock::time_point lastActivity = SteadyClock::now();
    bool timedOut = false;
    bool cancelled = false;

    QByteArray* body = nullptr; // get: the body in memory
    QSaveFile* file = nullptr;  // download: the body on disk
    bool fileFailed = false;
    const HttpClient::ProgressHandler* progress = nullptr;
    qint64 received = 0;
    std::exception_ptr callbackError;

    QList<QPair<QByteArray, QByteArray>> headers;
};

size_t onBody(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    t->lastActivity = SteadyClock::now();
    if (t->body) {
        t->body->append(data, qsizetype(bytes));
        return bytes;
    }
    if (t->file->write(data, qint64(bytes)) != qint64(bytes)) {
        t->fileFailed = true;
        return 0; // makes libcurl stop with a write error
    }
    t->received += qint64(bytes);
    if (bytes > 0 && t->progress && *t->progress) {
        curl_off_t length = -1;
        curl_easy_getinfo(t->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
        // A server that sends more than it announced must not push progress past the end.
        const qint64 expected = length >= 0 ? std::max(qint64(length), t->received) : -1;
        try {
            (*t->progress)(t->received, expected);
        } catch (...) {
            t->callbackError = std::current_exception();
            return 0;
        }
    }
    return bytes;
}

size_t onHeader(char* data, size_t size, size_t count, void* user)
{
    auto* t = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    t->lastActivity = SteadyClock::now();
    const QByteArray line = QByteArray(data, qsizetype(bytes)).trimmed();
    if (line.startsWith("HTTP/")) {
        // A new response begins (after a redirect or an interim 1xx): keep only the last one's headers.
        t->headers.clear();
    } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
        t->headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }
    return bytes;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    auto* t = static_cast<Transfer*>(user);
    if (t->stop.stop_requested()) {
        t->cancelled = true;
        return 1;
    }
    // URLSession's request timeout counts from the last data received, not from the start,
    // so a long but steady transfer never times out.
    if (SteadyClock::now() - t->lastActivity > t->timeout) {
        t->timedOut = true;
        return 1;
    }
    return 0;
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

void perform(const HttpClient::Options& options, const QUrl& url, Transfer& transfer,
             const std::stop_token& stop, HttpResponse& response)
{
    validate(url);
    if (stop.stop_requested())
        throw HttpError(HttpError::Kind::cancelled, QStringLiteral("The request was cancelled."));

    std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
    if (!handle)
        throw HttpError(HttpError::Kind::transport, QStringLiteral("Could not start an HTTP request."));
    CURL* h = handle.get();
    transfer.handle = h;
    transfer.timeout = options.timeout;
    transfer.stop = stop;

    std::unique_ptr<curl_slist, SlistDeleter> headers(curl_slist_append(nullptr, "Cache-Control: no-cache"));
    char errorText[CURL_ERROR_SIZE] = {};
    const QByteArray encodedUrl = url.toEncoded();
    const QByteArray caFile = QFile::encodeName(options.caFile);

    check(curl_easy_setopt(h, CURLOPT_URL, encodedUrl.constData()));
    check(curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L));
    check(curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorText));
#if LIBCURL_VERSION_NUM >= 0x075500
    check(curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https"));
    check(curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"));
#else
    check(curl_easy_setopt(h, CURLOPT_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS)));
    check(curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS)));
#endif
    check(curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L));
    check(curl_easy_setopt(h, CURLOPT_MAXREDIRS, maxRedirects));
    check(curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get()));
    check(curl_easy_setopt(h, CURLOPT_USERAGENT, options.userAgent.constData()));
    // A download reports progress against Content-Length, which counts the bytes on the
    // wire; asking for a compressed answer there would make the two disagree.
    if (transfer.body)
        check(curl_easy_setopt(h, CURLOPT_ACCEPT_ENCODING, ""));
    if (!caFile.isEmpty())
        check(curl_easy_setopt(h, CURLOPT_CAINFO, caFile.constData()));
    check(curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(options.timeout.count())));
    check(curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &onBody));
    check(curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer));
    check(curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &onHeader));
    check(curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer));
    check(curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &onProgress));
    check(curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer));
    check(curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L));

    transfer.lastActivity = SteadyClock::now();
    const CURLcode result = curl_easy_perform(h);

    if (transfer.callbackError)
        std::rethrow_exception(transfer.callbackError);
    if (transfer.cancelled)
        throw HttpError(HttpError::Kind::cancelled, QStringLiteral("The request was cancelled."));
    if (transfer.timedOut || result == CURLE_OPERATION_TIMEDOUT)
        throw HttpError(HttpError::Kind::timeout, QStringLiteral("The request timed out."));
    if (transfer.fileFailed)
        throw HttpError(HttpError::Kind::file,
                        QStringLiteral("Could not write \"%1\": %2")
                            .arg(transfer.file->fileName(), transfer.file->errorString()));
    if (result == CURLE_URL_MALFORMAT || result == CURLE_UNSUPPORTED_PROTOCOL) {
        // Only a redirect gets here (the first address was checked): it led outside http(s).
        throw HttpError(HttpError::Kind::invalidUrl, errorText[0]
                                                         ? QString::fromUtf8(errorText)
                                                         : QString::fromUtf8(curl_easy_strerror(result)));
    }
    if (result != CURLE_OK)
        throw HttpError(HttpError::Kind::transport, errorText[0]
                                                        ? QString::fromUtf8(errorText)
                                                        : QString::fromUtf8(curl_easy_strerror(result)));

    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    char* effectiveUrl = nullptr;
    curl_easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effectiveUrl);
    response.statusCode = int(status);
    response.url = effectiveUrl ? QUrl::fromEncoded(QByteArray(effectiveUrl)) : url;
    response.headers = std::move(transfer.headers);
}

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
}

HttpClient::~HttpClient() = default;

HttpResponse HttpClient::get(const QUrl& url, std::stop_token stop) const
{
    HttpResponse response;
    Transfer transfer;
    transfer.body = &response.body;
    perform(m_options, url, transfer, stop, response);
    return response;
}

HttpResponse HttpClient::download(const QUrl& url, const QString& filePath, ProgressHandler progress,
                                  std::stop_token stop) const
{
    validate(url);
    // Written beside the target and renamed on success, so a failed or cancelled
    // download never leaves a truncated file where a complete one is expected.
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        throw HttpError(HttpError::Kind::file,
                        QStringLiteral("Could not write \"%1\": %2").arg(filePath, file.errorString()));
    HttpResponse response;
    Transfer transfer;
    transfer.file = &file;
    transfer.progress = &progress;
    perform(m_options, url, transfer, stop, response);
    if (!file.commit())
        throw HttpError(HttpError::Kind::file,
                        QStringLiteral("Could not write \"%1\": %2").arg(filePath, file.errorString()));
    return response;
}

} // namespace norvelle
