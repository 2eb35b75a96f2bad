#include "app/DependencyContainer.h"
#include "app/QuitSequence.h"
#include "app/shell/ApplicationShell.h"
#include "coordinator/AppCoordinator.h"
#include "platform/Logger.h"
#include "platform/QuitSignals.h"
#include "platform/SingleInstance.h"
#include "ui/ProductIcon.h"
#include "util/AllocatorTuning.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    norvelle::allocator::limitArenas();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norvelle"));
    QApplication::setOrganizationName(QStringLiteral("Norvelle"));
    QApplication::setApplicationVersion(QStringLiteral(NORVELLE_VERSION));
    QApplication::setWindowIcon(norvelle::ProductIcon::icon());

    int status = 0;
    {
        norvelle::ApplicationShell::Options options =
            norvelle::ApplicationShell::optionsFrom(QProcessEnvironment::systemEnvironment());
        // One copy runs per settings file: a second start brings the first forward and ends.
        norvelle::SingleInstance instance(norvelle::SingleInstance::settingsFileOf(options.container.paths));
        const auto claim = instance.claim();
        if (claim == norvelle::SingleInstance::Claim::heldElsewhere) {
            // A network home's lock from another machine names who took it, and nothing more:
            // nothing here can ask that copy, nor tell whether it still runs.
            const QString host = norvelle::SingleInstance::otherMachine(instance.lockPath());
            if (!host.isEmpty()) {
                std::fprintf(
                    stderr, "Norvelle on %s holds the settings %s; if it runs there no more, remove %s\n",
                    qPrintable(host), qPrintable(instance.settingsFile()), qPrintable(instance.lockPath()));
                return 1;
            }
            const bool asked = instance.requestActivation();
            std::fprintf(stderr, "Norvelle already runs with the settings %s; %s\n",
                         qPrintable(instance.settingsFile()),
                         asked ? "brought its window forward" : "it could not be asked to come forward");
            return 0;
        }
        if (claim == norvelle::SingleInstance::Claim::unavailable)
            options.pathProblems.append(
                QStringLiteral("Cannot lock ") + instance.lockPath() +
                (instance.holdsStaleLock()
                     ? QStringLiteral(
                           ": a dead copy's lock there cannot be removed; later starts find this copy by it")
                     : QStringLiteral(": a second copy on the same settings would not be noticed")));
        options.instance = &instance;
        norvelle::ApplicationShell shell(std::move(options));
        // Ctrl+C in a terminal quits the same way as the menu.
        const norvelle::QuitSignals quitSignals;

        norvelle::Logger::info(QStringLiteral("Norvelle started"));
        status = app.exec();
        norvelle::DependencyContainer& container = shell.container();
        // A running batch starts no further application.
        if (container.coordinator()->hasActiveBatch())
            container.coordinator()->cancelUpdates();
        // Requests in flight end now as cancelled rather than at their timeouts.
        container.abortTransfers();
        // Work still running may use anything below; it ends first, or we leave without tearing
        // anything down under it.
        if (!norvelle::QuitSequence::endRunningWork())
            norvelle::QuitSequence::leaveNow(status);
    }
    // The sweep of what interrupted updates left was asked to stop, not waited for: it may be
    // pausing behind other work. It uses none of our objects, and ending the process under it is
    // as safe as a kill.
    return norvelle::QuitSequence::finish(status);
}
