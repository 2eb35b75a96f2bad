#include "platform/http/HttpOutcome.h"

#include <QFile>

#include <cerrno>

namespace norvelle::httpoutcome {

using End = HttpTransfer::End;

namespace {

// At most this many redirects are followed for one request, as URLSession and browsers do.
constexpr int maxRedirects = 10;

bool isHttpOrHttps(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

[[noreturn]] void throwInvalidUrl(const QUrl& url)
{
    throw HttpError(HttpError::Kind::invalidUrl,
                    QStringLiteral("Unsupported URL: \"%1\" is not an http or https address.")
                        .arg(url.toDisplayString()));
}

QString curlText(const HttpTransfer& transfer)
{
    return transfer.errorText[0] ? QString::fromUtf8(transfer.errorText)
                                 : QString::fromUtf8(curl_easy_strerror(transfer.result));
}

QString fileError(const HttpTransfer& transfer)
{
    return transfer.fileErrno != 0 ? qt_error_string(transfer.fileErrno) : transfer.file->errorString();
}

} // namespace

void validate(const QUrl& url)
{
    if (!isHttpOrHttps(url))
        throwInvalidUrl(url);
}

bool isHttps(const QUrl& url)
{
    return url.scheme().compare(u"https", Qt::CaseInsensitive) == 0;
}

std::string hostKey(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    const int port = url.port(scheme == u"https" ? 443 : 80);
    return (scheme + QStringLiteral("://") + url.host().toLower() + u':' + QString::number(port))
        .toStdString();
}

CURLcode aim(HttpTransfer& transfer, const QUrl& url)
{
    transfer.url = url;
    transfer.hostKey = hostKey(url);
    transfer.secure = transfer.secure || isHttps(url);
    const CURLcode set = curl_easy_setopt(transfer.handle, CURLOPT_URL, url.toEncoded().constData());
    if (set != CURLE_OK)
        return set;
    // Requests to a host whose connection is still being set up wait to share it (HTTP/2)
    // rather than each opening one of their own.
    return curl_easy_setopt(transfer.handle, CURLOPT_PIPEWAIT, isHttps(url) ? 1L : 0L);
}

bool followRedirect(HttpTransfer& transfer)
{
    // Whatever libcurl says of it: the transfer was ended as soon as the redirect's head was in
    // (onHeader), and nothing after that is the request's concern.
    if (transfer.redirectTarget.isEmpty() || transfer.end != End::running || transfer.callbackError)
        return false;
    try {
        const QUrl target = QUrl::fromEncoded(transfer.redirectTarget);
        QString refusal;
        if (transfer.redirectUnreadable)
            refusal = QStringLiteral("its address cannot be read");
        else if (!isHttpOrHttps(target))
            refusal = QStringLiteral("it leads to neither http nor https");
        else if (transfer.secure && !isHttps(target))
            // Once on https, a redirect may not fall back to plain http: the answer would no longer
            // come from whom the address named.
            refusal = QStringLiteral("it leaves https");
        if (!refusal.isEmpty())
            throw HttpError(HttpError::Kind::invalidUrl,
                            QStringLiteral("Refused the redirect from %1 to %2: %3.")
                                .arg(transfer.url.toDisplayString(),
                                     transfer.redirectUnreadable ? QString::fromUtf8(transfer.redirectTarget)
                                                                 : target.toDisplayString(),
                                     refusal));
        if (transfer.redirects == maxRedirects)
            throw HttpError(HttpError::Kind::transport, QStringLiteral("Gave up after %1 redirects, at %2.")
                                                            .arg(maxRedirects)
                                                            .arg(transfer.url.toDisplayString()));
        ++transfer.redirects;
        transfer.redirectTarget.clear();
        transfer.errorText[0] = '\0'; // libcurl's word on the abandoned hop
        return aim(transfer, target) == CURLE_OK;
    } catch (...) {
        transfer.callbackError = std::current_exception();
        return false;
    }
}

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
        throw HttpError(
            HttpError::Kind::tooLarge,
            QStringLiteral("The answer from %1 is larger than this request accepts.").arg(url.host()));
    case End::outOfMemory:
        throw HttpError(HttpError::Kind::transport,
                        QStringLiteral("Not enough memory for the answer from %1.").arg(url.host()));
    case End::fileFailed:
        throw HttpError(
            HttpError::Kind::file,
            QStringLiteral("Could not write \"%1\": %2").arg(transfer.filePath, fileError(transfer)));
    case End::running:
    case End::done:
        break;
    }
    CURL* h = transfer.handle;
    if (transfer.result == CURLE_OPERATION_TIMEDOUT)
        throw HttpError(HttpError::Kind::timeout, QStringLiteral("The request timed out."));
    // A connection that could not be had for want of a file says so, not just that it failed.
    if (transfer.result != CURLE_OK && (transfer.socketErrno == EMFILE || transfer.socketErrno == ENFILE))
        throw HttpError(HttpError::Kind::transport,
                        QStringLiteral("Could not connect to %1: %2")
                            .arg(transfer.url.host(), qt_error_string(transfer.socketErrno)));
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

} // namespace norvelle::httpoutcome
