#include "model/NorvelleError.h"

namespace norvelle {

NorvelleError::NorvelleError(Case c, const QString& text) : Error(message(c, text)), m_case(c), m_text(text) {}

NorvelleError::NorvelleError(Case c, const QString& text, const QString& description)
    : Error(description), m_case(c), m_text(text)
{
}

QString NorvelleError::message(Case c, const QString& text)
{
    switch (c) {
    case Case::directoryNotFound:
        return QStringLiteral("Directory not found: ") + text;
    case Case::updateFailed:
        return QStringLiteral("Failed to update ") + text;
    case Case::brewNotInstalled:
        return QStringLiteral("Homebrew is not installed on this system");
    case Case::brewCommandFailed:
        return QStringLiteral("Homebrew command failed to execute");
    case Case::masCommandFailed:
        return QStringLiteral("MAS command failed to execute");
    case Case::failedToParseBrewOutput:
        // A refusal that knows its reason says it instead of blaming the data format.
        if (!text.isEmpty())
            return text;
        return QStringLiteral("Failed to parse Homebrew output - the data format is invalid");
    case Case::invalidAppID:
        return QStringLiteral("Invalid App Store application ID");
    case Case::productNotFound:
        return QStringLiteral("Product not found in App Store");
    case Case::userCancelled:
        return QStringLiteral("Update cancelled by user");
    case Case::purchasePending:
        return QStringLiteral("Purchase is pending approval");
    case Case::unknownPurchaseResult:
        return QStringLiteral("Unknown purchase result");
    case Case::sparkleNotFound:
        return QStringLiteral("Sparkle framework not found in application bundle");
    case Case::sparkleUpdateFailed:
        return QStringLiteral("Failed to trigger Sparkle update");
    case Case::noUpdateAvailable:
        return QStringLiteral("No update available for this application");
    case Case::missingCaskInfo:
        return QStringLiteral("Missing Homebrew cask information");
    case Case::missingMASInfo:
        return QStringLiteral("Missing App Store information");
    case Case::unsupportedUpdateSource:
        return QStringLiteral("Update source is not supported");
    case Case::updateAlreadyInProgress:
        return QStringLiteral("Update is already in progress for this application");
    case Case::failedToLoadBundle:
        return QStringLiteral("Failed to load application bundle");
    }
    return {};
}

} // namespace norvelle
