#include "ui/main/SidebarBusyOverlay.h"

#include <QGraphicsDropShadowEffect>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace norvelle {

SidebarBusyOverlay::SidebarBusyOverlay(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("busyOverlay"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("#busyOverlay { background: palette(window); border-radius: 12px; }"));
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor(0, 0, 0, 51));
    shadow->setBlurRadius(16);
    shadow->setOffset(0, 4);
    setGraphicsEffect(shadow);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
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

QString SidebarBusyOverlay::text() const
{
    return isVisible() ? m_label->text() : QString();
}

} // namespace norvelle
