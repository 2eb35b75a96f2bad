#include "ui/detail/SelectedApplicationDetailsView.h"

#include "coordinator/AppState.h"
#include "ui/SymbolIcons.h"
#include "ui/detail/BrewManualActionView.h"
#include "ui/detail/PanelActions.h"
#include "ui/detail/RefreshProgressView.h"
#include "ui/detail/SkippedVersionView.h"
#include "ui/detail/UpdateProgressView.h"
#include "ui/detail/VersionLine.h"
#include "ui/main/components/ApplicationIconProvider.h"
#include "ui/main/components/ElidingLabel.h"
#include "ui/main/components/PaletteFollower.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"
#include "util/Async.h"
#include "viewmodels/DetailViewModel.h"
#include "viewmodels/SettingsViewModel.h"

#include "ui/main/components/PlainLabel.h"
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace norvelle {

namespace {

// The bundle's icon from the desktop, in a rounded square.
QPixmap roundedIcon(const QUrl& path, const QString& version, int size, qreal ratio)
{
    const QIcon icon = ApplicationIconProvider::icon(path.toLocalFile(), version);
    const QPixmap source = icon.pixmap(QSize(size, size), ratio);
    QPixmap result(QSize(size, size) * ratio);
    result.setDevicePixelRatio(ratio);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(0, 0, size, size), 16, 16);
    painter.setClipPath(clip);
    painter.drawPixmap(QRect(0, 0, size, size), source);
    return result;
}

QPushButton* actionButton(const char* name, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setMinimumHeight(28);
    return button;
}

} // namespace

