#pragma once

#include "platform/updater/UpdaterDelegate.h"
#include "platform/updater/UpdaterUserDriver.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace norvelle::test {

// A user driver and delegate for updater tests: records every message as a line
// ("found 2.0", "error: <text>", "dismissInstallation", …; received data is summed
// in receivedBytes rather than recorded) and answers with the configured choices.
class UpdaterRecordingDriver : public UpdaterUserDriver, public UpdaterDelegate {
public:
    UpdateChoice foundChoice = UpdateChoice::skip;
    UpdateChoice readyChoice = UpdateChoice::install;
    bool cancelDownload = false;            // cancel as soon as the download starts
    std::optional<QString> feedUrlOverride; // the delegate's feed address
    QSet<QString> channels;

    QStringList events;
    QList<AppcastItem> foundItems;
    QList<UpdaterError> errors;
    quint64 expectedBytes = 0;
    quint64 receivedBytes = 0;
    QList<double> extractionFractions;

    // Messages that end a check: found, notFound or error.
    int terminalCount() const;
    bool finished() const { return events.contains(QStringLiteral("dismissInstallation")); }

    void showUpdatePermissionRequest(UpdaterReply<UpdatePermissionResponse> reply) override;
    void showUserInitiatedUpdateCheck(std::function<void()> cancellation) override;
    void dismissUserInitiatedUpdateCheck() override;
    void showUpdateFound(const AppcastItem& item, UpdaterReply<UpdateChoice> reply) override;
    void showUpdateNotFound(UpdaterAcknowledgement acknowledgement) override;
    void showUpdaterError(const UpdaterError& error, UpdaterAcknowledgement acknowledgement) override;
    void showDownloadInitiated(std::function<void()> cancellation) override;
    void showDownloadDidReceiveExpectedContentLength(quint64 expectedLength) override;
    void showDownloadDidReceiveDataOfLength(quint64 length) override;
    void showDownloadDidStartExtractingUpdate() override;
    void showExtractionReceivedProgress(double fraction) override;
    void showReadyToInstallAndRelaunch(UpdaterReply<UpdateChoice> reply) override;
    void showInstallingUpdate(bool applicationTerminated) override;
    void showUpdateInstalledAndRelaunched(bool relaunched, UpdaterAcknowledgement acknowledgement) override;
    void dismissUpdateInstallation() override;

    std::optional<QString> feedUrlString() override { return feedUrlOverride; }
    QSet<QString> allowedChannels() override { return channels; }
};

} // namespace norvelle::test
