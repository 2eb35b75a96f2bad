#pragma once

#include "model/Application.h"
#include "model/Update.h"
#include "model/UpdateProgress.h"

#include <QDialog>
#include <QHash>
#include <QList>
#include <QUuid>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;
class QVBoxLayout;
class QHBoxLayout;

namespace norvelle {

class ApplicationStore;
class DetailViewModel;
class SidebarViewModel;

// The batch-update sheet: reviews the applications that have an update, runs the batch through
// the coordinator one application at a time, follows its progress, lets the user cancel and
// ends on the results. It owns all of the batch's view state, always on the main thread, and
// rebuilds its body from that state whenever it changes. Closing it does not stop the batch.
class UpdateSheetView : public QDialog {
    Q_OBJECT

public:
    using ApplicationList = QList<std::shared_ptr<Application>>;
    enum class Phase { review, processing, complete, none };

    // The three objects must outlive the sheet.
    UpdateSheetView(ApplicationList applications, ApplicationList sudoRequiredApps,
                    SidebarViewModel& sidebarViewModel, DetailViewModel& detailViewModel, ApplicationStore& store,
                    QWidget* parent = nullptr);
    ~UpdateSheetView() override;

    const ApplicationList& applications() const { return m_applications; }
    const ApplicationList& sudoRequiredApps() const { return m_sudoRequiredApps; }
    bool showingReview() const { return m_showingReview; }
    bool isProcessing() const { return m_isProcessing; }
    bool isCancelling() const { return m_isCancelling; }
    bool hasCompleted() const { return m_hasCompleted; }
    int currentIndex() const { return m_currentIndex; }
    std::optional<UpdateProgress> currentProgress() const { return m_currentProgress; }
    QList<Update::Result> results() const { return m_results; }
    QHash<QUuid, UpdateProgress> failedProgressMap() const { return m_failedProgressMap; }
    int completedAppsCount() const { return m_completedAppsCount; }
    double overallProgress() const;
    Phase phase() const;

    // The "Update" button: starts the batch with a batch size of 1.
    void startUpdates();
    // The processing phase's "Cancel" button.
    void cancelBatch();
    // One progress report at its position in the batch; main thread.
    void handleProgress(int index, const UpdateProgress& progress);
    // The batch's outcome; main thread.
    void finishBatch(const QList<Update::Result>& results);

Q_SIGNALS:
    // After every change of the sheet's state, once the sheet shows it.
    void stateChanged();

private:
    void buildFooter();
    void refresh();

    const ApplicationList m_applications;
    const ApplicationList m_sudoRequiredApps;
    SidebarViewModel& m_sidebarViewModel;
    DetailViewModel& m_detailViewModel;
    ApplicationStore& m_store;

    bool m_showingReview = true;
    bool m_isProcessing = false;
    bool m_isCancelling = false;
    bool m_hasCompleted = false;
    int m_currentIndex = 0;
    std::optional<UpdateProgress> m_currentProgress;
    QList<Update::Result> m_results;
    QHash<QUuid, UpdateProgress> m_failedProgressMap;
    int m_completedAppsCount = 0;

    QLabel* m_title = nullptr;
    QLabel* m_subtitle = nullptr;
    QVBoxLayout* m_bodyLayout = nullptr;
    QWidget* m_body = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_updateButton = nullptr;
    QPushButton* m_doneButton = nullptr;
    QPushButton* m_cancelBatchButton = nullptr;
    QWidget* m_cancellingIndicator = nullptr;
};

} // namespace norvelle
