#pragma once

#include <QColor>

namespace norvelle {

// The named colours the screens share: the platform's system colours (their light
// appearance values) and the semantic text styles derived from the application palette,
// so they follow a dark palette too.
class SystemColors {
public:
    static QColor orange() { return QColor(0xFF, 0x95, 0x00); }
    static QColor purple() { return QColor(0xAF, 0x52, 0xDE); }
    static QColor blue() { return QColor(0x00, 0x7A, 0xFF); }
    static QColor green() { return QColor(0x34, 0xC7, 0x59); }
    static QColor red() { return QColor(0xFF, 0x3B, 0x30); }
    static QColor gray() { return QColor(0x8E, 0x8E, 0x93); }

    // Text in the palette's main colour.
    static QColor primary();
    // Text of lesser importance: the main colour half-way to the window background.
    static QColor secondary();
    // Less again: a quarter of the way from the background.
    static QColor tertiary();

    // `color` with its alpha multiplied by `opacity` (0 to 1).
    static QColor withOpacity(QColor color, qreal opacity);
};

} // namespace norvelle
