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

namespace norvelle {

class ApplicationStore;
class DetailViewModel;
class ProcessingView;
class ReviewView;
class SidebarViewModel;
class UpdateBatchSession;

// The batch-update sheet: reviews the applications that have an update, runs the batch through
// the coordinator one application at a time, follows its progress, lets the user cancel and
// ends on the results. The batch itself lives in an UpdateBatchSession, which outlasts the
// sheet: while it runs the sheet cannot be closed by the user until the batch is being
// cancelled, and a sheet opened on a running session shows it. Redraws are gathered into at
// most one per event-loop turn.
class UpdateSheetView : public QDialog {
    Q_OBJECT

public:
    using ApplicationList = QList<std::shared_ptr<Application>>;
    enum class Phase { review, processing, complete, none };

    // A sheet with a batch of its own. The three objects must outlive the sheet.
    UpdateSheetView(ApplicationList applications, ApplicationList sudoRequiredApps,
                    SidebarViewModel& sidebarViewModel, DetailViewModel& detailViewModel, ApplicationStore& store,
                    QWidget* parent = nullptr);
    // A sheet on an existing batch, which may be running or over.
    UpdateSheetView(std::shared_ptr<UpdateBatchSession> session, SidebarViewModel& sidebarViewModel,
                    DetailViewModel& detailViewModel, ApplicationStore& store, QWidget* parent = nullptr);
    ~UpdateSheetView() override;

    const std::shared_ptr<UpdateBatchSession>& session() const { return m_session; }
    const ApplicationList& applications() const;
    const ApplicationList& sudoRequiredApps() const;
    bool showingReview() const;
    bool isProcessing() const;
    bool isCancelling() const;
    bool hasCompleted() const;
    int currentIndex() const;
    std::optional<UpdateProgress> currentProgress() const;
    QList<Update::Result> results() const;
    QHash<QUuid, UpdateProgress> failedProgressMap() const;
    int completedAppsCount() const;
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
    // Closes the sheet even while the batch runs (the presenter's flag was cleared elsewhere).
    void dismiss();

    void reject() override;

Q_SIGNALS:
    // After every change of the sheet's state, once the sheet shows it.
    void stateChanged();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void buildFooter(QVBoxLayout* root);
    bool canClose() const;
    void sessionChanged(unsigned changes);
    void flush();
    QString subtitleText() const;

    std::shared_ptr<UpdateBatchSession> m_session;
    SidebarViewModel& m_sidebarViewModel;
    DetailViewModel& m_detailViewModel;
    ApplicationStore& m_store;
    unsigned m_pending = 0;
    bool m_flushQueued = false;
    bool m_forceClose = false;

    QLabel* m_title = nullptr;
    QLabel* m_subtitle = nullptr;
    QVBoxLayout* m_bodyLayout = nullptr;
    ReviewView* m_review = nullptr;
    ProcessingView* m_processing = nullptr;
    QPushButton* m_cancelButton = nullptr;
    QPushButton* m_updateButton = nullptr;
    QPushButton* m_doneButton = nullptr;
    QPushButton* m_cancelBatchButton = nullptr;
    QPushButton* m_closeButton = nullptr;
    QWidget* m_cancellingIndicator = nullptr;
};

} // namespace norvelle
