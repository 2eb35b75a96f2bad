#include "ui/main/components/CountCapsule.h"

#include "ui/main/components/TextStyles.h"

#include <QPainter>
#include <QPainterPath>

namespace norvelle {

CountCapsule::CountCapsule(std::function<QColor()> tint, qreal fillOpacity, QWidget* parent)
    : QLabel(parent), m_tint(std::move(tint)), m_fillOpacity(fillOpacity)
{
    setTextFormat(Qt::PlainText);
    QFont font = TextStyles::font(TextStyles::Style::subheadline, QFont::Medium);
    setFont(font);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CountCapsule::setCount(int count)
{
    setText(QString::number(count));
    updateGeometry();
}

QSize CountCapsule::sizeHint() const
{
    const QFontMetrics metrics(font());
    const int height = metrics.height() + 4;
    return QSize(qMax(metrics.horizontalAdvance(text()) + 12, height), height);
}

void CountCapsule::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = m_tint();
    QColor fill = color;
    fill.setAlphaF(static_cast<float>(color.alphaF() * m_fillOpacity));
    const QSize size = sizeHint().boundedTo(this->size());
    const QRectF capsule(QPointF((width() - size.width()) / 2.0, (height() - size.height()) / 2.0), size);
    QPainterPath path;
    path.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
    painter.fillPath(path, fill);
    painter.setPen(color);
    painter.setFont(font());
    painter.drawText(capsule, Qt::AlignCenter, text());
}

} // namespace norvelle
