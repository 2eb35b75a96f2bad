#include "ui/update_sheet/UpdateSheetView.h"

#include "services/ApplicationStore.h"
#include "ui/main/components/BusyIndicator.h"
#include "ui/main/components/SystemColors.h"
#include "ui/update_sheet/ProcessingView.h"
#include "ui/update_sheet/ReviewView.h"
#include "ui/update_sheet/UpdateBatchSession.h"
#include "ui/update_sheet/UpdateSheetParts.h"
#include "viewmodels/DetailViewModel.h"
#include "viewmodels/SidebarViewModel.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace norvelle {

namespace {

QPushButton* footerButton(const QString& text, const QString& name, bool prominent, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setMinimumHeight(32); // the large control size
    if (prominent) {
        // Disabled, the button keeps the plain look it inherits, so it reads as disabled.
        QPalette palette = button->palette();
        for (const auto group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, QPalette::Button, SystemColors::blue());
            palette.setColor(group, QPalette::ButtonText, Qt::white);
        }
        button->setPalette(palette);
    }
    return button;
}

} // namespace

UpdateSheetView::UpdateSheetView(ApplicationList applications, ApplicationList sudoRequiredApps,
                                 SidebarViewModel& sidebarViewModel, DetailViewModel& detailViewModel,
                                 ApplicationStore& store, QWidget* parent)
    : UpdateSheetView(std::make_shared<UpdateBatchSession>(std::move(applications), std::move(sudoRequiredApps),
                                                           sidebarViewModel.coordinator(), detailViewModel, store),
                      sidebarViewModel, detailViewModel, store, parent)
{
}

UpdateSheetView::UpdateSheetView(std::shared_ptr<UpdateBatchSession> session, SidebarViewModel& sidebarViewModel,
                                 DetailViewModel& detailViewModel, ApplicationStore& store, QWidget* parent)
    : QDialog(parent), m_session(std::move(session)), m_sidebarViewModel(sidebarViewModel),
      m_detailViewModel(detailViewModel), m_store(store)
{
    build();
    connect(m_session.get(), &UpdateBatchSession::changed, this, &UpdateSheetView::sessionChanged);
    m_pending = ~0u;
    flush();
    qApp->installEventFilter(this);
}

UpdateSheetView::~UpdateSheetView() = default;

void UpdateSheetView::build()
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
                                      UpdateSheetParts::Tone::primary, this);
    m_title->setObjectName(QStringLiteral("sheetTitle"));
    header->addWidget(m_title);
    m_subtitle = UpdateSheetParts::label(QString(), UpdateSheetParts::font(TextStyles::Style::subheadline),
                                         UpdateSheetParts::Tone::secondary, this);
    m_subtitle->setObjectName(QStringLiteral("sheetSubtitle"));
    header->addWidget(m_subtitle);
    root->addLayout(header);

    m_bodyLayout = new QVBoxLayout;
    m_bodyLayout->setContentsMargins(0, 0, 0, 0);
    root->addLayout(m_bodyLayout, 1);
    buildFooter(root);
}

void UpdateSheetView::buildFooter(QVBoxLayout* root)
{
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(20, 20, 20, 20);
    footer->addStretch(1);
    m_cancelButton = footerButton(QStringLiteral("Cancel"), QStringLiteral("cancelButton"), false, this);
    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    m_updateButton = footerButton(QString(), QStringLiteral("updateButton"), true, this);
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
    // The platform's small spinner: 16 points scaled to 0.7 about its centre.
    auto* spinnerFrame = new QWidget(m_cancellingIndicator);
    spinnerFrame->setFixedSize(16, 16);
    auto* frameLayout = new QHBoxLayout(spinnerFrame);
    frameLayout->setContentsMargins(0, 0, 0, 0);
    auto* spinner = new BusyIndicator(11, spinnerFrame);
    spinner->setObjectName(QStringLiteral("cancellingSpinner"));
    frameLayout->addWidget(spinner, 0, Qt::AlignCenter);
    cancelling->addWidget(spinnerFrame);
    cancelling->addWidget(UpdateSheetParts::label(QStringLiteral("Cancelling..."),
                                                  UpdateSheetParts::font(TextStyles::Style::body),
                                                  UpdateSheetParts::Tone::secondary, m_cancellingIndicator));
    auto* buttonLayout = new QHBoxLayout(m_cancelBatchButton);
    buttonLayout->setContentsMargins(0, 0, 0, 0);
    buttonLayout->addWidget(m_cancellingIndicator);

    // While cancelling, the application under way may take until its tool gives up: the sheet can
    // be closed meanwhile and opened again on the same batch.
    m_closeButton = footerButton(QStringLiteral("Close"), QStringLiteral("closeWhileCancellingButton"), false, this);
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::reject);

    for (QPushButton* button : {m_cancelButton, m_updateButton, m_doneButton, m_closeButton, m_cancelBatchButton})
        footer->addWidget(button);
    root->addLayout(footer);
}

const UpdateSheetView::ApplicationList& UpdateSheetView::applications() const { return m_session->applications(); }
const UpdateSheetView::ApplicationList& UpdateSheetView::sudoRequiredApps() const
{
    return m_session->sudoRequiredApps();
}
bool UpdateSheetView::showingReview() const { return !m_session->hasStarted(); }
bool UpdateSheetView::isProcessing() const { return m_session->isProcessing(); }
bool UpdateSheetView::isCancelling() const { return m_session->isCancelling(); }
bool UpdateSheetView::hasCompleted() const { return m_session->hasCompleted(); }
int UpdateSheetView::currentIndex() const { return m_session->currentIndex(); }
std::optional<UpdateProgress> UpdateSheetView::currentProgress() const { return m_session->currentProgress(); }
QList<Update::Result> UpdateSheetView::results() const { return m_session->results(); }
QHash<QUuid, UpdateProgress> UpdateSheetView::failedProgressMap() const { return m_session->failedProgressMap(); }
int UpdateSheetView::completedAppsCount() const { return m_session->completedAppsCount(); }
double UpdateSheetView::overallProgress() const { return m_session->overallProgress(); }

