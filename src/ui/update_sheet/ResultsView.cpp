#include "ui/update_sheet/ResultsView.h"

#include "ui/update_sheet/FailedUpdateView.h"
#include "ui/update_sheet/UpdateSheetAppRow.h"
#include "ui/update_sheet/UpdateSheetParts.h"

#include <QVBoxLayout>

namespace norvelle {

ResultsView::ResultsView(const QList<Update::Result>& results, const FailedProgressMap& failedProgressMap,
                         DetailViewModel& detailViewModel, ApplicationStore& store, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("resultsView"));
    QList<Update::Result> succeeded;
    QList<Update::Result> failed;
    for (const Update::Result& result : results) {
        if (!result.application)
            continue;
        (result.success ? succeeded : failed).append(result);
    }
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(20);
    if (!succeeded.isEmpty())
        column->addWidget(new SuccessfulUpdateView(succeeded, this));
    if (!failed.isEmpty())
        column->addWidget(new FailedUpdateView(detailViewModel, store, failed, failedProgressMap, this));
}

SuccessfulUpdateView::SuccessfulUpdateView(const QList<Update::Result>& successfulResults, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("successfulUpdates"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->addWidget(UpdateSheetParts::sectionHeader(QStringLiteral("Updated"), successfulResults.size(),
                                                      QStringLiteral("updated"), this));
    auto* rows = new QVBoxLayout;
    rows->setSpacing(8);
    for (const Update::Result& result : successfulResults)
        rows->addWidget(new UpdateSheetAppRow(UpdateSheetAppRow::Kind::updated, result.application, this));
    column->addLayout(rows);
}

} // namespace norvelle
