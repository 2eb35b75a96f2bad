#include "FixtureServer.h"
#include "platform/http/HttpClient.h"
#include "platform/http/HttpEngine.h"
#include "platform/http/HttpPrefetch.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <dlfcn.h>
#include <latch>
#include <mutex>
#include <netdb.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace norvelle;
using namespace norvelle::test;
using namespace std::chrono_literals;
using Reply = FixtureServer::Reply;

// Lookups of *.invalid names, made in this process in place of the system's: each holds a socket,
// as the system's holds one for its query, until as many are waiting as the test asks for.
static struct {
    std::mutex mutex;
    std::condition_variable changed;
    int waiting = 0;
    int holdUntil = 0; // waiting
    int starved = 0;   // found no file for their socket
} lookups;

extern "C" int getaddrinfo(const char* name, const char* service, const addrinfo* hints, addrinfo** result)
{
    if (!name || !QByteArrayView(name).endsWith(".invalid"))
        return reinterpret_cast<decltype(&getaddrinfo)>(dlsym(RTLD_NEXT, "getaddrinfo"))(name, service, hints,
                                                                                         result);
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    std::unique_lock lock(lookups.mutex);
    lookups.starved += socket < 0;
    ++lookups.waiting;
    lookups.changed.notify_all();
    lookups.changed.wait(lock, [] { return lookups.waiting >= lookups.holdUntil; });
    if (socket >= 0)
        ::close(socket);
    return EAI_NONAME;
}

namespace {

constexpr int perHost = HttpLimits{}.connectionsPerHost;

// The most requests a server held at once, from their arrival times: two arrivals less than the
// server's delay apart were both waiting for their answers.
int mostAtOnce(const std::vector<std::chrono::steady_clock::time_point>& arrivals,
               std::chrono::milliseconds delay)
{
    int most = 0;
    for (const auto first : arrivals)
        most = std::max<int>(most, int(std::count_if(arrivals.begin(), arrivals.end(), [&](auto t) {
                                 return t >= first && t - first < delay - 20ms;
                             })));
    return most;
}

// What the handlers of many requests received: how often each was called and how each ended.
struct Outcomes {
    std::mutex mutex;
    std::vector<int> calls;
    std::vector<std::optional<HttpError::Kind>> errors; // none: an answer came

    explicit Outcomes(int count) : calls(std::size_t(count), 0), errors(std::size_t(count)) {}

    HttpClient::ResponseHandler handler(int index)
    {
        return [this, index](HttpResponse, std::exception_ptr error) {
            std::optional<HttpError::Kind> kind;
            if (error) {
                try {
                    std::rethrow_exception(error);
                } catch (const HttpError& httpError) {
                    kind = httpError.kind();
                } catch (...) {
                    kind = HttpError::Kind::transport;
                }
            }
            std::lock_guard lock(mutex);
            ++calls[std::size_t(index)];
            errors[std::size_t(index)] = kind;
        };
    }
    int ended()
    {
        std::lock_guard lock(mutex);
        return int(std::count_if(calls.begin(), calls.end(), [](int c) { return c > 0; }));
    }
    bool eachOnceWith(std::optional<HttpError::Kind> kind)
    {
        std::lock_guard lock(mutex);
        for (std::size_t i = 0; i < calls.size(); ++i)
            if (calls[i] != 1 || errors[i] != kind)
                return false;
        return true;
    }
};

} // namespace

