#include "platform/updater/UpdateCycle.h"

#include "platform/Logger.h"
#include "platform/updater/AppcastParser.h"
#include "platform/updater/AppcastSelector.h"
#include "platform/updater/ArchiveExtractor.h"
#include "platform/updater/BundleInstaller.h"
#include "platform/updater/EdSignatureVerifier.h"
#include "platform/updater/InstallRecovery.h"
#include "platform/updater/InstallStaging.h"
#include "util/ScopeExit.h"

#include <QDir>
#include <QFileInfo>
#include <condition_variable>
#include <mutex>

namespace norvelle {

namespace {

// Unwinds a cycle whose stop was requested (cancelled by the driver, or the updater
// went away); such a cycle reports nothing but its closing dismissal.
struct Stopped {};

template <typename T> class ReplyBox {
public:
    void set(const T& value)
    {
        {
            std::lock_guard lock(m_mutex);
            if (!m_value)
                m_value = value;
        }
        m_ready.notify_all();
    }

    T wait(std::stop_token stop)
    {
        std::unique_lock lock(m_mutex);
        if (!m_ready.wait(lock, stop, [this] { return m_value.has_value(); }))
            throw Stopped{};
        return *m_value;
    }

private:
    std::mutex m_mutex;
    std::condition_variable_any m_ready;
    std::optional<T> m_value;
};

[[noreturn]] void notInstallable(const QString& why)
{
    throw UpdaterError(UpdaterError::Kind::notInstallable, why);
}

bool isSuccess(int status)
{
    return status >= 200 && status < 300;
}

// A download name that is safe as a file name in the staging folder.
QString archiveFileName(const QUrl& url)
{
    QString name = url.fileName(QUrl::FullyDecoded);
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QStringLiteral("update"));
    return name;
}

} // namespace

UpdateCycle::UpdateCycle(Setup setup, Post post, std::stop_source stop)
    : m_setup(std::move(setup)), m_post(std::move(post)), m_stop(std::move(stop))
{
}

std::function<void()> UpdateCycle::canceller() const
{
    return [stop = m_stop]() mutable { stop.request_stop(); };
}

void UpdateCycle::begin()
{
    if (!m_setup.askPermission) {
        fetchFeed();
        return;
    }
    // The answer only lets the cycle go on: nothing is stored for the application.
    ask<UpdatePermission>([](UpdaterUserDriver& driver,
                             UpdaterReply<UpdatePermission> reply) { driver.askUpdatePermission(reply); },
                          UpdatePermission{},
                          [self = shared_from_this()](const UpdatePermission&) { self->fetchFeed(); });
}

template <typename F> void UpdateCycle::guarded(F&& step)
{
    try {
        step();
    } catch (const Stopped&) {
        finish();
    } catch (const UpdaterError& error) {
        reportError(error);
    } catch (const std::exception& error) {
        reportError(UpdaterError(UpdaterError::Kind::installFailed, describeException(error)));
    }
}

// Asks the driver and goes on with its answer where it arrives; a stop that comes first ends
// the cycle instead. Either happens once.
template <typename T>
void UpdateCycle::ask(std::function<void(UpdaterUserDriver&, UpdaterReply<T>)> call, T fallback,
                      std::function<void(const T&)> next)
{
    struct Once {
        std::atomic<bool> taken{false};
        std::optional<std::stop_callback<std::function<void()>>> onStop;
        bool claim() { return !taken.exchange(true); }
    };
    const auto once = std::make_shared<Once>();
    const std::shared_ptr<UpdateCycle> self = shared_from_this();
    UpdaterReply<T> reply(
        [self, once, next = std::move(next)](const T& value) {
            if (once->claim())
                self->guarded([&] { next(value); });
        },
        std::move(fallback));
    std::weak_ptr<Once> weakOnce = once;
    once->onStop.emplace(m_stop.get_token(), std::function<void()>([self, weakOnce] {
                             const std::shared_ptr<Once> stopped = weakOnce.lock();
                             if (stopped && stopped->claim())
                                 self->finish();
                         }));
    if (once->taken) // stopped already: the cycle has finished
        return;
    m_post([call = std::move(call), reply](UpdaterUserDriver& driver) { call(driver, reply); });
}

void UpdateCycle::acknowledgeThenFinish(std::function<void(UpdaterUserDriver&, UpdaterAcknowledgement)> call)
{
    ask<bool>(
        [call = std::move(call)](UpdaterUserDriver& driver, UpdaterReply<bool> reply) {
            call(driver, UpdaterAcknowledgement([reply] { reply(true); }));
        },
        true, [self = shared_from_this()](const bool&) { self->finish(); });
}

void UpdateCycle::finish()
{
    if (m_finished.exchange(true))
        return;
    m_post([](UpdaterUserDriver& driver) { driver.cycleFinished(); });
    if (m_setup.ended)
        m_setup.ended();
}

void UpdateCycle::reportError(const UpdaterError& error)
{
    if (stopped()) {
        finish();
        return;
    }
    Logger::debug(QStringLiteral("Updater cycle for ") + m_setup.bundle.path() + QStringLiteral(" failed: ") +
                  error.description());
    acknowledgeThenFinish(
        [error](UpdaterUserDriver& driver, UpdaterAcknowledgement ack) { driver.updaterFailed(error, ack); });
}

