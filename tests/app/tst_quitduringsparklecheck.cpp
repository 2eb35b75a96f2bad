#include "../sources/sparkle/ScriptedUpdater.h"
#include "LogCapture.h"
#include "QuitTestContainer.h"
#include "SyntheticWorld.h"
#include "TestFiles.h"
#include "UpdaterFixture.h"
#include "UpdaterSigningKey.h"

#include "app/DependencyContainer.h"
#include "app/QuitSequence.h"
#include "coordinator/AppCoordinator.h"
#include "platform/http/HttpEngine.h"
#include "platform/updater/UpdaterBundle.h"
#include "services/ApplicationStore.h"
#include "sources/sparkle/SparkleService.h"
#include "util/Async.h"
#include "viewmodels/SidebarViewModel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <utility>

using namespace norvelle;
using namespace norvelle::test;
using namespace std::chrono_literals;

namespace {

// What main() does once the event loop has ended. False when work was still running after the
// bounded wait (the application would leave through quick_exit). How long the quit took is not
// asked: on a busy machine that measures the machine; what it must not wait for is checked instead.
bool quitAsTheApplicationDoes(DependencyContainer& container)
{
    if (container.coordinator()->hasActiveBatch())
        container.coordinator()->cancelUpdates();
    container.abortTransfers();
    return QuitSequence::endRunningWork({2500ms, 1500ms});
}

// A Sparkle application in the world's applications folder, at 1.0, whose feed offers a signed
// 2.0; the archive's download stops after `stallAfter` bytes (-1: it is sent whole).
QString publishUpdate(SyntheticWorld& world, const QString& workFolder, const UpdaterSigningKey& key, int n,
                      qsizetype stallAfter)
{
    const QString identifier = QStringLiteral("org.example.quit%1").arg(n);
    const QString name = QStringLiteral("Quit App %1.app").arg(n);
    const QUrl archiveUrl = world.feedServer().url(QStringLiteral("/quit/%1/update.zip").arg(n));
    const QUrl feedUrl = world.feedServer().url(QStringLiteral("/quit/%1/appcast.xml").arg(n));
    const QVariantMap signedBy{{"SUPublicEDKey", key.publicKeyBase64()}};
    const QString archive =
        UpdaterFixture::archiveBundle(workFolder, name, UpdaterFixture::info(identifier, "2.0", signedBy),
                                      name + ".zip", UpdaterArchiveBuilder::Format::zip);
    world.feedServer().route(archiveUrl.path(), {.body = readFile(archive), .stallAfter = stallAfter});
    const UpdaterFixture::FeedItem item{.version = "2.0",
                                        .url = archiveUrl.toString(),
                                        .signature = key.signFile(archive),
                                        .length = QFileInfo(archive).size()};
    world.feedServer().route(feedUrl.path(), {.body = UpdaterFixture::appcast({item})});
    return UpdaterFixture::writeBundle(
        world.paths().applicationsFolder, name,
        UpdaterFixture::info(identifier, "1.0",
                             {{"SUPublicEDKey", key.publicKeyBase64()}, {"SUFeedURL", feedUrl.toString()}}));
}

// One version whole: the old bundle or the new one, never a mix and never missing.
bool isWhole(const QString& bundle)
{
    const std::optional<UpdaterBundle> loaded = UpdaterBundle::load(bundle);
    const QByteArray payload = readFile(bundle + "/Contents/MacOS/app");
    return loaded && ((loaded->version() == "1.0" && payload == "version one") ||
                      (loaded->version() == "2.0" && payload == "version two"));
}

} // namespace

