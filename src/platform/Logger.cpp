#include "platform/Logger.h"

#include "util/ObserverRegistry.h"

#include "platform/Clock.h"
#include "platform/Paths.h"
#include "platform/SettingsStore.h"
#include "platform/SystemLogSocket.h"
#include "platform/file/SafeFile.h"
#include "util/Iso8601.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <syslog.h>
#include <vector>

namespace norvelle {

namespace {

struct LogEvent {
    Logger::Level level;
    QString message;
};

struct LoggerState {
    // Guards the current file and every file write. Not recursive: nothing that runs under it
    // logs, emits a signal or calls back into the logger.
    std::mutex logLock;
    std::optional<QString> currentLogFile; // absent at launch
    bool folderUnusable = false;           // the current file's folder could not be made (yet)
    bool folderWarned = false;             // said so once already this session

    std::atomic<SettingsStore*> settings{nullptr};

    std::mutex configMutex; // guards paths and clock; taken alone or inside logLock
    std::optional<Paths> paths;
    std::shared_ptr<const Clock> clock;

    // Removing a sink waits for calls of it running on other threads: a sink may capture
    // an object that dies as soon as removeSink returns.
    std::shared_ptr<ObserverRegistry<LogEvent>> sinks = std::make_shared<ObserverRegistry<LogEvent>>();
    std::mutex sinkMutex; // guards the tokens below
    std::map<int, ObserverToken> sinkTokens;
    int nextSink = 1;
};

// Never destroyed: a worker that is still running while the process exits may still log.
LoggerState& state()
{
    static LoggerState* const s = new LoggerState;
    return *s;
}

struct Config {
    Paths paths;
    std::shared_ptr<const Clock> clock;
};

Config config()
{
    LoggerState& s = state();
    std::lock_guard lock(s.configMutex);
    if (!s.paths)
        s.paths = Paths::defaults();
    if (!s.clock)
        s.clock = std::make_shared<Clock>();
    return {*s.paths, s.clock};
}

int syslogPriority(Logger::Level level)
{
    switch (level) {
    case Logger::Level::debug:
        return LOG_DEBUG;
    case Logger::Level::info:
        return LOG_INFO;
    case Logger::Level::warning:
        return LOG_NOTICE;
    case Logger::Level::error:
        return LOG_ERR;
    }
    return LOG_INFO;
}

// The system log takes the subsystem as its ident; the category leads every message's text,
// the way the unified log shows "[category]" beside the subsystem.
// Without a system log to talk to (no socket, as in many containers) syslog(3) drops every
// line silently; standard error then takes them, so a user who started us from a terminal
// still sees them.
void writeToSystemLog(const QString& message, Logger::Level level)
{
    static std::once_flag opened;
    static bool toStandardError = false;
    std::call_once(opened, [] {
        toStandardError = !SystemLogSocket::reachable();
        if (!toStandardError)
            openlog(Logger::subsystem, LOG_PID, LOG_USER);
    });
    const QByteArray utf8 = message.toUtf8();
    if (toStandardError) {
        const QByteArray label = Logger::label(level).toLatin1();
        std::fprintf(stderr, "[%s] [%s] %s\n", Logger::category, label.constData(), utf8.constData());
        return;
    }
    syslog(syslogPriority(level), "[%s] %s", Logger::category, utf8.constData());
}

std::optional<QByteArray> encodeUtf8Strict(const QString& text)
{
    QStringEncoder encoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QByteArray bytes = encoder.encode(text);
    if (encoder.hasError())
        return std::nullopt;
    return bytes;
}

bool appendToFile(const QString& path, const QByteArray& bytes, QString* errorText)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *errorText = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        *errorText = file.errorString();
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        *errorText = file.errorString();
        return false;
    }
    return true;
}

bool writeNewFileAtomically(const QString& path, const QByteArray& bytes, QString* errorText)
{
    return SafeFile::writeAtomically(path, bytes, errorText);
}

// Runs with logLock held. Makes the folder of the current file when it is missing. One that
// cannot be made is reported once per session, not once per message; its lines are dropped
// until a later message finds the folder usable (made by the user, a volume mounted late).
bool ensureFolder(LoggerState& s, const QString& folder)
{
    s.folderUnusable = !QDir().mkpath(folder);
    if (s.folderUnusable && !s.folderWarned) {
        const QByteArray text =
            (QStringLiteral("Failed to write to log file: cannot create the folder ") + folder).toUtf8();
        std::fprintf(stdout, "%s\n", text.constData());
        std::fflush(stdout);
        s.folderWarned = true;
    }
    return !s.folderUnusable;
}

// Starts the file at `path` with its header, created at `now`.
void writeHeader(const QString& path, const QDateTime& now)
{
    const QString header = QStringLiteral("Norvelle Log File\nCreated: ") + Iso8601::toString(now) + u'\n' +
                           QString(48, u'=') + QStringLiteral("\n\n");
    const QByteArray bytes = header.toUtf8();
    QString ignored;
    // A failed header is not reported: the first line then creates the file without one.
    if (QFileInfo::exists(path))
        appendToFile(path, bytes, &ignored);
    else
        writeNewFileAtomically(path, bytes, &ignored);
}

