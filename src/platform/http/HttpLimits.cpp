#include "platform/http/HttpLimits.h"

#include "platform/Logger.h"

#include <QString>

#include <algorithm>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace norvelle {

namespace {

// The files the rest of the application may hold at once: its libraries, windows and logs, and
// the pipes of the tools that run beside the web requests.
constexpr std::uint64_t otherOpenFiles = 256;

// The most files one running transfer holds at once: while libcurl's threaded resolver looks up
// its host, a socket pair to hear back from the lookup thread and the socket of the lookup itself;
// while it connects, its socket and a second address tried beside it.
constexpr std::uint64_t filesPerTransfer = 3;

// Grows the process's descriptor table to hold this many now, while the process is young. Once
// several threads share the table, growing it waits for every other core to pass a quiescent
// point (some 10-20 ms on a busy machine), and every thread that opens a file meanwhile waits
// too: the main thread stalled a frame when a check's sockets crossed a table size.
void reserveDescriptors(rlim_t count)
{
    const int probe = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (probe < 0)
        return;
    const int last = ::fcntl(probe, F_DUPFD_CLOEXEC, int(std::min<rlim_t>(count, 1 << 20)) - 1);
    if (last >= 0)
        ::close(last);
    ::close(probe);
}

} // namespace

std::uint64_t HttpLimits::openFilesNeeded() const
{
    return filesPerTransfer * std::uint64_t(connections) + std::uint64_t(idleConnections) + otherOpenFiles;
}

HttpLimits HttpLimits::fitting(std::uint64_t openFiles)
{
    const HttpLimits full;
    if (openFiles >= full.openFilesNeeded())
        return full;
    // Busy and idle connections keep the default proportion, four to one.
    const std::uint64_t room = openFiles > otherOpenFiles ? openFiles - otherOpenFiles : 0;
    HttpLimits fitted;
    fitted.connections = std::max(1, int(room * 4 / (4 * filesPerTransfer + 1)));
    fitted.idleConnections = std::max(1, fitted.connections / 4);
    fitted.connectionsPerHost = std::min(full.connectionsPerHost, fitted.connections);
    return fitted;
}

HttpLimits HttpLimits::fitOpenFilesLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return {};
    const rlim_t needed = rlim_t(HttpLimits{}.openFilesNeeded());
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < needed) {
        rlimit raised = limit;
        raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? needed : std::min(needed, limit.rlim_max);
        if (setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    reserveDescriptors(limit.rlim_cur == RLIM_INFINITY ? needed : std::min(needed, limit.rlim_cur));
    if (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= needed)
        return {};
    const HttpLimits fitted = fitting(std::uint64_t(limit.rlim_cur));
    Logger::warning(QStringLiteral("Only %1 open files are allowed, so at most %2 web requests run at once.")
                        .arg(quint64(limit.rlim_cur))
                        .arg(fitted.connections));
    return fitted;
}

} // namespace norvelle
