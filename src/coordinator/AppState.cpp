#include "coordinator/AppState.h"

#include "platform/SettingsStore.h"
#include "platform/UrlOpener.h"
#include "platform/Logger.h"

#include <QUrl>

namespace norvelle {

AppState::AppState(SettingsStore& settings, std::shared_ptr<UrlOpener> urlOpener, QObject* parent)
    : QObject(parent), m_settings(settings), m_urlOpener(std::move(urlOpener)),
      m_hasAppManagementPermission(settings.hasAppManagementPermission()),
      m_hasCompletedWelcomeTour(settings.hasCompletedWelcomeTour())
{
}

AppState::~AppState() = default;

void AppState::setHasAppManagementPermission(bool value)
{
    // What the file holds is what is shown and acted on: an unsaved switch would let updates run
    // that the next start refuses. After a failed write the switch is told to go back.
    if (!m_settings.setHasAppManagementPermission(value)) {
        Q_EMIT hasAppManagementPermissionChanged(m_hasAppManagementPermission);
        return;
    }
    if (value == m_hasAppManagementPermission)
        return;
    m_hasAppManagementPermission = value;
    Q_EMIT hasAppManagementPermissionChanged(value);
}

void AppState::setHasCompletedWelcomeTour(bool value)
{
    const bool changed = value != m_hasCompletedWelcomeTour;
    m_hasCompletedWelcomeTour = value;
    m_settings.setHasCompletedWelcomeTour(value);
    if (changed)
        Q_EMIT hasCompletedWelcomeTourChanged(value);
}

void AppState::setShowUpdateCheckError(bool value)
{
    if (value == m_showUpdateCheckError)
        return;
    m_showUpdateCheckError = value;
    Q_EMIT showUpdateCheckErrorChanged(value);
}

void AppState::setUpdateCheckErrorMessage(const QString& value)
{
    if (value == m_updateCheckErrorMessage)
        return;
    m_updateCheckErrorMessage = value;
    Q_EMIT updateCheckErrorMessageChanged(value);
}

bool AppState::openAppManagementSettings()
{
    if (!systemHasAppManagementSettings) {
        // Handed to the desktop, the address would start an opener that fails out of sight.
        Logger::info(QStringLiteral("No App Management settings on this system; showing the explanation"));
        return false;
    }
    const QUrl url(QString::fromLatin1(appManagementSettingsUrl), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) {
        Logger::error(QStringLiteral("Failed to create App Management settings URL"));
        return false;
    }
    if (!m_urlOpener || !m_urlOpener->openUrl(url)) {
        Logger::warning(QStringLiteral("Failed to open App Management settings"));
        return false;
    }
    Logger::info(QStringLiteral("Opened App Management settings"));
    return true;
}

} // namespace norvelle
