#include "CoordinatorTestWorld.h"

#include <QTest>

using namespace norvelle;
using namespace norvelle::test;

namespace {

const QString kUpdating = QStringLiteral("An update operation is already in progress");
const QString kAdopting = QStringLiteral("An adoption operation is already in progress");
const QString kNotReady = QStringLiteral("System environment is not ready. Network connection required.");
const QString kNoUpdate = QStringLiteral("No update available for this application");
const QString kNotAdoptable = QStringLiteral("Application cannot be adopted by Homebrew");

std::optional<EnvironmentStatus> environmentNamed(const QString& name)
{
    if (name == QLatin1String("none"))
        return std::nullopt;
    EnvironmentStatus status{true, true, true, QStringLiteral("/usr/local/bin/brew")};
    if (name == QLatin1String("offline"))
        status.hasNetwork = false;
    if (name == QLatin1String("nobrew"))
        status = {false, true, true, std::nullopt};
    if (name == QLatin1String("nomas"))
        status.hasMAS = false;
    return status;
}

ApplicationPtr targetNamed(const QString& name)
{
    if (name == QLatin1String("brewUpdate"))
        return makeApp(QStringLiteral("Target"), makeUpdate(QStringLiteral("2.0")));
    if (name == QLatin1String("masUpdate"))
        return makeApp(QStringLiteral("Target"), makeUpdate(QStringLiteral("2.0"), Update::Source::appStore));
    auto app = makeApp(QStringLiteral("Target"));
    if (name == QLatin1String("adoptable"))
        app->setCask(makeCask(QStringLiteral("target"), true));
    if (name == QLatin1String("notAdoptable"))
        app->setCask(makeCask(QStringLiteral("target"), false));
    return app;
}

} // namespace

