#pragma once

#include "tst_sidebarworld.h"

#include "FakeTerminalLauncher.h"
#include "viewmodels/TerminalCommands.h"

#include <QProcessEnvironment>
#include <chrono>
#include <memory>

namespace norvelle::test {

// The main window's test world whose detail view model hands commands to a recording terminal
// launcher, with no wait between opening the terminal and running the command.
struct TerminalWorld : MainWindowTestWorld {
    TerminalWorld() { detail.useTerminalCommands(commands); }
    std::shared_ptr<FakeTerminalLauncher> launcher = std::make_shared<FakeTerminalLauncher>();
    TerminalCommands commands{Paths{}, launcher, QProcessEnvironment(),
                              TerminalCommandTiming{std::chrono::milliseconds(0)}};
};

} // namespace norvelle::test
