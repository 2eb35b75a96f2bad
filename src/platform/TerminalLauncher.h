#pragma once

#include <QString>
#include <QStringList>

namespace norvelle {

// Shows one shell command line running in a terminal window, so that the user can watch it and
// answer its prompts (an administrator password, a confirmation). Called on the main thread;
// returns once the terminal has accepted or refused the command, never waiting for the command.
//
// The command line is shell code. Anything in it that came from outside (a cask name, a path)
// must have been quoted with quoteForShell/shellCommandLine first.
class TerminalLauncher {
public:
    struct Result {
        enum class Status {
            launched,    // the terminal took the command
            notPrepared, // the hand-over could not even be prepared; nothing was tried
            refused,     // the terminal or the system refused it; see errorDescription
        };
        Status status = Status::launched;
        QString errorDescription;

        static Result launched() { return {}; }
        static Result notPrepared() { return {Status::notPrepared, {}}; }
        static Result refused(const QString& description) { return {Status::refused, description}; }
    };

    virtual ~TerminalLauncher() = default;

    virtual Result launch(const QString& commandLine) = 0;

    // One argument as a POSIX shell word: unchanged when it holds only characters that no shell
    // treats specially, otherwise in single quotes (a single quote inside becomes '\'').
    // The empty argument becomes ''.
    static QString quoteForShell(const QString& argument);
    // The arguments quoted one by one and joined by single spaces.
    static QString shellCommandLine(const QStringList& arguments);

    // The text of the AppleScript that runs commandLine in Terminal's first window (opening one
    // when none exists): backslashes doubled first, then double quotes escaped.
    static QString escapeForAppleScript(const QString& commandLine);
    static QString terminalAppleScript(const QString& commandLine);

protected:
    TerminalLauncher() = default;
    TerminalLauncher(const TerminalLauncher&) = default;
    TerminalLauncher& operator=(const TerminalLauncher&) = default;
};

} // namespace norvelle
