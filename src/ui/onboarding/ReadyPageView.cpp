#include "ui/onboarding/ReadyPageView.h"

#include "ui/main/components/SystemColors.h"
#include "ui/onboarding/OnboardingStyle.h"
#include "ui/onboarding/TourPageHeader.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace norvelle {

namespace {

// One tip: its symbol in a 24-point column, so the texts of all rows start alike.
QWidget* tipItem(const QString& icon, const QString& text, QWidget* parent)
{
    auto* row = new QWidget(parent);
    row->setObjectName(QStringLiteral("tipItem"));
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    auto* symbol = OnboardingStyle::symbol(icon, 16, QColor(), row, OnboardingStyle::Tone::secondary, "tipIcon");
    symbol->setFixedWidth(24);
    layout->addWidget(symbol);
    layout->addWidget(OnboardingStyle::label(text, OnboardingStyle::font(TextStyles::Style::body),
                                             OnboardingStyle::Tone::primary, row, "tipText"),
                      1);
    return row;
}

} // namespace

ReadyPageView::ReadyPageView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("readyPage"));
    auto* column = new QVBoxLayout(this);
    column->setSpacing(32);
    column->addStretch(1);

    auto* header = addTourPageHeader(this, QStringLiteral("You're All Set!"),
                                     QStringLiteral("Norvelle will keep all your apps up to date"), 12);
    header->insertWidget(0, OnboardingStyle::symbol(QStringLiteral("checkmark.circle.fill"), 80,
                                                    SystemColors::green(), this),
                         0, Qt::AlignHCenter);
    column->addLayout(header);

    auto* tips = new QWidget(this);
    tips->setObjectName(QStringLiteral("tips"));
    tips->setFixedWidth(400);
    auto* tipColumn = new QVBoxLayout(tips);
    tipColumn->setContentsMargins(0, 0, 0, 0);
    tipColumn->setSpacing(12);
    tipColumn->addWidget(tipItem(QStringLiteral("sidebar.left"), QStringLiteral("Check the sidebar for all your apps"), tips));
    tipColumn->addWidget(tipItem(QStringLiteral("arrow.up"),
                                 QStringLiteral("Available updates show at the top of the list"), tips));
    tipColumn->addWidget(tipItem(QStringLiteral("menubar.rectangle"),
                                 QStringLiteral("See updates directly in your menu bar"), tips));
    column->addWidget(tips, 0, Qt::AlignHCenter);
    column->addStretch(1);
}

} // namespace norvelle
