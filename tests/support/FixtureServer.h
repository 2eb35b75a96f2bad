#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>
#include <QUrlQuery>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class QThread;

namespace norvelle::test {

class FixtureEngine;
class FixtureRouteTable;

// A scripted HTTP/1.1 server on the loopback interface, for tests that must not need the network.
//
// It runs its own event loop on its own thread, so a test may block on HttpClient calls (or on
// futures of worker threads that make them) while the server answers. It listens on 127.0.0.1 at
// a free port, serves any number of connections at once, answers every request with
// "Connection: close", and never sleeps: delays, stalls and slow bodies run on timers.
//
//     FixtureServer server;                                 // or server(FixtureServer::Tls::on)
//     server.route("/api/cask.json", FixtureServer::Reply{200, body});
//     server.route("/lookup?id=42", FixtureServer::Reply{.body = json, .delay = 50ms}); // query must match
//     server.route("/echo", [](const FixtureServer::Request& r) { // runs on the server thread
//         return FixtureServer::Reply{200, r.query.toUtf8()};
//     });
//     HttpClient client({.caFile = FixtureServer::testCaFile()}); // trusts the TLS certificate
//     client.get(server.url("/api/cask.json"));
//     QCOMPARE(server.requests("/api/cask.json").size(), 1);
//
// Lookup: a route whose key has a query ("/p?a=1&b=2") matches only requests to that path with
// exactly those query items (in any order); otherwise the route for the bare path answers, whatever
// the query. Unrouted requests get 404. Routing the same key again replaces the route. Routes may be
// changed while requests run. Every public method is thread-safe. Create the server after the
// QCoreApplication; libcurl honours http_proxy, so a test run under a proxy needs no_proxy=127.0.0.1.
class FixtureServer {
public:
    enum class Tls { off, on };
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    // One scripted answer. An aggregate: write Reply{200, body} or Reply{.status = 500, .delay = 50ms}.
    struct Reply {
        int status = 200;
        QByteArray body{};
        // Sent as given. Content-Length (unless given here or omitContentLength) and
        // "Connection: close" are added.
        Headers headers{};
        // Nothing is sent until this much time has passed since the request arrived.
        std::chrono::milliseconds delay{0};
        // Send the body gzip-compressed, with "Content-Encoding: gzip".
        bool gzip = false;
        // When >= 0: send the head and this many body bytes, then nothing more; the connection stays
        // open (with the full Content-Length announced) until the client gives up.
        qsizetype stallAfter = -1;
        // When > 0: send the body in pieces of this many bytes, one every chunkInterval.
        qsizetype chunkSize = 0;
        std::chrono::milliseconds chunkInterval{0};
        // No Content-Length: the body ends when the server closes the connection.
        bool omitContentLength = false;

        // A redirect to location (absolute, or a path on this server).
        static Reply redirect(const QString& location, int status = 302);
    };

    // A recorded request, as the server parsed it.
    struct Request {
        QByteArray method{};
        QString path{};  // decoded, without the query
        QString query{}; // as sent (percent-encoded), without '?'; empty when none
        Headers headers{};
        QByteArray body{};

        // The first header of that name (compared without case); empty when absent.
        QByteArray header(const QByteArray& name) const;
        QUrlQuery queryItems() const { return QUrlQuery(query); }
    };

    // Computes the answer on the server thread; it must not block.
    using Handler = std::function<Reply(const Request& request)>;

    explicit FixtureServer(Tls tls = Tls::off);
    // Listens on that port (0: any free one) and, unlike the constructor above, survives a port
    // that is taken: isListening() tells (a world that keeps its address across runs).
    FixtureServer(Tls tls, quint16 port);
    // Serves the connections on that many threads of their own, in turn: a world of hundreds of
    // TLS handshakes at once would otherwise wait for one core.
    FixtureServer(Tls tls, quint16 port, int threads);
    ~FixtureServer();
    FixtureServer(const FixtureServer&) = delete;
    FixtureServer& operator=(const FixtureServer&) = delete;

    // Scripts the answer for a path, optionally with "?query" (see Lookup above).
    void route(const QString& pathAndQuery, Reply reply);
    void route(const QString& pathAndQuery, Handler handler);
    void removeRoute(const QString& pathAndQuery);
    void clearRoutes();

    // Off by default: every answer carries "Connection: close". On: answers without a stall,
    // chunks or an omitted length keep the connection open for further requests, as real
    // servers do, so clients that reuse connections can be measured.
    void setKeepAlive(bool on);
    // The connections accepted so far, and those of them still open.
    int connectionCount() const;
    int openConnectionCount() const;

    // The address of a path (with an optional "?query") on this server: http(s)://127.0.0.1:port/path.
    QUrl url(const QString& pathAndQuery = QStringLiteral("/")) const;
    quint16 port() const { return m_port; }
    bool isListening() const { return m_port != 0; }
    bool isTls() const { return m_tls == Tls::on; }

    // Every request received so far, in arrival order; or those for one decoded path.
    QList<Request> requests() const;
    QList<Request> requests(const QString& path) const;
    void clearRequests();

    // The test certificate authority that signed the server's certificate; hand it to
    // HttpClient::Options::caFile so TLS requests to this server are trusted.
    static QString testCaFile();

private:
    Tls m_tls;
    quint16 m_port = 0;
    std::shared_ptr<FixtureRouteTable> m_table;
    std::unique_ptr<QThread> m_thread;
    FixtureEngine* m_engine = nullptr; // lives on m_thread
    std::vector<std::unique_ptr<QThread>> m_workerThreads;
    std::vector<QObject*> m_workers; // one on each worker thread
};

} // namespace norvelle::test
