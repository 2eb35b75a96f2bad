#pragma once

#include <QIcon>
#include <QPixmap>

namespace norvelle {

// Norvelle's own icon (resources/app/norvelle.svg), for the windows, the tray, the About page and
// the welcome tour. Drawn from the SVG at the sizes asked for, so it needs no icon plugin.
class ProductIcon {
public:
    static QIcon icon();
    static QPixmap pixmap(int size, qreal devicePixelRatio = 1.0);

private:
    ProductIcon() = delete;
};

} // namespace norvelle
