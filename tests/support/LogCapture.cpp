#include "LogCapture.h"

namespace norvelle::test {

LogCapture::LogCapture()
{
    m_handle = Logger::addSink([this](Logger::Level level, const QString& message) {
        std::lock_guard lock(m_mutex);
        m_lines.append({level, message});
    });
}

LogCapture::~LogCapture() { Logger::removeSink(m_handle); }

QList<QPair<Logger::Level, QString>> LogCapture::lines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}

bool LogCapture::contains(Logger::Level level, const QString& message) const { return count(level, message) > 0; }

bool LogCapture::containsPrefix(Logger::Level level, const QString& prefix) const
{
    std::lock_guard lock(m_mutex);
    for (const auto& [l, m] : m_lines)
        if (l == level && m.startsWith(prefix))
            return true;
    return false;
}

int LogCapture::count(Logger::Level level, const QString& message) const
{
    std::lock_guard lock(m_mutex);
    int n = 0;
    for (const auto& [l, m] : m_lines)
        if (l == level && m == message)
            ++n;
    return n;
}

void LogCapture::clear()
{
    std::lock_guard lock(m_mutex);
    m_lines.clear();
}

} // namespace norvelle::test
