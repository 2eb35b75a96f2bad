#pragma once

#include <QString>

namespace norvelle {

// The install commands and project pages the onboarding screens offer. They are the product's
// own fixed texts: nothing from outside is ever put into a command handed to the terminal.
class ToolInstallCommands {
public:
    // Homebrew's published one-line installer: bash runs the install script curl fetches.
    static QString brewCommand();
    static QString masCommand();
    static QString homebrewHomePage();
    static QString masRepositoryPage();

private:
    ToolInstallCommands() = delete;
};

} // namespace norvelle
