#include "CoordinatorTestWorld.h"

#include <QTest>
#include <atomic>

using namespace norvelle;
using namespace norvelle::test;

namespace {

using Opt = std::optional<QString>;

ApplicationList makeApps(int count)
{
    ApplicationList apps;
    for (int i = 0; i < count; ++i)
        apps.append(makeApp(QStringLiteral("App%1").arg(i), makeUpdate(QStringLiteral("2.0"))));
    return apps;
}

// Each application rediscovers as itself at version 2.0, with nothing newer on offer.
void rediscoverAll(CoordinatorTestWorld& world, const ApplicationList& apps)
{
    for (const auto& app : apps) {
        world.discovery->setRediscovered(
            app->path(), Application::create(app->name(), app->bundleIdentifier(), app->path(),
                                             QStringLiteral("2.0"), app->source()));
    }
}

// Removes a log sink when the test ends, however it ends.
struct SinkScope {
    explicit SinkScope(Logger::Sink sink) : handle(Logger::addSink(std::move(sink))) {}
    ~SinkScope() { Logger::removeSink(handle); }
    int handle;
};

} // namespace

class TestCoordinatorUpdates : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void singleUpdate_data()
    {
        QTest::addColumn<int>("source");
        QTest::addColumn<bool>("hasTools");
        QTest::addColumn<QString>("error"); // empty: the run succeeds
        QTest::addColumn<QString>("onDisk"); // the bundle's version when the update is asked for
        const QString nothingNewer = QStringLiteral("No update available for this application");
        QTest::newRow("Homebrew, succeeds") << int(Update::Source::homebrew) << true << "" << "";
        QTest::newRow("App Store, fails")
            << int(Update::Source::appStore) << true << "MAS command failed to execute" << "";
        QTest::newRow("Sparkle needs no tool") << int(Update::Source::sparkle) << false << "" << "";
        // An application that updated itself needs nothing: no run, no failure, no update left.
        QTest::newRow("Sparkle, updated itself past it")
            << int(Update::Source::sparkle) << false << nothingNewer << "2.1";
        QTest::newRow("Homebrew, updated itself to it") << int(Update::Source::homebrew) << true << "" << "2.0";
        // The feed withdrew its offer: the run fails as it did, and the update goes.
        QTest::newRow("Sparkle, the offer withdrawn")
            << int(Update::Source::sparkle) << false << nothingNewer << "1.0";
    }
    void singleUpdate()
    {
        QFETCH(int, source);
        QFETCH(bool, hasTools);
        QFETCH(QString, error);
        QFETCH(QString, onDisk);

        CoordinatorTestWorld world;
        auto app =
            makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("2.0"), Update::Source(source)));
        world.list({app});
        world.environment->setStatus({hasTools, hasTools, false, std::nullopt});
        if (!error.isEmpty())
            world.updates->setUpdateError(app->bundleIdentifier(), error);
        if (!onDisk.isEmpty()) {
            world.discovery->setVersionOnDisk(app->path(), onDisk);
            world.discovery->setRediscovered(app->path(), Application::create(app->name(), app->bundleIdentifier(),
                                                                              app->path(), onDisk, app->source()));
        }
        const bool installed = !onDisk.isEmpty() && onDisk != QStringLiteral("1.0");
        const bool withdrawn = onDisk == QStringLiteral("1.0");
        std::atomic<int> reports{0};

        auto done = world.run([&] {
            return world.coordinator.updateApplication(app, [&](const UpdateProgress&) { ++reports; });
        });
        AWAIT(done);
        QCOMPARE(failureOf(done), std::nullopt);
        const Update::Result result = done.result();
        QCOMPARE(result.success, error.isEmpty() && !installed);
        QCOMPARE(result.alreadyInstalled, installed);
        QCOMPARE(reports.load(), installed ? 0 : 1); // the caller's handler reaches the service unchanged
        if (installed) {
            QCOMPARE(app->update(), std::nullopt);
            QCOMPARE(app->currentVersion(), onDisk);
            QVERIFY(world.updates->singleUpdates().isEmpty());
            QVERIFY(world.log.contains(Logger::Level::info,
                                       "Alpha already has version " + onDisk + ": nothing to install"));
        } else if (error.isEmpty() || withdrawn) {
            QCOMPARE(app->update(), std::nullopt);
            QCOMPARE(world.badge->label(), QString());
        } else {
            QCOMPARE(app->update()->status, Update::Status::failed);
            QCOMPARE(app->update()->lastUpdateError, Opt(error));
            QCOMPARE(app->update()->latestVersion, QStringLiteral("2.0"));
            QCOMPARE(world.badge->label(), QStringLiteral("1"));
        }
        QCOMPARE(world.log.contains(Logger::Level::info, QStringLiteral("Updating application: Alpha")), !installed);
        QCOMPARE(world.store.environmentStatus()->hasHomebrew, hasTools);
        QVERIFY(!world.coordinator.isUpdating());
    }

    void updateRefusedByTheServiceLeavesTheApplication()
    {
        CoordinatorTestWorld world;
        auto app = makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("2.0")));
        world.updates->setRefusal(QStringLiteral("Update is already in progress for this application"));
        auto done = world.run([&] { return world.coordinator.updateApplication(app, {}); });
        AWAIT(done);
        QCOMPARE(failureOf(done), Opt(QStringLiteral("Update is already in progress for this application")));
        QCOMPARE(app->update()->status, Update::Status::available);
        QVERIFY(!world.coordinator.isUpdating());
    }

    void batch_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("batchSize");
        QTest::addColumn<int>("failing"); // index of the application whose update fails, or -1
        QTest::addColumn<QList<int>>("chunkSizes");
        QTest::addColumn<int>("gone"); // index of the application whose update went meanwhile, or -1
        QTest::addColumn<bool>("onDisk"); // the gone one's update is not gone, but on disk already
        QTest::newRow("five in twos, the second fails") << 5 << 2 << 1 << QList<int>{2, 2, 1} << -1 << false;
        QTest::newRow("one at a time") << 3 << 1 << -1 << QList<int>{1, 1, 1} << -1 << false;
        QTest::newRow("size zero counts as one") << 2 << 0 << -1 << QList<int>{1, 1} << -1 << false;
        QTest::newRow("negative size counts as one") << 2 << -3 << 0 << QList<int>{1, 1} << -1 << false;
        QTest::newRow("one chunk for all") << 3 << 10 << -1 << QList<int>{3} << -1 << false;
        QTest::newRow("nothing to update") << 0 << 1 << -1 << QList<int>{} << -1 << false;
        QTest::newRow("the second updated meanwhile is skipped") << 3 << 1 << -1 << QList<int>{1, 1} << 1 << false;
        QTest::newRow("the second updated itself is skipped") << 3 << 1 << -1 << QList<int>{1, 1} << 1 << true;
    }
    void batch()
    {
        QFETCH(int, count);
        QFETCH(int, batchSize);
        QFETCH(int, failing);
        QFETCH(QList<int>, chunkSizes);
        QFETCH(int, gone);
        QFETCH(bool, onDisk);

        CoordinatorTestWorld world;
        const ApplicationList apps = makeApps(count);
        world.list(apps);
        rediscoverAll(world, apps);
        if (gone >= 0 && onDisk)
            world.discovery->setVersionOnDisk(apps.at(gone)->path(), QStringLiteral("2.0"));
        else if (gone >= 0)
            apps.at(gone)->setUpdate(std::nullopt);
        if (failing >= 0)
            world.updates->setUpdateError(apps.at(failing)->bundleIdentifier(),
                                          QStringLiteral("Homebrew command failed to execute"));

        auto done = world.run([&] { return world.coordinator.updateApplications(apps, batchSize, {}); });
        AWAIT(done);
        const QList<Update::Result> results = done.result();

        QCOMPARE(results.size(), count - (gone >= 0 ? 1 : 0));
        QList<int> sizes;
        for (const auto& chunk : world.updates->chunks())
            sizes.append(chunk.size());
        QCOMPARE(sizes, chunkSizes);
        const qsizetype batches = chunkSizes.size() + (gone >= 0 ? 1 : 0); // the gone one had its own
        for (int i = 0; i < batches; ++i)
            QVERIFY(world.log.contains(Logger::Level::info,
                                       QStringLiteral("Processing batch %1 of %2").arg(i + 1).arg(batches)));
        const int successful = count - (failing >= 0 ? 1 : 0) - (gone >= 0 ? 1 : 0);
        if (gone >= 0)
            QVERIFY(world.log.contains(Logger::Level::info, "Skipped App1: no update available any more"));
        for (int i = 0, r = 0; i < count; ++i) {
            if (i == gone)
                continue;
            QVERIFY(sameApplication(results.at(r++).application, apps.at(i)));
            if (i == failing) {
                QCOMPARE(apps.at(i)->update()->status, Update::Status::failed);
                QCOMPARE(apps.at(i)->update()->lastUpdateError,
                         Opt(QStringLiteral("Homebrew command failed to execute")));
            } else {
                QCOMPARE(apps.at(i)->update(), std::nullopt);
                QCOMPARE(apps.at(i)->currentVersion(), QStringLiteral("2.0")); // rediscovered
            }
        }
        QCOMPARE(
            world.log.count(Logger::Level::info, QStringLiteral("Rediscovered App0 after successful update")),
            failing == 0 || count == 0 ? 0 : 1);
        QVERIFY(world.log.contains(Logger::Level::info,
                                   QStringLiteral("Starting batch update: %1 applications").arg(count)));
        QVERIFY(world.log.contains(
            Logger::Level::info,
            QStringLiteral("Batch update complete: %1/%2 successful").arg(successful).arg(results.size())));
        QCOMPARE(world.badge->label(), failing >= 0 ? QStringLiteral("1") : QString());
        QVERIFY(!world.coordinator.isUpdating());
        QVERIFY(!world.coordinator.hasActiveBatch());
    }

    void failedRediscoveryIsOnlyLogged()
    {
        CoordinatorTestWorld world;
        const ApplicationList apps = makeApps(2);
        world.list(apps);
        auto done = world.run([&] { return world.coordinator.updateApplications(apps, 1, {}); });
        AWAIT(done);
        QCOMPARE(done.result().size(), 2);
        QVERIFY(world.log.contains(
            Logger::Level::error,
            QStringLiteral("Failed to rediscover App0 after update: Application not found")));
        QVERIFY(
            world.log.contains(Logger::Level::info, QStringLiteral("Batch update complete: 2/2 successful")));
    }

    void cancelBeforeTheFirstChunk()
    {
        CoordinatorTestWorld world;
        const ApplicationList apps = makeApps(3);
        world.list(apps);
        // Cancel the moment the batch has announced itself, before it looks at its first chunk.
        SinkScope sink([&](Logger::Level, const QString& message) {
            if (message.startsWith(QLatin1String("Starting batch update")))
                world.coordinator.cancelUpdates();
        });
        auto done = world.run([&] { return world.coordinator.updateApplications(apps, 1, {}); });
        AWAIT(done);
        QVERIFY(done.result().isEmpty());
        QVERIFY(world.updates->chunks().isEmpty());
        QVERIFY(world.log.contains(Logger::Level::info, QStringLiteral("Cancelling active updates")));
        QVERIFY(world.log.contains(Logger::Level::info, QStringLiteral("Update batch cancelled")));
        QVERIFY(
            world.log.contains(Logger::Level::info, QStringLiteral("Batch update complete: 0/0 successful")));
        QCOMPARE(apps.at(0)->update()->status, Update::Status::available);
        QVERIFY(!world.coordinator.isUpdating());
    }

    // The chunk under way finishes with its write-back and rediscovery; later chunks never
    // start; a batch started after the cancel keeps its flag when the old one cleans up.
    void cancelInTheMiddle()
    {
        CoordinatorTestWorld world;
        const ApplicationList apps = makeApps(3);
        const ApplicationList newer = {makeApp(QStringLiteral("Newer"), makeUpdate(QStringLiteral("5.0")))};
        world.list(apps + newer);
        rediscoverAll(world, apps);
        auto firstGate = world.gate();
        auto newerGate = world.gate();
        world.updates->setUpdateGate(apps.at(0)->bundleIdentifier(), firstGate);
        world.updates->setUpdateGate(newer.at(0)->bundleIdentifier(), newerGate);

        auto old = world.run([&] { return world.coordinator.updateApplications(apps, 1, {}); });
        QTRY_COMPARE(firstGate->arrivals(), 1);
        world.coordinator.cancelUpdates();
        QVERIFY(!world.coordinator.isUpdating());
        QVERIFY(!world.coordinator.hasActiveBatch());

        auto next = world.run([&] { return world.coordinator.updateApplications(newer, 1, {}); });
        QTRY_COMPARE(newerGate->arrivals(), 1);

        firstGate->open();
        AWAIT(old);
        const QList<Update::Result> partial = old.result();
        QCOMPARE(partial.size(), 1);
        QVERIFY(sameApplication(partial.at(0).application, apps.at(0)));
        QCOMPARE(apps.at(0)->update(), std::nullopt);
        QCOMPARE(apps.at(0)->currentVersion(), QStringLiteral("2.0"));
        QVERIFY(apps.at(1)->update().has_value());
        QCOMPARE(world.updates->chunks().size(), 2); // the old batch's first and the newer one's
        QVERIFY(world.log.contains(Logger::Level::info, QStringLiteral("Update batch cancelled")));
        QVERIFY(
            world.log.contains(Logger::Level::info, QStringLiteral("Batch update complete: 1/1 successful")));
        // The old batch's clean-up left the newer batch's state alone.
        QVERIFY(world.coordinator.isUpdating());
        QVERIFY(world.coordinator.hasActiveBatch());

        newerGate->open();
        AWAIT(next);
        QCOMPARE(next.result().size(), 1);
        QVERIFY(!world.coordinator.isUpdating());
        QVERIFY(!world.coordinator.hasActiveBatch());
    }

    void cancelWithoutABatch()
    {
        CoordinatorTestWorld world;
        world.coordinator.cancelUpdates();
        QCOMPARE(world.log.lines().size(), 1);
        QVERIFY(world.log.contains(Logger::Level::warning, QStringLiteral("No active update to cancel")));
    }

    // A discovery may replace the list while an update runs; the application being updated stays
    // listed as the update's object, which its write-back reaches, and the badge follows the list.
    void writeBackOnAnApplicationNoLongerListed()
    {
        CoordinatorTestWorld world;
        auto app = makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("2.0")));
        world.list({app});
        auto gate = world.gate();
        world.updates->setUpdateGate(app->bundleIdentifier(), gate);
        auto update = world.run([&] { return world.coordinator.updateApplication(app, {}); });
        QTRY_COMPARE(gate->arrivals(), 1);

        // Adopted into Homebrew outside Norvelle meanwhile: the route is judged by that.
        const ApplicationList replacement = {
            makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("2.0")),
                    {Application::Source::homebrew, Application::Source::sparkle}),
            makeApp(QStringLiteral("Beta"), makeUpdate(QStringLiteral("3.0")))};
        world.discovery->setApplications(replacement);
        auto discovery = world.run([&] { world.coordinator.discoverApplications(); });
        AWAIT(discovery);
        QCOMPARE(failureOf(discovery), std::nullopt);
        QCOMPARE(app->source(), replacement.first()->source());

        gate->open();
        AWAIT(update);
        QVERIFY(update.result().success);
        QCOMPARE(app->update(), std::nullopt);
        QCOMPARE(world.store.applications(), (ApplicationList{app, replacement.last()}));
        QCOMPARE(world.badge->label(), QStringLiteral("1"));
        QVERIFY(!world.coordinator.isUpdating());
    }
};

QTEST_GUILESS_MAIN(TestCoordinatorUpdates)
#include "tst_coordinatorupdates.moc"