void UpdateCycle::acknowledged(const std::function<void(UpdaterUserDriver&, UpdaterAcknowledgement)>& call)
{
    auto box = std::make_shared<ReplyBox<bool>>();
    UpdaterAcknowledgement ack([box] { box->set(true); });
    m_post([call, ack](UpdaterUserDriver& driver) { call(driver, ack); });
    ack = {};
    box->wait(m_stop.get_token());
}

UpdateChoice
UpdateCycle::choose(const std::function<void(UpdaterUserDriver&, UpdaterReply<UpdateChoice>)>& call)
{
    auto box = std::make_shared<ReplyBox<UpdateChoice>>();
    UpdaterReply<UpdateChoice> reply([box](const UpdateChoice& choice) { box->set(choice); },
                                     UpdateChoice::dismiss);
    m_post([call, reply](UpdaterUserDriver& driver) { call(driver, reply); });
    reply = {};
    return box->wait(m_stop.get_token());
}

void UpdateCycle::fetchFeed()
{
    if (stopped()) {
        finish();
        return;
    }
    m_post([cancel = canceller()](UpdaterUserDriver& driver) { driver.checkStarted(cancel); });
    m_setup.client->getAsync(
        m_setup.feedUrl,
        [self = shared_from_this()](HttpResponse response, std::exception_ptr error) {
            self->guarded([&] { self->feedArrived(response, error); });
        },
        m_stop.get_token());
}

void UpdateCycle::feedArrived(const HttpResponse& response, std::exception_ptr error)
{
    std::optional<HttpError> failure;
    if (error) {
        try {
            std::rethrow_exception(error);
        } catch (const HttpError& httpError) {
            failure = httpError;
        }
    }
    if (stopped() || (failure && failure->kind() == HttpError::Kind::cancelled))
        throw Stopped{};
    m_post([](UpdaterUserDriver& driver) { driver.checkFinished(); });
    if (failure && failure->kind() == HttpError::Kind::timeout)
        throw UpdaterError(UpdaterError::Kind::timedOut,
                           QStringLiteral("The update feed did not answer in time"));
    if (failure)
        throw UpdaterError(UpdaterError::Kind::feedFailed,
                           QStringLiteral("The update feed could not be loaded: ") + failure->description());
    if (!isSuccess(response.statusCode))
        throw UpdaterError(UpdaterError::Kind::feedFailed,
                           QStringLiteral("The update feed answered with HTTP status ") +
                               QString::number(response.statusCode));

    const std::optional<AppcastItem> item = offer(m_setup, response);

    if (!item) {
        acknowledgeThenFinish(
            [](UpdaterUserDriver& driver, UpdaterAcknowledgement ack) { driver.updateNotFound(ack); });
        return;
    }
    ask<UpdateChoice>([item = *item](UpdaterUserDriver& driver,
                                     UpdaterReply<UpdateChoice> reply) { driver.updateFound(item, reply); },
                      UpdateChoice::dismiss,
                      [self = shared_from_this(), item = *item](const UpdateChoice& choice) {
                          if (choice == UpdateChoice::install)
                              self->runInstall(item);
                          else
                              self->finish();
                      });
}

std::optional<AppcastItem> UpdateCycle::offer(const Setup& setup, const HttpResponse& feed)
{
    const QUrl base = feed.url.isEmpty() ? setup.feedUrl : feed.url;
    AppcastSelector::Criteria criteria;
    criteria.installedVersion = setup.bundle.version();
    criteria.systemVersion = setup.systemVersion;
    criteria.allowedChannels = setup.allowedChannels;
    criteria.machineArchitecture = setup.machineArchitecture;
    return AppcastSelector::newestUpdate(AppcastParser::parse(feed.body, base, setup.language), criteria);
}

void UpdateCycle::runInstall(const AppcastItem& item)
{
    const bool started = m_setup.runInstall && m_setup.runInstall([self = shared_from_this(), item] {
        self->guarded([&] {
            self->install(item);
            self->finish();
        });
    });
    if (!started)
        finish();
}

