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

void UpdaterRecordingDriver::askUpdatePermission(UpdaterReply<UpdatePermission> reply)
{
    events.append(QStringLiteral("permission"));
    reply(UpdatePermission{false, false});
}

void UpdaterRecordingDriver::checkStarted(std::function<void()>)
{
    events.append(QStringLiteral("checkStarted"));
}

void UpdaterRecordingDriver::checkFinished()
{
    events.append(QStringLiteral("checkDismissed"));
}

void UpdaterRecordingDriver::updateFound(const AppcastItem& item, UpdaterReply<UpdateChoice> reply)
{
    events.append(QStringLiteral("found ") + item.displayVersionString);
    foundItems.append(item);
    reply(foundChoice);
}

void UpdaterRecordingDriver::updateNotFound(UpdaterAcknowledgement acknowledgement)
{
    events.append(QStringLiteral("notFound"));
    acknowledgement();
}

void UpdaterRecordingDriver::updaterFailed(const UpdaterError& error, UpdaterAcknowledgement acknowledgement)
{
    events.append(QStringLiteral("error: ") + error.description());
    errors.append(error);
    acknowledgement();
}

void UpdaterRecordingDriver::downloadStarted(std::function<void()> cancellation)
{
    events.append(QStringLiteral("downloadInitiated"));
    if (cancelDownload)
        cancellation();
}

void UpdaterRecordingDriver::downloadExpectedLength(quint64 expectedLength)
{
    events.append(QStringLiteral("expectedLength"));
    expectedBytes = expectedLength;
}

void UpdaterRecordingDriver::downloadReceived(quint64 length)
{
    receivedBytes += length;
}

void UpdaterRecordingDriver::extractionStarted()
{
    events.append(QStringLiteral("extractionStarted"));
}

void UpdaterRecordingDriver::extractionProgressed(double fraction)
{
    extractionFractions.append(fraction);
}

void UpdaterRecordingDriver::readyToInstall(UpdaterReply<UpdateChoice> reply)
{
    events.append(QStringLiteral("readyToInstall"));
    reply(readyChoice);
}

void UpdaterRecordingDriver::installing(bool)
{
    events.append(QStringLiteral("installing"));
}

void UpdaterRecordingDriver::installed(bool, UpdaterAcknowledgement acknowledgement)
{
    events.append(QStringLiteral("installed"));
    acknowledgement();
}

void UpdaterRecordingDriver::cycleFinished()
{
    events.append(QStringLiteral("dismissInstallation"));
}

} // namespace norvelle::test
