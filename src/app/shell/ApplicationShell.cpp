#include "app/shell/ApplicationShell.h"

#include "platform/Logger.h"
#include "platform/SingleInstance.h"
#include "platform/updater/InstallRecovery.h"
#include "platform/updater/UpdaterFactory.h"
#include "ui/app/AppTheme.h"
#include "ui/app/ApplicationMenus.h"
#include "ui/app/OwnUpdateWindow.h"
#include "ui/app/SettingsWindowPresenter.h"
#include "ui/main/MainWindow.h"
#include "ui/main/MenuBarController.h"
#include "ui/platform/DesktopUrlOpener.h"
#include "ui/platform/SystemClipboard.h"
#include "ui/settings/AboutView.h"
#include "ui/settings/SettingsAppearance.h"
#include "ui/update_sheet/UpdateSheetPresenter.h"
#include "viewmodels/CheckForUpdatesViewModel.h"
#include "viewmodels/SettingsViewModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <cstdio>
#include <unistd.h>

namespace norvelle {

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

ApplicationShell::Options ApplicationShell::optionsFrom(const QProcessEnvironment& environment)
{
    Options options;
    options.container.paths = Paths::fromEnvironment(environment, &options.pathProblems);
    options.container.urlOpener = std::make_shared<DesktopUrlOpener>();
    options.container.attachLogger = true;
    options.ownBundlePath = ownBundlePath(environment);
    options.quit = [] { QCoreApplication::quit(); };
    return options;
}

void ApplicationShell::sayWhyItEnds(const QString& words)
{
    std::fprintf(stderr, "%s\n", qPrintable(words));
    if (::isatty(STDERR_FILENO) || ::isatty(STDIN_FILENO))
        return;
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), words, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("startEndsBox"));
    box.setTextFormat(Qt::PlainText); // names hosts and paths
    box.exec();
}

ApplicationShell::ApplicationShell(Options options)
    : m_quit(std::move(options.quit)), m_urlOpener(options.container.urlOpener)
{
    // The system's appearance, not the one we force: choosing "Automatic" passes through it.
    options.container.darkAppearance = [this] {
        return m_theme ? SettingsAppearance::isDark(m_theme->systemPalette())
                       : SettingsAppearance::applicationIsDark();
    };
    Logger::setPaths(options.container.paths);
    m_container = std::make_unique<DependencyContainer>(std::move(options.container));
    for (const QString& problem : options.pathProblems)
        Logger::warning(problem);
    DependencyContainer& c = *m_container;

    // Before the first window, so every window starts in the chosen appearance.
    m_theme = std::make_unique<AppTheme>(c.settings());

    m_clipboard = std::make_unique<SystemClipboard>();
    m_window = std::make_unique<MainWindow>(ViewEnvironment{
        c.appState(), c.store(), c.contentViewModel(), c.sidebarViewModel(), c.detailViewModel(),
        c.settingsViewModel(), c.settings(), &c.welcomeTourViewModel(), m_urlOpener.get(), m_clipboard.get()});

    // The system's own updates, over the same factory (HTTP engine, limits, trusted CA) as every
    // other updater. The window is the updater's user interface and outlives it.
    m_ownUpdateWindow = std::make_unique<OwnUpdateWindow>(QCoreApplication::applicationVersion());
    std::shared_ptr<Updater> ownUpdater;
    if (!options.ownBundlePath.isEmpty()) {
        // Our own bundle may lie outside the applications folder the container swept.
        InstallRecovery::restoreFolder(QFileInfo(options.ownBundlePath).absolutePath());
        ownUpdater = CheckForUpdatesViewModel::startOwnUpdater(*c.updaterFactory(), options.ownBundlePath,
                                                               *m_ownUpdateWindow);
    }
    m_checkForUpdates = std::make_unique<CheckForUpdatesViewModel>(std::move(ownUpdater));

    m_settingsWindow = std::make_unique<SettingsWindowPresenter>(c.settingsViewModel(), c.appState(), c.settings(),
                                                                 AboutView::applicationInfo());
    connect(m_window.get(), &MainWindow::openWindowRequested, m_settingsWindow.get(),
            &SettingsWindowPresenter::openWindow);

    m_menus = std::make_unique<ApplicationMenus>(m_window->menuBar(), c.sidebarViewModel(), c.appState(),
                                                 *m_checkForUpdates, m_urlOpener);
    connect(m_menus.get(), &ApplicationMenus::settingsRequested, m_settingsWindow.get(),
            &SettingsWindowPresenter::open);
    connect(m_menus.get(), &ApplicationMenus::aboutRequested, this, &ApplicationShell::openAbout);
    connect(m_menus.get(), &ApplicationMenus::quitRequested, this, [this] { m_quit(); });

    m_window->show();
    // What interrupted updates left goes now that the window is up, never before it.
    c.sweepLeftovers(options.ownBundlePath.isEmpty()
                         ? QStringList()
                         : QStringList{QFileInfo(options.ownBundlePath).absolutePath()});
    m_updateSheet = std::make_unique<UpdateSheetPresenter>(c.sidebarViewModel(), c.detailViewModel(), c.store(),
                                                           m_window.get());

    m_menuBar = std::make_unique<MenuBarController>(c.store(), c.sidebarViewModel(), c.detailViewModel(),
                                                    c.appState());
    connect(m_menuBar.get(), &MenuBarController::activateApplicationRequested, this,
            &ApplicationShell::bringWindowForward);
    connect(m_menuBar.get(), &MenuBarController::quitRequested, this, [this] { m_quit(); });
    if (options.instance)
        connect(options.instance, &SingleInstance::activationRequested, this,
                &ApplicationShell::bringWindowForward);
}

ApplicationShell::~ApplicationShell() = default;

void ApplicationShell::openAbout()
{
    m_container->settingsViewModel().setSelectedCategory(SettingsViewModel::SettingsCategory::about);
    m_settingsWindow->open();
}

void ApplicationShell::bringWindowForward()
{
    // Neither showing nor raising restores a minimized window; a maximized or full-screen one
    // keeps that state.
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

} // namespace norvelle
