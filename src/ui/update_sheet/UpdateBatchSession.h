#pragma once

#include "model/Application.h"
#include "model/Update.h"
#include "model/UpdateProgress.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QUrl>
#include <QUuid>
#include <atomic>
#include <memory>
#include <optional>
#include <vector>

namespace norvelle {

class AppCoordinator;
class ApplicationStore;
class DetailViewModel;

// The state of one batch update, apart from any sheet that shows it: a sheet can be closed and
// opened again while the batch runs, and the batch still ends, logs and clears the detail
// pane's mirrored progress. Main thread only; made with std::make_shared, because a running
// batch keeps its session alive until the coordinator returns.
//
// An application counts as finished once: when the coordinator has written its outcome back
// (its update gone, or marked failed), when a later application of the queue reports (the
// queue runs one at a time), or when the batch returns. Progress reports alone never count,
// since brew's output lines are reported with whatever status their words suggest.
class UpdateBatchSession : public QObject, public std::enable_shared_from_this<UpdateBatchSession> {
    Q_OBJECT

public:
    using ApplicationList = QList<std::shared_ptr<Application>>;
    // An application's update as the version line shows it: installed → latest.
    struct Versions {
        QString from;
        QString to;
    };
    enum Change : unsigned {
        phaseChange = 1u << 0,    // flags, results, refusal
        currentChange = 1u << 1,  // current index and progress record
        overallChange = 1u << 2,  // the finished fraction
        failedChange = 1u << 3,   // the failed progress records
        pendingChange = 1u << 4,  // an application's update came or went
        listChange = 1u << 5,     // the store lists other objects for the review's applications
    };

    // The three objects must outlive the session. The lists come from the store; until the start
    // they follow it, each holding the applications listed at the paths of those given, in the
    // order given.
    UpdateBatchSession(ApplicationList applications, ApplicationList sudoRequiredApps, AppCoordinator& coordinator,
                       DetailViewModel& detailViewModel, ApplicationStore& store);
    ~UpdateBatchSession() override;

    // The batch: the applications listed at the paths of those given until the start, then
    // those of them that still had an update.
    const ApplicationList& applications() const { return m_applications; }
    // The applications that have an update now, in queue order.
    ApplicationList pendingApplications() const;
    const ApplicationList& sudoRequiredApps() const { return m_sudoRequiredApps; }
    bool hasStarted() const { return m_hasStarted; }
    bool isProcessing() const { return m_isProcessing; }
    bool isCancelling() const { return m_isCancelling; }
    bool hasCompleted() const { return m_hasCompleted; }
    // True when the coordinator turned the batch away (another update or an adoption ran).
    bool wasRefused() const { return m_wasRefused; }
    // True when the batch ended without running anything, every application having lost its
    // update (or left the list) before its turn.
    bool skippedAll() const { return m_skippedAll; }
    int currentIndex() const { return m_currentIndex; }
    const std::optional<UpdateProgress>& currentProgress() const { return m_currentProgress; }
    const QList<Update::Result>& results() const { return m_results; }
    const QHash<QUuid, UpdateProgress>& failedProgressMap() const { return m_failedProgressMap; }
    // Applications that have finished, each once.
    int completedAppsCount() const { return static_cast<int>(m_settled.size()); }
    bool isSettled(int index) const;
    // The versions of the update at `index` as last seen while the application had its update:
    // they stay once it has dropped the record (installed and rediscovered, or the batch was
    // cancelled around it), so every sheet on the batch shows what is being updated.
    Versions versionsAt(int index) const;
    // 0 for an empty batch, 1 once it has returned, else the finished share, never above 1.
    double overallProgress() const;

    // Runs the batch through the coordinator with a batch size of 1, on the applications that
    // still have an update: one updated meanwhile has nothing to install and is no failure. Once
    // only, and only when an application has an update.
    void start();
    // Asks the coordinator to stop before the next application; the one under way finishes,
    // and the session stays in processing (cancelling) until the batch returns.
    void cancel();
    // One progress report at its position in the batch.
    void handleProgress(int index, const UpdateProgress& progress);
    // The batch's outcome.
    void finish(const QList<Update::Result>& results);

Q_SIGNALS:
    // Right after each change; `changes` is a set of Change bits.
    void changed(unsigned changes);

private:
    void followStore();
    ApplicationList listedNow(const ApplicationList& given) const;
    void follow();
    void settle(int index);
    void settleBefore(int index);
    void outcomeWritten(int index);
    void rememberVersions(int index);
    void releaseDetailMirror();

    const ApplicationList m_givenApplications;
    const ApplicationList m_givenSudoRequiredApps;
    ApplicationList m_applications;
    ApplicationList m_sudoRequiredApps;
    AppCoordinator& m_coordinator;
    DetailViewModel& m_detailViewModel;
    ApplicationStore& m_store;
    QHash<QUrl, int> m_positions; // by path: a result may carry the object listed there now
    QList<Versions> m_versions;
    std::vector<Application::ObserverToken> m_versionObservers;
    std::vector<Application::ObserverToken> m_observers;
    std::shared_ptr<std::atomic<bool>> m_cancelRequested = std::make_shared<std::atomic<bool>>(false);

    bool m_hasStarted = false;
    bool m_isProcessing = false;
    bool m_isCancelling = false;
    bool m_hasCompleted = false;
    bool m_wasRefused = false;
    bool m_skippedAll = false;
    bool m_mirrored = false;
    int m_currentIndex = 0;
    int m_furthestIndex = -1;   // the furthest position that has reported
    int m_settledThrough = 0;   // every position below it has finished
    std::optional<UpdateProgress> m_currentProgress;
    QList<Update::Result> m_results;
    QHash<QUuid, UpdateProgress> m_failedProgressMap;
    QSet<int> m_settled;
};

} // namespace norvelle
