#include "ui/main/MenuBarController.h"

#include "coordinator/AppState.h"
#include "services/ApplicationStore.h"
#include "ui/SymbolIcons.h"
#include "ui/main/components/SpinningIcon.h"
#include "ui/main/MenuBarIcon.h"
#include "viewmodels/DetailViewModel.h"
#include "viewmodels/SidebarViewModel.h"

#include <QAction>
#include <QCursor>
#include <QLocale>
#include <QMenu>
#include <QSystemTrayIcon>

namespace norvelle {

namespace {

bool updateInProgress(UpdateProgress::Status status)
{
    using S = UpdateProgress::Status;
    return status == S::queued || status == S::downloading || status == S::installing || status == S::verifying;
}

bool adoptionInProgress(AdoptionProgress::Status status)
{
    using S = AdoptionProgress::Status;
    return status == S::queued || status == S::downloading || status == S::adopting || status == S::verifying;
}

// A name shown verbatim as a menu item: "&" would otherwise mark a mnemonic and a tab would
// start the shortcut column.
QString menuText(QString text)
{
    text.replace(QLatin1Char('&'), QStringLiteral("&&"));
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return text;
}

} // namespace

MenuBarController::MenuBarController(ApplicationStore& store, SidebarViewModel& sidebar, DetailViewModel& detail,
                                     AppState& appState, QObject* parent)
    : QObject(parent), m_store(store), m_sidebar(sidebar), m_detail(detail), m_appState(appState),
      m_menu(std::make_unique<QMenu>())
{
    m_menu->setObjectName(QStringLiteral("menuBarMenu"));
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray = new QSystemTrayIcon(this);
        m_tray->setObjectName(QStringLiteral("menuBarTrayIcon"));
        m_tray->setContextMenu(m_menu.get());
        // A click opens the same menu as a pull-down, as the menu bar does.
        connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger)
                m_menu->popup(QCursor::pos());
        });
    }
    connectSources();
    rebuildMenu();
    refreshLabel();
}

MenuBarController::~MenuBarController() = default;

void MenuBarController::connectSources()
{
    auto both = [this] {
        rebuildMenu();
        refreshLabel();
    };
    connect(&m_store, &ApplicationStore::applicationsChanged, this, both);
    // The label follows each change (its count is kept by the store); the menu, which walks
    // the list, is rebuilt once per batch of changes.
    connect(&m_store, &ApplicationStore::applicationChanged, this,
            [this](const std::shared_ptr<Application>&, Application::Field field) {
                if (field == Application::Field::update || field == Application::Field::ignored)
                    refreshLabel();
            });
    connect(&m_store, &ApplicationStore::applicationsUpdated, this, &MenuBarController::rebuildMenu);
    connect(&m_sidebar, &SidebarViewModel::isDiscoveringChanged, this, both);
    connect(&m_sidebar, &SidebarViewModel::isCheckingUpdatesChanged, this, both);
    connect(&m_detail, &DetailViewModel::updateProgressChanged, this, &MenuBarController::rebuildMenu);
    connect(&m_detail, &DetailViewModel::adoptionProgressChanged, this, &MenuBarController::rebuildMenu);
    connect(&m_appState, &AppState::hasCompletedWelcomeTourChanged, this, &MenuBarController::refreshLabel);
}

bool MenuBarController::isBusy() const
{
    return m_sidebar.isDiscovering() || m_sidebar.isCheckingUpdates();
}

bool MenuBarController::isInProgress(const QUuid& applicationId) const
{
    const auto update = m_detail.updateProgress();
    if (update && update->application && update->application->id() == applicationId &&
        updateInProgress(update->status))
        return true;
    const auto adoption = m_detail.adoptionProgress();
    return adoption && adoption->application && adoption->application->id() == applicationId &&
           adoptionInProgress(adoption->status);
}

void MenuBarController::refreshLabel()
{
    const MenuBarLabel label = MenuBarLabel::from(m_appState.hasCompletedWelcomeTour(), isBusy(),
                                                  m_store.updateCount());
    if (label == m_label && !(m_labelIcon.isNull() && label.kind != MenuBarLabel::Kind::empty))
        return;
    m_label = label;
    m_labelIcon = MenuBarIcon::icon(label);
    if (m_tray) {
        if (m_labelIcon.isNull()) {
            m_tray->hide();
        } else {
            m_tray->setIcon(m_labelIcon);
            m_tray->setToolTip(label.text());
            m_tray->show();
        }
    }
    Q_EMIT labelChanged(m_label);
}

