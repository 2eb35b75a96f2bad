// The update-running half of UpdateService: one run per application, with its progress
// values, and the batch.

#include "services/UpdateService.h"

#include "util/ScopeExit.h"

#include "model/NorvelleError.h"
#include "platform/Logger.h"
#include "sources/ToolRunner.h"
#include "sources/brew/BrewService.h"
#include "sources/mas/MASService.h"
#include "services/VersionOrdering.h"
#include "sources/sparkle/SparkleService.h"

#include <QDateTime>
#include <QUuid>
#include <algorithm>

namespace norvelle {

namespace {

Update::Result makeResult(const std::shared_ptr<Application>& application, std::optional<QString> error)
{
    Update::Result result;
    result.id = QUuid::createUuid();
    result.application = application;
    result.success = !error.has_value();
    result.error = std::move(error);
    result.timestamp = QDateTime::currentDateTime();
    return result;
}

} // namespace

// One update run. Every value it reports is made, stored and handed on under the run's own
// lock, so values from the adapter's two output readers (or from the main thread for
// Sparkle) reach the handler one at a time, in the order they were stored, and the output
// lines are never appended concurrently. Once the run has ended, late callbacks are dropped.
class UpdateService::Run {
public:
    Run(UpdateService& service, std::shared_ptr<Application> application, QString key,
        UpdateService::ProgressHandler handler)
        : m_service(service), m_application(std::move(application)), m_key(std::move(key)),
          m_handler(std::move(handler)), m_startTime(QDateTime::currentDateTime())
    {
    }

    void report(UpdateProgress::Status status, double progress, const QString& step)
    {
        std::lock_guard lock(m_mutex);
        if (!m_closed)
            reportLocked(status, progress, step, {});
    }

    void reportLine(const QString& line, double fraction)
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return;
        m_lines.append(line);
        reportLocked(UpdateService::updateProgressStatus(line), fraction, line, m_lines);
    }

    void reportMessage(const QString& message, double fraction)
    {
        report(UpdateService::updateProgressStatus(message), fraction, message);
    }

    // The last value of the run; nothing is reported after it.
    void reportCompleted()
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return;
        reportLocked(UpdateProgress::Status::completed, 1.0, QStringLiteral("Update completed successfully"),
                     {});
        m_closed = true;
    }

    void reportFailed(const QString& description)
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return;
        const std::optional<UpdateProgress> current = m_service.currentProgress(m_key);
        const QStringList output = current ? current->brewOutput : QStringList();
        reportLocked(UpdateProgress::Status::failed, 0.0, description, output);
        m_closed = true;
    }

    void close()
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
    }

private:
    void reportLocked(UpdateProgress::Status status, double progress, const QString& step,
                      const QStringList& output)
    {
        UpdateProgress value;
        value.id = QUuid::createUuid();
        value.application = m_application;
        value.status = status;
        value.progress = progress;
        value.currentStep = step;
        value.startTime = m_startTime;
        value.brewOutput = output;
        m_service.store(m_key, value);
        if (m_handler)
            m_handler(value);
    }

    UpdateService& m_service;
    const std::shared_ptr<Application> m_application;
    const QString m_key;
    const UpdateService::ProgressHandler m_handler;
    const QDateTime m_startTime;

    std::mutex m_mutex;
    QStringList m_lines;
    bool m_closed = false;
};

