#pragma once

#include <cstdint>

namespace norvelle {

// The connection caps of one HttpEngine, which counts every socket it holds: those of running
// transfers and those kept open for reuse, on all its network threads together.
struct HttpLimits {
    // At most this many transfers run at once, each on one connection at most.
    int connections = 256;
    // At most this many connections stay open for reuse once their answer has come.
    int idleConnections = 64;
    // At most this many transfers run at once to one host (scheme, name and port), as browsers keep.
    int connectionsPerHost = 6;

    // The open files these caps need: three for each running transfer (a name lookup holds as
    // many), one for each idle connection, and what the rest of the application keeps open.
    std::uint64_t openFilesNeeded() const;

    // The default caps when they fit that many open files, else caps scaled down to fit them
    // (at least one of each).
    static HttpLimits fitting(std::uint64_t openFiles);

    // For the start of the process: raises the soft limit of open files to what the default caps
    // need, as far as the hard limit allows, and returns the caps that fit the limit in force.
    static HttpLimits fitOpenFilesLimit();
};

} // namespace norvelle
