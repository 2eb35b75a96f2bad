#include "platform/http/HttpClient.h"

#include "platform/http/HttpEngine.h"
#include "platform/http/HttpOutcome.h"
#include "platform/http/HttpPrefetch.h"
#include "platform/http/HttpTransfer.h"

#include <QFile>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <memory>
#include <mutex>
#include <sys/socket.h>
#include <unistd.h>

namespace norvelle {

namespace {

using End = HttpTransfer::End;
using namespace httpoutcome;

constexpr qint64 maxHeaderBytes = qint64(1) << 20;

void ensureCurlInitialised()
{
    // curl_global_init is not thread-safe itself, and clients are made on many threads.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

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
            if (t->body->isEmpty()) {
                // Sized once from the announced length (counted before decompression, so only a
                // hint): growing a 13 MB answer piece by piece copied it again and again on the
                // network thread.
                curl_off_t announced = -1;
                curl_easy_getinfo(t->handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &announced);
                if (announced > 0)
                    t->body->reserve(qsizetype(std::min<qint64>(announced, t->maxBytes)));
            }
            t->body->append(data, qsizetype(bytes));
            if (t->bodyObserver)
                (*t->bodyObserver)(QByteArrayView(data, qsizetype(bytes)));
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

// Where the redirect whose head has come leads: its Location resolved against the address that
// answered, as libcurl resolves it when it follows redirects itself. A Location that cannot be
// resolved is kept as it came, so the request ends with a refusal that names it rather than with
// the redirect's body: one of a scheme libcurl does not know (itms-apps:, mailto:) as leading
// elsewhere, any other as unreadable. Empty when there is no Location.
void findRedirectTarget(HttpTransfer& t)
{
    const auto location = std::find_if(t.headers.cbegin(), t.headers.cend(), [](const auto& h) {
        return h.first.compare("Location", Qt::CaseInsensitive) == 0;
    });
    if (location == t.headers.cend() || location->second.isEmpty())
        return;
    char* answered = nullptr;
    curl_easy_getinfo(t.handle, CURLINFO_EFFECTIVE_URL, &answered);
    CURLU* url = curl_url();
    char* target = nullptr;
    if (url && answered && curl_url_set(url, CURLUPART_URL, answered, 0) == CURLUE_OK &&
        curl_url_set(url, CURLUPART_URL, location->second.constData(), CURLU_ALLOW_SPACE) == CURLUE_OK &&
        curl_url_get(url, CURLUPART_URL, &target, 0) == CURLUE_OK) {
        t.redirectTarget = target;
    } else {
        t.redirectTarget = location->second;
        const QString scheme = QUrl::fromEncoded(location->second).scheme().toLower();
        t.redirectUnreadable = scheme.isEmpty() || scheme == u"http" || scheme == u"https";
    }
    curl_free(target);
    curl_url_cleanup(url);
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
            t->redirectTarget.clear();
            t->redirectUnreadable = false;
        } else if (line.isEmpty()) {
            // The head is complete: a redirect with somewhere to go is followed, not answered.
            long status = 0;
            curl_easy_getinfo(t->handle, CURLINFO_RESPONSE_CODE, &status);
            if (status == 301 || status == 302 || status == 303 || status == 307 || status == 308)
                findRedirectTarget(*t);
            // Its body is not the answer, so it is not read: of any size, labelled with an encoding
            // it is not in, or cut short, it must not decide the request. Ending the transfer here
            // leaves it unread, and libcurl closes the connection it was coming on.
            if (!t->redirectTarget.isEmpty())
                return 0;
        } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
            t->headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
        }
    } catch (...) {
        t->end = End::outOfMemory;
        return 0;
    }
    return bytes;
}