class TestHttpEngine : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("no_proxy", "127.0.0.1,localhost"); }

    // Many requests to one host start at once up to the host's cap and no further; the rest
    // follow as slots free up, and every handler is called once with its answer. That holds for
    // the host a request is redirected to, and the wait for a slot there runs no idle timeout.
    void requestsToOneHostKeepToItsCap_data()
    {
        QTest::addColumn<int>("origins"); // hosts that redirect every request to it; 0: asked directly
        QTest::newRow("asked directly") << 0;
        QTest::newRow("redirected to by 8 hosts") << 8;
    }
    void requestsToOneHostKeepToItsCap()
    {
        QFETCH(int, origins);
        constexpr int count = 40;
        constexpr auto delay = 400ms;
        FixtureServer server;
        std::mutex mutex;
        std::vector<std::chrono::steady_clock::time_point> arrivals;
        server.route("/slow", [&](const FixtureServer::Request&) {
            std::lock_guard lock(mutex);
            arrivals.push_back(std::chrono::steady_clock::now());
            return Reply{.body = "ok", .delay = delay};
        });
        std::vector<std::unique_ptr<FixtureServer>> redirecting;
        for (int i = 0; i < origins; ++i) {
            redirecting.push_back(std::make_unique<FixtureServer>());
            redirecting.back()->route("/go", Reply::redirect(server.url("/slow").toString()));
        }
        // Five times what one request takes, a fraction of what they all take.
        const HttpClient client(HttpClient::Options{.timeout = 2s});
        Outcomes outcomes(count);
        for (int i = 0; i < count; ++i)
            client.getAsync(origins ? redirecting[std::size_t(i % origins)]->url("/go") : server.url("/slow"),
                            outcomes.handler(i));
        QTRY_COMPARE_WITH_TIMEOUT(outcomes.ended(), count, 30000);
        QVERIFY(outcomes.eachOnceWith(std::nullopt));
        std::lock_guard lock(mutex);
        QCOMPARE(mostAtOnce(arrivals, delay), perHost);
    }

    // Waves of requests over several hosts, each wave well past the engine's caps: every request
    // ends with its answer, no more run at once than the cap, and once all have ended no more
    // connections stay open for reuse than the idle cap, over all the network threads together.
    void wavesPastTheCapsAllEnd()
    {
        const HttpLimits limits{.connections = 4, .idleConnections = 2, .connectionsPerHost = 2};
        constexpr int hosts = 4;
        constexpr int perWave = 24;
        constexpr auto delay = 100ms;
        std::mutex mutex;
        std::vector<std::chrono::steady_clock::time_point> arrivals;
        std::vector<std::unique_ptr<FixtureServer>> servers;
        for (int i = 0; i < hosts; ++i) {
            servers.push_back(std::make_unique<FixtureServer>());
            servers.back()->setKeepAlive(true);
            servers.back()->route("/x", [&](const FixtureServer::Request&) {
                std::lock_guard lock(mutex);
                arrivals.push_back(std::chrono::steady_clock::now());
                return Reply{.body = "x", .delay = delay};
            });
        }
        const HttpClient client(HttpClient::Options{.engine = std::make_shared<HttpEngine>(limits)});
        for (int wave = 0; wave < 3; ++wave) {
            Outcomes outcomes(perWave);
            for (int i = 0; i < perWave; ++i)
                client.getAsync(servers[std::size_t(i % hosts)]->url("/x"), outcomes.handler(i));
            QTRY_COMPARE_WITH_TIMEOUT(outcomes.ended(), perWave, 20000);
            QVERIFY(outcomes.eachOnceWith(std::nullopt));
        }
        const auto open = [&] {
            int sum = 0;
            for (const auto& server : servers)
                sum += server->openConnectionCount();
            return sum;
        };
        QTRY_VERIFY2(open() <= limits.idleConnections, qPrintable(QString::number(open())));
        std::lock_guard lock(mutex);
        QCOMPARE(mostAtOnce(arrivals, delay), limits.connections);
    }

    // Quitting ends every request, running or still waiting for a slot, exactly once with a
    // cancellation, and refuses later ones the same way; also when their tokens are stopped from
    // another thread meanwhile.
    void shutdownEndsEveryWaitingRequestOnce_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("stoppedMeanwhile");
        QTest::newRow("shut down") << 20 << false;
        QTest::newRow("stopped while shutting down") << 600 << true;
    }
    void shutdownEndsEveryWaitingRequestOnce()
    {
        QFETCH(int, count);
        QFETCH(bool, stoppedMeanwhile);
        FixtureServer server;
        server.route("/stall", Reply{.body = QByteArray(1000, 'x'), .stallAfter = 10});
        auto engine = std::make_shared<HttpEngine>();
        const HttpClient client(HttpClient::Options{.engine = engine});
        Outcomes outcomes(count);
        std::vector<std::stop_source> stops(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            client.getAsync(server.url("/stall"), outcomes.handler(i), stops[std::size_t(i)].get_token());
        QTRY_COMPARE(server.requests().size(), perHost);
        QCOMPARE(outcomes.ended(), 0);

        QElapsedTimer clock;
        clock.start();
        std::latch go(2);
        std::thread stopper([&] {
            go.arrive_and_wait();
            // From the last, which the shutdown reaches last.
            for (auto stop = stops.rbegin(); stoppedMeanwhile && stop != stops.rend(); ++stop)
                stop->request_stop();
        });
        go.arrive_and_wait();
        engine->shutdown();
        stopper.join();
        QTRY_COMPARE(outcomes.ended(), count);
        QVERIFY(clock.elapsed() < 2000);
        QVERIFY(outcomes.eachOnceWith(HttpError::Kind::cancelled));

        Outcomes late(1);
        client.getAsync(server.url("/stall"), late.handler(0));
        QTRY_COMPARE(late.ended(), 1);
        QVERIFY(late.eachOnceWith(HttpError::Kind::cancelled));
        QCOMPARE(server.requests().size(), perHost);
    }

    // A request still waiting for a slot ends at once when its token is stopped, and is never
    // sent; the others are unaffected.
    void stoppingAWaitingRequestEndsItUnsent()
    {
        FixtureServer server;
        server.route("/slow", Reply{.body = "ok", .delay = 600ms});
        server.route("/late", Reply{.body = "late"});
        const HttpClient client;
        Outcomes outcomes(perHost + 1);
        for (int i = 0; i < perHost; ++i)
            client.getAsync(server.url("/slow"), outcomes.handler(i));
        QTRY_COMPARE(server.requests().size(), perHost);
        std::stop_source stop;
        client.getAsync(server.url("/late"), outcomes.handler(perHost), stop.get_token());
        stop.request_stop();
        QTRY_COMPARE(outcomes.ended(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(outcomes.ended(), perHost + 1, 10000);
        std::lock_guard lock(outcomes.mutex);
        QCOMPARE(outcomes.errors.back(), HttpError::Kind::cancelled);
        QCOMPARE(server.requests("/late").size(), 0);
    }

    // The caps fit the open files allowed: all of them where there are enough, fewer where not.
    void capsFitTheOpenFilesLimit_data()
    {
        QTest::addColumn<quint64>("openFiles");
        QTest::addColumn<bool>("full");
        const quint64 needed = HttpLimits{}.openFilesNeeded();
        QTest::newRow("plenty") << quint64(1'048'576) << true;
        QTest::newRow("just enough") << needed << true;
        QTest::newRow("one short") << needed - 1 << false;
        QTest::newRow("384") << quint64(384) << false;
        QTest::newRow("next to nothing") << quint64(16) << false;
    }
    void capsFitTheOpenFilesLimit()
    {
        QFETCH(quint64, openFiles);
        QFETCH(bool, full);
        const HttpLimits fitted = HttpLimits::fitting(openFiles);
        const HttpLimits all;
        QCOMPARE(fitted.connections == all.connections && fitted.idleConnections == all.idleConnections &&
                     fitted.connectionsPerHost == all.connectionsPerHost,
                 full);
        QVERIFY(fitted.connections >= 1 && fitted.idleConnections >= 1);
        QVERIFY(fitted.connectionsPerHost >= 1 && fitted.connectionsPerHost <= fitted.connections);
        if (openFiles > 2 * all.idleConnections + all.openFilesNeeded() - 2 * all.connections)
            QVERIFY(fitted.openFilesNeeded() <= openFiles);
    }

    // Lookups of names that do not resolve, as many at once as run, with no more files free than
    // the engine reserves: none runs short of a file, and each ends saying so of its host.
    void lookupsKeepWithinTheFilesReserved()
    {
        std::mutex mutex;
        QStringList errors;
        const HttpLimits limits{.connections = 24, .idleConnections = 6, .connectionsPerHost = 6};
        const HttpClient client(HttpClient::Options{.engine = std::make_shared<HttpEngine>(limits)});
        const auto reserved = limits.openFilesNeeded() - HttpLimits{0, 0, 0}.openFilesNeeded();
        rlimit before{};
        getrlimit(RLIMIT_NOFILE, &before);
        rlimit low = before;
        low.rlim_cur = std::min<rlim_t>(before.rlim_cur, 4096);
        setrlimit(RLIMIT_NOFILE, &low);
        std::vector<int> taken;
        for (int fd = ::dup(STDERR_FILENO); fd >= 0; fd = ::dup(STDERR_FILENO))
            taken.push_back(fd);
        // What the engine reserves is left free, and a few for the sanitizers' own checks.
        for (std::uint64_t i = 0; i < reserved + 8; ++i, taken.pop_back())
            ::close(taken.back());
        lookups.holdUntil = limits.connections;
        const auto restore = qScopeGuard([&] {
            std::lock_guard lock(lookups.mutex);
            lookups.holdUntil = 0;
            lookups.changed.notify_all();
            for (const int fd : taken)
                ::close(fd);
            setrlimit(RLIMIT_NOFILE, &before);
        });
        constexpr int count = 48;
        for (int i = 0; i < count; ++i)
            client.getAsync(QUrl(QStringLiteral("http://host%1.invalid/").arg(i)),
                            [&](HttpResponse, std::exception_ptr error) {
                                try {
                                    std::rethrow_exception(error);
                                } catch (const HttpError& httpError) {
                                    std::lock_guard lock(mutex);
                                    errors.append(httpError.description());
                                }
                            });
        const auto ended = [&] {
            std::lock_guard lock(mutex);
            return errors.size();
        };
        QTRY_COMPARE(ended(), count);
        for (const QString& error : errors)
            QVERIFY2(error.startsWith("Could not resolve host"), qPrintable(error));
        QCOMPARE(lookups.starved, 0);
    }

    // A soft limit below what the caps need is raised as far as the hard limit allows.
    void startRaisesTheOpenFilesLimit()
    {
        rlimit before{};
        QCOMPARE(getrlimit(RLIMIT_NOFILE, &before), 0);
        const rlim_t needed = HttpLimits{}.openFilesNeeded();
        if (before.rlim_max != RLIM_INFINITY && before.rlim_max < needed)
            QSKIP("the hard limit of open files is below what the caps need");
        rlimit low = before;
        low.rlim_cur = 256;
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &low), 0);
        const auto openDescriptors = [] { return QDir(QStringLiteral("/proc/self/fd")).count(); };
        const auto descriptorsBefore = openDescriptors();
        const HttpLimits fitted = HttpLimits::fitOpenFilesLimit();
        rlimit after{};
        getrlimit(RLIMIT_NOFILE, &after);
        setrlimit(RLIMIT_NOFILE, &before);
        QCOMPARE(after.rlim_cur, needed);
        QCOMPARE(fitted.connections, HttpLimits{}.connections);
        // The descriptor table is grown ahead, and nothing is left open by growing it.
        QCOMPARE(openDescriptors(), descriptorsBefore);
    }

    // An answer asked for ahead serves the first later request for the address, through any
    // client of the engine; later requests ask again, and an untaken answer goes with its batch.
    void prefetchedAnswerServesTheFirstRequest_data()
    {
        QTest::addColumn<bool>("async");
        QTest::addColumn<bool>("dropBatchFirst");
        QTest::addColumn<int>("requests");
        QTest::newRow("blocking get takes it") << false << false << 2;
        QTest::newRow("getAsync takes it") << true << false << 2;
        QTest::newRow("dropped before use") << false << true << 3;
    }
    void prefetchedAnswerServesTheFirstRequest()
    {
        QFETCH(bool, async);
        QFETCH(bool, dropBatchFirst);
        QFETCH(int, requests);
        FixtureServer server;
        server.route("/feed", Reply{.body = "feed", .delay = 100ms});
        auto engine = std::make_shared<HttpEngine>();
        const HttpClient ahead(HttpClient::Options{.engine = engine});
        const HttpClient user(HttpClient::Options{.engine = engine});
        auto batch = std::make_unique<HttpPrefetchBatch>();
        ahead.prefetch(server.url("/feed"), *batch);
        ahead.prefetch(server.url("/feed"), *batch); // already waiting: no second request
        QTRY_COMPARE(server.requests("/feed").size(), 1);
        if (dropBatchFirst)
            batch.reset();

        if (async) {
            Outcomes outcomes(1);
            QByteArray body;
            user.getAsync(server.url("/feed"), [&](HttpResponse response, std::exception_ptr error) {
                body = response.body;
                outcomes.handler(0)(std::move(response), error);
            });
            QTRY_COMPARE(outcomes.ended(), 1);
            QCOMPARE(body, QByteArray("feed"));
        } else {
            QCOMPARE(user.get(server.url("/feed")).body, QByteArray("feed"));
        }
        QCOMPARE(user.get(server.url("/feed")).body, QByteArray("feed"));
        QCOMPARE(server.requests("/feed").size(), requests);
    }
};

QTEST_GUILESS_MAIN(TestHttpEngine)
#include "tst_httpengine.moc"
