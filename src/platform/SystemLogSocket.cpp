#include "platform/SystemLogSocket.h"

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace norvelle {

namespace {

bool connects(const sockaddr_un& address, int type)
{
#ifdef SOCK_CLOEXEC
    type |= SOCK_CLOEXEC;
#endif
    const int fd = ::socket(AF_UNIX, type, 0);
    if (fd < 0)
        return false;
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return ok;
}

} // namespace

bool SystemLogSocket::reachable(const QByteArray& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || static_cast<size_t>(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
    // syslog(3) tries a datagram socket first, then a stream socket.
    return connects(address, SOCK_DGRAM) || connects(address, SOCK_STREAM);
}

} // namespace norvelle
