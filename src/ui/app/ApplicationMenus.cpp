#include "ui/app/ApplicationMenus.h"

#include "coordinator/AppState.h"
#include "platform/UrlOpener.h"
#include "ui/SymbolIcons.h"
#include "ui/app/CheckForUpdatesView.h"
#include "ui/detail/LinkPolicy.h"
#include "platform/Logger.h"
#include "viewmodels/SidebarViewModel.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>

namespace norvelle {

namespace {

QAction* addNamedAction(QMenu* menu, const QString& text, const char* objectName)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(objectName));
    return action;
}

} // namespace

QList<ApplicationMenus::FilterItem> ApplicationMenus::filterItems()
{
    const auto key = [](Qt::Key k) { return QKeySequence(Qt::CTRL | k); };
    return {
        {QStringLiteral("All"), QStringLiteral("list.bullet"), key(Qt::Key_1), ApplicationFilter::all, 1},
        {QStringLiteral("Updates"), QStringLiteral("arrow.up.circle"), key(Qt::Key_2), ApplicationFilter::updates,
         1},
        {QStringLiteral("Adoptable"), QStringLiteral("shippingbox.and.arrow.backward"), key(Qt::Key_3),
         ApplicationFilter::adoptable, 1},
        {QStringLiteral("Brew"), QStringLiteral("shippingbox"), key(Qt::Key_4), ApplicationFilter::brew, 2},
        {QStringLiteral("App Store"), QStringLiteral("bag"), key(Qt::Key_5), ApplicationFilter::appStore, 2},
        {QStringLiteral("Sparkle"), QStringLiteral("sparkles"), key(Qt::Key_6), ApplicationFilter::sparkle, 2},
        {QStringLiteral("Ignored"), QStringLiteral("nosign"), key(Qt::Key_7), ApplicationFilter::ignored, 3},
    };
}

std::optional<QUrl> ApplicationMenus::parsedLink(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative())
        return std::nullopt;
    return url;
}

ApplicationMenus::ApplicationMenus(QMenuBar* menuBar, SidebarViewModel& sidebarViewModel, AppState& appState,
                                   CheckForUpdatesViewModel& checkForUpdates,
                                   std::shared_ptr<UrlOpener> urlOpener, HelpLinks links, QObject* parent)
    : QObject(parent), m_sidebarViewModel(sidebarViewModel), m_appState(appState),
      m_urlOpener(std::move(urlOpener)), m_links(std::move(links))
{
    buildApplicationMenu(menuBar, checkForUpdates);
    buildViewMenu(menuBar);
    buildHelpMenu(menuBar);
    setIcons();
    // On a Mac the application menu answers in every window. Here its shortcuts belong to the
    // menu bar's window, which a sheet or the settings window leaves without the focus, so
    // Quit would be out of reach for a whole batch; every other window gets them too.
    m_menuBarWindow = menuBar->window();
    qApp->installEventFilter(this);
}

bool ApplicationMenus::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowActivate) {
        auto* window = qobject_cast<QWidget*>(watched);
        if (window && window->isWindow() && window != m_menuBarWindow)
            for (QAction* action : std::as_const(m_everywhere))
                if (!window->actions().contains(action))
                    window->addAction(action);
    }
    return QObject::eventFilter(watched, event);
}

ApplicationMenus::~ApplicationMenus() = default;

void ApplicationMenus::buildApplicationMenu(QMenuBar* menuBar, CheckForUpdatesViewModel& checkForUpdates)
{
    m_applicationMenu = menuBar->addMenu(QStringLiteral("Norvelle"));
    m_applicationMenu->setObjectName(QStringLiteral("applicationMenu"));

    QAction* about = addNamedAction(m_applicationMenu, QStringLiteral("About Norvelle"), "actionAbout");
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, &ApplicationMenus::aboutRequested);

    m_applicationMenu->addSeparator();
    QAction* settings = addNamedAction(m_applicationMenu, QStringLiteral("Settings..."), "actionSettings");
    settings->setMenuRole(QAction::PreferencesRole);
    settings->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(settings, &QAction::triggered, this, &ApplicationMenus::settingsRequested);
    m_everywhere.append(settings);

    m_applicationMenu->addAction(new CheckForUpdatesView(checkForUpdates, m_applicationMenu));

    m_applicationMenu->addSeparator();
    QAction* quit = addNamedAction(m_applicationMenu, QStringLiteral("Quit Norvelle"), "actionQuit");
    quit->setMenuRole(QAction::QuitRole);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, this, &ApplicationMenus::quitRequested);
    m_everywhere.append(quit);
}

