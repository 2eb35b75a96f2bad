#pragma once

#include "platform/Logger.h"

#include <QList>
#include <QPair>
#include <QString>
#include <mutex>

namespace norvelle::test {

// Records every log line while alive, so a test can assert the exact texts.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QList<QPair<Logger::Level, QString>> lines() const;
    bool contains(Logger::Level level, const QString& message) const;
    bool containsPrefix(Logger::Level level, const QString& prefix) const;
    int count(Logger::Level level, const QString& message) const;
    void clear();

private:
    mutable std::mutex m_mutex;
    QList<QPair<Logger::Level, QString>> m_lines;
    int m_handle;
};

} // namespace norvelle::test
