#include "ui/main/components/BadgeChip.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace norvelle {

BadgeChip::BadgeChip(BadgeAppearance appearance, QWidget* parent)
    : QWidget(parent), m_appearance(std::move(appearance))
{
    setFont(TextStyles::font(m_appearance.textStyle, m_appearance.weight));
    setToolTip(m_appearance.toolTip);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize BadgeChip::sizeHint() const
{
    const QFontMetrics metrics(font());
    const QMargins& in = m_appearance.padding;
    const QMargins& out = m_appearance.outerMargins;
    return QSize(metrics.horizontalAdvance(m_appearance.text) + in.left() + in.right() + out.left() + out.right(),
                 metrics.height() + in.top() + in.bottom() + out.top() + out.bottom());
}

void BadgeChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF shape = QRectF(rect()).marginsRemoved(m_appearance.outerMargins.toMarginsF());
    const qreal radius = m_appearance.capsule ? shape.height() / 2 : m_appearance.cornerRadius;
    QPainterPath path;
    path.addRoundedRect(shape, radius, radius);
    painter.fillPath(path, m_appearance.fill);
    if (m_appearance.outline.isValid() && m_appearance.outlineWidth > 0) {
        // Stroke inside the shape so the outline is not cut at the widget's edge.
        const qreal half = m_appearance.outlineWidth / 2;
        QPainterPath inner;
        inner.addRoundedRect(shape.adjusted(half, half, -half, -half), radius, radius);
        painter.setPen(QPen(m_appearance.outline, m_appearance.outlineWidth));
        painter.drawPath(inner);
    }
    painter.setPen(m_appearance.textColor);
    painter.setFont(font());
    painter.drawText(shape.marginsRemoved(m_appearance.padding.toMarginsF()), Qt::AlignCenter,
                     m_appearance.text);
}

} // namespace norvelle
