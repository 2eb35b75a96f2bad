#include "ui/main/MenuBarLabel.h"

namespace norvelle {

MenuBarLabel MenuBarLabel::from(bool hasCompletedWelcomeTour, bool isBusy, int updateCount)
{
    if (!hasCompletedWelcomeTour)
        return {Kind::empty, 0};
    if (isBusy)
        return {Kind::progress, 0};
    if (updateCount > 0)
        return {Kind::count, updateCount};
    return {Kind::idle, 0};
}

QString MenuBarLabel::text() const
{
    return kind == Kind::count ? QString::number(count) : QString();
}

} // namespace norvelle
