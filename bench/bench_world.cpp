// Times a full discovery and a full update check over a synthetic world: about 1,000
// application bundles (a third Homebrew casks, a tenth from the App Store, a quarter with
// https appcasts), the fake `brew` and `mas`, the full-size cask catalogue, and loopback
// servers that answer the catalogue, the store lookups and the appcasts (over TLS) after
// 50 ms each. Prints the phases, what was found and the process's peak memory.
//
//     bench_world [bundle count] [latency in ms]
//
// Run it under `taskset -c 0,1` to see the figures of a two-core machine. Set
// NORVELLE_BENCH_VERBOSE to see every log line (warnings and errors are always shown).

#include "SyntheticWorld.h"
#include "platform/Clock.h"
#include "platform/http/HttpClient.h"
#include "platform/updater/UpdaterFactory.h"
#include "services/DiscoveryService.h"
#include "services/UpdateService.h"
#include "sources/brew/BrewService.h"
#include "sources/mas/AppStoreAPIService.h"
#include "sources/mas/MASService.h"
#include "sources/sparkle/SparkleService.h"
#include "util/Async.h"
#include "util/Logger.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFutureWatcher>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

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

struct Services {
    std::shared_ptr<BrewService> brew;
    std::shared_ptr<MASService> mas;
    std::shared_ptr<SparkleService> sparkle;
    std::unique_ptr<DiscoveryService> discovery;
    std::unique_ptr<UpdateService> updates;
};

// Built the way the composition root builds them, pointed at the synthetic world.
Services makeServices(const test::SyntheticWorld& world)
{
    const Paths& paths = world.paths();
    Services s;
    s.brew = std::make_shared<BrewService>(BrewService::Options{
        paths, std::make_shared<HttpClient>(HttpClient::Options{std::chrono::seconds(30), {}, "Norvelle"}),
        std::make_shared<Clock>(), nullptr});
    AppStoreAPIService::Options api;
    api.lookupUrl = paths.iTunesLookupUrl;
    api.http =
        std::make_shared<HttpClient>(HttpClient::Options{AppStoreAPIService::requestTimeout, {}, "Norvelle"});
    s.mas = std::make_shared<MASService>(std::make_shared<AppStoreAPIService>(api),
                                         MASService::Options{paths, nullptr});
    const HttpClient::Options tls{.caFile = test::FixtureServer::testCaFile()};
    UpdaterFactory::Options updater;
    updater.http = tls;
    s.sparkle = std::make_shared<SparkleService>(std::make_shared<UpdaterFactory>(updater),
                                                 std::make_shared<HttpClient>(tls));
    s.discovery = std::make_unique<DiscoveryService>(
        s.brew, s.mas, s.sparkle,
        DiscoveryService::defaultFilteredBundleIdentifiers(QStringLiteral("com.norvelle.Norvelle")),
        DiscoveryService::Options{
            paths.applicationsFolder, {}, QLocale(QLocale::English, QLocale::UnitedStates)});
    s.updates = std::make_unique<UpdateService>(s.brew, s.mas, s.sparkle);
    return s;
}

// The measured part; runs on a worker while the main loop serves the Sparkle checks' hops.
void measure(test::SyntheticWorld& world, std::chrono::milliseconds latency)
{
    const test::SyntheticWorld::Counts& counts = world.counts();
    Services services = makeServices(world);
    const EnvironmentStatus environment{true, true, true, world.paths().brewCandidates.first()};
    QElapsedTimer timer;

    QList<std::shared_ptr<Application>> applications;
    for (const char* round : {"cold: catalogue fetched", "warm: catalogue cached"}) {
        timer.restart();
        applications = services.discovery->discoverApplications(environment);
        std::printf("discovery (%s): %.3f s, %lld applications\n", round, seconds(timer),
                    static_cast<long long>(applications.size()));
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

    const qsizetype before = world.server().requests().size() + world.feedServer().requests().size();
    timer.restart();
    const QHash<QString, Update> updates = services.updates->checkForUpdates(applications, environment);
    const double checkSeconds = seconds(timer);
    const qsizetype requests =
        world.server().requests().size() + world.feedServer().requests().size() - before;
    int bySource[4] = {0, 0, 0, 0};
    for (const Update& update : updates)
        ++bySource[int(update.source)];
    std::printf("update check: %.3f s, %lld updates (Homebrew %d of %d outdated, App Store %d of %d, "
                "Sparkle %d of %d feeds)\n",
                checkSeconds, static_cast<long long>(updates.size()), bySource[int(Update::Source::homebrew)],
                counts.homebrewOutdated, bySource[int(Update::Source::appStore)], counts.appStoreOutdated,
                bySource[int(Update::Source::sparkle)], counts.feeds);
    std::printf("  %lld requests of %lld ms each: %.0f in flight on average\n",
                static_cast<long long>(requests), static_cast<long long>(latency.count()),
                checkSeconds > 0 ? double(requests) * double(latency.count()) / 1000.0 / checkSeconds : 0.0);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("no_proxy", "127.0.0.1,localhost");
    QCoreApplication app(argc, argv);
    test::SyntheticWorld::Options options;
    if (argc > 1)
        options.bundleCount = std::max(1, atoi(argv[1]));
    if (argc > 2)
        options.latency = std::chrono::milliseconds(std::max(0, atoi(argv[2])));

    // Warnings and errors go to standard error, so a broken world shows why.
    const bool verbose = qEnvironmentVariableIsSet("NORVELLE_BENCH_VERBOSE");
    Logger::addSink([verbose](Logger::Level level, const QString& message) {
        if (verbose || level == Logger::Level::warning || level == Logger::Level::error)
            std::fprintf(stderr, "[%s] %s\n", qPrintable(Logger::label(level)), qPrintable(message));
    });

    QElapsedTimer timer;
    timer.start();
    test::SyntheticWorld world(options);
    if (!world.isValid()) {
        std::fprintf(stderr, "could not build the synthetic world\n");
        return 1;
    }
    const test::SyntheticWorld::Counts& counts = world.counts();
    std::printf("world: %d bundles (%d Homebrew, %d App Store, %d appcast, %d adoption candidates), "
                "catalogue %.1f MB, latency %lld ms, built in %.2f s\n",
                counts.bundles, counts.homebrew, counts.appStore, counts.feeds, counts.adoptionCandidates,
                double(counts.catalogueBytes) / 1e6, static_cast<long long>(options.latency.count()),
                seconds(timer));
    std::printf("peak memory after building the world: %.1f MB\n", peakMegabytes());

    // One event loop for the whole run: the main-thread hops end for good when it quits.
    QFutureWatcher<void> watcher;
    QObject::connect(&watcher, &QFutureWatcherBase::finished, &app, &QCoreApplication::quit);
    watcher.setFuture(runAsync([&world, latency = options.latency] { measure(world, latency); }));
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
