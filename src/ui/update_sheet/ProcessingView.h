#pragma once

#include "model/Application.h"
#include "model/Update.h"
#include "model/UpdateProgress.h"
#include "ui/update_sheet/UpdateBatchSession.h"

#include <QHash>
#include <QList>
#include <QUuid>
#include <QWidget>
#include <memory>
#include <optional>

class QScrollArea;
class QVBoxLayout;

namespace norvelle {

class ApplicationStore;
class CurrentUpdateView;
class DetailViewModel;
class NextUpdateProcessingView;
class ResultsView;
class UpdateInProgressView;

// The sheet's body once the batch has started: the overall progress, the application being
// updated, the queue still to come (all three only while the batch runs) and, once there are
// any, the results. A new state changes only the parts it touches, so a storm of progress
// reports costs a label and a bar each, not a new body.
class ProcessingView : public QWidget {
    Q_OBJECT

public:
    using ApplicationList = QList<std::shared_ptr<Application>>;

    struct State {
        ApplicationList applications;
        int currentIndex = 0;
        std::optional<UpdateProgress> currentProgress;
        double overallProgress = 0.0;
        QList<Update::Result> results;
        bool hasCompleted = false;
        QHash<QUuid, UpdateProgress> failedProgressMap;
        // The current update's versions as the batch keeps them; without them the card shows
        // the application's own.
        std::optional<UpdateBatchSession::Versions> currentVersions = std::nullopt;
    };

    // The view model and the store must outlive the view.
    ProcessingView(const State& state, DetailViewModel& detailViewModel, ApplicationStore& store,
                   QWidget* parent = nullptr);

    void setState(const State& state);
    void scrollToTop();

    // The applications after the current one; empty when the index is past the end.
    static ApplicationList upcomingApps(const ApplicationList& applications, int currentIndex);
    // The finished fraction as a whole percentage, truncated: 0.999 gives "99%".
    static QString percentText(double overallProgress);

private:
    void place(QWidget* widget, int slot);
    void ensureCurrentVisible();
    bool resultsChanged(const State& state) const;

    DetailViewModel& m_detailViewModel;
    ApplicationStore& m_store;
    State m_state;
    bool m_hasState = false;
    QScrollArea* m_scroll = nullptr;
    QVBoxLayout* m_column = nullptr;
    UpdateInProgressView* m_inProgress = nullptr;
    CurrentUpdateView* m_current = nullptr;
    NextUpdateProcessingView* m_upNext = nullptr;
    ResultsView* m_results = nullptr;
};

} // namespace norvelle
