#include "FakeAppCoordinator.h"

#include "TestGate.h"

namespace norvelle::test {

QString FakeAppCoordinator::name(Operation operation)
{
    switch (operation) {
    case Operation::discoverApplications:
        return QStringLiteral("discoverApplications");
    case Operation::checkForUpdates:
        return QStringLiteral("checkForUpdates");
    case Operation::refreshApplication:
        return QStringLiteral("refreshApplication");
    case Operation::updateApplication:
        return QStringLiteral("updateApplication");
    case Operation::ignoreApplication:
        return QStringLiteral("ignoreApplication");
    case Operation::unignoreApplication:
        return QStringLiteral("unignoreApplication");
    case Operation::skipVersion:
        return QStringLiteral("skipVersion");
    case Operation::unskipVersion:
        return QStringLiteral("unskipVersion");
    case Operation::adoptApplication:
        return QStringLiteral("adoptApplication");
    case Operation::verifyCustomCask:
        return QStringLiteral("verifyCustomCask");
    }
    return {};
}

void FakeAppCoordinator::setFailure(Operation operation, std::exception_ptr error)
{
    std::lock_guard lock(m_mutex);
    m_failures.insert(static_cast<int>(operation), std::move(error));
}

void FakeAppCoordinator::clearFailure(Operation operation)
{
    std::lock_guard lock(m_mutex);
    m_failures.remove(static_cast<int>(operation));
}

void FakeAppCoordinator::setGate(Operation operation, std::shared_ptr<TestGate> gate)
{
    std::lock_guard lock(m_mutex);
    m_gates.insert(static_cast<int>(operation), std::move(gate));
}

void FakeAppCoordinator::setUpdateScript(UpdateScript script)
{
    std::lock_guard lock(m_mutex);
    m_updateScript = std::move(script);
}

void FakeAppCoordinator::setAdoptionScript(AdoptionScript script)
{
    std::lock_guard lock(m_mutex);
    m_adoptionScript = std::move(script);
}

QStringList FakeAppCoordinator::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

int FakeAppCoordinator::callCount(Operation operation) const
{
    std::lock_guard lock(m_mutex);
    return m_counts.value(static_cast<int>(operation));
}

void FakeAppCoordinator::enter(Operation operation, const QString& detail)
{
    std::shared_ptr<TestGate> gate;
    {
        std::lock_guard lock(m_mutex);
        m_calls.append(detail.isEmpty() ? name(operation) : name(operation) + QLatin1Char(' ') + detail);
        ++m_counts[static_cast<int>(operation)];
        gate = m_gates.value(static_cast<int>(operation));
    }
    if (gate)
        gate->pass();
    std::exception_ptr failure;
    {
        std::lock_guard lock(m_mutex);
        failure = m_failures.value(static_cast<int>(operation));
    }
    if (failure)
        std::rethrow_exception(failure);
}

QList<SourceFailure> FakeAppCoordinator::discoverApplications()
{
    enter(Operation::discoverApplications);
    return AppCoordinator::discoverApplications();
}

void FakeAppCoordinator::checkForUpdates()
{
    enter(Operation::checkForUpdates);
    AppCoordinator::checkForUpdates();
}

std::optional<SourceFailure> FakeAppCoordinator::refreshApplication(const ApplicationPtr& application)
{
    enter(Operation::refreshApplication, application->name());
    return AppCoordinator::refreshApplication(application);
}

Update::Result FakeAppCoordinator::updateApplication(const ApplicationPtr& application,
                                                     const UpdateProgressHandler& progress)
{
    enter(Operation::updateApplication, application->name());
    UpdateScript script;
    {
        std::lock_guard lock(m_mutex);
        script = m_updateScript;
    }
    return script ? script(application, progress) : AppCoordinator::updateApplication(application, progress);
}

void FakeAppCoordinator::ignoreApplication(const ApplicationPtr& application)
{
    enter(Operation::ignoreApplication, application->name());
    AppCoordinator::ignoreApplication(application);
}

void FakeAppCoordinator::unignoreApplication(const ApplicationPtr& application)
{
    enter(Operation::unignoreApplication, application->name());
    AppCoordinator::unignoreApplication(application);
}

void FakeAppCoordinator::skipVersion(const ApplicationPtr& application)
{
    enter(Operation::skipVersion, application->name());
    AppCoordinator::skipVersion(application);
}

void FakeAppCoordinator::unskipVersion(const ApplicationPtr& application)
{
    enter(Operation::unskipVersion, application->name());
    AppCoordinator::unskipVersion(application);
}

void FakeAppCoordinator::adoptApplication(const ApplicationPtr& application,
                                          const AdoptionProgressHandler& progress)
{
    enter(Operation::adoptApplication, application->name());
    AdoptionScript script;
    {
        std::lock_guard lock(m_mutex);
        script = m_adoptionScript;
    }
    if (script)
        script(application, progress);
    else
        AppCoordinator::adoptApplication(application, progress);
}

void FakeAppCoordinator::verifyCustomCask(const ApplicationPtr& application, const QString& caskName,
                                          const std::optional<QString>& tap)
{
    enter(Operation::verifyCustomCask, application->name() + QLatin1Char(' ') + caskName + QLatin1Char(' ') +
                                           tap.value_or(QStringLiteral("-")));
    AppCoordinator::verifyCustomCask(application, caskName, tap);
}

} // namespace norvelle::test