// Opens the sockets of new connections, to learn why one could not be had; close-on-exec, so
// the tools we start never hold our connections open.
curl_socket_t openSocket(void* user, curlsocktype, curl_sockaddr* address) noexcept
{
    int type = address->socktype;
#ifdef SOCK_CLOEXEC
    type |= SOCK_CLOEXEC;
#endif
    const curl_socket_t socket = ::socket(address->family, type, address->protocol);
    if (socket == CURL_SOCKET_BAD)
        static_cast<HttpTransfer*>(user)->socketErrno = errno;
    return socket;
}

// Checks a CURLcode from curl_easy_setopt; a failure here is a broken build, not a network fault.
void check(CURLcode code)
{
    if (code != CURLE_OK)
        throw HttpError(HttpError::Kind::transport, QString::fromUtf8(curl_easy_strerror(code)));
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
    if (!m_options.engine)
        m_options.engine = std::make_shared<HttpEngine>();
}

HttpClient::~HttpClient() = default;

void HttpClient::prepare(const Options& options, const QUrl& url, HttpTransfer& transfer)
{
    CURL* h = transfer.handle;
    transfer.idleTimeout = options.timeout;
    check(aim(transfer, url));

    const QByteArray caFile = QFile::encodeName(options.caFile);

    check(curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L));
    check(curl_easy_setopt(h, CURLOPT_ERRORBUFFER, transfer.errorText));
#if LIBCURL_VERSION_NUM >= 0x075500
    check(curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https"));
#else
    check(curl_easy_setopt(h, CURLOPT_PROTOCOLS, long(CURLPROTO_HTTP | CURLPROTO_HTTPS)));
#endif
    // The engine follows redirects itself (HttpEngine), so each hop waits for a connection slot
    // at the host it goes to.
    check(curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L));
    check(curl_easy_setopt(h, CURLOPT_USERAGENT, options.userAgent.constData()));
    // HTTP/2 where the server offers it.
    check(curl_easy_setopt(h, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS)));
    check(curl_easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, &openSocket));
    check(curl_easy_setopt(h, CURLOPT_OPENSOCKETDATA, &transfer));
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
    check(curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(options.timeout.count())));
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
    prepare(m_options, url, transfer);
    m_options.engine->run(transfer, stop);
    return conclude(url, transfer);
}

HttpResponse HttpClient::get(const QUrl& url, std::stop_token stop, const BodyObserver& observer) const
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
    transfer.bodyObserver = observer ? &observer : nullptr;
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
    const auto cannotWrite = [&filePath](const QString& reason) {
        return HttpError(HttpError::Kind::file,
                         QStringLiteral("Could not write \"%1\": %2").arg(filePath, reason));
    };
    // Written under a name of its own beside the target and renamed over it once complete, so a
    // failed or cancelled download never leaves a truncated file where a complete one is expected.
    // Not flushed to the disk first, as QSaveFile would: the one download that matters is an
    // update's archive, thrown away once unpacked, and a quit during the update waited for the
    // flush (seconds while the disk was busy).
    QByteArray partPath = QFile::encodeName(filePath) + ".XXXXXX";
    const int descriptor = ::mkostemp(partPath.data(), O_CLOEXEC);
    if (descriptor < 0)
        throw cannotWrite(qt_error_string(errno));
    const auto removePart = qScopeGuard([&partPath] {
        if (!partPath.isEmpty())
            ::unlink(partPath.constData());
    });
    QFile file;
    // Unbuffered, so a failed write is seen (with its reason) when it happens.
    if (!file.open(descriptor, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        throw cannotWrite(file.errorString());
    }
    HttpTransfer transfer;
    transfer.file = &file;
    transfer.filePath = filePath;
    transfer.progress = &progress;
    transfer.maxBytes = m_options.maxDownloadBytes;
    transfer.deadline = m_options.downloadDeadline;
    HttpResponse response = perform(url, transfer, stop);
    file.close();
    if (std::rename(partPath.constData(), QFile::encodeName(filePath).constData()) != 0)
        throw cannotWrite(qt_error_string(errno));
    partPath.clear();
    return response;
}

} // namespace norvelle
