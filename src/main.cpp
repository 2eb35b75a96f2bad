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
#include <QFileInfo>
#include <cstdio>

namespace {

// A start that finds another copy running brings it forward and ends; what it cannot ask, it
// names, and ends.
int handOver(const norvelle::SingleInstance& instance, norvelle::SingleInstance::Claim claim)
{
    if (claim == norvelle::SingleInstance::Claim::busy) {
        norvelle::ApplicationShell::sayWhyItEnds(
            QStringLiteral("Norvelle cannot tell whether it already runs with the settings %1: another "
                           "process keeps the folder %2 busy")
                .arg(instance.settingsFile(), QFileInfo(instance.lockPath()).absolutePath()));
        return 1;
    }
    // A network home's lock from another machine names who took it, and nothing more: nothing
    // here can ask that copy, nor tell whether it still runs.
    if (const QString machine = norvelle::SingleInstance::otherMachine(instance.lockPath());
        !machine.isEmpty()) {
        norvelle::ApplicationShell::sayWhyItEnds(
            QStringLiteral("Norvelle on %1 holds the settings %2; if it runs there no more, remove %3")
                .arg(machine, instance.settingsFile(), instance.lockPath()));
        return 1;
    }
    const QString already =
        QStringLiteral("Norvelle already runs with the settings %1; ").arg(instance.settingsFile());
    if (instance.requestActivation()) {
        std::fprintf(stderr, "%s\n", qPrintable(already + QStringLiteral("brought its window forward")));
        return 0;
    }
    norvelle::ApplicationShell::sayWhyItEnds(already +
                                             QStringLiteral("it could not be asked to come forward"));
    return 0;
}

} // namespace

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
        if (claim == norvelle::SingleInstance::Claim::heldElsewhere ||
            claim == norvelle::SingleInstance::Claim::busy)
            return handOver(instance, claim);
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
