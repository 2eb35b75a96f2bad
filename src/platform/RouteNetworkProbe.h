#pragma once

#include "platform/NetworkProbe.h"

#include <QString>

namespace norvelle {

// Linux network probe: the network counts as reachable when the kernel routing
// table holds a usable default route, IPv4 or IPv6. The table is read once per
// start() and reported at once; the route files can be pointed elsewhere for tests.
class RouteNetworkProbe : public NetworkProbe {
public:
    explicit RouteNetworkProbe(QString ipv4RouteFile = QStringLiteral("/proc/net/route"),
                               QString ipv6RouteFile = QStringLiteral("/proc/net/ipv6_route"));

    std::unique_ptr<Monitor> start(PathHandler handler) override;

    // Whether the tables name a default route that is up, not a reject route,
    // and not on the loopback interface. Unreadable files count as no route.
    bool hasDefaultRoute() const;

    // Parsers of one table's text, exposed for tests.
    static bool ipv4TableHasDefaultRoute(const QByteArray& table);
    static bool ipv6TableHasDefaultRoute(const QByteArray& table);

private:
    QString m_ipv4RouteFile;
    QString m_ipv6RouteFile;
};

} // namespace norvelle
