#include "ui/detail/AdoptionProgressView.h"

#include "ui/SymbolIcons.h"
#include "ui/main/components/PaletteFollower.h"
#include "ui/detail/PanelActions.h"
#include "ui/detail/ProgressBanner.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/RoundedPanel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"
#include "ui/platform/SystemClipboard.h"
#include "viewmodels/BrewCommandLine.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace norvelle {

using Status = AdoptionProgress::Status;

AdoptionProgressView::AdoptionProgressView(const AdoptionProgress& progress,
                                           std::function<QFuture<void>()> onRefreshApp, Clipboard* clipboard,
                                           QWidget* parent)
    : QWidget(parent), m_progress(progress), m_onRefreshApp(std::move(onRefreshApp)), m_clipboard(clipboard)
{
    setObjectName(QStringLiteral("adoptionProgressView"));
    if (!m_clipboard) {
        m_ownClipboard = std::make_unique<SystemClipboard>();
        m_clipboard = m_ownClipboard.get();
    }
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_banner = new ProgressBanner({"adoptionBanner", "adoptionTitle", "adoptionStep", "adoptionSpinner",
                                   "adoptionProgressBox", "adoptionProgressBar", "adoptionPercentage",
                                   "adoptionEstimate"},
                                  statusColor(progress.status), 40, this);
    outer->addWidget(m_banner);
    m_refresh = new QPushButton(m_banner);
    m_refresh->setObjectName(QStringLiteral("adoptionRefreshButton"));
    m_refresh->setDefault(true);
    m_refresh->setAutoDefault(false);
    connect(m_refresh, &QPushButton::clicked, this, &AdoptionProgressView::refresh);
    m_banner->headerLayout()->addWidget(m_refresh, 0, Qt::AlignVCenter);

    m_failure = new QWidget(m_banner);
    m_failure->setObjectName(QStringLiteral("adoptionFailure"));
    auto* failure = new QVBoxLayout(m_failure);
    failure->setContentsMargins(0, 0, 0, 0);
    failure->setSpacing(8);
    m_failureText = makePlainLabel(
        QStringLiteral(
            "The adoption failed. You can try running the adoption command manually in your terminal:"),
        TextStyles::font(TextStyles::Style::subheadline), QColor(), m_failure, "adoptionFailureText");
    m_failureText->setWordWrap(true);
    failure->addWidget(m_failureText);
    m_commandRow = new QWidget(m_failure);
    auto* commandRow = new QHBoxLayout(m_commandRow);
    commandRow->setContentsMargins(0, 0, 0, 0);
    commandRow->setSpacing(8);
    // Dark like a terminal in either theme, so the text is drawn light on it.
    auto* field = new RoundedPanel(QColor(0, 0, 0, 204), 6, m_commandRow);
    auto* fieldLayout = new QHBoxLayout(field);
    fieldLayout->setContentsMargins(12, 8, 12, 8);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(TextStyles::font(TextStyles::Style::body).pointSizeF());
    m_command = makePlainLabel(QString(), mono, Qt::white, field, "adoptionCommand");
    m_command->setWordWrap(true);
    m_command->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    fieldLayout->addWidget(m_command, 1);
    commandRow->addWidget(field, 1);
    m_copy = new QToolButton(m_commandRow);
    m_copy->setObjectName(QStringLiteral("adoptionCopyButton"));
    m_copy->setIconSize(QSize(16, 16));
    m_copy->setToolTip(QStringLiteral("Copy command"));
    connect(m_copy, &QToolButton::clicked, this, &AdoptionProgressView::copyCommand);
    commandRow->addWidget(m_copy);
    failure->addWidget(m_commandRow);
    m_banner->contentLayout()->addWidget(m_failure);

    PaletteFollower::follow(this, [this] { sync(); });
}

AdoptionProgressView::~AdoptionProgressView() = default;

void AdoptionProgressView::setProgress(const AdoptionProgress& progress)
{
    m_progress = progress;
    sync();
}

QString AdoptionProgressView::displayText(Status status)
{
    QString raw = toRawValue(status);
    if (!raw.isEmpty())
        raw[0] = raw[0].toUpper();
    return raw;
}

QColor AdoptionProgressView::statusColor(Status status)
{
    switch (status) {
    case Status::queued:
    case Status::verifying:
        return SystemColors::secondary();
    case Status::downloading:
        return SystemColors::blue();
    case Status::adopting:
        return SystemColors::orange();
    case Status::completed:
        return SystemColors::green();
    case Status::failed:
        return SystemColors::red();
    case Status::cancelled:
        return SystemColors::gray();
    }
    return SystemColors::secondary();
}

bool AdoptionProgressView::showsSpinner(Status status)
{
    return status == Status::downloading || status == Status::adopting || status == Status::verifying;
}

QString AdoptionProgressView::adoptCommand(const AdoptionProgress& progress)
{
    return BrewCommandLine::adopt(progress.application ? progress.application->cask() : std::nullopt);
}

void AdoptionProgressView::sync()
{
    m_banner->showStatus(statusColor(m_progress.status),
                         QStringLiteral("Adoption ") + displayText(m_progress.status), m_progress.currentStep,
                         showsSpinner(m_progress.status));
    m_banner->showProgress(m_progress.progress, m_progress.estimatedCompletion);

    const bool failed = m_progress.status == Status::failed;
    m_refresh->setVisible(failed && m_onRefreshApp);
    m_refresh->setText(m_isRefreshing ? QStringLiteral("Checking...") : QStringLiteral("Refresh"));

    m_failure->setVisible(failed);
    setTextColor(m_failureText, SystemColors::secondary());
    const bool hasCask = m_progress.application && m_progress.application->cask().has_value();
    m_commandRow->setVisible(hasCask);
    const QString command = adoptCommand(m_progress);
    m_command->setText(command);
    m_copy->setEnabled(!command.isEmpty());
    m_copy->setIcon(SymbolIcons::icon(QStringLiteral("doc.on.doc"), SystemColors::secondary()));
}

void AdoptionProgressView::refresh()
{
    PanelActions::refresh(this, m_onRefreshApp, [this](bool refreshing) {
        m_isRefreshing = refreshing;
        sync();
    });
}

void AdoptionProgressView::copyCommand()
{
    const QString command = adoptCommand(m_progress);
    if (!command.isEmpty())
        m_clipboard->copyText(command);
}

} // namespace norvelle
