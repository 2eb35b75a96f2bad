#include "ui/main/components/BusyIndicator.h"

#include <QPainter>
#include <QTimer>
#include <cmath>

namespace norvelle {

BusyIndicator::BusyIndicator(int size, QWidget* parent) : QWidget(parent)
{
    setFixedSize(size, size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_timer = new QTimer(this);
    m_timer->setInterval(intervalMs);
    connect(m_timer, &QTimer::timeout, this, [this] {
        m_phase = (m_phase + 1) % spokes;
        update();
    });
}

bool BusyIndicator::isTurning() const
{
    return m_timer->isActive();
}

void BusyIndicator::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    m_timer->start();
}

void BusyIndicator::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_timer->stop();
}

void BusyIndicator::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(width(), height());
    painter.translate(width() / 2.0, height() / 2.0);
    QPen pen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    pen.setWidthF(std::max(1.5, side / 10.0));
    pen.setCapStyle(Qt::RoundCap);
    const qreal inner = side * 0.22;
    const qreal outer = side * 0.46;
    for (int i = 0; i < spokes; ++i) {
        // The brightest spoke is the phase; those behind it fade out.
        const int behind = (m_phase - i + spokes) % spokes;
        QColor color = pen.color();
        color.setAlphaF(std::max(0.15, 1.0 - behind / qreal(spokes)));
        QPen spoke = pen;
        spoke.setColor(color);
        painter.setPen(spoke);
        const qreal angle = 2 * M_PI * i / spokes - M_PI / 2;
        painter.drawLine(QPointF(std::cos(angle) * inner, std::sin(angle) * inner),
                         QPointF(std::cos(angle) * outer, std::sin(angle) * outer));
    }
}

} // namespace norvelle
