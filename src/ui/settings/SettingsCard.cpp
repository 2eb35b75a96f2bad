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
    outer->setSpacing(12);
    if (!title.isEmpty()) {
        m_title = SettingsStyle::label(title, "cardTitle", this);
        SettingsStyle::pageTitle(m_title);
        outer->addWidget(m_title);
    }
    auto* panel = new Panel(this);
    panel->setObjectName(QStringLiteral("cardPanel"));
    panel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_content = new QVBoxLayout(panel);
    m_content->setContentsMargins(16, 16, 16, 16);
    m_content->setSpacing(8);
    outer->addWidget(panel);
}

} // namespace norvelle
