#include "platform/LinuxTerminalLauncher.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace norvelle {

namespace {

// The executable `name` resolves to through the environment's PATH (an absolute or relative
// path is taken as it is); none when it is not an executable file.
std::optional<QString> resolveExecutable(const QString& name, const QProcessEnvironment& environment)
{
    if (name.contains(QLatin1Char('/'))) {
        const QFileInfo info(name);
        if (info.isFile() && info.isExecutable())
            return info.absoluteFilePath();
        return std::nullopt;
    }
    const QStringList folders =
        environment.value(QStringLiteral("PATH")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    const QString found = QStandardPaths::findExecutable(name, folders);
    if (found.isEmpty())
        return std::nullopt;
    return found;
}

} // namespace

LinuxTerminalLauncher::LinuxTerminalLauncher(QProcessEnvironment environment)
    : m_environment(std::move(environment))
{
}

std::optional<QString> LinuxTerminalLauncher::terminalProgram() const
{
    // $TERMINAL names one program; it is never split into words.
    const QString chosen = m_environment.value(QStringLiteral("TERMINAL")).trimmed();
    if (!chosen.isEmpty()) {
        if (auto program = resolveExecutable(chosen, m_environment))
            return program;
    }
    return resolveExecutable(QStringLiteral("x-terminal-emulator"), m_environment);
}

QString LinuxTerminalLauncher::missingTerminalText() const
{
    // Said to the user where the command was asked for: what is missing, and both ways out.
    const QString chosen = m_environment.value(QStringLiteral("TERMINAL")).trimmed();
    const QString found =
        chosen.isEmpty()
            ? QStringLiteral("No terminal emulator was found: TERMINAL is not set and x-terminal-emulator is "
                             "not installed.")
            : QStringLiteral("No terminal emulator was found: TERMINAL names \"%1\", which is not a program "
                             "on the search path, and x-terminal-emulator is not installed.")
                  .arg(chosen);
    return found + QStringLiteral(" Install a terminal that provides x-terminal-emulator (such as xterm or "
                                  "GNOME Terminal), or set TERMINAL to your terminal's program.");
}

QString LinuxTerminalLauncher::loginShell() const
{
    const QString shell = m_environment.value(QStringLiteral("SHELL"));
    return shell.isEmpty() ? QStringLiteral("/bin/sh") : shell;
}

QStringList LinuxTerminalLauncher::terminalArguments(const QString& shell, const QString& commandLine)
{
    // The command line is the script's first part, as typed; only our own shell path is added,
    // quoted, so the window stays open with a shell once the command is done.
    const QString script =
        commandLine + QStringLiteral("\nexec ") + quoteForShell(shell) + QStringLiteral(" -l");
    return {QStringLiteral("-e"), shell, QStringLiteral("-l"), QStringLiteral("-c"), script};
}

TerminalLauncher::Result LinuxTerminalLauncher::launch(const QString& commandLine)
{
    const std::optional<QString> program = terminalProgram();
    if (!program)
        return Result::refused(missingTerminalText());

    QProcess process;
    process.setProgram(*program);
    process.setArguments(terminalArguments(loginShell(), commandLine));
    process.setProcessEnvironment(m_environment);
    process.setWorkingDirectory(m_environment.value(QStringLiteral("HOME"), QDir::homePath()));
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached())
        return Result::refused(process.errorString());
    return Result::launched();
}

} // namespace norvelle
