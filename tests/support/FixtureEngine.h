#pragma once

#include <QSslConfiguration>
#include <QTcpServer>
#include <memory>
#include <optional>
#include <vector>

namespace norvelle::test {

class FixtureRouteTable;

// The listening side of FixtureServer; lives on the server thread and gives every
// accepted connection (plain or TLS) its own FixtureConnection, on the server thread or, when
// it has workers, on the next worker's thread in turn.
class FixtureEngine : public QTcpServer {
    Q_OBJECT
public:
    FixtureEngine(std::shared_ptr<FixtureRouteTable> table, std::optional<QSslConfiguration> tls);

    // Objects living on threads of their own that own the connections from now on.
    void setWorkers(std::vector<QObject*> workers) { m_workers = std::move(workers); }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    static void serve(qintptr descriptor, const std::shared_ptr<FixtureRouteTable>& table,
                      const std::optional<QSslConfiguration>& tls, QObject* owner);

    std::shared_ptr<FixtureRouteTable> m_table;
    std::optional<QSslConfiguration> m_tls;
    std::vector<QObject*> m_workers;
    size_t m_nextWorker = 0;
};

} // namespace norvelle::test
