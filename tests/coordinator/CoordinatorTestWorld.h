#pragma once

// A coordinator wired to recording fakes, a store with a fake Dock badge and a clock
// that stands still. Operations run on the I/O pool like a view model's would; the test
// thread is the main thread and pumps its events while it waits (AWAIT).

#include "FakeBrewService.h"
#include "FakeClock.h"
#include "FakeDiscoveryService.h"
#include "FakeDockBadge.h"
#include "FakeEnvironmentService.h"
#include "FakeIgnoreService.h"
#include "FakeUpdateService.h"
#include "LogCapture.h"
#include "RecordMakers.h"
#include "TestGate.h"
#include "coordinator/AppCoordinator.h"
#include "coordinator/CoordinatorError.h"
#include "services/ApplicationStore.h"
#include "util/Async.h"

#include <QFuture>
#include <QTest>
#include <memory>
#include <optional>
#include <vector>

// Waits, pumping the main thread's events, until the future has ended.
#define AWAIT(future) QTRY_VERIFY_WITH_TIMEOUT((future).isFinished(), 10000)

namespace norvelle::test {

using ApplicationPtr = std::shared_ptr<Application>;
using ApplicationList = QList<ApplicationPtr>;

// An application "com.example.<name>" at "/Applications/<Name>.app", version 1.0.
inline ApplicationPtr makeApp(const QString& name, std::optional<Update> update = std::nullopt,
                              QList<Application::Source> source = {Application::Source::homebrew})
{
    return Application::create(
        name, QStringLiteral("com.example.") + name.toLower(),
        QUrl::fromLocalFile(QStringLiteral("/Applications/") + name + QStringLiteral(".app")),
        QStringLiteral("1.0"), std::move(source), std::move(update));
}

// The user-facing text of what the finished future threw, or none when it succeeded.
template <typename T> std::optional<QString> failureOf(QFuture<T> future)
{
    try {
        future.waitForFinished();
        return std::nullopt;
    } catch (const std::exception& e) {
        return describeException(e);
    }
}

// The fake services, store, gates and log capture that a coordinator, real or recording, is
// built on in the coordinator and view-model tests.
struct FakeServicesWorld {
    std::shared_ptr<TestGate> gate()
    {
        gates.push_back(std::make_shared<TestGate>());
        return gates.back();
    }

    void list(const ApplicationList& applications) { store.setApplications(applications); }

    std::shared_ptr<FakeDiscoveryService> discovery = std::make_shared<FakeDiscoveryService>();
    std::shared_ptr<FakeUpdateService> updates = std::make_shared<FakeUpdateService>();
    std::shared_ptr<FakeIgnoreService> ignore = std::make_shared<FakeIgnoreService>();
    std::shared_ptr<FakeEnvironmentService> environment = std::make_shared<FakeEnvironmentService>();
    std::shared_ptr<FakeBrewService> brew = std::make_shared<FakeBrewService>();
    std::shared_ptr<FakeDockBadge> badge = std::make_shared<FakeDockBadge>();
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>();
    ApplicationStore store{badge};
    std::vector<std::shared_ptr<TestGate>> gates;
    LogCapture log;

protected:
    // Called by a world once it is built: Homebrew is there, and the start-up lines of what was
    // built come before the test's own.
    void settle()
    {
        store.setEnvironmentStatus(EnvironmentStatus{true, true, true, QStringLiteral("/usr/local/bin/brew")});
        ignore->waitForStartup();
        log.clear();
    }

    // Opens every gate, so no worker stays blocked on one, and waits for the I/O pool to go
    // idle, pumping events meanwhile since a worker may be waiting for the main thread.
    bool drain()
    {
        for (const auto& gate : gates)
            gate->open();
        return QTest::qWaitFor([] { return ioPool().activeThreadCount() == 0; }, 10000);
    }
};

struct CoordinatorTestWorld : FakeServicesWorld {
    CoordinatorTestWorld() { settle(); }

    ~CoordinatorTestWorld()
    {
        if (!drain())
            qWarning("Coordinator test: workers still running at the end of the test");
    }

    template <typename F> auto run(F&& operation) { return runAsync(std::forward<F>(operation)); }

    // `brew install --cask --adopt` streams these lines, then waits at the gate, then fails
    // with the text, each when given.
    void scriptAdoption(QList<QPair<QString, double>> lines, std::shared_ptr<TestGate> gate = nullptr,
                        std::optional<QString> failure = std::nullopt)
    {
        brew->onAdoptCask = [lines, gate, failure](const QString&, const LineHandler& handler) {
            for (const auto& [line, fraction] : lines)
                handler(line, fraction);
            if (gate)
                gate->pass();
            if (failure)
                throw Error(*failure);
        };
    }

    // The Homebrew calls that begin with `prefix` ("adoptCask", "loadInstalledCasks", …).
    QStringList brewCalls(const QString& prefix) const
    {
        QStringList matching;
        for (const QString& call : brew->calls()) {
            if (call.startsWith(prefix))
                matching.append(call);
        }
        return matching;
    }

    AppCoordinator coordinator{discovery, updates, ignore, environment, brew, store, clock};
};

} // namespace norvelle::test
