#pragma once

#include "SyntheticWorld.h"

#include <QList>
#include <QString>

namespace norvelle::bench {

// What the network allows: a bare libcurl multi client with the application's connection caps
// fetches the same requests, all at once, each follow-up as soon as its first answer is in, and
// throws the bodies away unread.
struct LimitRun {
    double seconds = 0;
    int completed = 0;
    int failed = 0;
};

LimitRun measureLimit(const QList<test::SyntheticWorld::CheckRequest>& requests, const QString& caFile,
                      long maxConnections = 256, long maxPerHost = 6);

} // namespace norvelle::bench
