#pragma once

#include "sources/sparkle/SparkleService.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <functional>
#include <mutex>

namespace norvelle::test {

// A SparkleService that drives no updater: checkForUpdate answers from a scripted table (or
// fails for the identifiers marked failing), and every call is recorded
// ("checkForUpdate <id>", "update <id>"). Set the tables and hooks before the code runs.
class FakeSparkleService : public SparkleService {
public:
    FakeSparkleService();

    void offerUpdate(const QString& bundleIdentifier, const Update& update);
    // checkForUpdate throws for this identifier.
    void failCheck(const QString& bundleIdentifier);

    // Run in place of the install when set; may block or throw.
    std::function<void(const std::shared_ptr<Application>& application, const ProgressHandler& progress)>
        onUpdate;
    // Run at the start of every check when set (e.g. to hold checks at a gate).
    std::function<void(const QString& bundleIdentifier)> onCheck;
    // Run when the feeds are asked for ahead ("prefetchChecks <count>"), which fetches nothing here.
    std::function<void()> onPrefetch;

    QStringList calls() const;

    std::optional<Update> checkForUpdate(const std::shared_ptr<Application>& application) override;
    // Answers at once, inside the call, with what checkForUpdate answers.
    void checkForUpdateAsync(const std::shared_ptr<Application>& application, CheckHandler handler) override;
    void update(const std::shared_ptr<Application>& application, ProgressHandler progressHandler) override;
    std::shared_ptr<HttpPrefetchBatch>
    prefetchChecks(const QList<std::shared_ptr<Application>>& applications) override;

private:
    void record(const QString& call) const;

    mutable std::mutex m_mutex;
    mutable QStringList m_calls;
    QHash<QString, Update> m_updates;
    QSet<QString> m_failing;
};

} // namespace norvelle::test
