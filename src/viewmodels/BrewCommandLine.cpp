#include "viewmodels/BrewCommandLine.h"

#include "platform/TerminalLauncher.h"
#include "util/Logger.h"

#include <QRegularExpression>

namespace norvelle {

bool BrewCommandLine::isValidCaskToken(const QString& token)
{
    // Homebrew's tokens are lower-case words with digits and "-", "_", ".", "+", "@"; a tap
    // qualifies them with "user/repo/". Nothing here can start an option or a second word.
    static const QRegularExpression pattern(QStringLiteral(
        "\\A(?:[A-Za-z0-9][A-Za-z0-9_.-]*/[A-Za-z0-9][A-Za-z0-9_.-]*/)?[a-z0-9][a-z0-9_.+@-]*\\z"));
    return token.size() <= 200 && pattern.match(token).hasMatch();
}

QString BrewCommandLine::build(const QString& prefix, const std::optional<Cask>& cask)
{
    if (!cask)
        return {};
    if (!isValidCaskToken(cask->caskName)) {
        Logger::warning(QStringLiteral("Refusing to build a command for invalid cask name: ") + cask->caskName);
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
