#include "ui/main/components/Card.h"

#include "ui/main/components/RoundedPanel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace norvelle {

Card::Card(const QColor& backgroundColor, const std::optional<QString>& title, QWidget* parent)
    : QWidget(parent), m_frame(new RoundedPanel(backgroundColor, radius)), m_content(new QVBoxLayout(m_frame))
{
    setObjectName(QStringLiteral("card"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(spacing);

    if (title) {
        auto* heading = new QHBoxLayout;
        heading->setContentsMargins(titleIndent, 0, 0, 0);
        m_title = new QLabel(*title);
        m_title->setObjectName(QStringLiteral("cardTitle"));
        m_title->setTextFormat(Qt::PlainText);
        m_title->setFont(TextStyles::font(TextStyles::Style::body, QFont::Medium));
        heading->addWidget(m_title);
        heading->addStretch(1);
        outer->addLayout(heading);
    }

    m_frame->setObjectName(QStringLiteral("cardFrame"));
    m_frame->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_content->setContentsMargins(padding, padding, padding, padding);
    m_content->setSpacing(contentSpacing);
    outer->addWidget(m_frame);
}

QColor Card::tint(const QColor& chosen, bool chosenIsPrimary)
{
    return SystemColors::withOpacity(chosen, chosenIsPrimary ? 0.037 : 0.1);
}

QColor Card::backgroundColor() const
{
    return m_frame->fillColor();
}

void Card::setBackgroundColor(const QColor& color)
{
    m_frame->setFillColor(color);
}

void Card::addWidget(QWidget* widget)
{
    m_content->addWidget(widget);
}

} // namespace norvelle
