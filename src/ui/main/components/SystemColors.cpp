#include "ui/main/components/SystemColors.h"

#include <QGuiApplication>
#include <QPalette>

namespace norvelle {

namespace {

QPalette currentPalette()
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return QGuiApplication::palette();
    return QPalette();
}

QColor mix(const QColor& from, const QColor& to, qreal share)
{
    return QColor::fromRgbF(static_cast<float>(from.redF() + (to.redF() - from.redF()) * share),
                            static_cast<float>(from.greenF() + (to.greenF() - from.greenF()) * share),
                            static_cast<float>(from.blueF() + (to.blueF() - from.blueF()) * share));
}

} // namespace

QColor SystemColors::primary()
{
    return currentPalette().color(QPalette::WindowText);
}

QColor SystemColors::secondary()
{
    const QPalette palette = currentPalette();
    return mix(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.5);
}

QColor SystemColors::tertiary()
{
    const QPalette palette = currentPalette();
    return mix(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.75);
}

QColor SystemColors::withOpacity(QColor color, qreal opacity)
{
    color.setAlphaF(static_cast<float>(color.alphaF() * opacity));
    return color;
}

} // namespace norvelle
