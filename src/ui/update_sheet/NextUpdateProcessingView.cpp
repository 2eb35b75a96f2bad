#include "ui/update_sheet/NextUpdateProcessingView.h"

#include "ui/update_sheet/UpdateSheetAppRow.h"
#include "ui/update_sheet/UpdateSheetParts.h"

#include <QVBoxLayout>

namespace norvelle {

NextUpdateProcessingView::NextUpdateProcessingView(const QList<std::shared_ptr<Application>>& upcomingApps,
                                                   QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("upNext"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->addWidget(UpdateSheetParts::sectionHeader(QStringLiteral("Up Next"), upcomingApps.size(),
                                                      QStringLiteral("upNext"), this));
    auto* rows = new QVBoxLayout;
    rows->setSpacing(8);
    for (const auto& app : upcomingApps)
        rows->addWidget(new UpdateSheetAppRow(UpdateSheetAppRow::Kind::upNext, app, this));
    column->addLayout(rows);
}

} // namespace norvelle
