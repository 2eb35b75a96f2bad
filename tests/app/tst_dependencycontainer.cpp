#include "BundleBuilder.h"
#include "FakeDockBadge.h"
#include "FakeNetworkProbe.h"
#include "FakeTerminalLauncher.h"
#include "FakeTool.h"
#include "TempRoot.h"
#include "TestGate.h"
#include "app/DependencyContainer.h"
#include "app/QuitSequence.h"
#include "coordinator/AppCoordinator.h"
#include "coordinator/AppState.h"
#include "platform/Logger.h"
#include "platform/SettingsStore.h"
#include "platform/updater/InstallRecovery.h"
#include "platform/updater/InstallStaging.h"
#include "services/ApplicationStore.h"
#include "services/DiscoveryService.h"
#include "services/EnvironmentService.h"
#include "services/IgnoreService.h"
#include "util/Async.h"
#include "viewmodels/ContentViewModel.h"
#include "viewmodels/DetailViewModel.h"
#include "viewmodels/SidebarViewModel.h"
#include "viewmodels/TerminalCommands.h"
#include "viewmodels/WelcomeTourViewModel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTest>
#include <dlfcn.h>
#include <future>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace norvelle;
using namespace norvelle::test;

// Pauses of a millisecond taken off the main thread: the background sweep's, between its removals.
static std::atomic<int> s_pauses{0};

extern "C" int nanosleep(const timespec* duration, timespec* left)
{
    static const auto real = reinterpret_cast<decltype(&nanosleep)>(dlsym(RTLD_NEXT, "nanosleep"));
    if (duration->tv_sec == 0 && duration->tv_nsec == 1'000'000 && ::gettid() != ::getpid())
        ++s_pauses;
    return real(duration, left);
}

namespace {

// A container over a temporary root: fake tools, badge, probe and terminal, settings in the root.
struct World {
    TempRoot root;
    FakeTool tool;
    std::shared_ptr<FakeDockBadge> badge = std::make_shared<FakeDockBadge>();
    std::shared_ptr<FakeTerminalLauncher> terminal = std::make_shared<FakeTerminalLauncher>();

    DependencyContainer::Options options(bool withTools)
    {
        DependencyContainer::Options o;
        o.paths = root.paths();
        if (withTools) {
            o.paths.brewCandidates = {tool.brewPath()};
            o.paths.masCandidates = {tool.masPath()};
        }
        o.settingsFile = root.filePath(QStringLiteral("settings.ini"));
        o.dockBadge = badge;
        o.networkProbe = std::make_shared<FakeNetworkProbe>(FakeNetworkProbe::Mode::up);
        o.terminalLauncher = terminal;
        return o;
    }
};

} // namespace

