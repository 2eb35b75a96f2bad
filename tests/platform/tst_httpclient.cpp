#include "FileSizeLimit.h"
#include "FixtureServer.h"
#include "platform/http/HttpClient.h"
#include "platform/http/HttpEngine.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>
#include <QtConcurrent>
#include <atomic>
#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

using namespace norvelle;
using namespace norvelle::test;
using namespace std::chrono_literals;
using Reply = FixtureServer::Reply;

Q_DECLARE_METATYPE(norvelle::test::FixtureServer::Reply)

// Files flushed to the disk by this process, counted in place of the C library's.
static std::atomic<int> flushes{0};
extern "C" int fsync(int fd)
{
    return ++flushes, int(::syscall(SYS_fsync, fd));
}
extern "C" int fdatasync(int fd)
{
    return ++flushes, int(::syscall(SYS_fdatasync, fd));
}

namespace {

// The HttpError the call throws; none when it succeeds.
template <typename Call> std::optional<HttpError> errorOf(Call&& call)
{
    try {
        call();
    } catch (const HttpError& error) {
        return error;
    }
    return std::nullopt;
}

template <typename Call> std::optional<HttpError::Kind> kindOf(Call&& call)
{
    const std::optional<HttpError> error = errorOf(std::forward<Call>(call));
    return error ? std::optional(error->kind()) : std::nullopt;
}

// While it lives the process can open no file: the soft limit is lowered and every free
// descriptor under it taken.
class NoFileLeft {
public:
    NoFileLeft()
    {
        getrlimit(RLIMIT_NOFILE, &m_previous);
        rlimit low = m_previous;
        low.rlim_cur = std::min<rlim_t>(m_previous.rlim_cur, 4096);
        setrlimit(RLIMIT_NOFILE, &low);
        for (int fd = ::dup(STDERR_FILENO); fd >= 0; fd = ::dup(STDERR_FILENO))
            m_taken.push_back(fd);
    }
    ~NoFileLeft()
    {
        for (const int fd : m_taken)
            ::close(fd);
        setrlimit(RLIMIT_NOFILE, &m_previous);
    }
    NoFileLeft(const NoFileLeft&) = delete;
    NoFileLeft& operator=(const NoFileLeft&) = delete;

private:
    rlimit m_previous{};
    std::vector<int> m_taken;
};

QByteArray pattern(qsizetype size)
{
    QByteArray data(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        data[i] = char('a' + (i * 7 + i / 13) % 26);
    return data;
}

} // namespace

class TestHttpClient : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("no_proxy", "127.0.0.1,localhost"); }

    void statusAndBodyAreKeptApart_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("200") << 200 << QByteArray("{\"ok\":true}");
        QTest::newRow("204 empty") << 204 << QByteArray();
        QTest::newRow("404") << 404 << QByteArray("missing");
        QTest::newRow("500") << 500 << QByteArray("server broke");
    }
    void statusAndBodyAreKeptApart()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        FixtureServer server;
        server.route("/thing", Reply{status, body, {{"X-Fixture", "yes"}}});
        const HttpResponse response = HttpClient().get(server.url("/thing"));
        QCOMPARE(response.statusCode, status);
        QCOMPARE(response.body, body);
        QCOMPARE(response.header("x-fixture"), QByteArray("yes"));
        QCOMPARE(response.url, server.url("/thing"));
    }

    void redirectsAreFollowed_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("absolute");
        QTest::newRow("301 path") << 301 << false;
        QTest::newRow("302 absolute") << 302 << true;
        QTest::newRow("307 path") << 307 << false;
        QTest::newRow("308 absolute") << 308 << true;
    }
    void redirectsAreFollowed()
    {
        QFETCH(int, status);
        QFETCH(bool, absolute);
        FixtureServer server;
        const QString target = "/files/final.json?v=2";
        server.route("/start", Reply::redirect(absolute ? server.url("/hop").toString() : "/hop", status));
        Reply hop = Reply::redirect(target, status);
        hop.body = "the body of a redirect is not the answer";
        server.route("/hop", hop);
        server.route("/files/final.json", Reply{200, "final", {{"X-Last", "1"}}});
        QByteArray observed;
        const HttpResponse response =
            HttpClient().get(server.url("/start"), {}, [&](QByteArrayView piece) { observed += piece; });
        QCOMPARE(response.statusCode, 200);
        QCOMPARE(response.body, QByteArray("final"));
        QCOMPARE(observed, response.body); // the redirects' bodies are not seen
        QCOMPARE(response.url, server.url(target));
        // Headers belong to the final answer only.
        QCOMPARE(response.header("X-Last"), QByteArray("1"));
        QVERIFY(response.header("Location").isEmpty());
        QCOMPARE(server.requests().size(), 3);
    }

    // Only a redirect's head is read: its body, whatever its size, encoding or end, cannot fail
    // the request.
    void aRedirectsBodyIsNotRead_data()
    {
        QTest::addColumn<Reply>("hop");
        const auto hop = [](QByteArray body, FixtureServer::Headers headers, qsizetype stallAfter = -1) {
            headers.emplaceBack("Location", "/final");
            return Reply{.status = 302, .body = body, .headers = headers, .stallAfter = stallAfter};
        };
        QTest::newRow("64 MB past the limit, stalled") << hop(QByteArray(64 << 20, 'x'), {}, 2 << 20);
        QTest::newRow("gzip label, not gzip") << hop("not gzip", {{"Content-Encoding", "gzip"}});
        QTest::newRow("unknown encoding") << hop("?", {{"Content-Encoding", "x-unheard-of"}});
        QTest::newRow("cut short") << hop("short", {{"Content-Length", "1000"}});
    }
    void aRedirectsBodyIsNotRead()
    {
        QFETCH(Reply, hop);
        FixtureServer server;
        server.route("/start", hop);
        server.route("/final", Reply{200, "final"});
        const HttpClient client(HttpClient::Options{.timeout = 2s, .maxBodyBytes = 1 << 20});
        HttpResponse response;
        const auto error = errorOf([&] { response = client.get(server.url("/start")); });
        QVERIFY2(!error, error ? qPrintable(error->description()) : "");
        QCOMPARE(response.statusCode, 200);
        QCOMPARE(response.body, QByteArray("final"));
    }

    void endlessRedirectsFail()
    {
        FixtureServer server;
        server.route("/loop", Reply::redirect("/loop"));
        const auto error = errorOf([&] { HttpClient().get(server.url("/loop")); });
        QVERIFY(error);
        QCOMPARE(error->kind(), HttpError::Kind::transport);
        QVERIFY(!error->description().isEmpty());
        QVERIFY(server.requests().size() <= 12);
    }

    // A redirect may lead only to http or https, and once on https not to plain http: the error
    // says why, and the plain server is never asked.
    void redirectsLeavingHttpOrHttpsAreRefused_data()
    {
        QTest::addColumn<bool>("fromTls");
        QTest::addColumn<QString>("location"); // "http" or "https": a second server's
        QTest::addColumn<bool>("refused");
        QTest::newRow("file") << false << "file:///etc/passwd" << true;
        QTest::newRow("ftp") << false << "ftp://127.0.0.1/x" << true;
        // Schemes and addresses libcurl cannot resolve: their bodies were taken as the answer.
        QTest::newRow("itms-apps") << false << "itms-apps://apps.apple.com/app/id1" << true;
        QTest::newRow("mailto") << false << "mailto:notes@example.com" << true;
        QTest::newRow("unreadable") << false << "http://[::1/x" << true;
        QTest::newRow("unreadable https") << false << "https://[::1/x" << true;
        QTest::newRow("https to http") << true << "http" << true;
        QTest::newRow("https to https") << true << "https" << false;
        QTest::newRow("http to https") << false << "https" << false;
    }
    void redirectsLeavingHttpOrHttpsAreRefused()
    {
        QFETCH(bool, fromTls);
        QFETCH(QString, location);
        QFETCH(bool, refused);
        FixtureServer from(fromTls ? FixtureServer::Tls::on : FixtureServer::Tls::off);
        FixtureServer to(location == QLatin1String("https") ? FixtureServer::Tls::on
                                                            : FixtureServer::Tls::off);
        to.route("/final", Reply{200, "final"});
        const bool toServer = location == QLatin1String("http") || location == QLatin1String("https");
        from.route("/start", Reply::redirect(toServer ? to.url("/final").toString() : location));
        const HttpClient client(HttpClient::Options{.caFile = FixtureServer::testCaFile()});
        QByteArray body;
        const auto error = errorOf([&] { body = client.get(from.url("/start")).body; });
        if (!refused) {
            QVERIFY2(!error, qPrintable(error ? error->description() : QString()));
            QCOMPARE(body, QByteArray("final"));
            return;
        }
        QVERIFY(error);
        QCOMPARE(error->kind(), HttpError::Kind::invalidUrl);
        QCOMPARE(to.requests().size(), 0);
        // Named from the address that answered with the redirect.
        if (toServer)
            QCOMPARE(error->description(),
                     QStringLiteral("Refused the redirect from %1 to %2: it leaves https.")
                         .arg(from.url("/start").toString(), to.url("/final").toString()));
        else
            QCOMPARE(error->description(),
                     QStringLiteral("Refused the redirect from %1 to %2: %3.")
                         .arg(from.url("/start").toString(), location,
                              location.startsWith("http") ? "its address cannot be read"
                                                          : "it leads to neither http nor https"));
    }

    void invalidAddressesAreRefused_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::newRow("empty") << QUrl();
        QTest::newRow("relative") << QUrl("just/a/path");
        QTest::newRow("no host") << QUrl("http://");
        QTest::newRow("file") << QUrl("file:///etc/passwd");
        QTest::newRow("ftp") << QUrl("ftp://127.0.0.1/file");
        QTest::newRow("mailto") << QUrl("mailto:someone@example.com");
    }
    void invalidAddressesAreRefused()
    {
        QFETCH(QUrl, url);
        QCOMPARE(kindOf([&] { HttpClient().get(url); }), HttpError::Kind::invalidUrl);
        QTemporaryDir dir;
        const QString path = dir.filePath("out");
        QCOMPARE(kindOf([&] { HttpClient().download(url, path, {}); }), HttpError::Kind::invalidUrl);
        QVERIFY(!QFile::exists(path));
    }

    // A connection refused, or one that cannot be had for want of a file, which the error names.
    void failedConnectionIsATransportError_data()
    {
        QTest::addColumn<bool>("noFileLeft");
        QTest::newRow("refused") << false;
        QTest::newRow("no file left") << true;
    }
    void failedConnectionIsATransportError()
    {
        QFETCH(bool, noFileLeft);
        quint16 port = 0;
        {
            FixtureServer gone;
            port = gone.port();
        }
        const QUrl url(QStringLiteral("http://127.0.0.1:%1/").arg(port));
        const HttpClient client;
        std::optional<HttpError> error;
        if (noFileLeft) {
            const NoFileLeft full;
            error = errorOf([&] { client.get(url); });
        } else {
            error = errorOf([&] { client.get(url); });
        }
        QVERIFY(error);
        QCOMPARE(error->kind(), HttpError::Kind::transport);
        QVERIFY(!error->description().isEmpty());
        if (noFileLeft)
            QVERIFY2(error->description().endsWith(qt_error_string(EMFILE)),
                     qPrintable(error->description()));
    }

    void gzipAnswerIsDecoded()
    {
        FixtureServer server;
        const QByteArray body = pattern(200'000);
        server.route("/big.json", Reply{.body = body, .gzip = true});
        QByteArray observed;
        const HttpResponse response =
            HttpClient().get(server.url("/big.json"), {}, [&](QByteArrayView piece) { observed += piece; });
        QCOMPARE(response.header("Content-Encoding"), QByteArray("gzip"));
        QVERIFY(response.header("Content-Length").toLongLong() < body.size());
        QCOMPARE(response.body, body);
        QCOMPARE(observed, body); // decoded, as it is kept
        QVERIFY(server.requests().first().header("Accept-Encoding").contains("gzip"));
    }

    void requestIsRecordedWithHeaders()
    {
        FixtureServer server;
        server.route("/lookup?id=42&country=us", Reply{200, "matched"});
        server.route("/lookup", Reply{200, "any"});
        HttpClient client(HttpClient::Options{.userAgent = "NorvelleTest/1"});
        QCOMPARE(client.get(server.url("/lookup?country=us&id=42")).body, QByteArray("matched"));
        QCOMPARE(client.get(server.url("/lookup?id=7")).body, QByteArray("any"));
        const auto requests = server.requests("/lookup");
        QCOMPARE(requests.size(), 2);
        QCOMPARE(requests[0].method, QByteArray("GET"));
        QCOMPARE(requests[0].query, QString("country=us&id=42"));
        QCOMPARE(requests[1].queryItems().queryItemValue("id"), QString("7"));
        QVERIFY(requests[0].header("cache-control").isEmpty());
        QCOMPARE(requests[0].header("User-Agent"), QByteArray("NorvelleTest/1"));
    }

    void idleTimeoutEndsAStall_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::newRow("before the answer") << Reply{.body = "late", .delay = 60s};
        QTest::newRow("in the body") << Reply{.body = pattern(100'000), .stallAfter = 5'000};
    }
    void idleTimeoutEndsAStall()
    {
        QFETCH(Reply, reply);
        FixtureServer server;
        server.route("/stall", reply);
        HttpClient client(HttpClient::Options{.timeout = 300ms});
        QElapsedTimer clock;
        clock.start();
        const auto error = errorOf([&] { client.get(server.url("/stall")); });
        QVERIFY(error);
        QCOMPARE(error->kind(), HttpError::Kind::timeout);
        QCOMPARE(error->description(), QString("The request timed out."));
        QVERIFY2(clock.elapsed() >= 300 && clock.elapsed() < 5000,
                 qPrintable(QString::number(clock.elapsed())));
    }

    void steadyTransferOutlastsTheTimeout()
    {
        // 20 pieces 100 ms apart take two seconds in all, four times the idle timeout.
        FixtureServer server;
        const QByteArray body = pattern(2'000);
        server.route("/slow", Reply{.body = body, .chunkSize = 100, .chunkInterval = 100ms});
        HttpClient client(HttpClient::Options{.timeout = 500ms});
        QElapsedTimer clock;
        clock.start();
        const HttpResponse response = client.get(server.url("/slow"));
        QCOMPARE(response.body, body);
        QVERIFY(clock.elapsed() >= 1500);
    }

    void cancellationEndsARunningRequest()
    {
        FixtureServer server;
        server.route("/stall", Reply{.body = pattern(10'000), .stallAfter = 100});
        std::stop_source stop;
        HttpClient client(HttpClient::Options{.timeout = 60s});
        QFuture<std::optional<HttpError>> outcome = QtConcurrent::run(
            [&] { return errorOf([&] { client.get(server.url("/stall"), stop.get_token()); }); });
        QTRY_COMPARE(server.requests().size(), 1);
        stop.request_stop();
        const std::optional<HttpError> error = outcome.result();
        QVERIFY(error);
        QCOMPARE(error->kind(), HttpError::Kind::cancelled);
    }

    void cancelledBeforeStartSendsNothing()
    {
        FixtureServer server;
        std::stop_source stop;
        stop.request_stop();
        QCOMPARE(kindOf([&] { HttpClient().get(server.url("/x"), stop.get_token()); }),
                 HttpError::Kind::cancelled);
        QVERIFY(server.requests().isEmpty());
    }

    void tlsNeedsTheTestAuthority()
    {
        FixtureServer server(FixtureServer::Tls::on);
        server.route("/secure", Reply{200, "secret"});
        QCOMPARE(server.url("/secure").scheme(), QString("https"));
        const HttpResponse response =
            HttpClient(HttpClient::Options{.caFile = FixtureServer::testCaFile()}).get(server.url("/secure"));
        QCOMPARE(response.statusCode, 200);
        QCOMPARE(response.body, QByteArray("secret"));

        const auto error = errorOf([&] { HttpClient().get(server.url("/secure")); });
        QVERIFY(error);
        QCOMPARE(error->kind(), HttpError::Kind::transport);
        QVERIFY2(error->description().contains("certificate", Qt::CaseInsensitive),
                 qPrintable(error->description()));
    }

    void concurrentRequestsFromWorkers()
    {
        FixtureServer server(FixtureServer::Tls::on);
        constexpr int count = 200;
        for (int i = 0; i < count; ++i)
            server.route(QStringLiteral("/item/%1").arg(i),
                         Reply{.body = QByteArray::number(i), .delay = 50ms});
        HttpClient client(HttpClient::Options{.timeout = 10s, .caFile = FixtureServer::testCaFile()});
        QThreadPool pool;
        pool.setMaxThreadCount(64);
        QList<QFuture<QByteArray>> results;
        for (int i = 0; i < count; ++i)
            results.append(QtConcurrent::run(
                &pool, [&, i] { return client.get(server.url(QStringLiteral("/item/%1").arg(i))).body; }));
        for (int i = 0; i < count; ++i)
            QCOMPARE(results[i].result(), QByteArray::number(i));
        QCOMPARE(server.requests().size(), count);
    }

    void largeBody()
    {
        FixtureServer server;
        const QByteArray body = pattern(12 * 1024 * 1024);
        server.route("/catalogue.json", Reply{200, body});
        QCOMPARE(HttpClient().get(server.url("/catalogue.json")).body, body);
    }

    void downloadReportsProgress_data()
    {
        QTest::addColumn<bool>("withLength");
        QTest::newRow("with length") << true;
        QTest::newRow("without length") << false;
    }
    void downloadReportsProgress()
    {
        QFETCH(bool, withLength);
        FixtureServer server;
        const QByteArray body = pattern(64 * 1024);
        server.route("/App.zip", Reply{.body = body,
                                       .chunkSize = 16 * 1024,
                                       .chunkInterval = 10ms,
                                       .omitContentLength = !withLength});
        server.route("/latest", Reply{302, "moved", {{"Location", "/App.zip"}}});
        QTemporaryDir dir;
        const QString path = dir.filePath("App.zip");
        QList<QPair<qint64, qint64>> steps;
        flushes = 0;
        const HttpResponse response =
            HttpClient().download(server.url("/latest"), path, [&](qint64 received, qint64 expected) {
                steps.append({received, expected});
            });
        QCOMPARE(response.statusCode, 200);
        QCOMPARE(response.url, server.url("/App.zip"));
        QVERIFY(response.body.isEmpty());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), body);
        // An update's archive is thrown away once unpacked: a quit waited for its flush.
        QCOMPARE(flushes.load(), 0);
        // How many reports there are depends on how the reads fall (a busy machine may take the
        // whole body in one): they only grow, and the last one is the whole answer.
        QVERIFY(!steps.isEmpty());
        for (qsizetype i = 1; i < steps.size(); ++i)
            QVERIFY(steps[i].first > steps[i - 1].first);
        const qint64 expected = withLength ? qint64(body.size()) : qint64(-1);
        QCOMPARE(steps.last(), qMakePair(qint64(body.size()), expected));

        // Bytes are reported while the answer still comes: one that stalls halfway is reported
        // up to there, which ends it here.
        server.route("/half", Reply{.body = body, .stallAfter = body.size() / 2,
                                    .omitContentLength = !withLength});
        std::stop_source stop;
        steps.clear();
        QCOMPARE(kindOf([&] {
                     HttpClient(HttpClient::Options{.timeout = 60s})
                         .download(server.url("/half"), dir.filePath("half"),
                                   [&](qint64 received, qint64 expectedNow) {
                                       steps.append({received, expectedNow});
                                       if (received == body.size() / 2)
                                           stop.request_stop();
                                   },
                                   stop.get_token());
                 }),
                 HttpError::Kind::cancelled);
        QCOMPARE(steps.last(), qMakePair(qint64(body.size() / 2), expected));
    }

    void failedDownloadLeavesNoFile()
    {
        FixtureServer server;
        server.route("/App.zip", Reply{.body = pattern(50'000), .stallAfter = 20'000});
        QTemporaryDir dir;
        const QString path = dir.filePath("App.zip");
        const auto error = errorOf([&] {
            HttpClient(HttpClient::Options{.timeout = 200ms}).download(server.url("/App.zip"), path, {});
        });
        QVERIFY(error);
        QCOMPARE(error->kind(), HttpError::Kind::timeout);
        QVERIFY(!QFile::exists(path));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }

    // A disk that fills up mid-download: the error gives the system's reason, and nothing is
    // left behind.
    void downloadOntoAFullDiskSaysWhy()
    {
        FixtureServer server;
        server.route("/App.zip", Reply{.body = pattern(300'000)});
        QTemporaryDir dir;
        std::optional<HttpError> error;
        {
            const FileSizeLimit fullDisk(64 * 1024);
            error =
                errorOf([&] { HttpClient().download(server.url("/App.zip"), dir.filePath("App.zip"), {}); });
        }
        QVERIFY(error);
        QCOMPARE(error->kind(), HttpError::Kind::file);
        QVERIFY2(error->description().endsWith(qt_error_string(EFBIG)), qPrintable(error->description()));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }

    void unwritableDownloadTargetIsAFileError()
    {
        FixtureServer server;
        server.route("/App.zip", Reply{200, "zip"});
        QTemporaryDir dir;
        QCOMPARE(kindOf([&] {
                     HttpClient().download(server.url("/App.zip"), dir.filePath("missing/dir/App.zip"), {});
                 }),
                 HttpError::Kind::file);
    }
    // The limit is 1 MiB: an answer of exactly that size arrives whole, one byte more ends it.
    void answersBeyondTheLimitEnd_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<bool>("toFile");
        QTest::addColumn<bool>("refused");
        const qsizetype limit = 1 << 20;
        const QByteArray zeros(8 << 20, '\0');
        QTest::newRow("body at the limit") << Reply{.body = pattern(limit)} << false << false;
        QTest::newRow("body one byte past") << Reply{.body = pattern(limit + 1)} << false << true;
        QTest::newRow("gzip inflating past it") << Reply{.body = zeros, .gzip = true} << false << true;
        QTest::newRow("download without length at the limit")
            << Reply{.body = pattern(limit), .omitContentLength = true} << true << false;
        QTest::newRow("download without length one byte past")
            << Reply{.body = pattern(limit + 1), .omitContentLength = true} << true << true;
    }
    void answersBeyondTheLimitEnd()
    {
        QFETCH(Reply, reply);
        QFETCH(bool, toFile);
        QFETCH(bool, refused);
        FixtureServer server;
        server.route("/big", reply);
        HttpClient client(HttpClient::Options{.maxBodyBytes = 1 << 20, .maxDownloadBytes = 1 << 20});
        QTemporaryDir dir;
        QByteArray received;
        const auto error = errorOf([&] {
            if (toFile)
                client.download(server.url("/big"), dir.filePath("big"), {});
            else
                received = client.get(server.url("/big")).body;
        });
        if (!refused) {
            QVERIFY2(!error, error ? qPrintable(error->description()) : "");
            QCOMPARE(toFile ? QFileInfo(dir.filePath("big")).size() : received.size(), reply.body.size());
            return;
        }
        QVERIFY(error);
        QCOMPARE(error->kind(), HttpError::Kind::tooLarge);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
    }

    void deadlineEndsASteadyTransfer()
    {
        FixtureServer server;
        server.route("/slow", Reply{.body = pattern(2'000), .chunkSize = 100, .chunkInterval = 100ms});
        HttpClient client(HttpClient::Options{.timeout = 5s, .deadline = 400ms});
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(kindOf([&] { client.get(server.url("/slow")); }), HttpError::Kind::timeout);
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    }

    void clientsOfOneEngineShareConnections_data()
    {
        QTest::addColumn<bool>("tls");
        QTest::addColumn<bool>("sharedEngine");
        QTest::addColumn<int>("connections");
        QTest::newRow("http, one engine") << false << true << 1;
        QTest::newRow("https, one engine") << true << true << 1;
        QTest::newRow("https, an engine each") << true << false << 2;
    }
    void clientsOfOneEngineShareConnections()
    {
        QFETCH(bool, tls);
        QFETCH(bool, sharedEngine);
        QFETCH(int, connections);
        FixtureServer server(tls ? FixtureServer::Tls::on : FixtureServer::Tls::off);
        server.setKeepAlive(true);
        server.route("/x", Reply{200, "x"});
        auto engine = std::make_shared<HttpEngine>();
        const auto options = [&] {
            return HttpClient::Options{.caFile = FixtureServer::testCaFile(),
                                       .engine = sharedEngine ? engine : nullptr};
        };
        const HttpClient first(options());
        const HttpClient second(options());
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(first.get(server.url("/x")).body, QByteArray("x"));
            QCOMPARE(second.get(server.url("/x")).body, QByteArray("x"));
        }
        QCOMPARE(server.connectionCount(), connections);
    }

    void shutdownEndsEveryTransferOfTheEngine()
    {
        FixtureServer server;
        server.route("/stall", Reply{.body = pattern(10'000), .stallAfter = 100});
        auto engine = std::make_shared<HttpEngine>();
        const HttpClient first(HttpClient::Options{.timeout = 60s, .engine = engine});
        const HttpClient second(HttpClient::Options{.timeout = 60s, .engine = engine});
        QFuture<std::optional<HttpError::Kind>> outcome =
            QtConcurrent::run([&] { return kindOf([&] { first.get(server.url("/stall")); }); });
        QTRY_COMPARE(server.requests().size(), 1);
        engine->shutdown();
        QCOMPARE(outcome.result(), HttpError::Kind::cancelled);
        QCOMPARE(kindOf([&] { second.get(server.url("/stall")); }), HttpError::Kind::cancelled);
        QCOMPARE(server.requests().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestHttpClient)
#include "tst_httpclient.moc"
