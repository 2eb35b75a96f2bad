#include "app/DependencyContainer.h"

#include "coordinator/AppCoordinator.h"
#include "coordinator/AppState.h"
#include "platform/LinuxTerminalLauncher.h"
#include "platform/Logger.h"
#include "platform/RouteNetworkProbe.h"
#include "platform/SettingsStore.h"
#include "platform/UnityDockBadge.h"
#include "platform/http/HttpClient.h"
#include "platform/http/HttpEngine.h"
#include "platform/updater/InstallRecovery.h"
#include "platform/updater/UpdaterFactory.h"
#include "services/ApplicationStore.h"
#include "services/DiscoveryService.h"
#include "services/EnvironmentService.h"
#include "services/IgnoreService.h"
#include "services/UpdateService.h"
#include "sources/brew/BrewService.h"
#include "sources/mas/AppStoreAPIService.h"
#include "sources/mas/MASService.h"
#include "sources/sparkle/SparkleService.h"
#include "util/Async.h"
#include "viewmodels/ContentViewModel.h"
#include "viewmodels/DetailViewModel.h"
#include "viewmodels/SidebarViewModel.h"
#include "viewmodels/TerminalCommands.h"
#include "viewmodels/WelcomeTourViewModel.h"

#include <QPointer>

namespace norvelle {

template <typename T> T& DependencyContainer::built(T& object, const char* name)
{
    m_buildOrder.append(QString::fromLatin1(name));
    return object;
}

DependencyContainer::DependencyContainer() : DependencyContainer(Options()) {}

DependencyContainer::DependencyContainer(Options options) : m_paths(std::move(options.paths))
{
    // A world moved elsewhere (a test, the demo) brings its own settings file.
    const QString settingsFile = options.settingsFile.isEmpty() ? m_paths.settingsFile : options.settingsFile;
    m_settings = settingsFile.isEmpty() ? std::make_unique<SettingsStore>()
                                        : std::make_unique<SettingsStore>(settingsFile);
    built(*m_settings, "SettingsStore");
    if (options.attachLogger) {
        Logger::setSettings(m_settings.get());
        m_attachedLogger = true;
    }

    m_appState = std::make_unique<AppState>(*m_settings, options.urlOpener);
    built(*m_appState, "AppState");

    std::shared_ptr<DockBadge> dockBadge =
        options.dockBadge ? options.dockBadge : std::make_shared<UnityDockBadge>(options.desktopFileId);
    m_store = std::make_unique<ApplicationStore>(std::move(dockBadge));
    built(*m_store, "ApplicationStore");

    // One engine for every request, so connections, TLS sessions and the CA store are set up once
    // per host rather than once per request, and every request keeps within its connection caps,
    // which the process's open-files limit is raised for (or which shrink to fit it).
    m_httpEngine = std::make_shared<HttpEngine>(HttpLimits::fitOpenFilesLimit());
    const auto client = [this](std::chrono::milliseconds timeout, qint64 maxBytes) {
        HttpClient::Options http;
        http.timeout = timeout;
        http.caFile = m_paths.caFile; // an extra trusted CA (a loopback world's)
        http.maxBodyBytes = maxBytes;
        http.engine = m_httpEngine;
        return std::make_shared<HttpClient>(http);
    };

    BrewService::Options brewOptions;
    brewOptions.paths = m_paths;
    brewOptions.http = client(BrewService::catalogueTimeout, BrewService::maxCatalogueBytes);
    m_brewService = std::make_shared<BrewService>(brewOptions);
    built(*m_brewService, "BrewService");

    // Its own client: a 10-second request limit, never answering from a local cache.
    AppStoreAPIService::Options lookupOptions;
    lookupOptions.lookupUrl = m_paths.iTunesLookupUrl;
    lookupOptions.http = client(AppStoreAPIService::requestTimeout, AppStoreAPIService::maxAnswerBytes);
    m_appStoreAPIService = std::make_shared<AppStoreAPIService>(lookupOptions);
    built(*m_appStoreAPIService, "AppStoreAPIService");

    MASService::Options masOptions;
    masOptions.paths = m_paths;
    m_masService = std::make_shared<MASService>(m_appStoreAPIService, masOptions);
    built(*m_masService, "MASService");

    UpdaterFactory::Options updaterOptions;
    updaterOptions.http.engine = m_httpEngine;
    updaterOptions.http.caFile = m_paths.caFile;
    m_updaterFactory = std::make_shared<UpdaterFactory>(updaterOptions);
    m_sparkleService = std::make_shared<SparkleService>(
        m_updaterFactory, client(HttpClient::Options{}.timeout, SparkleService::maxReleaseNotesBytes));
    built(*m_sparkleService, "SparkleService");

    // Starts loading the stored list in the background; construction goes on meanwhile.
    m_ignoreService = std::make_shared<IgnoreService>(m_paths.supportFolder);
    built(*m_ignoreService, "IgnoreService");

    std::shared_ptr<NetworkProbe> probe =
        options.networkProbe ? options.networkProbe : std::make_shared<RouteNetworkProbe>();
    m_environmentService = std::make_shared<EnvironmentService>(m_paths, std::move(probe));
    built(*m_environmentService, "EnvironmentService");

    DiscoveryService::Options discoveryOptions;
    discoveryOptions.applicationsFolder = m_paths.applicationsFolder;
    m_discoveryService = std::make_shared<DiscoveryService>(
        m_brewService, m_masService, m_sparkleService,
        DiscoveryService::defaultFilteredBundleIdentifiers(options.ownBundleIdentifier), discoveryOptions);
    built(*m_discoveryService, "DiscoveryService");

    m_updateService = std::make_shared<UpdateService>(m_brewService, m_masService, m_sparkleService);
    built(*m_updateService, "UpdateService");

    m_coordinator = std::make_shared<AppCoordinator>(m_discoveryService, m_updateService, m_ignoreService,
                                                     m_environmentService, m_brewService, *m_store);
    built(*m_coordinator, "AppCoordinator");

    m_contentViewModel = std::make_unique<ContentViewModel>(*m_store);
    built(*m_contentViewModel, "ContentViewModel");

    m_sidebarViewModel = std::make_unique<SidebarViewModel>(*m_coordinator, *m_store, *m_appState);
    built(*m_sidebarViewModel, "SidebarViewModel");

    m_detailViewModel = std::make_unique<DetailViewModel>(*m_coordinator, *m_store);
    built(*m_detailViewModel, "DetailViewModel");

    // The detail pane's terminal hand-over and brew doctor.
    std::shared_ptr<TerminalLauncher> launcher =
        options.terminalLauncher ? options.terminalLauncher
                                 : std::make_shared<LinuxTerminalLauncher>(options.environment);
    m_terminalCommands =
        std::make_unique<TerminalCommands>(m_paths, std::move(launcher), options.environment);
    built(*m_terminalCommands, "TerminalCommands");
    m_detailViewModel->useTerminalCommands(*m_terminalCommands);

    m_settingsViewModel = std::make_unique<SettingsViewModel>(*m_settings, std::move(options.darkAppearance));
    built(*m_settingsViewModel, "SettingsViewModel");

    m_welcomeTourViewModel = std::make_unique<WelcomeTourViewModel>(m_environmentService, *m_appState);
    built(*m_welcomeTourViewModel, "WelcomeTourViewModel");
}

DependencyContainer::~DependencyContainer()
{
    if (m_attachedLogger)
        Logger::setSettings(nullptr);
}

void DependencyContainer::sweepLeftovers(const QStringList& otherFolders)
{
    if (m_leftoverSweep.joinable())
        return;
    // What the sweep puts back once a discovery may have looked is listed as a Refresh lists it,
    // once no discovery or check runs: a discovery under way may have looked before.
    SidebarViewModel* sidebar = m_sidebarViewModel.get();
    auto pending = std::make_shared<bool>(false);
    const auto relist = [sidebar, pending] {
        if (!*pending || sidebar->isDiscovering() || sidebar->isCheckingUpdates())
            return;
        *pending = false;
        sidebar->discoverApplications().then(sidebar, [sidebar] { sidebar->checkForUpdates(); });
    };
    QObject::connect(sidebar, &SidebarViewModel::isDiscoveringChanged, sidebar, relist, Qt::QueuedConnection);
    QObject::connect(sidebar, &SidebarViewModel::isCheckingUpdatesChanged, sidebar, relist,
                     Qt::QueuedConnection);
    // Called on the sweep's thread, which may outlive the container.
    auto broughtBack = [guarded = QPointer(sidebar), pending, relist] {
        postToMain([guarded, pending, relist] {
            if (!guarded)
                return;
            *pending = true;
            relist();
        });
    };
    m_leftoverSweep =
        InstallRecovery::sweepInBackground(m_paths.applicationsFolder, otherFolders, std::move(broughtBack));
}

void DependencyContainer::abortTransfers()
{
    // Let go rather than waited for: the sweep may be pausing behind other work. The process
    // leaves without destroying statics while it still runs (InstallRecovery::sweepingInBackground).
    m_leftoverSweep.request_stop();
    if (m_leftoverSweep.joinable())
        m_leftoverSweep.detach();
    m_httpEngine->shutdown();
    // Their drivers answer on the main thread, whose loop has ended; the downloads they ran
    // have just been cancelled.
    m_sparkleService->cancelForQuit();
}

} // namespace norvelle
