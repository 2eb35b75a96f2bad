#include "ui/update_sheet/ReviewView.h"

#include "ui/update_sheet/PasswordRequiredAppsView.h"
#include "ui/update_sheet/UpdateSheetAppRow.h"
#include "ui/update_sheet/UpdateSheetParts.h"

#include <QVBoxLayout>

namespace norvelle {

ReviewView::ReviewView(const ApplicationList& applications, const ApplicationList& sudoRequiredApps,
                       QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("reviewView"));
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(20, 0, 20, 20);
    column->setSpacing(20);

    auto* available = new QVBoxLayout;
    available->setSpacing(12);
    available->setContentsMargins(0, 0, 0, 8);
    m_availableHeader = UpdateSheetParts::sectionHeader(QStringLiteral("Available"), applications.size(),
                                                        QStringLiteral("available"), content);
    available->addWidget(m_availableHeader);
    auto* rows = new QVBoxLayout;
    rows->setSpacing(8);
    for (const auto& app : applications)
        rows->addWidget(new UpdateSheetAppRow(UpdateSheetAppRow::Kind::review, app, content));
    available->addLayout(rows);
    column->addLayout(available);

    if (!sudoRequiredApps.isEmpty())
        column->addWidget(new PasswordRequiredAppsView(sudoRequiredApps, content));
    column->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(UpdateSheetParts::scrolling(content, this));
}

void ReviewView::setAvailableCount(qsizetype count)
{
    UpdateSheetParts::setSectionCount(m_availableHeader, count);
}

} // namespace norvelle
