#include "CoordinatorTestWorld.h"
#include "model/NorvelleError.h"
#include "sources/brew/CatalogueError.h"

#include <QSet>
#include <QTest>
#include <mutex>

using namespace norvelle;
using namespace norvelle::test;

namespace {

using Opt = std::optional<QString>;
using Status = AdoptionProgress::Status;

// Collects the values a progress handler receives, from whatever thread.
struct AdoptionRecorder {
    void operator()(const AdoptionProgress& value)
    {
        std::lock_guard lock(mutex);
        values.append(value);
    }
    QList<AdoptionProgress> taken()
    {
        std::lock_guard lock(mutex);
        return values;
    }
    std::mutex mutex;
    QList<AdoptionProgress> values;
};

ApplicationPtr adoptableApp()
{
    auto app =
        makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("2.0")), {Application::Source::sparkle});
    app->setCask(makeCask(QStringLiteral("alpha"), true));
    return app;
}

} // namespace

class TestCoordinatorAdoption : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void adoptionStatus_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("status");
        QTest::newRow("capital Downloading")
            << "==> Downloading https://example.com/a.dmg" << int(Status::downloading);
        QTest::newRow("installing") << "==> Installing Cask alpha" << int(Status::adopting);
        QTest::newRow("adopting") << "==> Adopting existing App at '/Applications/Alpha.app'"
                                  << int(Status::adopting);
        QTest::newRow("verifying") << "==> Verifying checksum" << int(Status::verifying);
        QTest::newRow("linking the application") << "==> Linking Binary 'alpha'" << int(Status::verifying);
        QTest::newRow("success") << "alpha was successfully moved" << int(Status::completed);
        QTest::newRow("failure") << "FAILED to move" << int(Status::failed);
        QTest::newRow("earlier keyword wins") << "install error" << int(Status::adopting);
        QTest::newRow("empty line") << "" << int(Status::adopting);
    }
    void adoptionStatus()
    {
        QFETCH(QString, line);
        QFETCH(int, status);
        QCOMPARE(int(AppCoordinator::adoptionStatus(line)), status);
    }

    void ignoreUnignoreSkipUnskip()
    {
        CoordinatorTestWorld world;
        auto app = adoptableApp();
        app->setSkippedVersion(QStringLiteral("1.5"));
        app->setCheckFailure(SourceFailure{SourceFailure::updateFeed(), QStringLiteral("HTTP status 404")});
        auto other = makeApp(QStringLiteral("Beta"), makeUpdate(QStringLiteral("3.0")));
        world.list({app, other});
        QCOMPARE(world.badge->label(), QStringLiteral("2"));
        const QString bundle = app->bundleIdentifier();

        auto ignored = world.run([&] { world.coordinator.ignoreApplication(app); });
        AWAIT(ignored);
        QCOMPARE(failureOf(ignored), std::nullopt);
        QVERIFY(app->ignored());
        QCOMPARE(app->update(), std::nullopt);
        QCOMPARE(app->skippedVersion(), std::nullopt);
        QCOMPARE(app->checkFailure(), std::nullopt); // no check of it fails any more
        QCOMPARE(app->cask()->adoptable, false);
        QCOMPARE(app->cask()->caskName, QStringLiteral("alpha"));
        QCOMPARE(world.badge->label(), QStringLiteral("1"));
        QVERIFY(world.log.contains(Logger::Level::info, QStringLiteral("Ignored application: Alpha")));

        auto unignored = world.run([&] { world.coordinator.unignoreApplication(app); });
        AWAIT(unignored);
        QVERIFY(!app->ignored());
        QCOMPARE(app->update(), std::nullopt);
        QCOMPARE(app->cask()->adoptable, false);
        QVERIFY(world.log.contains(Logger::Level::info, QStringLiteral("Unignored application: Alpha")));

        app->setUpdate(makeUpdate(QStringLiteral("2.1"), Update::Source::sparkle));
        auto skipped = world.run([&] { world.coordinator.skipVersion(app); });
        AWAIT(skipped);
        QCOMPARE(app->skippedVersion(), Opt(QStringLiteral("2.1")));
        QCOMPARE(app->update(), std::nullopt);
        QCOMPARE(world.badge->label(), QStringLiteral("1"));
        QVERIFY(world.log.contains(Logger::Level::info, QStringLiteral("Ignored version 2.1 for Alpha")));
        QCOMPARE(world.ignore->ignoredVersions().value(bundle), QStringLiteral("2.1"));

        // The version skipped comes back only with the refresh that follows, once it has read
        // the bundle (below).
        auto unskipped = world.run([&] { world.coordinator.unskipVersion(app); });
        AWAIT(unskipped);
        QCOMPARE(app->skippedVersion(), std::nullopt);
        QCOMPARE(app->update(), std::nullopt);
        QVERIFY(world.log.contains(Logger::Level::info, QStringLiteral("Unignored version for Alpha")));

        QCOMPARE(world.ignore->calls(),
                 (QStringList{"ignoreApp " + bundle, "unignoreApp " + bundle,
                              "ignoreVersion " + bundle + " 2.1", "unignoreVersion " + bundle}));
        QVERIFY(world.ignore->ignoredApps().isEmpty());
        QVERIFY(world.ignore->ignoredVersions().isEmpty());
    }

    // What a skip or an ignore took away comes back with the refresh after the unskip or the
    // unignore (one that cannot read the source keeps it), once it has read the bundle: only to a
    // bundle still there at an older version, and unless something since has said otherwise.
    void unskipOffersTheSkippedVersionAgain_data()
    {
        QTest::addColumn<bool>("ignoring"); // else skipping its version
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("onDisk"); // what the refresh reads; empty: the bundle is gone
        QTest::addColumn<bool>("offered");
        QTest::newRow("a discovery") << false << "discovery" << "1.0" << true;
        QTest::newRow("a discovery of the bundle updated") << false << "updated" << "2.0" << false;
        QTest::newRow("a check that read it without the version") << false << "check" << "1.0" << false;
        QTest::newRow("ignored, a discovery") << true << "discovery" << "1.0" << true;
        QTest::newRow("ignored, a check that read it without the version") << true << "check" << "1.0" << false;
        QTest::newRow("updated itself past it") << false << "" << "2.1" << false;
        QTest::newRow("ignored, deleted") << true << "" << "" << false;
        QTest::newRow("brew refused the refresh") << false << "refused" << "1.0" << true;
        QTest::newRow("brew refused the refresh, updated itself") << false << "refused" << "2.1" << false;
    }
    void unskipOffersTheSkippedVersionAgain()
    {
        QFETCH(bool, ignoring);
        QFETCH(QString, meanwhile);
        QFETCH(QString, onDisk);
        QFETCH(bool, offered);
        CoordinatorTestWorld world;
        ApplicationPtr app = makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("2.0")));
        world.list({app});
        AppCoordinator& c = world.coordinator;
        using Step = void (AppCoordinator::*)(const ApplicationPtr&);
        const auto step = [&](Step ignore, Step skip) {
            auto done = world.run([&] { (c.*(ignoring ? ignore : skip))(app); });
            AWAIT(done);
        };
        step(&AppCoordinator::ignoreApplication, &AppCoordinator::skipVersion);
        if (meanwhile == "discovery" || meanwhile == "updated") {
            app = makeApp(QStringLiteral("Alpha"));
            app->setCurrentVersion(meanwhile == "updated" ? "2.0" : "1.0");
            world.discovery->setApplications({app});
        }
        auto between = world.run([&] {
            if (meanwhile == "check")
                c.checkForUpdates();
            else if (meanwhile == "discovery" || meanwhile == "updated")
                c.discoverApplications();
        });
        AWAIT(between);
        step(&AppCoordinator::unignoreApplication, &AppCoordinator::unskipVersion);
        QVERIFY(!app->update());

        if (!onDisk.isEmpty())
            world.discovery->setRediscovered(app->path(), Application::create(QStringLiteral("Alpha"),
                                                                              app->bundleIdentifier(),
                                                                              app->path(), onDisk, app->source()));
        if (meanwhile == "refused") {
            world.brew->onLoadInstalledCasks = [] { throw Error(QStringLiteral("brew list failed")); };
            world.discovery->setVersionOnDisk(app->path(), onDisk);
        }
        world.updates->setUnreadSources(
            {{app->bundleIdentifier(), SourceFailure{SourceFailure::updateFeed(), QStringLiteral("offline")}}});
        auto refreshed = world.run([&] { c.refreshApplication(app); });
        AWAIT(refreshed);
        QCOMPARE(failureOf(refreshed).has_value(), onDisk.isEmpty() || meanwhile == "refused");
        QCOMPARE(app->update().has_value(), offered);
    }

    void failedIgnoreListChangesNothing()
    {
        CoordinatorTestWorld world;
        auto app = adoptableApp();
        world.list({app});
        world.ignore->setFailure(QStringLiteral("Permission denied"));
        world.log.clear();
        auto done = world.run([&] { world.coordinator.ignoreApplication(app); });
        AWAIT(done);
        QCOMPARE(failureOf(done), Opt(QStringLiteral("Permission denied")));
        QVERIFY(!app->ignored());
        QVERIFY(app->update().has_value());
        QCOMPARE(app->cask()->adoptable, true);
        QVERIFY(world.log.lines().isEmpty());
    }

    void adoptionWithRediscovery()
    {
        CoordinatorTestWorld world;
        auto app = adoptableApp();
        world.list({app});
        world.environment->setStatus({true, false, true, QStringLiteral("/opt/homebrew/bin/brew")});
        world.scriptAdoption({{QStringLiteral("==> Downloading alpha"), 0.3},
                              {QStringLiteral("==> Adopting existing App"), 0.0},
                              {QStringLiteral("alpha was successfully installed!"), 1.0}});
        Cask adopted = makeCask(QStringLiteral("alpha"));
        adopted.adopted = true;
        auto fresh = Application::create(
            QStringLiteral("Alpha"), app->bundleIdentifier(), app->path(), QStringLiteral("9.9"),
            QList<Application::Source>{Application::Source::homebrew, Application::Source::sparkle});
        fresh->setCask(adopted);
        world.discovery->setRediscovered(app->path(), fresh);
        AdoptionRecorder recorder;

        auto done = world.run([&] { world.coordinator.adoptApplication(app, std::ref(recorder)); });
        AWAIT(done);
        QCOMPARE(failureOf(done), std::nullopt);

        const auto values = recorder.taken();
        QList<int> statuses;
        QSet<QUuid> ids;
        for (const auto& value : values) {
            statuses.append(int(value.status));
            ids.insert(value.id);
            QCOMPARE(value.startTime, world.clock->now());
            QVERIFY(sameApplication(value.application, app));
            QCOMPARE(value.estimatedCompletion, std::nullopt);
        }
        // "successfully installed" names "install" first, so it still reads as adopting.
        QCOMPARE(statuses, (QList<int>{int(Status::queued), int(Status::downloading), int(Status::adopting),
                                       int(Status::adopting), int(Status::completed)}));
        QCOMPARE(ids.size(), values.size());
        QCOMPARE(values.first().currentStep, QStringLiteral("Starting adoption... (this may take a moment)"));
        QCOMPARE(values.at(1).progress, 0.3);
        QCOMPARE(values.last().currentStep, QStringLiteral("Adoption completed successfully"));
        QCOMPARE(values.last().progress, 1.0);

        QCOMPARE(world.brewCalls(QStringLiteral("adoptCask")),
                 QStringList{QStringLiteral("adoptCask alpha")});
        QCOMPARE(world.brewCalls(QStringLiteral("loadInstalledCasks")).size(), 1);
        QCOMPARE(world.discovery->rediscoveries(),
                 QStringList{QStringLiteral("/Applications/Alpha.app|1|0")});
        QCOMPARE(app->cask(), std::optional<Cask>(adopted));
        QCOMPARE(app->source(), fresh->source());
        QCOMPARE(app->update(), std::nullopt);
        QCOMPARE(app->currentVersion(), QStringLiteral("1.0")); // kept
        QCOMPARE(world.badge->label(), QString());
        QVERIFY(
            world.log.contains(Logger::Level::info, QStringLiteral("Adopting cask for application: Alpha")));
        QVERIFY(
            world.log.contains(Logger::Level::info, QStringLiteral("Successfully adopted cask for Alpha")));
        QVERIFY(world.log.containsPrefix(Logger::Level::info,
                                         QStringLiteral("Rediscovered app - cask: Cask(caskName: alpha")));
        QVERIFY(!world.coordinator.isAdopting());
    }

    void adoptionWithoutRediscovery()
    {
        CoordinatorTestWorld world;
        auto app = adoptableApp();
        world.list({app});
        auto done = world.run([&] { world.coordinator.adoptApplication(app, {}); });
        AWAIT(done);
        QCOMPARE(failureOf(done), std::nullopt);
        QVERIFY(world.log.contains(Logger::Level::error,
                                   QStringLiteral("Failed to rediscover application after adoption")));
        QCOMPARE(app->cask()->adopted, true);
        QCOMPARE(app->cask()->adoptable, false);
        QCOMPARE(app->source(), QList<Application::Source>{Application::Source::homebrew});
        QCOMPARE(app->update(), std::nullopt);
    }

    // A cask of a tap: Homebrew owns the application afterwards, but the catalogue knows nothing
    // of the cask. The application shows what a refresh would: managed, with the update offered.
    void adoptionOfACaskTheCatalogueLacks_data()
    {
        QTest::addColumn<bool>("updateOffered");
        QTest::addColumn<Opt>("checkFailure");
        QTest::addColumn<bool>("catalogueUnread"); // `brew` answered, the catalogue did not
        QTest::addColumn<bool>("tokenOnly"); // the rediscovery names the cask by its token alone
        QTest::newRow("update offered") << true << Opt() << false << false;
        QTest::newRow("up to date") << false << Opt() << false << false;
        QTest::newRow("check fails") << false << Opt(QStringLiteral("no network")) << false << false;
        QTest::newRow("catalogue unread") << true << Opt() << true << false;
        QTest::newRow("catalogue unread, the cask by its token") << true << Opt() << true << true;
    }
    void adoptionOfACaskTheCatalogueLacks()
    {
        QFETCH(bool, updateOffered);
        QFETCH(Opt, checkFailure);
        QFETCH(bool, catalogueUnread);
        QFETCH(bool, tokenOnly);
        CoordinatorTestWorld world;
        if (catalogueUnread)
            world.brew->onLoadInstalledCasks = [] { throw CatalogueError(QStringLiteral("timed out")); };
        auto app = adoptableApp();
        Cask known = *app->cask();
        known.description = QStringLiteral("A mail client");
        known.requiresSudo = true;
        app->setCask(known);
        world.list({app});
        auto fresh = Application::create(QStringLiteral("Alpha"), app->bundleIdentifier(), app->path(),
                                         QStringLiteral("1.0"),
                                         QList<Application::Source>{Application::Source::homebrew});
        if (tokenOnly) {
            Cask token;
            token.caskName = known.caskName;
            token.adopted = true;
            fresh->setCask(token);
        }
        world.discovery->setRediscovered(app->path(), fresh);
        Update offered = makeUpdate(QStringLiteral("2.0"));
        offered.cask = makeCask(QStringLiteral("alpha"));
        offered.cask->adopted = true;
        if (updateOffered)
            world.updates->setCheckResult({{app->bundleIdentifier(), offered}});
        world.updates->setCheckFailure(checkFailure);

        auto done = world.run([&] { world.coordinator.adoptApplication(app, {}); });
        AWAIT(done);
        QCOMPARE(failureOf(done), std::nullopt);
        QCOMPARE(world.updates->checks(), QList<QStringList>{{app->bundleIdentifier()}});
        QVERIFY(app->cask() && app->cask()->adopted && !app->cask()->adoptable);
        QCOMPARE(app->cask()->description, known.description); // what was known of it stays
        QVERIFY(app->cask()->requiresSudo);
        QCOMPARE(app->update(), updateOffered ? std::optional<Update>(offered) : std::nullopt);
        QCOMPARE(world.log.containsPrefix(Logger::Level::warning,
                                          QStringLiteral("Failed to check for updates after adopting Alpha")),
                 checkFailure.has_value());
        QCOMPARE(app->checkFailure().has_value(), checkFailure.has_value());
    }

    void failedAdoption_data()
    {
        QTest::addColumn<QString>("failingStep");
        QTest::newRow("brew run") << "adopt";
        QTest::newRow("reloading the casks") << "load";
        QTest::newRow("rediscovery") << "rediscover";
    }
    void failedAdoption()
    {
        QFETCH(QString, failingStep);
        CoordinatorTestWorld world;
        auto app = adoptableApp();
        world.list({app});
        const QString description = QStringLiteral("Homebrew command failed to execute");
        world.scriptAdoption({{QStringLiteral("==> Downloading alpha"), 0.3}}, nullptr,
                             failingStep == QLatin1String("adopt") ? Opt(description) : std::nullopt);
        if (failingStep == QLatin1String("load"))
            world.brew->onLoadInstalledCasks = [description] { throw Error(description); };
        else if (failingStep == QLatin1String("rediscover"))
            world.discovery->setRediscoveryFailure(description);
        AdoptionRecorder recorder;

        auto done = world.run([&] { world.coordinator.adoptApplication(app, std::ref(recorder)); });
        AWAIT(done);
        QCOMPARE(failureOf(done), Opt(description));

        const auto values = recorder.taken();
        QCOMPARE(values.first().status, Status::queued);
        QCOMPARE(values.at(1).status, Status::downloading);
        QCOMPARE(values.last().status, Status::failed);
        QCOMPARE(values.last().progress, 0.0);
        QCOMPARE(values.last().currentStep, description);
        QCOMPARE(values.last().startTime, values.first().startTime);
        QCOMPARE(values.size(),
                 failingStep == QLatin1String("adopt") ? 3 : 4); // a completed value came first
        QVERIFY(world.log.contains(Logger::Level::error, "Failed to adopt cask for Alpha: " + description));
        QCOMPARE(app->cask()->adoptable, true);
        QVERIFY(app->update().has_value());
        QVERIFY(!world.coordinator.isAdopting());
    }

    void adoptionLandingOnAnApplicationNoLongerListed()
    {
        CoordinatorTestWorld world;
        auto app = adoptableApp();
        world.list({app});
        auto gate = world.gate();
        world.scriptAdoption({}, gate);
        auto adoption = world.run([&] { world.coordinator.adoptApplication(app, {}); });
        QTRY_COMPARE(gate->arrivals(), 1);
        world.discovery->setApplications(
            {makeApp(QStringLiteral("Beta"), makeUpdate(QStringLiteral("3.0")))});
        auto discovery = world.run([&] { world.coordinator.discoverApplications(); });
        AWAIT(discovery);
        gate->open();
        AWAIT(adoption);
        QCOMPARE(failureOf(adoption), std::nullopt);
        QCOMPARE(app->update(), std::nullopt);
        QCOMPARE(world.badge->label(), QStringLiteral("1"));
    }

    void verifyCustomCask()
    {
        CoordinatorTestWorld world;
        auto app =
            makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("2.0")), {Application::Source::other});
        world.list({app});
        auto done = world.run([&] {
            world.coordinator.verifyCustomCask(app, QStringLiteral("alpha-beta"), QStringLiteral("user/tap"));
        });
        AWAIT(done);
        QCOMPARE(failureOf(done), std::nullopt);
        QCOMPARE(world.brewCalls(QStringLiteral("verifyCustomCask")),
                 QStringList{QStringLiteral("verifyCustomCask alpha-beta user/tap /Applications/Alpha.app")});
        QCOMPARE(app->cask()->caskName, QStringLiteral("alpha-beta"));
        QCOMPARE(app->source(), QList<Application::Source>{Application::Source::other});
        QVERIFY(app->update().has_value());
        QVERIFY(world.log.contains(Logger::Level::info,
                                   QStringLiteral("Successfully verified custom cask for Alpha")));

        world.log.clear();
        world.brew->onVerifyCustomCask = [](const QString&, const std::optional<QString>&,
                                            const QString&) -> Cask {
            throw NorvelleError::failedToParseBrewOutput();
        };
        auto failed = world.run(
            [&] { world.coordinator.verifyCustomCask(app, QStringLiteral("other"), std::nullopt); });
        AWAIT(failed);
        QCOMPARE(failureOf(failed),
                 Opt(QStringLiteral("Failed to parse Homebrew output - the data format is invalid")));
        QCOMPARE(app->cask()->caskName, QStringLiteral("alpha-beta"));
        QVERIFY(world.log.lines().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCoordinatorAdoption)
#include "tst_coordinatoradoption.moc"
