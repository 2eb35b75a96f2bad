#include "FixtureEngine.h"

#include "FixtureConnection.h"
#include "FixtureRouteTable.h"

#include <QSslSocket>

namespace norvelle::test {

FixtureEngine::FixtureEngine(std::shared_ptr<FixtureRouteTable> table, std::optional<QSslConfiguration> tls)
    : m_table(std::move(table)), m_tls(std::move(tls))
{
    // Hundreds of clients connect at once in the load tests; the default backlog of 50
    // would drop SYNs and make clients retry a second later.
    setListenBacklogSize(1024);
}

void FixtureEngine::incomingConnection(qintptr descriptor)
{
    if (m_workers.empty()) {
        serve(descriptor, m_table, m_tls, this);
        return;
    }
    QObject* worker = m_workers[m_nextWorker++ % m_workers.size()];
    QMetaObject::invokeMethod(worker, [descriptor, table = m_table, tls = m_tls, worker] {
        serve(descriptor, table, tls, worker);
    });
}

void FixtureEngine::serve(qintptr descriptor, const std::shared_ptr<FixtureRouteTable>& table,
                          const std::optional<QSslConfiguration>& tls, QObject* owner)
{
    QTcpSocket* socket = nullptr;
    if (tls) {
        auto* ssl = new QSslSocket;
        ssl->setSslConfiguration(*tls);
        socket = ssl;
    } else {
        socket = new QTcpSocket;
    }
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    ++table->connections;
    new FixtureConnection(socket, table, owner);
    if (tls)
        static_cast<QSslSocket*>(socket)->startServerEncryption();
}

} // namespace norvelle::test