UpdateSheetView::Phase UpdateSheetView::phase() const
{
    if (showingReview())
        return Phase::review;
    if (isProcessing())
        return Phase::processing;
    if (hasCompleted())
        return Phase::complete;
    return Phase::none;
}

void UpdateSheetView::startUpdates() { m_session->start(); }
void UpdateSheetView::cancelBatch() { m_session->cancel(); }
void UpdateSheetView::handleProgress(int index, const UpdateProgress& progress)
{
    m_session->handleProgress(index, progress);
}
void UpdateSheetView::finishBatch(const QList<Update::Result>& results) { m_session->finish(results); }

void UpdateSheetView::dismiss()
{
    m_forceClose = true;
    done(QDialog::Rejected);
}

bool UpdateSheetView::canClose() const
{
    // Escape and the window's close button would leave a running batch without its sheet; once it
    // is being cancelled there is nothing left to decide in it.
    return m_forceClose || !isProcessing() || isCancelling();
}

void UpdateSheetView::reject()
{
    if (!canClose())
        return;
    QDialog::reject();
}

void UpdateSheetView::closeEvent(QCloseEvent* event)
{
    if (!canClose()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

bool UpdateSheetView::eventFilter(QObject* watched, QEvent* event)
{
    // Quitting closes every window first and stays running when one refuses; the batch is
    // cancelled on the way out, so the sheet must not hold the application open.
    if (watched == qApp && event->type() == QEvent::Quit)
        m_forceClose = true;
    return QDialog::eventFilter(watched, event);
}

void UpdateSheetView::sessionChanged(unsigned changes)
{
    m_pending |= changes;
    // A phase shows at once; progress reports, which can come by the hundred per turn, are
    // drawn once per turn of the event loop.
    if (changes & UpdateBatchSession::phaseChange) {
        flush();
        return;
    }
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    QMetaObject::invokeMethod(this, &UpdateSheetView::flush, Qt::QueuedConnection);
}

QString UpdateSheetView::subtitleText() const
{
    if (showingReview())
        return {};
    if (isProcessing())
        return QStringLiteral("Updating %1 of %2 apps")
            .arg(static_cast<long long>(currentIndex()) + 1)
            .arg(static_cast<long long>(applications().size()));
    if (hasCompleted() && m_session->wasRefused())
        return QStringLiteral("Not started: another update or an adoption is already running");
    if (hasCompleted() && m_session->skippedAll())
        return QStringLiteral("Nothing updated: no update available any more");
    if (hasCompleted())
        return QStringLiteral("Update complete");
    return {};
}

void UpdateSheetView::flush()
{
    m_flushQueued = false;
    const unsigned changes = m_pending;
    m_pending = 0;
    if (!changes)
        return;

    const bool review = showingReview();
    m_title->setText(review ? QStringLiteral("Update Review") : QStringLiteral("Updates"));
    const QString subtitle = subtitleText();
    if (m_subtitle->text() != subtitle)
        m_subtitle->setText(subtitle);
    m_subtitle->setVisible(!review);

    // The footer tests completion before processing; the header the other way round.
    const bool complete = !review && hasCompleted();
    const bool processing = !review && !complete && isProcessing();
    m_cancelButton->setVisible(review);
    m_updateButton->setVisible(review);
    m_doneButton->setVisible(complete);
    m_cancelBatchButton->setVisible(processing);
    m_closeButton->setVisible(processing && isCancelling());
    m_cancelBatchButton->setEnabled(!isCancelling());
    m_cancelBatchButton->setText(isCancelling() ? QString() : QStringLiteral("Cancel"));
    m_cancellingIndicator->setVisible(isCancelling());
    m_cancelBatchButton->setMinimumWidth(isCancelling() ? m_cancellingIndicator->sizeHint().width() : 0);

    if (review) {
        // The button counts what the batch will take: an update installed or gone meanwhile
        // leaves the count, and with none left there is nothing to start.
        const qsizetype pending = m_session->pendingApplications().size();
        m_updateButton->setText(QStringLiteral("Update (%1)").arg(static_cast<long long>(pending)));
        m_updateButton->setEnabled(pending > 0);
        if (m_review && (changes & UpdateBatchSession::listChange)) {
            m_review->hide();
            m_review->deleteLater();
            m_review = nullptr;
        }
        if (!m_review) {
            m_review = new ReviewView(applications(), sudoRequiredApps(), this);
            m_bodyLayout->addWidget(m_review);
        }
        m_review->setAvailableCount(pending);
    } else {
        if (m_review) {
            m_review->hide();
            m_review->deleteLater();
            m_review = nullptr;
        }
        const ProcessingView::State state{applications(),
                                          currentIndex(),
                                          currentProgress(),
                                          overallProgress(),
                                          m_session->results(),
                                          hasCompleted(),
                                          m_session->failedProgressMap(),
                                          m_session->versionsAt(currentIndex())};
        if (!m_processing) {
            m_processing = new ProcessingView(state, m_detailViewModel, m_store, this);
            m_bodyLayout->addWidget(m_processing);
            // Focus moving into the new body must not scroll it away from its progress block.
            m_cancelBatchButton->setFocus();
            m_processing->scrollToTop();
        } else {
            m_processing->setState(state);
        }
    }
    Q_EMIT stateChanged();
}

} // namespace norvelle
