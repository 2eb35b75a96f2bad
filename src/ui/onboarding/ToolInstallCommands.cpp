#include "ui/onboarding/ToolInstallCommands.h"

namespace norvelle {

QString ToolInstallCommands::brewCommand()
{
    return QStringLiteral(
        "/bin/bash -c \"$(curl -fsSL https://raw.githubusercontent.com/Homebrew/install/HEAD/install.sh)\"");
}

QString ToolInstallCommands::masCommand()
{
    return QStringLiteral("brew install mas");
}

QString ToolInstallCommands::homebrewHomePage()
{
    return QStringLiteral("https://brew.sh");
}

QString ToolInstallCommands::masRepositoryPage()
{
    return QStringLiteral("https://github.com/mas-cli/mas");
}

} // namespace norvelle
