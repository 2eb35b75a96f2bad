#pragma once

#include "FixtureServer.h"

#include <QString>
#include <chrono>

namespace norvelle::demo {

// Serves a demo world's published folder (<root>/srv) on a loopback TLS server: every file at
// its relative path, and the store lookup at "/lookup?bundleId=…" from lookup/<id>.json (an
// empty result for an identifier the store does not know). Files are read once, when routed.
class DemoServer {
public:
    // Routes the folder on the server; every answer waits `latency`, as a real service would.
    static int route(test::FixtureServer& server, const QString& folder,
                     std::chrono::milliseconds latency = std::chrono::milliseconds(0));
};

} // namespace norvelle::demo
