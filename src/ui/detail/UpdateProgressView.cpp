#include "ui/detail/UpdateProgressView.h"

#include "ui/detail/MetadataFormat.h"
#include "ui/main/components/Banner.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"

#include "ui/main/components/PlainLabel.h"
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace norvelle {

namespace {

using Status = UpdateProgress::Status;

} // namespace

UpdateProgressView::UpdateProgressView(const UpdateProgress& progress,
                                       std::function<QFuture<void>()> onRefreshApp,
                                       DetailViewModel& viewModel, QWidget* parent)
    : QWidget(parent), m_progress(progress), m_onRefreshApp(std::move(onRefreshApp)), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("updateProgressView"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(12);
    m_banner = new Banner(statusColor(progress.status), nullptr, this);
    m_banner->setObjectName(QStringLiteral("updateProgressBanner"));
    outer->addWidget(m_banner);
    m_banner->contentLayout()->setSpacing(12);

    auto* top = new QHBoxLayout;
    top->setSpacing(12);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    m_title = makePlainLabel(QString(), TextStyles::font(TextStyles::Style::body, QFont::Medium), QColor(),
                             m_banner, "updateStatusTitle");
    m_step = makePlainLabel(QString(), TextStyles::font(TextStyles::Style::subheadline), QColor(), m_banner,
                            "updateCurrentStep");
    m_step->setWordWrap(true);
    setTextColor(m_step, SystemColors::secondary());
    texts->addWidget(m_title);
    texts->addWidget(m_step);
    top->addLayout(texts, 1);
    m_spinner = new QProgressBar(m_banner);
    m_spinner->setObjectName(QStringLiteral("updateSpinner"));
    m_spinner->setRange(0, 0);
    m_spinner->setTextVisible(false);
    m_spinner->setFixedSize(32, 8);
    top->addWidget(m_spinner, 0, Qt::AlignVCenter);
    m_banner->contentLayout()->addLayout(top);

    m_barBox = new QWidget(m_banner);
    m_barBox->setObjectName(QStringLiteral("updateProgressBox"));
    auto* barLayout = new QVBoxLayout(m_barBox);
    barLayout->setContentsMargins(0, 0, 0, 0);
    barLayout->setSpacing(4);
    m_bar = new QProgressBar(m_barBox);
    m_bar->setObjectName(QStringLiteral("updateProgressBar"));
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    m_bar->setFixedHeight(6);
    barLayout->addWidget(m_bar);
    auto* captions = new QHBoxLayout;
    const QFont caption = TextStyles::font(TextStyles::Style::caption);
    m_percentage = makePlainLabel(QString(), caption, QColor(), m_barBox, "updatePercentage");
    m_estimate = makePlainLabel(QString(), caption, QColor(), m_barBox, "updateEstimate");
    setTextColor(m_percentage, SystemColors::secondary());
    setTextColor(m_estimate, SystemColors::secondary());
    captions->addWidget(m_percentage);
    captions->addStretch();
    captions->addWidget(m_estimate);
    barLayout->addLayout(captions);
    m_banner->contentLayout()->addWidget(m_barBox);

    // The estimate is a distance from now, so it keeps moving while it shows.
    m_estimateTimer = new QTimer(this);
    m_estimateTimer->setInterval(1000);
    connect(m_estimateTimer, &QTimer::timeout, this, &UpdateProgressView::syncEstimate);
    sync();
}

void UpdateProgressView::setProgress(const UpdateProgress& progress)
{
    m_progress = progress;
    sync();
}

QString UpdateProgressView::statusTitle(Status status)
{
    switch (status) {
    case Status::queued:
        return QStringLiteral("Update Queued");
    case Status::downloading:
        return QStringLiteral("Downloading");
    case Status::installing:
        return QStringLiteral("Installing");
    case Status::verifying:
        return QStringLiteral("Verifying");
    case Status::completed:
        return QStringLiteral("Completed");
    case Status::failed:
        return QStringLiteral("Failed to Update");
    case Status::cancelled:
        return QStringLiteral("Cancelled");
    }
    return {};
}

QColor UpdateProgressView::statusColor(Status status)
{
    switch (status) {
    case Status::queued:
    case Status::verifying:
        return SystemColors::secondary();
    case Status::downloading:
        return SystemColors::blue();
    case Status::installing:
        return SystemColors::purple();
    case Status::completed:
        return SystemColors::green();
    case Status::failed:
        return SystemColors::red();
    case Status::cancelled:
        return SystemColors::gray();
    }
    return SystemColors::secondary();
}

bool UpdateProgressView::showsSpinner(Status status)
{
    return status == Status::downloading || status == Status::installing || status == Status::verifying;
}

QString UpdateProgressView::percentageText(double fraction)
{
    return QStringLiteral("%1%").arg(static_cast<long long>(std::trunc(fraction * 100)));
}

QString UpdateProgressView::updateCommand(const UpdateProgress& progress)
{
    const auto cask = progress.application ? progress.application->cask() : std::nullopt;
    return cask ? QStringLiteral("brew upgrade --cask ") + cask->caskName : QString();
}

void UpdateProgressView::sync()
{
    const QColor color = statusColor(m_progress.status);
    m_banner->setColor(color);
    m_title->setText(statusTitle(m_progress.status));
    setTextColor(m_title, color);
    // At most two lines of the step.
    m_step->setText(m_progress.currentStep);
    m_step->setMaximumHeight(m_step->fontMetrics().lineSpacing() * 2 + 2);
    m_spinner->setVisible(showsSpinner(m_progress.status));

    const double fraction = m_progress.progress;
    const bool partway = fraction > 0 && fraction < 1;
    m_barBox->setVisible(partway);
    m_bar->setValue(static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 1000));
    QPalette barPalette = m_bar->palette();
    barPalette.setColor(QPalette::Highlight, color);
    m_bar->setPalette(barPalette);
    m_percentage->setText(percentageText(fraction));
    syncEstimate();
}

void UpdateProgressView::syncEstimate()
{
    const bool partway = m_progress.progress > 0 && m_progress.progress < 1;
    const bool shows = partway && m_progress.estimatedCompletion.has_value();
    m_estimate->setVisible(shows);
    if (shows) {
        m_estimate->setText(
            QStringLiteral("Est. ") +
            MetadataFormat::relativeShort(*m_progress.estimatedCompletion, QDateTime::currentDateTime()));
        if (!m_estimateTimer->isActive())
            m_estimateTimer->start();
    } else {
        m_estimateTimer->stop();
    }
}

} // namespace norvelle
