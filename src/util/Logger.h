#pragma once

#include <QString>
#include <functional>

namespace norvelle {

class SettingsStore;

// The system's only logging facility: every message goes to the system log and,
// while the user has Desktop log files switched on, to the current Desktop log file.
class Logger {
public:
    enum class Level { debug, info, warning, error };
    using Sink = std::function<void(Level, const QString&)>;

    static void debug(const QString& message) { log(message, Level::debug); }
    static void info(const QString& message) { log(message, Level::info); }
    static void warning(const QString& message) { log(message, Level::warning); }
    static void error(const QString& message) { log(message, Level::error); }
    static void log(const QString& message, Level level);

    // The file label of a level: "DEBUG", "INFO", "WARN", "ERROR".
    static QString label(Level level);

    // Extra receivers of every message (tests). Returns a handle for removeSink.
    static int addSink(Sink sink);
    static void removeSink(int handle);

private:
    Logger() = delete;
};

} // namespace norvelle
