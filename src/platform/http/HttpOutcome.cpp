#include "platform/http/HttpOutcome.h"

#include <QSaveFile>

namespace norvelle::httpoutcome {

using End = HttpTransfer::End;

namespace {

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
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != u"http" && scheme != u"https") || url.host().isEmpty())
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
            QStringLiteral("Could not write \"%1\": %2").arg(transfer.file->fileName(), fileError(transfer)));
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
        if (isHttps(url) && !location.isEmpty() &&
            target.scheme().compare(u"https", Qt::CaseInsensitive) != 0)
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

} // namespace norvelle::httpoutcome
