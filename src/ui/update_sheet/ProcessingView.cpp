#include "ui/update_sheet/ProcessingView.h"

#include "ui/update_sheet/CurrentUpdateView.h"
#include "ui/update_sheet/NextUpdateProcessingView.h"
#include "ui/update_sheet/ResultsView.h"
#include "ui/update_sheet/UpdateInProgressView.h"
#include "ui/update_sheet/UpdateSheetParts.h"

#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>

namespace norvelle {

ProcessingView::ApplicationList ProcessingView::upcomingApps(const ApplicationList& applications, int currentIndex)
{
    if (currentIndex < 0 || currentIndex >= applications.size())
        return {};
    return applications.mid(currentIndex + 1);
}

QString ProcessingView::percentText(double overallProgress)
{
    return QString::number(static_cast<long long>(std::trunc(overallProgress * 100.0))) + QLatin1Char('%');
}

ProcessingView::ProcessingView(const State& state, DetailViewModel& detailViewModel, ApplicationStore& store,
                               QWidget* parent)
    : QWidget(parent), m_detailViewModel(detailViewModel), m_store(store)
{
    setObjectName(QStringLiteral("processingView"));
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("processingContent"));
    m_column = new QVBoxLayout(content);
    m_column->setContentsMargins(20, 0, 20, 20);
    m_column->setSpacing(20);
    m_column->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_scroll = static_cast<QScrollArea*>(UpdateSheetParts::scrolling(content, this));
    layout->addWidget(m_scroll);
    setState(state);
}

void ProcessingView::place(QWidget* widget, int slot)
{
    // Children keep the order progress, current, queue, results whichever of them exist.
    const QWidget* before[] = {m_inProgress, m_current, m_upNext, m_results};
    int position = 0;
    for (int i = 0; i < slot; ++i)
        position += before[i] ? 1 : 0;
    m_column->insertWidget(position, widget);
}

bool ProcessingView::resultsChanged(const State& state) const
{
    if (!m_hasState || state.results.size() != m_state.results.size() ||
        state.failedProgressMap.size() != m_state.failedProgressMap.size())
        return true;
    for (qsizetype i = 0; i < state.results.size(); ++i) {
        if (state.results.at(i).id != m_state.results.at(i).id)
            return true;
    }
    for (auto it = state.failedProgressMap.cbegin(); it != state.failedProgressMap.cend(); ++it) {
        const auto old = m_state.failedProgressMap.constFind(it.key());
        if (old == m_state.failedProgressMap.cend() || old->id != it->id)
            return true;
    }
    return false;
}

void ProcessingView::setState(const State& state)
{
    const bool rebuildResults = resultsChanged(state);
    const bool indexChanged = !m_hasState || state.currentIndex != m_state.currentIndex ||
                              state.applications.size() != m_state.applications.size();

    if (!state.hasCompleted) {
        if (!m_inProgress) {
            m_inProgress = new UpdateInProgressView(state.overallProgress);
            place(m_inProgress, 0);
        } else {
            m_inProgress->setOverallProgress(state.overallProgress);
        }
    } else {
        delete m_inProgress;
        m_inProgress = nullptr;
    }

    const bool showCurrent = state.currentProgress && state.currentIndex >= 0 &&
                             state.currentIndex < state.applications.size() && !state.hasCompleted;
    bool currentMoved = false;
    if (showCurrent) {
        const auto& app = state.applications.at(state.currentIndex);
        if (!m_current) {
            m_current =
                new CurrentUpdateView(app, *state.currentProgress, state.currentVersions, m_detailViewModel);
            place(m_current, 1);
            currentMoved = true;
        } else {
            currentMoved = m_current->application() != app;
            m_current->setCurrent(app, *state.currentProgress, state.currentVersions);
        }
    } else {
        delete m_current;
        m_current = nullptr;
    }

    if (indexChanged || state.hasCompleted != m_state.hasCompleted) {
        const ApplicationList upcoming = upcomingApps(state.applications, state.currentIndex);
        if (!state.hasCompleted && !upcoming.isEmpty()) {
            if (!m_upNext) {
                m_upNext = new NextUpdateProcessingView(upcoming);
                place(m_upNext, 2);
            } else {
                m_upNext->setUpcoming(upcoming);
            }
        } else {
            delete m_upNext;
            m_upNext = nullptr;
        }
    }

    if (rebuildResults) {
        delete m_results;
        m_results = nullptr;
        if (!state.results.isEmpty()) {
            m_results = new ResultsView(state.results, state.failedProgressMap, m_detailViewModel, m_store);
            place(m_results, 3);
        }
    }

    m_state = state;
    m_hasState = true;
    if (currentMoved)
        ensureCurrentVisible();
}

void ProcessingView::scrollToTop()
{
    m_scroll->verticalScrollBar()->setValue(0);
}

void ProcessingView::ensureCurrentVisible()
{
    // The card has its place only once the layout has run.
    QTimer::singleShot(0, this, [this] {
        if (m_current)
            m_scroll->ensureWidgetVisible(m_current, 0, 0);
    });
}

} // namespace norvelle
