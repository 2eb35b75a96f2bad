#include "platform/Clock.h"

namespace norvelle {

QDateTime Clock::now() const
{
    return QDateTime::currentDateTimeUtc();
}

} // namespace norvelle