void UpdateCycle::install(const AppcastItem& item)
{
    if (item.informationOnly)
        notInstallable(QStringLiteral("This update is informational only and cannot be installed"));
    if (item.fileUrl.isEmpty())
        notInstallable(
            item.hasDeltas
                ? QStringLiteral(
                      "Delta updates cannot be installed here, and the update has no full download")
                : QStringLiteral("The update has no download"));
    if (item.fileUrl.scheme() != QLatin1String("http") && item.fileUrl.scheme() != QLatin1String("https"))
        notInstallable(QStringLiteral("The update's download address is not an http or https URL: ") +
                       item.fileUrl.toString());
    const QString type = item.installationType;
    if (type == QLatin1String("package") || type == QLatin1String("interactive-package"))
        notInstallable(QStringLiteral("Installer packages cannot be installed here"));
    if (!type.isEmpty() && type != QLatin1String("application"))
        notInstallable(QStringLiteral("The update's installation type \"") + type +
                       QStringLiteral("\" is not supported"));
    const QString fileName = archiveFileName(item.fileUrl);
    switch (ArchiveExtractor::kindForName(fileName)) {
    case ArchiveExtractor::Kind::diskImage:
        notInstallable(QStringLiteral("Disk images cannot be installed here"));
    case ArchiveExtractor::Kind::installerPackage:
        notInstallable(QStringLiteral("Installer packages cannot be installed here"));
    case ArchiveExtractor::Kind::delta:
        notInstallable(QStringLiteral("Delta updates cannot be installed here"));
    default:
        break;
    }
    // Refuse before downloading anything that could never be verified.
    EdSignatureVerifier::checkKeyAndSignature(item.edSignature,
                                              m_setup.bundle.string(QStringLiteral("SUPublicEDKey")));

    // What killed installs left here goes first: they may hold a large download each.
    const QFileInfo installed(m_setup.bundle.path());
    InstallRecovery::recoverFolder(installed.absolutePath(), m_setup.quitting);

    // Staged beside the installed bundle, so that moving the update in is a rename. Locked
    // until it is removed, so that sweeps elsewhere leave it alone.
    InstallStaging staging(installed.filePath());
    if (!staging.isValid())
        throw UpdaterError(UpdaterError::Kind::installFailed,
                           QStringLiteral("The folder ") + installed.absolutePath() +
                               QStringLiteral(" cannot be written, so the update cannot be installed"));
    // A quit does not wait for a partial download or extraction to be removed: the sweep at the
    // next start, or before the next install here, takes the folder.
    const ScopeExit leaveOnQuit([&] {
        if (m_setup.quitting.stop_requested())
            staging.leaveToSweep();
    });
    const QString archivePath = staging.filePath(fileName);
    downloadAndVerify(item, archivePath);

    m_post([](UpdaterUserDriver& driver) { driver.extractionStarted(); });
    const QString extracted = staging.filePath(QStringLiteral("extracted"));
    QDir().mkpath(extracted);
    ArchiveExtractor::extract(
        archivePath, extracted,
        [this](double fraction) {
            m_post([fraction](UpdaterUserDriver& driver) { driver.extractionProgressed(fraction); });
        },
        m_stop.get_token());
    const UpdaterBundle update = m_setup.installer->findUpdateBundle(extracted, m_setup.bundle);

    const UpdateChoice choice = choose(
        [](UpdaterUserDriver& driver, UpdaterReply<UpdateChoice> reply) { driver.readyToInstall(reply); });
    if (choice != UpdateChoice::install || stopped())
        return;
    m_post([](UpdaterUserDriver& driver) { driver.installing(true); });
    m_setup.installer->replace(m_setup.bundle.path(), update.path(), staging, m_setup.quitting);
    if (m_setup.installedInPlace)
        m_setup.installedInPlace();
    Logger::debug(QStringLiteral("Updater installed version ") + update.version() + QStringLiteral(" at ") +
                  m_setup.bundle.path());
    acknowledged([](UpdaterUserDriver& driver, UpdaterAcknowledgement ack) { driver.installed(false, ack); });
}

void UpdateCycle::downloadAndVerify(const AppcastItem& item, const QString& archivePath)
{
    m_post([cancel = canceller()](UpdaterUserDriver& driver) { driver.downloadStarted(cancel); });
    bool lengthSent = false;
    qint64 reported = 0;
    auto sendLength = [&](qint64 expected) {
        lengthSent = true;
        const quint64 length = expected > 0 ? quint64(expected) : item.contentLength;
        m_post([length](UpdaterUserDriver& driver) { driver.downloadExpectedLength(length); });
    };
    auto progress = [&](qint64 received, qint64 expected) {
        if (!lengthSent && (expected > 0 || received > 0))
            sendLength(expected);
        if (received > reported) {
            const quint64 length = quint64(received - reported);
            reported = received;
            m_post([length](UpdaterUserDriver& driver) { driver.downloadReceived(length); });
        }
    };

    HttpResponse response;
    try {
        response = m_setup.client->download(item.fileUrl, archivePath, progress, m_stop.get_token());
    } catch (const HttpError& error) {
        if (error.kind() == HttpError::Kind::cancelled || stopped())
            throw Stopped{};
        if (error.kind() == HttpError::Kind::timeout)
            throw UpdaterError(UpdaterError::Kind::timedOut,
                               QStringLiteral("The update download stalled and timed out"));
        throw UpdaterError(UpdaterError::Kind::downloadFailed,
                           QStringLiteral("The update could not be downloaded: ") + error.description());
    }
    if (!isSuccess(response.statusCode))
        throw UpdaterError(UpdaterError::Kind::downloadFailed,
                           QStringLiteral("The update download answered with HTTP status ") +
                               QString::number(response.statusCode));
    if (!lengthSent)
        sendLength(-1);
    EdSignatureVerifier::verifyFile(archivePath, item.edSignature,
                                    m_setup.bundle.string(QStringLiteral("SUPublicEDKey")));
}

} // namespace norvelle
