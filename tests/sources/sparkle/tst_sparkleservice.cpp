#include "FixtureServer.h"
#include "LogCapture.h"
#include "ScriptedUpdater.h"
#include "UpdaterFixture.h"
#include "model/Application.h"
#include "model/NorvelleError.h"
#include "platform/http/HttpClient.h"
#include "sources/sparkle/ReleaseNotesConverter.h"
#include "sources/sparkle/SparkleService.h"
#include "util/Async.h"

#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>
#include <future>

using namespace norvelle;
using namespace std::chrono_literals;
using norvelle::test::FixtureServer;
using norvelle::test::LogCapture;
using norvelle::test::script;
using norvelle::test::ScriptedStep;
using norvelle::test::ScriptedUpdater;
using norvelle::test::ScriptedUpdaterFactory;
using norvelle::test::UpdaterFixture;
using Kind = ScriptedStep::Kind;

namespace {

struct CheckCall {
    std::optional<Update> update;
    QString error;
    bool onNetworkPool = false; // where the outcome (and the release notes' conversion) came
};

struct InstallCall {
    QString error; // empty: installed
};

AppcastItem offered(const QString& version = QStringLiteral("2.0"))
{
    return test::appcastItem(version, version);
}

QString report(const QString& message, double fraction)
{
    return message + " @ " + QString::number(fraction);
}

QString error(const NorvelleError& e)
{
    return e.description();
}

} // namespace

class SparkleServiceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qputenv("no_proxy", "127.0.0.1,localhost"); }
    void init();
    void checkReturnsTheOfferedUpdate();
    void checkFindsReleaseNotes_data();
    void checkFindsReleaseNotes();
    void checkWithoutAnUpdate_data();
    void checkWithoutAnUpdate();
    void checkIgnoresAnUpdateWithoutAValidFeed();
    void installReportsEachPhase();
    void installFailures_data();
    void installFailures();
    void secondInstallIsRefusedWhileTheFirstRuns();
    void secondInstallIsRefusedWhileTheFirstStarts();

private:
    std::shared_ptr<Application>
    application(const QString& name = QStringLiteral("Sample"),
                const QString& identifier = QStringLiteral("org.example.sample"));
    QFuture<CheckCall> check(const std::shared_ptr<Application>& app);
    QFuture<InstallCall> install(const std::shared_ptr<Application>& app);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::shared_ptr<ScriptedUpdaterFactory> m_factory;
    std::unique_ptr<SparkleService> m_service;
    std::shared_ptr<QStringList> m_progress; // main thread only
    const SparkleInfo m_info{QUrl(QStringLiteral("https://example.org/appcast.xml")), std::nullopt,
                             std::nullopt, true};
};

void SparkleServiceTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_factory = std::make_shared<ScriptedUpdaterFactory>();
    m_service = std::make_unique<SparkleService>(
        m_factory, std::make_shared<HttpClient>(HttpClient::Options{.timeout = 500ms}));
    m_progress = std::make_shared<QStringList>();
}

std::shared_ptr<Application> SparkleServiceTest::application(const QString& name, const QString& identifier)
{
    const QString path =
        UpdaterFixture::writeBundle(m_dir->path(), name + ".app", UpdaterFixture::info(identifier, "1.0"));
    Update update;
    update.latestVersion = QStringLiteral("2.0");
    update.source = Update::Source::sparkle;
    update.sparkleInfo = m_info;
    return Application::create(name, identifier, QUrl::fromLocalFile(path), QStringLiteral("1.0"),
                               QList<Application::Source>{Application::Source::sparkle}, update, std::nullopt,
                               std::nullopt, m_info);
}

QFuture<CheckCall> SparkleServiceTest::check(const std::shared_ptr<Application>& app)
{
    auto outcome = std::make_shared<QPromise<CheckCall>>();
    outcome->start();
    ioPool().start([service = m_service.get(), app, outcome] {
        service->checkForUpdateAsync(app, [outcome](std::optional<Update> update, std::exception_ptr error) {
            CheckCall call{std::move(update), error ? describeException(error) : QString(),
                           networkPool().contains(QThread::currentThread())};
            outcome->addResult(call);
            outcome->finish();
        });
    });
    return outcome->future();
}

