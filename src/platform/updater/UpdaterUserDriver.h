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
struct UpdatePermissionResponse {
    bool automaticUpdateChecks = false;
    bool sendSystemProfile = false;
};

// What the updater tells and asks while a check or install runs. Every message comes
// on the main thread, one at a time, in the order of the cycle. A cycle opens with
// the permission question (when the bundle does not settle it) and the check start,
// then ends in exactly one of update found, update not found or updater error; an
// accepted update then runs download, extraction, ready-to-install, installing and
// installed (or an error). dismissUpdateInstallation is the last message of every
// cycle. The notifications do nothing by default.
class UpdaterUserDriver {
public:
    virtual ~UpdaterUserDriver() = default;

    virtual void showUpdatePermissionRequest(UpdaterReply<UpdatePermissionResponse> reply) = 0;

    virtual void showUserInitiatedUpdateCheck(std::function<void()> cancellation) { Q_UNUSED(cancellation); }
    virtual void dismissUserInitiatedUpdateCheck() {}

    // The newest applicable item; informational items are offered too.
    virtual void showUpdateFound(const AppcastItem& item, UpdaterReply<UpdateChoice> reply) = 0;
    virtual void showUpdateNotFound(UpdaterAcknowledgement acknowledgement) = 0;
    virtual void showUpdaterError(const UpdaterError& error, UpdaterAcknowledgement acknowledgement) = 0;

    virtual void showDownloadInitiated(std::function<void()> cancellation) { Q_UNUSED(cancellation); }
    virtual void showDownloadDidReceiveExpectedContentLength(quint64 expectedLength) { Q_UNUSED(expectedLength); }
    virtual void showDownloadDidReceiveDataOfLength(quint64 length) { Q_UNUSED(length); }
    virtual void showDownloadDidStartExtractingUpdate() {}
    virtual void showExtractionReceivedProgress(double fraction) { Q_UNUSED(fraction); }

    virtual void showReadyToInstallAndRelaunch(UpdaterReply<UpdateChoice> reply) = 0;
    // The engine neither quits nor relaunches the application it updates.
    virtual void showInstallingUpdate(bool applicationTerminated) { Q_UNUSED(applicationTerminated); }
    virtual void showUpdateInstalledAndRelaunched(bool relaunched, UpdaterAcknowledgement acknowledgement) = 0;

    virtual void dismissUpdateInstallation() {}
};

} // namespace norvelle
