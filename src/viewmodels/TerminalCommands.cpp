#include "viewmodels/TerminalCommands.h"

#include "platform/TerminalLauncher.h"
#include "platform/process/ProcessLaunchError.h"
#include "platform/process/ProcessRunner.h"
#include "util/Async.h"
#include "platform/Logger.h"
#include "util/StrictText.h"

#include <QPointer>
#include <QPromise>
#include <QTimer>

namespace norvelle {

namespace {

QString decodedOrEmpty(const QByteArray& bytes)
{
    return decodeUtf8Strict(bytes).value_or(QString());
}

} // namespace

TerminalCommands::TerminalCommands(Paths paths, std::shared_ptr<TerminalLauncher> launcher,
                                   QProcessEnvironment environment, TerminalCommandTiming timing,
                                   QObject* parent)
    : QObject(parent), m_paths(std::move(paths)), m_launcher(std::move(launcher)),
      m_environment(std::move(environment)), m_timing(timing)
{
}

TerminalCommands::~TerminalCommands() = default;

QString TerminalCommands::homebrewMissingText()
{
    return QStringLiteral("Error: Homebrew is not installed.\n\nPlease install Homebrew from ") +
           QLatin1String(homebrewWebAddress);
}

std::optional<TerminalLauncher::Result> TerminalCommands::executeInTerminal(const QStringList& arguments)
{
    return executeInTerminal(TerminalLauncher::shellCommandLine(arguments));
}

std::optional<TerminalLauncher::Result> TerminalCommands::executeInTerminal(const QString& commandLine)
{
    if (m_isLaunchingTerminal) {
        Logger::warning(QStringLiteral("Terminal launch already in progress, ignoring duplicate request"));
        return std::nullopt;
    }
    setIsLaunchingTerminal(true);
    Logger::info(QStringLiteral("Executing command in Terminal: ") + commandLine);

    const TerminalLauncher::Result result =
        m_launcher ? m_launcher->launch(commandLine) : TerminalLauncher::Result::notPrepared();
    switch (result.status) {
    case TerminalLauncher::Result::Status::launched:
        Logger::info(QStringLiteral("Successfully launched Terminal with command"));
        setDidLaunchTerminal(true);
        // A later success restarts the notice instead of being cut short by this one's timer.
        QTimer::singleShot(m_timing.launchedNotice, this, [this, generation = ++m_launchGeneration] {
            if (generation == m_launchGeneration)
                setDidLaunchTerminal(false);
        });
        break;
    case TerminalLauncher::Result::Status::refused:
        Logger::error(QStringLiteral("AppleScript error: ") + result.errorDescription);
        break;
    case TerminalLauncher::Result::Status::notPrepared:
        break;
    }
    QTimer::singleShot(m_timing.launchCooldown, this, [this] { setIsLaunchingTerminal(false); });
    return result;
}

QFuture<void> TerminalCommands::runBrewDoctor()
{
    setIsRunningBrewDoctor(true);
    setBrewDoctorOutput(QString());
    setBrewDoctorHasError(false);

    // The login shell finds brew through the user's own search path; the fixed locations only
    // tell whether Homebrew is there at all.
    if (!Paths::firstExisting(m_paths.brewCandidates)) {
        setBrewDoctorOutput(homebrewMissingText());
        setBrewDoctorHasError(true);
        setIsRunningBrewDoctor(false);
        QPromise<void> done;
        done.start();
        done.finish();
        return done.future();
    }

    auto promise = std::make_shared<QPromise<void>>();
    promise->start();
    QFuture<void> future = promise->future();
    QPointer<TerminalCommands> guard(this);
    runAsync([environment = m_environment, limit = m_timing.brewDoctorLimit, guard, promise] {
        DoctorOutcome outcome = runDoctorProcess(environment, limit);
        postToMain([guard, promise, outcome = std::move(outcome)] {
            if (guard)
                guard->finishBrewDoctor(outcome);
            promise->finish();
        });
    });
    return future;
}

TerminalCommands::DoctorOutcome TerminalCommands::runDoctorProcess(const QProcessEnvironment& environment,
                                                                   std::chrono::milliseconds limit)
{
    ProcessRequest request;
    const QString shell = environment.value(QStringLiteral("SHELL"));
    request.program = shell.isEmpty() ? QStringLiteral("/bin/zsh") : shell;
    // Fixed arguments: nothing from outside reaches the shell's command text.
    request.arguments = {QStringLiteral("-l"), QStringLiteral("-c"), QStringLiteral("brew doctor")};
    request.environment = environment;

    ProcessResult result;
    try {
        result = ProcessRunner::runCaptured(request, limit);
    } catch (const std::exception& e) {
        return {QStringLiteral("Failed to run brew doctor: ") + describeException(e), true};
    }
    if (result.timedOut) {
        const QString seconds = QString::number(limit.count() / 1000.0);
        Logger::warning(QStringLiteral("brew doctor did not finish within ") + seconds +
                        QStringLiteral(" seconds and was stopped"));
        return {QStringLiteral("Failed to run brew doctor: it did not finish within ") + seconds +
                    QStringLiteral(" seconds"),
                true};
    }

    const QString standardOutput = decodedOrEmpty(result.standardOutput);
    if (result.succeeded())
        return {standardOutput.isEmpty() ? QStringLiteral("Your system is ready to brew.") : standardOutput,
                false};
    const QString standardError = decodedOrEmpty(result.standardError);
    if (!standardError.isEmpty())
        return {standardError, true};
    if (!standardOutput.isEmpty())
        return {standardOutput, true};
    return {QStringLiteral("brew doctor completed with warnings or errors (exit code: ") +
                QString::number(result.exitCode) + QLatin1Char(')'),
            true};
}

void TerminalCommands::finishBrewDoctor(const DoctorOutcome& outcome)
{
    // A clean report clears the flag after the text; a failed one raises it before the text.
    if (outcome.hasError) {
        setBrewDoctorHasError(true);
        setBrewDoctorOutput(outcome.output);
    } else {
        setBrewDoctorOutput(outcome.output);
        setBrewDoctorHasError(false);
    }
    setIsRunningBrewDoctor(false);
}

void TerminalCommands::setIsLaunchingTerminal(bool value)
{
    if (m_isLaunchingTerminal == value)
        return;
    m_isLaunchingTerminal = value;
    Q_EMIT isLaunchingTerminalChanged(value);
}

void TerminalCommands::setDidLaunchTerminal(bool value)
{
    if (m_didLaunchTerminal == value)
        return;
    m_didLaunchTerminal = value;
    Q_EMIT didLaunchTerminalChanged(value);
}

void TerminalCommands::setSuppressTerminalAlert(bool value)
{
    if (m_suppressTerminalAlert == value)
        return;
    m_suppressTerminalAlert = value;
    Q_EMIT suppressTerminalAlertChanged(value);
}

void TerminalCommands::setShowTerminalAlert(bool value)
{
    if (m_showTerminalAlert == value)
        return;
    m_showTerminalAlert = value;
    Q_EMIT showTerminalAlertChanged(value);
}

void TerminalCommands::setIsRunningBrewDoctor(bool value)
{
    if (m_isRunningBrewDoctor == value)
        return;
    m_isRunningBrewDoctor = value;
    Q_EMIT isRunningBrewDoctorChanged(value);
}

void TerminalCommands::setBrewDoctorOutput(const QString& value)
{
    if (m_brewDoctorOutput == value)
        return;
    m_brewDoctorOutput = value;
    Q_EMIT brewDoctorOutputChanged(value);
}

void TerminalCommands::setBrewDoctorHasError(bool value)
{
    if (m_brewDoctorHasError == value)
        return;
    m_brewDoctorHasError = value;
    Q_EMIT brewDoctorHasErrorChanged(value);
}

} // namespace norvelle
