#include "ui/detail/DetailView.h"

#include "coordinator/AppState.h"
#include "services/ApplicationStore.h"
#include "ui/SymbolIcons.h"
#include "ui/detail/ApplicationMetadataRowView.h"
#include "ui/detail/BrewAvailableView.h"
#include "ui/detail/BrewDoctorSheetView.h"
#include "ui/detail/ManualCaskEntryView.h"
#include "ui/detail/DetailRules.h"
#include "ui/main/components/PaletteFollower.h"
#include "ui/detail/ReleaseNotesView.h"
#include "ui/detail/SelectedApplicationDetailsView.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"
#include "viewmodels/DetailViewModel.h"
#include "viewmodels/SidebarViewModel.h"

#include "ui/main/components/PlainLabel.h"
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedLayout>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace norvelle {

namespace {

QPushButton* toolbarButton(const QString& symbol, const QString& help, const char* name, QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(SymbolIcons::icon(symbol));
    button->setIconSize(QSize(20, 20));
    button->setToolTip(help);
    button->setFlat(true);
    return button;
}

} // namespace

DetailView::DetailView(const ViewEnvironment& environment, UrlOpener* urlOpener, QWidget* parent)
    : QWidget(parent), m_env(environment), m_urlOpener(urlOpener ? urlOpener : environment.appState.urlOpener())
{
    setObjectName(QStringLiteral("detailView"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* toolbar = new QHBoxLayout;
    toolbar->setContentsMargins(12, 8, 12, 0);
    toolbar->setSpacing(8);
    toolbar->addStretch();
    m_brewDoctorButton = toolbarButton(QStringLiteral("stethoscope"), QStringLiteral("Run Brew Doctor"),
                                       "brewDoctorButton", this);
    connect(m_brewDoctorButton, &QPushButton::clicked, this, [this] { setShowBrewDoctorSheet(true); });
    toolbar->addWidget(m_brewDoctorButton);
    auto* settings =
        toolbarButton(QStringLiteral("gearshape"), QStringLiteral("Settings"), "settingsButton", this);
    // Symbols are drawn in the palette's text colour, so they are drawn again on a theme switch.
    PaletteFollower::follow(this, [this, settings] {
        m_brewDoctorButton->setIcon(SymbolIcons::icon(QStringLiteral("stethoscope")));
        settings->setIcon(SymbolIcons::icon(QStringLiteral("gearshape")));
        if (auto* symbol = findChild<QLabel*>(QStringLiteral("emptyStateSymbol")))
            symbol->setPixmap(SymbolIcons::pixmap(QStringLiteral("app.dashed"), 48, SystemColors::secondary(),
                                                  devicePixelRatioF()));
    });
    connect(settings, &QPushButton::clicked, this,
            [this] { Q_EMIT openWindowRequested(QStringLiteral("settings")); });
    toolbar->addWidget(settings);
    outer->addLayout(toolbar);

    auto* stackHost = new QWidget(this);
    m_stack = new QStackedLayout(stackHost);
    outer->addWidget(stackHost, 1);

    m_emptyState = new QWidget(stackHost);
    m_emptyState->setObjectName(QStringLiteral("noApplicationSelected"));
    auto* empty = new QVBoxLayout(m_emptyState);
    empty->addStretch();
    auto* symbol = new QLabel(m_emptyState);
    symbol->setObjectName(QStringLiteral("emptyStateSymbol"));
    symbol->setAlignment(Qt::AlignCenter);
    symbol->setPixmap(SymbolIcons::pixmap(QStringLiteral("app.dashed"), 48, SystemColors::secondary(),
                                          devicePixelRatioF()));
    empty->addWidget(symbol);
    empty->addWidget(makePlainLabel(
        QStringLiteral("No Application Selected"), TextStyles::font(TextStyles::Style::title2, QFont::Bold),
        SystemColors::primary(), m_emptyState, "emptyStateTitle", Qt::AlignCenter));
    empty->addWidget(makePlainLabel(QStringLiteral("Select an application from the sidebar"),
                                    TextStyles::font(TextStyles::Style::body), SystemColors::secondary(),
                                    m_emptyState, "emptyStateDescription", Qt::AlignCenter));
    empty->addStretch();
    m_stack->addWidget(m_emptyState);

    m_scroll = new QScrollArea(stackHost);
    m_scroll->setObjectName(QStringLiteral("detailScroll"));
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Outside texts are cut or broken to the pane's width; should a control still not fit, the
    // user can scroll to it rather than lose it past the window's edge.
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_stack->addWidget(m_scroll);

    ApplicationStore* store = &m_env.store;
    DetailViewModel* vm = &m_env.detailViewModel;
    SidebarViewModel* sidebar = &m_env.sidebarViewModel;
    connect(store, &ApplicationStore::selectedApplicationIdChanged, this, &DetailView::scheduleSync);
    connect(store, &ApplicationStore::applicationsChanged, this, &DetailView::scheduleSync);
    connect(store, &ApplicationStore::environmentStatusChanged, this, &DetailView::scheduleSync);
    connect(store, &ApplicationStore::lastUpdateCheckChanged, this, &DetailView::scheduleSync);
    connect(store, &ApplicationStore::sourceFailuresChanged, this, &DetailView::scheduleSync);
    connect(store, &ApplicationStore::applicationChanged, this,
            [this](const std::shared_ptr<Application>& application) {
                if (sameApplication(application, m_shown))
                    scheduleSync();
            });
    connect(vm, &DetailViewModel::isIgnoringChanged, this, &DetailView::scheduleSync);
    connect(vm, &DetailViewModel::isUpdatingChanged, this, &DetailView::scheduleSync);
    connect(vm, &DetailViewModel::isSkippingVersionChanged, this, &DetailView::scheduleSync);
    connect(vm, &DetailViewModel::isAdoptingChanged, this, &DetailView::scheduleSync);
    connect(vm, &DetailViewModel::updateProgressChanged, this, &DetailView::scheduleSync);
    connect(vm, &DetailViewModel::adoptionProgressChanged, this, &DetailView::scheduleSync);
    connect(vm, &DetailViewModel::isVerifyingCustomCaskChanged, this, &DetailView::scheduleSync);
    connect(sidebar, &SidebarViewModel::isDiscoveringChanged, this, &DetailView::scheduleSync);
    connect(sidebar, &SidebarViewModel::isCheckingUpdatesChanged, this, &DetailView::scheduleSync);
    sync();
}

DetailView::~DetailView() = default;

BrewDoctorSheetView* DetailView::brewDoctorSheet() const
{
    return m_brewDoctorSheet;
}

void DetailView::setShowBrewDoctorSheet(bool value)
{
    if (m_showBrewDoctorSheet == value)
        return;
    m_showBrewDoctorSheet = value;
    if (value && !m_brewDoctorSheet) {
        m_brewDoctorSheet = new BrewDoctorSheetView(m_env.detailViewModel, this);
        m_brewDoctorSheet->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_brewDoctorSheet, &QDialog::finished, this, [this] { setShowBrewDoctorSheet(false); });
        m_brewDoctorSheet->open();
    } else if (!value && m_brewDoctorSheet) {
        m_brewDoctorSheet->close();
    }
    Q_EMIT showBrewDoctorSheetChanged(value);
}

void DetailView::scheduleSync()
{
    // Several changes of one step (a click sets flags and progress together) redraw once,
    // and never inside the click of a button that the redraw may replace.
    if (m_syncScheduled)
        return;
    m_syncScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_syncScheduled = false;
        sync();
    });
}

