#pragma once

// The view models over a recording coordinator wired to the coordinator tests' fakes, an app
// state on temporary settings, a clock that stands still and pauses that the test ends by
// hand. The test thread is the main thread; waits pump its events.

#include "../coordinator/CoordinatorTestWorld.h"
#include "FakeAppCoordinator.h"
#include "TempSettings.h"
#include "coordinator/AppState.h"
#include "viewmodels/DetailViewModel.h"
#include "viewmodels/SidebarViewModel.h"

#include <QFuture>
#include <QList>
#include <QPromise>
#include <chrono>
#include <memory>

namespace norvelle::test {

using Op = FakeAppCoordinator::Operation;

// Pauses that end only when the test says so, oldest first.
class ManualPauses {
public:
    DetailViewModel::Pause pause()
    {
        return [this](std::chrono::milliseconds duration) {
            auto promise = std::make_shared<QPromise<void>>();
            promise->start();
            m_requested.append(static_cast<int>(duration.count()));
            m_pending.append(promise);
            return promise->future();
        };
    }

    // The requested durations in milliseconds, in request order.
    QList<int> requested() const { return m_requested; }
    int pending() const { return static_cast<int>(m_pending.size()); }
    void endOldest()
    {
        if (!m_pending.isEmpty())
            m_pending.takeFirst()->finish();
    }
    void cancelOldest()
    {
        if (m_pending.isEmpty())
            return;
        auto promise = m_pending.takeFirst();
        promise->future().cancel();
        promise->finish();
    }

private:
    QList<int> m_requested;
    QList<std::shared_ptr<QPromise<void>>> m_pending;
};

struct ViewModelTestWorld : FakeServicesWorld {
    ViewModelTestWorld() { settle(); }

    ~ViewModelTestWorld()
    {
        // An ended pause or a finished worker may start the next step of an action, which
        // may pause or run again; a step that finishes after the view models are gone would
        // meet a dead continuation context. Drain until several rounds pass quietly.
        for (int quiet = 0, round = 0; quiet < 3 && round < 200; ++round) {
            const bool hadPauses = pauses.pending() > 0;
            while (pauses.pending() > 0)
                pauses.endOldest();
            if (!drain()) {
                qWarning("View model test: workers still running at the end of the test");
                break;
            }
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
            quiet = (!hadPauses && pauses.pending() == 0) ? quiet + 1 : 0;
        }
    }

    // Lists the applications (when not listed yet) and selects the first.
    ApplicationPtr select(const ApplicationPtr& application, const ApplicationList& others = {})
    {
        if (!store.applications().contains(application))
            store.setApplications(ApplicationList{application} + others);
        store.setSelectedApplicationId(application->id());
        return application;
    }

    // A refresh of the application finds its bundle again, unchanged.
    void keepOnDisk(const ApplicationPtr& application)
    {
        discovery->setRediscovered(application->path(),
                                   Application::create(application->name(), application->bundleIdentifier(),
                                                       application->path(), application->currentVersion(),
                                                       application->source()));
    }

    FakeAppCoordinator coordinator{discovery, updates, ignore, environment, brew, store, clock};
    TempSettings settings;
    AppState appState{settings.store(), nullptr};
    ManualPauses pauses;
    SidebarViewModel sidebar{coordinator, store, appState};
    DetailViewModel detail{coordinator, store, clock, pauses.pause()};
};

} // namespace norvelle::test
