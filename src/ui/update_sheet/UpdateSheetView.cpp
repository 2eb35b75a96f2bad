#include "ui/update_sheet/UpdateSheetView.h"

#include "app/AppCoordinator.h"
#include "services/ApplicationStore.h"
#include "ui/main/components/SystemColors.h"
#include "ui/update_sheet/ProcessingView.h"
#include "ui/update_sheet/ReviewView.h"
#include "ui/update_sheet/UpdateSheetParts.h"
#include "util/Async.h"
#include "util/Error.h"
#include "util/Logger.h"
#include "viewmodels/DetailViewModel.h"
#include "viewmodels/SidebarViewModel.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace norvelle {

namespace {

bool isFinal(UpdateProgress::Status status)
{
    using S = UpdateProgress::Status;
    return status == S::completed || status == S::failed || status == S::cancelled;
}

QPushButton* footerButton(const QString& text, const QString& name, bool prominent, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setMinimumHeight(32); // the large control size
    if (prominent) {
        QPalette palette = button->palette();
        palette.setColor(QPalette::Button, SystemColors::blue());
        palette.setColor(QPalette::ButtonText, Qt::white);
        button->setPalette(palette);
    }
    return button;
}

} // namespace

UpdateSheetView::UpdateSheetView(ApplicationList applications, ApplicationList sudoRequiredApps,
                                 SidebarViewModel& sidebarViewModel, DetailViewModel& detailViewModel,
                                 ApplicationStore& store, QWidget* parent)
    : QDialog(parent), m_applications(std::move(applications)), m_sudoRequiredApps(std::move(sudoRequiredApps)),
      m_sidebarViewModel(sidebarViewModel), m_detailViewModel(detailViewModel), m_store(store)
{
    setObjectName(QStringLiteral("updateSheet"));
    setModal(true);
    setFixedSize(700, 450);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    auto* header = new QVBoxLayout;
    header->setContentsMargins(20, 20, 20, 20);
    header->setSpacing(4);
    m_title = UpdateSheetParts::label(QString(), UpdateSheetParts::font(TextStyles::Style::title, QFont::Medium),
                                      SystemColors::primary(), this);
    m_title->setObjectName(QStringLiteral("sheetTitle"));
    header->addWidget(m_title);
    m_subtitle = UpdateSheetParts::label(QString(), UpdateSheetParts::font(TextStyles::Style::subheadline),
                                         SystemColors::secondary(), this);
    m_subtitle->setObjectName(QStringLiteral("sheetSubtitle"));
    header->addWidget(m_subtitle);
    root->addLayout(header);

    m_bodyLayout = new QVBoxLayout;
    m_bodyLayout->setContentsMargins(0, 0, 0, 0);
    root->addLayout(m_bodyLayout, 1);

    buildFooter();
    refresh();
}

UpdateSheetView::~UpdateSheetView() = default;

void UpdateSheetView::buildFooter()
{
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(20, 20, 20, 20);
    footer->addStretch(1);
    m_cancelButton = footerButton(QStringLiteral("Cancel"), QStringLiteral("cancelButton"), false, this);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    m_updateButton = footerButton(QStringLiteral("Update (%1)").arg(static_cast<long long>(m_applications.size())),
                                  QStringLiteral("updateButton"), true, this);
    connect(m_updateButton, &QPushButton::clicked, this, &UpdateSheetView::startUpdates);
    m_doneButton = footerButton(QStringLiteral("Done"), QStringLiteral("doneButton"), true, this);
    connect(m_doneButton, &QPushButton::clicked, this, &QDialog::accept);

    m_cancelBatchButton = footerButton(QStringLiteral("Cancel"), QStringLiteral("cancelBatchButton"), false, this);
    connect(m_cancelBatchButton, &QPushButton::clicked, this, &UpdateSheetView::cancelBatch);
    // While cancelling, the button's label is a small spinner beside "Cancelling...".
    m_cancellingIndicator = new QWidget(m_cancelBatchButton);
    m_cancellingIndicator->setObjectName(QStringLiteral("cancellingIndicator"));
    m_cancellingIndicator->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* cancelling = new QHBoxLayout(m_cancellingIndicator);
    cancelling->setContentsMargins(10, 0, 10, 0);
    auto* spinner = new QProgressBar(m_cancellingIndicator);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedSize(16, 16);
    cancelling->addWidget(spinner);
    cancelling->addWidget(new QLabel(QStringLiteral("Cancelling..."), m_cancellingIndicator));
    auto* buttonLayout = new QHBoxLayout(m_cancelBatchButton);
    buttonLayout->setContentsMargins(0, 0, 0, 0);
    buttonLayout->addWidget(m_cancellingIndicator);

    for (QPushButton* button : {m_cancelButton, m_updateButton, m_doneButton, m_cancelBatchButton})
        footer->addWidget(button);
    static_cast<QVBoxLayout*>(layout())->addLayout(footer);
}

double UpdateSheetView::overallProgress() const
{
    if (m_applications.isEmpty())
        return 0.0;
    if (m_hasCompleted)
        return 1.0;
    return static_cast<double>(m_completedAppsCount) / static_cast<double>(m_applications.size());
}

UpdateSheetView::Phase UpdateSheetView::phase() const
{
    if (m_showingReview)
        return Phase::review;
    if (m_isProcessing)
        return Phase::processing;
    if (m_hasCompleted)
        return Phase::complete;
    return Phase::none;
}

