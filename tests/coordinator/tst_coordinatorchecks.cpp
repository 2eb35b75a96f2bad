#include "CoordinatorTestWorld.h"

#include <QTest>

using namespace norvelle;
using namespace norvelle::test;

namespace {

using Opt = std::optional<QString>;
const QDateTime kEarlier(QDate(2025, 1, 2), QTime(3, 4), Qt::UTC);
const QDateTime kLater(QDate(2025, 2, 3), QTime(4, 5), Qt::UTC);
const SourceFailure kEarlierFailure{SourceFailure::appStore(), QStringLiteral("mas timed out")};

Update updateWithPayloads(const QString& version)
{
    Update update = makeUpdate(version);
    update.cask = makeCask(QStringLiteral("found"));
    MAS mas;
    mas.appID = QStringLiteral("42");
    update.mas = mas;
    return update;
}

} // namespace

class TestCoordinatorChecks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void discoveryPublishesTheListWithItsIgnoreState_data()
    {
        QTest::addColumn<bool>("network");
        QTest::newRow("online") << true;
        // The applications on disk need no network; only the sources that do are lost.
        QTest::newRow("offline") << false;
    }

    void discoveryPublishesTheListWithItsIgnoreState()
    {
        QFETCH(bool, network);
        CoordinatorTestWorld world;
        world.store.setEnvironmentStatus(
            EnvironmentStatus{true, true, network, QStringLiteral("/usr/local/bin/brew")});
        world.ignore->ignoreApp(QStringLiteral("com.example.beta"));
        auto alpha = makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("2.0")));
        auto beta = makeApp(QStringLiteral("Beta"), makeUpdate(QStringLiteral("2.0")));
        world.discovery->setApplications({alpha, beta});
        world.log.clear();

        auto done = world.run([&] { world.coordinator.discoverApplications(); });
        AWAIT(done);
        QCOMPARE(failureOf(done), std::nullopt);
        QVERIFY(sameApplications(world.store.applications(), {alpha, beta}));
        QVERIFY(beta->ignored());
        QVERIFY(!beta->update());
        QCOMPARE(world.badge->label(), QStringLiteral("1"));
        QCOMPARE(world.discovery->discoveries().size(), 1);
        QCOMPARE(world.discovery->discoveries().at(0), *world.store.environmentStatus());
        QVERIFY(world.log.contains(Logger::Level::info,
                                   QStringLiteral("Discovery complete: 2 applications found")));
        QVERIFY(!world.coordinator.isDiscovering());
    }

    // A discovery publishes new objects; what the last check knew of an application found again
    // as it was stays with it, so a check that cannot read its source still shows it.
    void discoveryKeepsWhatTheLastCheckKnew_data()
    {
        QTest::addColumn<QString>("meanwhile"); // what changed since the check
        QTest::newRow("found as it was") << "";
        QTest::newRow("updated meanwhile") << "updated";
        QTest::newRow("ignored meanwhile") << "ignored";
        QTest::newRow("its version skipped meanwhile") << "skipped";
        QTest::newRow("adopted into Homebrew meanwhile") << "adopted";
    }
    void discoveryKeepsWhatTheLastCheckKnew()
    {
        QFETCH(QString, meanwhile);
        CoordinatorTestWorld world;
        const auto before =
            makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("2.0"), Update::Source::sparkle),
                    {Application::Source::sparkle});
        const SourceFailure failure{SourceFailure::updateFeed(), QStringLiteral("Could not resolve host")};
        before->setCheckFailure(failure);
        world.list({before});
        const auto found =
            makeApp(QStringLiteral("Alpha"), std::nullopt,
                    {meanwhile == "adopted" ? Application::Source::homebrew : Application::Source::sparkle});
        found->setCurrentVersion(meanwhile == "updated" ? "2.0" : "1.0");
        world.discovery->setApplications({found});
        if (meanwhile == "ignored")
            world.ignore->ignoreApp(found->bundleIdentifier());
        if (meanwhile == "skipped")
            world.ignore->ignoreVersion(found->bundleIdentifier(), "2.0");

        auto done = world.run([&] { world.coordinator.discoverApplications(); });
        AWAIT(done);
        QVERIFY(sameApplications(world.store.applications(), {found}));
        QCOMPARE(found->update().has_value(), meanwhile.isEmpty());
        QCOMPARE(found->checkFailure().has_value(), meanwhile != "updated");
    }

    void failedDiscoveryClearsItsFlag()
    {
        CoordinatorTestWorld world;
        world.discovery->setDiscoveryFailure(QStringLiteral("Directory not found: /Applications"));
        auto done = world.run([&] { world.coordinator.discoverApplications(); });
        AWAIT(done);
        QCOMPARE(failureOf(done), Opt(QStringLiteral("Directory not found: /Applications")));
        QVERIFY(!world.coordinator.isDiscovering());
    }

    // One application through the check of all applications, with its state before and the
    // update the sources found (empty: no entry in the map).
    void checkAllWriteBack_data()
    {
        QTest::addColumn<bool>("ignored");
        QTest::addColumn<QString>("skipped");
        QTest::addColumn<QString>("found");
        QTest::addColumn<QString>("update");       // the version left as update, empty for none
        QTest::addColumn<QString>("skippedAfter"); // empty for none
        QTest::addColumn<bool>("payloadsCopied");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("listedBefore"); // applications without an update listed before it
        QTest::addColumn<bool>("unread");      // a source of it could not be read

        auto row = [](const char* name, bool ignored, const QString& skipped, const QString& found,
                      const QString& update, const QString& skippedAfter, bool payloadsCopied,
                      const QString& line, int listedBefore = 0, bool unread = false) {
            QTest::newRow(name) << ignored << skipped << found << update << skippedAfter << payloadsCopied
                                << line << listedBefore << unread;
        };
        row("ignored", true, "", "2.0", "", "", false, "Skipping update for ignored app: Alpha");
        row("missing from the result", false, "", "", "", "", false, "");
        row("no skipped version", false, "", "2.0", "2.0", "", true, "");
        row("skipped version found again", false, "2.0", "2.0", "", "2.0", false,
            "Skipping update for Alpha version 2.0 - version is skipped");
        row("another version than the skipped one", false, "2.0", "2.1", "2.1", "", true,
            "Clearing skipped version for Alpha - new version 2.1 is available (was skipping 2.0)");
        // The results are written back in parts; one far down a long list is written too.
        row("far down a long list", false, "", "2.0", "2.0", "", true, "", 600);
        // A source that could not be read said nothing: the update known before stays.
        row("source not read", false, "", "", "1.5", "", false, "", 0, true);
    }
    void checkAllWriteBack()
    {
        QFETCH(bool, ignored);
        QFETCH(QString, skipped);
        QFETCH(QString, found);
        QFETCH(QString, update);
        QFETCH(QString, skippedAfter);
        QFETCH(bool, payloadsCopied);
        QFETCH(QString, line);
        QFETCH(int, listedBefore);
        QFETCH(bool, unread);

        CoordinatorTestWorld world;
        auto app = makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("1.5")));
        const Cask ownCask = makeCask(QStringLiteral("alpha"));
        app->setCask(ownCask);
        app->setIgnored(ignored);
        // What the check before could not read: every check replaces it, an ignored one too.
        app->setCheckFailure(kEarlierFailure);
        if (!skipped.isEmpty()) {
            app->setSkippedVersion(skipped);
            world.ignore->ignoreVersion(app->bundleIdentifier(), skipped);
        }
        auto other = makeApp(QStringLiteral("Other"));
        QList<ApplicationPtr> listed;
        for (int i = 0; i < listedBefore; ++i)
            listed.append(makeApp(QStringLiteral("Before%1").arg(i)));
        listed << app << other;
        world.list(listed);
        QHash<QString, Update> result{{other->bundleIdentifier(), makeUpdate(QStringLiteral("9.0"))}};
        if (!found.isEmpty())
            result.insert(app->bundleIdentifier(), updateWithPayloads(found));
        world.updates->setCheckResult(result);
        const SourceFailure failure{SourceFailure::updateFeed(), QStringLiteral("Could not resolve host")};
        if (unread)
            world.updates->setUnreadSources({{app->bundleIdentifier(), failure}});
        world.clock->set(kLater);
        world.log.clear();

        auto done = world.run([&] { world.coordinator.checkForUpdates(); });
        AWAIT(done);
        QCOMPARE(failureOf(done), std::nullopt);

        QCOMPARE(app->update() ? app->update()->latestVersion : QString(), update);
        QCOMPARE(app->checkFailure(), unread ? std::optional(failure) : std::nullopt);
        QCOMPARE(app->skippedVersion().value_or(QString()), skippedAfter);
        QCOMPARE(app->cask(), payloadsCopied ? updateWithPayloads(found).cask : std::optional<Cask>(ownCask));
        QCOMPARE(app->mas().has_value(), payloadsCopied);
        if (!line.isEmpty())
            QVERIFY(world.log.containsPrefix(Logger::Level::debug, line) ||
                    world.log.contains(Logger::Level::info, line));
        const int available = update.isEmpty() ? 1 : 2;
        QVERIFY(
            world.log.contains(Logger::Level::info,
                               QStringLiteral("Update check complete: %1 updates available").arg(available)));
        QCOMPARE(world.badge->label(), QString::number(available));
        QCOMPARE(world.store.lastUpdateCheck(), std::optional<QDateTime>(kLater));
        QStringList checked;
        for (const ApplicationPtr& application : std::as_const(listed))
            checked.append(application->bundleIdentifier());
        QCOMPARE(world.updates->checks(), QList<QStringList>{checked});
        QCOMPARE(other->update() ? other->update()->latestVersion : QString(), QStringLiteral("9.0"));
        // A dropped skip reaches the ignore list shortly after.
        if (!skipped.isEmpty() && skippedAfter.isEmpty())
            QTRY_VERIFY(!world.ignore->ignoredVersions().contains(app->bundleIdentifier()));
        else if (!skipped.isEmpty())
            QVERIFY(world.ignore->ignoredVersions().contains(app->bundleIdentifier()));
    }

    void failedCheckWritesNothing()
    {
        CoordinatorTestWorld world;
        auto app = makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("1.5")));
        world.list({app});
        world.updates->setCheckFailure(QStringLiteral("Homebrew command failed to execute"));
        auto done = world.run([&] { world.coordinator.checkForUpdates(); });
        AWAIT(done);
        QCOMPARE(failureOf(done), Opt(QStringLiteral("Homebrew command failed to execute")));
        QCOMPARE(app->update()->latestVersion, QStringLiteral("1.5"));
        QCOMPARE(world.store.lastUpdateCheck(), std::nullopt);
    }

    void failedSkipClearingIsLogged()
    {
        CoordinatorTestWorld world;
        auto app = makeApp(QStringLiteral("Alpha"));
        app->setSkippedVersion(QStringLiteral("2.0"));
        world.list({app});
        world.updates->setCheckResult({{app->bundleIdentifier(), makeUpdate(QStringLiteral("2.1"))}});
        world.ignore->setFailure(QStringLiteral("disk full"));

        auto done = world.run([&] { world.coordinator.checkForUpdates(); });
        AWAIT(done);
        QCOMPARE(failureOf(done), std::nullopt);
        QVERIFY(!app->skippedVersion());
        QTRY_VERIFY(world.log.contains(
            Logger::Level::warning,
            QStringLiteral("Failed to clear skipped version for com.example.alpha: disk full")));
    }

    // The rules for one application, which differ from those for all of them.
    void singleCheckWriteBack_data()
    {
        QTest::addColumn<bool>("ignored");
        QTest::addColumn<QString>("previous"); // the update it had, empty for none
        QTest::addColumn<QString>("skipped");
        QTest::addColumn<QString>("found");
        QTest::addColumn<bool>("foundFailed");
        QTest::addColumn<bool>("foundDated");
        QTest::addColumn<QString>("update");
        QTest::addColumn<QString>("skippedAfter");
        QTest::addColumn<QDateTime>("releaseDate");
        QTest::addColumn<bool>("unread"); // a source of it could not be read

        const QDateTime none;
        auto row = [](const char* name, bool ignored, const QString& previous, const QString& skipped,
                      const QString& found, bool foundFailed, bool foundDated, const QString& update,
                      const QString& skippedAfter, const QDateTime& releaseDate, bool unread = false) {
            QTest::newRow(name) << ignored << previous << skipped << found << foundFailed << foundDated
                                << update << skippedAfter << releaseDate << unread;
        };
        row("ignored still gets its update", true, "", "", "2.0", false, true, "2.0", "", kLater);
        row("failed update becomes available", false, "", "", "2.0", true, true, "2.0", "", kLater);
        row("replacement keeps the earlier release date", false, "1.5", "", "2.0", false, false, "2.0", "",
            kEarlier);
        row("replacement with its own release date", false, "1.5", "", "2.0", false, true, "2.0", "", kLater);
        row("replacement ignores the skipped version", false, "1.5", "2.0", "2.0", false, true, "2.0", "2.0",
            kLater);
        row("nothing found", false, "1.5", "", "", false, false, "", "", none);
        row("nothing found, source not read", false, "1.5", "", "", false, false, "1.5", "", kEarlier, true);
        row("skipped version found", false, "", "2.0", "2.0", false, true, "", "2.0", none);
        row("another version than the skipped one", false, "", "2.0", "2.1", false, true, "2.1", "", kLater);
    }
    void singleCheckWriteBack()
    {
        QFETCH(bool, ignored);
        QFETCH(QString, previous);
        QFETCH(QString, skipped);
        QFETCH(QString, found);
        QFETCH(bool, foundFailed);
        QFETCH(bool, foundDated);
        QFETCH(QString, update);
        QFETCH(QString, skippedAfter);
        QFETCH(QDateTime, releaseDate);
        QFETCH(bool, unread);

        CoordinatorTestWorld world;
        auto app = makeApp(QStringLiteral("Alpha"));
        const SourceFailure failure{SourceFailure::updateFeed(), QStringLiteral("Could not resolve host")};
        if (unread)
            world.updates->setUnreadSources({{app->bundleIdentifier(), failure}});
        app->setIgnored(ignored);
        app->setCheckFailure(kEarlierFailure);
        if (!previous.isEmpty()) {
            Update before = makeUpdate(previous);
            before.releaseDate = kEarlier;
            app->setUpdate(before);
        }
        if (!skipped.isEmpty())
            app->setSkippedVersion(skipped);
        if (!found.isEmpty()) {
            Update offered = updateWithPayloads(found);
            if (foundFailed) {
                offered.status = Update::Status::failed;
                offered.lastUpdateError = QStringLiteral("boom");
            }
            if (foundDated)
                offered.releaseDate = kLater;
            world.updates->setCheckResult({{app->bundleIdentifier(), offered}});
        }
        world.environment->setStatus({false, true, false, std::nullopt});

        auto done = world.run([&] { world.coordinator.checkForUpdate(app); });
        AWAIT(done);
        QCOMPARE(failureOf(done), std::nullopt);

        const auto after = app->update();
        QCOMPARE(after ? after->latestVersion : QString(), update);
        QCOMPARE(app->checkFailure(), unread ? std::optional(failure) : std::nullopt);
        if (after) {
            QCOMPARE(after->status, Update::Status::available);
            QCOMPARE(after->lastUpdateError, std::nullopt);
            QCOMPARE(after->releaseDate.value_or(QDateTime()), releaseDate);
        }
        QCOMPARE(app->skippedVersion().value_or(QString()), skippedAfter);
        // Payloads are copied first, whatever the rest decides.
        QCOMPARE(app->cask().has_value(), !found.isEmpty());
        // One check, with the fresh environment, which the store now holds; no network needed.
        QCOMPARE(world.updates->checks(), QList<QStringList>{QStringList{app->bundleIdentifier()}});
        QCOMPARE(world.updates->checkStatuses().at(0).hasHomebrew, false);
        QCOMPARE(world.store.environmentStatus(),
                 std::optional<EnvironmentStatus>(EnvironmentStatus{false, true, false, std::nullopt}));
        QCOMPARE(world.store.lastUpdateCheck(), std::nullopt);
    }

    void refreshCopiesTheRediscoveredFacts()
    {
        CoordinatorTestWorld world;
        auto app =
            makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("2.0"), Update::Source::appStore));
        app->setIgnored(true);
        app->setSkippedVersion(QStringLiteral("3.0"));
        app->setSparkleInfo(
            SparkleInfo{QUrl(QStringLiteral("https://example.com/appcast.xml")), {}, {}, true});
        app->setCask(makeCask(QStringLiteral("alpha")));
        world.list({app});
        auto fresh = Application::create(QStringLiteral("Alpha"), app->bundleIdentifier(), app->path(),
                                         QStringLiteral("1.5"),
                                         QList<Application::Source>{Application::Source::appStore});
        MAS mas;
        mas.appID = QStringLiteral("7");
        fresh->setMas(mas);
        world.discovery->setRediscovered(app->path(), fresh);
        world.updates->setCheckResult(
            {{app->bundleIdentifier(), makeUpdate(QStringLiteral("2.5"), Update::Source::appStore)}});

        auto done = world.run([&] { world.coordinator.refreshApplication(app); });
        AWAIT(done);
        QCOMPARE(failureOf(done), std::nullopt);
        QCOMPARE(app->currentVersion(), QStringLiteral("1.5"));
        QCOMPARE(app->source(), QList<Application::Source>{Application::Source::appStore});
        QCOMPARE(app->cask(), std::nullopt);
        QCOMPARE(app->mas(), std::optional<MAS>(mas));
        QCOMPARE(app->update()->latestVersion, QStringLiteral("2.5"));
        QVERIFY(app->ignored());
        QCOMPARE(app->skippedVersion(), Opt(QStringLiteral("3.0")));
        QVERIFY(app->sparkleInfo().has_value());
        QCOMPARE(world.brewCalls(QStringLiteral("loadInstalledCasks")).size(), 1);
        QCOMPARE(world.discovery->rediscoveries(),
                 QStringList{QStringLiteral("/Applications/Alpha.app|1|1")});
    }

    // While the check after the rediscovery runs, the update the application had stays only
    // when the bundle does not already hold its version.
    void refreshKeepsAnUpdateNotYetInstalled_data()
    {
        QTest::addColumn<QString>("onDisk");
        QTest::addColumn<bool>("leftTheStore");
        QTest::addColumn<bool>("kept");
        QTest::newRow("older bundle") << QStringLiteral("1.0") << false << true;
        QTest::newRow("the update installed") << QStringLiteral("2.0,200") << false << false;
        QTest::newRow("same version, other build") << QStringLiteral("2.0,199") << false << true;
        QTest::newRow("updated itself past it") << QStringLiteral("2.1") << false << false;
        QTest::newRow("the store's update, gone from the store") << QStringLiteral("1.0") << true << false;
    }

    void refreshKeepsAnUpdateNotYetInstalled()
    {
        QFETCH(QString, onDisk);
        QFETCH(bool, leftTheStore);
        QFETCH(bool, kept);
        CoordinatorTestWorld world;
        auto app =
            makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("2.0,200"), Update::Source::appStore),
                    {Application::Source::appStore, Application::Source::homebrew});
        world.list({app});
        const QList<Application::Source> sources =
            leftTheStore ? QList{Application::Source::homebrew} : app->source();
        world.discovery->setRediscovered(app->path(),
                                         Application::create(QStringLiteral("Alpha"), app->bundleIdentifier(),
                                                             app->path(), onDisk, sources));
        auto gate = world.gate();
        world.updates->setCheckGate(gate);
        auto done = world.run([&] { world.coordinator.refreshApplication(app); });
        QTRY_COMPARE(gate->arrivals(), 1);
        QCOMPARE(app->currentVersion(), onDisk);
        QCOMPARE(app->update().has_value(), kept);
        gate->open();
        AWAIT(done);
    }

    void refreshOfADeletedBundle()
    {
        CoordinatorTestWorld world;
        auto app = makeApp(QStringLiteral("Alpha"), makeUpdate(QStringLiteral("2.0")));
        world.environment->setStatus({false, false, true, std::nullopt});
        auto done = world.run([&] { world.coordinator.refreshApplication(app); });
        AWAIT(done);
        QCOMPARE(failureOf(done), Opt(QStringLiteral("Application not found")));
        QVERIFY(world.log.contains(
            Logger::Level::error,
            QStringLiteral("Failed to rediscover application at path: /Applications/Alpha.app")));
        QCOMPARE(app->currentVersion(), QStringLiteral("1.0"));
        QCOMPARE(app->update()->latestVersion, QStringLiteral("2.0"));
        QCOMPARE(world.brewCalls(QStringLiteral("loadInstalledCasks")).size(),
                 0); // no Homebrew: nothing to reload
        QVERIFY(world.updates->checks().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCoordinatorChecks)
#include "tst_coordinatorchecks.moc"