void DetailView::buildContent(const std::shared_ptr<Application>& application)
{
    if (m_content) {
        m_scroll->takeWidget();
        m_content->deleteLater();
    }
    m_content = nullptr;
    m_header = nullptr;
    m_metadata = nullptr;
    m_releaseNotes = nullptr;
    m_brewAvailable = nullptr;
    m_manualCaskEntry = nullptr;
    m_shown = application;
    if (!application)
        return;

    m_content = new QWidget;
    m_content->setObjectName(QStringLiteral("detailContent"));
    m_contentLayout = new QVBoxLayout(m_content);
    m_contentLayout->setContentsMargins(20, 0, 20, 20);
    m_contentLayout->setSpacing(12);

    DetailViewModel* vm = &m_env.detailViewModel;
    SelectedApplicationDetailsView::Callbacks callbacks;
    // Reads the flag when the click comes, as the application is then.
    callbacks.onIgnore = [vm, application] {
        if (application->ignored())
            vm->unignoreApplication();
        else
            vm->ignoreApplication();
    };
    callbacks.onUpdate = [vm] { vm->updateApplication(); };
    callbacks.onSkipVersion = [vm] { vm->skipVersion(); };
    callbacks.onUnskipVersion = [vm] { vm->unskipVersion(); };
    // The header's panels do not wait for the refresh; its own panel reports it.
    callbacks.onRefreshApp = [vm] {
        vm->refreshApplication();
        return QtFuture::makeReadyFuture();
    };
    m_header = new SelectedApplicationDetailsView(application, m_env.appState, *vm, m_env.settingsViewModel,
                                                  std::move(callbacks), m_content);
    connect(m_header, &SelectedApplicationDetailsView::openWindowRequested, this,
            &DetailView::openWindowRequested);
    connect(m_header, &SelectedApplicationDetailsView::panelShown, this, &DetailView::follow);
    m_contentLayout->addWidget(m_header);
    m_metadata =
        new ApplicationMetadataRowView(application, m_env.store.lastUpdateCheck(), m_urlOpener, m_content);
    m_contentLayout->addWidget(m_metadata);
    m_contentLayout->addStretch();
    m_scroll->setWidget(m_content);
}

