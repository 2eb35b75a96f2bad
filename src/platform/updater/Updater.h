#pragma once

#include <QUrl>

namespace norvelle {

// Checks and installs appcast updates of one application bundle, talking to its
// UpdaterUserDriver and UpdaterDelegate (see UpdaterFactory). Used on the main thread;
// the network and file work runs on the updater's own thread.
class Updater {
public:
    virtual ~Updater() = default;

    // The start-up checks: a readable bundle with a version, a feed address (the
    // delegate's, else "SUFeedURL") that is http or https, a well-formed
    // "SUPublicEDKey" when there is one. Throws UpdaterError when one fails.
    virtual void start() = 0;

    // Starts a cycle: check, and install when the driver accepts. Ignored (returns
    // false) before a successful start() and while a cycle runs.
    virtual bool checkForUpdates() = 0;

    // True once started and while no cycle runs.
    virtual bool canCheckForUpdates() const = 0;
    virtual bool sessionInProgress() const = 0;

    // The feed address settled by start(); empty before.
    virtual QUrl feedUrl() const = 0;
};

} // namespace norvelle
