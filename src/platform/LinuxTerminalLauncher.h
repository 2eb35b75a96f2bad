#pragma once

#include "platform/TerminalLauncher.h"

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <optional>

namespace norvelle {

// Runs a command line in the user's terminal emulator: the program named by $TERMINAL, else
// the system's x-terminal-emulator, started with "-e" and an argument list (never a string that
// a shell splits) that runs the user's login shell with the command line. Once the command has
// ended, the window goes on with an interactive login shell, as a terminal window would.
class LinuxTerminalLauncher : public TerminalLauncher {
public:
    explicit LinuxTerminalLauncher(
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());

    Result launch(const QString& commandLine) override;

    // The terminal program found through the environment, else none.
    std::optional<QString> terminalProgram() const;
    // Why no terminal can be started, and what to install or set; shown to the user.
    QString missingTerminalText() const;
    // $SHELL, else "/bin/sh".
    QString loginShell() const;
    // The terminal's arguments: "-e", the shell, "-l", "-c" and the script that runs the
    // command line and then an interactive login shell.
    static QStringList terminalArguments(const QString& shell, const QString& commandLine);

private:
    QProcessEnvironment m_environment;
};

} // namespace norvelle
