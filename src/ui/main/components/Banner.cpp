#include "ui/main/components/Banner.h"

#include "ui/main/components/SystemColors.h"

#include <QVBoxLayout>

namespace norvelle {

Banner::Banner(const QColor& color, QWidget* content, QWidget* parent)
    : RoundedPanel(SystemColors::withOpacity(color, fillOpacity), radius, parent), m_color(color),
      m_layout(new QVBoxLayout(this))
{
    setObjectName(QStringLiteral("banner"));
    m_layout->setContentsMargins(padding, padding, padding, padding);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    if (content)
        m_layout->addWidget(content);
}

void Banner::setColor(const QColor& color)
{
    m_color = color;
    setFillColor(SystemColors::withOpacity(color, fillOpacity));
}

} // namespace norvelle
