#include "LatencyRelay.h"

#include <arpa/inet.h>
#include <cerrno>
#include <deque>
#include <fcntl.h>
#include <list>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace norvelle::test {

namespace {

using Clock = std::chrono::steady_clock;

qint64 nanoseconds(Clock::time_point time)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
}

#ifndef MSG_NOSIGNAL
constexpr int MSG_NOSIGNAL = 0; // SO_NOSIGPIPE is set on the socket instead
#endif

constexpr size_t readSize = 64 * 1024;
// Past this many pending bytes in one direction the relay stops reading that side.
constexpr size_t maxPending = size_t(8) << 20;

// Non-blocking and not inherited by children; set apart from socket() and accept() so that the
// relay builds where accept4 and SOCK_NONBLOCK do not exist (macOS).
int prepared(int fd)
{
    if (fd >= 0) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
#ifdef SO_NOSIGPIPE
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
    }
    return fd;
}

void closeDescriptor(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

int loopbackListener(int family, quint16 port)
{
    const int fd = prepared(::socket(family, SOCK_STREAM, 0));
    if (fd < 0)
        return -1;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    int bound = -1;
    if (family == AF_INET) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    } else {
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
        sockaddr_in6 address{};
        address.sin6_family = AF_INET6;
        address.sin6_addr = in6addr_loopback;
        address.sin6_port = htons(port);
        bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    // Hundreds of clients connect at once; a short backlog would drop SYNs and cost them a second.
    if (bound != 0 || ::listen(fd, 4096) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

quint16 localPort(int fd)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

void noDelay(int fd)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

} // namespace

// One direction of a relayed connection.
struct Flow {
    struct Chunk {
        Clock::time_point due;
        std::string bytes; // empty: the sender closed its side
    };
    int* from = nullptr;
    int* to = nullptr;
    Clock::time_point opensAt; // nothing read before this counts as sent before it
    std::deque<Chunk> chunks;
    size_t pending = 0;
    std::string writing; // arrived, not yet taken by the receiver's socket
    bool readEnded = false;
    bool finished = false;
};

struct Link {
    int client = -1;
    int server = -1;
    bool connected = false;
    bool broken = false;
    Flow up;   // client to server
    Flow down; // server to client

    bool done() const { return broken || (up.finished && down.finished); }
};

struct LatencyRelay::Loop {
    Clock::duration half;
    Clock::duration whole;
    quint16 target;
    std::list<Link> links;

    void accept(int listener, std::atomic<int>& count, std::atomic<qint64>& firstAccepted)
    {
        for (;;) {
            const int client = prepared(::accept(listener, nullptr, nullptr));
            if (client < 0)
                return;
            const int server = prepared(::socket(AF_INET, SOCK_STREAM, 0));
            sockaddr_in address{};
            address.sin_family = AF_INET;
            address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            address.sin_port = htons(target);
            if (server < 0 ||
                (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
                 errno != EINPROGRESS)) {
                ::close(client);
                if (server >= 0)
                    ::close(server);
                continue;
            }
            ++count;
            qint64 none = 0;
            firstAccepted.compare_exchange_strong(none, nanoseconds(Clock::now()));
            noDelay(client);
            noDelay(server);
            Link& link = links.emplace_back();
            link.client = client;
            link.server = server;
            const Clock::time_point now = Clock::now();
            link.up.from = &link.client;
            link.up.to = &link.server;
            link.up.opensAt = now + whole;
            link.down.from = &link.server;
            link.down.to = &link.client;
            link.down.opensAt = now;
        }
    }

    void read(Link& link, Flow& flow, Clock::time_point now)
    {
        char buffer[readSize];
        while (!flow.readEnded && flow.pending < maxPending) {
            const ssize_t n = ::read(*flow.from, buffer, sizeof buffer);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                return;
            if (n < 0) {
                link.broken = true;
                return;
            }
            const Clock::time_point due = std::max(now, flow.opensAt) + half;
            flow.chunks.push_back({due, std::string(buffer, size_t(n))});
            flow.pending += size_t(n);
            if (n == 0) {
                flow.readEnded = true;
                return;
            }
        }
    }

    void deliver(Link& link, Flow& flow, Clock::time_point now)
    {
        if (&flow == &link.up && !link.connected)
            return;
        for (;;) {
            while (!flow.writing.empty()) {
                const ssize_t n = ::send(*flow.to, flow.writing.data(), flow.writing.size(), MSG_NOSIGNAL);
                if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
                    return;
                if (n < 0) {
                    link.broken = true;
                    return;
                }
                flow.pending -= size_t(n);
                flow.writing.erase(0, size_t(n));
            }
            if (flow.chunks.empty() || flow.chunks.front().due > now || flow.finished)
                return;
            Flow::Chunk chunk = std::move(flow.chunks.front());
            flow.chunks.pop_front();
            if (chunk.bytes.empty()) {
                ::shutdown(*flow.to, SHUT_WR);
                flow.finished = true;
                return;
            }
            flow.writing = std::move(chunk.bytes);
        }
    }

    // The earliest moment a held chunk falls due; none when nothing waits on the clock.
    std::optional<Clock::time_point> nextDue() const
    {
        std::optional<Clock::time_point> next;
        for (const Link& link : links) {
            for (const Flow* flow : {&link.up, &link.down}) {
                if (flow->writing.empty() && !flow->chunks.empty() && !flow->finished &&
                    (!next || flow->chunks.front().due < *next))
                    next = flow->chunks.front().due;
            }
        }
        return next;
    }
};

LatencyRelay::LatencyRelay(std::chrono::milliseconds roundTrip) : m_roundTrip(roundTrip)
{
    m_listeners[0] = loopbackListener(AF_INET, 0);
    if (m_listeners[0] < 0 || ::pipe(m_wake) != 0) {
        closeDescriptor(m_listeners[0]);
        return;
    }
    prepared(m_wake[0]);
    prepared(m_wake[1]);
    m_port = localPort(m_listeners[0]);
    // libcurl resolves names under .localhost to both loopback addresses.
    m_listeners[1] = loopbackListener(AF_INET6, m_port);
}

LatencyRelay::~LatencyRelay()
{
    m_stop = true;
    if (m_wake[1] >= 0)
        (void)!::write(m_wake[1], "x", 1);
    if (m_thread.joinable())
        m_thread.join();
    for (int& fd : m_listeners)
        closeDescriptor(fd);
    for (int& fd : m_wake)
        closeDescriptor(fd);
}

void LatencyRelay::start(quint16 targetPort)
{
    if (isListening() && !m_thread.joinable())
        m_thread = std::thread([this, targetPort] { run(targetPort); });
}

void LatencyRelay::run(quint16 targetPort)
{
    Loop loop{std::chrono::duration_cast<Clock::duration>(m_roundTrip) / 2,
              std::chrono::duration_cast<Clock::duration>(m_roundTrip),
              targetPort,
              {}};
    std::vector<pollfd> polled;
    std::vector<Link*> owners;
    while (!m_stop) {
        polled.clear();
        owners.clear();
        polled.push_back({m_wake[0], POLLIN, 0});
        for (const int listener : m_listeners)
            if (listener >= 0)
                polled.push_back({listener, POLLIN, 0});
        const size_t firstLink = polled.size();
        for (Link& link : loop.links) {
            short client = 0, server = 0;
            if (!link.up.readEnded && link.up.pending < maxPending)
                client |= POLLIN;
            if (!link.down.writing.empty())
                client |= POLLOUT;
            if (!link.down.readEnded && link.down.pending < maxPending)
                server |= POLLIN;
            if (!link.connected || !link.up.writing.empty())
                server |= POLLOUT;
            polled.push_back({link.client, client, 0});
            polled.push_back({link.server, server, 0});
            owners.push_back(&link);
        }

        int timeout = -1;
        if (const std::optional<Clock::time_point> due = loop.nextDue()) {
            // Rounded up: a chunk may arrive late by a fraction of a millisecond, never early.
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - Clock::now());
            timeout = int(std::max<qint64>(0, wait.count()));
        }
        if (::poll(polled.data(), nfds_t(polled.size()), timeout) < 0 && errno != EINTR)
            return;
        if (m_stop)
            return;

        for (size_t i = 1; i < firstLink; ++i)
            if (polled[i].revents & POLLIN)
                loop.accept(polled[i].fd, m_connections, m_firstAccepted);
        const Clock::time_point now = Clock::now();
        for (size_t i = 0; i < owners.size(); ++i) {
            Link& link = *owners[i];
            const short client = polled[firstLink + 2 * i].revents;
            const short server = polled[firstLink + 2 * i + 1].revents;
            if (!link.connected && (server & (POLLOUT | POLLERR | POLLHUP))) {
                int error = 0;
                socklen_t length = sizeof error;
                ::getsockopt(link.server, SOL_SOCKET, SO_ERROR, &error, &length);
                link.connected = error == 0;
                link.broken = error != 0;
            }
            if (client & (POLLIN | POLLHUP | POLLERR))
                loop.read(link, link.up, now);
            if (link.connected && (server & (POLLIN | POLLHUP | POLLERR)))
                loop.read(link, link.down, now);
        }
        for (auto it = loop.links.begin(); it != loop.links.end();) {
            loop.deliver(*it, it->up, now);
            loop.deliver(*it, it->down, now);
            if (it->done()) {
                closeDescriptor(it->client);
                closeDescriptor(it->server);
                it = loop.links.erase(it);
                m_lastEnded = nanoseconds(now);
            } else {
                ++it;
            }
        }
    }
    for (Link& link : loop.links) {
        closeDescriptor(link.client);
        closeDescriptor(link.server);
    }
}

void LatencyRelay::markActivity()
{
    m_firstAccepted = 0;
    m_lastEnded = 0;
}

double LatencyRelay::activitySeconds() const
{
    const qint64 first = m_firstAccepted;
    const qint64 last = m_lastEnded;
    return first > 0 && last > first ? double(last - first) / 1e9 : 0.0;
}

} // namespace norvelle::test
