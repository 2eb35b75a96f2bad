#include "CoordinatorTestWorld.h"
#include "model/NorvelleError.h"
#include "platform/http/HttpClient.h"
#include "sources/ToolRunner.h"
#include "sources/brew/CatalogueError.h"

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
        // What ends brew's listing: "quit", a "cancel" or a cancelled "transfer"; empty: nothing.
        // "catalogue": `brew` answered, the catalogue could not be read.
        QTest::addColumn<QString>("ended");
        QTest::newRow("new version installed")
            << "2.0"
            << ""
            << "2.0" << false << "Rediscovered Alpha after successful update"
            << "";
        QTest::newRow("old version still there")
            << "1.0"
            << "2.0"
            << "1.0" << true << "Rediscovered Alpha after successful update"
            << "";
        QTest::newRow("bundle gone") << ""
                                     << ""
                                     << "1.0" << false
                                     << "Failed to rediscover Alpha after update: Application not found"
                                     << "";
        QTest::newRow("quit meanwhile") << "2.0"
                                        << ""
                                        << "1.0" << false << "Rediscovery of Alpha ended by quitting"
                                        << "quit";
        // Without a quit, a cancel is the user's own, and reported as it is.
        QTest::newRow("cancelled, no quit")
            << "2.0"
            << ""
            << "1.0" << false << "Failed to rediscover Alpha after update: The operation was cancelled"
            << "cancel";
        QTest::newRow("catalogue unread") << "2.0"
                                          << ""
                                          << "2.0" << false << "Rediscovered Alpha after successful update"
                                          << "catalogue";
        QTest::newRow("transfer cancelled, no quit")
            << "2.0"
            << ""
            << "1.0" << false << "Failed to rediscover Alpha after update: The request was cancelled."
            << "transfer";
    }
    void afterSuccess()
    {
        QFETCH(QString, onDisk);
        QFETCH(QString, stillOffered);
        QFETCH(QString, version);
        QFETCH(bool, hasUpdate);
        QFETCH(QString, logLine);
        QFETCH(QString, ended);

        CoordinatorTestWorld world;
        if (!ended.isEmpty())
            world.brew->onLoadInstalledCasks = [ended] {
                if (ended == "quit")
                    throw NorvelleError(NorvelleError::Case::brewCommandFailed, ToolRunner::endedByQuitting);
                if (ended == "cancel")
                    throw CancelledError();
                if (ended == "catalogue")
                    throw CatalogueError(QStringLiteral("Failed to connect to the catalogue"));
                throw HttpError(HttpError::Kind::cancelled, QStringLiteral("The request was cancelled."));
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

    void listedAfterARefreshMeanwhile_data()
    {
        QTest::addColumn<QString>("refreshed"); // when a Refresh overlapped the update
        QTest::addColumn<bool>("setAside");     // it found the bundle set aside; else at 1.0
        QTest::addColumn<bool>("batch");        // the update is a batch's; else a single one
        QTest::newRow("listed just before the update began") << "before" << false << false;
        QTest::newRow("read while the bundle was set aside") << "during" << true << false;
        QTest::newRow("read while a batch's bundle was set aside") << "during" << true << true;
        QTest::newRow("listed after the update ended, read at the old version") << "across" << false << false;
    }
    // A Refresh during an install lists what it read: the bundle missing between the swap's two
    // renames, or the old version. The application is listed once, at its new version, all the same.
    void listedAfterARefreshMeanwhile()
    {
        QFETCH(QString, refreshed);
        QFETCH(bool, setAside);
        QFETCH(bool, batch);
        CoordinatorTestWorld world;
        auto app = makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("2.0")));
        auto other = makeApp(QStringLiteral("Beta"));
        world.list({app, other});
        const auto read = [&](const QString& version) {
            return Application::create(app->name(), app->bundleIdentifier(), app->path(), version, app->source());
        };
        world.discovery->setApplications(setAside ? ApplicationList{other} : ApplicationList{read("1.0"), other});
        world.discovery->setRediscovered(app->path(), read("2.0"));
        const auto update = [&] {
            return world.run([&] {
                if (batch)
                    world.coordinator.updateApplications({app}, 1, {});
                else
                    world.coordinator.updateApplication(app, {});
            });
        };
        const auto refresh = [&] { return world.run([&] { world.coordinator.discoverApplications(); }); };

        // Held at a gate: the update in "during", the Refresh in "across".
        const auto held = world.gate();
        if (refreshed == "during")
            world.updates->setUpdateGate(app->bundleIdentifier(), held);
        if (refreshed == "across")
            world.discovery->setDiscoveryGate(held);
        auto first = refreshed == "during" ? update() : refresh();
        if (refreshed == "before")
            AWAIT(first);
        else
            QTRY_COMPARE(held->arrivals(), 1);
        auto second = refreshed == "during" ? refresh() : update();
        AWAIT(second);
        held->open();
        AWAIT(first);
        const ApplicationList listed = world.store.applications();
        QCOMPARE(listed.size(), 2);
        QCOMPARE(listed.first()->path(), app->path());
        QCOMPARE(listed.first()->currentVersion(), QStringLiteral("2.0"));
        QVERIFY(!listed.first()->update());
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
