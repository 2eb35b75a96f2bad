#include "sources/ToolRunner.h"

#include "platform/Paths.h"

#include "model/NorvelleError.h"
#include "platform/Logger.h"
#include "platform/http/HttpClient.h"
#include "platform/process/ProcessGroups.h"
#include "platform/process/ProcessLaunchError.h"
#include "platform/process/ProcessRunner.h"
#include "sources/ToolRunError.h"
#include "util/Async.h"
#include "util/StrictText.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <unistd.h>

namespace norvelle {

namespace {

struct FamilyTexts {
    QString notFound;
    QString notExecutable;
    QString launchFailed;
    QString failedWithError;
    QString failedWithExitCode;
    QString outputPrefix;
};

const FamilyTexts& textsFor(ToolRunner::Family family)
{
    static const FamilyTexts brew{
        QStringLiteral("Executable not found at path: "),
        QStringLiteral("File is not executable: "),
        QStringLiteral("Failed to launch process: "),
        QStringLiteral("Homebrew command failed: "),
        QStringLiteral("Homebrew command failed with exit code "),
        QStringLiteral("Brew output: "),
    };
    static const FamilyTexts mas{
        QStringLiteral("MAS executable not found at path: "), QStringLiteral("MAS file is not executable: "),
        QStringLiteral("Failed to launch MAS process: "),     QStringLiteral("MAS command failed: "),
        QStringLiteral("MAS command failed with exit code "), QStringLiteral("MAS output: "),
    };
    return family == ToolRunner::Family::brew ? brew : mas;
}

struct Keyword {
    const char* word;
    double fraction;
};

// Tested in order, case-sensitively, anywhere in the line; the first word found wins.
constexpr Keyword brewKeywords[] = {
    {"Downloading", 0.3}, {"Downloaded", 0.5},   {"Installing", 0.7}, {"Moving", 0.9},
    {"Linking", 0.9},     {"successfully", 1.0}, {"complete", 1.0},
};
constexpr Keyword masKeywords[] = {
    {"Downloading", 0.3}, {"download", 0.3}, {"Downloaded", 0.5}, {"Installing", 0.7},
    {"install", 0.7},     {"complete", 1.0}, {"success", 1.0},
};

template <std::size_t N> double lookUp(const Keyword (&table)[N], const QString& line)
{
    for (const Keyword& k : table)
        if (line.contains(QLatin1String(k.word), Qt::CaseSensitive))
            return k.fraction;
    return 0.0;
}

QString commandLine(const QString& executable, const QStringList& arguments)
{
    return executable + QLatin1Char(' ') + arguments.join(QLatin1Char(' '));
}

// The command as the user would type it: the family's tool, not where it was found.
QString shownCommand(ToolRunner::Family family, const QStringList& arguments)
{
    const QString tool = family == ToolRunner::Family::brew ? QStringLiteral("brew") : QStringLiteral("mas");
    return (QStringList{tool} + arguments).join(QLatin1Char(' '));
}

QString seconds(std::chrono::milliseconds ms)
{
    return QString::number(static_cast<double>(ms.count()) / 1000.0);
}

} // namespace

ToolRunner::ToolRunner(Family family) : ToolRunner(family, Limits()) {}

ToolRunner::ToolRunner(Family family, Limits limits) : m_family(family), m_limits(limits) {}

QByteArray ToolRunner::runCommand(const QString& executable, const QStringList& arguments) const
{
    return runCaptured(executable, arguments).standardOutput;
}

ToolRunner::Output ToolRunner::runCaptured(const QString& executable, const QStringList& arguments) const
{
    const FamilyTexts& texts = textsFor(m_family);
    const QString command = commandLine(executable, arguments);
    const QString shown = shownCommand(m_family, arguments);
    const QString cannotStart = shown + QStringLiteral(" could not be started: ");
    Logger::debug(QStringLiteral("Executing: ") + command);

    if (!QFileInfo::exists(executable)) {
        Logger::error(texts.notFound + executable);
        fail({}, cannotStart + QStringLiteral("there is no file at ") + executable);
    }
    if (::access(QFile::encodeName(executable).constData(), X_OK) != 0) {
        Logger::error(texts.notExecutable + executable);
        fail({}, cannotStart + executable + QStringLiteral(" is not executable"));
    }

    const std::chrono::milliseconds limit = timeLimitFor(arguments);
    ProcessResult result;
    try {
        result = ProcessRunner::runCaptured(request(executable, arguments), limit, m_limits.streamGrace);
    } catch (const ProcessLaunchError& e) {
        Logger::error(texts.launchFailed + e.description());
        fail({}, cannotStart + e.description());
    }

    if (result.timedOut) {
        Logger::error(QStringLiteral("Command timed out after ") + seconds(limit) + QStringLiteral("s: ") +
                      command);
        fail(timedOut, shown + QStringLiteral(" timed out after ") + seconds(limit) + u's');
    }
    if (result.succeeded())
        return Output{std::move(result.standardOutput), std::move(result.standardError)};
    failIfQuitting(command, shown);

    const std::optional<QString> err = OutputLineReader::decodeUtf8(result.standardError);
    if (m_family == Family::mas && !result.crashed && result.exitCode == 1 &&
        answersNoInstalledApps(result.standardError)) {
        Logger::debug(QStringLiteral("MAS: No installed apps found"));
        fail(noInstalledApps, shown + QStringLiteral(" answered: ") + noInstalledAppsAnswer);
    }
    logFailure(command, result.exitCode, result.standardOutput, result.standardError);
    failEnded(shown, result, err.value_or(QString()).trimmed());
}

void ToolRunner::runCommandStreaming(const QString& executable, const QStringList& arguments,
                                     const LineHandler& onLine) const
{
    const FamilyTexts& texts = textsFor(m_family);
    const OutputLineReader::Classifier classify = m_family == Family::brew
                                                      ? &ToolRunner::brewProgressForOutputLine
                                                      : &ToolRunner::masProgressForOutputLine;
    OutputLineReader out(texts.outputPrefix, classify, onLine);
    OutputLineReader err(texts.outputPrefix, classify, onLine);
    auto readerFor = [&](ProcessChannel channel) -> OutputLineReader& {
        return channel == ProcessChannel::standardOutput ? out : err;
    };

    const ProcessResult result = ProcessRunner::runStreamed(
        request(executable, arguments),
        [&](ProcessChannel channel, QByteArrayView chunk) { readerFor(channel).feed(chunk); },
        [&](ProcessChannel channel) { readerFor(channel).finish(); }, m_limits.streamGrace,
        m_limits.streamSilence);
    const QString shown = shownCommand(m_family, arguments);
    if (result.timedOut) {
        Logger::error(QStringLiteral("Command timed out after ") + seconds(m_limits.streamSilence) +
                      QStringLiteral("s: ") + commandLine(executable, arguments));
        fail(timedOut,
             shown + QStringLiteral(" timed out, silent for ") + seconds(m_limits.streamSilence) + u's');
    }
    if (!result.succeeded()) {
        failIfQuitting(commandLine(executable, arguments), shown);
        failEnded(shown, result, {});
    }
}

void ToolRunner::failIfQuitting(const QString& command, const QString& shown) const
{
    if (!ProcessGroups::isTerminating())
        return;
    // Quitting ended the tool; that says nothing about the tool or what it was asked.
    Logger::info(QStringLiteral("Command ended by quitting: ") + command);
    fail(endedByQuitting, shown + u' ' + endedByQuitting);
}

void ToolRunner::failEnded(const QString& shown, const ProcessResult& result, const QString& toolOutput) const
{
    if (result.crashed)
        fail(crashed, shown + u' ' + crashed, toolOutput);
    const QString line = firstLine(result.standardError);
    fail({},
         shown + QStringLiteral(" exited with status ") + QString::number(result.exitCode) +
             (line.isEmpty() ? QString() : QStringLiteral(": ") + line),
         toolOutput);
}

bool ToolRunner::isEndedByQuitting(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const NorvelleError& failure) {
        return failure.text() == endedByQuitting;
    } catch (const CancelledError&) {
        // A quit shuts the transfers and the hops to the main thread; before it only the user's
        // own cancelling does that, which stays reported as it is.
        return mainLoopEnded();
    } catch (const HttpError& failure) {
        return failure.kind() == HttpError::Kind::cancelled && mainLoopEnded();
    } catch (...) {
        return false;
    }
}

