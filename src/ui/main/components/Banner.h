#pragma once

#include "ui/main/components/RoundedPanel.h"

class QVBoxLayout;

namespace norvelle {

// A tinted banner across the available width: the content with 16 points of space on every
// side on the tint at opacity 0.1, in a rounded rectangle of radius 12. The content keeps its
// own width at the leading side; the banner itself stretches.
class Banner : public RoundedPanel {
    Q_OBJECT

public:
    static constexpr int padding = 16;
    static constexpr qreal radius = 12;
    static constexpr qreal fillOpacity = 0.1;

    // `content`, when given, becomes the banner's first child.
    explicit Banner(const QColor& color, QWidget* content = nullptr, QWidget* parent = nullptr);

    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    // Where the content goes; top to bottom.
    QVBoxLayout* contentLayout() const { return m_layout; }

private:
    QColor m_color;
    QVBoxLayout* m_layout;
};

} // namespace norvelle
