#include "sources/sparkle/SparkleUpdateOperation.h"

#include "model/Application.h"
#include "model/NorvelleError.h"
#include "util/Error.h"

namespace norvelle {

SparkleUpdateOperation::SparkleUpdateOperation(std::shared_ptr<Application> application, UpdaterBundle bundle,
                                               SparkleInfo sparkleInfo,
                                               std::shared_ptr<const UpdaterFactory> factory)
    : SparkleDriver(std::move(bundle), std::move(factory)), m_application(std::move(application)),
      m_sparkleInfo(std::move(sparkleInfo))
{
}

void SparkleUpdateOperation::start()
{
    progress(Phase{Phase::Kind::checking});
    if (std::exception_ptr error = launch())
        fail(error);
}

void SparkleUpdateOperation::updateFound(const AppcastItem& item, UpdaterReply<UpdateChoice> reply)
{
    Q_UNUSED(item);
    post([this, reply] {
        progress(Phase{Phase::Kind::downloading});
        accept(reply);
    });
}

void SparkleUpdateOperation::updateNotFound(UpdaterAcknowledgement acknowledgement)
{
    // Posted before acknowledging, so the outcome precedes whatever the updater sends next.
    post([this] {
        progress(Phase::failed(QStringLiteral("No update found")));
        complete(std::make_exception_ptr(NorvelleError::noUpdateAvailable()));
    });
    acknowledgement();
}

void SparkleUpdateOperation::updaterFailed(const UpdaterError& error, UpdaterAcknowledgement acknowledgement)
{
    post([this, failure = std::make_exception_ptr(error)] { fail(failure); });
    acknowledgement();
}

void SparkleUpdateOperation::downloadStarted(std::function<void()> cancellation)
{
    Q_UNUSED(cancellation);
    progressLater(Phase{Phase::Kind::downloading});
}

void SparkleUpdateOperation::extractionStarted()
{
    progressLater(Phase{Phase::Kind::extracting});
}

void SparkleUpdateOperation::extractionProgressed(double fraction)
{
    Q_UNUSED(fraction);
    progressLater(Phase{Phase::Kind::extracting});
}

void SparkleUpdateOperation::readyToInstall(UpdaterReply<UpdateChoice> reply)
{
    post([this, reply] {
        progress(Phase{Phase::Kind::installing});
        accept(reply);
    });
}

void SparkleUpdateOperation::installing(bool applicationTerminated)
{
    Q_UNUSED(applicationTerminated);
    progressLater(Phase{Phase::Kind::installing});
}

void SparkleUpdateOperation::installed(bool relaunched, UpdaterAcknowledgement acknowledgement)
{
    Q_UNUSED(relaunched);
    post([this] {
        progress(Phase{Phase::Kind::completed});
        complete(nullptr);
    });
    acknowledgement();
}

void SparkleUpdateOperation::installedBeforeStop()
{
    // Quitting: no window is left to show the phase, only the outcome counts.
    complete(nullptr);
}

std::optional<QString> SparkleUpdateOperation::feedUrlString()
{
    return m_sparkleInfo.feedURL.toString(QUrl::FullyEncoded);
}

void SparkleUpdateOperation::closedWithoutOutcome()
{
    fail(std::make_exception_ptr(NorvelleError::sparkleUpdateFailed()));
}

void SparkleUpdateOperation::stoppedWithoutOutcome()
{
    complete(std::make_exception_ptr(CancelledError()));
}

void SparkleUpdateOperation::progress(const Phase& phase) const
{
    if (!hasOutcome() && m_progressHandler)
        m_progressHandler(phase);
}

void SparkleUpdateOperation::progressLater(Phase phase)
{
    post([this, phase] { progress(phase); });
}

void SparkleUpdateOperation::fail(std::exception_ptr error)
{
    progress(Phase::failed(describeException(error)));
    complete(error);
}

void SparkleUpdateOperation::complete(std::exception_ptr error)
{
    if (claimOutcome() && m_completionHandler)
        m_completionHandler(error);
}

void SparkleUpdateOperation::accept(const UpdaterReply<UpdateChoice>& reply) const
{
    reply(hasOutcome() ? UpdateChoice::skip : UpdateChoice::install);
}

} // namespace norvelle
