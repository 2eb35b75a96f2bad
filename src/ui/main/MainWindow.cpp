#include "ui/main/MainWindow.h"

#include "coordinator/AppState.h"
#include "platform/SettingsStore.h"
#include "ui/main/ContentView.h"
#include "ui/main/WelcomePlaceholderView.h"
#include "ui/onboarding/WelcomeTourView.h"
#include "ui/settings/SettingsAppearance.h"

#include <QApplication>
#include <QLabel>
#include <QStackedWidget>
#include <QToolBar>

namespace norvelle {

MainWindow::MainWindow(const ViewEnvironment& environment, QWidget* parent)
    : QMainWindow(parent), m_env(environment)
{
    setObjectName(QStringLiteral("mainWindow"));
    // The product title sits in the toolbar; the window shows no title text of its own.
    setWindowTitle(QStringLiteral("Norvelle"));
    setMinimumSize(860, 500);
    resize(860, 500);

    auto* toolbar = addToolBar(QStringLiteral("Norvelle"));
    toolbar->setObjectName(QStringLiteral("mainToolbar"));
    toolbar->setMovable(false);
    auto* title = new QLabel(QStringLiteral("Norvelle"), toolbar);
    title->setObjectName(QStringLiteral("navigationTitle"));
    QFont font = title->font();
    font.setPointSizeF(font.pointSizeF() * 1.25);
    font.setWeight(QFont::DemiBold);
    title->setFont(font);
    title->setContentsMargins(12, 0, 0, 0);
    toolbar->addWidget(title);

    m_stack = new QStackedWidget(this);
    m_stack->setObjectName(QStringLiteral("rootStack"));
    setCentralWidget(m_stack);
    if (m_env.welcomeTourViewModel)
        m_welcome = new WelcomeTourView(*m_env.welcomeTourViewModel, m_env.detailViewModel, m_env.urlOpener,
                                        m_env.clipboard, m_stack);
    else
        m_welcome = new WelcomePlaceholderView(m_env.appState, m_stack);
    m_stack->addWidget(m_welcome);

    connect(&m_env.appState, &AppState::hasCompletedWelcomeTourChanged, this, &MainWindow::showRootContent);
    connect(&m_env.settings, &SettingsStore::valueChanged, this, [this](const QString& key) {
        if (key == SettingsStore::Keys::selectedTheme)
            applyTheme();
    });
    showRootContent();
    applyTheme();
}

MainWindow::~MainWindow() = default;

Theme MainWindow::preferredTheme(const QString& selectedTheme)
{
    if (selectedTheme == QLatin1String("Light"))
        return Theme::light;
    if (selectedTheme == QLatin1String("Dark"))
        return Theme::dark;
    return Theme::system;
}

QPalette MainWindow::paletteFor(Theme theme, const QPalette& systemPalette)
{
    return theme == Theme::system ? systemPalette : SettingsAppearance::palette(theme);
}

void MainWindow::showRootContent()
{
    if (!m_env.appState.hasCompletedWelcomeTour()) {
        m_stack->setCurrentWidget(m_welcome);
        if (m_content) {
            m_stack->removeWidget(m_content);
            m_content->deleteLater();
            m_content = nullptr;
        }
        return;
    }
    if (m_content)
        return;
    // A fresh content each time, so the start task runs again after the tour.
    m_content = new ContentView(m_env, m_stack);
    connect(m_content, &ContentView::openWindowRequested, this, &MainWindow::openWindowRequested);
    m_stack->addWidget(m_content);
    m_stack->setCurrentWidget(m_content);
}

void MainWindow::applyTheme()
{
    m_appliedTheme = preferredTheme(m_env.settings.selectedTheme());
    // "Automatic" inherits the application's palette (the system's), whatever it is by now.
    setPalette(m_appliedTheme == Theme::system ? QPalette() : paletteFor(m_appliedTheme, QPalette()));
}

} // namespace norvelle
