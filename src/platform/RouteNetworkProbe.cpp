#include "platform/RouteNetworkProbe.h"

#include <QFile>
#include <QList>

namespace norvelle {

namespace {

// Route flags from <linux/route.h>.
constexpr unsigned routeUp = 0x0001;
constexpr unsigned routeReject = 0x0200;

bool usableFlags(const QByteArray& hexFlags)
{
    bool ok = false;
    const unsigned flags = hexFlags.toUInt(&ok, 16);
    return ok && (flags & routeUp) != 0 && (flags & routeReject) == 0;
}

bool allZero(const QByteArray& hex)
{
    if (hex.isEmpty()) {
        return false;
    }
    for (const char c : hex) {
        if (c != '0') {
            return false;
        }
    }
    return true;
}

QByteArray readTable(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    // /proc files report size 0, so read until the end rather than by size.
    return file.readAll();
}

class ImmediateMonitor : public NetworkProbe::Monitor {
public:
    void cancel() override {}
};

} // namespace

RouteNetworkProbe::RouteNetworkProbe(QString ipv4RouteFile, QString ipv6RouteFile)
    : m_ipv4RouteFile(std::move(ipv4RouteFile)), m_ipv6RouteFile(std::move(ipv6RouteFile))
{
}

std::unique_ptr<NetworkProbe::Monitor> RouteNetworkProbe::start(PathHandler handler)
{
    auto monitor = std::make_unique<ImmediateMonitor>();
    if (handler) {
        handler(hasDefaultRoute());
    }
    return monitor;
}

bool RouteNetworkProbe::hasDefaultRoute() const
{
    return ipv4TableHasDefaultRoute(readTable(m_ipv4RouteFile)) ||
           ipv6TableHasDefaultRoute(readTable(m_ipv6RouteFile));
}

// Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT, after a header line.
bool RouteNetworkProbe::ipv4TableHasDefaultRoute(const QByteArray& table)
{
    const QList<QByteArray> lines = table.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines.at(i).simplified().split(' ');
        if (fields.size() < 8 || fields.at(0) == "lo") {
            continue;
        }
        if (allZero(fields.at(1)) && allZero(fields.at(7)) && usableFlags(fields.at(3))) {
            return true;
        }
    }
    return false;
}

// Destination PrefixLen Source SourcePrefixLen NextHop Metric RefCnt Use Flags Iface, no header.
bool RouteNetworkProbe::ipv6TableHasDefaultRoute(const QByteArray& table)
{
    const QList<QByteArray> lines = table.split('\n');
    for (const QByteArray& line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 10 || fields.at(9) == "lo") {
            continue;
        }
        if (allZero(fields.at(0)) && allZero(fields.at(1)) && usableFlags(fields.at(8))) {
            return true;
        }
    }
    return false;
}

} // namespace norvelle
