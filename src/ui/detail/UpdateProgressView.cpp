#include "ui/detail/UpdateProgressView.h"

#include "ui/detail/MetadataFormat.h"
#include "ui/main/components/Banner.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"

#include "ui/detail/BrewCommandView.h"
#include "ui/detail/BrewOutputView.h"
#include "ui/detail/PaletteFollower.h"
#include "ui/detail/TerminalAlert.h"
#include "ui/main/components/PlainLabel.h"
#include "util/Async.h"
#include "viewmodels/BrewCommandLine.h"
#include "viewmodels/DetailViewModel.h"

#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QMessageBox>
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
    observeApplication();
    // sync() takes every palette colour afresh, so a theme switch repaints the panel.
    PaletteFollower::follow(this, [this] { sync(); });
}

UpdateProgressView::~UpdateProgressView() = default;

BrewOutputView* UpdateProgressView::brewOutputSheet() const
{
    return m_outputSheet;
}

QMessageBox* UpdateProgressView::terminalAlert() const
{
    return m_alert;
}

void UpdateProgressView::setProgress(const UpdateProgress& progress)
{
    const bool otherApplication = progress.application != m_progress.application;
    m_progress = progress;
    if (otherApplication)
        observeApplication();
    sync();
}

void UpdateProgressView::observeApplication()
{
    m_observer.reset();
    if (!m_progress.application)
        return;
    // The command box follows the application's cask and sources, which may change on any thread.
    QPointer<UpdateProgressView> self(this);
    m_observer = m_progress.application->addObserver([self](Application::Field) {
        postToMain([self] {
            if (self)
                self->syncCommandBox();
        });
    });
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
    return BrewCommandLine::upgrade(progress.application ? progress.application->cask() : std::nullopt);
}

QStringList UpdateProgressView::commandButtons(const UpdateProgress& progress, bool hasRefreshAction)
{
    QStringList buttons;
    if (hasRefreshAction)
        buttons.append(QStringLiteral("refresh"));
    if (progress.application && progress.application->source().contains(Application::Source::homebrew)
        && !progress.brewOutput.isEmpty())
        buttons.append(QStringLiteral("logs"));
    buttons.append(QStringLiteral("update"));
    return buttons;
}

void UpdateProgressView::syncCommandBox()
{
    // The box is there for a failed update of an application Homebrew knows; with a cask name
    // that is no valid token the command is empty and cannot be copied or run.
    const bool hasCask = m_progress.application && m_progress.application->cask().has_value();
    const bool shows = m_progress.status == Status::failed && hasCask;
    if (!shows) {
        if (m_commandBox) {
            m_commandBox->hide();
            m_commandBox->deleteLater();
            m_commandBox = nullptr;
        }
        return;
    }
    const QString command = updateCommand(m_progress);
    QList<BrewCommandView::ButtonConfig> buttons;
    for (const QString& which : commandButtons(m_progress, static_cast<bool>(m_onRefreshApp))) {
        BrewCommandView::ButtonConfig config;
        if (which == QLatin1String("refresh")) {
            config.title = m_isRefreshing ? QStringLiteral("Checking...") : QStringLiteral("Refresh");
            config.objectName = QStringLiteral("commandRefreshButton");
            config.action = [this] { refresh(); };
        } else if (which == QLatin1String("logs")) {
            config.title = QStringLiteral("View Logs");
            config.objectName = QStringLiteral("viewLogsButton");
            config.action = [this] { showBrewOutput(); };
        } else {
            config.title = QStringLiteral("Update");
            config.objectName = QStringLiteral("terminalRunButton");
            config.isProminent = true;
            config.enabled = !command.isEmpty();
            config.action = [this] { runUpdate(); };
        }
        buttons.append(std::move(config));
    }
    if (!m_commandBox) {
        m_commandBox = new BrewCommandView(
            command, QStringLiteral("Click Update to run in Terminal, or copy and paste. Click Refresh when you're done."),
            std::move(buttons), nullptr, this);
        layout()->addWidget(m_commandBox);
    } else {
        m_commandBox->setCommand(command);
        m_commandBox->setButtons(std::move(buttons));
    }
}

void UpdateProgressView::refresh()
{
    if (!m_onRefreshApp)
        return;
    m_isRefreshing = true;
    syncCommandBox();
    // The watcher is the panel's child: a refresh that outlives the panel touches nothing.
    auto* watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcher<void>::finished, this, [this, watcher] {
        watcher->deleteLater();
        m_isRefreshing = false;
        syncCommandBox();
    });
    watcher->setFuture(m_onRefreshApp());
}

void UpdateProgressView::runUpdate()
{
    if (updateCommand(m_progress).isEmpty())
        return;
    if (m_viewModel.suppressTerminalAlert()) {
        m_viewModel.executeInTerminal(updateCommand(m_progress));
        return;
    }
    if (m_alert)
        return;
    m_alert = TerminalAlert::open(
        this, QStringLiteral("Update App via Terminal?"),
        QStringLiteral("This will open Terminal and run the update command. You'll need to enter your password to "
                       "complete the update."),
        m_viewModel, [this] {
            // Built again: the cask may have changed while the alert was open.
            const QString command = updateCommand(m_progress);
            if (!command.isEmpty())
                m_viewModel.executeInTerminal(command);
        });
}

void UpdateProgressView::showBrewOutput()
{
    if (m_outputSheet)
        return;
    m_outputSheet = new BrewOutputView(m_progress.brewOutput, nullptr, this);
    m_outputSheet->setAttribute(Qt::WA_DeleteOnClose);
    m_outputSheet->open();
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
    setTextColor(m_step, SystemColors::secondary());
    setTextColor(m_percentage, SystemColors::secondary());
    setTextColor(m_estimate, SystemColors::secondary());
    syncEstimate();
    syncCommandBox();
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
