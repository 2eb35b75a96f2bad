#include "ui/main/components/TextStyles.h"

#include <QGuiApplication>

namespace norvelle {

namespace {

// The style's size on macOS, in points, where the body text is 13.
qreal macSize(TextStyles::Style style)
{
    using S = TextStyles::Style;
    switch (style) {
    case S::largeTitle: return 26;
    case S::title: return 22;
    case S::title2: return 17;
    case S::title3: return 15;
    case S::headline: return 13;
    case S::body: return 13;
    case S::callout: return 12;
    case S::subheadline: return 11;
    case S::footnote: return 10;
    case S::caption: return 10;
    case S::caption2: return 10;
    }
    return 13;
}

} // namespace

QFont TextStyles::font(Style style, QFont::Weight weight)
{
    QFont font = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::font() : QFont();
    const qreal base = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    font.setPointSizeF(base * macSize(style) / 13.0);
    font.setWeight(style == Style::headline && weight == QFont::Normal ? QFont::DemiBold : weight);
    return font;
}

} // namespace norvelle
