#pragma once

#include "platform/process/ProcessRequest.h"
#include "platform/process/ProcessResult.h"
#include "sources/OutputLineReader.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <chrono>
#include <exception>
#include <optional>

namespace norvelle {

// Runs the outside command-line tools `brew` and `mas` for their services.
//
// One runner serves one tool family; the families differ in the child environment (brew gets
// HOMEBREW_NO_AUTO_UPDATE, HOMEBREW_NO_INSTALL_CLEANUP and HOMEBREW_NO_ENV_HINTS set to "1"),
// their log texts, their error (NorvelleError::brewCommandFailed / masCommandFailed) and their
// keyword table. Runs block the calling worker thread; no state survives from one run to the
// next, so one runner may serve many threads at once.
//
// Every child reads standard input from the null device and runs in a session of its own.
// A captured run has a time limit; on expiry the tool's process group is killed, the run logs
// "Command timed out after <n>s: <path> <arguments>" and throws the family's error. A streamed
// run is killed only when it has written nothing for the silence limit, and is then logged and
// reported the same way. Once the tool has exited, both kinds wait only the grace period for
// descendants that keep the pipes open. A tool that crashes counts as a failed run.
class ToolRunner {
public:
    enum class Family { brew, mas };

    // The texts of the family's error when the tool did not end on its own terms.
    static constexpr QLatin1StringView crashed{"crashed"};
    static constexpr QLatin1StringView timedOut{"timed out"};
    static constexpr QLatin1StringView endedByQuitting{"ended by quitting"};
    // The text of the error of a `mas` run that answered that no store application is installed.
    static constexpr QLatin1StringView noInstalledApps{"no installed apps"};
    // How `mas` says that: on standard error with status 1, or, from some versions, with status 0.
    static constexpr QLatin1StringView noInstalledAppsAnswer{"No installed apps found"};
    // Whether a line of the output is that answer: the whole line, trimmed, bare or after mas's
    // "Error: " label. The words inside another text (an error that happens to quote them) say
    // nothing about what is installed.
    static bool answersNoInstalledApps(QByteArrayView output);
    // Whether error is a run, a transfer or a wait for the main thread that quitting ended, which
    // its caller logs as no failure.
    static bool isEndedByQuitting(const std::exception_ptr& error);

    struct Limits {
        std::chrono::milliseconds command{std::chrono::seconds(120)};
        std::chrono::milliseconds tap{std::chrono::seconds(600)}; // captured `brew tap`
        std::chrono::milliseconds streamGrace{std::chrono::seconds(2)};
        // A streamed run that writes nothing for this long is stuck: real upgrades print
        // progress far more often.
        std::chrono::milliseconds streamSilence{std::chrono::minutes(30)};
    };

    explicit ToolRunner(Family family);
    ToolRunner(Family family, Limits limits);
    virtual ~ToolRunner() = default;

    Family family() const { return m_family; }

    // What a captured run that succeeded wrote, bytes as written (callers decode them).
    struct Output {
        QByteArray standardOutput;
        QByteArray standardError;
    };

    // Captured run: the tool's standard output.
    // Throws the family's NorvelleError, a ToolRunError that says what happened, for a missing or
    // non-executable file, a failed launch, a non-zero exit, a crash or a timeout, after logging
    // as the service logs expect. A run that fails once quitting has begun is logged as ended by
    // quitting, not as a failure.
    virtual QByteArray runCommand(const QString& executable, const QStringList& arguments) const;
    // The same run, with what the tool wrote on standard error beside its answer.
    virtual Output runCaptured(const QString& executable, const QStringList& arguments) const;

    // Streamed run: every non-empty line of both streams reaches onLine, one call at a time,
    // on a reader thread, before this returns. Throws ProcessLaunchError (unlogged) when the
    // tool cannot start, the family's ToolRunError (unlogged) when it fails or crashes, and
    // (logged) when it stayed silent past the limit or quitting ended it.
    virtual void runCommandStreaming(const QString& executable, const QStringList& arguments,
                                     const LineHandler& onLine) const;

    // The environment children of this family get: the application's own, plus brew's variables.
    QProcessEnvironment childEnvironment() const;

    // The keyword table of this family.
    double progressForOutputLine(const QString& line) const;
    static double brewProgressForOutputLine(const QString& line);
    static double masProgressForOutputLine(const QString& line);

    // The brew executable: the first candidate at which a file exists, tested afresh on every
    // call, else the last candidate without a further test (empty for an empty list).
    static QString brewExecutable(const QStringList& candidates);
    // The mas executable: the first candidate at which a file exists, else none.
    static std::optional<QString> masExecutable(const QStringList& candidates);

    // The first line of a tool's output that holds more than white space, trimmed; empty when
    // there is none that decodes.
    static QString firstLine(QByteArrayView output);

private:
    // The run with the family's environment, at the lowered threads' share once a check has begun.
    ProcessRequest request(const QString& executable, const QStringList& arguments) const;
    std::chrono::milliseconds timeLimitFor(const QStringList& arguments) const;
    // The family's error, saying what happened (reason); a run that crashed, timed out or was
    // ended by quitting carries that as its text, which callers use to tell it from the tool's
    // own refusal. The tool's standard error, when it wrote any, goes with it for callers that
    // show its words.
    [[noreturn]] void fail(const QString& text, const QString& reason, const QString& toolOutput = {}) const;
    // A run that ended without succeeding, neither timed out nor ended by quitting: it crashed, or
    // exited with a status, quoted with the first line of a captured run's standard error.
    [[noreturn]] void failEnded(const QString& shown, const ProcessResult& result,
                                const QString& toolOutput) const;
    void logFailure(const QString& command, int status, const QByteArray& out, const QByteArray& err) const;
    // Once quitting has begun, a run that did not succeed was ended by it: logged and thrown as such.
    void failIfQuitting(const QString& command, const QString& shown) const;

    Family m_family;
    Limits m_limits;
};

} // namespace norvelle
