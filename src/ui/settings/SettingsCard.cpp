#include "ui/settings/SettingsCard.h"

#include "ui/settings/SettingsStyle.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace norvelle {

class SettingsCard::Panel : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = palette().color(QPalette::WindowText);
        fill.setAlphaF(fillOpacity);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), radius, radius);
        painter.fillPath(path, fill);
    }
};

SettingsCard::SettingsCard(const QString& title, QWidget* parent) : QWidget(parent)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* panel = new Panel(this);
    panel->setObjectName(QStringLiteral("cardPanel"));
    panel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    outer->addWidget(panel);

    // The title sits inside the card, above the content.
    auto* stack = new QVBoxLayout(panel);
    stack->setContentsMargins(16, 16, 16, 16);
    stack->setSpacing(12);
    if (!title.isEmpty()) {
        m_title = SettingsStyle::label(title, "cardTitle", panel);
        SettingsStyle::pageTitle(m_title);
        stack->addWidget(m_title);
    }
    m_content = new QVBoxLayout;
    m_content->setSpacing(8);
    stack->addLayout(m_content);
}

} // namespace norvelle
