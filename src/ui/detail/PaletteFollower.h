#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace norvelle {

// Runs `apply` now and again whenever `widget`'s palette changes (a Light/Dark switch at run
// time), so colours derived from the palette are taken afresh instead of kept from the moment
// the widget was built. `apply` must not set `widget`'s own palette.
class PaletteFollower : public QObject {
    Q_OBJECT

public:
    static void follow(QWidget* widget, std::function<void()> apply);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PaletteFollower(QWidget* widget, std::function<void()> apply);
    std::function<void()> m_apply;
};

} // namespace norvelle
