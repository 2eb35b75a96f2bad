#pragma once

#include <QByteArray>

namespace norvelle {

// Whether the system log daemon listens where syslog(3) sends its lines. syslog itself never
// says when nobody does.
class SystemLogSocket {
public:
#ifdef __APPLE__
    static constexpr const char* defaultPath = "/var/run/syslog";
#else
    static constexpr const char* defaultPath = "/dev/log";
#endif

    // True when a datagram or stream connection to the socket at `path` succeeds.
    static bool reachable(const QByteArray& path = defaultPath);

private:
    SystemLogSocket() = delete;
};

} // namespace norvelle
