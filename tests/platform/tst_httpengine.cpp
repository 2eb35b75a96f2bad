#include "FixtureServer.h"
#include "platform/http/HttpClient.h"
#include "platform/http/HttpEngine.h"
#include "platform/http/HttpPrefetch.h"

#include <QElapsedTimer>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <vector>

using namespace norvelle;
using namespace norvelle::test;
using namespace std::chrono_literals;
using Reply = FixtureServer::Reply;

namespace {

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
    // follow as slots free up, and every handler is called once.
    void requestsToOneHostKeepToItsCap()
    {
        constexpr int count = 20;
        constexpr auto delay = 400ms;
        FixtureServer server;
        std::mutex mutex;
        std::vector<std::chrono::steady_clock::time_point> arrivals;
        server.route("/slow", [&](const FixtureServer::Request&) {
            std::lock_guard lock(mutex);
            arrivals.push_back(std::chrono::steady_clock::now());
            return Reply{.body = "ok", .delay = delay};
        });
        const HttpClient client;
        Outcomes outcomes(count);
        for (int i = 0; i < count; ++i)
            client.getAsync(server.url("/slow"), outcomes.handler(i));
        QTRY_COMPARE_WITH_TIMEOUT(outcomes.ended(), count, 20000);
        QVERIFY(outcomes.eachOnceWith(std::nullopt));

        // The most requests the server held at once: arrivals within less than one delay.
        std::lock_guard lock(mutex);
        int most = 0;
        for (std::size_t i = 0; i < arrivals.size(); ++i)
            most = std::max<int>(most, int(std::count_if(arrivals.begin(), arrivals.end(), [&](auto t) {
                                     return t >= arrivals[i] && t - arrivals[i] < delay - 100ms;
                                 })));
        QCOMPARE(most, HttpEngine::maxConnectionsPerHost);
    }

    // Quitting ends every request, running or still waiting for a slot, exactly once with a
    // cancellation, and refuses later ones the same way.
    void shutdownEndsEveryWaitingRequestOnce()
    {
        constexpr int count = 20;
        FixtureServer server;
        server.route("/stall", Reply{.body = QByteArray(1000, 'x'), .stallAfter = 10});
        auto engine = std::make_shared<HttpEngine>();
        const HttpClient client(HttpClient::Options{.engine = engine});
        Outcomes outcomes(count);
        for (int i = 0; i < count; ++i)
            client.getAsync(server.url("/stall"), outcomes.handler(i));
        QTRY_COMPARE(server.requests().size(), HttpEngine::maxConnectionsPerHost);
        QCOMPARE(outcomes.ended(), 0);

        QElapsedTimer clock;
        clock.start();
        engine->shutdown();
        QTRY_COMPARE(outcomes.ended(), count);
        QVERIFY(clock.elapsed() < 1000);
        QVERIFY(outcomes.eachOnceWith(HttpError::Kind::cancelled));

        Outcomes late(1);
        client.getAsync(server.url("/stall"), late.handler(0));
        QTRY_COMPARE(late.ended(), 1);
        QVERIFY(late.eachOnceWith(HttpError::Kind::cancelled));
        QCOMPARE(server.requests().size(), HttpEngine::maxConnectionsPerHost);
    }

    // A request still waiting for a slot ends at once when its token is stopped, and is never
    // sent; the others are unaffected.
    void stoppingAWaitingRequestEndsItUnsent()
    {
        FixtureServer server;
        server.route("/slow", Reply{.body = "ok", .delay = 600ms});
        server.route("/late", Reply{.body = "late"});
        const HttpClient client;
        Outcomes outcomes(HttpEngine::maxConnectionsPerHost + 1);
        for (int i = 0; i < HttpEngine::maxConnectionsPerHost; ++i)
            client.getAsync(server.url("/slow"), outcomes.handler(i));
        QTRY_COMPARE(server.requests().size(), HttpEngine::maxConnectionsPerHost);
        std::stop_source stop;
        client.getAsync(server.url("/late"), outcomes.handler(HttpEngine::maxConnectionsPerHost),
                        stop.get_token());
        stop.request_stop();
        QTRY_COMPARE(outcomes.ended(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(outcomes.ended(), HttpEngine::maxConnectionsPerHost + 1, 10000);
        std::lock_guard lock(outcomes.mutex);
        QCOMPARE(outcomes.errors.back(), HttpError::Kind::cancelled);
        QCOMPARE(server.requests("/late").size(), 0);
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