QFuture<InstallCall> SparkleServiceTest::install(const std::shared_ptr<Application>& app)
{
    return QtConcurrent::run([service = m_service.get(), app, progress = m_progress] {
        InstallCall call;
        try {
            service->update(app, [progress](const QString& message, double fraction) {
                Q_ASSERT(QThread::currentThread() == QCoreApplication::instance()->thread());
                progress->append(report(message, fraction));
            });
        } catch (const std::exception& e) {
            call.error = describeException(e);
        }
        return call;
    });
}

void SparkleServiceTest::checkReturnsTheOfferedUpdate()
{
    FixtureServer server;
    AppcastItem item = offered("2.4");
    item.versionString = QStringLiteral("2417");
    item.itemDescription = QStringLiteral("<h2>New</h2><p>Faster <b>sync</b>.</p>");
    item.releaseNotesUrl = server.url("/notes.html");
    item.date = QDateTime(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);
    m_factory->script = script({{Kind::permission}, {Kind::found, item}, {Kind::finished}});

    auto future = check(application());
    QTRY_VERIFY_WITH_TIMEOUT(future.isFinished(), 10000);
    const CheckCall call = future.result();
    QCOMPARE(call.error, QString());
    QVERIFY(call.update);
    const Update& update = *call.update;
    QCOMPARE(update.latestVersion, QStringLiteral("2.4,2417"));
    QCOMPARE(update.releaseNotes, ReleaseNotesConverter::convertHTMLToMarkdown(*item.itemDescription));
    QVERIFY(update.releaseNotes);
    QVERIFY(call.onNetworkPool);
    QCOMPARE(update.releaseDate, std::optional<QDateTime>(item.date));
    QCOMPARE(update.source, Update::Source::sparkle);
    QCOMPARE(update.status, Update::Status::available);
    QVERIFY(!update.cask && !update.mas && !update.lastUpdateError);
    QVERIFY(update.sparkleInfo);
    QCOMPARE(update.sparkleInfo->feedURL, m_info.feedURL);
    QVERIFY(!update.sparkleInfo->signature);
    QCOMPARE(update.sparkleInfo->releaseNotesURL, std::optional<QUrl>(server.url("/notes.html")));
    QVERIFY(update.sparkleInfo->supportsAutomaticUpdates);
    // Inline notes win: the page is not fetched.
    QVERIFY(server.requests().isEmpty());
}

void SparkleServiceTest::checkFindsReleaseNotes_data()
{
    QTest::addColumn<QString>("description"); // "-": none
    QTest::addColumn<QString>("page");        // "-": none; "ftp", "stall", or a path on the server
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("notes"); // "-": none
    QTest::addColumn<int>("fetches");
    QTest::addColumn<QString>("logged"); // a prefix of the one error or warning line; empty: none

    const QByteArray html = "<h2>Fixes</h2><ul><li>Crash on start</li></ul>";
    const QString markdown = *ReleaseNotesConverter::convertHTMLToMarkdown(QString::fromUtf8(html));
    QTest::newRow("empty description, page fetched despite its error status")
        << "<p> </p>"
        << "/notes" << 500 << html << markdown << 1 << "";
    QTest::newRow("no description, page") << "-"
                                          << "/notes" << 200 << html << markdown << 1 << "";
    QTest::newRow("neither") << "-"
                             << "-" << 200 << html << "-" << 0 << "";
    QTest::newRow("page not UTF-8") << "-"
                                    << "/notes" << 200 << QByteArray("<p>caf\xe9</p>") << "-" << 1 << "";
    QTest::newRow("page converts to nothing") << "-"
                                              << "/notes" << 200 << QByteArray("<br/>") << "-" << 1 << "";
    QTest::newRow("page not over http")
        << "-"
        << "ftp" << 200 << html << "-" << 0 << "Release notes not fetched, the URL is not http or https: ";
    QTest::newRow("page download fails")
        << "-"
        << "stall" << 200 << html << "-" << 1 << "Failed to fetch release notes from URL: ";
}

