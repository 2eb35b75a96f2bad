#include "ui/update_sheet/ProcessingView.h"

#include "ui/update_sheet/CurrentUpdateView.h"
#include "ui/update_sheet/NextUpdateProcessingView.h"
#include "ui/update_sheet/ResultsView.h"
#include "ui/update_sheet/UpdateInProgressView.h"
#include "ui/update_sheet/UpdateSheetParts.h"

#include <QVBoxLayout>

namespace norvelle {

ProcessingView::ApplicationList ProcessingView::upcomingApps(const ApplicationList& applications, int currentIndex)
{
    if (currentIndex < 0 || currentIndex >= applications.size())
        return {};
    return applications.mid(currentIndex + 1);
}

QString ProcessingView::percentText(double overallProgress)
{
    return QString::number(static_cast<long long>(overallProgress * 100.0)) + QLatin1Char('%');
}

ProcessingView::ProcessingView(const State& state, DetailViewModel& detailViewModel, ApplicationStore& store,
                               QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("processingView"));
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(20, 0, 20, 20);
    column->setSpacing(20);

    if (!state.hasCompleted)
        column->addWidget(new UpdateInProgressView(state.overallProgress, content));
    if (state.currentProgress && state.currentIndex >= 0 && state.currentIndex < state.applications.size() &&
        !state.hasCompleted)
        column->addWidget(new CurrentUpdateView(state.applications.at(state.currentIndex), *state.currentProgress,
                                                content));
    const ApplicationList upcoming = upcomingApps(state.applications, state.currentIndex);
    if (!state.hasCompleted && !upcoming.isEmpty())
        column->addWidget(new NextUpdateProcessingView(upcoming, content));
    if (!state.results.isEmpty())
        column->addWidget(new ResultsView(state.results, state.failedProgressMap, detailViewModel, store, content));
    column->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(UpdateSheetParts::scrolling(content, this));
}

} // namespace norvelle
