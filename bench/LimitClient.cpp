#include "LimitClient.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <curl/curl.h>
#include <deque>
#include <thread>
#include <unordered_map>
#include <vector>

namespace norvelle::bench {

namespace {

using Request = test::SyntheticWorld::CheckRequest;

size_t discard(char*, size_t size, size_t count, void*)
{
    return size * count;
}

// As the application's engine sets up a transfer: HTTP/2 where offered, compressed answers, the
// CA bundle file alone with its parsed store kept, no signals. No PIPEWAIT: the world's hosts
// speak HTTP/1.1 and close every connection, so waiting to share one only queues requests.
CURL* transfer(const QByteArray& url, const QByteArray& caFile, CURLSH* share)
{
    CURL* handle = curl_easy_init();
    curl_easy_setopt(handle, CURLOPT_URL, url.constData());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_SHARE, share);
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_2TLS));
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

QString hostOf(const QUrl& url)
{
    return url.host() + u':' + QString::number(url.port());
}

struct Job {
    QByteArray url;
    QByteArray followUp;
};

// One network thread: its hosts' requests, at most maxPerHost at once to one host and, with
// the other threads, at most maxConnections in all.
class Lane {
public:
    Lane(const QByteArray& caFile, const LimitCaps& caps, std::atomic<long>& inFlight)
        : m_caFile(caFile), m_caps(caps), m_inFlight(inFlight), m_multi(curl_multi_init()),
          m_share(curl_share_init())
    {
        // One thread uses both, as in the engine, so the share needs no lock functions.
        curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        curl_share_setopt(m_share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        curl_multi_setopt(m_multi, CURLMOPT_MAXCONNECTS,
                          std::max(1L, caps.idleConnections / std::max(1, caps.threads)));
    }
    ~Lane()
    {
        curl_multi_cleanup(m_multi);
        curl_share_cleanup(m_share);
    }
    Lane(const Lane&) = delete;
    Lane& operator=(const Lane&) = delete;

    void add(const QString& host, Job job)
    {
        Host& h = m_hosts[host];
        if (h.waiting.empty() && h.running < m_caps.maxPerHost)
            m_ready.push_back(host);
        h.waiting.push_back(std::move(job));
    }

    void run(LimitRun& run)
    {
        while (!m_ready.empty() || !m_running.empty()) {
            const bool blocked = startReady();
            int running = 0;
            curl_multi_perform(m_multi, &running);
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(m_multi, &queued)) {
                if (message->msg == CURLMSG_DONE)
                    finish(message->easy_handle, message->data.result, run);
            }
            if (!m_running.empty() || blocked)
                curl_multi_poll(m_multi, nullptr, 0, blocked ? 1 : 100, nullptr);
        }
    }

private:
    struct Host {
        std::deque<Job> waiting;
        long running = 0;
    };
    struct Running {
        QString host;
        QByteArray followUp;
    };

    bool acquire()
    {
        long n = m_inFlight.load();
        while (n < m_caps.maxConnections && !m_inFlight.compare_exchange_weak(n, n + 1)) {
        }
        return n < m_caps.maxConnections;
    }

    // Starts what the caps allow; true when requests wait for the total cap alone.
    bool startReady()
    {
        while (!m_ready.empty()) {
            const QString host = m_ready.front();
            Host& h = m_hosts[host];
            if (h.waiting.empty() || h.running >= m_caps.maxPerHost) {
                m_ready.pop_front();
                continue;
            }
            if (!acquire())
                return true;
            Job job = std::move(h.waiting.front());
            h.waiting.pop_front();
            ++h.running;
            CURL* handle = transfer(job.url, m_caFile, m_share);
            m_running.emplace(handle, Running{host, std::move(job.followUp)});
            curl_multi_add_handle(m_multi, handle);
            if (h.waiting.empty() || h.running >= m_caps.maxPerHost)
                m_ready.pop_front();
        }
        return false;
    }

    void finish(CURL* handle, CURLcode result, LimitRun& run)
    {
        long status = 0;
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
        const bool ok = result == CURLE_OK && status == 200;
        ++(ok ? run.completed : run.failed);
        const Running ended = std::move(m_running.at(handle));
        m_running.erase(handle);
        curl_multi_remove_handle(m_multi, handle);
        curl_easy_cleanup(handle);
        --m_inFlight;
        Host& h = m_hosts[ended.host];
        --h.running;
        // The follow-up goes first: it is what the check does as soon as an answer is in.
        if (ok && !ended.followUp.isEmpty())
            h.waiting.push_front(Job{ended.followUp, {}});
        if (!h.waiting.empty())
            m_ready.push_back(ended.host); // a host listed twice is passed over once it is full
    }

