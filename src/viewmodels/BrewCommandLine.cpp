#include "viewmodels/BrewCommandLine.h"

#include "platform/TerminalLauncher.h"
#include "sources/brew/CaskToken.h"
#include "platform/Logger.h"

namespace norvelle {

bool BrewCommandLine::isValidCaskToken(const QString& token)
{
    // The same check as every token that reaches brew from the services.
    return CaskToken::isValid(token);
}

QString BrewCommandLine::build(const QString& prefix, const std::optional<Cask>& cask)
{
    if (!cask)
        return {};
    if (!isValidCaskToken(cask->caskName)) {
        Logger::warning(QStringLiteral("Refusing to build a command for invalid cask name: ") +
                        cask->caskName);
        return {};
    }
    return prefix + TerminalLauncher::quoteForShell(cask->caskName);
}

QString BrewCommandLine::upgrade(const std::optional<Cask>& cask)
{
    return build(QStringLiteral("brew upgrade --cask "), cask);
}

QString BrewCommandLine::adopt(const std::optional<Cask>& cask)
{
    return build(QStringLiteral("brew install --cask --adopt "), cask);
}

} // namespace norvelle
