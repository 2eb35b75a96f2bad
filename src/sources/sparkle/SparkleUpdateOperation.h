#pragma once

#include "model/SparkleInfo.h"
#include "sources/sparkle/SparkleDriver.h"

#include <QString>
#include <exception>
#include <functional>
#include <memory>

namespace norvelle {

class Application;

// Runs one install of another application's update: accepts every offer its updater
// makes, reports the course of the install as phases, and reports the outcome once.
// No phase is reported after the outcome, so a caller may forget its handler then.
class SparkleUpdateOperation : public SparkleDriver {
public:
    struct Phase {
        enum class Kind { failed, checking, downloading, extracting, installing, completed };
        Kind kind = Kind::checking;
        QString reason{}; // why, for failed only

        static Phase failed(QString reason) { return {Kind::failed, std::move(reason)}; }
        bool operator==(const Phase& other) const = default;
    };
    using ProgressHandler = std::function<void(const Phase& phase)>;
    // No error: the update is installed.
    using CompletionHandler = std::function<void(std::exception_ptr error)>;

    // The install uses sparkleInfo's feed.
    SparkleUpdateOperation(std::shared_ptr<Application> application, UpdaterBundle bundle,
                           SparkleInfo sparkleInfo, std::shared_ptr<const UpdaterFactory> factory);

    void setProgressHandler(ProgressHandler handler) { m_progressHandler = std::move(handler); }
    void setCompletionHandler(CompletionHandler handler) { m_completionHandler = std::move(handler); }

    void start();

    void updateFound(const AppcastItem& item, UpdaterReply<UpdateChoice> reply) override;
    void updateNotFound(UpdaterAcknowledgement acknowledgement) override;
    void updaterFailed(const UpdaterError& error, UpdaterAcknowledgement acknowledgement) override;
    void downloadStarted(std::function<void()> cancellation) override;
    void extractionStarted() override;
    void extractionProgressed(double fraction) override;
    void readyToInstall(UpdaterReply<UpdateChoice> reply) override;
    void installing(bool applicationTerminated) override;
    void installed(bool relaunched, UpdaterAcknowledgement acknowledgement) override;
    void installedBeforeStop() override;

    std::optional<QString> feedUrlString() override;

protected:
    void closedWithoutOutcome() override;
    void stoppedWithoutOutcome() override;

private:
    void progress(const Phase& phase) const;
    void progressLater(Phase phase);
    void fail(std::exception_ptr error);
    void complete(std::exception_ptr error);
    // Install, unless the outcome is already out: then nothing more may happen.
    void accept(const UpdaterReply<UpdateChoice>& reply) const;

    std::shared_ptr<Application> m_application;
    SparkleInfo m_sparkleInfo;
    ProgressHandler m_progressHandler;
    CompletionHandler m_completionHandler;
};

} // namespace norvelle
