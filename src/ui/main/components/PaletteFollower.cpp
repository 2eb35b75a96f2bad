#include "ui/main/components/PaletteFollower.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace norvelle {

PaletteFollower::PaletteFollower(QWidget* widget, std::function<void()> apply)
    : QObject(widget), m_apply(std::move(apply))
{
    widget->installEventFilter(this);
}

PaletteFollower* PaletteFollower::follow(QWidget* widget, std::function<void()> apply)
{
    auto* follower = new PaletteFollower(widget, std::move(apply));
    QPointer<PaletteFollower> self(follower);
    follower->run();
    return self;
}

void PaletteFollower::run()
{
    // Setting the widget's own palette from `apply` sends another change; that one has nothing new.
    if (m_applying)
        return;
    // `apply` may end this follower (a colour set anew replaces the follower that set it).
    QPointer<PaletteFollower> self(this);
    m_applying = true;
    m_apply();
    if (self)
        m_applying = false;
}

bool PaletteFollower::eventFilter(QObject* watched, QEvent* event)
{
    // A new parent may hand down another palette without a palette change of the widget's own.
    const bool changed = event->type() == QEvent::PaletteChange ||
                         event->type() == QEvent::ApplicationPaletteChange ||
                         event->type() == QEvent::ParentChange;
    if (watched == parent() && changed)
        run();
    return false; // never swallows the event; `run` may have ended this follower
}

} // namespace norvelle
