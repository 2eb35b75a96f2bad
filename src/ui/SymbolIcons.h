#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace norvelle {

// Icons looked up by the symbol names the screens use ("arrow.up", "checkmark.circle.fill"),
// drawn from the bundled SVGs. The SVGs paint in `currentColor`, which becomes the requested
// colour; without one, the application palette's window text colour at the time the icon is
// painted (so such an icon follows a theme switch). An unknown name gives a
// neutral square, never a null icon, so a missing entry shows instead of leaving a hole.
class SymbolIcons {
public:
    static QIcon icon(const QString& sfSymbolName, const QColor& color = {});
    // The icon drawn at `size` device-independent pixels for the screen's pixel ratio.
    static QPixmap pixmap(const QString& sfSymbolName, int size, const QColor& color = {},
                          qreal devicePixelRatio = 1.0);
    // Whether the name has its own drawing (else the fallback is used).
    static bool isKnown(const QString& sfSymbolName);
    // The recoloured SVG text, or the fallback's for an unknown name.
    static QByteArray svgData(const QString& sfSymbolName, const QColor& color = {});
};

} // namespace norvelle
