#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <memory>

namespace norvelle {

class Updater;
class UpdaterFactory;
class UpdaterUserDriver;

// Mirrors whether the system's own updater can start a user-initiated check, for the
// "Check for Updates…" menu item, by reading the updater every 100 ms on the main thread.
// Without an updater (a build with no update feed of its own) the check is unavailable: the
// flag stays false and the model says so once in the log.
class CheckForUpdatesViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

public:
    static constexpr std::chrono::milliseconds pollInterval{100};

    // `updater` is held for the model's lifetime; it may be null.
    explicit CheckForUpdatesViewModel(std::shared_ptr<Updater> updater, QObject* parent = nullptr);
    ~CheckForUpdatesViewModel() override;

    bool canCheckForUpdates() const { return m_canCheckForUpdates; }

    // The menu item's action: a user-initiated check. Does nothing while none can start.
    void checkForUpdates();

    // The system's own updater for the bundle at bundlePath, started; null, with a log line
    // saying why, when it cannot start (no bundle, no feed, a bad key). The driver must
    // outlive the updater.
    static std::shared_ptr<Updater> startOwnUpdater(const UpdaterFactory& factory, const QString& bundlePath,
                                                    UpdaterUserDriver& driver);

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool value);

private:
    void poll();
    void setCanCheckForUpdates(bool value);

    const std::shared_ptr<Updater> m_updater;
    bool m_canCheckForUpdates = false;
    QTimer m_pollTimer;
};

} // namespace norvelle
