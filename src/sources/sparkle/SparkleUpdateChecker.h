#pragma once

#include "sources/sparkle/SparkleDriver.h"
#include "sources/sparkle/SparkleUpdate.h"

#include <QString>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace norvelle {

class Application;

// Runs one update check of another application and reports the newest item of its
// appcast as a SparkleUpdate; it never installs anything. An updater error (logged), an
// updater that cannot start, or a cycle that closes without any answer ends the check as
// failed: only an appcast that was read can say there is no update.
class SparkleUpdateChecker : public SparkleDriver {
public:
    // Success: update present when one is offered, none when not; failure: error set.
    using Completion = std::function<void(std::optional<SparkleUpdate> update, std::exception_ptr error)>;

    // The feed is the one discovery accepted for the application (its sparkleInfo);
    // an application without one is checked with its bundle's "SUFeedURL".
    SparkleUpdateChecker(std::shared_ptr<Application> application, UpdaterBundle bundle,
                         std::shared_ptr<const UpdaterFactory> factory, Completion completion);

    void start();

    void updateFound(const AppcastItem& item, UpdaterReply<UpdateChoice> reply) override;
    void updateNotFound(UpdaterAcknowledgement acknowledgement) override;
    void updaterFailed(const UpdaterError& error, UpdaterAcknowledgement acknowledgement) override;
    void readyToInstall(UpdaterReply<UpdateChoice> reply) override;
    void installed(bool relaunched, UpdaterAcknowledgement acknowledgement) override;

    std::optional<QString> feedUrlString() override;

protected:
    void closedWithoutOutcome() override;
    void stoppedWithoutOutcome() override;

private:
    SparkleUpdate makeUpdate(const AppcastItem& item) const;
    void finish(std::optional<SparkleUpdate> update, std::exception_ptr error);

    std::shared_ptr<Application> m_application;
    QString m_feedURL;
    Completion m_completion;
};

} // namespace norvelle