void UpdateSheetView::startUpdates()
{
    m_showingReview = false;
    m_isProcessing = true;
    m_hasCompleted = false;
    m_results.clear();
    m_completedAppsCount = 0;
    refresh();

    AppCoordinator& coordinator = m_sidebarViewModel.coordinator();
    const ApplicationList applications = m_applications;
    QPointer<UpdateSheetView> guard(this);
    auto handler = [guard](int index, const UpdateProgress& progress) {
        if (guard)
            guard->handleProgress(index, progress);
    };
    runAsync([&coordinator, applications, handler] {
        return coordinator.updateApplications(applications, 1, [applications, handler](const UpdateProgress& p) {
            forwardProgressToMainActor(p, applications, handler);
        });
    }).then(QCoreApplication::instance(), [guard](QFuture<QList<Update::Result>> future) {
        QList<Update::Result> results;
        try {
            results = future.result();
        } catch (...) {
            // The coordinator reports failures as results; anything else still ends the batch,
            // as a failure in the log, never as a cancellation.
            Logger::error(QStringLiteral("Batch update failed: ") + describeException(std::current_exception()));
        }
        if (guard)
            guard->finishBatch(results);
    });
}

void UpdateSheetView::handleProgress(int index, const UpdateProgress& progress)
{
    m_currentIndex = index;
    m_currentProgress = progress;
    const QUuid id = progress.application ? progress.application->id() : QUuid();
    if (progress.status == UpdateProgress::Status::failed)
        m_failedProgressMap.insert(id, progress);
    const auto selected = m_store.selectedApplication();
    if (selected && selected->id() == id) {
        m_detailViewModel.setUpdateProgress(progress);
        m_detailViewModel.setIsUpdating(!isFinal(progress.status));
    }
    if (progress.status == UpdateProgress::Status::completed || progress.status == UpdateProgress::Status::failed)
        ++m_completedAppsCount;
    refresh();
}

void UpdateSheetView::finishBatch(const QList<Update::Result>& results)
{
    m_results = results;
    m_isProcessing = false;
    m_hasCompleted = true;
    const auto successful = std::count_if(results.cbegin(), results.cend(), [](const auto& r) { return r.success; });
    Logger::info(QStringLiteral("Update queue complete: %1 successful, %2 failed")
                     .arg(successful)
                     .arg(results.size() - successful));
    refresh();
}

void UpdateSheetView::cancelBatch()
{
    if (m_isCancelling)
        return;
    m_isCancelling = true;
    refresh();
    Logger::info(QStringLiteral("Cancelling updates..."));
    AppCoordinator& coordinator = m_sidebarViewModel.coordinator();
    // The sheet may be closed before the coordinator answers.
    QPointer<UpdateSheetView> guard(this);
    runAsync([&coordinator] { coordinator.cancelUpdates(); })
        .then(QCoreApplication::instance(), [guard](QFuture<void> future) {
        try {
            future.waitForFinished();
        } catch (...) {
            Logger::error(QStringLiteral("Cancelling updates failed: ") +
                          describeException(std::current_exception()));
        }
        Logger::info(QStringLiteral("Updates cancelled"));
        if (!guard)
            return;
        guard->m_isCancelling = false;
        guard->m_isProcessing = false;
        guard->m_hasCompleted = true;
        guard->refresh();
    });
}

void UpdateSheetView::refresh()
{
    m_title->setText(m_showingReview ? QStringLiteral("Update Review") : QStringLiteral("Updates"));
    QString subtitle;
    if (!m_showingReview) {
        if (m_isProcessing)
            subtitle = QStringLiteral("Updating %1 of %2 apps")
                           .arg(static_cast<long long>(m_currentIndex) + 1)
                           .arg(static_cast<long long>(m_applications.size()));
        else if (m_hasCompleted)
            subtitle = QStringLiteral("Update complete");
    }
    m_subtitle->setText(subtitle);
    m_subtitle->setVisible(!m_showingReview);

    // The footer tests completion before processing; the header the other way round.
    const bool review = m_showingReview;
    const bool complete = !review && m_hasCompleted;
    const bool processing = !review && !complete && m_isProcessing;
    m_cancelButton->setVisible(review);
    m_updateButton->setVisible(review);
    m_doneButton->setVisible(complete);
    m_cancelBatchButton->setVisible(processing);
    m_cancelBatchButton->setEnabled(!m_isCancelling);
    m_cancelBatchButton->setText(m_isCancelling ? QString() : QStringLiteral("Cancel"));
    m_cancellingIndicator->setVisible(m_isCancelling);
    m_cancelBatchButton->setMinimumWidth(m_isCancelling ? m_cancellingIndicator->sizeHint().width() : 0);

    int scroll = 0;
    if (m_body) {
        if (auto* area = m_body->findChild<QScrollArea*>())
            scroll = area->verticalScrollBar()->value();
        m_body->hide();
        m_body->deleteLater();
    }
    if (m_showingReview) {
        m_body = new ReviewView(m_applications, m_sudoRequiredApps, this);
    } else {
        ProcessingView::State state{m_applications, m_currentIndex, m_currentProgress, overallProgress(),
                                    m_results, m_hasCompleted, m_failedProgressMap};
        m_body = new ProcessingView(state, m_detailViewModel, m_store, this);
    }
    m_bodyLayout->addWidget(m_body);
    if (scroll > 0) {
        // The new scroll area knows its range only once it has been laid out.
        QPointer<QScrollArea> area = m_body->findChild<QScrollArea*>();
        QTimer::singleShot(0, this, [area, scroll] {
            if (area)
                area->verticalScrollBar()->setValue(scroll);
        });
    }
    Q_EMIT stateChanged();
}

} // namespace norvelle
