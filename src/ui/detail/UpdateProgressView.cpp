#include "ui/detail/UpdateProgressView.h"

#include "ui/main/components/SystemColors.h"

#include "ui/detail/BrewCommandView.h"
#include "ui/detail/BrewOutputView.h"
#include "ui/main/components/PaletteFollower.h"
#include "ui/detail/PanelActions.h"
#include "ui/detail/ProgressBanner.h"
#include "util/Async.h"
#include "viewmodels/BrewCommandLine.h"
#include "viewmodels/DetailViewModel.h"

#include <QMessageBox>
#include <QVBoxLayout>

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
    m_banner = new ProgressBanner({"updateProgressBanner", "updateStatusTitle", "updateCurrentStep",
                                   "updateSpinner", "updateProgressBox", "updateProgressBar",
                                   "updatePercentage", "updateEstimate"},
                                  statusColor(progress.status), 32, this);
    outer->addWidget(m_banner);
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
    PanelActions::refresh(this, m_onRefreshApp, [this](bool refreshing) {
        m_isRefreshing = refreshing;
        syncCommandBox();
    });
}

void UpdateProgressView::runUpdate()
{
    PanelActions::runInTerminal(
        this, m_alert, m_viewModel, QStringLiteral("Update App via Terminal?"),
        QStringLiteral("This will open Terminal and run the update command. You'll need to enter your password to complete the update."),
        [this] { return updateCommand(m_progress); });
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
    m_banner->showStatus(statusColor(m_progress.status), statusTitle(m_progress.status),
                         m_progress.currentStep, showsSpinner(m_progress.status));
    m_banner->showProgress(m_progress.progress, m_progress.estimatedCompletion);
    syncCommandBox();
}

} // namespace norvelle