Update::Result UpdateService::updateApplication(const std::shared_ptr<Application>& application,
                                                const ProgressHandler& progressHandler)
{
    // One consistent reading of the update and the cask, taken before anything runs.
    const Application::Snapshot snapshot = application->snapshot();
    if (!snapshot.update)
        throw NorvelleError::noUpdateAvailable();
    const Update& update = *snapshot.update;
    const QString key = snapshot.bundleIdentifier;
    {
        std::lock_guard lock(m_mutex);
        if (m_activeUpdates.contains(key))
            throw NorvelleError::updateAlreadyInProgress();
        m_activeUpdates.insert(key);
    }
    const ScopeExit release([this, &key] { finishRun(key); });
    Logger::info(QStringLiteral("Updating ") + snapshot.name + QStringLiteral(" via ") +
                 toRawValue(update.source));

    // Shared with the adapter's callbacks, which could in principle outlive this call.
    const auto run = std::make_shared<Run>(*this, application, key, progressHandler);
    const ScopeExit close([&run] { run->close(); });
    run->report(UpdateProgress::Status::queued, 0.0,
                QStringLiteral("Starting update... (this may take a moment)"));

    try {
        // An update kept from a source the application has left (adopted into Homebrew, gone from
        // the store) would be installed over what now manages it.
        if (!hasRoute(update, snapshot.source))
            throw Error(QStringLiteral("The source that offered this update no longer manages this "
                                       "application; check for updates again"));
        switch (update.source) {
        case Update::Source::homebrew:
            if (!snapshot.cask)
                throw NorvelleError::missingCaskInfo();
            m_brewService->upgradeCask(snapshot.cask->caskName, [run](const QString& line, double fraction) {
                run->reportLine(line, fraction);
            });
            break;
        case Update::Source::appStore:
            if (!update.mas)
                throw NorvelleError::missingMASInfo();
            m_masService->upgrade(update.mas->appID, [run](const QString& message, double fraction) {
                run->reportMessage(message, fraction);
            });
            break;
        case Update::Source::sparkle:
            run->report(UpdateProgress::Status::downloading, 0.1,
                        QStringLiteral("Starting Sparkle update... (this may take a moment)"));
            m_sparkleService->update(application, [run](const QString& message, double fraction) {
                run->reportMessage(message, fraction);
            });
            break;
        case Update::Source::other:
            throw NorvelleError::unsupportedUpdateSource();
        }
    } catch (...) {
        const QString description = describeException(std::current_exception());
        run->reportFailed(description);
        if (ToolRunner::isEndedByQuitting(std::current_exception()))
            Logger::info(QStringLiteral("Update of ") + snapshot.name + QStringLiteral(" ended by quitting"));
        else
            Logger::error(QStringLiteral("Failed to update ") + snapshot.name + QStringLiteral(": ") +
                          description);
        return makeResult(application, description);
    }

    run->reportCompleted();
    Logger::info(QStringLiteral("Successfully updated ") + snapshot.name);
    return makeResult(application, std::nullopt);
}

QList<Update::Result> UpdateService::updateAll(const QList<std::shared_ptr<Application>>& applications,
                                               const ProgressHandler& progressHandler)
{
    Logger::info(QStringLiteral("Updating ") + QString::number(applications.size()) +
                 QStringLiteral(" applications"));
    QList<Update::Result> results;
    results.reserve(applications.size());
    for (const std::shared_ptr<Application>& application : applications) {
        try {
            results.append(updateApplication(application, progressHandler));
        } catch (...) {
            results.append(makeResult(application, describeException(std::current_exception())));
        }
    }
    const auto successful = std::count_if(results.cbegin(), results.cend(),
                                          [](const Update::Result& result) { return result.success; });
    Logger::info(QStringLiteral("Update batch complete: ") + QString::number(successful) + u'/' +
                 QString::number(applications.size()) + QStringLiteral(" successful"));
    return results;
}

bool UpdateService::hasRoute(const Update& update, const QList<Application::Source>& sources)
{
    return sources.contains(toApplicationSource(update.source));
}

bool UpdateService::isNewerThan(const Update& update, const QString& installedVersion)
{
    return VersionOrdering::compareVersions(update.latestVersion, installedVersion, update.source,
                                            update.source) > 0;
}

UpdateProgress::Status UpdateService::updateProgressStatus(const QString& text)
{
    static const std::pair<const char*, UpdateProgress::Status> kKeywords[] = {
        {"download", UpdateProgress::Status::downloading}, {"install", UpdateProgress::Status::installing},
        {"moving", UpdateProgress::Status::verifying},     {"verif", UpdateProgress::Status::verifying},
        {"link", UpdateProgress::Status::verifying},       {"complete", UpdateProgress::Status::completed},
        {"success", UpdateProgress::Status::completed},    {"fail", UpdateProgress::Status::failed},
        {"error", UpdateProgress::Status::failed},
    };
    const QString lower = text.toLower();
    for (const auto& [keyword, status] : kKeywords) {
        if (lower.contains(QLatin1String(keyword)))
            return status;
    }
    return UpdateProgress::Status::downloading;
}

QSet<QString> UpdateService::activeUpdates() const
{
    std::lock_guard lock(m_mutex);
    return m_activeUpdates;
}

std::optional<UpdateProgress> UpdateService::currentProgress(const QString& bundleIdentifier) const
{
    std::lock_guard lock(m_mutex);
    const auto entry = m_updateProgress.constFind(bundleIdentifier);
    if (entry == m_updateProgress.cend())
        return std::nullopt;
    return *entry;
}

void UpdateService::store(const QString& key, const UpdateProgress& value)
{
    std::lock_guard lock(m_mutex);
    m_updateProgress.insert(key, value);
}

void UpdateService::finishRun(const QString& key)
{
    std::lock_guard lock(m_mutex);
    m_activeUpdates.remove(key);
    m_updateProgress.remove(key);
}

} // namespace norvelle
