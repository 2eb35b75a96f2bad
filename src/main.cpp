#include "app/DependencyContainer.h"
#include "app/QuitSequence.h"
#include "app/shell/ApplicationShell.h"
#include "coordinator/AppCoordinator.h"
#include "platform/Logger.h"
#include "platform/QuitSignals.h"
#include "ui/ProductIcon.h"
#include "util/AllocatorTuning.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    norvelle::allocator::limitArenas();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Norvelle"));
    QApplication::setOrganizationName(QStringLiteral("Norvelle"));
    QApplication::setApplicationVersion(QStringLiteral(NORVELLE_VERSION));
    QApplication::setWindowIcon(norvelle::ProductIcon::icon());

    norvelle::ApplicationShell shell(
        norvelle::ApplicationShell::optionsFrom(QProcessEnvironment::systemEnvironment()));
    // Ctrl+C in a terminal quits the same way as the menu.
    const norvelle::QuitSignals quitSignals;

    norvelle::Logger::info(QStringLiteral("Norvelle started"));
    const int status = app.exec();
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
    return status;
}
