#pragma once

#include <QSslConfiguration>
#include <QTcpServer>
#include <memory>
#include <optional>

namespace norvelle::test {

class FixtureRouteTable;

// The listening side of FixtureServer; lives on the server thread and gives every
// accepted connection (plain or TLS) its own FixtureConnection.
class FixtureEngine : public QTcpServer {
    Q_OBJECT
public:
    FixtureEngine(std::shared_ptr<FixtureRouteTable> table, std::optional<QSslConfiguration> tls);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    std::shared_ptr<FixtureRouteTable> m_table;
    std::optional<QSslConfiguration> m_tls;
};

} // namespace norvelle::test
