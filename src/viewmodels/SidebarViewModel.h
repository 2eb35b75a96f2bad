#pragma once

#include "model/Application.h"
#include "model/UpdateProgress.h"
#include "viewmodels/ApplicationFilter.h"

#include <QFuture>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace norvelle {

class AppCoordinator;
class AppState;
class ApplicationStore;

// What the main window, the sidebar, the menu-bar extra and the tool-installation sheet call
// to discover the applications and to check them all for updates. Lives on the main thread.
// Each action runs the blocking coordinator call on a worker and comes back to the main
// thread; it never fails: a failure becomes errorMessage and log lines (and, for an update
// check, the update-check alert of AppState). Every setter signals only a real change.
class SidebarViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isDiscovering READ isDiscovering WRITE setIsDiscovering NOTIFY isDiscoveringChanged)
    Q_PROPERTY(bool isCheckingUpdates READ isCheckingUpdates WRITE setIsCheckingUpdates NOTIFY
                   isCheckingUpdatesChanged)
    Q_PROPERTY(
        bool showUpdateSheet READ showUpdateSheet WRITE setShowUpdateSheet NOTIFY showUpdateSheetChanged)

public:
    // All three must outlive the view model.
    SidebarViewModel(AppCoordinator& coordinator, ApplicationStore& store, AppState& appState,
                     QObject* parent = nullptr);
    ~SidebarViewModel() override;

    AppCoordinator& coordinator() const { return m_coordinator; }
    ApplicationStore& store() const { return m_store; }
    AppState& appState() const { return m_appState; }

    // True while a discovery started here runs.
    bool isDiscovering() const { return m_isDiscovering; }
    void setIsDiscovering(bool value);
    // True while an update check started here runs.
    bool isCheckingUpdates() const { return m_isCheckingUpdates; }
    void setIsCheckingUpdates(bool value);
    // The description of the last failure; cleared when an operation starts.
    std::optional<QString> errorMessage() const { return m_errorMessage; }
    void setErrorMessage(const std::optional<QString>& value);
    // What the last discovery started here could not do, one line each: the sources it could
    // not read and why, or its own failure. Kept until the next discovery ends; empty after one
    // that read everything.
    QStringList discoveryProblems() const { return m_discoveryProblems; }
    void setDiscoveryProblems(const QStringList& value);
    // What the update checks could not read, one line each: the last full check's own failure,
    // then each source that the last check of listed applications could not read, with how
    // many applications it cost and why. Follows the applications as checks change them.
    QStringList checkProblems() const { return m_checkProblems; }
    ApplicationFilter currentFilter() const { return m_currentFilter; }
    void setCurrentFilter(ApplicationFilter value);
    bool showUpdateSheet() const { return m_showUpdateSheet; }
    void setShowUpdateSheet(bool value);

    // Checks the environment, stores it, then asks the coordinator for a discovery. Does
    // nothing while a discovery started here runs. The future ends with the action.
    QFuture<void> discoverApplications();
    // Asks the coordinator to check all applications. Does nothing when the store holds no
    // applications or a check started here runs. The future ends with the action.
    QFuture<void> checkForUpdates();

    // One line per source that the last check of these applications (ignored ones aside) could
    // not read, in list order of the first application it cost, with the reason most of them
    // share (reasons that differ only in figures are one). Linear in the applications.
    static QStringList unreadSourceLines(const QList<std::shared_ptr<Application>>& applications);

Q_SIGNALS:
    void isDiscoveringChanged(bool value);
    void isCheckingUpdatesChanged(bool value);
    void errorMessageChanged(const std::optional<QString>& value);
    void discoveryProblemsChanged(const QStringList& value);
    void checkProblemsChanged(const QStringList& value);
    void currentFilterChanged(norvelle::ApplicationFilter value);
    void showUpdateSheetChanged(bool value);

private:
    void reportUpdateCheckFailure(const std::exception_ptr& error);
    void setCheckFailure(const std::optional<QString>& line);
    void recountUnreadSources();

    AppCoordinator& m_coordinator;
    ApplicationStore& m_store;
    AppState& m_appState;
    bool m_isDiscovering = false;
    bool m_isCheckingUpdates = false;
    std::optional<QString> m_errorMessage;
    QStringList m_discoveryProblems;
    QStringList m_checkProblems;
    std::optional<QString> m_checkFailure; // the last full check's own failure
    QStringList m_unreadSources;
    bool m_unreadSourcesStale = false;
    ApplicationFilter m_currentFilter = ApplicationFilter::all;
    bool m_showUpdateSheet = false;
};

// Hands one progress value of a batch to `handler` on the main thread, with the position of its
// application in `applications` (matched by id); a value whose application is not listed is
// dropped. Returns at once; callable from any thread. When `context` is given and has been
// destroyed by the time the value arrives, the value is dropped too, so a closed sheet is
// never called.
void forwardProgressToMainActor(const UpdateProgress& progress,
                                const QList<std::shared_ptr<Application>>& applications,
                                std::function<void(int, const UpdateProgress&)> handler,
                                QObject* context = nullptr);

} // namespace norvelle
