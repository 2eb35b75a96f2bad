#include "QuitTestContainer.h"
#include "FakeDockBadge.h"
#include "FakeNetworkProbe.h"
#include "FakeTerminalLauncher.h"
#include "LogCapture.h"
#include "SyntheticWorld.h"

#include "app/DependencyContainer.h"
#include "app/QuitSequence.h"
#include "coordinator/AppState.h"
#include "services/ApplicationStore.h"
#include "viewmodels/SidebarViewModel.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace norvelle;
using namespace norvelle::test;
using namespace std::chrono_literals;

// Quitting ends the event loop for good, so this file holds one test only.
class TestQuitDuringSparkleCheck : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The user quits while an update check waits for Sparkle feeds that answer slowly: the
    // checks, whose drivers answer on the main thread that no longer runs its loop, end as
    // cancelled, and the quit is over within half a second through the normal path, after
    // which the objects can be destroyed (AddressSanitizer watches that).
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
        LogCapture log;
        QFuture<void> check = sidebar.checkForUpdates();
        QTRY_VERIFY_WITH_TIMEOUT(
            log.containsPrefix(Logger::Level::warning,
                               QStringLiteral("Sparkle update check failed for ") + failing + u':'),
            30000);
        QVERIFY(!check.isFinished());

        // The user quits: the event loop ends, then the application's quit sequence runs.
        QTimer::singleShot(0, this, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();

        QElapsedTimer elapsed;
        elapsed.start();
        container->abortTransfers();
        QVERIFY(QuitSequence::endRunningWork({2500ms, 1500ms}));
        QVERIFY2(elapsed.elapsed() < 500, qPrintable(QString::number(elapsed.elapsed())));

        container.reset();
    }
};

QTEST_GUILESS_MAIN(TestQuitDuringSparkleCheck)
#include "tst_quitduringsparklecheck.moc"
