#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace norvelle {

// Runs `apply` now and again whenever the palette `widget` shows may have changed (a Light/Dark
// switch at run time, a new parent), so colours derived from the palette are taken afresh instead
// of kept from the moment the widget was built. `apply` may set `widget`'s own palette. The
// follower is `widget`'s child; `follow` returns it, or null when `apply` ended it.
class PaletteFollower : public QObject {
    Q_OBJECT

public:
    static PaletteFollower* follow(QWidget* widget, std::function<void()> apply);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PaletteFollower(QWidget* widget, std::function<void()> apply);
    void run();
    std::function<void()> m_apply;
    bool m_applying = false;
};

} // namespace norvelle
