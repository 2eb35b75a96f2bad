#pragma once

#include "platform/http/HttpClient.h"
#include "platform/updater/AppcastItem.h"
#include "platform/updater/UpdaterBundle.h"
#include "platform/updater/UpdaterUserDriver.h"

#include <QSet>
#include <QUrl>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace norvelle {

class BundleInstaller;

// One check, and the install that may follow it. The check holds no thread while it waits:
// the feed request and the driver's replies each continue it where they arrive. The install
// runs start to end on a thread of the updater's (runInstall), waiting for the driver's
// replies there. The cycle reaches the user driver only through `post`, which runs a call on
// the main thread. Every cycle ends the same way: with exactly one of found, not found or error
// (unless stopped), then cycleFinished, then `ended`.
//
// Own it through a std::shared_ptr: the pending request and replies keep it alive.
class UpdateCycle : public std::enable_shared_from_this<UpdateCycle> {
public:
    struct Setup {
        UpdaterBundle bundle;
        QUrl feedUrl;
        QSet<QString> allowedChannels;
        std::optional<QString> systemVersion;
        QString machineArchitecture;
        QString language;
        bool askPermission = false;
        std::shared_ptr<const HttpClient> client;
        std::shared_ptr<BundleInstaller> installer;
        // Runs the install on a thread of the updater's; false when the updater is gone.
        std::function<bool(std::function<void()>)> runInstall;
        // Called once, when the cycle is over.
        std::function<void()> ended;
        // Requested when the updater goes away (quitting), besides the cycle's own stop.
        std::stop_token quitting;
        // Called on the install thread once the update's bundle is in place.
        std::function<void()> installedInPlace;
    };
    using DriverCall = std::function<void(UpdaterUserDriver&)>;
    using Post = std::function<void(DriverCall)>;

    UpdateCycle(Setup setup, Post post, std::stop_source stop);

    // Starts the cycle and returns at once.
    void begin();

    // The item a check with this setup offers for the feed's answer; none when nothing is newer.
    static std::optional<AppcastItem> offer(const Setup& setup, const HttpResponse& feed);

private:
    template <typename T>
    void ask(std::function<void(UpdaterUserDriver&, UpdaterReply<T>)> call, T fallback,
             std::function<void(const T&)> next);
    void acknowledgeThenFinish(std::function<void(UpdaterUserDriver&, UpdaterAcknowledgement)> call);
    template <typename F> void guarded(F&& step);
    void fetchFeed();
    void feedArrived(const HttpResponse& response, std::exception_ptr error);
    void runInstall(const AppcastItem& item);
    void finish();

    void install(const AppcastItem& item);
    void downloadAndVerify(const AppcastItem& item, const QString& archivePath);
    void reportError(const UpdaterError& error);
    void acknowledged(const std::function<void(UpdaterUserDriver&, UpdaterAcknowledgement)>& call);
    UpdateChoice choose(const std::function<void(UpdaterUserDriver&, UpdaterReply<UpdateChoice>)>& call);
    std::function<void()> canceller() const;
    bool stopped() const { return m_stop.stop_requested(); }

    Setup m_setup;
    Post m_post;
    std::stop_source m_stop;
    std::atomic<bool> m_finished{false};
};

} // namespace norvelle
