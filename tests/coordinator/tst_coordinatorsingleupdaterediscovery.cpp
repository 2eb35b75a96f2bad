#include "CoordinatorTestWorld.h"
#include "model/NorvelleError.h"
#include "sources/ToolRunner.h"

#include <QTest>
#include <atomic>

using namespace norvelle;
using namespace norvelle::test;

// A successful single update reads the bundle again, as a batch does, so the installed version
// shows at once and the update goes only when it really landed.
class TestCoordinatorSingleUpdateRediscovery : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void afterSuccess_data()
    {
        QTest::addColumn<QString>("onDisk");       // the version found again; empty: bundle gone
        QTest::addColumn<QString>("stillOffered"); // what the check offers afterwards; empty: nothing
        QTest::addColumn<QString>("version");
        QTest::addColumn<bool>("hasUpdate");
        QTest::addColumn<QString>("logLine");
        QTest::addColumn<bool>("quitting"); // a quit ends brew's listing
        QTest::newRow("new version installed")
            << "2.0"
            << ""
            << "2.0" << false << "Rediscovered Alpha after successful update" << false;
        QTest::newRow("old version still there")
            << "1.0"
            << "2.0"
            << "1.0" << true << "Rediscovered Alpha after successful update" << false;
        QTest::newRow("bundle gone") << ""
                                     << ""
                                     << "1.0" << false
                                     << "Failed to rediscover Alpha after update: Application not found"
                                     << false;
        QTest::newRow("quit meanwhile") << "2.0"
                                        << ""
                                        << "1.0" << false << "Rediscovery of Alpha ended by quitting" << true;
    }
    void afterSuccess()
    {
        QFETCH(QString, onDisk);
        QFETCH(QString, stillOffered);
        QFETCH(QString, version);
        QFETCH(bool, hasUpdate);
        QFETCH(QString, logLine);
        QFETCH(bool, quitting);

        CoordinatorTestWorld world;
        if (quitting)
            world.brew->onLoadInstalledCasks = [] {
                throw NorvelleError(NorvelleError::Case::brewCommandFailed, ToolRunner::endedByQuitting);
            };
        auto app = makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("2.0")));
        world.list({app});
        if (!onDisk.isEmpty())
            world.discovery->setRediscovered(app->path(),
                                             Application::create(app->name(), app->bundleIdentifier(),
                                                                 app->path(), onDisk, app->source()));
        if (!stillOffered.isEmpty())
            world.updates->setCheckResult({{app->bundleIdentifier(), makeUpdate(stillOffered)}});

        std::atomic<bool> wentAway{false};
        const auto watch = app->addObserver([&](Application::Field field) {
            if (field == Application::Field::update && !app->update())
                wentAway = true;
        });
        auto done = world.run([&] { return world.coordinator.updateApplication(app, {}); });
        AWAIT(done);
        QVERIFY(done.result().success);
        // The update goes only once the check no longer offers it, never in between.
        QCOMPARE(wentAway.load(), !hasUpdate);
        QCOMPARE(app->currentVersion(), version);
        QCOMPARE(app->update().has_value(), hasUpdate);
        QVERIFY(world.log.contains(logLine.startsWith("Failed") ? Logger::Level::error : Logger::Level::info,
                                   logLine));
        QVERIFY(!world.coordinator.isUpdating());
    }

    void failureRediscoversNothing()
    {
        CoordinatorTestWorld world;
        auto app = makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("2.0")));
        world.list({app});
        world.updates->setUpdateError(app->bundleIdentifier(), QStringLiteral("boom"));
        auto done = world.run([&] { return world.coordinator.updateApplication(app, {}); });
        AWAIT(done);
        QVERIFY(!done.result().success);
        QVERIFY(!world.log.contains(Logger::Level::error,
                                    QStringLiteral("Failed to rediscover Alpha after update: "
                                                   "Application not found")));
        QCOMPARE(app->update()->status, Update::Status::failed);
    }
};

QTEST_MAIN(TestCoordinatorSingleUpdateRediscovery)
#include "tst_coordinatorsingleupdaterediscovery.moc"
