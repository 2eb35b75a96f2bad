// Times the application as a user meets it: the real composition root and main window (on the
// offscreen platform) over a synthetic world, every request over TLS against a system-sized CA
// bundle. Prints the time from start to a populated list, the time of the update check that
// follows, the longest main-thread stall during that check (the longest single event the main
// thread handled, and the longest gap between ticks of a 1 ms timer), and peak memory.
//
//     bench_window [bundle count] [latency in ms] [--real-hosts [--host-cpus=2-7]] [--feeds-down]
//
// With --real-hosts the world runs in a process of its own (on --host-cpus, by default the CPUs
// this one may not use) and behaves like real hosts (see bench_world), so the peak memory is
// the application's alone; the latency is a round trip. With --feeds-down every feed's host
// answers 503, so every feed application's check fails for one reason, as offline; the
// catalogue and the store lookups answer as usual.
//
// Run it under `taskset -c 0,1` to see the figures of a two-core machine.

#include "BenchCaFile.h"
#include "BenchLimits.h"
#include "FakeNetworkProbe.h"
#include "RemoteWorld.h"
#include "SyntheticWorld.h"
#include "app/DependencyContainer.h"
#include "coordinator/AppState.h"
#include "platform/Logger.h"
#include "services/ApplicationStore.h"
#include "ui/main/ApplicationListModel.h"
#include "ui/main/ContentView.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MenuBarController.h"
#include "ui/main/SidebarView.h"
#include "util/AllocatorTuning.h"
#include "viewmodels/SidebarViewModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

using namespace norvelle;

namespace {

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// Times every event the main thread handles at the outermost level, while asked to.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (!m_measuring || m_depth > 0 || QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        ++m_depth;
        // What the event was is noted without allocating and put into words only afterwards, for
        // the few events that are kept: an allocation inside the timed span can wait for the
        // allocator's lock, and the bench would time itself.
        const char* const className = receiver->metaObject()->className();
        const QString objectName = receiver->objectName();
        const char* const parentClassName =
            receiver->parent() ? receiver->parent()->metaObject()->className() : nullptr;
        const int type = int(event->type());
        const auto describe = [&] {
            QString what = QStringLiteral("%1 \"%2\"").arg(QLatin1String(className), objectName);
            if (parentClassName)
                what += QStringLiteral(" in %1").arg(QLatin1String(parentClassName));
            return what + QStringLiteral(", event type %1").arg(type);
        };
        const qint64 waitBefore = m_events ? runQueueWaitNs() : 0;
        const qint64 cpuBefore = threadCpuNs();
        QElapsedTimer timer;
        timer.start();
        const bool result = QApplication::notify(receiver, event);
        const qint64 elapsed = timer.nsecsElapsed();
        if (elapsed > m_longestNs) {
            m_longestNs = elapsed;
            m_longestCpuNs = threadCpuNs() - cpuBefore;
            m_longestWhat = describe();
        }
        if (m_events && elapsed > 4000000)
            std::fprintf(stderr, "event %.1f ms (CPU %.1f ms, waiting for a CPU %.1f ms): %s\n",
                         double(elapsed) / 1e6, double(threadCpuNs() - cpuBefore) / 1e6,
                         double(runQueueWaitNs() - waitBefore) / 1e6, qPrintable(describe()));
        --m_depth;
        return result;
    }

    void measure(bool on) { m_measuring = on; }
    double longestMs() const { return double(m_longestNs) / 1e6; }
    double longestCpuMs() const { return double(m_longestCpuNs) / 1e6; }
    const QString& longestWhat() const { return m_longestWhat; }

private:
    bool m_measuring = false;
    int m_depth = 0;
    qint64 m_longestNs = 0;
    qint64 m_longestCpuNs = 0;
    QString m_longestWhat;

    const bool m_events = qEnvironmentVariableIsSet("NORVELLE_BENCH_EVENTS");

    // The time this thread has spent runnable but not running (schedstat's second field).
    static qint64 runQueueWaitNs()
    {
        FILE* file = std::fopen("/proc/thread-self/schedstat", "r");
        long long running = 0, waiting = 0;
        if (file) {
            if (std::fscanf(file, "%lld %lld", &running, &waiting) != 2)
                waiting = 0;
            std::fclose(file);
        }
        return waiting;
    }

    static qint64 threadCpuNs()
    {
        timespec now{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
        return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
    }
};

} // namespace

