#pragma once

#include "platform/updater/Updater.h"
#include "platform/updater/UpdaterBundle.h"
#include "platform/updater/UpdaterFactory.h"

#include <memory>
#include <stop_token>

namespace norvelle {

class UpdaterDelegate;
class UpdaterUserDriver;

// The appcast updater proper. A cycle's check holds no thread while it waits for the feed or
// the driver; an install runs on a thread of its own (never on the shared I/O pool, so a full
// pool cannot hold it up). Driver messages are queued to the main thread in order and dropped
// once the updater is gone. Destroying the updater stops a running cycle and waits for its
// install thread, which only takes as long as the current network read or file step needs to
// notice.
class UpdaterEngine : public Updater {
public:
    UpdaterEngine(QString bundlePath, UpdaterUserDriver& driver, UpdaterDelegate* delegate,
                  UpdaterFactory::Options options);
    ~UpdaterEngine() override;
    UpdaterEngine(const UpdaterEngine&) = delete;
    UpdaterEngine& operator=(const UpdaterEngine&) = delete;

    void start() override;
    bool checkForUpdates() override;
    bool canCheckForUpdates() const override;
    bool sessionInProgress() const override;
    QUrl feedUrl() const override { return m_feedUrl; }

private:
    struct Shared;
    struct InstallThread;

    QString m_bundlePath;
    UpdaterDelegate* m_delegate;
    UpdaterFactory::Options m_options;
    std::shared_ptr<Shared> m_shared;
    std::optional<UpdaterBundle> m_bundle;
    QUrl m_feedUrl;
    bool m_permissionAsked = false;
    std::stop_source m_stop;
    std::stop_source m_quit; // requested only when the updater goes away
    std::shared_ptr<InstallThread> m_install;
};

} // namespace norvelle
