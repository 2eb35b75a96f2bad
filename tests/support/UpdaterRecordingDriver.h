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

    void askUpdatePermission(UpdaterReply<UpdatePermission> reply) override;
    void checkStarted(std::function<void()> cancellation) override;
    void checkFinished() override;
    void updateFound(const AppcastItem& item, UpdaterReply<UpdateChoice> reply) override;
    void updateNotFound(UpdaterAcknowledgement acknowledgement) override;
    void updaterFailed(const UpdaterError& error, UpdaterAcknowledgement acknowledgement) override;
    void downloadStarted(std::function<void()> cancellation) override;
    void downloadExpectedLength(quint64 expectedLength) override;
    void downloadReceived(quint64 length) override;
    void extractionStarted() override;
    void extractionProgressed(double fraction) override;
    void readyToInstall(UpdaterReply<UpdateChoice> reply) override;
    void installing(bool applicationTerminated) override;
    void installed(bool relaunched, UpdaterAcknowledgement acknowledgement) override;
    void cycleFinished() override;

    std::optional<QString> feedUrlString() override { return feedUrlOverride; }
    QSet<QString> allowedChannels() override { return channels; }
};

} // namespace norvelle::test
