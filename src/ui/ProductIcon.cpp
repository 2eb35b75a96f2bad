#include "ui/ProductIcon.h"

#include <QPainter>
#include <QSvgRenderer>

namespace norvelle {

QPixmap ProductIcon::pixmap(int size, qreal devicePixelRatio)
{
    const int pixels = std::max(1, qRound(size * devicePixelRatio));
    QPixmap result(pixels, pixels);
    result.fill(Qt::transparent);
    QSvgRenderer renderer(QStringLiteral(":/app/norvelle.svg"));
    if (renderer.isValid()) {
        QPainter painter(&result);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, pixels, pixels));
    }
    result.setDevicePixelRatio(devicePixelRatio);
    return result;
}

QIcon ProductIcon::icon()
{
    QIcon result;
    for (const int size : {16, 24, 32, 48, 64, 128, 256, 512})
        result.addPixmap(pixmap(size));
    return result;
}

} // namespace norvelle
