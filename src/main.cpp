#include "coordinator/AppCoordinator.h"
#include "coordinator/AppState.h"
#include "app/DependencyContainer.h"
#include "app/QuitSequence.h"
#include "platform/Paths.h"
#include "platform/QuitSignals.h"
#include "platform/updater/UpdaterFactory.h"
#include "ui/ProductIcon.h"
#include "ui/app/AppTheme.h"
#include "ui/app/ApplicationMenus.h"
#include "ui/app/OwnUpdateWindow.h"
#include "ui/app/SettingsWindowPresenter.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MenuBarController.h"
#include "ui/update_sheet/UpdateSheetPresenter.h"
#include "ui/platform/DesktopUrlOpener.h"
#include "ui/platform/SystemClipboard.h"
#include "ui/settings/AboutView.h"
#include "ui/settings/SettingsAppearance.h"
#include "util/AllocatorTuning.h"
#include "platform/Logger.h"
#include "viewmodels/CheckForUpdatesViewModel.h"
#include "viewmodels/SettingsViewModel.h"

#include <QApplication>
#include <QDir>
#include <QMenuBar>

namespace {

// The bundle the system's own updates replace: the application bundle we run from on a Mac,
// or the one NORVELLE_OWN_BUNDLE names. None on Linux, which has no feed of its own.
QString ownBundlePath(const QProcessEnvironment& environment)
{
    const QString named = environment.value(QStringLiteral("NORVELLE_OWN_BUNDLE"));
    if (!named.isEmpty())
        return named;
#ifdef Q_OS_MACOS
    QDir contents(QCoreApplication::applicationDirPath()); // <bundle>.app/Contents/MacOS
    if (contents.cdUp() && contents.cdUp() && contents.path().endsWith(QLatin1String(".app")))
        return contents.path();
#endif
    return {};
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

    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QStringList pathProblems;
    norvelle::DependencyContainer::Options options;
    options.paths = norvelle::Paths::fromEnvironment(environment, &pathProblems);
    auto urlOpener = std::make_shared<norvelle::DesktopUrlOpener>();
    options.urlOpener = urlOpener;
    // The system's appearance, not the one we force: choosing "Automatic" passes through it.
    const norvelle::AppTheme* appTheme = nullptr;
    options.darkAppearance = [&appTheme] {
        return appTheme ? norvelle::SettingsAppearance::isDark(appTheme->systemPalette())
                        : norvelle::SettingsAppearance::applicationIsDark();
    };
    options.attachLogger = true;

    norvelle::Logger::setPaths(options.paths);
    norvelle::DependencyContainer container(std::move(options));
    for (const QString& problem : pathProblems)
        norvelle::Logger::warning(problem);

    // Before the first window, so every window starts in the chosen appearance.
    norvelle::AppTheme theme(container.settings());
    appTheme = &theme;

    norvelle::SystemClipboard clipboard;
    norvelle::MainWindow window(norvelle::ViewEnvironment{
        container.appState(), container.store(), container.contentViewModel(), container.sidebarViewModel(),
        container.detailViewModel(), container.settingsViewModel(), container.settings(),
        &container.welcomeTourViewModel(), urlOpener.get(), &clipboard});

    // The system's own updates: the window is the updater's user interface and outlives it.
    norvelle::OwnUpdateWindow ownUpdateWindow(QApplication::applicationVersion());
    std::shared_ptr<norvelle::Updater> ownUpdater;
    if (const QString bundle = ownBundlePath(environment); !bundle.isEmpty())
        ownUpdater = norvelle::CheckForUpdatesViewModel::startOwnUpdater(norvelle::UpdaterFactory(), bundle,
                                                                         ownUpdateWindow);
    norvelle::CheckForUpdatesViewModel checkForUpdates(ownUpdater);

    norvelle::SettingsWindowPresenter settingsWindow(container.settingsViewModel(), container.appState(),
                                                     container.settings(), norvelle::AboutView::applicationInfo());
    QObject::connect(&window, &norvelle::MainWindow::openWindowRequested, &settingsWindow,
                     &norvelle::SettingsWindowPresenter::openWindow);

    norvelle::ApplicationMenus menus(window.menuBar(), container.sidebarViewModel(), container.appState(),
                                     checkForUpdates, urlOpener);
    QObject::connect(&menus, &norvelle::ApplicationMenus::settingsRequested, &settingsWindow,
                     &norvelle::SettingsWindowPresenter::open);
    QObject::connect(&menus, &norvelle::ApplicationMenus::aboutRequested, &settingsWindow, [&] {
        container.settingsViewModel().setSelectedCategory(norvelle::SettingsViewModel::SettingsCategory::about);
        settingsWindow.open();
    });
    QObject::connect(&menus, &norvelle::ApplicationMenus::quitRequested, &app, &QApplication::quit);

    window.show();
    norvelle::UpdateSheetPresenter updateSheet(container.sidebarViewModel(), container.detailViewModel(),
                                               container.store(), &window);

    norvelle::MenuBarController menuBar(container.store(), container.sidebarViewModel(), container.detailViewModel(),
                                        container.appState());
    QObject::connect(&menuBar, &norvelle::MenuBarController::activateApplicationRequested, &window, [&window] {
        window.show();
        window.raise();
        window.activateWindow();
    });
    QObject::connect(&menuBar, &norvelle::MenuBarController::quitRequested, &app, &QApplication::quit);

    // Ctrl+C in a terminal quits the same way as the menu.
    const norvelle::QuitSignals quitSignals;

    norvelle::Logger::info(QStringLiteral("Norvelle started"));
    const int status = app.exec();
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
