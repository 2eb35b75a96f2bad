#include "ui/main/SidebarBusyOverlay.h"

#include <QGraphicsDropShadowEffect>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QVBoxLayout>

namespace norvelle {

namespace {

// Room around the card for its shadow (blur radius 16, 4 points down).
constexpr int shadowMargin = 20;

} // namespace

SidebarBusyOverlay::SidebarBusyOverlay(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("busyOverlay"));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24 + shadowMargin, 24 + shadowMargin, 24 + shadowMargin, 24 + shadowMargin);
    column->setSpacing(12);
    auto* spinner = new QProgressBar(this);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedSize(120, 8);
    column->addWidget(spinner, 0, Qt::AlignHCenter);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("busyLabel"));
    m_label->setForegroundRole(QPalette::PlaceholderText);
    column->addWidget(m_label, 0, Qt::AlignHCenter);
    hide();
}

void SidebarBusyOverlay::setState(bool isDiscovering, bool isCheckingUpdates)
{
    m_label->setText(isDiscovering ? QStringLiteral("Discovering Applications...")
                                   : QStringLiteral("Checking for Updates..."));
    setVisible(isDiscovering || isCheckingUpdates);
    if (isVisible()) {
        adjustSize();
        if (parentWidget())
            move((parentWidget()->width() - width()) / 2, (parentWidget()->height() - height()) / 2);
        raise();
    }
}

void SidebarBusyOverlay::paintEvent(QPaintEvent* event)
{
    // The card and its shadow come from a picture made once per size and colour: the spinner
    // repaints at every frame of its animation, and a shadow effect would render the card and
    // blur its shadow again each time.
    const QColor background = palette().color(QPalette::Window);
    const qreal ratio = devicePixelRatioF();
    if (m_card.deviceIndependentSize() != QSizeF(size()) || m_card.devicePixelRatio() != ratio ||
        m_cardColor != background) {
        QGraphicsScene scene;
        QPainterPath shape;
        shape.addRoundedRect(
            QRectF(rect()).adjusted(shadowMargin, shadowMargin, -shadowMargin, -shadowMargin), 12, 12);
        QGraphicsPathItem* card = scene.addPath(shape, Qt::NoPen, background);
        auto* shadow = new QGraphicsDropShadowEffect;
        shadow->setColor(QColor(0, 0, 0, 51));
        shadow->setBlurRadius(16);
        shadow->setOffset(0, 4);
        card->setGraphicsEffect(shadow);
        m_card = QPixmap((QSizeF(size()) * ratio).toSize());
        m_card.setDevicePixelRatio(ratio);
        m_card.fill(Qt::transparent);
        QPainter painter(&m_card);
        scene.render(&painter, QRectF(rect()), QRectF(rect()));
        m_cardColor = background;
    }
    QPainter painter(this);
    painter.setClipRegion(event->region());
    painter.drawPixmap(0, 0, m_card);
}

QString SidebarBusyOverlay::text() const
{
    return isVisible() ? m_label->text() : QString();
}

} // namespace norvelle
