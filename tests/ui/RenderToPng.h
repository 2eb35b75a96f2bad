#pragma once

// Renders a widget to a PNG beside the test executable (in the build folder, under
// "renders/"), so a person can look at what a test built. The widget is laid out at its size
// hint (or the given size) first; rendering needs no display.

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QLayout>
#include <QPainter>
#include <QString>
#include <QWidget>

namespace norvelle::test {

// Returns the file written, or an empty string when it could not be written.
inline QString renderToPng(QWidget* widget, const QString& name, QSize size = {}, qreal scale = 2.0)
{
    if (!widget)
        return {};
    widget->ensurePolished();
    if (size.isValid())
        widget->resize(size);
    else if (!widget->isVisible() && widget->size() != widget->sizeHint())
        widget->resize(widget->sizeHint().expandedTo(widget->minimumSizeHint()));
    if (widget->layout())
        widget->layout()->activate();

    QImage image(widget->size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(widget->palette().color(QPalette::Window));
    {
        QPainter painter(&image);
        widget->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    }
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/renders");
    QDir().mkpath(folder);
    const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    return image.save(file) ? file : QString();
}

} // namespace norvelle::test