void SparkleServiceTest::checkFindsReleaseNotes()
{
    QFETCH(QString, description);
    QFETCH(QString, page);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, notes);
    QFETCH(int, fetches);
    QFETCH(QString, logged);

    FixtureServer server;
    AppcastItem item = offered();
    if (description != "-")
        item.itemDescription = description;
    if (page == "ftp") {
        item.releaseNotesUrl = QUrl(QStringLiteral("ftp://127.0.0.1/notes"));
    } else if (page == "stall") {
        server.route("/notes", FixtureServer::Reply{.status = 200, .body = body, .stallAfter = 0});
        item.releaseNotesUrl = server.url("/notes");
    } else if (page != "-") {
        server.route(page, FixtureServer::Reply{status, body});
        item.releaseNotesUrl = server.url(page);
    }
    m_factory->script = script({{Kind::found, item}, {Kind::finished}});

    LogCapture log;
    auto future = check(application());
    QTRY_VERIFY_WITH_TIMEOUT(future.isFinished(), 10000);
    const CheckCall call = future.result();
    QCOMPARE(call.error, QString());
    QVERIFY(call.update);
    QCOMPARE(call.update->releaseNotes.value_or("-"), notes);
    QCOMPARE(server.requests().size(), fetches);
    // Notes are converted on the network pool, whose tasks only compute, never on the main thread.
    if (notes != "-")
        QVERIFY(call.onNetworkPool);
    QStringList problems;
    for (const auto& [level, line] : log.lines())
        if (level == Logger::Level::warning || level == Logger::Level::error)
            problems.append(line);
    QCOMPARE(problems.size(), logged.isEmpty() ? 0 : 1);
    if (!logged.isEmpty())
        QVERIFY2(problems.first().startsWith(logged), qPrintable(problems.first()));
}

void SparkleServiceTest::checkWithoutAnUpdate_data()
{
    QTest::addColumn<ScriptedUpdater::Script>("steps");
    QTest::addColumn<bool>("hasBundle");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("logLines");

    QTest::newRow("nothing newer") << script({{Kind::permission}, {Kind::notFound}, {Kind::finished}}) << true
                                   << "" << 0;
    QTest::newRow("updater error")
        << script({{Kind::error, {}, "The update feed answered with HTTP status 500"}, {Kind::finished}})
        << true << "The update feed answered with HTTP status 500" << 1;
    QTest::newRow("updater cannot start") << script({}, QStringLiteral("no feed")) << true << "no feed" << 0;
    QTest::newRow("closed without an answer") << script({{Kind::checkStarted}, {Kind::finished}}) << true
                                              << error(NorvelleError::sparkleUpdateFailed()) << 0;
    QTest::newRow("no bundle") << script({}) << false << error(NorvelleError::failedToLoadBundle()) << 0;
}

void SparkleServiceTest::checkWithoutAnUpdate()
{
    QFETCH(ScriptedUpdater::Script, steps);
    QFETCH(bool, hasBundle);
    QFETCH(QString, error);
    QFETCH(int, logLines);

    m_factory->script = steps;
    const auto app = application();
    if (!hasBundle)
        QVERIFY(QDir(app->path().toLocalFile()).removeRecursively());
    LogCapture log;
    auto future = check(app);
    QTRY_VERIFY_WITH_TIMEOUT(future.isFinished(), 10000);
    QCOMPARE(future.result().error, error);
    QVERIFY(!future.result().update);
    QCOMPARE(log.lines().size(), logLines);
    QCOMPARE(m_factory->record->created, hasBundle ? 1 : 0);
}

