#pragma once

#include "coordinator/AppCoordinator.h"

#include <QHash>
#include <QStringList>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>

namespace norvelle::test {

class TestGate;

// A coordinator that records the operations the view models call and runs the real ones
// (wired to whatever services it was built with) unless told otherwise: an operation can
// wait at a gate, fail with a set error instead of running, or, for the update and the
// adoption, run a script in place of the real work. Safe to call from any thread.
class FakeAppCoordinator : public AppCoordinator {
public:
    enum class Operation {
        discoverApplications,
        checkForUpdates,
        refreshApplication,
        updateApplication,
        ignoreApplication,
        unignoreApplication,
        skipVersion,
        unskipVersion,
        adoptApplication,
        verifyCustomCask,
    };
    using UpdateScript = std::function<Update::Result(const ApplicationPtr&, const UpdateProgressHandler&)>;
    using AdoptionScript = std::function<void(const ApplicationPtr&, const AdoptionProgressHandler&)>;

    using AppCoordinator::AppCoordinator;

    // Every later call of the operation throws this (after its gate) instead of running.
    void setFailure(Operation operation, std::exception_ptr error);
    template <typename E> void failWith(Operation operation, E error)
    {
        setFailure(operation, std::make_exception_ptr(std::move(error)));
    }
    void clearFailure(Operation operation);
    // Every later call of the operation waits at the gate before anything else.
    void setGate(Operation operation, std::shared_ptr<TestGate> gate);
    void setUpdateScript(UpdateScript script);
    void setAdoptionScript(AdoptionScript script);

    // Each call in order: the operation's name, then the application's name, e.g.
    // "refreshApplication Safari"; verifyCustomCask adds the cask and the tap ("-" for none).
    QStringList calls() const;
    int callCount(Operation operation) const;

    QList<SourceFailure> discoverApplications() override;
    void checkForUpdates() override;
    std::optional<SourceFailure> refreshApplication(const ApplicationPtr& application) override;
    Update::Result updateApplication(const ApplicationPtr& application,
                                     const UpdateProgressHandler& progress) override;
    void ignoreApplication(const ApplicationPtr& application) override;
    void unignoreApplication(const ApplicationPtr& application) override;
    void skipVersion(const ApplicationPtr& application) override;
    void unskipVersion(const ApplicationPtr& application) override;
    void adoptApplication(const ApplicationPtr& application,
                          const AdoptionProgressHandler& progress) override;
    void verifyCustomCask(const ApplicationPtr& application, const QString& caskName,
                          const std::optional<QString>& tap) override;

    static QString name(Operation operation);

private:
    // Records the call, waits at the operation's gate, throws its failure if one is set.
    void enter(Operation operation, const QString& detail = {});

    mutable std::mutex m_mutex;
    QStringList m_calls;
    QHash<int, int> m_counts;
    QHash<int, std::exception_ptr> m_failures;
    QHash<int, std::shared_ptr<TestGate>> m_gates;
    UpdateScript m_updateScript;
    AdoptionScript m_adoptionScript;
};

} // namespace norvelle::test