SelectedApplicationDetailsView::SelectedApplicationDetailsView(std::shared_ptr<Application> application,
                                                               AppState& appState, DetailViewModel& viewModel,
                                                               SettingsViewModel& settingsViewModel,
                                                               Callbacks callbacks, QWidget* parent)
    : QWidget(parent), m_application(std::move(application)), m_appState(appState), m_viewModel(viewModel),
      m_settingsViewModel(settingsViewModel), m_callbacks(std::move(callbacks))
{
    setObjectName(QStringLiteral("selectedApplicationDetails"));
    auto* outer = new QVBoxLayout(this);
    m_layout = outer;
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(12);

    auto* headerRow = new QHBoxLayout;
    headerRow->setSpacing(12);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("applicationIcon"));
    icon->setFixedSize(iconSize, iconSize);
    headerRow->addWidget(icon, 0, Qt::AlignVCenter);

    auto* column = new QVBoxLayout;
    column->setSpacing(4);
    // The name and versions are the bundle's own, of any length: cut to the pane's width, never
    // widening it past the window.
    m_name = new ElidingLabel(this);
    setUpPlainLabel(m_name, TextStyles::font(TextStyles::Style::title, QFont::Medium),
                    SystemColors::primary(), "applicationName");
    m_name->setFullText(m_application->name());
    column->addWidget(m_name);

    m_currentVersion = new ElidingLabel(this);
    setUpPlainLabel(m_currentVersion, TextStyles::font(TextStyles::Style::title3), SystemColors::secondary(),
                    "currentVersion");
    m_arrow = makePlainLabel(QString(), TextStyles::font(TextStyles::Style::body, QFont::Medium),
                             SystemColors::secondary(), this, "versionArrow");
    m_arrow->setText(QStringLiteral("→"));
    m_latestVersion = new ElidingLabel(this);
    setUpPlainLabel(m_latestVersion, TextStyles::font(TextStyles::Style::title3, QFont::DemiBold),
                    SystemColors::green(), "latestVersion");
    column->addWidget(new VersionLine(m_currentVersion, m_arrow, m_latestVersion, this));
    column->addSpacing(8);

    auto* actions = new QHBoxLayout;
    actions->setSpacing(8);
    m_primary = actionButton("primaryButton", this);
    QFont bold = m_primary->font();
    bold.setBold(true);
    m_primary->setFont(bold);
    m_primary->setDefault(true);
    m_skip = actionButton("skipVersionButton", this);
    m_skip->setText(QStringLiteral("Skip Version"));
    m_ignore = actionButton("ignoreButton", this);
    actions->addWidget(m_primary);
    actions->addWidget(m_skip);
    actions->addWidget(m_ignore);
    actions->addStretch();
    column->addLayout(actions);
    headerRow->addLayout(column, 1);
    outer->addLayout(headerRow);

    m_skipped = new SkippedVersionView(
        m_application,
        [this] {
            if (m_callbacks.onUnskipVersion)
                m_callbacks.onUnskipVersion();
        },
        this);
    outer->addWidget(m_skipped);

    auto* divider = new QFrame(this);
    m_divider = divider;
    divider->setObjectName(QStringLiteral("headerDivider"));
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    outer->addWidget(divider);
    PaletteFollower::follow(this, [this, divider] {
        QPalette dividerPalette = divider->palette();
        dividerPalette.setColor(QPalette::WindowText, SystemColors::tertiary());
        dividerPalette.setColor(QPalette::Text, SystemColors::tertiary());
        divider->setPalette(dividerPalette);
        setTextColor(m_name, SystemColors::primary());
        setTextColor(m_currentVersion, SystemColors::secondary());
        setTextColor(m_arrow, SystemColors::secondary());
    });

    connect(m_primary, &QPushButton::clicked, this, &SelectedApplicationDetailsView::primaryClicked);
    connect(m_skip, &QPushButton::clicked, this, [this] {
        if (m_callbacks.onSkipVersion)
            m_callbacks.onSkipVersion();
    });
    connect(m_ignore, &QPushButton::clicked, this, [this] {
        if (m_callbacks.onIgnore)
            m_callbacks.onIgnore();
    });
    connect(&m_appState, &AppState::hasAppManagementPermissionChanged, this,
            &SelectedApplicationDetailsView::sync);
    connect(&m_viewModel, &DetailViewModel::isRefreshingChanged, this, &SelectedApplicationDetailsView::sync);
    connect(&m_viewModel, &DetailViewModel::showRefreshSuccessChanged, this,
            &SelectedApplicationDetailsView::sync);
    connect(&m_viewModel, &DetailViewModel::refreshFailureChanged, this,
            &SelectedApplicationDetailsView::sync);

    // Changes may come from any thread; the widgets are touched on the main thread only.
    QPointer<SelectedApplicationDetailsView> self(this);
    m_observer = m_application->addObserver([self](Application::Field) {
        postToMain([self] {
            if (self)
                self->sync();
        });
    });
    sync();
}

SelectedApplicationDetailsView::~SelectedApplicationDetailsView() = default;

void SelectedApplicationDetailsView::setInputs(const DetailRules::HeaderInputs& inputs)
{
    m_inputs = inputs;
    sync();
}

