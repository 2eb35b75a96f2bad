#include "ui/update_sheet/BatchProgressPanel.h"

#include "ui/main/components/RoundedPanel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/update_sheet/UpdateSheetParts.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace norvelle {

namespace {

bool inFlight(UpdateProgress::Status status)
{
    using S = UpdateProgress::Status;
    return status == S::queued || status == S::downloading || status == S::installing || status == S::verifying;
}

QColor statusColor(UpdateProgress::Status status)
{
    switch (status) {
    case UpdateProgress::Status::completed:
        return SystemColors::green();
    case UpdateProgress::Status::failed:
        return SystemColors::red();
    case UpdateProgress::Status::cancelled:
        return SystemColors::orange();
    default:
        return SystemColors::blue();
    }
}

} // namespace

QString BatchProgressPanel::statusText(UpdateProgress::Status status)
{
    switch (status) {
    case UpdateProgress::Status::queued:
        return QStringLiteral("Queued");
    case UpdateProgress::Status::downloading:
        return QStringLiteral("Downloading");
    case UpdateProgress::Status::installing:
        return QStringLiteral("Installing");
    case UpdateProgress::Status::verifying:
        return QStringLiteral("Verifying");
    case UpdateProgress::Status::completed:
        return QStringLiteral("Completed");
    case UpdateProgress::Status::failed:
        return QStringLiteral("Update Failed");
    case UpdateProgress::Status::cancelled:
        return QStringLiteral("Cancelled");
    }
    return {};
}

BatchProgressPanel::BatchProgressPanel(const UpdateProgress& progress, RefreshAction onRefreshApp,
                                       QWidget* parent)
    : QWidget(parent), m_progress(progress), m_onRefreshApp(std::move(onRefreshApp))
{
    setObjectName(QStringLiteral("progressPanel"));
    const QColor tint = statusColor(progress.status);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* panel = new RoundedPanel(SystemColors::withOpacity(tint, 0.1), 8, this);
    outer->addWidget(panel);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(12, 10, 12, 10);
    column->setSpacing(6);

    auto* header = new QHBoxLayout;
    auto* status = UpdateSheetParts::label(statusText(progress.status),
                                           UpdateSheetParts::font(TextStyles::Style::subheadline, QFont::Medium),
                                           tint, panel);
    status->setObjectName(QStringLiteral("progressStatus"));
    header->addWidget(status);
    header->addStretch(1);
    if (m_onRefreshApp) {
        m_refresh = new QPushButton(QStringLiteral("Refresh"), panel);
        m_refresh->setObjectName(QStringLiteral("refreshButton"));
        connect(m_refresh, &QPushButton::clicked, this, &BatchProgressPanel::startRefresh);
        header->addWidget(m_refresh);
    }
    column->addLayout(header);

    if (inFlight(progress.status)) {
        auto* bar = new QProgressBar(panel);
        bar->setObjectName(QStringLiteral("progressBar"));
        bar->setRange(0, 1000);
        bar->setValue(static_cast<int>(qBound(0.0, progress.progress, 1.0) * 1000));
        bar->setTextVisible(false);
        bar->setMaximumHeight(8);
        QPalette palette = bar->palette();
        palette.setColor(QPalette::Highlight, SystemColors::blue());
        bar->setPalette(palette);
        column->addWidget(bar);
    }
    if (!progress.currentStep.isEmpty()) {
        auto* step = UpdateSheetParts::label(progress.currentStep, UpdateSheetParts::font(TextStyles::Style::caption),
                                             SystemColors::secondary(), panel);
        step->setObjectName(QStringLiteral("progressStep"));
        step->setWordWrap(true);
        column->addWidget(step);
    }
    if (!progress.brewOutput.isEmpty()) {
        auto* last = UpdateSheetParts::label(progress.brewOutput.last(),
                                             UpdateSheetParts::font(TextStyles::Style::caption2),
                                             SystemColors::tertiary(), panel);
        last->setObjectName(QStringLiteral("progressOutput"));
        last->setWordWrap(true);
        column->addWidget(last);
    }
}

void BatchProgressPanel::startRefresh()
{
    if (!m_onRefreshApp || !m_refresh->isEnabled())
        return;
    m_refresh->setEnabled(false);
    m_refresh->setText(QStringLiteral("Checking..."));
    // The action may outlive the panel (the sheet can close meanwhile); the continuation runs on
    // the main thread's application object and finds the panel only if it is still there.
    m_onRefreshApp().then(QCoreApplication::instance(), [guard = QPointer<BatchProgressPanel>(this)] {
        if (!guard)
            return;
        guard->m_refresh->setText(QStringLiteral("Refresh"));
        guard->m_refresh->setEnabled(true);
    });
}

} // namespace norvelle