void DetailView::sync()
{
    const auto environment = m_env.store.environmentStatus();
    DetailViewModel& vm = m_env.detailViewModel;
    m_brewDoctorButton->setVisible(DetailRules::hasHomebrew(environment));
    m_brewDoctorButton->setEnabled(!m_env.sidebarViewModel.isDiscovering() &&
                                   !m_env.sidebarViewModel.isCheckingUpdates() && !vm.isUpdating());

    const auto application = m_env.store.selectedApplication();
    if (!sameApplication(application, m_shown))
        buildContent(application);
    if (!application) {
        m_stack->setCurrentWidget(m_emptyState);
        return;
    }
    m_stack->setCurrentWidget(m_scroll);

    const Application::Snapshot app = application->snapshot();
    const DetailRules::HeaderInputs inputs =
        DetailRules::headerInputs(app, vm.isIgnoring(), vm.isUpdating(), vm.isSkippingVersion(), vm.isAdopting(),
                                  vm.updateProgress(), vm.adoptionProgress());
    m_header->setInputs(inputs);
    // Once the update of the application on screen has ended, its name and outcome are in view.
    if (m_headerUpdating && !inputs.isUpdating)
        reveal(m_header);
    m_headerUpdating = inputs.isUpdating;
    m_metadata->setLastUpdateCheck(m_env.store.lastUpdateCheck());
    m_metadata->setSourceFailures(m_env.store.sourceFailures());

    syncPanels(application);
}

int DetailView::panelIndex(const QWidget* panel) const
{
    int index = 2;
    for (const QWidget* before : {static_cast<QWidget*>(m_brewAvailable), static_cast<QWidget*>(m_releaseNotes),
                                  static_cast<QWidget*>(m_manualCaskEntry)}) {
        if (before == panel)
            break;
        if (before)
            ++index;
    }
    return index;
}

void DetailView::follow(QWidget* panel)
{
    if (m_followed)
        m_followed->removeEventFilter(this);
    m_followed = panel;
    panel->installEventFilter(this);
    reveal(panel);
}

bool DetailView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_followed && event->type() == QEvent::Resize && m_content) {
        const int top = m_followed->mapTo(m_content, QPoint(0, 0)).y();
        const int shownFrom = m_scroll->verticalScrollBar()->value();
        if (top >= shownFrom && top < shownFrom + m_scroll->viewport()->height())
            reveal(m_followed);
    }
    return QWidget::eventFilter(watched, event);
}