ProcessRequest ToolRunner::request(const QString& executable, const QStringList& arguments) const
{
    ProcessRequest request{executable, arguments, childEnvironment()};
    // During a check `brew` and `mas outdated` took the processor from the main thread at full
    // share while the pool threads that started them had lowered themselves.
    if (backgroundWorkBegun())
        request.niceness = backgroundNiceness();
    return request;
}

QProcessEnvironment ToolRunner::childEnvironment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (m_family == Family::brew) {
        environment.insert(QStringLiteral("HOMEBREW_NO_AUTO_UPDATE"), QStringLiteral("1"));
        environment.insert(QStringLiteral("HOMEBREW_NO_INSTALL_CLEANUP"), QStringLiteral("1"));
        environment.insert(QStringLiteral("HOMEBREW_NO_ENV_HINTS"), QStringLiteral("1"));
    }
    return environment;
}

double ToolRunner::progressForOutputLine(const QString& line) const
{
    return m_family == Family::brew ? brewProgressForOutputLine(line) : masProgressForOutputLine(line);
}

double ToolRunner::brewProgressForOutputLine(const QString& line)
{
    return lookUp(brewKeywords, line);
}

double ToolRunner::masProgressForOutputLine(const QString& line)
{
    return lookUp(masKeywords, line);
}

