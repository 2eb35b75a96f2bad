// Loads a full-size synthetic cask catalogue (about 7,500 casks, 12 MB) from the
// loopback fixture server into BrewService — download, JSON parse, the cask maps
// and the adoption keys — and prints the time and the process's peak memory.
//
//     bench_catalogue [cask count] [rounds]
//
// Run it under `taskset -c 0,1` to see the figures of a two-core machine.

#include "FixtureServer.h"
#include "SyntheticCatalogue.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/http/HttpClient.h"
#include "sources/brew/BrewService.h"
#include "platform/Logger.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
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

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int caskCount = argc > 1 ? std::max(1, atoi(argv[1])) : 7500;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 5;

    const test::SyntheticCatalogue catalogue(caskCount);
    const QByteArray body = catalogue.json();
    QSet<QString> installed;
    for (qsizetype i = 0; i < catalogue.entries().size(); i += 60)
        installed.insert(catalogue.entries().at(i).token);

    test::FixtureServer server;
    server.route(QStringLiteral("/api/cask.json"), test::FixtureServer::Reply{200, body});

    QTemporaryDir root;
    Paths paths = Paths::underRoot(root.path());
    paths.caskCatalogueUrl = server.url(QStringLiteral("/api/cask.json"));
    const auto http =
        std::make_shared<HttpClient>(HttpClient::Options{std::chrono::seconds(30), {}, "Norvelle"});
    const auto clock = std::make_shared<Clock>();

    const double baseline = peakMegabytes();
    std::printf("catalogue: %d casks, %.1f MB of JSON, %lld installed\n", caskCount,
                double(body.size()) / 1e6, static_cast<long long>(installed.size()));
    std::printf("peak memory before loading: %.1f MB (generator and server included)\n", baseline);

    QList<double> fresh;
    double cached = 0;
    for (int round = 0; round < rounds; ++round) {
        BrewService service(BrewService::Options{paths, http, clock, nullptr});
        QElapsedTimer timer;
        timer.start();
        service.fetchAllCasksFromAPI(installed);
        fresh.append(double(timer.nsecsElapsed()) / 1e9);
        if (round == 0) {
            std::printf("first load: %.3f s, peak memory %.1f MB\n", fresh.last(), peakMegabytes());
            timer.restart();
            service.fetchAllCasksFromAPI(installed);
            cached = double(timer.nsecsElapsed()) / 1e9;
            const std::optional<Cask> match = service.findAdoptableCask(
                QString(catalogue.entries().at(1).appArtifacts.value(0)).remove(QStringLiteral(".app")),
                QStringLiteral("/Applications/X.app"));
            std::printf("adoption lookup sanity: %s\n", match ? qPrintable(match->caskName) : "none");
        }
    }
    std::sort(fresh.begin(), fresh.end());
    std::printf("fresh load over %d rounds: best %.3f s, median %.3f s, worst %.3f s\n", rounds,
                fresh.first(), fresh.at(fresh.size() / 2), fresh.last());
    std::printf("reload from the cached answer: %.3f s\n", cached);
    std::printf("peak memory: %.1f MB (%.1f MB above the baseline)\n", peakMegabytes(),
                peakMegabytes() - baseline);
    const bool fast = fresh.at(fresh.size() / 2) < 0.4;
    const bool small = peakMegabytes() < 200.0;
    std::printf("targets (< 0.4 s, < 200 MB): %s\n", fast && small ? "met" : "MISSED");
    return 0;
}
