#pragma once

#include "services/IgnoreService.h"

#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <mutex>
#include <optional>

namespace norvelle::test {

class TestGate;

namespace detail {
// Made before the service, so its folder exists when the service's start-up task runs.
struct TemporaryFolderHolder {
    QTemporaryDir folder;
};
} // namespace detail

// The real ignore list in a temporary folder, with every mutator call recorded (as
// "ignoreApp com.example.a", "ignoreVersion com.example.a 2.0", …) and a failure
// that the test can switch on: the mutator then throws before anything changes.
class FakeIgnoreService : private detail::TemporaryFolderHolder, public IgnoreService {
public:
    FakeIgnoreService();

    void ignoreApp(const QString& bundleIdentifier) override;
    void unignoreApp(const QString& bundleIdentifier) override;
    void ignoreVersion(const QString& bundleIdentifier, const QString& version) override;
    void unignoreVersion(const QString& bundleIdentifier) override;

    // Every mutator throws norvelle::Error with this text while it is set.
    void setFailure(std::optional<QString> description);
    // unignoreVersion waits at this gate before it does anything.
    void setUnignoreVersionGate(std::shared_ptr<TestGate> gate);
    QStringList calls() const;

private:
    void record(const QString& call);

    mutable std::mutex m_mutex;
    QStringList m_calls;
    std::optional<QString> m_failure;
    std::shared_ptr<TestGate> m_unignoreVersionGate;
};

} // namespace norvelle::test
