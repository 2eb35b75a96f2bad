#include "ui/onboarding/TourPageHeader.h"

#include "ui/onboarding/OnboardingStyle.h"

#include <QLabel>
#include <QVBoxLayout>

namespace norvelle {

QVBoxLayout* addTourPageHeader(QWidget* page, const QString& title, const QString& subtitle, int spacing)
{
    auto* header = new QVBoxLayout;
    header->setSpacing(spacing);
    header->addWidget(OnboardingStyle::label(title, OnboardingStyle::font(TextStyles::Style::largeTitle, QFont::Bold),
                                             OnboardingStyle::Tone::primary, page, "pageTitle", Qt::AlignHCenter,
                                             true));
    header->addWidget(OnboardingStyle::label(subtitle, OnboardingStyle::font(TextStyles::Style::title3),
                                             OnboardingStyle::Tone::secondary, page, "pageSubtitle",
                                             Qt::AlignHCenter, true));
    return header;
}

} // namespace norvelle
