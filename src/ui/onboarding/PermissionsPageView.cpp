#include "ui/onboarding/PermissionsPageView.h"

#include "ui/onboarding/TourPageHeader.h"
#include "ui/settings/PermissionsView.h"

#include <QVBoxLayout>

namespace norvelle {

PermissionsPageView::PermissionsPageView(AppState& appState, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("permissionsPage"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(40, 0, 40, 0);
    column->setSpacing(24);
    auto* header = addTourPageHeader(this, QStringLiteral("Permissions"),
                                     QStringLiteral("Required for Norvelle to function correctly"), 8);
    header->setContentsMargins(0, 32, 0, 0);
    column->addLayout(header);
    auto* permissions = new PermissionsView(appState, this);
    permissions->setFixedWidth(550);
    column->addWidget(permissions, 0, Qt::AlignHCenter);
    column->addStretch(1);
}

} // namespace norvelle
