#pragma once

#include "platform/http/HttpClient.h"
#include "platform/http/HttpTransfer.h"

#include <QString>
#include <QUrl>
#include <string>

// What HttpClient's blocking and asynchronous requests share: checking an address, and turning an
// ended transfer into its answer or error. Internal to platform/http.
namespace norvelle::httpoutcome {

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

// Throws HttpError::Kind::invalidUrl unless the address is http or https with a host.
void validate(const QUrl& url);

bool isHttps(const QUrl& url);

// What the connection caps count as one host: scheme://host:port.
std::string hostKey(const QUrl& url);

// Points the transfer, and its libcurl handle, at the address (the first or a redirect's).
CURLcode aim(HttpTransfer& transfer, const QUrl& url);

// Network thread, once the transfer has ended: true when it ended at the head of a redirect to
// follow, with the transfer aimed at its target (to be queued for that host). A redirect that may
// not be followed leaves its error in callbackError. Never throws.
bool followRedirect(HttpTransfer& transfer);

// The answer of the ended transfer, or throws what went wrong.
HttpResponse conclude(const QUrl& url, HttpTransfer& transfer);

} // namespace norvelle::httpoutcome
