#include "ui/main/MainWindow.h"

#include "app/AppState.h"
#include "platform/SettingsStore.h"
#include "ui/main/ContentView.h"
#include "ui/main/WelcomePlaceholderView.h"
#include "ui/onboarding/WelcomeTourView.h"

#include <QApplication>
#include <QLabel>
#include <QStackedWidget>
#include <QToolBar>

namespace norvelle {

MainWindow::MainWindow(const ViewEnvironment& environment, QWidget* parent)
    : QMainWindow(parent), m_env(environment), m_systemPalette(QApplication::palette())
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
    if (theme == Theme::system)
        return systemPalette;
    const bool dark = theme == Theme::dark;
    QPalette palette;
    const QColor window = dark ? QColor(0x2b, 0x2b, 0x2b) : QColor(0xec, 0xec, 0xec);
    const QColor base = dark ? QColor(0x1e, 0x1e, 0x1e) : QColor(0xff, 0xff, 0xff);
    const QColor text = dark ? QColor(0xf2, 0xf2, 0xf2) : QColor(0x1d, 0x1d, 0x1f);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, dark ? QColor(0x98, 0x98, 0x9d) : QColor(0x6e, 0x6e, 0x73));
    palette.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Mid, dark ? QColor(0x55, 0x55, 0x55) : QColor(0xb0, 0xb0, 0xb0));
    palette.setColor(QPalette::Disabled, QPalette::Text, dark ? QColor(0x70, 0x70, 0x70) : QColor(0xa0, 0xa0, 0xa0));
    palette.setColor(QPalette::Disabled, QPalette::WindowText,
                     dark ? QColor(0x70, 0x70, 0x70) : QColor(0xa0, 0xa0, 0xa0));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText,
                     dark ? QColor(0x70, 0x70, 0x70) : QColor(0xa0, 0xa0, 0xa0));
    return palette;
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
    m_stack->addWidget(m_content);
    m_stack->setCurrentWidget(m_content);
}

void MainWindow::applyTheme()
{
    m_appliedTheme = preferredTheme(m_env.settings.selectedTheme());
    setPalette(paletteFor(m_appliedTheme, m_systemPalette));
}

} // namespace norvelle