    const QByteArray m_caFile;
    const LimitCaps m_caps;
    std::atomic<long>& m_inFlight;
    CURLM* m_multi;
    CURLSH* m_share;
    QHash<QString, Host> m_hosts;
    std::deque<QString> m_ready;
    std::unordered_map<CURL*, Running> m_running;
};

} // namespace

LimitRun measureLimit(const QList<Request>& requests, const QString& caFile, const LimitCaps& caps)
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const QByteArray ca = QFile::encodeName(caFile);
    std::atomic<long> inFlight{0};
    const int threads = std::max(1, caps.threads);
    std::vector<std::unique_ptr<Lane>> lanes;
    for (int i = 0; i < threads; ++i)
        lanes.push_back(std::make_unique<Lane>(ca, caps, inFlight));
    // Hosts are dealt out in turn, so each host's requests stay on one thread.
    QHash<QString, int> laneOfHost;
    for (const Request& request : requests) {
        const QString host = hostOf(request.url);
        const int lane = int(laneOfHost.value(host, laneOfHost.size() % threads));
        laneOfHost.insert(host, lane);
        lanes[size_t(lane)]->add(host, Job{request.url.toEncoded(), request.followUp.isEmpty()
                                                                        ? QByteArray()
                                                                        : request.followUp.toEncoded()});
    }

    std::vector<LimitRun> runs(static_cast<size_t>(threads));
    QElapsedTimer timer;
    timer.start();
    {
        std::vector<std::jthread> workers;
        for (int i = 0; i < threads; ++i)
            workers.emplace_back([&, i] { lanes[size_t(i)]->run(runs[size_t(i)]); });
    }
    LimitRun total;
    total.seconds = double(timer.nsecsElapsed()) / 1e9;
    for (const LimitRun& run : runs) {
        total.completed += run.completed;
        total.failed += run.failed;
    }
    return total;
}

BusiestHost busiestHost(const QList<Request>& requests)
{
    QHash<QString, int> counts;
    BusiestHost busiest;
    for (const Request& request : requests) {
        for (const QUrl& url : {request.url, request.followUp}) {
            if (url.isEmpty())
                continue;
            const int n = ++counts[hostOf(url)];
            if (n > busiest.requests)
                busiest = {hostOf(url), n, url};
        }
    }
    return busiest;
}

double measureOneRequest(const QUrl& url, const QString& caFile)
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    const QByteArray ca = QFile::encodeName(caFile);
    CURLSH* share = curl_share_init();
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
    curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
    std::vector<double> times;
    for (int i = 0; i < 3; ++i) {
        CURL* handle = transfer(url.toEncoded(), ca, share);
        QElapsedTimer timer;
        timer.start();
        long status = 0;
        const bool ok = curl_easy_perform(handle) == CURLE_OK &&
                        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK &&
                        status == 200;
        if (ok)
            times.push_back(double(timer.nsecsElapsed()) / 1e9);
        curl_easy_cleanup(handle);
    }
    curl_share_cleanup(share);
    if (times.empty())
        return 0;
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

Comparison compareWithLimit(const QList<Request>& requests, const QString& caFile, const LimitCaps& caps,
                            const HostClock& clock, const std::function<void()>& check)
{
    Comparison comparison;
    const BusiestHost busiest = busiestHost(requests);
    comparison.busiestRequests = busiest.requests;
    comparison.oneRequest = measureOneRequest(busiest.firstUrl, caFile);
    const auto limit = [&] {
        clock.mark();
        const LimitRun run = measureLimit(requests, caFile, caps);
        if (run.failed > 0)
            std::fprintf(stderr, "%d of the bare client's %d requests failed\n", run.failed,
                         run.failed + run.completed);
        return clock.seconds();
    };
    comparison.limitBefore = limit();
    clock.mark();
    check();
    comparison.check = clock.seconds();
    comparison.limitAfter = limit();
    return comparison;
}

void printComparison(const Comparison& comparison, const LimitCaps& caps)
{
    const double limit = (comparison.limitBefore + comparison.limitAfter) / 2;
    std::printf("limit (bare client, same requests, all at once): %.3f s (%.3f s before the check, %.3f s "
                "after; %d threads, %ld per host, %ld in all)\n",
                limit, comparison.limitBefore, comparison.limitAfter, caps.threads, caps.maxPerHost,
                caps.maxConnections);
    const double bound =
        std::ceil(double(comparison.busiestRequests) / double(caps.maxPerHost)) * comparison.oneRequest;
    std::printf("bound (busiest host at its cap): %.3f s (%d requests, %.3f s each on an idle host)\n", bound,
                comparison.busiestRequests, comparison.oneRequest);
    std::printf("update check: %.3f s = %.2f\u00d7 the limit (both from the first connection to the last one "
                "ended, as the host sees them)\n",
                comparison.check, limit > 0 ? comparison.check / limit : 0.0);
}

} // namespace norvelle::bench
