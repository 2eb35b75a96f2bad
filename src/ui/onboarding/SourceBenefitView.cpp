#include "ui/onboarding/SourceBenefitView.h"

#include "ui/onboarding/OnboardingStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace norvelle {

SourceBenefitView::SourceBenefitView(const InstallSourcesRules::Benefit& benefit, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("sourceBenefit"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    auto* icon = OnboardingStyle::symbol(benefit.icon, 18, benefit.iconColor, this);
    icon->setFixedWidth(24);
    row->addWidget(icon, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(OnboardingStyle::label(benefit.title, OnboardingStyle::font(TextStyles::Style::body, QFont::Medium),
                                            OnboardingStyle::Tone::primary, this, "benefitTitle"));
    texts->addWidget(OnboardingStyle::label(benefit.description, OnboardingStyle::font(TextStyles::Style::body),
                                            OnboardingStyle::Tone::secondary, this, "benefitDescription",
                                            Qt::AlignLeft, true));
    row->addLayout(texts, 1);
}

} // namespace norvelle
