#pragma once

#include "platform/http/HttpClient.h"
#include "platform/updater/AppcastItem.h"
#include "platform/updater/UpdaterBundle.h"
#include "platform/updater/UpdaterUserDriver.h"

#include <QSet>
#include <QUrl>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>

namespace norvelle {

class BundleInstaller;

// One check, and the install that may follow it, run start to end on the updater's
// own thread. It reaches the user driver only through `post`, which runs a call on
// the main thread, and waits for the driver's replies. run() ends every cycle the
// same way: with exactly one of found, not found or error (unless stopped), then
// cycleFinished.
class UpdateCycle {
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
    };
    using DriverCall = std::function<void(UpdaterUserDriver&)>;
    using Post = std::function<void(DriverCall)>;

    UpdateCycle(Setup setup, Post post, std::stop_source stop);

    void run();

private:
    void check();
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
};

} // namespace norvelle
