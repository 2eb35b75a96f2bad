// Times a full discovery and a full update check over a synthetic world: about 1,000
// application bundles (a third Homebrew casks, a tenth from the App Store, a quarter with
// https appcasts), the fake `brew` and `mas`, the full-size cask catalogue, and loopback
// servers that answer the catalogue, the store lookups and the appcasts after 50 ms each.
// Every request goes over TLS and is verified against a CA bundle as large as the system's
// (the system bundle plus the test authority), as the real hosts are. Prints the phases,
// what was found, the CPU time per request and the process's peak memory.
//
//     bench_world [bundle count] [latency in ms] [refreshes] [--real-hosts [--host-cpus=2-7]]
//
// With refreshes > 0 it then runs that many discoveries back to back, each downloading the
// catalogue again (the clock jumps past its five-minute cache), and prints the resident
// memory, open files and threads after the fifth (or the last, when fewer) and the last: a long
// session in minutes, measured once the allocator has settled.
//
// With --real-hosts the latency is a round trip and the world behaves like real hosts: it runs in
// a process of its own on the cores this one does not use, every feed lives on a host of its own
// (feed-<i>.feeds.localhost), every connection is closed after its answer, and a relay delays
// every chunk of bytes by half the round trip each way, so a connection costs a round trip for
// TCP, one for TLS and one for each request. The same run then times a bare libcurl client with
// the application's connection caps and network threads fetching the same requests all at once,
// the limit the check is held to: limit, check, check again, limit, so neither gains from going
// second, each timed by the host from the first connection to the last one ended. It also prints
// the bound no client can beat: the busiest host's requests at its per-host cap, each taking
// one request's time on an idle host. The host runs on --host-cpus, by default every CPU this
// process may not use.
//
// Run it under `taskset -c 0,1` to see the figures of a two-core machine. Set
// NORVELLE_BENCH_VERBOSE to see every log line (warnings and errors are always shown).

#include "BenchCaFile.h"
#include "BenchLimits.h"
#include "LimitClient.h"
#include "RemoteWorld.h"
#include "SyntheticWorld.h"
#include "platform/Clock.h"
#include "platform/Logger.h"
#include "platform/http/HttpClient.h"
#include "platform/updater/UpdaterFactory.h"
#include "services/DiscoveryService.h"
#include "services/UpdateService.h"
#include "sources/brew/BrewService.h"
#include "sources/mas/AppStoreAPIService.h"
#include "sources/mas/MASService.h"
#include "sources/sparkle/SparkleService.h"
#include "util/AllocatorTuning.h"
#include "util/Async.h"

#include "platform/http/HttpEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QTemporaryFile>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <sys/resource.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <unistd.h>

using namespace norvelle;

namespace {

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

double seconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return double(fields.value(1).toLongLong()) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// What the allocator has handed out and not had back, mapped blocks included.
double liveHeapMegabytes()
{
#if defined(__GLIBC__)
    const struct mallinfo2 info = mallinfo2();
    return double(info.uordblks + info.hblkhd) / (1024.0 * 1024.0);
#else
    return 0;
#endif
}

qsizetype entriesIn(const char* folder)
{
    return QDir(QString::fromLatin1(folder)).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size();
}

// The stage timings the services log ("Parallel data loading: 0.21s"), by their prefix: they
// split a phase into the part the fake tools and the catalogue take and the part that is ours.
struct StageTimes {
    std::mutex mutex;
    QHash<QString, double> seconds;

