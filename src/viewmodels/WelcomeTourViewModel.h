#pragma once

#include "model/EnvironmentStatus.h"

#include <QFuture>
#include <QObject>
#include <chrono>
#include <memory>
#include <optional>

namespace norvelle {

class AppState;
class EnvironmentService;

// The welcome tour's state: the page shown, what the last environment check found and whether
// a check runs. The status is the tour's own copy; the application store is not touched.
// Lives on the main thread; every field signals only a real change.
class WelcomeTourViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(int currentPageIndex READ currentPageIndex NOTIFY currentPageIndexChanged)
    Q_PROPERTY(bool isCheckingEnvironment READ isCheckingEnvironment NOTIFY isCheckingEnvironmentChanged)

public:
    // The least time a re-check keeps "Checking..." on screen.
    static constexpr std::chrono::milliseconds recheckMinimumDuration{500};

    // `appState` must outlive the model.
    WelcomeTourViewModel(std::shared_ptr<EnvironmentService> environmentService, AppState& appState,
                         QObject* parent = nullptr);
    ~WelcomeTourViewModel() override;

    // For the finishing button, which sets hasCompletedWelcomeTour.
    AppState& appState() const { return m_appState; }

    int currentPageIndex() const { return m_currentPageIndex; }
    const std::optional<EnvironmentStatus>& environmentStatus() const { return m_environmentStatus; }
    bool isCheckingEnvironment() const { return m_isCheckingEnvironment; }

    // 5 while the last check found brew or mas missing, else 4.
    int lastPageIndex() const;

    // One page on or back. Not clamped: the tour's buttons are offered only where they fit.
    void nextPage();
    void previousPage();
    // To the last page; nothing happens when already there.
    void skipToEnd();

    // Runs the environment check and keeps its answer. The future finishes once it is stored.
    QFuture<void> checkEnvironment();
    // The same, lasting at least recheckMinimumDuration.
    QFuture<void> recheckEnvironment();

Q_SIGNALS:
    void currentPageIndexChanged(int index);
    void environmentStatusChanged();
    void isCheckingEnvironmentChanged(bool value);

private:
    QFuture<void> runCheck(std::chrono::milliseconds minimumDuration);
    void setCurrentPageIndex(int index);
    void setEnvironmentStatus(const EnvironmentStatus& status);
    void setIsCheckingEnvironment(bool value);

    const std::shared_ptr<EnvironmentService> m_environmentService;
    AppState& m_appState;
    int m_currentPageIndex = 0;
    std::optional<EnvironmentStatus> m_environmentStatus;
    bool m_isCheckingEnvironment = false;
};

} // namespace norvelle
