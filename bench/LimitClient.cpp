#include "LimitClient.h"

#include <QElapsedTimer>
#include <QFile>
#include <curl/curl.h>
#include <unordered_map>

namespace norvelle::bench {

namespace {

size_t discard(char*, size_t size, size_t count, void*)
{
    return size * count;
}

// As the application's engine sets up a transfer: HTTP/2 where offered, compressed answers,
// the CA bundle file alone with its parsed store kept, no signals.
CURL* transfer(const QByteArray& url, const QByteArray& caFile, CURLSH* share)
{
    CURL* handle = curl_easy_init();
    curl_easy_setopt(handle, CURLOPT_URL, url.constData());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_SHARE, share);
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
    curl_easy_setopt(handle, CURLOPT_PIPEWAIT, 1L);
    curl_easy_setopt(handle, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(handle, CURLOPT_CAINFO, caFile.constData());
    curl_easy_setopt(handle, CURLOPT_CAPATH, nullptr);
#if LIBCURL_VERSION_NUM >= 0x075700
    curl_easy_setopt(handle, CURLOPT_CA_CACHE_TIMEOUT, 3600L);
#endif
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, 120L);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &discard);
    return handle;
}

} // namespace

LimitRun measureLimit(const QList<test::SyntheticWorld::CheckRequest>& requests, const QString& caFile,
                      long maxConnections, long maxPerHost)
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURLM* multi = curl_multi_init();
    CURLSH* share = curl_share_init();
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    curl_multi_setopt(multi, CURLMOPT_MAXCONNECTS, 64L);
    curl_multi_setopt(multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, maxConnections);
    curl_multi_setopt(multi, CURLMOPT_MAX_HOST_CONNECTIONS, maxPerHost);

    const QByteArray ca = QFile::encodeName(caFile);
    std::unordered_map<CURL*, QByteArray> followUps;
    LimitRun run;
    QElapsedTimer timer;
    timer.start();
    for (const test::SyntheticWorld::CheckRequest& request : requests) {
        CURL* handle = transfer(request.url.toEncoded(), ca, share);
        followUps.emplace(handle, request.followUp.isEmpty() ? QByteArray() : request.followUp.toEncoded());
        curl_multi_add_handle(multi, handle);
    }
    int running = 1;
    while (running > 0 || !followUps.empty()) {
        curl_multi_perform(multi, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
            if (message->msg != CURLMSG_DONE)
                continue;
            CURL* handle = message->easy_handle;
            long status = 0;
            curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
            const bool ok = message->data.result == CURLE_OK && status == 200;
            ++(ok ? run.completed : run.failed);
            const QByteArray followUp = followUps[handle];
            followUps.erase(handle);
            curl_multi_remove_handle(multi, handle);
            curl_easy_cleanup(handle);
            if (ok && !followUp.isEmpty()) {
                CURL* next = transfer(followUp, ca, share);
                followUps.emplace(next, QByteArray());
                curl_multi_add_handle(multi, next);
                running = 1;
            }
        }
        if (running > 0 || !followUps.empty())
            curl_multi_poll(multi, nullptr, 0, 100, nullptr);
    }
    run.seconds = double(timer.nsecsElapsed()) / 1e9;
    curl_multi_cleanup(multi);
    curl_share_cleanup(share);
    return run;
}

} // namespace norvelle::bench
