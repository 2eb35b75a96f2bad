#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace norvelle {

class Clock;
class SettingsStore;
struct Paths;

// The system's only logging facility: every message goes to the system log and,
// while the user has Desktop log files switched on, to the current Desktop log file.
//
// Desktop log files: "NorvelleLogs-yyyy-MM-dd_HH-mm-ss.txt" (local time) in the Desktop folder,
// starting with a header; one line per message, "[<UTC time>] [<LABEL>] <message>". A new file is
// started when the user switches the files on, and on the first message after launch.
class Logger {
public:
    enum class Level { debug, info, warning, error };
    using Sink = std::function<void(Level, const QString&)>;

    // System-log identity: the ident of every line, and the category at the start of its text.
    static constexpr const char* subsystem = "com.norvelle";
    static constexpr const char* category = "Norvelle";
    // Longer messages are cut to this many characters, followed by how many were left out.
    static constexpr qsizetype maximumLineLength = 16 * 1024;

    static void debug(const QString& message) { log(message, Level::debug); }
    static void info(const QString& message) { log(message, Level::info); }
    static void warning(const QString& message) { log(message, Level::warning); }
    static void error(const QString& message) { log(message, Level::error); }
    static void log(const QString& message, Level level);

    // The file label of a level: "DEBUG", "INFO", "WARN", "ERROR".
    static QString label(Level level);

    // Extra receivers of every message (tests), called on the logging thread. Returns a handle
    // for removeSink. Once removeSink returns, the sink is not running on another thread and is
    // never called again.
    static int addSink(Sink sink);
    static void removeSink(int handle);

    // The store that holds "desktopLogFilesEnabled". Set once by the composition root (and by
    // tests); must outlive its use here, so set it back to nullptr before destroying the store.
    // Without a store, Desktop log files are off.
    static void setSettings(SettingsStore* settings);

    // The user's switch: stores the setting through the store (so every screen sees it) and,
    // when on, starts a new Desktop log file at once; when off, forgets the current file.
    static void setDesktopLogFilesEnabled(bool enabled);

    // Where the Desktop and support folders are (the real ones until set).
    static void setPaths(const Paths& paths);
    // The time source of file names and stamps (the system clock until set; nullptr restores it).
    static void setClock(std::shared_ptr<const Clock> clock);

    // The system's support folder (home + "Library/Application Support/Norvelle" on a Mac).
    // Not created here.
    static QString applicationSupportDirectory();

private:
    Logger() = delete;
    static void writeToFile(const QString& message, Level level);
};

} // namespace norvelle
