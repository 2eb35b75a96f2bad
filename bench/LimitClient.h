#pragma once

#include "SyntheticWorld.h"

#include <QList>
#include <QString>
#include <QUrl>

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

} // namespace norvelle::bench
