#include "FixtureServer.h"
#include "LogCapture.h"
#include "platform/http/HttpClient.h"
#include "sources/mas/AppStoreAPIService.h"
#include "sources/mas/LocaleRegionProvider.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <atomic>

using namespace norvelle;
using namespace std::chrono_literals;
using norvelle::test::FixtureServer;
using norvelle::test::LogCapture;
using Reply = FixtureServer::Reply;
using Level = Logger::Level;
using LogLines = QList<QPair<Level, QString>>;

namespace {

const QString kApp = QStringLiteral("com.example.app");

class FixedRegion : public RegionProvider {
public:
    explicit FixedRegion(std::optional<QString> region) : m_region(std::move(region)) {}
    std::optional<QString> currentRegion() const override { return m_region; }

private:
    std::optional<QString> m_region;
};

QByteArray lookupReply(const QString& version, const QString& bundleId = kApp)
{
    const QJsonObject result{{"trackId", 42},      {"bundleId", bundleId},    {"trackName", "Example"},
                             {"version", version}, {"releaseNotes", "Notes"}, {"fileSizeBytes", "1000"}};
    return QJsonDocument(QJsonObject{{"resultCount", 1}, {"results", QJsonArray{result}}}).toJson();
}

struct Fixture {
    FixtureServer server;
    AppStoreAPIService service;

    explicit Fixture(std::optional<QString> region = QStringLiteral("US"),
                     std::chrono::milliseconds timeout = 5s)
        : service({server.url(QStringLiteral("/lookup")),
                   std::make_shared<HttpClient>(HttpClient::Options{.timeout = timeout}),
                   std::make_shared<FixedRegion>(std::move(region))})
    {
    }
    void answer(const Reply& reply) { server.route(QStringLiteral("/lookup"), reply); }
    qsizetype requestCount() const { return server.requests(QStringLiteral("/lookup")).size(); }
};

} // namespace

