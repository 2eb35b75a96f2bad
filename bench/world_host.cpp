// Hosts a synthetic world for bench_world and bench_window --real-hosts, in a process of its own
// so that its servers neither share the application's cores nor count in its memory. It builds
// the world, serves every address of it from one TLS server behind a relay that adds the round
// trip, and tells its parent where everything is, one line at a time on standard output:
//
//     NORVELLE_ROOT=/tmp/…                 (and the other NORVELLE_* locations)
//     counts <bundles> <homebrew> <outdated casks> <App Store> <outdated store apps> <feeds>
//            <adoption candidates> <catalogue bytes>
//     plan <file of the check's requests: url TAB follow-up url>
//     cpus <the CPUs it runs on, e.g. 2,3,4>
//     ready
//
// Then it answers lines on standard input: "requests" with "requests <count so far>", "mark"
// with "marked" (the start of a span), "span" with "span <seconds from the first connection
// after the mark to the last one ended>". It ends, removing the world, when standard input
// closes or after its lifetime.
//
//     bench_world_host <bundle count> <round trip in ms> <lifetime in s> [CPUs, e.g. 2-7 or 2,4]
//                      [--feeds-down]
//
// Without CPUs it keeps the ones it was started on. With --feeds-down every feed's host answers
// 503.

#include "BenchLimits.h"
#include "LatencyRelay.h"
#include "SyntheticWorld.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <sched.h>
#include <unistd.h>

using namespace norvelle;

namespace {

void say(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// "2-4,6" -> {2, 3, 4, 6}; false when the text is no such list.
bool parseCpus(const QString& text, cpu_set_t& set)
{
    CPU_ZERO(&set);
    for (const QString& part : text.split(u',')) {
        bool okFirst = false, okLast = false;
        const int first = part.section(u'-', 0, 0).toInt(&okFirst);
        const int last = part.contains(u'-') ? part.section(u'-', 1).toInt(&okLast) : first;
        if (!okFirst || (part.contains(u'-') && !okLast) || first < 0 || last < first || last >= CPU_SETSIZE)
            return false;
        for (int cpu = first; cpu <= last; ++cpu)
            CPU_SET(cpu, &set);
    }
    return CPU_COUNT(&set) > 0;
}

QString describeCpus()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    sched_getaffinity(0, sizeof set, &set);
    QStringList cpus;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &set))
            cpus.append(QString::number(cpu));
    return cpus.join(u',');
}

} // namespace

int main(int argc, char** argv)
{
    bench::raiseFileLimit();
    const bool feedsDown = argc > 4 && std::strcmp(argv[argc - 1], "--feeds-down") == 0;
    if (feedsDown)
        --argc;
    if (argc < 4) {
        std::fprintf(
            stderr, "usage: bench_world_host <bundles> <round trip ms> <lifetime s> [CPUs] [--feeds-down]\n");
        return 2;
    }
    // Before any thread starts, so that every thread of the host keeps to them.
    if (argc > 4) {
        cpu_set_t cpus;
        if (!parseCpus(QString::fromLatin1(argv[4]), cpus) || sched_setaffinity(0, sizeof cpus, &cpus) != 0) {
            std::fprintf(stderr, "bench_world_host: cannot run on CPUs %s\n", argv[4]);
            return 2;
        }
    }
    QCoreApplication app(argc, argv);
    const int bundles = std::max(1, atoi(argv[1]));
    const std::chrono::milliseconds roundTrip(std::max(0, atoi(argv[2])));
    const std::chrono::seconds lifetime(std::max(1, atoi(argv[3])));

    test::LatencyRelay relay(roundTrip);
    if (!relay.isListening()) {
        std::fprintf(stderr, "bench_world_host: the relay cannot listen on loopback\n");
        return 1;
    }
    test::SyntheticWorld::Options options;
    options.bundleCount = bundles;
    options.latency = std::chrono::milliseconds(0);
    options.tlsEverywhere = true;
    options.publicPort = relay.port();
    options.feedsDown = feedsDown;
    test::SyntheticWorld world(options);
    if (!world.isValid()) {
        std::fprintf(stderr, "bench_world_host: could not build the synthetic world\n");
        return 1;
    }
    relay.start(world.server().port());

    const QString root = QFileInfo(world.paths().applicationsFolder).path();
    const QString planFile = root + QStringLiteral("/check-requests.tsv");
    QFile plan(planFile);
    if (!plan.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "bench_world_host: cannot write %s\n", qPrintable(planFile));
        return 1;
    }
    for (const test::SyntheticWorld::CheckRequest& request : world.checkRequests())
        plan.write(request.url.toEncoded() + '\t' + request.followUp.toEncoded() + '\n');
    plan.close();

    const Paths& paths = world.paths();
    const test::SyntheticWorld::Counts& c = world.counts();
    say(QStringLiteral("NORVELLE_ROOT=") + root);
    say(QStringLiteral("NORVELLE_BREW=") + paths.brewCandidates.join(u':'));
    say(QStringLiteral("NORVELLE_MAS=") + paths.masCandidates.join(u':'));
    say(QStringLiteral("NORVELLE_CASK_CATALOGUE_URL=") + paths.caskCatalogueUrl.toString());
    say(QStringLiteral("NORVELLE_ITUNES_LOOKUP_URL=") + paths.iTunesLookupUrl.toString());
    say(QStringLiteral("counts %1 %2 %3 %4 %5 %6 %7 %8")
            .arg(c.bundles)
            .arg(c.homebrew)
            .arg(c.homebrewOutdated)
            .arg(c.appStore)
            .arg(c.appStoreOutdated)
            .arg(c.feeds)
            .arg(c.adoptionCandidates)
            .arg(c.catalogueBytes));
    say(QStringLiteral("plan ") + planFile);
    say(QStringLiteral("cpus ") + describeCpus());
    say(QStringLiteral("ready"));

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray line;
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            app.quit();
            return;
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\n') {
                line.append(buffer[i]);
                continue;
            }
            if (line == "mark") {
                relay.markActivity();
                say(QStringLiteral("marked"));
            } else if (line == "span") {
                say(QStringLiteral("span %1").arg(relay.activitySeconds(), 0, 'f', 6));
            } else {
                say(QStringLiteral("requests %1").arg(world.server().requests().size()));
            }
            line.clear();
        }
    });
    QTimer::singleShot(lifetime, &app, [&app] {
        std::fprintf(stderr, "bench_world_host: lifetime over, leaving\n");
        app.quit();
    });
    return app.exec();
}