void SparkleServiceTest::checkIgnoresAnUpdateWithoutAValidFeed()
{
    // Neither discovery nor the bundle names a feed, so the found update has none.
    const QString path = UpdaterFixture::writeBundle(m_dir->path(), "Bare.app",
                                                     UpdaterFixture::info("org.example.bare", "1.0"));
    const auto app = Application::create(QStringLiteral("Bare"), QStringLiteral("org.example.bare"),
                                         QUrl::fromLocalFile(path), QStringLiteral("1.0"),
                                         QList<Application::Source>{Application::Source::sparkle});
    m_factory->script = script({{Kind::found, offered()}, {Kind::finished}});
    LogCapture log;
    auto future = check(app);
    QTRY_VERIFY_WITH_TIMEOUT(future.isFinished(), 10000);
    QCOMPARE(future.result().error, QString());
    QVERIFY(!future.result().update);
    QVERIFY(
        log.contains(Logger::Level::warning, "Sparkle update for Bare ignored: its feed URL is not valid: "));
}

void SparkleServiceTest::installReportsEachPhase()
{
    m_factory->script = script(test::installSequence(offered()));
    LogCapture log;
    auto future = install(application());
    QTRY_VERIFY_WITH_TIMEOUT(future.isFinished(), 10000);
    QCOMPARE(future.result().error, QString());
    const QStringList expected{
        report("Checking for updates...", 0.1), report("Downloading update...", 0.4),
        report("Downloading update...", 0.4),   report("Extracting update...", 0.7),
        report("Extracting update...", 0.7),    report("Installing update...", 0.9),
        report("Installing update...", 0.9),    report("Update completed successfully", 1.0)};
    QCOMPARE(*m_progress, expected);
    QVERIFY(log.contains(Logger::Level::info, "Starting Sparkle update for Sample"));
    // Every offer is accepted; automatic checks are never allowed.
    QCOMPARE(m_factory->record->choices, (QList<UpdateChoice>{UpdateChoice::install, UpdateChoice::install}));
    QCOMPARE(m_factory->record->permissions, (QList<QPair<bool, bool>>{{false, false}}));
    // The install follows the feed of the update that was found.
    QCOMPARE(m_factory->record->feeds, QList<std::optional<QString>>{m_info.feedURL.toString()});
    QTRY_COMPARE(m_factory->record->destroyed, 1);
}

void SparkleServiceTest::installFailures_data()
{
    QTest::addColumn<ScriptedUpdater::Script>("steps");
    QTest::addColumn<QString>("without"); // "update", "sparkleInfo", "bundle" or ""
    QTest::addColumn<QStringList>("progress");
    QTest::addColumn<QString>("error");

    const QString checking = report("Checking for updates...", 0.1);
    const QString failed = error(NorvelleError::sparkleUpdateFailed());
    const QString boom = QStringLiteral("The update could not be downloaded: connection reset");
    QTest::newRow("no update") << script({}) << "update" << QStringList{}
                               << error(NorvelleError::sparkleNotFound());
    QTest::newRow("update without Sparkle data")
        << script({}) << "sparkleInfo" << QStringList{} << error(NorvelleError::sparkleNotFound());
    QTest::newRow("no bundle") << script({}) << "bundle" << QStringList{}
                               << error(NorvelleError::failedToLoadBundle());
    QTest::newRow("updater cannot start") << script({}, QStringLiteral("no feed")) << ""
                                          << QStringList{checking, report("no feed", 0.0)} << "no feed";
    QTest::newRow("nothing newer") << script({{Kind::permission}, {Kind::notFound}, {Kind::finished}}) << ""
                                   << QStringList{checking, report("No update found", 0.0)}
                                   << error(NorvelleError::noUpdateAvailable());
    QTest::newRow("updater error") << script({{Kind::found}, {Kind::error, {}, boom}, {Kind::finished}}) << ""
                                   << QStringList{checking, report("Downloading update...", 0.4),
                                                  report(boom, 0.0)}
                                   << boom;
    QTest::newRow("closed without an answer") << script({{Kind::checkStarted}, {Kind::finished}}) << ""
                                              << QStringList{checking, report(failed, 0.0)} << failed;
}

