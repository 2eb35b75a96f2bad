#include "FixtureServer.h"
#include "LatencyRelay.h"
#include "platform/http/HttpClient.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace norvelle;
using namespace norvelle::test;
using namespace std::chrono_literals;

// The relay puts a loopback server a round trip away: what a benchmark of "real hosts" measures
// is only as true as these delays and the bytes it passes on.
class TestLatencyRelay : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void answersArriveIntactAfterTheirRoundTrips_data()
    {
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("bodyBytes");
        QTest::addColumn<int>("roundTrips"); // TCP, TLS, the request
        QTest::newRow("plain") << false << QStringLiteral("127.0.0.1") << 100 << 2;
        QTest::newRow("plain, 3 MB in many chunks") << false << QStringLiteral("127.0.0.1") << (3 << 20) << 2;
        QTest::newRow("TLS to a host of its own under feeds.localhost")
            << true << QStringLiteral("feed-17.feeds.localhost") << 5000 << 3;
    }

    void answersArriveIntactAfterTheirRoundTrips()
    {
        QFETCH(bool, tls);
        QFETCH(QString, host);
        QFETCH(int, bodyBytes);
        QFETCH(int, roundTrips);
        constexpr auto roundTrip = 150ms;
        FixtureServer server(tls ? FixtureServer::Tls::on : FixtureServer::Tls::off, 0, 2);
        QByteArray body(bodyBytes, Qt::Uninitialized);
        for (int i = 0; i < bodyBytes; ++i)
            body[i] = char('a' + (i * 7 + i / 251) % 26);
        server.route(QStringLiteral("/page"), FixtureServer::Reply{200, body});
        HttpClient client(HttpClient::Options{.caFile = FixtureServer::testCaFile()});
        HttpResponse response;
        const auto timedGet = [&](LatencyRelay& relay) {
            relay.start(server.port());
            const QUrl url(QStringLiteral("%1://%2:%3/page")
                               .arg(tls ? QStringLiteral("https") : QStringLiteral("http"), host)
                               .arg(relay.port()));
            QElapsedTimer timer;
            timer.start();
            response = client.get(url);
            return std::chrono::milliseconds(timer.elapsed());
        };
        // What the request costs this machine without the delays: a busy one may take longer
        // than the round trips to pass 3 MB or set up TLS.
        LatencyRelay undelayed(0ms);
        const auto cost = timedGet(undelayed);
        LatencyRelay relay(roundTrip);
        QVERIFY(relay.isListening());
        const auto elapsed = timedGet(relay);
        const QString times = QStringLiteral("%1 ms, %2 ms undelayed").arg(elapsed.count()).arg(cost.count());
        QCOMPARE(response.statusCode, 200);
        QVERIFY(response.body == body);
        QVERIFY2(elapsed >= roundTrips * roundTrip, qPrintable(times));
        // Held chunks travel side by side: a relay that delayed each in turn would take seconds.
        QVERIFY2(elapsed - cost < (roundTrips + 4) * roundTrip, qPrintable(times));
        QCOMPARE(relay.connectionCount(), 1);
        QCOMPARE(server.requests(QStringLiteral("/page")).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestLatencyRelay)
#include "tst_latencyrelay.moc"
