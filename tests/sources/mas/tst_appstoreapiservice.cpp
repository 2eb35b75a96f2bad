#include "FixtureServer.h"
#include "LogCapture.h"
#include "platform/http/HttpClient.h"
#include "sources/mas/AppStoreAPIService.h"
#include "sources/mas/LocaleRegionProvider.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QtConcurrent>

using namespace norvelle;
using namespace std::chrono_literals;
using norvelle::test::FixtureServer;
using norvelle::test::LogCapture;
using Reply = FixtureServer::Reply;
using Level = Logger::Level;

namespace {

class FixedRegion : public RegionProvider {
public:
    explicit FixedRegion(std::optional<QString> region) : m_region(std::move(region)) {}
    std::optional<QString> currentRegion() const override { return m_region; }

private:
    std::optional<QString> m_region;
};

QByteArray lookupReply(const QString& version, const QString& bundleId = QStringLiteral("com.example.app"))
{
    const QJsonObject result{{"trackId", 42},
                             {"bundleId", bundleId},
                             {"trackName", "Example"},
                             {"version", version},
                             {"releaseNotes", "Notes for " + version},
                             {"fileSizeBytes", "1000"}};
    return QJsonDocument(QJsonObject{{"resultCount", 1}, {"results", QJsonArray{result}}}).toJson();
}

struct Fixture {
    FixtureServer server;
    std::shared_ptr<AppStoreAPIService> service;

    explicit Fixture(std::optional<QString> region = QStringLiteral("US"),
                     std::chrono::milliseconds timeout = 5s)
    {
        service = std::make_shared<AppStoreAPIService>(
            AppStoreAPIService::Options{server.url(QStringLiteral("/lookup")),
                                        std::make_shared<HttpClient>(HttpClient::Options{.timeout = timeout}),
                                        std::make_shared<FixedRegion>(std::move(region))});
    }
    qsizetype requestCount() const { return server.requests(QStringLiteral("/lookup")).size(); }
};

} // namespace