// Runs with logLock held. Starts a new Desktop log file with its header. When a file of the
// same name is there already (switched on twice within one second), the header is appended to
// it instead of replacing it, so the lines already written are kept.
void createLogFile(LoggerState& s)
{
    const Config c = config();
    if (c.paths.desktopFolder.isEmpty())
        return;
    const QDateTime now = c.clock->now();
    const QString name = QStringLiteral("NorvelleLogs-") +
                         now.toLocalTime().toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss")) +
                         QStringLiteral(".txt");
    const QString path = QDir(c.paths.desktopFolder).filePath(name);
    s.currentLogFile = path;
    if (ensureFolder(s, c.paths.desktopFolder))
        writeHeader(path, now);
}

// A tool can print a line of any length; the logs keep the start of it and say how much is gone.
QString capped(const QString& message)
{
    if (message.size() <= Logger::maximumLineLength)
        return message;
    qsizetype kept = Logger::maximumLineLength;
    if (message.at(kept - 1).isHighSurrogate())
        --kept;
    return message.left(kept) +
           QStringLiteral("… (%1 more characters not logged)").arg(message.size() - kept);
}

} // namespace

void Logger::log(const QString& fullMessage, Level level)
{
    const QString message = capped(fullMessage);
    writeToSystemLog(message, level);

    LoggerState& s = state();
    SettingsStore* settings = s.settings.load();
    const bool toFile = settings && settings->desktopLogFilesEnabled();

    s.sinks->notify(LogEvent{level, message});

    if (toFile)
        writeToFile(message, level);
}

void Logger::writeToFile(const QString& message, Level level)
{
    LoggerState& s = state();
    std::lock_guard lock(s.logLock);
    // Read again under the lock: a message whose first check came just before the user switched
    // the files off must not start a new file after it.
    SettingsStore* settings = s.settings.load();
    if (!settings || !settings->desktopLogFilesEnabled())
        return;
    if (!s.currentLogFile)
        createLogFile(s);
    else if (s.folderUnusable && ensureFolder(s, QFileInfo(*s.currentLogFile).path()))
        // The folder appeared since the file was named: the file starts with its header all the same.
        writeHeader(*s.currentLogFile, config().clock->now());
    if (!s.currentLogFile || s.folderUnusable)
        return;

    const QString line = u'[' + Iso8601::toString(config().clock->now()) + QStringLiteral("] [") +
                         label(level) + QStringLiteral("] ") + message + u'\n';
    const auto bytes = encodeUtf8Strict(line);
    if (!bytes)
        return;

    const QString& path = *s.currentLogFile;
    QString errorText;
    // A file deleted or moved away meanwhile is made again, without a header.
    const bool written = QFileInfo::exists(path) ? appendToFile(path, *bytes, &errorText)
                                                 : writeNewFileAtomically(path, *bytes, &errorText);
    if (!written) {
        const QByteArray text = (QStringLiteral("Failed to write to log file: ") + errorText).toUtf8();
        std::fprintf(stdout, "%s\n", text.constData());
        std::fflush(stdout);
    }
}

void Logger::setSettings(SettingsStore* settings)
{
    state().settings.store(settings);
}

void Logger::setDesktopLogFilesEnabled(bool enabled)
{
    LoggerState& s = state();
    SettingsStore* settings = s.settings.load();
    // The store is written before the lock is taken: it tells its observers at once, and an
    // observer that logs must not find the lock held by its own thread.
    if (settings)
        settings->setDesktopLogFilesEnabled(enabled);

    std::lock_guard lock(s.logLock);
    // The stored value decides, so that of two racing switches the last one stored wins here too.
    const bool on = settings && settings->desktopLogFilesEnabled();
    if (on)
        createLogFile(s);
    else
        s.currentLogFile.reset();
}

void Logger::setPaths(const Paths& paths)
{
    LoggerState& s = state();
    std::lock_guard lock(s.configMutex);
    s.paths = paths;
}

void Logger::setClock(std::shared_ptr<const Clock> clock)
{
    LoggerState& s = state();
    std::lock_guard lock(s.configMutex);
    s.clock = clock ? std::move(clock) : std::make_shared<Clock>();
}

QString Logger::applicationSupportDirectory()
{
    return config().paths.supportFolder;
}

QString Logger::label(Level level)
{
    switch (level) {
    case Level::debug:
        return QStringLiteral("DEBUG");
    case Level::info:
        return QStringLiteral("INFO");
    case Level::warning:
        return QStringLiteral("WARN");
    case Level::error:
        return QStringLiteral("ERROR");
    }
    return {};
}

int Logger::addSink(Sink sink)
{
    LoggerState& s = state();
    ObserverToken token = s.sinks->add([sink = std::move(sink)](LogEvent event) { sink(event.level, event.message); });
    std::lock_guard lock(s.sinkMutex);
    const int handle = s.nextSink++;
    s.sinkTokens.emplace(handle, std::move(token));
    return handle;
}

void Logger::removeSink(int handle)
{
    LoggerState& s = state();
    ObserverToken removed;
    {
        std::lock_guard lock(s.sinkMutex);
        const auto it = s.sinkTokens.find(handle);
        if (it == s.sinkTokens.end())
            return;
        removed = std::move(it->second);
        s.sinkTokens.erase(it);
    }
    // The token unregisters here, outside the lock, waiting for running calls.
    removed.reset();
}

} // namespace norvelle
