#include "ui/onboarding/OnboardingCard.h"

#include "ui/onboarding/OnboardingStyle.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace norvelle {

OnboardingCard::OnboardingCard(QWidget* parent) : OnboardingCard(Fill::primary, {}, parent) {}

OnboardingCard::OnboardingCard(Fill fill, const QColor& color, QWidget* parent)
    : QWidget(parent), m_fill(fill), m_color(color), m_content(new QVBoxLayout(this))
{
    setObjectName(QStringLiteral("onboardingCard"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_content->setContentsMargins(16, 16, 16, 16);
    m_content->setSpacing(12);
}

QColor OnboardingCard::fillColor() const
{
    QColor fill;
    switch (m_fill) {
    case Fill::primary:
        fill = OnboardingStyle::toneColor(palette(), OnboardingStyle::Tone::primary);
        fill.setAlphaF(0.037f);
        return fill;
    case Fill::secondary:
        fill = OnboardingStyle::toneColor(palette(), OnboardingStyle::Tone::secondary);
        break;
    case Fill::color:
        fill = m_color;
        break;
    }
    fill.setAlphaF(0.1f);
    return fill;
}

void OnboardingCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), 12, 12);
    painter.fillPath(path, fillColor());
}

} // namespace norvelle
