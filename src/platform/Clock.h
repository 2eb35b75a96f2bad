#pragma once

#include <QDateTime>

namespace norvelle {

// The source of "now" for everything that stamps or names things by time; tests hand in a
// clock whose time they set themselves.
class Clock {
public:
    virtual ~Clock() = default;

    // The current moment, in UTC.
    virtual QDateTime now() const;
};

} // namespace norvelle
