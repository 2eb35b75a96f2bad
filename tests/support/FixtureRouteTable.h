#pragma once

#include "FixtureServer.h"

#include <QHash>
#include <atomic>
#include <mutex>

namespace norvelle::test {

// The fixture server's routes and its record of requests, shared between the test's
// thread and the server thread.
class FixtureRouteTable {
public:
    void set(const QString& pathAndQuery, FixtureServer::Handler handler);
    void remove(const QString& pathAndQuery);
    void clear();

    // Records the request, then returns the answer of its route (404 when there is none).
    // The handler runs outside the lock, so it may itself use the server's methods.
    FixtureServer::Reply answer(const FixtureServer::Request& request);

    QList<FixtureServer::Request> requests() const;
    // Whether plain answers leave the connection open for the next request.
    std::atomic<bool> keepAlive{false};
    std::atomic<int> connections{0};
    std::atomic<int> openConnections{0}; // accepted and not yet closed
    void clearRequests();

private:
    static QString key(const QString& decodedPath, const QString& query);

    mutable std::mutex m_mutex;
    QHash<QString, FixtureServer::Handler> m_routes; // by key(): path, plus normalised query if any
    QList<FixtureServer::Request> m_requests;
};

} // namespace norvelle::test