void SparkleServiceTest::installFailures()
{
    QFETCH(ScriptedUpdater::Script, steps);
    QFETCH(QString, without);
    QFETCH(QStringList, progress);
    QFETCH(QString, error);

    m_factory->script = steps;
    const auto app = application();
    if (without == "update") {
        app->setUpdate(std::nullopt);
    } else if (without == "sparkleInfo") {
        Update update = *app->update();
        update.sparkleInfo.reset();
        app->setUpdate(update);
    } else if (without == "bundle") {
        QVERIFY(QDir(app->path().toLocalFile()).removeRecursively());
    }
    LogCapture log;
    auto future = install(app);
    QTRY_VERIFY_WITH_TIMEOUT(future.isFinished(), 10000);
    QCOMPARE(future.result().error, error);
    QCOMPARE(*m_progress, progress);
    QVERIFY(log.contains(Logger::Level::info, "Starting Sparkle update for Sample"));

    // Whatever the outcome, the application can be installed again.
    if (without == "bundle")
        UpdaterFixture::writeBundle(m_dir->path(), "Sample.app",
                                    UpdaterFixture::info("org.example.sample", "1.0"));
    if (without.isEmpty() || without == "bundle") {
        m_factory->script = script({{Kind::notFound}, {Kind::finished}});
        auto again = install(app);
        QTRY_VERIFY_WITH_TIMEOUT(again.isFinished(), 10000);
        QCOMPARE(again.result().error, NorvelleError::noUpdateAvailable().description());
    }
}

void SparkleServiceTest::secondInstallIsRefusedWhileTheFirstRuns()
{
    QList<ScriptedStep> steps = test::installSequence(offered());
    steps.insert(3, ScriptedStep{Kind::hold}); // after the offer was accepted
    m_factory->script = script(steps);
    const auto app = application();
    LogCapture log;
    auto first = install(app);
    QTRY_VERIFY_WITH_TIMEOUT(m_factory->record->held, 10000);

    auto second = install(app);
    QTRY_VERIFY_WITH_TIMEOUT(second.isFinished(), 10000);
    QCOMPARE(second.result().error, NorvelleError::updateAlreadyInProgress().description());
    QCOMPARE(log.count(Logger::Level::info, "Starting Sparkle update for Sample"), 1);

    // Another application installs meanwhile.
    m_factory->script = script({{Kind::notFound}, {Kind::finished}});
    auto other = install(application(QStringLiteral("Other"), QStringLiteral("org.example.other")));
    QTRY_VERIFY_WITH_TIMEOUT(other.isFinished(), 10000);
    QCOMPARE(other.result().error, NorvelleError::noUpdateAvailable().description());

    m_factory->record->resume();
    QTRY_VERIFY_WITH_TIMEOUT(first.isFinished(), 10000);
    QCOMPARE(first.result().error, QString());
    QVERIFY(!first.isCanceled());
}

void SparkleServiceTest::secondInstallIsRefusedWhileTheFirstStarts()
{
    // The main thread does not run events here, so the first install cannot get past its
    // hop to the main thread while the second one asks.
    m_factory->script = script({{Kind::notFound}, {Kind::finished}});
    const auto app = application();
    auto started = std::make_shared<std::promise<void>>();
    std::future<void> startedFuture = started->get_future();
    const int sink = Logger::addSink([started](Logger::Level, const QString& message) {
        if (message == "Starting Sparkle update for Sample")
            started->set_value();
    });
    auto first = install(app);
    QVERIFY(startedFuture.wait_for(10s) == std::future_status::ready);
    Logger::removeSink(sink);

    // A thread of its own: waiting on a pool future could run the call on this thread.
    std::future<QString> second = std::async(std::launch::async, [this, app] {
        try {
            m_service->update(app, {});
        } catch (const std::exception& e) {
            return describeException(e);
        }
        return QString();
    });
    QCOMPARE(second.get(), NorvelleError::updateAlreadyInProgress().description());
    QCOMPARE(m_factory->record->created, 0);

    QTRY_VERIFY_WITH_TIMEOUT(first.isFinished(), 10000);
    QCOMPARE(first.result().error, NorvelleError::noUpdateAvailable().description());
}

QTEST_GUILESS_MAIN(SparkleServiceTest)
#include "tst_sparkleservice.moc"
