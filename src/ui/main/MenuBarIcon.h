#pragma once

#include "ui/main/MenuBarLabel.h"

#include <QColor>
#include <QIcon>

namespace norvelle {

// Draws a menu-bar label as the square icon a system tray shows: the arrow with the count
// beside it, the dimmed arrow, or a progress glyph; a null icon for the empty label.
class MenuBarIcon {
public:
    static QIcon icon(const MenuBarLabel& label, const QColor& color = {});
};

} // namespace norvelle