void SelectedApplicationDetailsView::sync()
{
    const Application::Snapshot app = m_application->snapshot();
    m_state = DetailRules::header(m_application, app, m_inputs, m_appState.hasAppManagementPermission(),
                                  m_viewModel.isRefreshing(), QDateTime::currentDateTime());

    m_currentVersion->setFullText(app.displayCurrentVersion());
    // An update can bring a new icon with the new version.
    if (auto* icon = findChild<QLabel*>(QStringLiteral("applicationIcon"));
        icon && (!icon->property("iconVersion").isValid()
                 || icon->property("iconVersion").toString() != app.currentVersion)) {
        icon->setProperty("iconVersion", app.currentVersion);
        icon->setPixmap(roundedIcon(app.path, app.currentVersion, iconSize, devicePixelRatioF()));
    }
    const bool hasUpdate = app.update.has_value();
    m_arrow->setVisible(hasUpdate);
    m_latestVersion->setVisible(hasUpdate);
    m_latestVersion->setFullText(app.displayLatestVersion().value_or(QString()));
    setTextColor(m_latestVersion, m_state.latestVersionFailed ? SystemColors::red() : SystemColors::green());

    using Form = DetailRules::ActionForm;
    PanelActions::keepFocusIn(this, m_primary, m_state.form == Form::fullUpdate && m_state.primaryEnabled);
    PanelActions::keepFocusIn(this, m_skip, m_state.form != Form::ignoreOnly && m_state.skipEnabled);
    PanelActions::keepFocusIn(this, m_ignore, m_state.ignoreEnabled);
    m_primary->setVisible(m_state.form == Form::fullUpdate);
    m_skip->setVisible(m_state.form != Form::ignoreOnly);
    m_ignore->setText(m_state.ignoreTitle);
    m_ignore->setEnabled(m_state.ignoreEnabled);
    m_skip->setEnabled(m_state.skipEnabled);
    m_primary->setText(m_state.primaryTitle);
    m_primary->setEnabled(m_state.primaryEnabled);
    const bool failed = m_state.primary == DetailRules::PrimaryAction::updateFailed;
    m_primary->setStyleSheet(
        failed ? QStringLiteral("QPushButton { color: %1; }").arg(SystemColors::red().name()) : QString());
    m_primary->setToolTip(m_state.primary == DetailRules::PrimaryAction::permissionRequired
                              ? QStringLiteral("Click to open Settings and enable Permissions")
                              : QString());

    const bool showsRefresh = m_viewModel.showsRefresh();
    if (showsRefresh && !m_refreshView) {
        m_refreshView = new RefreshProgressView(m_application, m_viewModel.isRefreshing(), this);
        m_refreshView->setState(m_viewModel.isRefreshing(), m_viewModel.refreshFailure());
        // Right under the header row, above the skipped notice.
        m_layout->insertWidget(m_layout->indexOf(m_skipped), m_refreshView);
        Q_EMIT panelShown(m_refreshView);
    } else if (showsRefresh) {
        m_refreshView->setState(m_viewModel.isRefreshing(), m_viewModel.refreshFailure());
    } else if (m_refreshView) {
        m_refreshView->hide();
        m_refreshView->deleteLater();
        m_refreshView = nullptr;
    }

    m_skipped->setVisible(m_state.showSkippedNotice);
    m_skipped->sync();

    if (m_state.showTerminalFallback && !m_terminalFallback) {
        m_terminalFallback = new BrewManualActionView(m_application, DetailViewModel::ActionType::update,
                                                      m_callbacks.onRefreshApp, m_viewModel, this);
        m_terminalFallback->setContentsMargins(0, 0, 0, 8);
        m_layout->insertWidget(m_layout->indexOf(m_divider), m_terminalFallback);
    } else if (!m_state.showTerminalFallback && m_terminalFallback) {
        m_terminalFallback->hide();
        m_terminalFallback->deleteLater();
        m_terminalFallback = nullptr;
    }

    if (m_state.progressPanel && m_progressView) {
        m_progressView->setProgress(*m_state.progressPanel);
    } else if (m_state.progressPanel) {
        m_progressView =
            new UpdateProgressView(*m_state.progressPanel, m_callbacks.onRefreshApp, m_viewModel, this);
        // Under the skipped notice, above the divider.
        m_layout->insertWidget(m_layout->indexOf(m_skipped) + 1, m_progressView);
        Q_EMIT panelShown(m_progressView);
    } else if (m_progressView) {
        m_progressView->hide();
        m_progressView->deleteLater();
        m_progressView = nullptr;
    }
}

void SelectedApplicationDetailsView::primaryClicked()
{
    switch (m_state.primary) {
    case DetailRules::PrimaryAction::update:
        if (m_callbacks.onUpdate)
            m_callbacks.onUpdate();
        break;
    case DetailRules::PrimaryAction::permissionRequired:
        m_settingsViewModel.setSelectedCategory(SettingsViewModel::SettingsCategory::permissions);
        Q_EMIT openWindowRequested(QStringLiteral("settings"));
        break;
    case DetailRules::PrimaryAction::updateFailed:
    case DetailRules::PrimaryAction::updating:
        break;
    }
}

} // namespace norvelle