class TestAppStoreAPIService : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void queryTheServerReceives_data()
    {
        QTest::addColumn<QString>("region"); // empty: the provider names none
        QTest::addColumn<QString>("query");
        QTest::newRow("US") << "US"
                            << "bundleId=com.example.app&country=US&limit=1";
        QTest::newRow("Germany") << "DE"
                                 << "bundleId=com.example.app&country=DE&limit=1";
        QTest::newRow("no region") << ""
                                   << "bundleId=com.example.app&country=US&limit=1";
    }
    void queryTheServerReceives()
    {
        QFETCH(QString, region);
        QFETCH(QString, query);
        Fixture f(region.isEmpty() ? std::nullopt : std::optional<QString>(region));
        f.answer(Reply{200, lookupReply("2.0")});
        QVERIFY(f.service.fetchMetadata(kApp));
        const auto requests = f.server.requests(QStringLiteral("/lookup"));
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.first().method, QByteArray("GET"));
        QCOMPARE(requests.first().query, query);
    }

    void identifierCannotAddOrBreakParameters_data()
    {
        QTest::addColumn<QString>("identifier");
        QTest::newRow("ampersand and key") << "com.a&country=XX&limit=50";
        QTest::newRow("fragment") << "com.a#frag";
        QTest::newRow("plus and space") << "com.a+b c";
        QTest::newRow("percent escape") << "com.a%26b%3D";
        QTest::newRow("non-ascii") << "com.exämple.äpp";
    }
    void identifierCannotAddOrBreakParameters()
    {
        QFETCH(QString, identifier);
        Fixture f;
        f.answer(Reply{200, lookupReply("2.0")});
        QVERIFY(f.service.fetchMetadata(identifier));
        const QUrlQuery query = f.server.requests(QStringLiteral("/lookup")).first().queryItems();
        QCOMPARE(query.queryItems().size(), 3);
        QCOMPARE(query.queryItemValue(QStringLiteral("bundleId"), QUrl::FullyDecoded), identifier);
        QCOMPARE(query.queryItemValue(QStringLiteral("country")), QStringLiteral("US"));
    }

    void localeRegion_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("region"); // empty: none
        QTest::newRow("C") << "C"
                           << "";
        QTest::newRow("de_DE") << "de_DE"
                               << "DE";
        QTest::newRow("fr_CA") << "fr_CA"
                               << "CA";
    }
    void localeRegion()
    {
        QFETCH(QString, locale);
        QFETCH(QString, region);
        QCOMPARE(LocaleRegionProvider(QLocale(locale)).currentRegion().value_or(QString()), region);
    }

    void cacheAndExpectedVersion()
    {
        Fixture f;
        f.answer(Reply{200, lookupReply("2.0")});
        const auto first = f.service.fetchMetadata(kApp, QStringLiteral("2.0"));
        QVERIFY(first);

        LogCapture log;
        QCOMPARE(f.service.fetchMetadata(kApp), first);
        QCOMPARE(f.service.fetchMetadata(kApp, QStringLiteral("2.0")), first);
        QCOMPARE(f.requestCount(), 1);
        QVERIFY(log.lines().isEmpty());

        // The store still shows 2.0: asking for 2.1 asks again every time, and gets 2.0.
        QCOMPARE(f.service.fetchMetadata(kApp, QStringLiteral("2.1")), first);
        QCOMPARE(log.lines(),
                 (LogLines{{Level::debug,
                            "Cached version 2.0 doesn't match expected 2.1 for com.example.app, refetching"},
                           {Level::warning,
                            "Version mismatch for com.example.app: expected 2.1 but iTunes API shows 2.0"}}));
        QVERIFY(f.service.fetchMetadata(kApp, QStringLiteral("2.1")));
        QCOMPARE(f.requestCount(), 3);

        // A new record replaces the old one; the reply's own bundleId is not the key.
        f.answer(Reply{200, lookupReply("2.1", QStringLiteral("com.other"))});
        QCOMPARE(f.service.fetchMetadata(kApp, QStringLiteral("2.1"))->bundleId, QStringLiteral("com.other"));
        QCOMPARE(f.service.fetchMetadata(kApp)->version, QStringLiteral("2.1"));
        QCOMPARE(f.requestCount(), 4);
    }

    void failedIsFinal_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<std::chrono::milliseconds>("timeout");
        QTest::addColumn<QString>("message"); // a prefix
        QTest::addColumn<bool>("async");      // fetchMetadataAsync, else fetchMetadata
        const QString networkError = "Network error fetching App Store metadata for com.example.app: ";
        QTest::newRow("404") << Reply{404, "no"} << 5000ms
                             << "iTunes API returned status 404 for bundle: com.example.app" << false;
        QTest::newRow("503") << Reply{503, lookupReply("2.0")} << 5000ms
                             << "iTunes API returned status 503 for bundle: com.example.app" << false;
        QTest::newRow("zero results") << Reply{200, R"({"resultCount":0})"} << 5000ms
                                      << "No App Store results found for bundle: com.example.app" << false;
        QTest::newRow("no answer in time")
            << Reply{.body = lookupReply("2.0"), .delay = 30s} << 200ms << networkError << false;
        QTest::newRow("stalled body")
            << Reply{.body = lookupReply("2.0"), .stallAfter = 10} << 200ms << networkError << false;
        QTest::newRow("404, async") << Reply{404, "no"} << 5000ms
                                    << "iTunes API returned status 404 for bundle: com.example.app" << true;
        QTest::newRow("no answer in time, async")
            << Reply{.body = lookupReply("2.0"), .delay = 30s} << 200ms << networkError << true;
        QTest::newRow("stalled body, async")
            << Reply{.body = lookupReply("2.0"), .stallAfter = 10} << 200ms << networkError << true;
    }
    void failedIsFinal()
    {
        QFETCH(Reply, reply);
        QFETCH(std::chrono::milliseconds, timeout);
        QFETCH(QString, message);
        QFETCH(bool, async);
        Fixture f(QStringLiteral("US"), timeout);
        f.answer(reply);
        LogCapture log;
        if (async) {
            std::atomic<int> calls = 0;
            std::atomic<bool> found = true;
            f.service.fetchMetadataAsync(kApp, std::nullopt, [&](std::optional<AppStoreMetadata> metadata) {
                found = metadata.has_value();
                ++calls;
            });
            QTRY_COMPARE(calls.load(), 1);
            QVERIFY(!found);
        } else {
            QVERIFY(!f.service.fetchMetadata(kApp));
        }
        QCOMPARE(log.lines().size(), 1);
        QVERIFY(log.lines().first().second.startsWith(message));

        // A good answer later does not help: the identifier is not asked again.
        f.answer(Reply{200, lookupReply("2.0")});
        log.clear();
        QVERIFY(!f.service.fetchMetadata(kApp));
        QVERIFY(!f.service.fetchMetadata(kApp, QStringLiteral("2.0")));
        QCOMPARE(f.requestCount(), 1);
        QVERIFY(log.lines().isEmpty());
        QVERIFY(f.service.fetchMetadata(QStringLiteral("com.example.other")));
    }

    void failureKeepsTheOldRecord()
    {
        Fixture f;
        f.answer(Reply{200, lookupReply("2.0")});
        QVERIFY(f.service.fetchMetadata(kApp));
        f.answer(Reply{500, ""});
        QVERIFY(!f.service.fetchMetadata(kApp, QStringLiteral("2.1")));
        QCOMPARE(f.service.fetchMetadata(kApp)->version, QStringLiteral("2.0"));
        QVERIFY(f.service.fetchMetadata(kApp, QStringLiteral("2.0")));
        QVERIFY(!f.service.fetchMetadata(kApp, QStringLiteral("2.2")));
        QCOMPARE(f.requestCount(), 2);
    }

    void unusableLookupAddress()
    {
        AppStoreAPIService service({QUrl(QStringLiteral("ftp://127.0.0.1/lookup")),
                                    std::make_shared<HttpClient>(),
                                    std::make_shared<FixedRegion>(std::nullopt)});
        LogCapture log;
        QVERIFY(!service.fetchMetadata(kApp));
        QVERIFY(!service.fetchMetadata(kApp));
        QCOMPARE(log.lines(),
                 (LogLines{{Level::warning, "Invalid iTunes API URL for bundle: com.example.app"}}));
    }
};

QTEST_GUILESS_MAIN(TestAppStoreAPIService)
#include "tst_appstoreapiservice.moc"