void MenuBarController::clearMenu()
{
    // An item may be rebuilt away from inside its own action (a refresh raises the busy
    // flags at once), so the old items are deleted later, not now.
    const auto actions = m_menu->actions();
    for (QAction* action : actions) {
        m_menu->removeAction(action);
        action->deleteLater();
    }
}

QAction* MenuBarController::addItem(const QString& text, const QString& objectName, const QString& symbol)
{
    auto* action = new QAction(text, this);
    action->setObjectName(objectName);
    if (!symbol.isEmpty())
        action->setIcon(SymbolIcons::icon(symbol));
    m_menu->addAction(action);
    return action;
}

void MenuBarController::addRefreshItem(const QString& text, const QString& objectName)
{
    QAction* action = addItem(text, objectName, QStringLiteral("arrow.clockwise"));
    action->setEnabled(!isBusy());
    connect(action, &QAction::triggered, this, &MenuBarController::refresh);
}

void MenuBarController::addApplicationRow(const std::shared_ptr<Application>& application)
{
    const QUuid id = application->id();
    const bool inProgress = isInProgress(id);
    QAction* row = addItem(menuText(application->name()), QStringLiteral("menuBarApplication"),
                           inProgress ? QStringLiteral("arrow.triangle.2.circlepath") : QString());
    row->setData(id);
    row->setProperty("inProgress", inProgress);
    if (inProgress)
        SpinningIcon::attach(row);
    connect(row, &QAction::triggered, this, [this, id] {
        m_store.setSelectedApplicationId(id);
        Q_EMIT activateApplicationRequested();
    });
}

void MenuBarController::rebuildMenu()
{
    clearMenu();
    const auto withUpdates = m_store.applicationsWithUpdates();
    const int n = static_cast<int>(withUpdates.size());

    if (n == 0) {
        addRefreshItem(QStringLiteral("Check for Updates"), QStringLiteral("menuBarCheckForUpdates"));
        m_menu->addSeparator();
        addItem(QStringLiteral("No updates available"), QStringLiteral("menuBarNoUpdates"))->setEnabled(false);
    } else {
        const QString header = QLocale().toString(n) + QStringLiteral(" Update") +
                               (n == 1 ? QString() : QStringLiteral("s")) + QStringLiteral(" Available");
        QAction* title = addItem(header, QStringLiteral("menuBarUpdatesHeader"));
        title->setEnabled(false);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);

        const int listed = std::min(n, listedApplications);
        for (int i = 0; i < listed; ++i) {
            addApplicationRow(withUpdates.at(i));
            if (i + 1 < listed)
                m_menu->addSeparator();
        }
        if (n > listedApplications) {
            m_menu->addSeparator();
            QAction* more = addItem(QStringLiteral("+ %1 more").arg(n - listedApplications),
                                    QStringLiteral("menuBarMoreUpdates"));
            connect(more, &QAction::triggered, this, &MenuBarController::showUpdates);
        }
        m_menu->addSeparator();
        QAction* show = addItem(QStringLiteral("Show Norvelle"), QStringLiteral("menuBarShowNorvelle"));
        connect(show, &QAction::triggered, this, &MenuBarController::showApplication);
        m_menu->addSeparator();
        QAction* updateAllItem = addItem(QStringLiteral("Update All..."), QStringLiteral("menuBarUpdateAll"),
                                         QStringLiteral("arrow.up.circle"));
        connect(updateAllItem, &QAction::triggered, this, &MenuBarController::updateAll);
        addRefreshItem(QStringLiteral("Refresh"), QStringLiteral("menuBarRefresh"));
    }

    m_menu->addSeparator();
    QAction* quit = addItem(QStringLiteral("Quit"), QStringLiteral("menuBarQuit"));
    connect(quit, &QAction::triggered, this, &MenuBarController::quitRequested);
}

void MenuBarController::refresh()
{
    // The check follows the discovery; nothing waits for either, and no handle is kept.
    SidebarViewModel* sidebar = &m_sidebar;
    m_sidebar.discoverApplications().then(sidebar, [sidebar] { sidebar->checkForUpdates(); });
}

void MenuBarController::showUpdates()
{
    m_sidebar.setCurrentFilter(ApplicationFilter::updates);
    Q_EMIT activateApplicationRequested();
}

void MenuBarController::showApplication()
{
    if (!m_store.applicationsWithUpdates().isEmpty())
        m_sidebar.setCurrentFilter(ApplicationFilter::updates);
    Q_EMIT activateApplicationRequested();
}

void MenuBarController::updateAll()
{
    Q_EMIT activateApplicationRequested();
    m_sidebar.setShowUpdateSheet(true);
}

} // namespace norvelle
