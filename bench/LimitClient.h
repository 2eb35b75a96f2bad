#pragma once

#include "SyntheticWorld.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <functional>

namespace norvelle::bench {

// What the network allows: a bare libcurl client with the application's connection caps and
// network threads fetches the same requests, all at once, each follow-up as soon as its first
// answer is in, and throws the bodies away unread. Each host's requests run on one thread, so
// the per-host cap holds; the threads share the total cap. Every run starts without TLS
// sessions, as the application's first check does.
struct LimitRun {
    double seconds = 0;
    int completed = 0;
    int failed = 0;
};

struct LimitCaps {
    int threads = 1;
    long maxConnections = 256;
    long maxPerHost = 6;
    // Connections kept for reuse, shared out among the threads as the engine does.
    long idleConnections = 64;
};

LimitRun measureLimit(const QList<test::SyntheticWorld::CheckRequest>& requests, const QString& caFile,
                      const LimitCaps& caps);

// The host with the most requests (follow-ups included) and how many it gets.
struct BusiestHost {
    QString host;
    int requests = 0;
    QUrl firstUrl;
};
BusiestHost busiestHost(const QList<test::SyntheticWorld::CheckRequest>& requests);

// One request's time on an idle host, from a fresh connection to its answer: the median of
// three, one after another. Zero when they fail.
double measureOneRequest(const QUrl& url, const QString& caFile);

// The world host's timing: mark() starts a span, seconds() is then the time from the first
// connection after it to the last one ended.
struct HostClock {
    std::function<void()> mark = [] {};
    std::function<double()> seconds = [] { return 0.0; };
};

// The check against the limit over the same requests, each timed by the host.
struct Comparison {
    double limitBefore = 0;
    double limitAfter = 0;
    double check = 0;
    int busiestRequests = 0; // on the busiest host
    double oneRequest = 0;   // one request's time on that host while idle
};

// Measures one request on the busiest host while the hosts are idle, then runs the limit, the
// check and the limit again: the limit counts as the mean of its two runs, so neither gains
// from going second. (A second check would not do: it finds answers the first one cached.)
Comparison compareWithLimit(const QList<test::SyntheticWorld::CheckRequest>& requests, const QString& caFile,
                            const LimitCaps& caps, const HostClock& clock,
                            const std::function<void()>& check);

// Prints the limit, the bound of the busiest host at its cap, and the check against the limit.
void printComparison(const Comparison& comparison, const LimitCaps& caps);

} // namespace norvelle::bench
