#include "util/Logger.h"

#include <QByteArray>
#include <map>
#include <mutex>
#include <syslog.h>

namespace norvelle {

namespace {
std::mutex g_sinkMutex;
std::map<int, Logger::Sink>& sinks()
{
    static std::map<int, Logger::Sink> s;
    return s;
}
int g_nextSink = 1;

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
} // namespace

void Logger::log(const QString& message, Level level)
{
    const QByteArray utf8 = message.toUtf8();
    syslog(syslogPriority(level), "%s", utf8.constData());
    std::map<int, Sink> copy;
    {
        std::lock_guard lock(g_sinkMutex);
        copy = sinks();
    }
    for (auto& [handle, sink] : copy)
        sink(level, message);
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
    std::lock_guard lock(g_sinkMutex);
    const int handle = g_nextSink++;
    sinks().emplace(handle, std::move(sink));
    return handle;
}

void Logger::removeSink(int handle)
{
    std::lock_guard lock(g_sinkMutex);
    sinks().erase(handle);
}

} // namespace norvelle