    void record(const QString& message)
    {
        for (const char* prefix : {"Parallel data loading: ", "App discovery: ", "Parallel outdated checks: ",
                                   "Update checks: "}) {
            const QString key = QString::fromLatin1(prefix);
            if (message.startsWith(key) && message.endsWith(u's')) {
                std::lock_guard lock(mutex);
                seconds.insert(key.trimmed(), message.mid(key.size()).chopped(1).toDouble());
            }
        }
    }
    double operator[](const char* key)
    {
        std::lock_guard lock(mutex);
        return seconds.value(QString::fromLatin1(key));
    }
};
StageTimes g_stages;

// Past the catalogue's five-minute cache at every refresh of a long session.
class JumpingClock : public Clock {
public:
    QDateTime now() const override { return Clock::now().addSecs(m_offset.load()); }
    void jump() { m_offset += 600; }

private:
    std::atomic<qint64> m_offset{0};
};

struct Services {
    std::shared_ptr<HttpEngine> engine;
    std::shared_ptr<JumpingClock> clock;
    std::shared_ptr<BrewService> brew;
    std::shared_ptr<MASService> mas;
    std::shared_ptr<SparkleService> sparkle;
    std::unique_ptr<DiscoveryService> discovery;
    std::unique_ptr<UpdateService> updates;
};

// What the measurement needs of a world, whether it runs here or in its own process.
struct World {
    Paths paths;
    test::SyntheticWorld::Counts counts;
    std::function<qsizetype()> requestCount;
    QList<test::SyntheticWorld::CheckRequest> checkRequests; // real hosts only
    bool realHosts = false;
    // Real hosts only: the host's timing of requests, and the limit client's caps (the application's).
    bench::HostClock hostClock;
    bench::LimitCaps caps;
};

const char* ordinal(int n)
{
    static const char* const names[] = {"first", "second", "third", "fourth", "fifth"};
    return n >= 1 && n <= 5 ? names[n - 1] : "last";
}

// Built the way the composition root builds them, pointed at the synthetic world.
Services makeServices(const World& world, const QString& caFile)
{
    const Paths& paths = world.paths;
    Services s;
    s.engine = std::make_shared<HttpEngine>();
    s.clock = std::make_shared<JumpingClock>();
    const auto client = [&](std::chrono::milliseconds timeout, qint64 maxBytes) {
        return HttpClient::Options{
            .timeout = timeout, .caFile = caFile, .maxBodyBytes = maxBytes, .engine = s.engine};
    };
    s.brew = std::make_shared<BrewService>(BrewService::Options{
        paths,
        std::make_shared<HttpClient>(client(BrewService::catalogueTimeout, BrewService::maxCatalogueBytes)),
        s.clock, nullptr});
    AppStoreAPIService::Options api;
    api.lookupUrl = paths.iTunesLookupUrl;
    api.http = std::make_shared<HttpClient>(
        client(AppStoreAPIService::requestTimeout, AppStoreAPIService::maxAnswerBytes));
    s.mas = std::make_shared<MASService>(std::make_shared<AppStoreAPIService>(api),
                                         MASService::Options{paths, nullptr});
    UpdaterFactory::Options updater;
    updater.http = client(HttpClient::Options{}.timeout, HttpClient::Options{}.maxBodyBytes);
    s.sparkle = std::make_shared<SparkleService>(
        std::make_shared<UpdaterFactory>(updater),
        std::make_shared<HttpClient>(
            client(HttpClient::Options{}.timeout, SparkleService::maxReleaseNotesBytes)));
    s.discovery = std::make_unique<DiscoveryService>(
        s.brew, s.mas, s.sparkle,
        DiscoveryService::defaultFilteredBundleIdentifiers(QStringLiteral("com.norvelle.Norvelle")),
        DiscoveryService::Options{
            paths.applicationsFolder, {}, QLocale(QLocale::English, QLocale::UnitedStates)});
    s.updates = std::make_unique<UpdateService>(s.brew, s.mas, s.sparkle);
    return s;
}

// The measured part; runs on a worker while the main loop serves the Sparkle checks' hops.
void measure(World& world, const QString& caFile, int refreshes)
{
    const test::SyntheticWorld::Counts& counts = world.counts;
    Services services = makeServices(world, caFile);
    const EnvironmentStatus environment{true, true, true, world.paths.brewCandidates.first()};
    QElapsedTimer timer;

    QList<std::shared_ptr<Application>> applications;
    for (const char* round : {"cold: catalogue fetched", "warm: catalogue cached"}) {
        timer.restart();
        applications = services.discovery->discoverApplications(environment);
        std::printf("discovery (%s): %.3f s, %lld applications\n", round, seconds(timer),
                    static_cast<long long>(applications.size()));
        std::printf("  of which tools and catalogue %.2f s, building the records %.2f s\n",
                    g_stages["Parallel data loading:"], g_stages["App discovery:"]);
    }
    int withCask = 0, adoptable = 0, store = 0, feeds = 0;
    for (const auto& application : applications) {
        const Application::Snapshot s = application->snapshot();
        withCask += s.source.contains(Application::Source::homebrew);
        adoptable += s.cask && s.cask->adoptable;
        store += s.source.contains(Application::Source::appStore);
        feeds += s.source.contains(Application::Source::sparkle);
    }
    std::printf("  sources: %d Homebrew, %d adoptable, %d App Store, %d Sparkle\n", withCask, adoptable,
                store, feeds);

    QHash<QString, Update> updates;
    double checkSeconds = 0, checkCpu = 0;
    qsizetype requests = 0;
    const auto check = [&] {
        const qsizetype before = world.requestCount();
        const double cpuBefore = cpuSeconds();
        timer.restart();
        updates = services.updates->checkForUpdates(applications, environment);
        checkSeconds = seconds(timer);
        checkCpu = cpuSeconds() - cpuBefore;
        requests = world.requestCount() - before;
    };
    bench::Comparison comparison;
    if (world.realHosts)
        comparison = bench::compareWithLimit(world.checkRequests, caFile, world.caps, world.hostClock, check);
    else
        check();
    int bySource[4] = {0, 0, 0, 0};
    for (const Update& update : updates)
        ++bySource[int(update.source)];
    std::printf("update check: %.3f s, %lld updates (Homebrew %d of %d outdated, App Store %d of %d, "
                "Sparkle %d of %d feeds)\n",
                checkSeconds, static_cast<long long>(updates.size()), bySource[int(Update::Source::homebrew)],
                counts.homebrewOutdated, bySource[int(Update::Source::appStore)], counts.appStoreOutdated,
                bySource[int(Update::Source::sparkle)], counts.feeds);
    std::printf("  of which outdated listings (tools) %.2f s, per-application checks %.2f s\n",
                g_stages["Parallel outdated checks:"], g_stages["Update checks:"]);
    std::printf("  CPU: %.2f ms per request (%lld requests), %.2f CPU-s for the check (HTTPS, %s)\n",
                requests > 0 ? checkCpu * 1000.0 / double(requests) : 0.0, static_cast<long long>(requests),
                checkCpu,
                qPrintable(QFileInfo(caFile).size() > 10000 ? QStringLiteral("system-sized CA bundle")
                                                            : QStringLiteral("one-certificate CA")));
    if (world.realHosts)
        bench::printComparison(comparison, world.caps);

    if (refreshes <= 0)
        return;
    // The allocator's cycle swings the first rounds by a fifth; the reference waits it out.
    const int reference = std::min(5, refreshes);
    double firstResident = 0, firstLive = 0;
    qsizetype firstFiles = 0, firstThreads = 0;
    timer.restart();
    for (int round = 1; round <= refreshes; ++round) {
        services.clock->jump();
        applications = services.discovery->discoverApplications(environment);
        if (round == reference) {
            firstResident = residentMegabytes();
            firstLive = liveHeapMegabytes();
            firstFiles = entriesIn("/proc/self/fd");
            firstThreads = entriesIn("/proc/self/task");
        }
    }
    const double lastResident = residentMegabytes();
    std::printf("long session: %d refreshes (catalogue fetched each time) in %.1f s\n", refreshes,
                seconds(timer));
    std::printf("  resident memory %.1f MB after the %s, %.1f MB after the last (%+.0f %%)\n", firstResident,
                ordinal(reference), lastResident,
                firstResident > 0 ? (lastResident / firstResident - 1.0) * 100.0 : 0.0);
    std::printf("  live heap %.1f MB after the %s, %.1f MB after the last\n", firstLive, ordinal(reference),
                liveHeapMegabytes());
    std::printf("  open files %lld -> %lld, threads %lld -> %lld\n", static_cast<long long>(firstFiles),
                static_cast<long long>(entriesIn("/proc/self/fd")), static_cast<long long>(firstThreads),
                static_cast<long long>(entriesIn("/proc/self/task")));
}

} // namespace

