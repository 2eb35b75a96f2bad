#include "sources/sparkle/SparkleService.h"

#include "util/ScopeExit.h"

#include "model/Application.h"
#include "model/NorvelleError.h"
#include "platform/http/HttpClient.h"
#include "platform/updater/UpdaterBundle.h"
#include "sources/sparkle/ReleaseNotesConverter.h"
#include "sources/sparkle/SparkleUpdateChecker.h"
#include "sources/sparkle/SparkleUpdateOperation.h"
#include "util/Async.h"
#include "platform/Logger.h"
#include "util/StrictText.h"

#include <future>
#include <utility>
#include <variant>

namespace norvelle {

namespace {

using Phase = SparkleUpdateOperation::Phase;

// The outcome a waiting call receives from the main thread: set once, later attempts
// are ignored. Only touched on the main thread; the waiting side holds the future.
template <typename T> class Outcome {
public:
    std::future<T> future() { return m_promise.get_future(); }

    void resume(T value)
    {
        if (!std::exchange(m_done, true))
            m_promise.set_value(std::move(value));
    }

    void fail(std::exception_ptr error)
    {
        if (!std::exchange(m_done, true))
            m_promise.set_exception(error);
    }

private:
    std::promise<T> m_promise;
    bool m_done = false;
};

template <typename T> T await(std::future<T>& future)
{
    try {
        return future.get();
    } catch (const std::future_error& error) {
        // The driver went away unheard: the application is shutting down.
        if (error.code() == std::future_errc::broken_promise)
            throw CancelledError();
        throw;
    }
}

std::pair<QString, double> progressReport(const Phase& phase)
{
    switch (phase.kind) {
    case Phase::Kind::checking:
        return {QStringLiteral("Checking for updates..."), 0.1};
    case Phase::Kind::downloading:
        return {QStringLiteral("Downloading update..."), 0.4};
    case Phase::Kind::extracting:
        return {QStringLiteral("Extracting update..."), 0.7};
    case Phase::Kind::installing:
        return {QStringLiteral("Installing update..."), 0.9};
    case Phase::Kind::completed:
        return {QStringLiteral("Update completed successfully"), 1.0};
    case Phase::Kind::failed:
        break;
    }
    return {phase.reason, 0.0};
}

std::optional<QUrl> parseUrl(const QString& text)
{
    if (text.isEmpty())
        return std::nullopt;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

std::optional<UpdaterBundle> loadBundle(const QUrl& path)
{
    if (!path.isLocalFile())
        return std::nullopt;
    return UpdaterBundle::load(path.toLocalFile());
}

} // namespace

SparkleService::SparkleService(std::shared_ptr<const UpdaterFactory> updaterFactory,
                               std::shared_ptr<const HttpClient> releaseNotesClient)
    : m_updaterFactory(std::move(updaterFactory)), m_releaseNotesClient(std::move(releaseNotesClient))
{
}

SparkleService::~SparkleService() = default;

std::optional<SparkleUpdate>
SparkleService::performUpdateCheck(const std::shared_ptr<Application>& application)
{
    Q_ASSERT_X(!isMainThread(), "SparkleService", "blocking call made on the main thread");
    const Application::Snapshot snapshot = application->snapshot();
    std::optional<UpdaterBundle> bundle = loadBundle(snapshot.path);
    if (!bundle)
        throw NorvelleError::failedToLoadBundle();

    auto outcome = std::make_shared<Outcome<std::optional<SparkleUpdate>>>();
    std::future<std::optional<SparkleUpdate>> future = outcome->future();
    // Created and started on the main thread; the checker keeps itself alive until its
    // cycle is over, and answers through the outcome.
    invokeOnMain([&] {
        const auto checker = std::make_shared<SparkleUpdateChecker>(
            application, std::move(*bundle), m_updaterFactory,
            [outcome](std::optional<SparkleUpdate> update, std::exception_ptr error) {
                if (error)
                    outcome->fail(error);
                else
                    outcome->resume(std::move(update));
            });
        checker->start();
    });
    return await(future);
}

std::optional<Update> SparkleService::checkForUpdate(const std::shared_ptr<Application>& application)
{
    const std::optional<SparkleUpdate> found = performUpdateCheck(application);
    if (!found)
        return std::nullopt;
    const Application::Snapshot snapshot = application->snapshot();
    {
        std::lock_guard lock(m_mutex);
        m_sparkleUpdates.insert(snapshot.bundleIdentifier, *found);
    }

    const std::optional<QUrl> feedURL = parseUrl(found->feedURL);
    if (!feedURL) {
        Logger::warning(QStringLiteral("Sparkle update for ") + snapshot.name +
                        QStringLiteral(" ignored: its feed URL is not valid: ") + found->feedURL);
        return std::nullopt;
    }
    SparkleInfo info;
    info.feedURL = *feedURL;
    if (found->releaseNotesURL)
        info.releaseNotesURL = parseUrl(*found->releaseNotesURL);
    info.supportsAutomaticUpdates = true;

    Update update;
    update.latestVersion = found->availableVersion;
    update.releaseNotes = releaseNotes(*found);
    update.releaseDate = found->publishedDate;
    update.source = Update::Source::sparkle;
    update.status = Update::Status::available;
    update.sparkleInfo = info;
    return update;
}

std::optional<QString> SparkleService::releaseNotes(const SparkleUpdate& update) const
{
    std::optional<QString> notes;
    if (update.releaseNotes)
        notes = ReleaseNotesConverter::convertHTMLToMarkdown(*update.releaseNotes);
    if (notes || !update.releaseNotesURL)
        return notes;
    return fetchReleaseNotes(*update.releaseNotesURL);
}

std::optional<QString> SparkleService::fetchReleaseNotes(const QString& address) const
{
    const std::optional<QUrl> url = parseUrl(address);
    if (!url)
        return std::nullopt;
    if (url->scheme() != QLatin1String("http") && url->scheme() != QLatin1String("https")) {
        Logger::warning(QStringLiteral("Release notes not fetched, the URL is not http or https: ") +
                        address);
        return std::nullopt;
    }
    HttpResponse response;
    try {
        // Whatever body arrives is used, whatever the status.
        response = m_releaseNotesClient->get(*url);
    } catch (const std::exception& error) {
        Logger::error(QStringLiteral("Failed to fetch release notes from URL: ") + describeException(error));
        return std::nullopt;
    }
    const std::optional<QString> text = decodeUtf8Strict(response.body);
    if (!text)
        return std::nullopt;
    return ReleaseNotesConverter::convertHTMLToMarkdown(*text);
}

void SparkleService::update(const std::shared_ptr<Application>& application, ProgressHandler progressHandler)
{
    Q_ASSERT_X(!isMainThread(), "SparkleService", "blocking call made on the main thread");
    const Application::Snapshot snapshot = application->snapshot();
    const QString key = snapshot.bundleIdentifier;
    {
        // Reserved at once, so a second install of the application is refused however
        // early it comes; released whichever way this call ends.
        std::lock_guard lock(m_mutex);
        if (m_activeUpdateOperations.contains(key))
            throw NorvelleError::updateAlreadyInProgress();
        m_activeUpdateOperations.insert(key, nullptr);
    }
    const ScopeExit release([this, &key] {
        std::shared_ptr<SparkleUpdateOperation> operation;
        {
            std::lock_guard lock(m_mutex);
            operation = m_activeUpdateOperations.take(key);
        }
        // Drivers and their updaters live and die on the main thread.
        if (operation)
            postToMain([operation = std::move(operation)] {});
    });

    Logger::info(QStringLiteral("Starting Sparkle update for ") + snapshot.name);
    std::optional<UpdaterBundle> bundle = loadBundle(snapshot.path);
    if (!bundle)
        throw NorvelleError::failedToLoadBundle();
    if (!snapshot.update || !snapshot.update->sparkleInfo)
        throw NorvelleError::sparkleNotFound();

    auto outcome = std::make_shared<Outcome<std::monostate>>();
    std::future<std::monostate> future = outcome->future();
    invokeOnMain([&] {
        const auto operation = std::make_shared<SparkleUpdateOperation>(
            application, std::move(*bundle), *snapshot.update->sparkleInfo, m_updaterFactory);
        operation->setProgressHandler([progressHandler](const Phase& phase) {
            if (!progressHandler)
                return;
            const auto [message, fraction] = progressReport(phase);
            progressHandler(message, fraction);
        });
        {
            std::lock_guard lock(m_mutex);
            m_activeUpdateOperations.insert(key, operation);
        }
        operation->setCompletionHandler([outcome](std::exception_ptr error) {
            if (error)
                outcome->fail(error);
            else
                outcome->resume({});
        });
        operation->start();
    });
    await(future);
}

} // namespace norvelle
