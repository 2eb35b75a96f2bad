#pragma once

#include "model/Application.h"
#include "model/Update.h"
#include "model/UpdateProgress.h"

#include <QHash>
#include <QList>
#include <QUuid>
#include <QWidget>
#include <memory>
#include <optional>

namespace norvelle {

class ApplicationStore;
class DetailViewModel;

// The sheet's body once the batch has started: the overall progress, the application being
// updated, the queue still to come (all three only while the batch runs) and, once there are
// any, the results.
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
    };

    ProcessingView(const State& state, DetailViewModel& detailViewModel, ApplicationStore& store,
                   QWidget* parent = nullptr);

    // The applications after the current one; empty when the index is past the end.
    static ApplicationList upcomingApps(const ApplicationList& applications, int currentIndex);
    // The finished fraction as a whole percentage, truncated: 0.999 gives "99%".
    static QString percentText(double overallProgress);
};

} // namespace norvelle