class TestAppStoreAPIService : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void queryTheServerReceives_data()
    {
        QTest::addColumn<QVariant>("region"); // invalid: the provider names none
        QTest::addColumn<QString>("query");
        QTest::newRow("US") << QVariant(QStringLiteral("US"))
                            << "bundleId=com.example.app&country=US&limit=1";
        QTest::newRow("Germany") << QVariant(QStringLiteral("DE"))
                                 << "bundleId=com.example.app&country=DE&limit=1";
        QTest::newRow("no region") << QVariant() << "bundleId=com.example.app&country=US&limit=1";
    }
    void queryTheServerReceives()
    {
        QFETCH(QVariant, region);
        QFETCH(QString, query);
        Fixture f(region.isValid() ? std::optional<QString>(region.toString()) : std::nullopt);
        f.server.route(QStringLiteral("/lookup"), Reply{200, lookupReply("2.0")});

        QVERIFY(f.service->fetchMetadata(QStringLiteral("com.example.app")));
        const auto requests = f.server.requests(QStringLiteral("/lookup"));
        QCOMPARE(requests.size(), 1);
        QCOMPARE(requests.first().method, QByteArray("GET"));
        QCOMPARE(requests.first().query, query);
    }

    void identifierCannotAddOrBreakParameters_data()
    {
        QTest::addColumn<QString>("identifier");
        QTest::newRow("ampersand and key") << "com.a&country=XX&limit=50";
        QTest::newRow("equals") << "com.a=b";
        QTest::newRow("fragment") << "com.a#frag";
        QTest::newRow("plus and space") << "com.a+b c";
        QTest::newRow("percent escape") << "com.a%26b%3D";
        QTest::newRow("slash and question mark") << "com.a/b?c";
        QTest::newRow("non-ascii") << "com.exämple.äpp";
        QTest::newRow("ordinary with hyphen and digits") << "com.example-2.app_x";
    }
    void identifierCannotAddOrBreakParameters()
    {
        QFETCH(QString, identifier);
        Fixture f;
        f.server.route(QStringLiteral("/lookup"), Reply{200, lookupReply("2.0")});

        QVERIFY(f.service->fetchMetadata(identifier));
        const auto requests = f.server.requests(QStringLiteral("/lookup"));
        QCOMPARE(requests.size(), 1);
        const QUrlQuery query = requests.first().queryItems();
        QCOMPARE(query.queryItems().size(), 3);
        QCOMPARE(query.queryItemValue(QStringLiteral("bundleId"), QUrl::FullyDecoded), identifier);
        QCOMPARE(query.queryItemValue(QStringLiteral("country")), QStringLiteral("US"));
        QCOMPARE(query.queryItemValue(QStringLiteral("limit")), QStringLiteral("1"));
    }

    void localeRegion_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("region"); // empty: none
        QTest::newRow("C") << "C"
                           << "";
        QTest::newRow("de_DE") << "de_DE"
                               << "DE";
        QTest::newRow("en_US") << "en_US"
                               << "US";
        QTest::newRow("fr_CA") << "fr_CA"
                               << "CA";
    }
    void localeRegion()
    {
        QFETCH(QString, locale);
        QFETCH(QString, region);
        const std::optional<QString> got = LocaleRegionProvider(QLocale(locale)).currentRegion();
        QCOMPARE(got.value_or(QString()), region);
    }

    void cachedRecordIsServedWithoutRequest()
    {
        Fixture f;
        f.server.route(QStringLiteral("/lookup"), Reply{200, lookupReply("2.0")});
        const auto first = f.service->fetchMetadata(QStringLiteral("com.example.app"), QStringLiteral("2.0"));
        QVERIFY(first);
        QCOMPARE(first->releaseNotes, QStringLiteral("Notes for 2.0"));
        QCOMPARE(first->fileSizeBytes, qint64(1000));

        LogCapture log;
        QCOMPARE(f.service->fetchMetadata(QStringLiteral("com.example.app")), first);
        QCOMPARE(f.service->fetchMetadata(QStringLiteral("com.example.app"), QStringLiteral("2.0")), first);
        QCOMPARE(f.requestCount(), 1);
        QVERIFY(log.lines().isEmpty());
    }

    void differentExpectedVersionRefetches()
    {
        Fixture f;
        f.server.route(QStringLiteral("/lookup"), Reply{200, lookupReply("2.0")});
        QVERIFY(f.service->fetchMetadata(QStringLiteral("com.example.app"), QStringLiteral("2.0")));

        LogCapture log;
        const auto again = f.service->fetchMetadata(QStringLiteral("com.example.app"), QStringLiteral("2.1"));
        QVERIFY(again);
        QCOMPARE(again->version, QStringLiteral("2.0"));
        QCOMPARE(f.requestCount(), 2);
        QVERIFY(log.contains(
            Level::debug, "Cached version 2.0 doesn't match expected 2.1 for com.example.app, refetching"));
        QVERIFY(log.contains(Level::warning,
                             "Version mismatch for com.example.app: expected 2.1 but iTunes API shows 2.0"));

        // The store still shows 2.0, so asking for 2.1 asks again every time.
        QVERIFY(f.service->fetchMetadata(QStringLiteral("com.example.app"), QStringLiteral("2.1")));
        QCOMPARE(f.requestCount(), 3);

        // Once the store shows the new version, the new record replaces the old one.
        f.server.route(QStringLiteral("/lookup"), Reply{200, lookupReply("2.1")});
        QCOMPARE(f.service->fetchMetadata(QStringLiteral("com.example.app"), QStringLiteral("2.1"))->version,
                 QStringLiteral("2.1"));
        QCOMPARE(f.service->fetchMetadata(QStringLiteral("com.example.app"))->version, QStringLiteral("2.1"));
        QCOMPARE(f.requestCount(), 4);
    }

    void cacheKeyIsTheIdentifierAskedFor()
    {
        Fixture f;
        f.server.route(QStringLiteral("/lookup"),
                       Reply{200, lookupReply("2.0", QStringLiteral("com.other"))});
        QCOMPARE(f.service->fetchMetadata(QStringLiteral("com.example.app"))->bundleId,
                 QStringLiteral("com.other"));
        QVERIFY(f.service->fetchMetadata(QStringLiteral("com.example.app")));
        QCOMPARE(f.requestCount(), 1);
    }

    void failedIsFinal_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<int>("level");
        QTest::addColumn<QString>("message");
        QTest::newRow("404") << Reply{404, "not here"} << int(Level::warning)
                             << "iTunes API returned status 404 for bundle: com.example.app";
        QTest::newRow("503") << Reply{503, lookupReply("2.0")} << int(Level::warning)
                             << "iTunes API returned status 503 for bundle: com.example.app";
        QTest::newRow("zero results") << Reply{200, R"({"resultCount":0,"results":[]})"} << int(Level::debug)
                                      << "No App Store results found for bundle: com.example.app";
        QTest::newRow("garbage") << Reply{200, "<html>"} << int(Level::warning)
                                 << "Failed to parse iTunes API response for bundle: com.example.app";
    }
    void failedIsFinal()
    {
        QFETCH(Reply, reply);
        QFETCH(int, level);
        QFETCH(QString, message);
        Fixture f;
        f.server.route(QStringLiteral("/lookup"), reply);
        LogCapture log;
        QVERIFY(!f.service->fetchMetadata(QStringLiteral("com.example.app")));
        QCOMPARE(log.lines().size(), 1);
        QCOMPARE(int(log.lines().first().first), level);
        QCOMPARE(log.lines().first().second, message);

        // A good answer later does not help: the identifier is not asked again.
        f.server.route(QStringLiteral("/lookup"), Reply{200, lookupReply("2.0")});
        log.clear();
        QVERIFY(!f.service->fetchMetadata(QStringLiteral("com.example.app")));
        QVERIFY(!f.service->fetchMetadata(QStringLiteral("com.example.app"), QStringLiteral("2.0")));
        QCOMPARE(f.requestCount(), 1);
        QVERIFY(log.lines().isEmpty());
        // Other identifiers are unaffected.
        QVERIFY(f.service->fetchMetadata(QStringLiteral("com.example.other")));
    }

    void timeoutIsFinal_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::newRow("no answer") << Reply{.body = lookupReply("2.0"), .delay = 30s};
        QTest::newRow("stalled body") << Reply{.body = lookupReply("2.0"), .stallAfter = 10};
    }
    void timeoutIsFinal()
    {
        QFETCH(Reply, reply);
        Fixture f(QStringLiteral("US"), 200ms);
        f.server.route(QStringLiteral("/lookup"), reply);
        LogCapture log;
        QVERIFY(!f.service->fetchMetadata(QStringLiteral("com.example.app")));
        QVERIFY(log.containsPrefix(Level::warning,
                                   "Network error fetching App Store metadata for com.example.app: "));
        QVERIFY(!f.service->fetchMetadata(QStringLiteral("com.example.app")));
        QCOMPARE(f.requestCount(), 1);
    }

    void failureKeepsTheOldRecord()
    {
        Fixture f;
        f.server.route(QStringLiteral("/lookup"), Reply{200, lookupReply("2.0")});
        QVERIFY(f.service->fetchMetadata(QStringLiteral("com.example.app")));
        f.server.route(QStringLiteral("/lookup"), Reply{500, ""});

        QVERIFY(!f.service->fetchMetadata(QStringLiteral("com.example.app"), QStringLiteral("2.1")));
        QCOMPARE(f.requestCount(), 2);
        QCOMPARE(f.service->fetchMetadata(QStringLiteral("com.example.app"))->version, QStringLiteral("2.0"));
        QVERIFY(f.service->fetchMetadata(QStringLiteral("com.example.app"), QStringLiteral("2.0")));

        LogCapture log;
        QVERIFY(!f.service->fetchMetadata(QStringLiteral("com.example.app"), QStringLiteral("2.2")));
        QCOMPARE(f.requestCount(), 2);
        QVERIFY(log.contains(
            Level::debug, "Cached version 2.0 doesn't match expected 2.2 for com.example.app, refetching"));
    }

    void unusableLookupAddress_data()
    {
        QTest::addColumn<QUrl>("base");
        QTest::newRow("ftp") << QUrl(QStringLiteral("ftp://127.0.0.1/lookup"));
        QTest::newRow("no host") << QUrl(QStringLiteral("https:///lookup"));
        QTest::newRow("relative") << QUrl(QStringLiteral("lookup"));
    }
    void unusableLookupAddress()
    {
        QFETCH(QUrl, base);
        AppStoreAPIService service(
            {base, std::make_shared<HttpClient>(), std::make_shared<FixedRegion>(std::nullopt)});
        LogCapture log;
        QVERIFY(!service.fetchMetadata(QStringLiteral("com.example.app")));
        QCOMPARE(log.lines().size(), 1);
        QCOMPARE(log.lines().first().second,
                 QStringLiteral("Invalid iTunes API URL for bundle: com.example.app"));
        log.clear();
        QVERIFY(!service.fetchMetadata(QStringLiteral("com.example.app")));
        QVERIFY(log.lines().isEmpty());
    }

    void parallelCallersEachGetTheirRecord()
    {
        Fixture f;
        f.server.route(QStringLiteral("/lookup"), [](const FixtureServer::Request& request) {
            const QString id = request.queryItems().queryItemValue(QStringLiteral("bundleId"));
            return Reply{.body = lookupReply(id.section(u'.', -1), id), .delay = 20ms};
        });
        QStringList ids;
        for (int i = 0; i < 24; ++i)
            ids << QStringLiteral("com.example.%1").arg(i);
        QThreadPool pool;
        pool.setMaxThreadCount(8);
        const QList<std::optional<AppStoreMetadata>> results =
            QtConcurrent::blockingMapped(&pool, ids, [&](const QString& id) {
                return f.service->fetchMetadata(id, id.section(u'.', -1));
            });
        for (qsizetype i = 0; i < ids.size(); ++i) {
            QVERIFY(results[i]);
            QCOMPARE(results[i]->bundleId, ids[i]);
        }
        QCOMPARE(f.requestCount(), ids.size());
        for (const QString& id : ids)
            QVERIFY(f.service->fetchMetadata(id));
        QCOMPARE(f.requestCount(), ids.size());
    }
};

QTEST_GUILESS_MAIN(TestAppStoreAPIService)
#include "tst_appstoreapiservice.moc"
