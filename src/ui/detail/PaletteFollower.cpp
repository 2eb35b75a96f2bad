#include "ui/detail/PaletteFollower.h"

#include <QEvent>
#include <QWidget>

namespace norvelle {

PaletteFollower::PaletteFollower(QWidget* widget, std::function<void()> apply)
    : QObject(widget), m_apply(std::move(apply))
{
    widget->installEventFilter(this);
}

void PaletteFollower::follow(QWidget* widget, std::function<void()> apply)
{
    auto* follower = new PaletteFollower(widget, std::move(apply));
    follower->m_apply();
}

bool PaletteFollower::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parent()
        && (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange))
        m_apply();
    return QObject::eventFilter(watched, event);
}

} // namespace norvelle
