#include "coordinator/CoordinatorError.h"

namespace norvelle {

CoordinatorError::CoordinatorError(Case c) : Error(message(c)), m_case(c) {}

QString CoordinatorError::message(Case c)
{
    switch (c) {
    case Case::discovering:
        return QStringLiteral("Discovery is already in progress");
    case Case::updating:
        return QStringLiteral("An update operation is already in progress");
    case Case::adopting:
        return QStringLiteral("An adoption operation is already in progress");
    case Case::noApplicationsFound:
        return QStringLiteral("No applications found. Please scan first.");
    case Case::applicationNotFound:
        return QStringLiteral("Application not found");
    case Case::noUpdateAvailable:
        return QStringLiteral("No update available for this application");
    case Case::notAdoptable:
        return QStringLiteral("Application cannot be adopted by Homebrew");
    case Case::environmentNotReady:
        return QStringLiteral("System environment is not ready. Network connection required.");
    case Case::homebrewNotAvailable:
        return QStringLiteral("Homebrew is not installed. Install from ") + QLatin1String(homebrewHomePage);
    case Case::masNotAvailable:
        return QStringLiteral("MAS CLI is not installed. Install from ") + QLatin1String(masHomePage);
    }
    return {};
}

} // namespace norvelle
