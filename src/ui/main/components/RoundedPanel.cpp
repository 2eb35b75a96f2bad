#include "ui/main/components/RoundedPanel.h"

#include <QPainter>
#include <QPainterPath>

namespace norvelle {

RoundedPanel::RoundedPanel(const QColor& fill, qreal cornerRadius, QWidget* parent)
    : QWidget(parent), m_fill(fill), m_cornerRadius(cornerRadius)
{
}

void RoundedPanel::setFillColor(const QColor& fill)
{
    if (fill == m_fill)
        return;
    m_fill = fill;
    update();
}

void RoundedPanel::paintEvent(QPaintEvent*)
{
    if (!m_fill.isValid() || m_fill.alpha() == 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
    painter.fillPath(path, m_fill);
}

} // namespace norvelle
