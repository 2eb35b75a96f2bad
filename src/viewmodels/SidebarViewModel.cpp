#include "viewmodels/SidebarViewModel.h"

#include "coordinator/AppCoordinator.h"
#include "coordinator/AppState.h"
#include "services/ApplicationStore.h"
#include "services/EnvironmentService.h"
#include "util/Async.h"
#include "platform/Logger.h"
#include "viewmodels/ViewModelActions.h"

#include <QPointer>

namespace norvelle {

SidebarViewModel::SidebarViewModel(AppCoordinator& coordinator, ApplicationStore& store, AppState& appState,
                                   QObject* parent)
    : QObject(parent), m_coordinator(coordinator), m_store(store), m_appState(appState)
{
}

SidebarViewModel::~SidebarViewModel() = default;

void SidebarViewModel::setIsDiscovering(bool value)
{
    if (m_isDiscovering == value)
        return;
    m_isDiscovering = value;
    Q_EMIT isDiscoveringChanged(value);
}

void SidebarViewModel::setIsCheckingUpdates(bool value)
{
    if (m_isCheckingUpdates == value)
        return;
    m_isCheckingUpdates = value;
    Q_EMIT isCheckingUpdatesChanged(value);
}

void SidebarViewModel::setErrorMessage(const std::optional<QString>& value)
{
    if (m_errorMessage == value)
        return;
    m_errorMessage = value;
    Q_EMIT errorMessageChanged(value);
}

void SidebarViewModel::setDiscoveryProblems(const QStringList& value)
{
    if (m_discoveryProblems == value)
        return;
    m_discoveryProblems = value;
    Q_EMIT discoveryProblemsChanged(value);
}

void SidebarViewModel::setCurrentFilter(ApplicationFilter value)
{
    if (m_currentFilter == value)
        return;
    m_currentFilter = value;
    Q_EMIT currentFilterChanged(value);
}

void SidebarViewModel::setShowUpdateSheet(bool value)
{
    if (m_showUpdateSheet == value)
        return;
    m_showUpdateSheet = value;
    Q_EMIT showUpdateSheetChanged(value);
}

QFuture<void> SidebarViewModel::discoverApplications()
{
    if (m_isDiscovering)
        return finishedAction();
    setIsDiscovering(true);
    setErrorMessage(std::nullopt);

    AppCoordinator* coordinator = &m_coordinator;
    ApplicationStore* store = &m_store;
    return runForMainThread([coordinator, store] {
               const EnvironmentStatus status = coordinator->environmentService()->checkEnvironment();
               invokeOnMain([store, &status] { store->setEnvironmentStatus(status); });
               return coordinator->discoverApplications();
           })
        .then(this, [this](QFuture<QList<SourceFailure>> done) {
            QStringList problems;
            if (const std::exception_ptr error = failureOf(done)) {
                const QString description = logActionFailure(QStringLiteral("discover applications"), error);
                setErrorMessage(description);
                problems.append(QStringLiteral("Failed to discover applications: ") + description);
            } else {
                for (const SourceFailure& failure : done.result())
                    problems.append(failure.source + QStringLiteral(" could not be read: ") +
                                    failure.description);
            }
            setDiscoveryProblems(problems);
            setIsDiscovering(false);
        });
}

QFuture<void> SidebarViewModel::checkForUpdates()
{
    if (m_store.applications().isEmpty() || m_isCheckingUpdates)
        return finishedAction();
    setIsCheckingUpdates(true);
    setErrorMessage(std::nullopt);

    AppCoordinator* coordinator = &m_coordinator;
    return runForMainThread([coordinator] { coordinator->checkForUpdates(); })
        .then(this, [this](QFuture<void> done) {
            if (const std::exception_ptr error = failureOf(done))
                reportUpdateCheckFailure(error);
            setIsCheckingUpdates(false);
        });
}

void SidebarViewModel::reportUpdateCheckFailure(const std::exception_ptr& error)
{
    const QString description = failureDescription(error);
    setErrorMessage(description);
    Logger::error(QStringLiteral("Failed to check for updates: ") + description);
    Logger::error(QStringLiteral("Error details: ") + failureDetails(error));
    m_appState.setUpdateCheckErrorMessage(description);
    m_appState.setShowUpdateCheckError(true);
}

void forwardProgressToMainActor(const UpdateProgress& progress,
                                const QList<std::shared_ptr<Application>>& applications,
                                std::function<void(int, const UpdateProgress&)> handler, QObject* context)
{
    const bool hasContext = context != nullptr;
    postToMain([progress, applications, handler = std::move(handler), hasContext,
                guard = QPointer<QObject>(context)] {
        if ((hasContext && !guard) || !handler || !progress.application)
            return;
        const QUuid id = progress.application->id();
        for (qsizetype position = 0; position < applications.size(); ++position) {
            const auto& application = applications.at(position);
            if (application && application->id() == id) {
                handler(static_cast<int>(position), progress);
                return;
            }
        }
    });
}

} // namespace norvelle
