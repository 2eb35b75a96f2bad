// norvelle-demo: builds (or reuses) the demo world, serves its web services on a loopback
// TLS server and runs Norvelle on it as a child process; the server ends when Norvelle exits.
//
//     norvelle-demo [--reset] [--root <folder>] [-- <arguments for norvelle>]

#include "DemoServer.h"
#include "DemoWorld.h"
#include "FixtureServer.h"
#include "platform/Paths.h"
#include "platform/SingleInstance.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <cstdio>
#include <memory>

#include <signal.h>
#include <sys/prctl.h>

using namespace norvelle;

namespace {

void say(const QString& line)
{
    std::fprintf(stderr, "norvelle-demo: %s\n", qPrintable(line));
}

QString defaultRoot()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return (cache.isEmpty() ? QDir::homePath() + QStringLiteral("/.cache") : cache) +
           QStringLiteral("/norvelle-demo");
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("norvelle-demo"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Runs Norvelle on a demo world of its own."));
    parser.addHelpOption();
    const QCommandLineOption reset(QStringLiteral("reset"), QStringLiteral("Rebuild the demo world first."));
    const QCommandLineOption rootOption(QStringLiteral("root"), QStringLiteral("The demo world's folder."),
                                        QStringLiteral("folder"), defaultRoot());
    const QCommandLineOption norvelleOption(QStringLiteral("norvelle"),
                                            QStringLiteral("The Norvelle executable."),
                                            QStringLiteral("path"), QStringLiteral(NORVELLE_EXECUTABLE));
    parser.addOptions({reset, rootOption, norvelleOption});
    parser.process(app);

    demo::DemoWorld world(QDir(parser.value(rootOption)).absolutePath());
    // A world in use is neither served twice nor built afresh under its Norvelle: as a second
    // start of Norvelle does, the launcher brings the running one forward and ends.
    const QString settings = SingleInstance::settingsFileOf(
        Paths::fromEnvironment(world.environment(QUrl(), QProcessEnvironment::systemEnvironment())));
    QDir().mkpath(QFileInfo(world.root()).absolutePath());
    using Claim = SingleInstance::Claim;
    auto launcher = std::make_unique<QLockFile>(world.launcherLockPath());
    const Claim launcherClaim = SingleInstance::take(*launcher, world.launcherLockPath());
    const auto released = qScopeGuard([&launcher] { SingleInstance::release(std::move(launcher)); });
    const bool served = launcherClaim == Claim::heldElsewhere || launcherClaim == Claim::busy;
    // Only an existing lock is tried: a probe must not make folders in a world yet to be built.
    const SingleInstance running(settings);
    const Claim claim = served                                  ? launcherClaim
                        : QFileInfo::exists(running.lockPath()) ? SingleInstance(settings).claim()
                                                                : Claim::claimed;
    if (claim == Claim::heldElsewhere || claim == Claim::busy) {
        const QString program = served ? QStringLiteral("norvelle-demo") : QStringLiteral("Norvelle");
        const QString lock = served ? world.launcherLockPath() : running.lockPath();
        if (claim == Claim::busy) {
            say(QStringLiteral(
                    "the demo world in %1 may be in use by %2: another process keeps the folder %3 busy")
                    .arg(world.root(), program, QFileInfo(lock).absolutePath()));
            return 1;
        }
        if (const QString host = SingleInstance::otherMachine(lock); !host.isEmpty()) {
            say(QStringLiteral(
                    "the demo world in %1 is in use by %2 on %3; if it runs there no more, remove %4")
                    .arg(world.root(), program, host, lock));
            return 1;
        }
        const bool raised = running.requestActivation();
        say(QStringLiteral("the demo world in %1 is in use by a running %2; %3")
                .arg(world.root(), program,
                     raised ? QStringLiteral("brought its window forward")
                            : QStringLiteral("its window could not be brought forward")));
        return 0;
    }
    std::unique_ptr<test::FixtureServer> server;
    // The world keeps its server address across runs, since its bundles and feeds name it.
    if (world.exists() && !parser.isSet(reset)) {
        server = std::make_unique<test::FixtureServer>(test::FixtureServer::Tls::on, world.port());
        if (!server->isListening()) {
            say(QStringLiteral("port %1 is taken by another program; building the demo world afresh")
                    .arg(world.port()));
            server.reset();
        }
    }
    if (!server) {
        server = std::make_unique<test::FixtureServer>(test::FixtureServer::Tls::on, 0);
        QString error;
        if (!server->isListening() || !world.build(server->url(), {}, &error)) {
            say(QStringLiteral("cannot build the demo world: ") +
                (error.isEmpty() ? QStringLiteral("no loopback port") : error));
            return 1;
        }
        say(QStringLiteral("built the demo world in ") + world.root());
    }
    demo::DemoServer::route(*server, world.root() + QStringLiteral("/srv"), std::chrono::milliseconds(120));

    QProcess norvelle;
    norvelle.setProcessChannelMode(QProcess::ForwardedChannels);
    norvelle.setInputChannelMode(QProcess::ForwardedInputChannel);
    norvelle.setProcessEnvironment(
        world.environment(server->url(), QProcessEnvironment::systemEnvironment()));
    // Norvelle must not outlive the server it depends on, nor the server Norvelle.
    norvelle.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    QObject::connect(&norvelle, &QProcess::finished, &app, [](int code, QProcess::ExitStatus status) {
        QCoreApplication::exit(status == QProcess::NormalExit ? code : 1);
    });
    QObject::connect(&norvelle, &QProcess::errorOccurred, &app, [&norvelle](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            say(QStringLiteral("cannot start ") + norvelle.program() + QStringLiteral(": ") +
                norvelle.errorString());
            QCoreApplication::exit(1);
        }
    });
    norvelle.start(parser.value(norvelleOption), parser.positionalArguments());
    return QCoreApplication::exec();
}
