#pragma once

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <syslog.h>

namespace norvelle::fuzz {

// The parsers log what they refuse; millions of inputs must not reach the system log. Without a
// system log the logger writes to standard error instead: run the targets with -close_fd_mask=2.
inline void silenceSystemLog()
{
    setlogmask(LOG_MASK(LOG_EMERG));
}

inline QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

// Outside text as the callers hand it to the parsers: already decoded, bad bytes replaced.
inline QString text(const uint8_t* data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

} // namespace norvelle::fuzz
