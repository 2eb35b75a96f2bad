#include "ui/onboarding/WelcomePageView.h"

#include "ui/ProductIcon.h"
#include "ui/onboarding/TourPageHeader.h"

#include <QLabel>
#include <QVBoxLayout>

namespace norvelle {

WelcomePageView::WelcomePageView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("welcomePage"));
    auto* column = new QVBoxLayout(this);
    column->setSpacing(32);
    column->addStretch(1);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("productIcon"));
    icon->setFixedSize(120, 120);
    icon->setPixmap(ProductIcon::pixmap(120, 2.0));
    icon->setScaledContents(true);
    column->addWidget(icon, 0, Qt::AlignHCenter);
    column->addLayout(addTourPageHeader(this, QStringLiteral("Welcome to Norvelle"),
                                        QStringLiteral("The missing app updater for macOS"), 8));
    column->addStretch(1);
}

} // namespace norvelle
