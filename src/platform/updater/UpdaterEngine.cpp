#include "platform/updater/UpdaterEngine.h"

#include "platform/Logger.h"
#include "platform/updater/AppcastParser.h"
#include "platform/updater/AppcastSelector.h"
#include "platform/updater/BundleInstaller.h"
#include "platform/updater/EdSignatureVerifier.h"
#include "platform/updater/UpdateCycle.h"
#include "platform/updater/UpdaterDelegate.h"
#include "platform/updater/UpdaterError.h"
#include "util/Async.h"

#include <mutex>
#include <thread>

namespace norvelle {

// What queued main-thread calls need; they run only while the updater lives.
struct UpdaterEngine::Shared {
    UpdaterUserDriver* driver = nullptr;
    bool alive = true;
    bool sessionInProgress = false;
};

// The thread of the running install, if any; none starts once the updater is going away.
struct UpdaterEngine::InstallThread {
    std::mutex mutex;
    std::thread thread;
    bool closed = false;
    // The last cycle put its update in place.
    std::atomic<bool> inPlace{false};

    std::thread takeThread()
    {
        std::lock_guard lock(mutex);
        return std::move(thread);
    }
};

namespace {

[[noreturn]] void refuse(UpdaterError::Kind kind, const QString& why)
{
    throw UpdaterError(kind, why);
}

} // namespace

UpdaterEngine::UpdaterEngine(QString bundlePath, UpdaterUserDriver& driver, UpdaterDelegate* delegate,
                             UpdaterFactory::Options options)
    : m_bundlePath(std::move(bundlePath)), m_delegate(delegate), m_options(std::move(options)),
      m_shared(std::make_shared<Shared>()), m_install(std::make_shared<InstallThread>())
{
    m_shared->driver = &driver;
    if (!m_options.client)
        m_options.client = std::make_shared<HttpClient>(m_options.http);
    if (!m_options.installer)
        m_options.installer = std::make_shared<BundleInstaller>();
}

UpdaterEngine::~UpdaterEngine()
{
    m_shared->alive = false;
    m_quit.request_stop();
    m_stop.request_stop();
    {
        std::lock_guard lock(m_install->mutex);
        m_install->closed = true;
    }
    if (std::thread install = m_install->takeThread(); install.joinable())
        install.join();
    // The messages still queued are dropped with the updater: a version already in place is
    // said so here, or the driver would take the stopped install for a cancelled one.
    if (m_install->inPlace)
        m_shared->driver->installedBeforeStop();
}

void UpdaterEngine::start()
{
    std::optional<UpdaterBundle> bundle = UpdaterBundle::load(m_bundlePath);
    if (!bundle)
        refuse(UpdaterError::Kind::invalidBundle, QStringLiteral("The application at ") + m_bundlePath +
                                                      QStringLiteral(" has no readable Info.plist"));
    if (bundle->version().isEmpty())
        refuse(UpdaterError::Kind::invalidBundle, QStringLiteral("The application at ") + m_bundlePath +
                                                      QStringLiteral(" has no bundle version"));

    std::optional<QString> feed = m_delegate ? m_delegate->feedUrlString() : std::nullopt;
    if (!feed)
        feed = bundle->string(QStringLiteral("SUFeedURL"));
    const QString feedText = feed->trimmed();
    if (feedText.isEmpty())
        refuse(UpdaterError::Kind::invalidFeed,
               QStringLiteral("The application names no update feed (SUFeedURL)"));
    const QUrl url(feedText, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        refuse(UpdaterError::Kind::invalidFeed,
               QStringLiteral("The update feed address is not an http or https URL: ") + feedText);

    const QString key = QStringLiteral("SUPublicEDKey");
    if (bundle->contains(key) && !EdSignatureVerifier::decodePublicKey(bundle->string(key)))
        refuse(UpdaterError::Kind::invalidPublicKey,
               QStringLiteral("The application's public EdDSA key (SUPublicEDKey) is malformed"));

    m_bundle = std::move(bundle);
    m_feedUrl = url;
}

bool UpdaterEngine::checkForUpdates()
{
    if (!canCheckForUpdates()) {
        Logger::debug(QStringLiteral("Updater check ignored for ") + m_bundlePath +
                      (m_bundle ? QStringLiteral(": a cycle is running") : QStringLiteral(": not started")));
        return false;
    }
    if (std::thread previous = m_install->takeThread(); previous.joinable())
        previous.join(); // the previous cycle has reported its end; its thread is finishing

    UpdateCycle::Setup setup;
    setup.bundle = *m_bundle;
    setup.feedUrl = m_feedUrl;
    setup.allowedChannels = m_delegate ? m_delegate->allowedChannels() : QSet<QString>();
    setup.systemVersion = m_options.systemVersion;
    setup.machineArchitecture =
        m_options.machineArchitecture.value_or(AppcastSelector::currentMachineArchitecture());
    setup.language = m_options.language.value_or(AppcastParser::userLanguage());
    setup.askPermission =
        !m_permissionAsked && !m_bundle->contains(QStringLiteral("SUEnableAutomaticChecks"));
    setup.client = m_options.client;
    setup.installer = m_options.installer;
    setup.quitting = m_quit.get_token();
    m_permissionAsked = true;

    m_stop = std::stop_source();
    m_shared->sessionInProgress = true;
    std::weak_ptr<Shared> weak = m_shared;
    auto post = [weak](UpdateCycle::DriverCall call) {
        postToMainInTurn([weak, call = std::move(call)] {
            const std::shared_ptr<Shared> shared = weak.lock();
            if (shared && shared->alive)
                call(*shared->driver);
        });
    };
    std::weak_ptr<InstallThread> install = m_install;
    m_install->inPlace = false;
    setup.installedInPlace = [install] {
        if (const std::shared_ptr<InstallThread> owner = install.lock())
            owner->inPlace = true;
    };
    setup.runInstall = [install](std::function<void()> work) {
        const std::shared_ptr<InstallThread> owner = install.lock();
        if (!owner)
            return false;
        std::lock_guard lock(owner->mutex);
        if (owner->closed || owner->thread.joinable())
            return false;
        owner->thread = std::thread(std::move(work));
        return true;
    };
    setup.ended = [weak] {
        postToMainInTurn([weak] {
            if (const std::shared_ptr<Shared> shared = weak.lock())
                shared->sessionInProgress = false;
        });
    };
    std::make_shared<UpdateCycle>(std::move(setup), post, m_stop)->begin();
    return true;
}

bool UpdaterEngine::canCheckForUpdates() const
{
    return m_bundle.has_value() && !m_shared->sessionInProgress;
}

bool UpdaterEngine::sessionInProgress() const
{
    return m_shared->sessionInProgress;
}

} // namespace norvelle
