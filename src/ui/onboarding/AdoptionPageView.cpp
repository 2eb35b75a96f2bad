#include "ui/onboarding/AdoptionPageView.h"

#include "ui/main/components/SystemColors.h"
#include "ui/onboarding/OnboardingStyle.h"
#include "ui/onboarding/TourPageHeader.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace norvelle {

namespace {

// The step's number in green on a pale green circle.
class StepBadge : public QWidget {
public:
    StepBadge(qint64 number, QWidget* parent) : QWidget(parent), m_number(QString::number(number))
    {
        setObjectName(QStringLiteral("stepBadge"));
        setFixedSize(40, 40);
        setAccessibleName(m_number);
    }

    QString number() const { return m_number; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = SystemColors::green();
        fill.setAlphaF(0.15f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawEllipse(rect());
        painter.setPen(SystemColors::green());
        painter.setFont(OnboardingStyle::font(TextStyles::Style::headline, QFont::Bold));
        painter.drawText(rect(), Qt::AlignCenter, m_number);
    }

private:
    QString m_number;
};

QWidget* adoptionStep(qint64 number, const QString& title, const QString& description, QWidget* parent)
{
    auto* row = new QWidget(parent);
    row->setObjectName(QStringLiteral("adoptionStep"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(16);
    layout->addWidget(new StepBadge(number, row), 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    texts->addWidget(OnboardingStyle::label(title, OnboardingStyle::font(TextStyles::Style::headline, QFont::DemiBold),
                                            OnboardingStyle::Tone::primary, row, "stepTitle"));
    texts->addWidget(OnboardingStyle::label(description, OnboardingStyle::font(TextStyles::Style::body),
                                            OnboardingStyle::Tone::secondary, row, "stepDescription", Qt::AlignLeft,
                                            true));
    layout->addLayout(texts, 1);
    return row;
}

} // namespace

AdoptionPageView::AdoptionPageView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("adoptionPage"));
    auto* column = new QVBoxLayout(this);
    column->setSpacing(32);
    column->addStretch(1);
    auto* header = addTourPageHeader(
        this, QStringLiteral("Migrate to Homebrew"),
        QStringLiteral("Your existing apps can be managed by Homebrew, no reinstallation needed"), 12);
    header->insertWidget(0, OnboardingStyle::symbol(QStringLiteral("shippingbox.and.arrow.backward.fill"), 64,
                                                    SystemColors::green(), this),
                         0, Qt::AlignHCenter);
    column->addLayout(header);

    auto* steps = new QWidget(this);
    steps->setObjectName(QStringLiteral("adoptionSteps"));
    steps->setFixedWidth(500);
    auto* stepColumn = new QVBoxLayout(steps);
    stepColumn->setContentsMargins(0, 0, 0, 0);
    stepColumn->setSpacing(24);
    stepColumn->addWidget(adoptionStep(1, QStringLiteral("Discover Apps"),
                                       QStringLiteral("Apps that aren't managed by Homebrew show options to adopt"), steps));
    stepColumn->addWidget(adoptionStep(2, QStringLiteral("Adopt to Homebrew"),
                                       QStringLiteral("All your settings preserved and no reinstallation required"), steps));
    stepColumn->addWidget(adoptionStep(3, QStringLiteral("Update Easily"),
                                       QStringLiteral("Get the latest updates, directly from Homebrew"), steps));
    column->addWidget(steps, 0, Qt::AlignHCenter);

    column->addWidget(OnboardingStyle::label(
        QStringLiteral("Works with all the popular apps like Chrome, Microsoft Office, Visual Studio Code, and more"),
        OnboardingStyle::font(TextStyles::Style::subheadline), OnboardingStyle::Tone::tertiary, this, "adoptionNote",
        Qt::AlignHCenter, true));
    column->addStretch(1);
}

} // namespace norvelle
