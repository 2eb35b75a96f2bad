#include "UpdaterRecordingDriver.h"

namespace norvelle::test {

int UpdaterRecordingDriver::terminalCount() const
{
    int count = 0;
    for (const QString& event : events) {
        if (event.startsWith(QLatin1String("found ")) || event == QLatin1String("notFound") ||
            event.startsWith(QLatin1String("error: ")))
            ++count;
    }
    return count;
}

void UpdaterRecordingDriver::showUpdatePermissionRequest(UpdaterReply<UpdatePermissionResponse> reply)
{
    events.append(QStringLiteral("permission"));
    reply(UpdatePermissionResponse{false, false});
}

void UpdaterRecordingDriver::showUserInitiatedUpdateCheck(std::function<void()>)
{
    events.append(QStringLiteral("checkStarted"));
}

void UpdaterRecordingDriver::dismissUserInitiatedUpdateCheck()
{
    events.append(QStringLiteral("checkDismissed"));
}

void UpdaterRecordingDriver::showUpdateFound(const AppcastItem& item, UpdaterReply<UpdateChoice> reply)
{
    events.append(QStringLiteral("found ") + item.displayVersionString);
    foundItems.append(item);
    reply(foundChoice);
}

void UpdaterRecordingDriver::showUpdateNotFound(UpdaterAcknowledgement acknowledgement)
{
    events.append(QStringLiteral("notFound"));
    acknowledgement();
}

void UpdaterRecordingDriver::showUpdaterError(const UpdaterError& error,
                                              UpdaterAcknowledgement acknowledgement)
{
    events.append(QStringLiteral("error: ") + error.description());
    errors.append(error);
    acknowledgement();
}

void UpdaterRecordingDriver::showDownloadInitiated(std::function<void()> cancellation)
{
    events.append(QStringLiteral("downloadInitiated"));
    if (cancelDownload)
        cancellation();
}

void UpdaterRecordingDriver::showDownloadDidReceiveExpectedContentLength(quint64 expectedLength)
{
    events.append(QStringLiteral("expectedLength"));
    expectedBytes = expectedLength;
}

void UpdaterRecordingDriver::showDownloadDidReceiveDataOfLength(quint64 length)
{
    receivedBytes += length;
}

void UpdaterRecordingDriver::showDownloadDidStartExtractingUpdate()
{
    events.append(QStringLiteral("extractionStarted"));
}

void UpdaterRecordingDriver::showExtractionReceivedProgress(double fraction)
{
    extractionFractions.append(fraction);
}

void UpdaterRecordingDriver::showReadyToInstallAndRelaunch(UpdaterReply<UpdateChoice> reply)
{
    events.append(QStringLiteral("readyToInstall"));
    reply(readyChoice);
}

void UpdaterRecordingDriver::showInstallingUpdate(bool)
{
    events.append(QStringLiteral("installing"));
}

void UpdaterRecordingDriver::showUpdateInstalledAndRelaunched(bool, UpdaterAcknowledgement acknowledgement)
{
    events.append(QStringLiteral("installed"));
    acknowledgement();
}

void UpdaterRecordingDriver::dismissUpdateInstallation()
{
    events.append(QStringLiteral("dismissInstallation"));
}

} // namespace norvelle::test