void ApplicationMenus::buildViewMenu(QMenuBar* menuBar)
{
    m_viewMenu = menuBar->addMenu(QStringLiteral("View"));
    m_viewMenu->setObjectName(QStringLiteral("viewMenu"));

    m_showTour = addNamedAction(m_viewMenu, QStringLiteral("Show Welcome Tour"), "actionShowWelcomeTour");
    // Only the flag: the main window shows the tour again on its own, on the page it was left on.
    connect(m_showTour, &QAction::triggered, this, [this] { m_appState.setHasCompletedWelcomeTour(false); });
    m_viewMenu->addSeparator();

    m_filterGroup = new QActionGroup(this);
    m_filterGroup->setExclusive(true);
    int section = 1;
    for (const FilterItem& item : filterItems()) {
        if (item.section != section) {
            m_viewMenu->addSeparator();
            section = item.section;
        }
        QAction* action = m_viewMenu->addAction(item.title);
        action->setObjectName(QStringLiteral("actionFilter") + QString(item.title).remove(u' '));
        action->setShortcut(item.shortcut);
        action->setCheckable(true);
        action->setData(QVariant::fromValue(item.filter));
        m_filterGroup->addAction(action);
        m_filterActions.append(action);
        const ApplicationFilter filter = item.filter;
        // The view model stores the same filter silently, so repeating the current one
        // notifies nobody.
        connect(action, &QAction::triggered, this, [this, filter] { m_sidebarViewModel.setCurrentFilter(filter); });
    }
    connect(&m_sidebarViewModel, &SidebarViewModel::currentFilterChanged, this, &ApplicationMenus::syncFilter);
    syncFilter();
}

void ApplicationMenus::buildHelpMenu(QMenuBar* menuBar)
{
    m_helpMenu = menuBar->addMenu(QStringLiteral("Help"));
    m_helpMenu->setObjectName(QStringLiteral("helpMenu"));
    QAction* support = addNamedAction(m_helpMenu, QStringLiteral("Contact Support..."), "actionContactSupport");
    connect(support, &QAction::triggered, this, [this] { openLink(m_links.supportMail); });
    QAction* issue = addNamedAction(m_helpMenu, QStringLiteral("Report an Issue..."), "actionReportIssue");
    connect(issue, &QAction::triggered, this, [this] { openLink(m_links.issuePage); });
}

void ApplicationMenus::syncFilter()
{
    const ApplicationFilter current = m_sidebarViewModel.currentFilter();
    for (QAction* action : std::as_const(m_filterActions))
        if (action->data().value<ApplicationFilter>() == current)
            action->setChecked(true);
}

void ApplicationMenus::setIcons()
{
    // Without a colour of their own they draw in the palette's text colour, theme switches included.
    m_showTour->setIcon(SymbolIcons::icon(QStringLiteral("info.circle")));
    const QList<FilterItem> items = filterItems();
    for (qsizetype i = 0; i < items.size() && i < m_filterActions.size(); ++i)
        m_filterActions.at(i)->setIcon(SymbolIcons::icon(items.at(i).symbol));
}

void ApplicationMenus::openLink(const QString& text)
{
    const std::optional<QUrl> url = parsedLink(text);
    if (!url) {
        Logger::error(QStringLiteral("Cannot open the link, it is not a valid address: ") + text);
        return;
    }
    // The menu has no window of its own to show a refusal in: the window the user is in shows it.
    QWidget* active = QApplication::activeWindow();
    LinkPolicy::openTrusted(active ? active : m_menuBarWindow, m_urlOpener.get(), *url);
}

} // namespace norvelle