int main(int argc, char** argv)
{
    allocator::limitArenas(); // as the application's main does
    bench::raiseFileLimit();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("no_proxy", "127.0.0.1,localhost,.localhost");
    TimedApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool realHosts = arguments.removeAll(QStringLiteral("--real-hosts")) > 0;
    const bool feedsDown = arguments.removeAll(QStringLiteral("--feeds-down")) > 0;
    const QString hostCpus = bench::takeHostCpus(arguments);
    test::SyntheticWorld::Options options;
    options.tlsEverywhere = true;
    options.keepAlive = true;
    options.feedsDown = feedsDown;
    if (arguments.size() > 0)
        options.bundleCount = std::max(1, arguments[0].toInt());
    if (arguments.size() > 1)
        options.latency = std::chrono::milliseconds(std::max(0, arguments[1].toInt()));
    Logger::addSink([](Logger::Level level, const QString& message) {
        if (level == Logger::Level::error || level == Logger::Level::warning ||
            qEnvironmentVariableIsSet("NORVELLE_BENCH_VERBOSE"))
            std::fprintf(stderr, "[%s] %s\n", qPrintable(Logger::label(level)), qPrintable(message));
    });

    std::unique_ptr<test::SyntheticWorld> local;
    std::unique_ptr<bench::RemoteWorld> remote;
    if (realHosts)
        remote =
            std::make_unique<bench::RemoteWorld>(options.bundleCount, options.latency, hostCpus, feedsDown);
    else
        local = std::make_unique<test::SyntheticWorld>(options);
    if (remote ? !remote->isValid() : !local->isValid()) {
        std::fprintf(stderr, "could not build the synthetic world\n");
        return 1;
    }
    std::printf("world: %d bundles, latency %lld ms%s%s%s\n",
                remote ? remote->counts().bundles : local->counts().bundles,
                static_cast<long long>(options.latency.count()), feedsDown ? ", feeds down" : "",
                remote ? " (round trips to real hosts, the world in another process on CPUs " : "",
                remote ? qPrintable(remote->hostCpus() + u')') : "");
    QTemporaryFile caBundle;
    QTemporaryDir settingsFolder;

    QElapsedTimer clock;
    clock.start();
    DependencyContainer::Options containerOptions;
    containerOptions.paths = remote ? remote->paths() : local->paths();
    containerOptions.settingsFile = settingsFolder.filePath(QStringLiteral("settings.ini"));
    containerOptions.networkProbe = std::make_shared<test::FakeNetworkProbe>();
    containerOptions.paths.caFile = bench::systemSizedCaFile(caBundle);
    DependencyContainer container(std::move(containerOptions));
    container.appState().setHasCompletedWelcomeTour(true);
    MainWindow window(ViewEnvironment{container.appState(), container.store(), container.contentViewModel(),
                                      container.sidebarViewModel(), container.detailViewModel(),
                                      container.settingsViewModel(), container.settings()});
    window.show();
    MenuBarController menuBar(container.store(), container.sidebarViewModel(), container.detailViewModel(),
                              container.appState());

    SidebarViewModel& sidebar = container.sidebarViewModel();
    double populated = -1, checkStarted = -1, checkEnded = -1;
    qint64 lastTick = -1, longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, &app, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTick >= 0)
            longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });
    QObject::connect(&container.store(), &ApplicationStore::applicationsChanged, &app, [&] {
        if (populated < 0 && !container.store().applications().isEmpty())
            populated = double(clock.nsecsElapsed()) / 1e9;
    });
    QObject::connect(&sidebar, &SidebarViewModel::isCheckingUpdatesChanged, &app, [&](bool checking) {
        if (checking && checkStarted < 0) {
            checkStarted = double(clock.nsecsElapsed()) / 1e9;
            app.measure(true);
            ticker.start();
        } else if (!checking && checkStarted >= 0 && checkEnded < 0) {
            checkEnded = double(clock.nsecsElapsed()) / 1e9;
            app.measure(false);
            ticker.stop();
            // Let the coalesced refreshes of the last write-back run before leaving.
            QTimer::singleShot(50, &app, &QApplication::quit);
        }
    });
    QTimer::singleShot(std::chrono::minutes(2), &app, [&] {
        std::fprintf(stderr, "the check did not end within two minutes\n");
        app.exit(1);
    });
    if (app.exec() != 0)
        return 1;

    const int rows = window.contentView()->sidebar()->model().rowCount();
    const double stallGoal = options.bundleCount > 1000 ? 50.0 : 16.0;
    std::printf("start to populated list: %.3f s (%lld applications, %d rows shown)\n", populated,
                static_cast<long long>(container.store().applications().size()), rows);
    std::printf("update check: %.3f s, %d updates\n", checkEnded - checkStarted,
                container.store().updateCount());
    std::printf(
        "longest main-thread stall during the check: %.1f ms (longest event; timer gaps up to %.1f ms), "
        "%.2fx the goal of %.0f ms\n",
        app.longestMs(), double(longestGap) / 1e6, app.longestMs() / stallGoal, stallGoal);
    std::printf("  the longest event: %s, %.1f ms of it on the CPU\n", qPrintable(app.longestWhat()),
                app.longestCpuMs());
    std::printf("peak memory: %.1f MB, %.2fx the goal of 200 MB\n", peakMegabytes(), peakMegabytes() / 200.0);
    container.abortTransfers();
    return 0;
}
