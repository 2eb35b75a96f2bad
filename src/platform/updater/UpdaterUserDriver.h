#pragma once

#include "platform/updater/AppcastItem.h"
#include "platform/updater/UpdaterAcknowledgement.h"
#include "platform/updater/UpdaterError.h"
#include "platform/updater/UpdaterReply.h"

#include <QtGlobal>
#include <functional>

namespace norvelle {

// The answer to an offered update, or to an update that is ready to install.
// skip and dismiss both end the cycle; nothing is recorded for the application.
enum class UpdateChoice { skip = 0, install = 1, dismiss = 2 };

// The answer to the question whether the application may be checked automatically.
// The engine only goes on with the cycle; it stores neither value.
struct UpdatePermission {
    bool automaticUpdateChecks = false;
    bool sendSystemProfile = false;
};

// What the updater tells and asks while a cycle runs. Every message comes on the main
// thread, one at a time, in the order of the cycle:
//   askUpdatePermission (first cycle of an updater whose bundle has no
//   "SUEnableAutomaticChecks"), checkStarted, checkFinished, then exactly one of
//   updateFound, updateNotFound or updaterFailed. Installing an accepted update goes on
//   with downloadStarted, downloadExpectedLength, downloadReceived…, extractionStarted,
//   extractionProgressed…, readyToInstall, installing and installed, or stops at an
//   updaterFailed. cycleFinished is the last message of every cycle, also of one that
//   was cancelled or declined.
// A reply or acknowledgement may be given during the message or later, from any thread;
// the cycle waits for it. The plain notifications do nothing by default.
class UpdaterUserDriver {
public:
    virtual ~UpdaterUserDriver() = default;

    virtual void askUpdatePermission(UpdaterReply<UpdatePermission> reply) = 0;

    // The feed request starts; cancellation ends the cycle without a result.
    virtual void checkStarted(std::function<void()> cancellation) { Q_UNUSED(cancellation); }
    virtual void checkFinished() {}

    // The newest applicable item; informational items are offered too (installing one
    // ends in updaterFailed).
    virtual void updateFound(const AppcastItem& item, UpdaterReply<UpdateChoice> reply) = 0;
    virtual void updateNotFound(UpdaterAcknowledgement acknowledgement) = 0;
    virtual void updaterFailed(const UpdaterError& error, UpdaterAcknowledgement acknowledgement) = 0;

    // cancellation stops the download and ends the cycle without an error.
    virtual void downloadStarted(std::function<void()> cancellation) { Q_UNUSED(cancellation); }
    // Once, when the size is known: the server's length, else the feed's (0 when neither).
    virtual void downloadExpectedLength(quint64 length) { Q_UNUSED(length); }
    // The bytes that arrived since the last report.
    virtual void downloadReceived(quint64 length) { Q_UNUSED(length); }
    virtual void extractionStarted() {}
    // Rising from 0 to 1.
    virtual void extractionProgressed(double fraction) { Q_UNUSED(fraction); }

    // The update is downloaded, verified and unpacked; install swaps the bundle.
    virtual void readyToInstall(UpdaterReply<UpdateChoice> reply) = 0;
    // The engine neither quits nor relaunches the application it updates, so
    // applicationTerminated is always true and relaunched always false.
    virtual void installing(bool applicationTerminated) { Q_UNUSED(applicationTerminated); }
    virtual void installed(bool relaunched, UpdaterAcknowledgement acknowledgement) = 0;
    // The update was put in place, but the updater went away (quitting) before the cycle's
    // messages were all delivered, which they never will be now. Called directly, on the main
    // thread, from the updater's destruction; maybe after installed.
    virtual void installedBeforeStop() {}

    virtual void cycleFinished() {}
};

} // namespace norvelle
