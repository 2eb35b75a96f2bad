#pragma once

#include "services/UpdateService.h"

#include <QHash>
#include <QStringList>
#include <memory>
#include <mutex>
#include <optional>

namespace norvelle::test {

class TestGate;

// An update service that asks no source and installs nothing. A check answers a set map;
// an update succeeds unless an error text is set for the application's bundle identifier,
// and sends the handler one value per application. Checks and the updates of chosen
// applications can wait at gates. Calls are recorded.
class FakeUpdateService : public UpdateService {
public:
    using ApplicationList = QList<std::shared_ptr<Application>>;

    FakeUpdateService();

    QHash<QString, Update> checkForUpdates(const ApplicationList& applications,
                                           const EnvironmentStatus& environment,
                                           CheckFailures* failures = nullptr) override;
    Update::Result updateApplication(const std::shared_ptr<Application>& application,
                                     const ProgressHandler& progressHandler) override;
    QList<Update::Result> updateAll(const ApplicationList& applications,
                                    const ProgressHandler& progressHandler) override;

    void setCheckResult(QHash<QString, Update> updates);
    void setCheckFailure(std::optional<QString> description);
    // Sources a check could not read, per bundle identifier.
    void setUnreadSources(CheckFailures failures);
    void setCheckGate(std::shared_ptr<TestGate> gate);
    // The update of this application fails with `error` (a result with success false).
    void setUpdateError(const QString& bundleIdentifier, const QString& error);
    // updateApplication refuses (throws) with this text.
    void setRefusal(std::optional<QString> description);
    // The update of this application waits at the gate before it ends.
    void setUpdateGate(const QString& bundleIdentifier, std::shared_ptr<TestGate> gate);

    // The bundle identifiers of each check, in call order.
    QList<QStringList> checks() const;
    QList<EnvironmentStatus> checkStatuses() const;
    QStringList singleUpdates() const;
    // The bundle identifiers of each updateAll call (one chunk each).
    QList<QStringList> chunks() const;

private:
    Update::Result run(const std::shared_ptr<Application>& application,
                       const ProgressHandler& progressHandler);

    mutable std::mutex m_mutex;
    QHash<QString, Update> m_checkResult;
    std::optional<QString> m_checkFailure;
    CheckFailures m_unreadSources;
    std::shared_ptr<TestGate> m_checkGate;
    QHash<QString, QString> m_updateErrors;
    std::optional<QString> m_refusal;
    QHash<QString, std::shared_ptr<TestGate>> m_updateGates;
    QList<QStringList> m_checks;
    QList<EnvironmentStatus> m_checkStatuses;
    QStringList m_singleUpdates;
    QList<QStringList> m_chunks;
};

} // namespace norvelle::test