void DetailView::reveal(QWidget* target, int turnsLeft, QRect lastArea, int lastRange)
{
    QTimer::singleShot(0, this, [this, target = QPointer<QWidget>(target), turnsLeft, lastArea, lastRange] {
        if (!target || !m_content || !m_content->isAncestorOf(target))
            return;
        QScrollBar* bar = m_scroll->verticalScrollBar();
        // With the pane's spacing around it, so it does not sit on the edge.
        const int margin = m_contentLayout->spacing();
        const QRect area =
            QRect(target->mapTo(m_content, QPoint(0, 0)), target->size()).adjusted(0, -margin, 0, margin);
        const int viewport = m_scroll->viewport()->height();
        int value = bar->value();
        if (area.bottom() >= value + viewport)
            value = area.bottom() + 1 - viewport;
        if (area.top() < value)
            value = area.top();
        bar->setValue(value);
        // A panel that has just appeared is shown, and the layouts around it settle, over the
        // next turns; until nothing moves any more, look again.
        if (turnsLeft > 1 && (area != lastArea || bar->maximum() != lastRange || !target->isVisible()))
            reveal(target, turnsLeft - 1, area, bar->maximum());
    });
}

void DetailView::syncPanels(const std::shared_ptr<Application>& application)
{
    // Each panel is made when it appears and goes with its state when it disappears.
    auto drop = [](auto*& panel) {
        if (!panel)
            return;
        panel->hide();
        panel->deleteLater();
        panel = nullptr;
    };
    const Application::Snapshot app = application->snapshot();
    const DetailRules::Panels panels = DetailRules::panels(app, m_env.store.environmentStatus());
    DetailViewModel* vm = &m_env.detailViewModel;

    BrewAvailableView::Inputs adoption;
    const auto progress = vm->adoptionProgress();
    if (progress && DetailRules::belongsTo(progress->application, app))
        adoption.adoptionProgress = progress;
    adoption.isAdopting = vm->isAdopting() && adoption.adoptionProgress.has_value();
    if (panels.brewAvailable && !m_brewAvailable) {
        m_brewAvailable = new BrewAvailableView(
            application, adoption, [vm] { vm->adoptCask(); },
            // This panel's refresh is awaited: its "Checking..." lasts as long as the refresh.
            [vm] { return vm->refreshApplication(); }, m_env.appState, m_env.settingsViewModel, *vm, m_urlOpener,
            m_content);
        connect(m_brewAvailable, &BrewAvailableView::openWindowRequested, this, &DetailView::openWindowRequested);
        connect(m_brewAvailable, &BrewAvailableView::panelShown, this, &DetailView::follow);
        m_contentLayout->insertWidget(panelIndex(m_brewAvailable), m_brewAvailable);
    } else if (panels.brewAvailable) {
        m_brewAvailable->setInputs(adoption);
    } else {
        drop(m_brewAvailable);
    }

    if (panels.releaseNotes && !m_releaseNotes) {
        m_releaseNotes = new ReleaseNotesView(application, m_content);
        m_contentLayout->insertWidget(panelIndex(m_releaseNotes), m_releaseNotes);
    } else if (!panels.releaseNotes) {
        drop(m_releaseNotes);
    }

    if (panels.manualCaskEntry && !m_manualCaskEntry) {
        m_manualCaskEntry = new ManualCaskEntryView(
            application, vm->isVerifyingCustomCask(),
            [vm](const QString& cask, const std::optional<QString>& tap) { return vm->verifyCustomCask(cask, tap); },
            m_content);
        m_contentLayout->insertWidget(panelIndex(m_manualCaskEntry), m_manualCaskEntry);
    } else if (panels.manualCaskEntry) {
        m_manualCaskEntry->setIsValidating(vm->isVerifyingCustomCask());
        m_manualCaskEntry->syncSources();
    } else {
        drop(m_manualCaskEntry);
    }
}

} // namespace norvelle
