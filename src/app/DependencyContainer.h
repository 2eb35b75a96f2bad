#pragma once

#include "platform/Paths.h"
#include "viewmodels/SettingsViewModel.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <memory>
#include <thread>

namespace norvelle {

class AppCoordinator;
class AppState;
class AppStoreAPIService;
class ApplicationStore;
class BrewService;
class ContentViewModel;
class DetailViewModel;
class DiscoveryService;
class DockBadge;
class EnvironmentService;
class HttpEngine;
class IgnoreService;
class MASService;
class NetworkProbe;
class SettingsStore;
class SidebarViewModel;
class SparkleService;
class TerminalCommands;
class TerminalLauncher;
class UpdateService;
class UpdaterFactory;
class UrlOpener;
class WelcomeTourViewModel;

// The one place that builds the system's long-lived objects: each once, in a fixed order, with
// its collaborators handed in through its constructor. Everything lives as long as the
// container, which the application keeps for the whole run. Build it on the main thread;
// building runs no service operation (only the ignore list starts loading in the background).
class DependencyContainer {
public:
    // The platform seams. Anything left empty gets this platform's own implementation.
    struct Options {
        Paths paths = Paths::defaults(); // the application passes Paths::fromEnvironment()
        QString settingsFile;            // empty: the application's own settings
        QString ownBundleIdentifier = QStringLiteral("com.norvelle.Norvelle");
        QString desktopFileId = QStringLiteral("norvelle.desktop");                 // for the launcher badge
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment(); // login shell, terminal
        std::shared_ptr<DockBadge> dockBadge;
        std::shared_ptr<NetworkProbe> networkProbe;
        std::shared_ptr<TerminalLauncher> terminalLauncher;
        std::shared_ptr<UrlOpener> urlOpener; // none: nothing can be opened
        SettingsViewModel::DarkAppearanceQuery darkAppearance;
        // The application's own container hands its settings to the Logger as soon as they
        // exist, so the Desktop log switch holds from the first line any service logs; it
        // takes them back when destroyed.
        bool attachLogger = false;
    };

    DependencyContainer();
    explicit DependencyContainer(Options options);
    ~DependencyContainer();
    DependencyContainer(const DependencyContainer&) = delete;
    DependencyContainer& operator=(const DependencyContainer&) = delete;

    const Paths& paths() const { return m_paths; }
    SettingsStore& settings() const { return *m_settings; }

    AppState& appState() const { return *m_appState; }
    ApplicationStore& store() const { return *m_store; }
    ContentViewModel& contentViewModel() const { return *m_contentViewModel; }
    SidebarViewModel& sidebarViewModel() const { return *m_sidebarViewModel; }
    DetailViewModel& detailViewModel() const { return *m_detailViewModel; }
    // The detail pane's terminal hand-over and brew doctor; their fields are mirrored into the
    // detail view model's fields of the same names.
    TerminalCommands& terminalCommands() const { return *m_terminalCommands; }
    SettingsViewModel& settingsViewModel() const { return *m_settingsViewModel; }
    WelcomeTourViewModel& welcomeTourViewModel() const { return *m_welcomeTourViewModel; }

    // The services, for the objects built here and for inspection; views never call them.
    const std::shared_ptr<BrewService>& brewService() const { return m_brewService; }
    const std::shared_ptr<AppStoreAPIService>& appStoreAPIService() const { return m_appStoreAPIService; }
    const std::shared_ptr<MASService>& masService() const { return m_masService; }
    const std::shared_ptr<SparkleService>& sparkleService() const { return m_sparkleService; }
    // Makes every updater, the other applications' and the system's own, over the one HTTP engine.
    const std::shared_ptr<UpdaterFactory>& updaterFactory() const { return m_updaterFactory; }
    const std::shared_ptr<IgnoreService>& ignoreService() const { return m_ignoreService; }
    const std::shared_ptr<EnvironmentService>& environmentService() const { return m_environmentService; }
    const std::shared_ptr<DiscoveryService>& discoveryService() const { return m_discoveryService; }
    const std::shared_ptr<UpdateService>& updateService() const { return m_updateService; }
    const std::shared_ptr<AppCoordinator>& coordinator() const { return m_coordinator; }

    // The class names of the objects in the order they were built.
    const QStringList& buildOrder() const { return m_buildOrder; }

    // Removes, in the background, what interrupted updates left in the applications folder and
    // in otherFolders beyond the bundles that discovery puts back (a download, a set-aside copy
    // of thousands of files). Once. What it puts back is listed by a discovery and a check of its own.
    void sweepLeftovers(const QStringList& otherFolders = {});

    // For quitting, once the event loop has ended: ends every running HTTP transfer as
    // cancelled, refuses new ones and joins the network threads, stops the sweep of leftovers
    // (not waited for: it is let go), and ends every Sparkle check
    // and install still waiting for the main thread with a cancellation, stopping their
    // updaters. Call it on the main thread. Idempotent; the destructor does the first part too.
    void abortTransfers();

private:
    template <typename T> T& built(T& object, const char* name);

    // Declared in build order, so they are released in the reverse order.
    QStringList m_buildOrder;
    const Paths m_paths;
    bool m_attachedLogger = false;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<AppState> m_appState;
    std::unique_ptr<ApplicationStore> m_store;
    std::shared_ptr<HttpEngine> m_httpEngine;
    std::shared_ptr<BrewService> m_brewService;
    std::shared_ptr<AppStoreAPIService> m_appStoreAPIService;
    std::shared_ptr<MASService> m_masService;
    std::shared_ptr<UpdaterFactory> m_updaterFactory;
    std::shared_ptr<SparkleService> m_sparkleService;
    std::shared_ptr<IgnoreService> m_ignoreService;
    std::shared_ptr<EnvironmentService> m_environmentService;
    std::shared_ptr<DiscoveryService> m_discoveryService;
    std::shared_ptr<UpdateService> m_updateService;
    std::shared_ptr<AppCoordinator> m_coordinator;
    std::unique_ptr<ContentViewModel> m_contentViewModel;
    std::unique_ptr<SidebarViewModel> m_sidebarViewModel;
    std::unique_ptr<DetailViewModel> m_detailViewModel;
    std::unique_ptr<TerminalCommands> m_terminalCommands;
    std::unique_ptr<SettingsViewModel> m_settingsViewModel;
    std::unique_ptr<WelcomeTourViewModel> m_welcomeTourViewModel;
    // Joined first, unless a quit let it go: it uses nothing above, but may still be removing files.
    std::jthread m_leftoverSweep;
};

} // namespace norvelle
