#pragma once

#include "FixtureServer.h"

#include <QObject>
#include <memory>

class QTcpSocket;
class QTimer;

namespace norvelle::test {

class FixtureRouteTable;

// One client connection of the fixture server: reads a request, records it, and plays the
// scripted reply (delay, stall, slow chunks) on timers, then closes. Owns its socket and
// deletes itself when the client goes away.
class FixtureConnection : public QObject {
    Q_OBJECT
public:
    FixtureConnection(QTcpSocket* socket, std::shared_ptr<FixtureRouteTable> table, QObject* parent);
    ~FixtureConnection() override;

private:
    void onReadyRead();
    void send(const FixtureServer::Reply& reply, bool headOnly);
    void sendNextChunk();

    QTcpSocket* m_socket;
    std::shared_ptr<FixtureRouteTable> m_table;
    QByteArray m_buffer;
    bool m_requestRead = false;
    QByteArray m_body; // sent in chunks, from m_sent on
    qsizetype m_sent = 0;
    qsizetype m_chunkSize = 0;
    QTimer* m_chunkTimer = nullptr;
};

} // namespace norvelle::test