int main(int argc, char** argv)
{
    allocator::limitArenas(); // as the application's main does
    bench::raiseFileLimit();
    qputenv("no_proxy", "127.0.0.1,localhost,.localhost");
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const bool realHosts = arguments.removeAll(QStringLiteral("--real-hosts")) > 0;
    const QString hostCpus = bench::takeHostCpus(arguments);
    test::SyntheticWorld::Options options;
    if (arguments.size() > 0)
        options.bundleCount = std::max(1, arguments[0].toInt());
    if (arguments.size() > 1)
        options.latency = std::chrono::milliseconds(std::max(0, arguments[1].toInt()));
    const int refreshes = arguments.size() > 2 ? std::max(0, arguments[2].toInt()) : 0;
    options.tlsEverywhere = true;
    options.keepAlive = true;

    // Warnings and errors go to standard error, so a broken world shows why.
    const bool verbose = qEnvironmentVariableIsSet("NORVELLE_BENCH_VERBOSE");
    Logger::addSink([verbose](Logger::Level level, const QString& message) {
        g_stages.record(message);
        if (verbose || level == Logger::Level::warning || level == Logger::Level::error)
            std::fprintf(stderr, "[%s] %s\n", qPrintable(Logger::label(level)), qPrintable(message));
    });

    QElapsedTimer timer;
    timer.start();
    // Made on the main thread, which outlives the run: the host dies with the thread that made it.
    std::unique_ptr<test::SyntheticWorld> local;
    std::unique_ptr<bench::RemoteWorld> remote;
    World world;
    world.realHosts = realHosts;
    if (realHosts) {
        remote = std::make_unique<bench::RemoteWorld>(options.bundleCount, options.latency, hostCpus);
        if (remote->isValid()) {
            world.paths = remote->paths();
            world.counts = remote->counts();
            world.checkRequests = remote->checkRequests();
            world.requestCount = [r = remote.get()] { return r->requestCount(); };
            world.hostClock = {[r = remote.get()] { r->markActivity(); },
                               [r = remote.get()] { return r->activitySeconds(); }};
            // As HttpEngine: one network thread per core, at most four, and its connection caps.
            const HttpLimits limits;
            world.caps = {std::clamp(QThread::idealThreadCount(), 1, 4), limits.connections,
                          limits.connectionsPerHost, limits.idleConnections};
        }
    } else {
        local = std::make_unique<test::SyntheticWorld>(options);
        world.paths = local->paths();
        world.counts = local->counts();
        world.requestCount = [w = local.get()] {
            return w->server().requests().size() + w->feedServer().requests().size();
        };
    }
    if (remote ? !remote->isValid() : !local->isValid()) {
        std::fprintf(stderr, "could not build the synthetic world\n");
        return 1;
    }
    const test::SyntheticWorld::Counts& counts = world.counts;
    std::printf("world: %d bundles (%d Homebrew, %d App Store, %d appcast, %d adoption candidates), "
                "catalogue %.1f MB, latency %lld ms, built in %.2f s\n",
                counts.bundles, counts.homebrew, counts.appStore, counts.feeds, counts.adoptionCandidates,
                double(counts.catalogueBytes) / 1e6, static_cast<long long>(options.latency.count()),
                seconds(timer));
    if (remote)
        std::printf("  real hosts: feed-<i>.feeds.localhost and others, %lld ms round trips, one connection "
                    "per request, served from CPUs %s\n",
                    static_cast<long long>(options.latency.count()), qPrintable(remote->hostCpus()));
    std::printf("peak memory after building the world: %.1f MB\n", peakMegabytes());

    // One event loop for the whole run: the main-thread hops end for good when it quits.
    QFutureWatcher<void> watcher;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &app, &QCoreApplication::quit);
    QTemporaryFile caBundle;
    const QString caFile = bench::systemSizedCaFile(caBundle);
    watcher.setFuture(runAsync([&world, &caFile, refreshes] { measure(world, caFile, refreshes); }));
    app.exec();
    try {
        watcher.future().waitForFinished();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "the benchmark failed: %s\n", qPrintable(describeException(error)));
        return 1;
    }
    std::printf("peak memory: %.1f MB\n", peakMegabytes());
    std::printf("targets: discovery < 0.5 s, update check < 2 s, peak memory < 300 MB\n");
    return 0;
}