class TestDependencyContainer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void buildsEachObjectOnceInOrderAndRunsNothing()
    {
        World world;
        DependencyContainer container(world.options(true));
        QCOMPARE(container.buildOrder(),
                 QStringList({"SettingsStore", "AppState", "ApplicationStore", "BrewService",
                              "AppStoreAPIService", "MASService", "SparkleService", "IgnoreService",
                              "EnvironmentService", "DiscoveryService", "UpdateService", "AppCoordinator",
                              "ContentViewModel", "SidebarViewModel", "DetailViewModel", "TerminalCommands",
                              "SettingsViewModel", "WelcomeTourViewModel"}));
        QVERIFY(world.tool.calls().isEmpty());
        QVERIFY(world.badge->calls().isEmpty());
        QVERIFY(!container.environmentService()->currentStatus());

        // The one piece of work that starts: the ignore list's folder and file.
        QTRY_VERIFY(container.ignoreService()->isLoaded());
        QCOMPARE(container.ignoreService()->supportFolder(), world.root.paths().supportFolder);
        QVERIFY(QFileInfo(world.root.paths().supportFolder).isDir());
    }

    void sharedObjectsAreOneInstance()
    {
        World world;
        DependencyContainer container(world.options(false));
        QCOMPARE(&container.coordinator()->store(), &container.store());
        QCOMPARE(&container.contentViewModel().store(), &container.store());
        QCOMPARE(&container.welcomeTourViewModel().appState(), &container.appState());
        QCOMPARE(&container.sidebarViewModel().store(), &container.store());
        QCOMPARE(&container.sidebarViewModel().appState(), &container.appState());
        QCOMPARE(&container.sidebarViewModel().coordinator(), container.coordinator().get());
        QCOMPARE(&container.detailViewModel().store(), &container.store());
        QCOMPARE(&container.detailViewModel().coordinator(), container.coordinator().get());
        QCOMPARE(container.discoveryService()->filteredBundleIdentifiers(),
                 QSet<QString>(
                     {"com.apple.Safari", "com.norvelle.Norvelle", "com.apple.appleseed.FeedbackAssistant"}));

        // The settings screen and the app state share the one store.
        container.appState().setHasCompletedWelcomeTour(true);
        QVERIFY(container.settings().hasCompletedWelcomeTour());
        container.settingsViewModel().applyTheme(Theme::dark);
        QCOMPARE(container.settings().selectedTheme(), QStringLiteral("Dark"));

        container.detailViewModel().executeInTerminal(QStringLiteral("brew install mas"));
        QCOMPARE(world.terminal->commandLines(), QStringList{"brew install mas"});
        QVERIFY(container.detailViewModel().isLaunchingTerminal());
        QVERIFY(container.detailViewModel().didLaunchTerminal());
        container.detailViewModel().setSuppressTerminalAlert(true);
        QVERIFY(container.terminalCommands().suppressTerminalAlert());
        QFuture<void> doctor = container.terminalCommands().runBrewDoctor(); // no brew under the root
        QVERIFY(doctor.isFinished());
        QVERIFY(container.detailViewModel().brewDoctorHasError());
        QCOMPARE(container.detailViewModel().brewDoctorOutput(), TerminalCommands::homebrewMissingText());
    }

    // What the coordinator discovers under the overridden folders is what the content model reads,
    // with an application an update was killed in the middle of swapping put back first, also
    // where that happened after the start (a failed rollback: a Refresh must not drop it).
    void discoveryUnderTheRootReachesTheStore()
    {
        World world;
        auto owned = std::make_unique<DependencyContainer>(world.options(false));
        DependencyContainer& container = *owned;
        const QString alpha = BundleBuilder(world.root.paths().applicationsFolder, QStringLiteral("Alpha"))
                                  .bundleIdentifier(QStringLiteral("com.example.alpha"))
                                  .shortVersion(QStringLiteral("1.0"))
                                  .build();
        const QString aside =
            world.root.paths().applicationsFolder + QStringLiteral("/.Alpha.app.old-0123456789ab");
        QString staging;
        {
            InstallStaging killed(alpha); // the install died with its record written
            QVERIFY(killed.recordAside(aside, nullptr));
            QVERIFY(QFile(killed.filePath(QStringLiteral("alpha-1.1.zip"))).open(QIODevice::WriteOnly));
            killed.leaveToSweep();
            staging = killed.path();
        }
        QVERIFY(QDir().rename(alpha, aside));
        BundleBuilder(world.root.paths().applicationsFolder, QStringLiteral("Norvelle"))
            .bundleIdentifier(QStringLiteral("com.norvelle.Norvelle"))
            .shortVersion(QStringLiteral("1.0"))
            .build();

        std::shared_ptr<EnvironmentService> environment = container.environmentService();
        std::shared_ptr<AppCoordinator> coordinator = container.coordinator();
        QFuture<void> discovery = runAsync([environment, coordinator, &container] {
            const EnvironmentStatus status = environment->checkEnvironment();
            invokeOnMain([&] { container.store().setEnvironmentStatus(status); });
            coordinator->discoverApplications();
        });
        QTRY_VERIFY(discovery.isFinished());
        discovery.waitForFinished();

        const auto applications = container.contentViewModel().store().applications();
        QCOMPARE(applications.size(), 1);
        QCOMPARE(applications.first()->bundleIdentifier(), QStringLiteral("com.example.alpha"));
        QVERIFY(!container.store().environmentStatus()->hasHomebrew);

        // Its download was not waited for; it goes once asked, on a thread of its own that waits
        // for the disk behind everything and for the processor behind the process's other work. A
        // quit stops the sweep without waiting for it: here it is held where it reports the first
        // removal, and another killed install's folder is left to the next start.
        QVERIFY(QFileInfo::exists(staging));
        const QString next = [&] {
            InstallStaging killed(world.root.paths().applicationsFolder + QStringLiteral("/Beta.app"));
            killed.leaveToSweep();
            return killed.path();
        }();
        // The calling thread's disk priority and processor share.
        const auto diskPriority = [] { return int(::syscall(SYS_ioprio_get, 1, 0)); };
        const auto share = [] { return ::getpriority(PRIO_PROCESS, id_t(::gettid())); };
        auto gate = std::make_shared<TestGate>();
        std::atomic<int> sweepDiskPriority = 0, sweepShare = -100;
        const int sink = Logger::addSink([&](Logger::Level, const QString&) {
            if (isMainThread())
                return;
            sweepDiskPriority = diskPriority();
            sweepShare = share();
            gate->pass();
        });
        auto busy = std::make_shared<TestGate>(); // other work of the process
        ioPool().start([busy] { busy->pass(); });
        const auto released = qScopeGuard([&] {
            busy->open();
            gate->open();
            Logger::removeSink(sink);
        });
        const int ownDiskPriority = diskPriority();
        container.sweepLeftovers();
        QTest::qWait(100);
        QVERIFY(QFileInfo::exists(staging));
        busy->open();
        QTRY_COMPARE(gate->arrivals(), 1);
        QVERIFY(!QFileInfo::exists(staging));
        QCOMPARE(sweepDiskPriority.load(), (2 << 13) | 7); // the lowest of the best-effort class
        QCOMPARE(diskPriority(), ownDiskPriority);
        QCOMPARE(sweepShare.load(), share()); // a lowered one would hold the process's exit
        std::promise<void> quitEnded;
        const std::jthread watchdog([gate, ended = quitEnded.get_future()] {
            ended.wait_for(std::chrono::seconds(10)); // a quit that waits ends only once this opens the gate
            gate->open();
        });
        container.abortTransfers();
        owned.reset();
        QCOMPARE(gate->passed(), 0);
        // main then leaves without destroying the statics the sweep may use, not through its return.
        const pid_t leaving = ::fork();
        if (leaving == 0)
            ::_exit(QuitSequence::finish(3) == 3 ? 4 : 5);
        int status = 0;
        QCOMPARE(::waitpid(leaving, &status, 0), leaving);
        QCOMPARE(WEXITSTATUS(status), 3);
        quitEnded.set_value();
        QTRY_VERIFY(!InstallRecovery::sweepingInBackground());
        QCOMPARE(QuitSequence::finish(3), 3);
        QVERIFY(QFileInfo::exists(next));
    }

    // What the sweep puts back after a discovery has looked, here while the killed install's process
    // was still ending, is listed, and checked.
    void whatTheSweepPutsBackIsListed()
    {
        World world;
        DependencyContainer container(world.options(false));
        SidebarViewModel& sidebar = container.sidebarViewModel();
        const QString alpha = BundleBuilder(world.root.paths().applicationsFolder, QStringLiteral("Alpha"))
                                  .bundleIdentifier(QStringLiteral("com.example.alpha"))
                                  .build();
        auto killed = std::make_unique<InstallStaging>(alpha); // between the swap's renames
        const QString aside = InstallRecovery::asidePath(alpha);
        QVERIFY(killed->recordAside(aside, nullptr) && QDir().rename(alpha, aside));
        killed->leaveToSweep();
        sidebar.discoverApplications();
        QTRY_VERIFY(!sidebar.isDiscovering());
        QVERIFY(container.store().applications().isEmpty());
        killed.reset();
        container.sweepLeftovers();
        QTRY_COMPARE(container.store().applications().size(), 1);
        QTRY_VERIFY(container.store().lastUpdateCheck().has_value());
        QTRY_VERIFY(!sidebar.isCheckingUpdates());
    }

    // The sweep waits behind the process's other work and pauses between its removals, but behind
    // work that never ends (an update check whose feed keeps sending a byte now and then) only for
    // so long: it then goes on at its paced rate.
    void sweepWaitsBehindOtherWorkForABoundedTime()
    {
        World world;
        const QString applications = world.root.paths().applicationsFolder;
        QVERIFY(QDir().mkpath(applications));
        const auto leave = [&](const QString& bundle, int files) {
            InstallStaging killed(applications + QLatin1Char('/') + bundle);
            if (!killed.isValid())
                return QString();
            for (int i = 0; i < files; ++i)
                QFile(killed.filePath(QString::number(i))).open(QIODevice::WriteOnly);
            killed.leaveToSweep();
            return killed.path();
        };
        const QString small = leave(QStringLiteral("Alpha.app"), 1),
                      large = leave(QStringLiteral("Beta.app"), 3000);
        QVERIFY(!small.isEmpty() && !large.isEmpty());
        // Other work begins once the first leftover is gone, and does not end during the test.
        auto busy = std::make_shared<TestGate>();
        const int sink = Logger::addSink([&](Logger::Level, const QString& line) {
            if (line.endsWith(small))
                ioPool().start([busy] { busy->pass(); });
        });
        const auto released = qScopeGuard([&] {
            busy->open();
            Logger::removeSink(sink);
        });
        const auto remaining = [&] { return QDir(large).entryList(QDir::Files | QDir::Hidden).size(); };

        QElapsedTimer waited;
        waited.start();
        std::jthread sweep =
            InstallRecovery::sweepInBackground(applications, {}, {}, std::chrono::milliseconds(1500));
        QTRY_VERIFY(!QFileInfo::exists(small));
        QTest::qWait(300);
        QVERIFY2(remaining() > 2000, qPrintable(QString::number(remaining())));
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(large), 20000);
        QVERIFY(waited.elapsed() >= 1500);
        QCOMPARE(busy->passed(), 0);
        QVERIFY(s_pauses.load() > 0); // thousands of removals take more than a millisecond
    }
};

QTEST_GUILESS_MAIN(TestDependencyContainer)
#include "tst_dependencycontainer.moc"