class TestCoordinatorRefusals : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void refusal_data()
    {
        QTest::addColumn<QString>("busy");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message"); // empty: a batch refused with an empty list
        QTest::addColumn<QString>("warning"); // empty: no warning expected
        QTest::addColumn<bool>("checksEnvironment");

        auto row = [](const char* name, const char* busy, const char* environment, const char* operation,
                      const char* target, const QString& message, const char* warning,
                      bool checksEnvironment) {
            QTest::newRow(name) << QString::fromLatin1(busy) << QString::fromLatin1(environment)
                                << QString::fromLatin1(operation) << QString::fromLatin1(target) << message
                                << QString::fromLatin1(warning) << checksEnvironment;
        };
        row("discovery while discovering", "discovering", "full", "discover", "",
            "Discovery is already in progress", "Discovery already in progress", false);
        row("discovery before any environment check", "", "none", "discover", "", kNotReady,
            "Environment not ready for discovery", false);
        row("check of all with an empty list", "", "none", "checkAll", "",
            "No applications found. Please scan first.", "No applications to check for updates", false);
        row("check of all offline", "", "offline", "checkAll", "brewUpdate", kNotReady,
            "Environment not ready for update checking", false);
        row("update while updating", "updating", "full", "update", "brewUpdate", kUpdating,
            "Update already in progress", false);
        row("update while another update checks the environment", "updateCheckingEnvironment", "full",
            "update", "brewUpdate", kUpdating, "Update already in progress", false);
        row("adoption while an update checks the environment", "updateCheckingEnvironment", "full", "adopt",
            "adoptable", kUpdating, "Cannot adopt while updates are in progress", true);
        row("update during a batch", "batch", "full", "update", "brewUpdate", kUpdating,
            "Update already in progress", false);
        row("update while adopting", "adopting", "full", "update", "brewUpdate", kAdopting,
            "Cannot update while adoptions are in progress", false);
        row("update without an update", "", "full", "update", "plain", kNoUpdate, "", true);
        row("Homebrew update without brew", "", "nobrew", "update", "brewUpdate",
            "Homebrew is not installed. Install from https://brew.sh", "", true);
        row("App Store update without mas", "", "nomas", "update", "masUpdate",
            "MAS CLI is not installed. Install from https://github.com/mas-cli/mas", "", true);
        row("batch while updating", "updating", "full", "batch", "brewUpdate", "",
            "Update already in progress", false);
        row("batch during a batch", "batch", "full", "batch", "brewUpdate", "", "Update already in progress",
            false);
        row("batch while adopting", "adopting", "full", "batch", "brewUpdate", "",
            "Cannot update while adoptions are in progress", false);
        row("adoption without a cask", "", "full", "adopt", "plain", kNotAdoptable, "", false);
        row("adoption of a cask that is not adoptable", "", "full", "adopt", "notAdoptable", kNotAdoptable,
            "", false);
        row("adoption without brew", "", "nobrew", "adopt", "adoptable",
            "Homebrew is not installed. Install from https://brew.sh",
            "Cannot adopt cask - Homebrew not installed", true);
        row("adoption while adopting", "adopting", "full", "adopt", "adoptable", kAdopting,
            "Adoption already in progress", true);
        row("adoption while updating", "updating", "full", "adopt", "adoptable", kUpdating,
            "Cannot adopt while updates are in progress", true);
        row("skip without an update", "", "full", "skip", "plain", kNoUpdate, "", false);
    }

    // A refused request changes nothing, calls nothing it should not, and leaves the operation
    // that holds the coordinator undisturbed; afterwards every flag is clear again.
    void refusal()
    {
        QFETCH(QString, busy);
        QFETCH(QString, environment);
        QFETCH(QString, operation);
        QFETCH(QString, target);
        QFETCH(QString, message);
        QFETCH(QString, warning);
        QFETCH(bool, checksEnvironment);

        CoordinatorTestWorld world;
        AppCoordinator& coordinator = world.coordinator;

        // The operation that keeps the coordinator busy waits at a gate.
        auto holder = makeApp(QStringLiteral("Holder"), makeUpdate(QStringLiteral("3.0")));
        holder->setCask(makeCask(QStringLiteral("holder"), true));
        auto gate = world.gate();
        QFuture<void> holding;
        if (busy == QLatin1String("discovering")) {
            world.discovery->setDiscoveryGate(gate);
            holding = world.run([&] { coordinator.discoverApplications(); });
        } else if (busy == QLatin1String("updating")) {
            world.updates->setUpdateGate(holder->bundleIdentifier(), gate);
            holding = world.run([&] { coordinator.updateApplication(holder, {}); });
        } else if (busy == QLatin1String("updateCheckingEnvironment")) {
            // Still before any of its own tests on the update: it must hold the flag already.
            world.environment->setNextCheckGate(gate);
            holding = world.run([&] { coordinator.updateApplication(holder, {}); });
        } else if (busy == QLatin1String("batch")) {
            world.updates->setUpdateGate(holder->bundleIdentifier(), gate);
            world.list({holder});
            holding = world.run([&] { coordinator.updateApplications({holder}, 1, {}); });
        } else if (busy == QLatin1String("adopting")) {
            world.scriptAdoption({}, gate);
            holding = world.run([&] { coordinator.adoptApplication(holder, {}); });
        }
        if (!busy.isEmpty())
            QTRY_COMPARE(gate->arrivals(), 1);

        const auto app = targetNamed(target);
        if (operation == QLatin1String("discover") || operation == QLatin1String("checkAll"))
            world.store.setEnvironmentStatus(environmentNamed(environment));
        else
            world.environment->setStatus(*environmentNamed(environment));
        if (!target.isEmpty())
            world.list({app});
        const int checksBefore = world.environment->checkCount();
        const auto singleUpdatesBefore = world.updates->singleUpdates().size();
        world.log.clear();

        std::optional<QString> failure;
        if (operation == QLatin1String("batch")) {
            auto batch = world.run([&] { return coordinator.updateApplications({app}, 1, {}); });
            AWAIT(batch);
            QVERIFY(batch.result().isEmpty());
        } else {
            auto refused = world.run([&] {
                if (operation == QLatin1String("discover"))
                    coordinator.discoverApplications();
                else if (operation == QLatin1String("checkAll"))
                    coordinator.checkForUpdates();
                else if (operation == QLatin1String("update"))
                    coordinator.updateApplication(app, {});
                else if (operation == QLatin1String("adopt"))
                    coordinator.adoptApplication(app, {});
                else if (operation == QLatin1String("skip"))
                    coordinator.skipVersion(app);
            });
            AWAIT(refused);
            failure = failureOf(refused);
            QCOMPARE(failure.value_or(QStringLiteral("(no error)")), message);
        }

        if (warning.isEmpty())
            QVERIFY(!world.log.containsPrefix(Logger::Level::warning, QString()));
        else
            QCOMPARE(world.log.count(Logger::Level::warning, warning), 1);
        QCOMPARE(world.environment->checkCount() - checksBefore, checksEnvironment ? 1 : 0);
        if (checksEnvironment)
            QCOMPARE(world.store.environmentStatus(), environmentNamed(environment));
        QCOMPARE(world.updates->singleUpdates().size(), singleUpdatesBefore);
        QCOMPARE(world.updates->checks().size(), 0);
        QVERIFY(world.ignore->calls().isEmpty());
        QCOMPARE(world.brewCalls(QStringLiteral("adoptCask")).size(),
                 busy == QLatin1String("adopting") ? 1 : 0);
        if (app->update())
            QCOMPARE(app->update()->status, Update::Status::available);

        // The holder was not disturbed: it still holds its flag and then ends normally.
        if (busy == QLatin1String("discovering"))
            QVERIFY(coordinator.isDiscovering());
        if (busy == QLatin1String("updating") || busy == QLatin1String("batch") ||
            busy == QLatin1String("updateCheckingEnvironment"))
            QVERIFY(coordinator.isUpdating());
        if (busy == QLatin1String("adopting"))
            QVERIFY(coordinator.isAdopting());
        gate->open();
        if (!busy.isEmpty()) {
            AWAIT(holding);
            QCOMPARE(failureOf(holding), std::nullopt);
        }
        QVERIFY(!coordinator.isDiscovering());
        QVERIFY(!coordinator.isUpdating());
        QVERIFY(!coordinator.isAdopting());
        QVERIFY(!coordinator.hasActiveBatch());
    }

    // Two adoptions asked for together: both look at the environment, exactly one proceeds.
    void twoAdoptionsAtOnce()
    {
        CoordinatorTestWorld world;
        auto app = makeApp(QStringLiteral("Target"));
        app->setCask(makeCask(QStringLiteral("target"), true));
        world.list({app});
        auto gate = world.gate();
        world.scriptAdoption({}, gate);

        auto first = world.run([&] { world.coordinator.adoptApplication(app, {}); });
        auto second = world.run([&] { world.coordinator.adoptApplication(app, {}); });
        QTRY_VERIFY(gate->arrivals() == 1 && (first.isFinished() || second.isFinished()));
        const auto refused = first.isFinished() ? first : second;
        const auto proceeding = first.isFinished() ? second : first;
        QCOMPARE(failureOf(refused), std::optional<QString>(kAdopting));
        QCOMPARE(world.log.count(Logger::Level::warning, QStringLiteral("Adoption already in progress")), 1);
        QCOMPARE(world.environment->checkCount(), 2);

        gate->open();
        AWAIT(proceeding);
        QCOMPARE(failureOf(proceeding), std::nullopt);
        QCOMPARE(world.brewCalls(QStringLiteral("adoptCask")),
                 QStringList{QStringLiteral("adoptCask target")});
        QVERIFY(!world.coordinator.isAdopting());
    }
};

QTEST_GUILESS_MAIN(TestCoordinatorRefusals)
#include "tst_coordinatorrefusals.moc"
