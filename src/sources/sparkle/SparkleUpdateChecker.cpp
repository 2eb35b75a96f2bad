#include "sources/sparkle/SparkleUpdateChecker.h"

#include "model/Application.h"
#include "model/NorvelleError.h"
#include "platform/Logger.h"
#include "util/Error.h"

#include <limits>

namespace norvelle {

namespace {

QString feedOf(const Application& application, const UpdaterBundle& bundle)
{
    const std::optional<SparkleInfo> info = application.sparkleInfo();
    if (info && !info->feedURL.isEmpty())
        return info->feedURL.toString(QUrl::FullyEncoded);
    return bundle.string(QStringLiteral("SUFeedURL"));
}

QString availableVersion(const AppcastItem& item)
{
    if (!item.versionString.isEmpty() && item.versionString != item.displayVersionString)
        return item.displayVersionString + QLatin1Char(',') + item.versionString;
    return item.displayVersionString;
}

} // namespace

SparkleUpdateChecker::SparkleUpdateChecker(std::shared_ptr<Application> application, UpdaterBundle bundle,
                                           std::shared_ptr<const UpdaterFactory> factory,
                                           Completion completion)
    : SparkleDriver(std::move(bundle), std::move(factory)), m_application(std::move(application)),
      m_completion(std::move(completion))
{
    m_feedURL = feedOf(*m_application, this->bundle());
}

void SparkleUpdateChecker::start()
{
    if (std::exception_ptr error = launch())
        finish(std::nullopt, error);
}

void SparkleUpdateChecker::updateFound(const AppcastItem& item, UpdaterReply<UpdateChoice> reply)
{
    post([this, item, reply] {
        if (!hasOutcome()) {
            const SparkleUpdate update = makeUpdate(item);
            Logger::info(QStringLiteral("Sparkle found update for ") + m_application->name() +
                         QStringLiteral(": ") + update.currentVersion + QStringLiteral(" New: ") +
                         update.availableVersion);
            finish(update, nullptr);
        }
        reply(UpdateChoice::skip);
    });
}

void SparkleUpdateChecker::updateNotFound(UpdaterAcknowledgement acknowledgement)
{
    // Posted before acknowledging, so the answer precedes whatever the updater sends next.
    post([this] { finish(std::nullopt, nullptr); });
    acknowledgement();
}

void SparkleUpdateChecker::updaterFailed(const UpdaterError& error, UpdaterAcknowledgement acknowledgement)
{
    // A feed that could not be read said nothing about updates: the check fails with the
    // updater's reason, so what was known before stays.
    post([this, error] {
        if (!hasOutcome())
            Logger::warning(QStringLiteral("Sparkle update check failed for ") + m_application->name() +
                            QStringLiteral(": ") + error.description());
        finish(std::nullopt, std::make_exception_ptr(error));
    });
    acknowledgement();
}

void SparkleUpdateChecker::readyToInstall(UpdaterReply<UpdateChoice> reply)
{
    // A checker installs nothing; the dropped reply declines.
    Q_UNUSED(reply);
}

void SparkleUpdateChecker::installed(bool relaunched, UpdaterAcknowledgement acknowledgement)
{
    Q_UNUSED(relaunched);
    acknowledgement();
}

std::optional<QString> SparkleUpdateChecker::feedUrlString()
{
    if (m_feedURL.isEmpty())
        return std::nullopt;
    return m_feedURL;
}

void SparkleUpdateChecker::closedWithoutOutcome()
{
    finish(std::nullopt, std::make_exception_ptr(NorvelleError::sparkleUpdateFailed()));
}

void SparkleUpdateChecker::stoppedWithoutOutcome()
{
    finish(std::nullopt, std::make_exception_ptr(CancelledError()));
}

SparkleUpdate SparkleUpdateChecker::makeUpdate(const AppcastItem& item) const
{
    const Application::Snapshot application = m_application->snapshot();
    SparkleUpdate update;
    update.applicationId = application.id.toString(QUuid::WithoutBraces).toUpper();
    update.bundleIdentifier = application.bundleIdentifier;
    update.feedURL = m_feedURL;
    update.currentVersion = application.currentVersion;
    update.availableVersion = availableVersion(item);
    update.releaseNotes = item.itemDescription;
    if (!item.releaseNotesUrl.isEmpty())
        update.releaseNotesURL = item.releaseNotesUrl.toString(QUrl::FullyEncoded);
    if (!item.fileUrl.isEmpty())
        update.downloadURL = item.fileUrl.toString(QUrl::FullyEncoded);
    if (item.date.isValid())
        update.publishedDate = item.date;
    // A length beyond the signed range is no size anyone could download; treat it as unknown.
    if (item.contentLength != 0 && item.contentLength <= quint64(std::numeric_limits<qint64>::max()))
        update.fileSize = qint64(item.contentLength);
    return update;
}

void SparkleUpdateChecker::finish(std::optional<SparkleUpdate> update, std::exception_ptr error)
{
    if (claimOutcome() && m_completion)
        m_completion(std::move(update), error);
}

} // namespace norvelle