// Quitting ends the event loop for good, so every test and row runs in a process of its own
// (tests/CMakeLists.txt names them). Leak detection is on: a driver that keeps itself alive past
// the quit fails the test.
class TestQuitDuringSparkleCheck : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        if (std::exchange(m_quit, true))
            QSKIP("The event loop has ended; run each test and row in a process of its own");
    }

    // The user quits while an update check waits for Sparkle feeds and an App Store lookup that
    // answer slowly: the checks, whose drivers answer on the main thread that no longer runs its
    // loop, end as cancelled, and the quit is over through the normal path, long before a stalled
    // feed would time out, after which the objects can be destroyed (AddressSanitizer watches that).
    void quitWhileFeedsAreSlow()
    {
        SyntheticWorld::Options worldOptions;
        // No more feeds than one host is asked at once (they share the world's feed server).
        worldOptions.bundleCount = 24;
        worldOptions.catalogueCasks = 40;
        worldOptions.latency = 5ms;
        SyntheticWorld world(worldOptions);
        QVERIFY(world.isValid());
        QTemporaryDir settingsFolder;

        auto container = makeQuitTestContainer(world, settingsFolder, FixtureServer::testCaFile());

        SidebarViewModel& sidebar = container->sidebarViewModel();
        QFuture<void> discovery = sidebar.discoverApplications();
        QTRY_VERIFY_WITH_TIMEOUT(discovery.isFinished(), 60000);

        // Every feed but one now sends its head and a little of its body, then nothing; that one
        // fails at once, so its check's warning shows the others' checks have been started.
        QString failing;
        int feeds = 0;
        for (const auto& application : container->store().applications()) {
            const std::optional<SparkleInfo> info = application->sparkleInfo();
            if (!info)
                continue;
            if (failing.isEmpty()) {
                failing = application->name();
                world.feedServer().route(info->feedURL.path(), FixtureServer::Reply{.status = 500});
                continue;
            }
            world.feedServer().route(info->feedURL.path(),
                                     FixtureServer::Reply{.body = QByteArray(4096, 'x'), .stallAfter = 64});
            ++feeds;
        }
        QVERIFY(feeds >= 4);
        world.server().route("/lookup",
                             FixtureServer::Reply{.body = QByteArray(4096, 'x'), .stallAfter = 64});
        LogCapture log;
        QFuture<void> check = sidebar.checkForUpdates();
        QTRY_VERIFY_WITH_TIMEOUT(
            log.containsPrefix(Logger::Level::warning,
                               QStringLiteral("Sparkle update check failed for ") + failing + u':'),
            30000);
        QTRY_VERIFY_WITH_TIMEOUT(!world.server().requests("/lookup").isEmpty(), 30000);
        QVERIFY(!check.isFinished());

        // The user quits: the event loop ends, then the application's quit sequence runs.
        QTimer::singleShot(0, this, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();

        QVERIFY(quitAsTheApplicationDoes(*container));
        // The lookup the quit ended is no network error.
        QVERIFY(log.contains(Logger::Level::info,
                             "Fetching App Store metadata for com.synthetic.store2 ended by quitting"));
        QVERIFY(!log.containsPrefix(Logger::Level::warning, "Network error fetching App Store metadata"));

        container.reset();
    }

    // The user quits while a found update's release notes are on their way: the fetch the quit
    // cut short is no failure to fetch them.
    void quitWhileReleaseNotesLoad()
    {
        FixtureServer server;
        server.route("/notes", FixtureServer::Reply{.body = "<p>Faster</p>", .stallAfter = 0});
        auto factory = std::make_shared<ScriptedUpdaterFactory>();
        AppcastItem item = appcastItem("2.0", "2.0");
        item.releaseNotesUrl = server.url("/notes");
        factory->script = script({{ScriptedStep::Kind::found, item}, {ScriptedStep::Kind::finished}});
        const auto engine = std::make_shared<HttpEngine>();
        SparkleService service(factory, std::make_shared<HttpClient>(HttpClient::Options{.engine = engine}));
        QTemporaryDir folder;
        const SparkleInfo feed{QUrl("https://example.org/appcast.xml"), std::nullopt, std::nullopt, true};
        const auto application = Application::create(
            "Notes", "org.example.notes",
            QUrl::fromLocalFile(UpdaterFixture::writeBundle(
                folder.path(), "Notes.app", UpdaterFixture::info("org.example.notes", "1.0"))),
            "1.0", QList<Application::Source>{Application::Source::sparkle}, std::nullopt, std::nullopt,
            std::nullopt, feed);
        LogCapture log;
        // Shared with the handler: the waiter may wake before the handler's finish() returns.
        auto checked = std::make_shared<QPromise<void>>();
        checked->start();
        QFuture<void> asked = runAsync(
            [&] { service.checkForUpdateAsync(application, [checked](auto, auto) { checked->finish(); }); });
        QTRY_VERIFY_WITH_TIMEOUT(!server.requests("/notes").isEmpty(), 30000);

        QTimer::singleShot(0, this, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
        engine->shutdown(); // as the application quits: transfers aborted, drivers let go
        service.cancelForQuit();
        asked.waitForFinished();
        checked->future().waitForFinished();
        QVERIFY(log.contains(Logger::Level::info, "Fetching release notes from " +
                                                      server.url("/notes").toString() +
                                                      " ended by quitting"));
        QVERIFY(!log.containsPrefix(Logger::Level::error, "Failed to fetch release notes"));
    }

    // The user quits while Sparkle updates wait for a download, for the swap of a bundle (the
    // old one is large, so the swap is under way when the quit lands), or in a batch: the quit is
    // over through the normal path as above, and every bundle is the old or the new one.
    void quitDuringAnUpdate_data()
    {
        QTest::addColumn<QString>("quitWhen"); // "downloading", "installing" or "swapped"
        QTest::addColumn<int>("applications"); // more than one: a batch
        // What the quit ended, as logged: no failure of the update, nor of its rediscovery.
        QTest::addColumn<QString>("ended");
        const QString update = "Update of Quit App 1 ended by quitting";
        const QString rediscovery = "Rediscovery of Quit App 1 ended by quitting";
        QTest::newRow("download") << "downloading" << 1 << update;
        QTest::newRow("install") << "installing" << 1 << rediscovery;
        QTest::newRow("batch") << "downloading" << 2 << update;
        // The new version is in place and the old one's many files are being removed: the quit
        // does not wait for them (the set-aside copy is left to the next start's sweep), and the
        // update counts as done.
        QTest::newRow("swapped") << "swapped" << 1 << rediscovery;
    }

    void quitDuringAnUpdate()
    {
        QFETCH(QString, quitWhen);
        QFETCH(int, applications);
        QFETCH(QString, ended);
        SyntheticWorld world({.bundleCount = 4, .catalogueCasks = 10, .latency = 1ms});
        QVERIFY(world.isValid());
        QTemporaryDir folder; // settings and update archives
        const UpdaterSigningKey key;
        QStringList bundles;
        for (int n = 1; n <= applications; ++n)
            bundles.append(
                publishUpdate(world, folder.path(), key, n, quitWhen == "downloading" ? 1024 : -1));
        if (quitWhen != "downloading") {
            const QDir resources(bundles.first() + "/Contents/Resources");
            QVERIFY(resources.mkpath("."));
            for (int i = 0; i < (quitWhen == "swapped" ? 20000 : 500); ++i)
                QVERIFY(QFile(resources.filePath(QString::number(i))).open(QIODevice::WriteOnly));
        }

        auto container = makeQuitTestContainer(world, folder, FixtureServer::testCaFile());
        QFuture<void> discovery = container->sidebarViewModel().discoverApplications();
        QTRY_VERIFY_WITH_TIMEOUT(discovery.isFinished(), 60000);
        QFuture<void> check = container->sidebarViewModel().checkForUpdates();
        QTRY_VERIFY_WITH_TIMEOUT(check.isFinished(), 60000);
        QList<std::shared_ptr<Application>> targets;
        for (const auto& application : container->store().applications())
            if (application->update() && bundles.contains(application->path().toLocalFile()))
                targets.append(application);
        QCOMPARE(targets.size(), applications);

        // Installing, the user quits once the install is under way, from the main thread that
        // reports it: the step is reported first as the install is accepted, when a quit may still
        // find it unbegun (an update ended as in the download row), and again once the updater
        // has begun the swap. Downloading, once the download has been asked for.
        const auto installReports = std::make_shared<int>(0);
        const auto progress = [quitWhen, installReports](const UpdateProgress& value) {
            if (quitWhen == "installing" && value.currentStep == "Installing update..." &&
                ++*installReports == 2)
                QCoreApplication::exit(0);
        };
        QFuture<void> update = runAsync([coordinator = container->coordinator(), targets, progress] {
            if (targets.size() == 1)
                coordinator->updateApplication(targets.first(), progress);
            else
                coordinator->updateApplications(targets, 1, progress);
        });
        LogCapture log;
        const auto asideLeft = [applicationsFolder = QFileInfo(bundles.first()).absolutePath()] {
            return !QDir(applicationsFolder)
                        .entryList({".Quit App 1.app.old-*"}, QDir::Dirs | QDir::Hidden)
                        .isEmpty();
        };
        QTimer swapWatch;
        if (quitWhen == "downloading") {
            QTRY_VERIFY_WITH_TIMEOUT(!world.feedServer().requests("/quit/1/update.zip").isEmpty(), 30000);
            QTimer::singleShot(0, this, [] { QCoreApplication::exit(0); });
        } else if (quitWhen == "swapped") {
            connect(&swapWatch, &QTimer::timeout, this, [asideLeft, bundle = bundles.first()] {
                if (asideLeft() && UpdaterBundle::load(bundle) &&
                    UpdaterBundle::load(bundle)->version() == "2.0")
                    QCoreApplication::exit(0);
            });
            swapWatch.start(1);
            QTimer::singleShot(30000, this, [] { QCoreApplication::exit(1); }); // no swap happened
        } else {
            QTimer::singleShot(30000, this, [] { QCoreApplication::exit(1); }); // no install began
        }
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!update.isFinished());

        QVERIFY(quitAsTheApplicationDoes(*container));
        QVERIFY(update.isFinished());
        for (const QString& bundle : bundles)
            QVERIFY2(isWhole(bundle), qPrintable(bundle));
        if (quitWhen == "swapped") {
            QVERIFY(log.contains(Logger::Level::info, "Successfully updated Quit App 1"));
            QVERIFY(asideLeft());
        }
        QVERIFY(log.contains(Logger::Level::info, ended));
        QVERIFY(!log.containsPrefix(Logger::Level::error, "Failed to"));
        container.reset();
    }

private:
    bool m_quit = false;
};

QTEST_GUILESS_MAIN(TestQuitDuringSparkleCheck)
#include "tst_quitduringsparklecheck.moc"
