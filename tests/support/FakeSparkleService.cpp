#include "FakeSparkleService.h"

#include "model/Application.h"
#include "model/NorvelleError.h"

namespace norvelle::test {

FakeSparkleService::FakeSparkleService() : SparkleService(nullptr, nullptr) {}

void FakeSparkleService::offerUpdate(const QString& bundleIdentifier, const Update& update)
{
    std::lock_guard lock(m_mutex);
    m_updates.insert(bundleIdentifier, update);
}

void FakeSparkleService::failCheck(const QString& bundleIdentifier)
{
    std::lock_guard lock(m_mutex);
    m_failing.insert(bundleIdentifier);
}

QStringList FakeSparkleService::calls() const
{
    std::lock_guard lock(m_mutex);
    return m_calls;
}

void FakeSparkleService::record(const QString& call) const
{
    std::lock_guard lock(m_mutex);
    m_calls.append(call);
}

std::optional<Update> FakeSparkleService::checkForUpdate(const std::shared_ptr<Application>& application)
{
    const QString key = application->bundleIdentifier();
    record(QStringLiteral("checkForUpdate ") + key);
    if (onCheck)
        onCheck(key);
    std::lock_guard lock(m_mutex);
    if (m_failing.contains(key))
        throw NorvelleError::sparkleUpdateFailed();
    const auto update = m_updates.constFind(key);
    return update == m_updates.cend() ? std::nullopt : std::optional<Update>(*update);
}

void FakeSparkleService::checkForUpdateAsync(const std::shared_ptr<Application>& application,
                                             CheckHandler handler)
{
    std::optional<Update> update;
    try {
        update = checkForUpdate(application);
    } catch (...) {
        handler(std::nullopt, std::current_exception());
        return;
    }
    handler(std::move(update), nullptr);
}

std::shared_ptr<HttpPrefetchBatch>
FakeSparkleService::prefetchChecks(const QList<std::shared_ptr<Application>>& applications)
{
    record(QStringLiteral("prefetchChecks ") + QString::number(applications.size()));
    if (onPrefetch)
        onPrefetch();
    return nullptr;
}

void FakeSparkleService::update(const std::shared_ptr<Application>& application,
                                ProgressHandler progressHandler)
{
    record(QStringLiteral("update ") + application->bundleIdentifier());
    if (onUpdate)
        onUpdate(application, progressHandler);
}

} // namespace norvelle::test
