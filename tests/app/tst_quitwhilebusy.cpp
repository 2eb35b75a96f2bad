#include "FakeDockBadge.h"
#include "FakeNetworkProbe.h"
#include "FakeTerminalLauncher.h"
#include "FakeTool.h"
#include "LogCapture.h"
#include "QuitTestContainer.h"
#include "SyntheticWorld.h"

#include "coordinator/AppState.h"
#include "app/DependencyContainer.h"
#include "app/QuitSequence.h"
#include "platform/process/ProcessGroups.h"
#include "services/ApplicationStore.h"
#include "viewmodels/DetailViewModel.h"
#include "viewmodels/SidebarViewModel.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <csignal>

using namespace norvelle;
using namespace norvelle::test;
using namespace std::chrono_literals;
using Response = FakeTool::Response;

namespace {

bool processIsGone(qint64 pid)
{
    return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0;
}

bool ranWith(const FakeTool& tool, const QString& argument)
{
    for (const FakeTool::Call& call : tool.calls(QStringLiteral("brew")))
        if (call.arguments.contains(argument))
            return true;
    return false;
}

} // namespace

// Quitting ends the event loop for good, so this file holds one test only.
class TestQuitWhileBusy : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Quitting in the middle of a long `brew upgrade` and of an update check that waits for its
    // tools: the tools are stopped, every worker ends within the quit's bounded wait, and the
    // objects they used can then be destroyed (AddressSanitizer watches that).
    void quitWhileAnUpdateAndACheckRun()
    {
        SyntheticWorld::Options worldOptions;
        worldOptions.bundleCount = 12;
        worldOptions.catalogueCasks = 40;
        worldOptions.latency = 5ms;
        SyntheticWorld world(worldOptions);
        QVERIFY(world.isValid());
        QTemporaryDir settingsFolder;

        auto container = makeQuitTestContainer(world, settingsFolder);

        SidebarViewModel& sidebar = container->sidebarViewModel();
        QFuture<void> discovery = sidebar.discoverApplications();
        QTRY_VERIFY_WITH_TIMEOUT(discovery.isFinished(), 60000);
        QFuture<void> firstCheck = sidebar.checkForUpdates();
        QTRY_VERIFY_WITH_TIMEOUT(firstCheck.isFinished(), 60000);

        std::shared_ptr<Application> target;
        for (const auto& application : container->store().applications()) {
            const auto update = application->update();
            if (update && update->source == Update::Source::homebrew)
                target = application;
        }
        QVERIFY(target);

        // From now on every tool run hangs: the upgrade after its first line, the check's lists.
        world.tool().clearResponses();
        world.tool().respondToAnyArguments(QStringLiteral("brew"),
                                           Response().withLine("==> Downloading update\n").withHang());
        world.tool().respondToAnyArguments(QStringLiteral("mas"), Response().withHang());

        container->store().setSelectedApplicationId(target->id());
        QFuture<void> update = container->detailViewModel().updateApplication();
        QTRY_VERIFY_WITH_TIMEOUT(ranWith(world.tool(), QStringLiteral("upgrade")), 30000);
        QFuture<void> pendingCheck = sidebar.checkForUpdates();
        QTRY_VERIFY_WITH_TIMEOUT(ranWith(world.tool(), QStringLiteral("outdated")), 30000);
        QTRY_VERIFY(ProcessGroups::runningCount() >= 2);
        QVERIFY(!update.isFinished());
        QVERIFY(!pendingCheck.isFinished());

        // The user quits: the event loop ends.
        const LogCapture log;
        QTimer::singleShot(0, this, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();

        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(QuitSequence::endRunningWork({2500ms, 1500ms}));
        QVERIFY(elapsed.elapsed() < 4000);
        QCOMPARE(ProcessGroups::runningCount(), 0);
        for (const FakeTool::Call& call : world.tool().calls())
            QVERIFY2(processIsGone(call.pid), qPrintable(call.arguments.join(u' ')));
        // The stopped upgrade is no failure of brew.
        QVERIFY(log.contains(Logger::Level::info, "Update of " + target->name() + " ended by quitting"));
        QVERIFY(!log.containsPrefix(Logger::Level::error, "Failed to update"));
        QVERIFY(!log.containsPrefix(Logger::Level::warning, "Failed to load outdated casks"));

        // A tool that a late worker starts now is killed at once.
        QVERIFY(!ProcessGroups::add(0));
        QVERIFY(ProcessGroups::isTerminating());

        container.reset();
    }
};

QTEST_GUILESS_MAIN(TestQuitWhileBusy)
#include "tst_quitwhilebusy.moc"
