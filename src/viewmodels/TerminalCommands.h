#pragma once

#include "platform/Paths.h"
#include "platform/TerminalLauncher.h"

#include <QFuture>
#include <QObject>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>

namespace norvelle {

// How long the terminal flags stay raised, and how long brew doctor may run.
struct TerminalCommandTiming {
    std::chrono::milliseconds launchCooldown{1000};    // isLaunchingTerminal after a hand-over
    std::chrono::milliseconds launchedNotice{2000};    // didLaunchTerminal after a success
    std::chrono::milliseconds brewDoctorLimit{300000}; // then the shell's process group is killed
};

// The detail pane's two commands that need no coordinator: handing a command line to the user's
// terminal, and running `brew doctor` through the user's login shell with its report kept for the
// brew-doctor sheet. Lives on the main thread; every field signals only a real change.
class TerminalCommands : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isLaunchingTerminal READ isLaunchingTerminal NOTIFY isLaunchingTerminalChanged)
    Q_PROPERTY(bool didLaunchTerminal READ didLaunchTerminal NOTIFY didLaunchTerminalChanged)
    Q_PROPERTY(bool suppressTerminalAlert READ suppressTerminalAlert WRITE setSuppressTerminalAlert NOTIFY
                   suppressTerminalAlertChanged)
    Q_PROPERTY(bool showTerminalAlert READ showTerminalAlert WRITE setShowTerminalAlert NOTIFY
                   showTerminalAlertChanged)
    Q_PROPERTY(bool isRunningBrewDoctor READ isRunningBrewDoctor NOTIFY isRunningBrewDoctorChanged)
    Q_PROPERTY(QString brewDoctorOutput READ brewDoctorOutput NOTIFY brewDoctorOutputChanged)
    Q_PROPERTY(bool brewDoctorHasError READ brewDoctorHasError NOTIFY brewDoctorHasErrorChanged)

public:
    static constexpr const char* homebrewWebAddress = "https://brew.sh";

    // Homebrew counts as installed when something exists at one of paths.brewCandidates; the
    // login shell is environment's "SHELL" (else "/bin/zsh"), which also gets that environment.
    TerminalCommands(Paths paths, std::shared_ptr<TerminalLauncher> launcher,
                     QProcessEnvironment environment = QProcessEnvironment::systemEnvironment(),
                     TerminalCommandTiming timing = {}, QObject* parent = nullptr);
    ~TerminalCommands() override;

    bool isLaunchingTerminal() const { return m_isLaunchingTerminal; }
    bool didLaunchTerminal() const { return m_didLaunchTerminal; }
    bool suppressTerminalAlert() const { return m_suppressTerminalAlert; }
    void setSuppressTerminalAlert(bool value);
    bool showTerminalAlert() const { return m_showTerminalAlert; }
    void setShowTerminalAlert(bool value);
    bool isRunningBrewDoctor() const { return m_isRunningBrewDoctor; }
    QString brewDoctorOutput() const { return m_brewDoctorOutput; }
    bool brewDoctorHasError() const { return m_brewDoctorHasError; }

    // Hands a command line (shell code) to the terminal and returns the launcher's answer (without
    // a launcher: not prepared). A second call while the previous hand-over is less than a
    // cooldown old is dropped with a warning and returns none.
    std::optional<TerminalLauncher::Result> executeInTerminal(const QString& commandLine);
    // The same for a command given as words, each quoted for the shell; use it for every
    // command that holds outside text, such as a cask name.
    std::optional<TerminalLauncher::Result> executeInTerminal(const QStringList& arguments);

    // Runs `brew doctor` in the login shell and keeps its report and error flag. The future
    // finishes once the fields hold the outcome.
    QFuture<void> runBrewDoctor();

    // "Error: Homebrew is not installed." with the hint where to get it.
    static QString homebrewMissingText();

Q_SIGNALS:
    void isLaunchingTerminalChanged(bool value);
    void didLaunchTerminalChanged(bool value);
    void suppressTerminalAlertChanged(bool value);
    void showTerminalAlertChanged(bool value);
    void isRunningBrewDoctorChanged(bool value);
    void brewDoctorOutputChanged(const QString& value);
    void brewDoctorHasErrorChanged(bool value);

private:
    struct DoctorOutcome {
        QString output;
        bool hasError = false;
    };
    // On a worker thread; takes copies, so it never reaches back into the object.
    static DoctorOutcome runDoctorProcess(const QProcessEnvironment& environment,
                                          std::chrono::milliseconds limit);
    void finishBrewDoctor(const DoctorOutcome& outcome);

    void setIsLaunchingTerminal(bool value);
    void setDidLaunchTerminal(bool value);
    void setIsRunningBrewDoctor(bool value);
    void setBrewDoctorOutput(const QString& value);
    void setBrewDoctorHasError(bool value);

    const Paths m_paths;
    const std::shared_ptr<TerminalLauncher> m_launcher;
    const QProcessEnvironment m_environment;
    const TerminalCommandTiming m_timing;

    bool m_isLaunchingTerminal = false;
    bool m_didLaunchTerminal = false;
    bool m_suppressTerminalAlert = false;
    bool m_showTerminalAlert = false;
    bool m_isRunningBrewDoctor = false;
    QString m_brewDoctorOutput;
    bool m_brewDoctorHasError = false;
    quint64 m_launchGeneration = 0;
};

} // namespace norvelle
