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
    QTcpSocket* socket = nullptr;
    if (m_tls) {
        auto* ssl = new QSslSocket;
        ssl->setSslConfiguration(*m_tls);
        socket = ssl;
    } else {
        socket = new QTcpSocket;
    }
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    ++m_table->connections;
    new FixtureConnection(socket, m_table, this);
    if (m_tls)
        static_cast<QSslSocket*>(socket)->startServerEncryption();
}

} // namespace norvelle::test