QString ToolRunner::brewExecutable(const QStringList& candidates)
{
    return Paths::firstExisting(candidates).value_or(candidates.isEmpty() ? QString() : candidates.last());
}

std::optional<QString> ToolRunner::masExecutable(const QStringList& candidates)
{
    return Paths::firstExisting(candidates);
}

QString ToolRunner::firstLine(QByteArrayView output)
{
    for (const QString& line : decodeUtf8Lines(output)) {
        QString trimmed = trimWhitespaceAndNewlines(line);
        if (!trimmed.isEmpty())
            return trimmed;
    }
    return {};
}

bool ToolRunner::answersNoInstalledApps(QByteArrayView output)
{
    static constexpr QLatin1StringView label{"Error: "};
    const QStringList lines = decodeUtf8Lines(output);
    return std::any_of(lines.cbegin(), lines.cend(), [](const QString& line) {
        const QString said = trimWhitespaceAndNewlines(line);
        return said == noInstalledAppsAnswer ||
               (said.startsWith(label) &&
                trimWhitespaceAndNewlines(QStringView(said).sliced(label.size())) == noInstalledAppsAnswer);
    });
}

std::chrono::milliseconds ToolRunner::timeLimitFor(const QStringList& arguments) const
{
    if (m_family == Family::brew && !arguments.isEmpty() && arguments.first() == QLatin1String("tap"))
        return m_limits.tap;
    return m_limits.command;
}

void ToolRunner::fail(const QString& text, const QString& reason, const QString& toolOutput) const
{
    ToolRunError error(m_family == Family::brew ? NorvelleError::Case::brewCommandFailed
                                                : NorvelleError::Case::masCommandFailed,
                       text, reason);
    error.withToolOutput(toolOutput);
    throw error;
}

void ToolRunner::logFailure(const QString& command, int status, const QByteArray& out,
                            const QByteArray& err) const
{
    const FamilyTexts& texts = textsFor(m_family);
    const std::optional<QString> errText = OutputLineReader::decodeUtf8(err);
    if (errText && !errText->isEmpty()) {
        Logger::error(texts.failedWithError + command);
        Logger::error(QStringLiteral("Exit code: ") + QString::number(status));
        Logger::error(QStringLiteral("Error output: ") + errText->trimmed());
        return;
    }
    Logger::error(texts.failedWithExitCode + QString::number(status) + QStringLiteral(": ") + command);
    const std::optional<QString> outText = OutputLineReader::decodeUtf8(out);
    if (outText && !outText->isEmpty())
        Logger::error(QStringLiteral("Stdout output: ") + outText->trimmed());
}

} // namespace norvelle
