#include "FakeUpdateService.h"

#include "TestGate.h"
#include "util/Error.h"

#include <QUuid>

namespace norvelle::test {

namespace {

QStringList bundleIdentifiers(const FakeUpdateService::ApplicationList& applications)
{
    QStringList identifiers;
    for (const auto& application : applications)
        identifiers.append(application->bundleIdentifier());
    return identifiers;
}

} // namespace

FakeUpdateService::FakeUpdateService() : UpdateService(nullptr, nullptr, nullptr) {}

QHash<QString, Update> FakeUpdateService::checkForUpdates(const ApplicationList& applications,
                                                          const EnvironmentStatus& environment,
                                                          CheckFailures* failures)
{
    std::shared_ptr<TestGate> gate;
    {
        std::lock_guard lock(m_mutex);
        m_checks.append(bundleIdentifiers(applications));
        m_checkStatuses.append(environment);
        gate = m_checkGate;
    }
    if (gate)
        gate->pass();
    std::lock_guard lock(m_mutex);
    if (m_checkFailure)
        throw Error(*m_checkFailure);
    if (failures)
        *failures = m_unreadSources;
    return m_checkResult;
}

Update::Result FakeUpdateService::updateApplication(const std::shared_ptr<Application>& application,
                                                    const ProgressHandler& progressHandler)
{
    {
        std::lock_guard lock(m_mutex);
        m_singleUpdates.append(application->bundleIdentifier());
        if (m_refusal)
            throw Error(*m_refusal);
    }
    return run(application, progressHandler);
}

QList<Update::Result> FakeUpdateService::updateAll(const ApplicationList& applications,
                                                   const ProgressHandler& progressHandler)
{
    {
        std::lock_guard lock(m_mutex);
        m_chunks.append(bundleIdentifiers(applications));
    }
    QList<Update::Result> results;
    for (const auto& application : applications)
        results.append(run(application, progressHandler));
    return results;
}

Update::Result FakeUpdateService::run(const std::shared_ptr<Application>& application,
                                      const ProgressHandler& progressHandler)
{
    std::shared_ptr<TestGate> gate;
    std::optional<QString> error;
    {
        std::lock_guard lock(m_mutex);
        gate = m_updateGates.value(application->bundleIdentifier());
        if (m_updateErrors.contains(application->bundleIdentifier()))
            error = m_updateErrors.value(application->bundleIdentifier());
    }
    if (progressHandler) {
        UpdateProgress value;
        value.id = QUuid::createUuid();
        value.application = application;
        value.currentStep = QStringLiteral("Starting update... (this may take a moment)");
        progressHandler(value);
    }
    if (gate)
        gate->pass();
    Update::Result result;
    result.id = QUuid::createUuid();
    result.application = application;
    result.success = !error.has_value();
    result.error = error;
    result.timestamp = QDateTime::currentDateTimeUtc();
    return result;
}

void FakeUpdateService::setCheckResult(QHash<QString, Update> updates)
{
    std::lock_guard lock(m_mutex);
    m_checkResult = std::move(updates);
}

void FakeUpdateService::setCheckFailure(std::optional<QString> description)
{
    std::lock_guard lock(m_mutex);
    m_checkFailure = std::move(description);
}

void FakeUpdateService::setUnreadSources(CheckFailures failures)
{
    std::lock_guard lock(m_mutex);
    m_unreadSources = std::move(failures);
}

void FakeUpdateService::setCheckGate(std::shared_ptr<TestGate> gate)
{
    std::lock_guard lock(m_mutex);
    m_checkGate = std::move(gate);
}

void FakeUpdateService::setUpdateError(const QString& bundleIdentifier, const QString& error)
{
    std::lock_guard lock(m_mutex);
    m_updateErrors.insert(bundleIdentifier, error);
}

void FakeUpdateService::setRefusal(std::optional<QString> description)
{
    std::lock_guard lock(m_mutex);
    m_refusal = std::move(description);
}

void FakeUpdateService::setUpdateGate(const QString& bundleIdentifier, std::shared_ptr<TestGate> gate)
{
    std::lock_guard lock(m_mutex);
    m_updateGates.insert(bundleIdentifier, std::move(gate));
}

QList<QStringList> FakeUpdateService::checks() const
{
    std::lock_guard lock(m_mutex);
    return m_checks;
}

QList<EnvironmentStatus> FakeUpdateService::checkStatuses() const
{
    std::lock_guard lock(m_mutex);
    return m_checkStatuses;
}

QStringList FakeUpdateService::singleUpdates() const
{
    std::lock_guard lock(m_mutex);
    return m_singleUpdates;
}

QList<QStringList> FakeUpdateService::chunks() const
{
    std::lock_guard lock(m_mutex);
    return m_chunks;
}

} // namespace norvelle::test
