#include "sources/sparkle/SparkleService.h"

#include "util/ScopeExit.h"

#include "model/Application.h"
#include "model/NorvelleError.h"
#include "platform/Logger.h"
#include "platform/http/HttpClient.h"
#include "platform/updater/UpdaterBundle.h"
#include "platform/updater/UpdaterFactory.h"
#include "sources/sparkle/SparkleUpdateChecker.h"
#include "sources/sparkle/SparkleUpdateOperation.h"
#include "util/Async.h"

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

// One check waiting for its driver's outcome. It ends once: with the outcome, with the
// cancellation of quitting, or when its start is dropped unrun (the main loop has ended).
struct SparkleService::PendingCheck {
    std::mutex mutex;
    FoundHandler handler;

    // True for the one call that ends the check.
    FoundHandler claim()
    {
        std::lock_guard lock(mutex);
        return std::exchange(handler, nullptr);
    }
};

void SparkleService::startUpdateCheck(const std::shared_ptr<Application>& application, FoundHandler handler)
{
    Q_ASSERT_X(!isMainThread(), "SparkleService", "check started on the main thread");
    const Application::Snapshot snapshot = application->snapshot();
    std::optional<UpdaterBundle> bundle = loadBundle(snapshot.path);
    if (!bundle) {
        handler(std::nullopt, std::make_exception_ptr(NorvelleError::failedToLoadBundle()));
        return;
    }

    auto pending = std::make_shared<PendingCheck>();
    pending->handler = std::move(handler);
    {
        std::lock_guard lock(m_mutex);
        m_pendingChecks.insert(pending);
    }
    // Ends the check from whichever side comes first; the rest of the check runs off the main
    // thread.
    auto end = [this, weak = std::weak_ptr<PendingCheck>(pending)](std::optional<SparkleUpdate> update,
                                                                   std::exception_ptr error) {
        const std::shared_ptr<PendingCheck> check = weak.lock();
        if (!check)
            return;
        FoundHandler deliver = check->claim();
        if (!deliver)
            return;
        {
            std::lock_guard lock(m_mutex);
            m_pendingChecks.erase(check);
        }
        networkPool().start([deliver = std::move(deliver), update = std::move(update), error]() mutable {
            deliver(std::move(update), error);
        });
    };
    // Cancels the check when the main thread drops the start without running it.
    struct StartGuard {
        std::function<void()> onDrop;
        ~StartGuard()
        {
            if (onDrop)
                onDrop();
        }
    };
    auto guard = std::make_shared<StartGuard>();
    guard->onDrop = [end] { end(std::nullopt, std::make_exception_ptr(CancelledError())); };
    // Created and started on the main thread; the checker keeps itself alive until its cycle
    // is over, and answers through `end`.
    postToMainInTurn(
        [this, guard, end, application, bundle = std::move(*bundle), factory = m_updaterFactory]() mutable {
            guard->onDrop = nullptr;
            const auto checker = std::make_shared<SparkleUpdateChecker>(
                application, std::move(bundle), factory,
                [end](std::optional<SparkleUpdate> update, std::exception_ptr error) {
                    end(std::move(update), error);
                });
            track(checker);
            checker->start();
        });
}

void SparkleService::track(const std::shared_ptr<SparkleDriver>& driver)
{
    std::lock_guard lock(m_mutex);
    if (m_drivers.size() >= m_driversPruneAt) {
        std::erase_if(m_drivers, [](const std::weak_ptr<SparkleDriver>& weak) { return weak.expired(); });
        m_driversPruneAt = std::max<std::size_t>(64, 2 * m_drivers.size());
    }
    m_drivers.push_back(driver);
}

void SparkleService::cancelForQuit()
{
    Q_ASSERT_X(isMainThread(), "SparkleService", "quit cancellation off the main thread");
    std::vector<std::weak_ptr<SparkleDriver>> drivers;
    std::set<std::shared_ptr<PendingCheck>> pending;
    {
        std::lock_guard lock(m_mutex);
        drivers.swap(m_drivers);
        pending.swap(m_pendingChecks);
    }
    // Their outcomes, delivered now, end the waits of the checks and installs they serve.
    for (const std::weak_ptr<SparkleDriver>& weak : drivers) {
        if (const std::shared_ptr<SparkleDriver> driver = weak.lock())
            driver->stop();
    }
    // The checks whose drivers were never created.
    for (const auto& check : pending) {
        if (FoundHandler deliver = check->claim())
            networkPool().start([deliver = std::move(deliver)] {
                deliver(std::nullopt, std::make_exception_ptr(CancelledError()));
            });
    }
}

std::optional<SparkleUpdate>
SparkleService::performUpdateCheck(const std::shared_ptr<Application>& application)
{
    Q_ASSERT_X(!isMainThread(), "SparkleService", "blocking call made on the main thread");
    std::promise<std::optional<SparkleUpdate>> outcome;
    startUpdateCheck(application, [&outcome](std::optional<SparkleUpdate> update, std::exception_ptr error) {
        if (error)
            outcome.set_exception(error);
        else
            outcome.set_value(std::move(update));
    });
    return outcome.get_future().get();
}

std::optional<Update> SparkleService::checkForUpdate(const std::shared_ptr<Application>& application)
{
    Q_ASSERT_X(!isMainThread(), "SparkleService", "blocking call made on the main thread");
    std::promise<std::optional<Update>> outcome;
    checkForUpdateAsync(application, [&outcome](std::optional<Update> update, std::exception_ptr error) {
        if (error)
            outcome.set_exception(error);
        else
            outcome.set_value(std::move(update));
    });
    return outcome.get_future().get();
}

void SparkleService::checkForUpdateAsync(const std::shared_ptr<Application>& application,
                                         CheckHandler handler)
{
    startUpdateCheck(application, [this, application, handler = std::move(handler)](
                                      std::optional<SparkleUpdate> found, std::exception_ptr error) {
        if (error || !found) {
            handler(std::nullopt, error);
            return;
        }
        try {
            completeCheck(application, *found, handler);
        } catch (...) {
            handler(std::nullopt, std::current_exception());
        }
    });
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
        track(operation);
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
