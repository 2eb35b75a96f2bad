#include "viewmodels/WelcomeTourViewModel.h"

#include "services/EnvironmentService.h"
#include "util/Async.h"

#include <QPointer>
#include <QPromise>
#include <QTimer>

namespace norvelle {

namespace {

// A check and a pause that both have to end before the answer is stored.
struct PendingCheck {
    std::optional<EnvironmentStatus> status;
    bool paused = false;
    QPromise<void> promise;
};

} // namespace

WelcomeTourViewModel::WelcomeTourViewModel(std::shared_ptr<EnvironmentService> environmentService,
                                           AppState& appState, QObject* parent)
    : QObject(parent), m_environmentService(std::move(environmentService)), m_appState(appState)
{
}

WelcomeTourViewModel::~WelcomeTourViewModel() = default;

int WelcomeTourViewModel::lastPageIndex() const
{
    if (m_environmentStatus && !(m_environmentStatus->hasHomebrew && m_environmentStatus->hasMAS))
        return 5;
    return 4;
}

void WelcomeTourViewModel::nextPage()
{
    setCurrentPageIndex(m_currentPageIndex + 1);
}

void WelcomeTourViewModel::previousPage()
{
    setCurrentPageIndex(m_currentPageIndex - 1);
}

void WelcomeTourViewModel::skipToEnd()
{
    setCurrentPageIndex(lastPageIndex());
}

QFuture<void> WelcomeTourViewModel::checkEnvironment()
{
    return runCheck(std::chrono::milliseconds::zero());
}

QFuture<void> WelcomeTourViewModel::recheckEnvironment()
{
    return runCheck(recheckMinimumDuration);
}

QFuture<void> WelcomeTourViewModel::runCheck(std::chrono::milliseconds minimumDuration)
{
    setIsCheckingEnvironment(true);

    auto pending = std::make_shared<PendingCheck>();
    pending->promise.start();
    QFuture<void> future = pending->promise.future();
    QPointer<WelcomeTourViewModel> guard(this);
    // Runs on the main thread once both the check and the pause are over.
    auto finishIfDone = [guard, pending] {
        if (!pending->status || !pending->paused)
            return;
        if (guard) {
            guard->setEnvironmentStatus(*pending->status);
            guard->setIsCheckingEnvironment(false);
        }
        pending->promise.finish();
    };

    pending->paused = minimumDuration <= std::chrono::milliseconds::zero();
    if (!pending->paused) {
        QTimer::singleShot(minimumDuration, this, [pending, finishIfDone] {
            pending->paused = true;
            finishIfDone();
        });
    }
    runAsync([service = m_environmentService, pending, finishIfDone] {
        const EnvironmentStatus status = service->checkEnvironment();
        postToMain([pending, status, finishIfDone] {
            pending->status = status;
            finishIfDone();
        });
    });
    return future;
}

void WelcomeTourViewModel::setCurrentPageIndex(int index)
{
    if (m_currentPageIndex == index)
        return;
    m_currentPageIndex = index;
    Q_EMIT currentPageIndexChanged(index);
}

void WelcomeTourViewModel::setEnvironmentStatus(const EnvironmentStatus& status)
{
    if (m_environmentStatus == status)
        return;
    m_environmentStatus = status;
    Q_EMIT environmentStatusChanged();
}

void WelcomeTourViewModel::setIsCheckingEnvironment(bool value)
{
    if (m_isCheckingEnvironment == value)
        return;
    m_isCheckingEnvironment = value;
    Q_EMIT isCheckingEnvironmentChanged(value);
}

} // namespace norvelle
