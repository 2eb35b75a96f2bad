#include "ui/onboarding/InstallSourcesRules.h"

#include "ui/main/components/SystemColors.h"

namespace norvelle {

QString InstallSourcesRules::title(bool missingBrew, bool missingMAS)
{
    return missingBrew && missingMAS ? QStringLiteral("Missing Sources") : QStringLiteral("Missing Source");
}

QString InstallSourcesRules::subtitle(bool missingBrew, bool missingMAS)
{
    return missingBrew && missingMAS ? QStringLiteral("Install these tools to enable Norvelle's full feature set")
                                     : QStringLiteral("Install this tool to enable Norvelle's full feature set");
}

QString InstallSourcesRules::masDescription(bool missingBrew)
{
    return missingBrew ? QStringLiteral("First install Homebrew above, then install MAS with this command:")
                       : QStringLiteral("Use Homebrew to install the Mac App Store command-line interface:");
}

QList<InstallSourcesRules::Benefit> InstallSourcesRules::benefits(bool missingBrew, bool missingMAS)
{
    QList<Benefit> rows;
    if (missingBrew) {
        rows.append({QStringLiteral("arrow.triangle.2.circlepath"), SystemColors::orange(),
                     QStringLiteral("Brew App Updates"),
                     QStringLiteral("Norvelle can automatically check for and install updates for apps managed by Homebrew Casks")});
        rows.append({QStringLiteral("link"), SystemColors::green(), QStringLiteral("Brew Cask Adoption"),
                     QStringLiteral("Adopt your existing apps to Homebrew management so Norvelle can keep them updated automatically")});
    }
    if (missingMAS)
        rows.append({QStringLiteral("bag.fill"), SystemColors::blue(), QStringLiteral("App Store Updates"),
                     QStringLiteral("Norvelle can check for and display available updates for your Mac App Store apps")});
    return rows;
}

InstallSourcesRules::Page InstallSourcesRules::page(bool missingBrew, bool missingMAS, bool isRefreshing)
{
    if (!missingBrew && !missingMAS)
        return Page::allInstalled;
    return isRefreshing ? Page::refreshing : Page::main;
}

QString InstallSourcesRules::alertTitle(CommandType type)
{
    return type == CommandType::brew ? QStringLiteral("Install Homebrew via Terminal?")
                                     : QStringLiteral("Install MAS CLI via Terminal?");
}

QString InstallSourcesRules::alertMessage(CommandType type)
{
    return type == CommandType::brew
               ? QStringLiteral("This will open Terminal and run the Homebrew installation script. Follow the prompts to complete the installation.")
               : QStringLiteral("This will open Terminal and run the MAS installation command.");
}

} // namespace norvelle
