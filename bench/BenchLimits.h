#pragma once

#include <sys/resource.h>

namespace norvelle::bench {

// Hundreds of connections at once, each with a socket at both ends of the relay, outgrow the
// usual soft limit of 1,024 open files; the hard limit is what the system allows.
inline void raiseFileLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace norvelle::bench
